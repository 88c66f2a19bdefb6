// The test program: the platform's start-up with TestProgram's window, for the tests that start
// a program as a child process.
#include "Startup.h"
#include "TestProgram.h"

int main(int argc, char* argv[]) { return RunTestPlatform(argc, argv, PlatformTestProgram); }
