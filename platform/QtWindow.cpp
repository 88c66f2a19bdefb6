#include "QtWindow.h"

#include <memory>

#include "FmMain.h"
#include "qt/QtRenderer.h"
#include "widgets/Application.h"

QWidget* ShowMainWindowWithQt(TApplication& app, const char* programPath) {
    auto renderer = std::make_unique<QtRenderer>(programPath);
    QtRenderer& qt = *renderer;
    app.Initialize(std::move(renderer));
    app.Title = ProgramTitles.ApplicationTitle;
    TFmMain* form = nullptr;
    app.CreateForm(form);
    return qt.Show(app, *form);
}
