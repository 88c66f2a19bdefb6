// Start-up of either program: the command line, the renderer chosen for this run, then the
// application object, its title, the main window and the message loop.
#pragma once

#include <string>

struct ProgramDescriptor;

// Runs the program that program describes and returns its exit status: 0, or
// 1 when a renderer cannot start, the report cannot be written or a Run with nobody to show
// it to failed, or 2 for a command line or QUIL_RENDERER value that makes no sense.
int RunTestPlatform(int argc, char* argv[], const ProgramDescriptor& program);

// What --help writes for program run as name, as a build for Windows (where no signal ends a
// program) or for another system writes it; no line is wider than 80 columns.
std::string HelpText(const std::string& name, const ProgramDescriptor& program, bool forWindows);
