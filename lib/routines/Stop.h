// Internal to the library: a caller's way to stop a cofactor expansion early.
//
// DetNNbyRef costs n! and may run for minutes; a caller that wants to give up on it (a Python
// call interrupted by Ctrl-C) gives its thread a flag before the call and sets the flag from
// elsewhere. The expansion reads it at every level of its recursion and, once it is true, gives
// up as when a minor cannot be had: it releases every minor it holds and DetNNbyRef returns
// DBL_MAX. Nothing installed declares this; a thread without a flag is never stopped.
#pragma once

#include <atomic>

namespace quil::detail {

// The flag the calling thread's cofactor expansions read from now on; null for none.
void SetStopFlag(const std::atomic<bool>* flag);

// True when the calling thread has a flag and it is set.
bool StopRequested();

}  // namespace quil::detail
