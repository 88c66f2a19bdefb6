#include "AllocSweep.h"

#include <cstdlib>

#include "routines/Work.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace allocsweep {

namespace {

bool armed = false;
bool failed = false;
long failAt = 0;
long requests = 0;
std::size_t largest = 0;
Request failedRequest{};

// Blocks obtained while armed. An operation of the sweeps holds a few dozen at a time.
constexpr int TableSize = 4096;
void* table[TableSize];
int liveCount = 0;

// The library asks the heap on the thread that calls it; its own threads only divide elements.
// The runtime of the threads may ask on theirs at any moment (MinGW's does), so only the armed
// thread's requests are counted and remembered.
#ifdef _WIN32
using ThreadId = DWORD;
ThreadId Self() { return GetCurrentThreadId(); }
bool Same(ThreadId a, ThreadId b) { return a == b; }
#else
using ThreadId = pthread_t;
ThreadId Self() { return pthread_self(); }
bool Same(ThreadId a, ThreadId b) { return pthread_equal(a, b) != 0; }
#endif
ThreadId armedThread{};
bool OnArmedThread() { return Same(Self(), armedThread); }

#ifdef _WIN32
// MinGW keeps thread-local data, the C++ runtime's exception state among it, in blocks that
// libgcc obtains with calloc when a thread first uses them, and the tests wrap every calloc of
// the program: the main thread throws once before any sweep counts, so that those blocks are
// not taken for the library's.
const bool threadStateMade = [] {
    try {
        throw 0;
    } catch (int) {
    }
    return true;
}();
#endif

}  // namespace

void Watch() {
    armedThread = Self();
    armed = true;
    failed = false;
    failAt = 0;
    requests = 0;
    largest = 0;
}

void FailAt(long n) {
    quil::detail::ReleaseThreadStorage();
    Watch();
    failAt = n;
}

void Disarm() {
    armed = false;
    quil::detail::ReleaseThreadStorage();
}

bool Failed() { return failed; }

const Request& FailedRequest() { return failedRequest; }

long Requests() { return requests; }

std::size_t Largest() { return largest; }

long Live() { return liveCount; }

bool Take(Kind kind, std::size_t count, std::size_t size, const void* site) {
    if (!armed || !OnArmedThread()) return false;
    if (count * size > largest) largest = count * size;
    if (++requests != failAt) return false;
    failed = true;
    failedRequest = {kind, count, size, site};
    return true;
}

void Obtained(void* p) {
    if (!armed || p == nullptr || !OnArmedThread()) return;
    for (void*& slot : table) {
        if (slot == nullptr) {
            slot = p;
            ++liveCount;
            return;
        }
    }
    std::abort();  // more live blocks than any operation of the sweeps holds
}

void Released(void* p) {
    if (liveCount == 0 || p == nullptr || !OnArmedThread()) return;
    for (void*& slot : table) {
        if (slot == p) {
            slot = nullptr;
            --liveCount;
            return;
        }
    }
}

std::ostream& operator<<(std::ostream& os, const Request& r) {
    if (r.kind == Kind::Calloc) return os << "calloc(" << r.count << ", " << r.size << ")";
    if (r.kind == Kind::AlignedNew) return os << "aligned new(" << r.size << " bytes)";
    return os << "new[" << r.size << " bytes]";
}

}  // namespace allocsweep
