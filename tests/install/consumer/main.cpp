// A program outside the project that uses the installed library.
#include <quil.h>

#include <cstdio>

int main() {
    Array1D<double> p = GetArray1D<double>(ArrDouble, nullptr, 1, 4);
    if (!p) return 1;
    p[4] = 2.5;
    const bool ok = p[1] == 0.0 && p[4] == 2.5;
    p = FreeArray1D(ArrDouble, p, 1, 4);
    std::printf("consumer: %s\n", ok ? "ok" : "wrong");
    return ok ? 0 : 1;
}
