// Internal to the library: work storage that a thread keeps from one call to the next.
//
// Small orders cost what their heap requests cost more than what their arithmetic does, and
// large ones pay a page fault per 4 KiB of fresh memory. So the work storage of a call (the
// copies, factors, pivots and scales that live only within it) is lent by the calling thread's
// Keeper, which asks the heap only when it holds no free block large enough. Blocks are lent
// whole; one asked for while every slot is lent, or beyond the Keeper's limit, is had for the one
// call. A thread's blocks go back to the heap when it ends, or at ReleaseThreadStorage.
//
// Nothing here is shared between threads: several threads may call the library at once.
#pragma once

#include <cstddef>
#include <cstdint>

#include "routines/Arrays.h"
#include "routines/MtrxNN.h"
#include "routines/Vect.h"

namespace quil::detail {

// The blocks of one thread, from one source of memory.
class Keeper {
public:
    // take(bytes) gives a block or null; give returns one.
    using Take = void* (*)(std::size_t bytes);
    using Give = void (*)(void* p);
    Keeper(Take take, Give give, std::size_t keep) : take_(take), give_(give), keep_(keep) {}
    Keeper(const Keeper&) = delete;
    Keeper& operator=(const Keeper&) = delete;
    ~Keeper() { Release(); }

    // A block of bytes, or null when the source has none.
    void* Lend(std::size_t bytes);
    // Takes back a block that Lend gave.
    void Return(void* p);
    // Gives every block not lent back to the source.
    void Release();

private:
    struct Block {
        void* p = nullptr;
        std::size_t bytes = 0;
        bool lent = false;
    };
    static constexpr unsigned kSlots = 16;
    Take take_;
    Give give_;
    std::size_t keep_;        // the most bytes kept in all
    std::size_t kept_ = 0;
    unsigned held_ = 0;       // blocks_[0, held_) hold a block each, lent or not
    Block blocks_[kSlots];
};

// The calling thread's kernel scratch: cache-line aligned, and silent when memory runs out (the
// kernels then leave the work to the plain loops).
Keeper& ThreadScratch();

// Gives back the calling thread's kept blocks, the routines' and the kernels' (those of the
// threads that divide the work are their own): for a caller that wants the memory back now, and
// for the tests, which count every heap request of a call.
void ReleaseThreadStorage();

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

// A record from GetMatrixNN or GetVector, released when the scope ends: one owner on every way
// out.
template <class Record, Record* (*Free)(Record*)>
struct Owned {
    Record* R = nullptr;
    Owned() = default;
    explicit Owned(Record* r) : R(r) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { R = Free(R); }
};
using OwnedMatrix = Owned<MtrxNN, FreeMatrixNN>;
using OwnedVector = Owned<Vect, FreeVector>;

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
