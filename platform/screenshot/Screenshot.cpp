// Saves a picture of a program's window after one Run, as the qt renderer draws it. With
// QT_QPA_PLATFORM=offscreen it needs no display. Built once per program: QUIL_PROGRAM names the
// program's descriptor and QUIL_PROGRAM_HEADER the header that declares it.
#include <QApplication>
#include <QToolButton>
#include <QWidget>

#include <cstdio>

#include QUIL_PROGRAM_HEADER
#include "QtWindow.h"
#include "widgets/Application.h"

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s picture.png\n", argv[0]);
        return 2;
    }
    TApplication app;
    QWidget* window = ShowMainWindowWithQt(app, QUIL_PROGRAM, argv[0]);
    window->findChild<QToolButton*>(QStringLiteral("SpBtnRun"))->click();
    QApplication::processEvents();
    if (!window->grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
