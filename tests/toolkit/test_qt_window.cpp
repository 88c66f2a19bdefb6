// The qt renderer under Qt's offscreen platform: the real window, driven with the mouse.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "FmMain.h"
#include "TestProgram.h"
#include "qt/QtRenderer.h"
#include "report/MessageBox.h"
#include "widgets/Application.h"

#include <cmath>

namespace {

QString Joined(const std::vector<std::string>& lines, std::size_t count) {
    QStringList list;
    for (std::size_t i = 0; i < count; ++i) list << QString::fromStdString(lines[i]);
    return list.join('\n');
}

struct ShownBox {
    bool Seen = false;
    QString Title;
    QString Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons Buttons;
};

// Answers the next modal message box with OK and tells what it showed.
void AnswerNextBox(ShownBox& shown) {
    QTimer::singleShot(0, [&shown] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        shown = {true, box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
        box->accept();
    });
}

class QtWindow : public ::testing::Test {
protected:
    void SetUp() override {
        auto renderer = std::make_unique<QtRenderer>();
        qt = renderer.get();
        app.Initialize(std::move(renderer));
        form = &CreateProgramWindow(app, PlatformTestProgram);
        window = qt->Show(app, *form);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        memo = Child<QPlainTextEdit>("Memo");
        run = Child<QToolButton>("SpBtnRun");
        exit = Child<QToolButton>("SpBtnExit");
        ASSERT_TRUE(memo != nullptr && run != nullptr && exit != nullptr);
    }

    void TearDown() override { TestRunFailure = TestFailure::None; }

    template <class Widget>
    Widget* Child(const char* name) const {
        return window->findChild<Widget*>(QString::fromLatin1(name));
    }

    // Resizes the client area and lets the window settle.
    void ResizeTo(int width, int height) {
        window->resize(width, height);
        QApplication::processEvents();
    }

    TApplication app;
    QtRenderer* qt = nullptr;
    TFmMain* form = nullptr;
    QWidget* window = nullptr;
    QPlainTextEdit* memo = nullptr;
    QToolButton* run = nullptr;
    QToolButton* exit = nullptr;
};

}  // namespace

TEST_F(QtWindow, CaptionApplicationNameAndTitleAndLabel) {
    EXPECT_EQ(window->windowTitle(), "QUIL Library Test Platform");
    EXPECT_EQ(QCoreApplication::applicationName(), "platform_program") << "WM_CLASS's class";
    EXPECT_EQ(QGuiApplication::desktopFileName(), "platform_program") << "Wayland's application id";
    EXPECT_EQ(window->windowIconText(), "Test of Platform");
    EXPECT_EQ(Child<QLabel>("Label")->text(), "Platform under test");
}

TEST_F(QtWindow, OuterSizeAndTheStripsAsDescribed) {
    EXPECT_EQ(window->frameGeometry().size(), QSize(800, 600));
    const int w = window->width();
    const int h = window->height();
    EXPECT_EQ(Child<QWidget>("Panel")->geometry(), QRect(0, 0, w, 38));
    EXPECT_EQ(exit->geometry(), QRect(8, 8, 23, 22));
    EXPECT_EQ(Child<QLabel>("Label")->geometry(), QRect(40, 8, 249, 22));
    EXPECT_EQ(run->geometry(), QRect(296, 8, 23, 22));
    EXPECT_EQ(memo->geometry(), QRect(0, 38, w, h - 57));
    EXPECT_EQ(Child<QStatusBar>("StatusBar")->geometry(), QRect(0, h - 19, w, 19));
    EXPECT_EQ(Child<QLabel>("Label")->alignment(), Qt::AlignRight | Qt::AlignVCenter);
}

