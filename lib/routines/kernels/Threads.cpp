// The pool of threads that the kernels divide their work over: standard threads only, started
// when first needed and kept until the program ends.
#include "routines/kernels/Threads.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#if defined(__linux__)
#include <sched.h>
#elif defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace quil::detail {
namespace {

// The cores this process may run on, where the platform says; else the processor's count.
unsigned AvailableCores() {
#if defined(__linux__)
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return static_cast<unsigned>(CPU_COUNT(&set));
#elif defined(_WIN32)
    DWORD_PTR process = 0, system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0) {
        unsigned count = 0;
        for (; process != 0; process &= process - 1) ++count;
        return count;
    }
#endif
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? cores : 1;
}

// QUIL_NUM_THREADS when it holds a whole number from 1 up (at most kMaxThreads), else the cores
// available. A value that is set but cannot be used as it stands is named on standard error,
// with the count taken instead, once: the variable is read at the first call that may divide
// its work.
unsigned DefaultThreadCount() {
    const unsigned cores = CoreCount();
    const char* text = std::getenv("QUIL_NUM_THREADS");
    if (text == nullptr || *text == '\0') return cores;
    if (*text >= '0' && *text <= '9') {  // strtoul would take a sign and spaces
        errno = 0;
        char* end = nullptr;
        const unsigned long given = std::strtoul(text, &end, 10);
        if (*end == '\0' && given >= 1) {
            if (given <= kMaxThreads && errno == 0) return static_cast<unsigned>(given);
            std::fprintf(stderr, "quil: QUIL_NUM_THREADS=%s is more than %u; using %u threads\n",
                         text, kMaxThreads, kMaxThreads);
            return kMaxThreads;
        }
    }
    std::fprintf(stderr,
                 "quil: QUIL_NUM_THREADS=\"%.20s\" is not a whole number from 1 to %u; using %u "
                 "threads, one per core\n",
                 text, kMaxThreads, cores);
    return cores;
}

std::atomic<unsigned> chosenCount{0};  // SetThreadCount's choice; 0 for the default

// Set on a thread while it runs parts or waits for them: work it asks to divide then stays on it.
thread_local bool inParts = false;

struct InParts {
    InParts() { inParts = true; }
    ~InParts() { inParts = false; }
    InParts(const InParts&) = delete;
    InParts& operator=(const InParts&) = delete;
};

using PartFn = void (*)(const void*, unsigned, unsigned);

class Pool {
public:
    // MinGW's threads library makes a condition variable's state on its first wait, from the
    // heap, and a call that waited first would ask the heap halfway through: wait once now.
    Pool() {
        std::unique_lock<std::mutex> lock(m_);
        wake_.wait_for(lock, std::chrono::nanoseconds(1));
        idle_.wait_for(lock, std::chrono::nanoseconds(1));
    }
    Pool(const Pool&) = delete;
    Pool& operator=(const Pool&) = delete;

    ~Pool() {
        {
            const std::lock_guard<std::mutex> lock(m_);
            stop_ = true;
        }
        wake_.notify_all();
        for (unsigned w = 0; w < started_; ++w) workers_[w].join();
    }

    void Run(unsigned parts, unsigned threads, PartFn run, const void* context) {
        const InParts here;
        std::unique_lock<std::mutex> mine(caller_, std::try_to_lock);
        if (!mine.owns_lock() || Start(threads - 1) == 0) {
            for (unsigned p = 0; p < parts; ++p) run(context, p, 0);
            return;
        }
        {
            const std::lock_guard<std::mutex> lock(m_);
            run_ = run;
            context_ = context;
            parts_ = parts;
            helpers_ = threads - 1;
            slots_ = 0;
            next_.store(0, std::memory_order_relaxed);
            finished_.store(0, std::memory_order_relaxed);
            open_ = true;
            generation_.fetch_add(1, std::memory_order_release);
        }
        wake_.notify_all();
        TakeParts(run, context, parts, 0);
        // The last parts are often still running elsewhere: a short spin saves a sleep.
        for (unsigned spin = 0; spin < kSpins && finished_.load(std::memory_order_acquire) < parts;
             ++spin)
            std::this_thread::yield();
        std::unique_lock<std::mutex> lock(m_);
        open_ = false;  // no thread joins this job any more
        idle_.wait(lock, [&] { return joined_ == 0; });
    }

private:
    // Yields of a thread that waits for work, or for the end of a job, before it sleeps.
    static constexpr unsigned kSpins = 2000;

