// quadrun's window as the win32 renderer shows it, driven through the window's own messages
// and read back from its native controls. <windows.h> comes first: nothing of ours may
// collide with it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "AllocSweep.h"
#include "ExpectedReports.h"
#include "FmMain.h"
#include "ReportCapture.h"
#include "quil.h"
#include "report/MessageBox.h"
#include "widgets/Application.h"
#include "win32/Win32Renderer.h"

namespace {

std::string WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr,
                        nullptr);
    return utf8;
}

// The edit control holds the report's lines joined by CR LF.
std::string EditText(const reports::Lines& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) text += (i > 0 ? "\r\n" : "") + lines[i];
    return text;
}

struct QuadrunWindow {
    TApplication App;
    Win32Renderer* Renderer = nullptr;
    TFmMain* Form = nullptr;
    HWND Main = nullptr;

    QuadrunWindow() {
        auto renderer = std::make_unique<Win32Renderer>();
        Renderer = renderer.get();
        App.Initialize(std::move(renderer));
        App.Title = ProgramTitles.ApplicationTitle;
        App.CreateForm(Form);
        Main = Renderer->Show(App, *Form);
    }
    HWND Control(const TControl* control) const { return Renderer->ControlWindow(*control); }
    RECT Bounds(const TControl* control) const {
        RECT r;
        GetWindowRect(Control(control), &r);
        MapWindowPoints(HWND_DESKTOP, GetParent(Control(control)), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    // Clicks button and lets the window catch up with what the click did.
    void Press(const TControl* button) const {
        SendMessageW(Control(button), BM_CLICK, 0, 0);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
};

// A message box shown while a click runs is read and closed by a timer that its modal loop
// runs.
struct SeenBox {
    int Count = 0;
    std::string Caption;
    std::string Text;
    HWND Owner = nullptr;
} seen;

BOOL CALLBACK CloseIfMessageBox(HWND window, LPARAM) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (std::wstring(className) != L"#32770" || !IsWindowVisible(window)) return TRUE;
    ++seen.Count;
    seen.Caption = WindowText(window);
    seen.Text = WindowText(GetDlgItem(window, 0xFFFF));  // the message box's text
    seen.Owner = GetWindow(window, GW_OWNER);
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

void CALLBACK CloseMessageBoxes(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), CloseIfMessageBox, 0);
}

struct BoxCloser {
    UINT_PTR Timer;
    BoxCloser() : Timer(SetTimer(nullptr, 0, 50, CloseMessageBoxes)) { seen = {}; }
    ~BoxCloser() { KillTimer(nullptr, Timer); }
};

}  // namespace

TEST(Win32Window, EachRunFillsTheEditControlWithTheReport) {
    QuadrunWindow window;
    EXPECT_EQ(WindowText(window.Control(window.Form->Memo)), "");
    const std::string expected = EditText(reports::QuadrunReport());
    for (int run = 1; run <= 2; ++run) {
        window.Press(window.Form->SpBtnRun);
        EXPECT_EQ(WindowText(window.Control(window.Form->Memo)), expected) << "Run " << run;
    }
}