TEST_F(QtWindow, ResizeBelowTheMinimumIsRefusedAndGrowingMovesOnlyTheMemo) {
    ResizeTo(300, 200);
    EXPECT_EQ(window->frameGeometry().size(), QSize(600, 450));
    EXPECT_EQ(form->Width(), 600);
    EXPECT_EQ(form->Height(), 450);
    for (QSize size : {QSize(1000, 800), QSize(1234, 567)}) {
        ResizeTo(size.width(), size.height());
        ASSERT_EQ(window->size(), size);
        EXPECT_EQ(Child<QWidget>("Panel")->geometry(), QRect(0, 0, size.width(), 38));
        EXPECT_EQ(Child<QStatusBar>("StatusBar")->geometry(), QRect(0, size.height() - 19, size.width(), 19));
        EXPECT_EQ(memo->geometry(), QRect(0, 38, size.width(), size.height() - 57));
    }
}

TEST_F(QtWindow, ControlsBehaveAsDescribed) {
    for (const auto& [button, name] : {std::pair{exit, "Exit"}, std::pair{run, "Run"}}) {
        EXPECT_FALSE(button->autoRaise()) << "raised, not flat";
        EXPECT_EQ(button->focusPolicy(), Qt::TabFocus) << "Tab reaches it, a click leaves the focus";
        EXPECT_TRUE(button->text().isEmpty());
        EXPECT_EQ(button->toolTip(), name);
        EXPECT_EQ(button->accessibleName(), name);
        const QImage glyph = button->icon().pixmap(16, 16).toImage();
        EXPECT_EQ(qAlpha(glyph.pixel(0, 15)), 0) << "olive is drawn transparent";
    }
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_EQ(memo->accessibleName(), "Report");
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_FALSE(memo->testAttribute(Qt::WA_InputMethodEnabled));
    EXPECT_TRUE(memo->toPlainText().isEmpty());
    EXPECT_EQ(window->palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(Child<QWidget>("Panel")->palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xC0));
    const QImage icon = window->windowIcon().pixmap(32, 32).toImage();
    EXPECT_EQ(icon.pixelColor(0, 0), QColor(Qt::black));
    EXPECT_EQ(icon.pixelColor(15, 4), QColor(Qt::cyan));
}

TEST_F(QtWindow, FontsFallBackToMetricCompatibleFaces) {
    const QFontInfo label(Child<QLabel>("Label")->font());
    EXPECT_EQ(label.family(), "IPAPGothic");
    EXPECT_EQ(label.pixelSize(), 12);
    const QFontInfo report(memo->font());
    EXPECT_EQ(report.family(), "Liberation Mono");
    EXPECT_EQ(report.pixelSize(), 13);
    EXPECT_TRUE(report.fixedPitch());
}

TEST_F(QtWindow, RunByMouseFillsTheReportAndASecondRunReplacesIt) {
    QTest::mouseClick(run, Qt::LeftButton);
    const QString report = Joined(TestReport, TestReport.size());
    EXPECT_EQ(memo->toPlainText(), report);
    EXPECT_EQ(memo->document()->blockCount(), static_cast<int>(TestReport.size()));
    QTest::mouseClick(run, Qt::LeftButton);
    EXPECT_EQ(memo->toPlainText(), report);
}

TEST_F(QtWindow, PutLineOfTheEmptyStringShowsOneEmptyLine) {
    form->PutLine("");
    EXPECT_EQ(memo->document()->blockCount(), 1);
    form->PutLine("");
    form->PutLine("x");
    EXPECT_EQ(memo->toPlainText(), "\n\nx");
    EXPECT_EQ(memo->document()->blockCount(), 3);
}

TEST_F(QtWindow, AnExceptionFromAClickIsShownAndTheWindowStaysUsable) {
    TestRunFailure = TestFailure::Standard;
    ShownBox shown;
    AnswerNextBox(shown);
    QTest::mouseClick(run, Qt::LeftButton);
    ASSERT_TRUE(shown.Seen);
    EXPECT_EQ(shown.Title, "Test of Platform");
    EXPECT_EQ(shown.Text, "suite failed on purpose");
    EXPECT_EQ(shown.Icon, QMessageBox::Critical);
    EXPECT_EQ(memo->toPlainText(), Joined(TestReport, LinesBeforeFailure));
    EXPECT_TRUE(window->isVisible());

    TestRunFailure = TestFailure::None;
    QTest::mouseClick(run, Qt::LeftButton);
    EXPECT_EQ(memo->toPlainText(), Joined(TestReport, TestReport.size()));
}