    // Starts workers until there are wanted of them, as far as the system allows; returns how
    // many there are. Only the caller holding caller_ gets here.
    unsigned Start(unsigned wanted) {
        if (wanted > kMaxThreads - 1) wanted = kMaxThreads - 1;
        try {
            while (started_ < wanted) {
                workers_[started_] = std::thread([this] { Work(); });
                ++started_;
            }
        } catch (...) {
            // No memory or no thread to be had: the threads there are will do.
        }
        return started_;
    }

    void TakeParts(PartFn run, const void* context, unsigned parts, unsigned slot) {
        for (unsigned p; (p = next_.fetch_add(1, std::memory_order_relaxed)) < parts;) {
            run(context, p, slot);
            finished_.fetch_add(1, std::memory_order_release);
        }
    }

    void Work() {
        const InParts here;
        std::uint64_t seen = 0;
        for (;;) {
            for (unsigned spin = 0;
                 spin < kSpins && generation_.load(std::memory_order_acquire) == seen; ++spin)
                std::this_thread::yield();
            std::unique_lock<std::mutex> lock(m_);
            wake_.wait(lock, [&] {
                return stop_ || (open_ && generation_.load(std::memory_order_relaxed) != seen);
            });
            if (stop_) return;
            seen = generation_.load(std::memory_order_relaxed);
            if (slots_ >= helpers_) continue;  // the job has had the threads it may use
            const unsigned slot = ++slots_;
            const PartFn run = run_;
            const void* const context = context_;
            const unsigned parts = parts_;
            ++joined_;
            lock.unlock();
            TakeParts(run, context, parts, slot);
            lock.lock();
            if (--joined_ == 0) idle_.notify_all();
        }
    }

    std::mutex caller_;  // held by the caller whose job the workers run
    std::thread workers_[kMaxThreads - 1];
    unsigned started_ = 0;

    std::mutex m_;  // guards the job below, joined_ and stop_
    std::condition_variable wake_, idle_;
    PartFn run_ = nullptr;
    const void* context_ = nullptr;
    unsigned parts_ = 0;
    unsigned helpers_ = 0;  // workers the job may use
    unsigned slots_ = 0;    // workers that have joined the job, each with its own slot
    bool open_ = false;     // workers may join the job
    unsigned joined_ = 0;   // workers inside the job
    bool stop_ = false;
    std::atomic<std::uint64_t> generation_{0};  // counts the jobs
    std::atomic<unsigned> next_{0};             // the next part to take
    std::atomic<unsigned> finished_{0};         // parts done
};

Pool& ThePool() {
    static Pool pool;
    return pool;
}

}  // namespace

unsigned CoreCount() {
    const unsigned cores = AvailableCores();
    return cores < kMaxThreads ? cores : kMaxThreads;
}

unsigned ThreadCount() {
    static const unsigned byDefault = DefaultThreadCount();
    const unsigned chosen = chosenCount.load(std::memory_order_relaxed);
    return chosen != 0 ? chosen : byDefault;
}

void SetThreadCount(unsigned count) {
    chosenCount.store(count < kMaxThreads ? count : kMaxThreads, std::memory_order_relaxed);
}

void RunParts(unsigned parts, unsigned threads, void (*run)(const void*, unsigned, unsigned),
              const void* context) {
    if (threads > parts) threads = parts;
    if (threads <= 1 || inParts) {
        for (unsigned p = 0; p < parts; ++p) run(context, p, 0);
        return;
    }
    ThePool().Run(parts, threads, run, context);
}

}  // namespace quil::detail
