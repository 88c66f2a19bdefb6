// Compiled as C++17, the library's header must stop with one clear error.
#include <quil.h>

int main() { return 0; }