TEST_F(QtWindow, LibraryMessageBoxIsAModalErrorDialogWithOneOkButton) {
    ShownBox shown;
    AnswerNextBox(shown);
    EXPECT_EQ(MessageBoxA(nullptr, "failed to allocate 0 byte(s) in heap area.\r\n", "QUIL Lib. Error Message",
                          MB_ICONERROR),
              IDOK);
    ASSERT_TRUE(shown.Seen);
    EXPECT_EQ(shown.Title, "QUIL Lib. Error Message");
    EXPECT_EQ(shown.Text, "failed to allocate 0 byte(s) in heap area.");
    EXPECT_EQ(shown.Icon, QMessageBox::Critical);
    EXPECT_EQ(shown.Buttons, QMessageBox::Ok);
}

TEST_F(QtWindow, KeysPressTheButtonsAndLeaveTheReportItsOwn) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    const QString report = Joined(TestReport, TestReport.size());
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_R}) {
        form->Memo->Lines->Clear();
        QTest::keyClick(memo, key);
        EXPECT_EQ(memo->toPlainText(), report) << key;
    }
    form->Memo->Lines->Clear();
    QTest::keyClick(memo, Qt::Key_R, Qt::ShiftModifier);
    EXPECT_EQ(memo->toPlainText(), report) << "Shift+R";
    form->Memo->Lines->Clear();
    QTest::keyClick(memo, 'R');   // what Caps Lock sends
    EXPECT_EQ(memo->toPlainText(), report) << "R under Caps Lock";
    QApplication::clipboard()->clear();
    QTest::keyClick(memo, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(memo, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), report + '\n')
        << "select-all and copy are the report's, and give every line with its line break";
    form->Memo->Lines->Clear();
    QTest::keyClick(memo, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(memo->toPlainText(), "") << "Ctrl+R is no Run";
    QTest::keyClick(memo, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(form->Visible()) << "Ctrl-Q closes";
    form->Show();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QTest::keyClick(memo, Qt::Key_E, Qt::ShiftModifier);
    EXPECT_FALSE(form->Visible());
}

TEST_F(QtWindow, TabGoesRoundTheButtonsAndTheReportWithAVisibleFocus) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    memo->setFocus();
    const QImage unfocused = run->grab().toImage();
    for (QWidget* next : {static_cast<QWidget*>(exit), static_cast<QWidget*>(run), static_cast<QWidget*>(memo)}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
        if (next == run) {
            EXPECT_NE(run->grab().toImage(), unfocused) << "the focus shows";
        }
    }
    QTest::keyClick(memo, Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), run);
    QTest::keyClick(run, Qt::Key_Space);
    EXPECT_EQ(memo->toPlainText(), Joined(TestReport, TestReport.size())) << "Space presses it";
    memo->setFocus();
    QTest::mouseClick(run, Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), memo) << "a click does not take the focus";
}

// Right after the start, and with the focus on a button, the report's keys move in the report
// and copy it, and the focus stays where it is.
TEST_F(QtWindow, TheReportKeysWorkAtOnceWhereverTheFocusIs) {
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    const auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(static_cast<QWidget*>(nullptr), key, modifiers);   // where the focus is
    };
    QStringList report;
    for (int i = 0; i < 300; ++i) {
        report << QString::number(i);
        form->PutLine(report.back().toStdString());
    }
    const QScrollBar* bar = memo->verticalScrollBar();
    for (QWidget* focus : {static_cast<QWidget*>(memo), static_cast<QWidget*>(exit), static_cast<QWidget*>(run)}) {
        const std::string at = focus->objectName().toStdString();
        ASSERT_EQ(QApplication::focusWidget(), focus) << at;
        press(Qt::Key_Home, Qt::ControlModifier);
        EXPECT_EQ(bar->value(), 0) << at;
        press(Qt::Key_End, Qt::ControlModifier);
        EXPECT_EQ(bar->value(), bar->maximum()) << at;
        press(Qt::Key_PageUp);
        EXPECT_LT(bar->value(), bar->maximum()) << at;
        press(Qt::Key_Right);
        QApplication::clipboard()->clear();
        press(Qt::Key_A, Qt::ControlModifier);
        press(Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QApplication::clipboard()->text().toStdString(), (report.join('\n') + '\n').toStdString()) << at;
        EXPECT_EQ(QApplication::focusWidget(), focus) << at << ": the focus stays";
        press(Qt::Key_Tab);
    }
}

