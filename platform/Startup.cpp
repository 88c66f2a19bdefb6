#include "Startup.h"

#include "FmMain.h"
#include "choice/RendererChoice.h"
#include "widgets/Application.h"

int RunTestPlatform(const char* argv0) {
    TApplication Application;
    try {
        Application.Initialize(ChooseRenderer(argv0));
        Application.Title = ProgramTitles.ApplicationTitle;
        TFmMain* FmMain = nullptr;
        Application.CreateForm(FmMain);
        Application.Run();
    } catch (...) {
        Application.HandleException();
    }
    return Application.ExitCode;
}
