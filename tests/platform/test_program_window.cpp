// One program's own window and report: built once for quadrun and once for linrun, against
// that program's titles and suites. The window opens on a small screen of 640 x 480.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include QUIL_PROGRAM_HEADER
#include "ProcessRun.h"
#include "QtWindow.h"
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

TEST(PROGRAM_SUITE, TheFirstSizeFitsASmallScreen) {
    TApplication app;
    QWidget* window = ShowMainWindowWithQt(app, QUIL_PROGRAM);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    ASSERT_EQ(window->screen()->availableGeometry(), QRect(0, 0, 640, 480));
    EXPECT_EQ(window->frameGeometry(), QRect(0, 0, 640, 480));
    const QSize frame = window->frameGeometry().size() - window->size();
    EXPECT_EQ(window->minimumSize() + frame, QSize(600, 450)) << "the minimum stays";
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

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" SMALL_SCREEN);
    QApplication qapp(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