// Copying a part of the report that reaches its end gives the last line its line break too.
TEST_F(QtWindow, CopyingThePartThatEndsTheReportEndsWithALineBreak) {
    for (const char* line : {"a", "b", ""}) form->PutLine(line);
    QTextCursor cursor(memo->document());
    cursor.setPosition(2);   // from "b"
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    memo->setTextCursor(cursor);
    memo->copy();
    EXPECT_EQ(QApplication::clipboard()->text(), "b\n\n");
    cursor.setPosition(0);
    cursor.setPosition(1, QTextCursor::KeepAnchor);
    memo->setTextCursor(cursor);
    memo->copy();
    EXPECT_EQ(QApplication::clipboard()->text(), "a") << "a part inside the report is copied as it is";
}

TEST_F(QtWindow, ExitAndTheCloseBoxCloseTheForm) {
    QTest::mouseClick(exit, Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(form->Visible());
    window->show();
    form->Show();
    window->close();
    EXPECT_FALSE(form->Visible());
}

// The WCAG contrast ratio of two colours: 4.5 and above reads well.
double Contrast(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& c) {
        auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF()) + 0.05;
    };
    return std::max(luminance(a), luminance(b)) / std::min(luminance(a), luminance(b));
}

// The window opened under a theme of light text on dark faces.
class QtWindowDark : public QtWindow {
    void SetUp() override {
        QPalette dark = light_;
        for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button}) dark.setColor(role, QColor(0x20, 0x20, 0x20));
        for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) dark.setColor(role, Qt::white);
        QApplication::setPalette(dark);
        QtWindow::SetUp();
    }
    void TearDown() override {
        QtWindow::TearDown();
        QApplication::setPalette(light_);
    }
    const QPalette light_ = QApplication::palette();
};

TEST_F(QtWindowDark, TextStaysReadable) {
    const QColor face = Child<QWidget>("Panel")->palette().color(QPalette::Window);
    EXPECT_EQ(face, QColor(0xC0, 0xC0, 0xC0)) << "the window's own colour";
    EXPECT_GE(Contrast(Child<QLabel>("Label")->palette().color(QPalette::WindowText), face), 4.5);
    const QPalette report = memo->viewport()->palette();
    EXPECT_EQ(report.color(QPalette::Base), QColor(0x20, 0x20, 0x20)) << "the report follows the theme";
    EXPECT_GE(Contrast(report.color(QPalette::Text), report.color(QPalette::Base)), 4.5);
}

TEST(QtRendererRun, RunReturnsZeroWhenTheWindowIsClosed) {
    TApplication app;
    app.Initialize(std::make_unique<QtRenderer>());
    TFmTest* form = nullptr;
    app.CreateForm(form);
    QTimer::singleShot(0, [form] { form->SpBtnExit->Click(); });
    app.Run();
    EXPECT_EQ(app.ExitCode, 0);
    EXPECT_FALSE(form->Visible());
}

TEST(QtRendererRun, TheLibraryMessageBoxIsRestoredWhenTheRendererEnds) {
    MessageBoxHandler during = nullptr;
    {
        QtRenderer renderer;
        during = SetMessageBoxHandler(nullptr);
        SetMessageBoxHandler(during);
    }
    MessageBoxHandler after = SetMessageBoxHandler(nullptr);
    EXPECT_NE(after, during);
}

int main(int argc, char** argv) {
    // The window tests need no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
