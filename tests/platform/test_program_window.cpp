// One program's own window and report: built once for quadrun and once for linrun, against
// that program's titles and suites. The window opens on a small screen of 640 x 480, beside
// which is a smaller one of 320 x 240.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include <sstream>

#include QUIL_PROGRAM_HEADER
#include "ProcessRun.h"
#include "QtWindow.h"
#include "Startup.h"
#include "widgets/Application.h"

TEST(PROGRAM_SUITE, CaptionApplicationTitleAndLabel) {
    TApplication app;
    QWidget* window = ShowMainWindowWithQt(app, QUIL_PROGRAM);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(window->windowTitle(), "QUIL Library Test Platform");
    EXPECT_EQ(QCoreApplication::applicationName(), EXPECTED_NAME);
    EXPECT_EQ(window->windowIconText(), EXPECTED_APPLICATION_TITLE);
    EXPECT_EQ(window->findChild<QLabel*>("Label")->text(), EXPECTED_LABEL);
}

// Whether the whole of widget is on the screen's free area.
bool OnScreen(const QWidget* widget) {
    const QRect shown(widget->mapToGlobal(QPoint(0, 0)), widget->size());
    return widget->isVisible() && widget->screen()->availableGeometry().contains(shown);
}

// The window opens fitted to the screen: 640 x 480, and also (as ctest runs it again with
// QT_SCALE_FACTOR=2) 320 x 240 to the window, less than its minimum size. The report with
// its scroll bars and the status bar are on the screen, and the buttons can be clicked.
TEST(PROGRAM_SUITE, TheFirstSizeFitsASmallScreen) {
    TApplication app;
    QWidget* window = ShowMainWindowWithQt(app, QUIL_PROGRAM);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    const QRect room = window->screen()->availableGeometry();
    ASSERT_EQ(room, QRect(QPoint(0, 0), QSize(640, 480) / window->devicePixelRatio()));
    EXPECT_EQ(window->frameGeometry(), room);
    const QSize frame = window->frameGeometry().size() - window->size();
    EXPECT_EQ(window->minimumSize() + frame, QSize(600, 450).boundedTo(room.size()))
        << "the minimum gives way only to a smaller screen";
    auto* memo = window->findChild<QPlainTextEdit*>("Memo");
    for (const auto& [name, part] : {std::pair<const char*, const QWidget*>{"report", memo},
                                     {"vertical scroll bar", memo->verticalScrollBar()},
                                     {"horizontal scroll bar", memo->horizontalScrollBar()},
                                     {"status bar", window->findChild<QWidget*>("StatusBar")}})
        EXPECT_TRUE(OnScreen(part)) << name;
    for (const char* name : {"SpBtnExit", "SpBtnRun"}) {
        const QWidget* button = window->findChild<QWidget*>(name);
        EXPECT_TRUE(room.contains(button->mapToGlobal(button->rect().center()))) << name;
    }
}

// Taken to a screen smaller than its minimum size, the window can be made as small as that
// screen; back on the larger one, the minimum holds again.
TEST(PROGRAM_SUITE, TheMinimumGivesWayOnASmallerScreen) {
    TApplication app;
    QWidget* window = ShowMainWindowWithQt(app, QUIL_PROGRAM);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    const QSize frame = window->frameGeometry().size() - window->size();
    for (QScreen* screen : {QGuiApplication::screens().at(1), QGuiApplication::screens().at(0)}) {
        window->windowHandle()->setScreen(screen);
        EXPECT_EQ(window->minimumSize() + frame, QSize(600, 450).boundedTo(screen->availableGeometry().size()));
    }
}

TEST(PROGRAM_SUITE, BatchOutputIsTheReportTheMemoHoldsAfterARun) {
    TApplication app;
    TFmMain& fm = *QUIL_PROGRAM.CreateForm(app);
    fm.SpBtnRunClick(nullptr);
    std::string memo;
    for (int i = 0; i < fm.Memo->Lines->Count(); ++i) memo += (*fm.Memo->Lines)[i] + "\n";

    const ProcessResult run = RunProgram(PROGRAM_PATH, {}, {{"QUIL_RENDERER", "batch"}});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(run.Out, memo);
}

// What a user copies from the window after a Run is what `program > file` writes.
TEST(PROGRAM_SUITE, TheWholeReportCopiedFromTheWindowIsTheBatchOutput) {
    TApplication app;
    QWidget* window = ShowMainWindowWithQt(app, QUIL_PROGRAM);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QTest::mouseClick(window->findChild<QToolButton*>("SpBtnRun"), Qt::LeftButton);
    auto* memo = window->findChild<QPlainTextEdit*>("Memo");
    memo->selectAll();
    memo->copy();
    const ProcessResult run = RunProgram(PROGRAM_PATH, {}, {{"QUIL_RENDERER", "batch"}});
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), run.Out);
}

// --help, as the program's build for Windows and for other systems writes it: its own summary
// and the renderers' part, within 80 columns.
TEST(PROGRAM_SUITE, HelpFitsEightyColumns) {
    for (bool forWindows : {false, true}) {
        const std::string help = HelpText(EXPECTED_NAME, QUIL_PROGRAM, forWindows);
        EXPECT_EQ(help.find("signal N") == std::string::npos, forWindows);
        std::istringstream lines(help);
        for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
    }
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" SMALL_SCREEN);
    QApplication qapp(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
