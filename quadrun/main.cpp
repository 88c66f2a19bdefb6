// Start-up: the application object, its title, the main window, the message loop.
#include "FmMain.h"
#include "choice/RendererChoice.h"
#include "widgets/Application.h"

int main(int, char* argv[]) {
    TApplication Application;
    try {
        Application.Initialize(ChooseRenderer(argv[0]));
        Application.Title = ProgramTitles.ApplicationTitle;
        TFmMain* FmMain = nullptr;
        Application.CreateForm(FmMain);
        Application.Run();
    } catch (...) {
        Application.HandleException();
    }
    // 0, unless a renderer without a user saw the Run fail.
    return Application.ExitCode;
}
