#include "FmLinrun.h"
#include "Startup.h"

int main(int argc, char* argv[]) { return RunTestPlatform(argc, argv, LinrunProgram); }
