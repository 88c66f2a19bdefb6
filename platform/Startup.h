// Start-up of either program: the application object, its title, the main window and the
// message loop, with the renderer chosen for this run.
#pragma once

// Runs the program whose titles and suites are linked in; returns its exit status (0, unless a
// renderer with nobody to show it to saw a Run fail). argv0 is the program's name.
int RunTestPlatform(const char* argv0);
