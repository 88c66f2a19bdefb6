// One program's report as its renderers show it: the batch renderer's standard output and the
// qt window's report after a click on Run, against the expected text. Built once for quadrun
// and once for linrun (PROGRAM_REPORT names the expected report, PROGRAM_PATH the program).
// With QUIL_GERMAN_LOCALE_PATH set they run in German, a locale with a decimal comma, taken
// from that folder.
#include <gtest/gtest.h>

#include <clocale>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

#include "ExpectedReports.h"
#include QUIL_PROGRAM_HEADER
#include "ProcessRun.h"
#include "QtWindow.h"
#include "widgets/Application.h"

namespace {

std::string JoinedLines(const reports::Lines& lines, const char* separator, bool trailing) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += lines[i];
        if (trailing || i + 1 < lines.size()) text += separator;
    }
    return text;
}

}  // namespace

TEST(PROGRAM_SUITE, BatchRendererWritesTheReportLineByLine) {
    const ProcessResult run = RunProgram(PROGRAM_PATH, {}, {{"QUIL_RENDERER", "batch"}});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(run.Out, JoinedLines(reports::PROGRAM_REPORT(), "\n", true));
}

TEST(PROGRAM_SUITE, QtWindowShowsTheReportAfterEachRun) {
    // Qt has set the C library's locale from the environment: the one this run was given.
    if (!qgetenv("QUIL_GERMAN_LOCALE_PATH").isEmpty()) {
        ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    }
    TApplication app;
    QWidget* window = ShowMainWindowWithQt(app, QUIL_PROGRAM);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    auto* memo = window->findChild<QPlainTextEdit*>("Memo");
    auto* run = window->findChild<QToolButton*>("SpBtnRun");
    ASSERT_TRUE(memo != nullptr && run != nullptr);

    const reports::Lines expected = reports::PROGRAM_REPORT();
    const QString text = QString::fromStdString(JoinedLines(expected, "\n", false));
    for (int click = 1; click <= 2; ++click) {
        QTest::mouseClick(run, Qt::LeftButton);
        EXPECT_EQ(memo->document()->blockCount(), static_cast<int>(expected.size())) << "Run " << click;
        EXPECT_EQ(memo->toPlainText(), text) << "Run " << click;
    }
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QByteArray german = qgetenv("QUIL_GERMAN_LOCALE_PATH");
    if (!german.isEmpty()) {
        qputenv("LOCPATH", german);
        qputenv("LC_ALL", "de_DE.UTF-8");
    }
    QApplication qapp(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
