// Internal to the library: work storage kept from one call to the next.
//
// Small orders cost what their heap requests cost more than what their arithmetic does, and
// large ones pay a page fault per 4 KiB of fresh memory. So the work storage of a call (the
// copies, factors, pivots and scales that live only within it) is lent by Keepers, which ask the
// heap only when they hold no free block large enough. Each thread keeps a few small blocks of its
// own, without a lock; larger ones are lent by a Keeper the threads share, under a lock, so that
// a thread's first call finds the blocks that other threads' calls have given back instead of
// fresh pages. Blocks are lent whole; one asked for while every slot is lent, or beyond a
// Keeper's limit, is had for the one call. A thread's small blocks go back to the heap when it
// ends; ReleaseThreadStorage gives back every block not lent.
//
// Several threads may call the library at once: only the shared Keepers are shared, and they lock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "routines/Arrays.h"
#include "routines/Records.h"

namespace quil::detail {

// Blocks from one source of memory, lent and taken back by one thread at a time.
class Keeper {
public:
    // take(bytes) gives a block or null; give returns one.
    using Take = void* (*)(std::size_t bytes);
    using Give = void (*)(void* p);
    static constexpr unsigned kMaxSlots = 64;
    // Keeps at most keep bytes in at most slots blocks (up to kMaxSlots), none larger than
    // largest: a larger one is had from take for the one call. A held block is lent for a
    // request only when it is at most stretch times as large (0: any size).
    Keeper(Take take, Give give, std::size_t keep, unsigned slots = 16,
           std::size_t largest = SIZE_MAX, std::size_t stretch = 0)
        : take_(take),
          give_(give),
          keep_(keep),
          largest_(largest),
          stretch_(stretch),
          slots_(slots < kMaxSlots ? slots : kMaxSlots) {}
    Keeper(const Keeper&) = delete;
    Keeper& operator=(const Keeper&) = delete;
    ~Keeper() { Release(); }

    // A block of bytes, or null when the source has none: the smallest free block held that is
    // large enough (and not too large), else one from the source.
    void* Lend(std::size_t bytes);
    // Takes back a block that Lend gave.
    void Return(void* p);
    // Gives every block not lent back to the source.
    void Release();
    // Bytes held, lent or not.
    std::size_t Kept() const { return kept_; }

private:
    struct Block {
        void* p = nullptr;
        std::size_t bytes = 0;
        bool lent = false;
    };
    Take take_;
    Give give_;
    std::size_t keep_;        // the most bytes kept in all
    std::size_t largest_;     // the largest block kept
    std::size_t stretch_;     // how many times larger than asked a block lent may be (0: any)
    unsigned slots_;
    std::size_t kept_ = 0;
    unsigned held_ = 0;       // blocks_[0, held_) hold a block each, lent or not
    Block blocks_[kMaxSlots];
};

// The calling thread's kernel scratch: cache-line aligned, and silent when memory runs out (the
// kernels then leave the work to the plain loops). Large blocks come from the shared Keeper.
Keeper& ThreadScratch();

// Gives back to the heap the calling thread's kept blocks and every block the shared Keepers
// hold and have not lent: for a caller that wants the memory back now, and for the tests, which
// count every heap request of a call.
void ReleaseThreadStorage();

// The bytes the shared Keepers hold, lent or not: for the tests.
std::size_t SharedBytesKept();

// The object layer's element blocks of kObjectBlock bytes and more, lent by a Keeper the threads
// share from array new (so that a failure is what new[] gives), within a limit: a matrix made and
// dropped again and again takes the same block each time instead of pages fresh from the system,
// whatever the heap did with the last one. A block is lent only for a request of at least half
// its size. Null when the memory cannot be had.
inline constexpr std::size_t kObjectBlock = std::size_t{64} << 10;
void* LendObjectBlock(std::size_t bytes);
// Takes back a block that LendObjectBlock gave.
void ReturnObjectBlock(void* p);

// Work storage of one call: bytes from the calling thread's Keeper, holding whatever the last
// call left there. When it cannot be had the library's report (AllocErrMsg) has been made with
// the byte count asked for, wrapped to 32 bits, and get() is null.
class WorkBlock {
public:
    explicit WorkBlock(std::uint64_t bytes);
    ~WorkBlock();
    WorkBlock(const WorkBlock&) = delete;
    WorkBlock& operator=(const WorkBlock&) = delete;

    explicit operator bool() const { return p_ != nullptr; }
    unsigned char* get() const { return p_; }

private:
    unsigned char* p_;
};

// Bytes of work storage for the records below, every piece a multiple of 8 bytes.
constexpr std::uint64_t MatrixBytes(std::uint32_t n) {
    return (std::uint64_t{n} + 1u + 1u) / 2u * 16u + (std::uint64_t{n} * n + 1u) * 8u;
}
constexpr std::uint64_t VectorBytes(std::uint32_t n) { return (std::uint64_t{n} + 1u) * 8u; }
constexpr std::uint64_t PivotBytes(std::uint32_t n) { return (std::uint64_t{n} + 2u) / 2u * 8u; }

// Hands out the pieces of a WorkBlock in turn, each as a record of the library that no routine
// releases: it lives as long as the block.
class WorkCarver {
public:
    explicit WorkCarver(const WorkBlock& block) : next_(block.get()) {}
    // An n x n matrix over the subscripts of base1; its elements are 0.0 when zeroed.
    MtrxNN Matrix(std::uint32_t n, bool base1, bool zeroed);
    // A vector of n elements over the subscripts of base1, its elements unset.
    Vect Vector(std::uint32_t n, bool base1);
    // A pivot index vector over the subscripts of base1.
    Array1D<std::int32_t> Pivots(std::uint32_t n, bool base1);
    // n exponents over the subscripts of base1, unset: VectorBytes(n) of the block.
    Array1D<std::int64_t> Exponents(std::uint32_t n, bool base1);

private:
    unsigned char* next_;
};

}  // namespace quil::detail
