#include "Startup.h"

int main(int, char* argv[]) { return RunTestPlatform(argv[0]); }
