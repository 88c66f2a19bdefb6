// Internal to the library: the threads that the kernels divide their work over.
//
// A call's work is cut into parts that write disjoint elements, each element keeping its one
// sequence of operations; so a result has the same bits whatever the number of threads and
// whichever thread runs which part.
//
// The threads are started when a call first asks for more than one part and are kept for later
// calls. One caller at a time has them: a caller that finds them busy with another caller's work,
// or finds that they cannot be started, runs its parts on its own thread.
#pragma once

#include <cstddef>

namespace quil::detail {

inline constexpr unsigned kMaxThreads = 64;

// How many threads a call may use, its own included: the count set last by SetThreadCount, else
// QUIL_NUM_THREADS when it holds a number from 1 up (a value that cannot be used is named on
// standard error), else the cores this process may run on; never more than kMaxThreads.
unsigned ThreadCount();

// From now on calls use count threads, at most kMaxThreads (0: the default again).
void SetThreadCount(unsigned count);

// The cores this process may run on (its affinity mask, where the system has one), at most
// kMaxThreads.
unsigned CoreCount();

// Runs run(context, part, slot) once for every part from 0 to parts - 1 on up to threads threads,
// the caller's included, each thread taking the next part not yet taken, and returns when all
// have run. Parts are taken in ascending order. slot (below threads) tells the thread that runs
// a part from the others of the call: the caller's is 0, and no two threads of a call share one.
void RunParts(unsigned parts, unsigned threads,
              void (*run)(const void* context, unsigned part, unsigned slot), const void* context);

// The same for a callable: part(p, slot) for p from 0 to parts - 1, on up to threads threads.
template <class Part>
void ForPartsInSlots(unsigned threads, unsigned parts, const Part& part) {
    if (parts <= 1 || threads <= 1) {
        for (unsigned p = 0; p < parts; ++p) part(p, 0u);
        return;
    }
    RunParts(parts, threads,
             [](const void* c, unsigned p, unsigned slot) { (*static_cast<const Part*>(c))(p, slot); },
             &part);
}

// part(p) for p from 0 to parts - 1, on up to threads threads.
template <class Part>
void ForPartsOn(unsigned threads, unsigned parts, const Part& part) {
    ForPartsInSlots(threads, parts, [&](unsigned p, unsigned) { part(p); });
}

// One thread for each part.
template <class Part>
void ForParts(unsigned parts, const Part& part) {
    ForPartsOn(parts, parts, part);
}

// The first of count items, cut into parts nearly equal runs of whole steps of step items each:
// part p runs from PartBegin(p) to PartBegin(p + 1).
inline std::size_t PartBegin(std::size_t count, std::size_t step, unsigned parts, unsigned p) {
    const std::size_t steps = (count + step - 1) / step;
    const std::size_t begin = steps * p / parts * step;
    return begin < count ? begin : count;
}

}  // namespace quil::detail