TEST(Win32Window, NativeControlsAsTheWindowDescribesThem) {
    QuadrunWindow window;
    const TFmMain& form = *window.Form;
    EXPECT_EQ(WindowText(window.Main), "QUIL Library Test Platform");
    EXPECT_NE(SendMessageW(window.Main, WM_GETICON, ICON_BIG, 0), 0);
    RECT outer;
    GetWindowRect(window.Main, &outer);
    EXPECT_EQ(outer.right - outer.left, 800);
    EXPECT_EQ(outer.bottom - outer.top, 600);
    EXPECT_EQ(WindowText(window.Control(form.Label)), "Test of MtrxNN");
    EXPECT_TRUE(GetWindowLongW(window.Control(form.Label), GWL_STYLE) & SS_RIGHT);
    const LONG memo = GetWindowLongW(window.Control(form.Memo), GWL_STYLE);
    EXPECT_EQ(memo & (ES_MULTILINE | ES_READONLY | WS_HSCROLL | WS_VSCROLL),
              ES_MULTILINE | ES_READONLY | WS_HSCROLL | WS_VSCROLL);

    // The report's font has a fixed pitch (the flag's name says the opposite).
    HDC dc = GetDC(window.Control(form.Memo));
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window.Control(form.Memo), WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics;
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(window.Control(form.Memo), dc);
    EXPECT_EQ(metrics.tmPitchAndFamily & TMPF_FIXED_PITCH, 0);
    EXPECT_EQ(metrics.tmHeight - metrics.tmInternalLeading, 13);

    // Made smaller than it may be, the window stays 600 by 450; the strips keep their heights
    // and the report takes the rest.
    SetWindowPos(window.Main, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
    GetWindowRect(window.Main, &outer);
    EXPECT_EQ(outer.right - outer.left, 600);
    EXPECT_EQ(outer.bottom - outer.top, 450);
    RECT client;
    GetClientRect(window.Main, &client);
    const RECT panel = window.Bounds(form.Panel);
    const RECT report = window.Bounds(form.Memo);
    const RECT status = window.Bounds(form.StatusBar);
    EXPECT_EQ(panel.bottom - panel.top, 38);
    EXPECT_EQ(status.bottom - status.top, 19);
    EXPECT_EQ(status.bottom, client.bottom);
    EXPECT_EQ(report.top, panel.bottom);
    EXPECT_EQ(report.bottom, status.top);
    EXPECT_EQ(report.right, client.right);
}

TEST(Win32Window, EnterRunsAndEscapeClosesTheWindowFromTheReport) {
    QuadrunWindow window;
    HWND memo = window.Control(window.Form->Memo);
    EXPECT_EQ(GetFocus(), memo);
    PostMessageW(memo, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(memo, WM_KEYDOWN, VK_ESCAPE, 0);
    window.App.Run();  // returns when the window has closed
    EXPECT_EQ(window.App.ExitCode, 0);
    EXPECT_FALSE(IsWindow(window.Main));
    EXPECT_FALSE(window.Form->Visible());
    EXPECT_EQ(window.Form->Memo->Lines->Count(), 211);
}

TEST(Win32Window, AFailedHeapRequestShowsTheLibrarysBoxOwnedByTheWindow) {
    ASSERT_TRUE(IsWinEnv());
    QuadrunWindow window;
    BoxCloser closer;
    allocsweep::FailAt(2);  // the first matrix's rows (the record before them fails silently)
    window.Press(window.Form->SpBtnRun);
    allocsweep::Disarm();
    ASSERT_TRUE(allocsweep::Failed());
    const allocsweep::Request& failed = allocsweep::FailedRequest();
    EXPECT_EQ(seen.Count, 1);
    EXPECT_EQ(seen.Caption, "QUIL Lib. Error Message");
    EXPECT_EQ(seen.Text,
              ReportCapture::TextFor(static_cast<std::uint32_t>(failed.count * failed.size)));
    EXPECT_EQ(seen.Owner, window.Main);
    EXPECT_TRUE(IsWindowVisible(window.Main));
}

TEST(Win32Window, AnExceptionEscapingAClickIsShownAndTheWindowStaysOpen) {
    QuadrunWindow window;
    long routineRequests = 0;
    {
        TFmMain counted;
        allocsweep::FailAt(0);  // count only
        counted.MtrxNNRoutineSuite();
        allocsweep::Disarm();
        routineRequests = allocsweep::Requests();
    }
    BoxCloser closer;
    allocsweep::FailAt(routineRequests + 1);  // the class suite's first object
    window.Press(window.Form->SpBtnRun);
    allocsweep::Disarm();
    EXPECT_EQ(seen.Count, 1);
    EXPECT_EQ(seen.Caption, "Test of MtrxNN");
    EXPECT_NE(seen.Text.find("AllocErr"), std::string::npos) << seen.Text;
    EXPECT_EQ(seen.Owner, window.Main);
    EXPECT_TRUE(IsWindowVisible(window.Main));
    EXPECT_EQ(window.Form->Memo->Lines->Count(), 108 + 1);  // the routine suite and a header

    seen = {};
    window.Press(window.Form->SpBtnRun);
    EXPECT_EQ(seen.Count, 0);
    EXPECT_EQ(WindowText(window.Control(window.Form->Memo)), EditText(reports::QuadrunReport()));
}
