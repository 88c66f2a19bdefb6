#include "routines/Work.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "routines/Heap.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace quil::detail {

void* Keeper::Lend(std::size_t bytes) {
    if (keep_ == 0) return take_(bytes);
    Block* spare = nullptr;
    for (Block* b = blocks_; b != blocks_ + held_; ++b) {
        if (b->lent) continue;
        if (b->bytes >= bytes) {
            b->lent = true;
            return b->p;
        }
        spare = b;
    }
    // An empty slot is taken before a smaller block is given up.
    if (held_ < kSlots) spare = blocks_ + held_;
    if (spare == nullptr || kept_ - spare->bytes + bytes > keep_) return take_(bytes);
    const bool fresh = spare == blocks_ + held_;
    if (!fresh) {
        give_(spare->p);
        kept_ -= spare->bytes;
    }
    void* p = take_(bytes);
    if (p == nullptr) {
        if (!fresh) {
            // The slot given up is filled from the end, so that the held blocks stay in front.
            *spare = blocks_[held_ - 1u];
            blocks_[--held_] = Block{};
        }
        return nullptr;
    }
    if (fresh) ++held_;
    *spare = Block{p, bytes, true};
    kept_ += bytes;
    return p;
}

void Keeper::Return(void* p) {
    if (p == nullptr) return;
    for (Block* b = blocks_; b != blocks_ + held_; ++b) {
        if (b->p == p) {
            b->lent = false;
            return;
        }
    }
    give_(p);
}

void Keeper::Release() {
    unsigned kept = 0;
    for (unsigned k = 0; k < held_; ++k) {
        if (blocks_[k].lent) {
            blocks_[kept++] = blocks_[k];
        } else {
            give_(blocks_[k].p);
            kept_ -= blocks_[k].bytes;
        }
    }
    for (unsigned k = kept; k < held_; ++k) blocks_[k] = Block{};
    held_ = kept;
}

namespace {

constexpr std::align_val_t kScratchAlign{64};
// A large product packs megabytes; the work of an inverse of order 1024 takes five copies of its
// matrix, 40 MiB.
constexpr std::size_t kScratchKeep = std::size_t{32} << 20;
constexpr std::size_t kWorkKeep = std::size_t{64} << 20;

void* TakeAligned(std::size_t bytes) { return ::operator new(bytes, kScratchAlign, std::nothrow); }
void GiveAligned(void* p) { ::operator delete(p, kScratchAlign); }

// Zero-filled, so that the heap's requests stay of one kind; only a block that grows pays for it.
void* TakeZeroed(std::size_t bytes) { return std::calloc(bytes / 8u, 8u); }
void GiveZeroed(void* p) { std::free(p); }

// A thread's two Keepers.
struct ThreadStorage {
    Keeper work{TakeZeroed, GiveZeroed, kWorkKeep};
    Keeper scratch{TakeAligned, GiveAligned, kScratchKeep};
};

#ifdef _WIN32
// MinGW keeps thread_local objects in memory that its runtime frees when a thread ends, before
// their destructors run: a Keeper there would read freed memory and lose its blocks. So each
// thread's storage is had from the heap and given back by a fiber-local slot's callback, which
// Windows calls as the thread ends. Where that cannot be had, the thread's calls keep nothing:
// a Keeper that may keep no bytes only passes requests on, and changes no state while it does.
void WINAPI DropThreadStorage(void* p) { delete static_cast<ThreadStorage*>(p); }

ThreadStorage& Mine() {
    static ThreadStorage passOn{{TakeZeroed, GiveZeroed, 0}, {TakeAligned, GiveAligned, 0}};
    static const DWORD slot = FlsAlloc(DropThreadStorage);
    thread_local ThreadStorage* mine = nullptr;
    if (mine != nullptr) return *mine;
    if (slot == FLS_OUT_OF_INDEXES) return passOn;
    ThreadStorage* made = new (std::nothrow) ThreadStorage;
    if (made == nullptr) return passOn;
    if (!FlsSetValue(slot, made)) {
        delete made;
        return passOn;
    }
    mine = made;
    return *mine;
}
#else
ThreadStorage& Mine() {
    thread_local ThreadStorage mine;
    return mine;
}
#endif

}  // namespace

Keeper& ThreadScratch() { return Mine().scratch; }

void ReleaseThreadStorage() {
    Mine().work.Release();
    Mine().scratch.Release();
}

WorkBlock::WorkBlock(std::uint64_t bytes) : p_(nullptr) {
    // Where size_t has 32 bits a larger request cannot be made at all.
    if (bytes <= SIZE_MAX)
        p_ = static_cast<unsigned char*>(Mine().work.Lend(static_cast<std::size_t>(bytes)));
    if (p_ == nullptr) AllocErrMsg(static_cast<std::uint32_t>(bytes));
}

WorkBlock::~WorkBlock() { Mine().work.Return(p_); }

MtrxNN WorkCarver::Matrix(std::uint32_t n, bool base1, bool zeroed) {
    const std::uint32_t lo = base1 ? 1u : 0u;
    double** table = reinterpret_cast<double**>(next_);
    next_ += (std::size_t{n} + 2u) / 2u * 16u;
    double* block = reinterpret_cast<double*>(next_);
    const std::size_t count = std::size_t{n} * n + 1u;
    next_ += count * 8u;
    if (zeroed) std::memset(block, 0, count * sizeof(double));
    table[0] = nullptr;
    for (std::uint32_t k = 1; k <= n; ++k) table[k] = block + std::size_t{k - 1u} * n;
    MtrxNN m{};
    m.Size = n;
    m.Base1 = base1;
    m.Elem.Table = table;
    m.Elem.RowLo = lo;
    m.Elem.ColLo = lo;
    return m;
}

Vect WorkCarver::Vector(std::uint32_t n, bool base1) {
    double* block = reinterpret_cast<double*>(next_);
    next_ += (std::size_t{n} + 1u) * 8u;
    Vect v{};
    v.Size = n;
    v.Base1 = base1;
    v.Elem.Block = block;
    v.Elem.Lo = base1 ? 1u : 0u;
    return v;
}

Array1D<std::int32_t> WorkCarver::Pivots(std::uint32_t n, bool base1) {
    Array1D<std::int32_t> p;
    p.Block = reinterpret_cast<std::int32_t*>(next_);
    p.Lo = base1 ? 1u : 0u;
    next_ += (std::size_t{n} + 2u) / 2u * 8u;
    return p;
}

Array1D<std::int64_t> WorkCarver::Exponents(std::uint32_t n, bool base1) {
    Array1D<std::int64_t> e;
    e.Block = reinterpret_cast<std::int64_t*>(next_);
    e.Lo = base1 ? 1u : 0u;
    next_ += (std::size_t{n} + 1u) * 8u;
    return e;
}

}  // namespace quil::detail
