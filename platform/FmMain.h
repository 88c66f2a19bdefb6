// The test platform window shared by quadrun and linrun.
//
// TFmMain is described once against the widget layer and does not know which renderer draws
// it, nor which program runs in it. A Run clears the report and calls RunSuites; every line of
// the report arrives through PutLine. Each program derives its own window from TFmMain, with
// its printers and suites as members and RunSuites calling the suites, and hands the platform
// a ProgramDescriptor that makes that window.
#pragma once

#include <string>

#include "widgets/Application.h"
#include "widgets/Widgets.h"

class TFmMain;

// What the platform knows of a program: the texts that tell the programs apart, and how its
// main window is made.
struct ProgramDescriptor {
    const char* Name;               // "quadrun": what the desktop tells the programs apart by
    const char* ApplicationTitle;   // the running program's name on the desktop
    const char* LabelCaption;       // the title in the window's top strip
    const char* Summary;            // what the program does, in a few lines for --help
    // Creates the program's main window, owned by app (CreateMainForm below).
    TFmMain* (*CreateForm)(TApplication& app);
};

class TFmMain : public TForm {
public:
    TPanel* Panel;
    TSpeedButton* SpBtnExit;
    TSpeedButton* SpBtnRun;
    TLabel* Label;
    TMemo* Memo;
    TStatusBar* StatusBar;

    TFmMain(TComponent* owner, const ProgramDescriptor& program);

    void SpBtnExitClick(TObject* sender);
    void SpBtnRunClick(TObject* sender);

    // Appends line as the new last line of the report.
    void PutLine(const std::string& line);
    // The program's two suites, one after the other.
    virtual void RunSuites() = 0;

    const ProgramDescriptor& Program;
};

// Gives app the program's title and name and creates the program's main window.
TFmMain& CreateProgramWindow(TApplication& app, const ProgramDescriptor& program);

// A descriptor's CreateForm for the program's window class Form.
template <class Form>
TFmMain* CreateMainForm(TApplication& app) {
    Form* form = nullptr;
    app.CreateForm(form);
    return form;
}
