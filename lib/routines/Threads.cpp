#include "routines/Threads.h"

#include "routines/kernels/Threads.h"

namespace quil {

void SetNumThreads(unsigned n) {
    detail::SetThreadCount(n == 0 ? detail::CoreCount() : n);
}

unsigned NumThreads() {
    return detail::ThreadCount();
}

}  // namespace quil
