// Failure sweeps: an operation run again and again with its 1st, 2nd, ... heap request failing,
// until a run completes without meeting the failure.
//
// The operation sets up its operands, calls Arm() right before the call under test and
// Disarm() right after it, and then checks what the call gave. The sweep checks the rest after
// every run: every block obtained while armed has come back, and the library's report was made
// exactly once with the failed request's byte count when that request was the storage of an
// array (never for the small records, never for the object layer's storage, and never when
// nothing failed).
#pragma once

#include <functional>
#include <ostream>
#include <set>
#include <string>

#include "AllocSweep.h"

namespace sweep {

class Run {
public:
    Run(std::string name, long n) : name_(std::move(name)), n_(n) {}
    void Arm() { allocsweep::FailAt(n_); }
    void Disarm() { allocsweep::Disarm(); }
    // The failure was delivered.
    bool Failed() const { return allocsweep::Failed(); }
    bool FailedIn(allocsweep::Kind kind) const {
        return Failed() && allocsweep::FailedRequest().kind == kind;
    }
    bool FailedInHeap() const { return FailedIn(allocsweep::Kind::Calloc); }
    bool FailedInNew() const { return FailedIn(allocsweep::Kind::NewArray); }
    long N() const { return n_; }
    const std::string& Name() const { return name_; }

private:
    std::string name_;
    long n_;
};

// "<name>, request <n> failing: calloc(17, 8)" for the messages of the checks.
std::ostream& operator<<(std::ostream& os, const Run& run);

struct Tally {
    long operations = 0;
    long points = 0;                 // failing runs, over all operations
    std::set<const void*> sites;     // code addresses whose request was failed
};

// Sweeps op; returns the number of failing runs. Counted into tally.
long Sweep(Tally& tally, const std::string& name, const std::function<void(Run&)>& op);

// One line for the test log.
void Print(const char* what, const Tally& tally);

}  // namespace sweep
