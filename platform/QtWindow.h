// The program's main window as the qt renderer draws it, shown without entering the message
// loop: for pictures of the window and for tests that drive the real widgets.
#pragma once

class QWidget;
class TApplication;
struct ProgramDescriptor;

// Initialises app with the qt renderer, sets the program's titles, creates its main window and
// shows it; returns the top-level widget, owned by the renderer that app now holds.
QWidget* ShowMainWindowWithQt(TApplication& app, const ProgramDescriptor& program,
                              const char* programPath = "quil");
