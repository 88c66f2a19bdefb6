// A program outside the project that uses the library: both layers. The header by either of
// its names: <quil.h> (the package's and quil.pc's include folder), or <quil/quil.h> (the
// folder above it, such as /usr/include).
#ifdef CONSUMER_QUIL_FOLDER
#include <quil/quil.h>
#else
#include <quil.h>
#endif

#include <cstdio>
#include <cstring>

int main() {
    quil::SetNumThreads(1);  // the quil:: names, beside the global ones
    const bool oneThread = quil::NumThreads() == 1u;
    MtrxNN* a = GetMatrixNN(nullptr, 2, true);
    if (a == nullptr) return 1;
    a->Elem[1][1] = 0.0;
    a->Elem[1][2] = 1.0;
    a->Elem[2][1] = 1.0;
    a->Elem[2][2] = 0.0;
    const double routineDet = DetNN2(a);
    Vect* x = GetVector(nullptr, 2, true);
    const bool routineSolved = x != nullptr && SolveMtrxNN(x, a, x);
    x = FreeVector(x);
    a = FreeMatrixNN(a);

    SMtrxNN b(2);
    b[0][0] = 1.0;
    b[0][1] = 2.0;
    b[1][0] = 3.0;
    b[1][1] = 4.0;
    const double objectDet = b.Det();
    SVect rhs(2);
    bool caught = false;
    try {
        b.Solve(rhs)[2];
    } catch (const SVect::RangeErr& e) {
        // Caught by its own type: its type information is the library's, also from a shared
        // build.
        caught = e.Index == 2u && std::strstr(e.what(), "SVect::RangeErr") != nullptr;
    }

    const bool ok = routineDet == -1.0 && objectDet > -2.0000001 && objectDet < -1.9999999 &&
                    routineSolved && caught && oneThread;
    std::printf("consumer: %s\n", ok ? "ok" : "wrong");
    return ok ? 0 : 1;
}
