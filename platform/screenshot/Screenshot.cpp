// Saves a picture of the program's window after one Run, as the qt renderer draws it. With
// QT_QPA_PLATFORM=offscreen it needs no display. Built once per program.
#include <QApplication>
#include <QToolButton>
#include <QWidget>

#include <cstdio>

#include "QtWindow.h"
#include "widgets/Application.h"

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s picture.png\n", argv[0]);
        return 2;
    }
    TApplication app;
    QWidget* window = ShowMainWindowWithQt(app, argv[0]);
    window->findChild<QToolButton*>(QStringLiteral("SpBtnRun"))->click();
    QApplication::processEvents();
    if (!window->grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
