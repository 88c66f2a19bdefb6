// quadrun's window as the win32 renderer shows it, driven through the window's own messages
// and read back from its native controls. <windows.h> comes first: nothing of ours may
// collide with it.
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "AllocSweep.h"
#include "ExpectedReports.h"
#include "FmQuadrun.h"
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
    TFmQuadrun* Form = nullptr;
    HWND Main = nullptr;

    explicit QuadrunWindow(int dpi = 96) {
        auto renderer = std::make_unique<Win32Renderer>(dpi);
        Renderer = renderer.get();
        App.Initialize(std::move(renderer));
        App.Title = QuadrunProgram.ApplicationTitle;
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

// Runs the window's message loop and takes one step each time its queue has gone quiet: a
// step checks what the input before it did and posts the next. The window is closed once the
// steps are done, should the last one not have closed it.
std::vector<std::function<void()>>* steps = nullptr;
std::size_t nextStep = 0;
HWND scriptWindow = nullptr;

void CALLBACK TakeStep(HWND, UINT, UINT_PTR, DWORD) {
    if (nextStep < steps->size()) {
        (*steps)[nextStep++]();
    } else {
        ++nextStep;
        PostMessageW(scriptWindow, WM_CLOSE, 0, 0);
    }
}

void RunScript(QuadrunWindow& window, std::vector<std::function<void()>> script) {
    steps = &script;
    nextStep = 0;
    scriptWindow = window.Main;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, TakeStep);
    window.App.Run();
    KillTimer(nullptr, timer);
    EXPECT_EQ(nextStep, script.size()) << "the steps that closed the window, and no more";
}

// Holds down (or lets go of) keys such as Shift and Ctrl, as the next key presses see them.
void HoldKeys(std::initializer_list<int> keys, bool down = true) {
    BYTE state[256];
    GetKeyboardState(state);
    for (int key : keys) state[key] = down ? 0x80 : 0;
    SetKeyboardState(state);
}

void Key(HWND target, WPARAM key) {
    PostMessageW(target, WM_KEYDOWN, key, 0);
    PostMessageW(target, WM_KEYUP, key, 0xC0000000);
}

// A left click in the middle of target.
void Click(HWND target) {
    RECT face;
    GetClientRect(target, &face);
    const LPARAM middle = MAKELPARAM(face.right / 2, face.bottom / 2);
    PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    PostMessageW(target, WM_LBUTTONUP, 0, middle);
}

// The metrics of the font a control draws its text in.
TEXTMETRICW FontMetrics(HWND control) {
    HDC dc = GetDC(control);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics;
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return metrics;
}

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
    const TEXTMETRICW metrics = FontMetrics(window.Control(form.Memo));
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
        TFmQuadrun counted;
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

TEST(Win32Window, LettersInEitherCasePressTheButtons) {
    QuadrunWindow window;
    HWND memo = window.Control(window.Form->Memo);
    RunScript(window, {
        [&] { PostMessageW(memo, WM_CHAR, 'R', 0); },   // Shift+R or Caps Lock
        [&] {
            EXPECT_EQ(window.Form->Memo->Lines->Count(), 211);
            window.Form->Memo->Lines->Clear();
            PostMessageW(memo, WM_CHAR, 'R' - '@', 0);   // Ctrl+R
        },
        [&] {
            EXPECT_EQ(window.Form->Memo->Lines->Count(), 0);
            PostMessageW(memo, WM_CHAR, 'E', 0);
        },
    });
    EXPECT_FALSE(window.Form->Visible());
}

TEST(Win32Window, TabVisitsTheButtonsAndTheReportAndSpacePressesTheFocusedButton) {
    QuadrunWindow window;
    const TFmMain& form = *window.Form;
    HWND memo = window.Control(form.Memo);
    HWND exit = window.Control(form.SpBtnExit);
    HWND run = window.Control(form.SpBtnRun);
    EXPECT_TRUE(GetWindowLongW(run, GWL_STYLE) & WS_TABSTOP);
    RunScript(window, {
        [&] {
            EXPECT_EQ(GetFocus(), memo);
            Key(memo, VK_TAB);
        },
        [&] {
            EXPECT_EQ(GetFocus(), exit);
            Key(exit, VK_TAB);
        },
        [&] {
            EXPECT_EQ(GetFocus(), run);
            Key(run, VK_TAB);
        },
        [&] {
            EXPECT_EQ(GetFocus(), memo) << "round to the start";
            HoldKeys({VK_SHIFT});
            Key(memo, VK_TAB);
        },
        [&] {
            HoldKeys({VK_SHIFT}, false);
            EXPECT_EQ(GetFocus(), run) << "Shift+Tab goes back";
            Key(run, VK_SPACE);
        },
        [&] {
            EXPECT_EQ(form.Memo->Lines->Count(), 211);
            EXPECT_EQ(GetFocus(), run) << "a button pressed from the keyboard keeps the focus";
            form.Memo->Lines->Clear();
            Click(run);
        },
        [&] {
            EXPECT_EQ(form.Memo->Lines->Count(), 211);
            EXPECT_EQ(GetFocus(), run) << "a click leaves the focus where it was";
            Key(run, VK_TAB);
        },
        [&] {
            EXPECT_EQ(GetFocus(), memo);
            Click(run);
        },
        [&] {
            EXPECT_EQ(GetFocus(), memo) << "a click leaves the focus where it was";
            HoldKeys({VK_CONTROL});
            Key(memo, 'Q');
        },
    });
    HoldKeys({VK_CONTROL}, false);
    EXPECT_FALSE(IsWindow(window.Main)) << "Ctrl+Q closes the window";
}

TEST(Win32Window, TheButtonsTellTheirNamesInTooltips) {
    QuadrunWindow window;
    HWND tips = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND candidate, LPARAM found) {
            wchar_t className[32] = {};
            GetClassNameW(candidate, className, 32);
            if (std::wstring(className) != TOOLTIPS_CLASSW) return TRUE;
            *reinterpret_cast<HWND*>(found) = candidate;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&tips));
    ASSERT_NE(tips, nullptr);
    EXPECT_EQ(GetWindow(tips, GW_OWNER), window.Main);
    ASSERT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 2);
    for (const TSpeedButton* button : {window.Form->SpBtnExit, window.Form->SpBtnRun}) {
        wchar_t text[80] = {};
        TTTOOLINFOW tool = {};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.hwnd = GetParent(window.Control(button));
        tool.uId = reinterpret_cast<UINT_PTR>(window.Control(button));
        tool.lpszText = text;
        SendMessageW(tips, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&tool));
        EXPECT_EQ(std::wstring(text), button == window.Form->SpBtnRun ? L"Run" : L"Exit");
    }
}

TEST(Win32Window, AtOneAndAHalfTimesTheDensityEverythingIsOneAndAHalfTimesAsLarge) {
    QuadrunWindow window(144);
    const TFmMain& form = *window.Form;
    RECT outer;
    GetWindowRect(window.Main, &outer);
    EXPECT_EQ(outer.right - outer.left, 1200);
    EXPECT_EQ(outer.bottom - outer.top, 900);
    const RECT run = window.Bounds(form.SpBtnRun);
    EXPECT_EQ(run.left, 444);
    EXPECT_EQ(run.top, 12);
    EXPECT_EQ(run.right - run.left, 35);   // 23 wide, rounded to the nearest pixel
    EXPECT_EQ(window.Bounds(form.Panel).bottom, 57);

    const TEXTMETRICW metrics = FontMetrics(window.Control(form.Memo));
    EXPECT_EQ(metrics.tmHeight - metrics.tmInternalLeading, 20);   // 13 pixels at 96 per inch

    // The minimum size grows with the rest, and the strips still meet the window's edges.
    SetWindowPos(window.Main, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
    GetWindowRect(window.Main, &outer);
    EXPECT_EQ(outer.right - outer.left, 900);
    EXPECT_EQ(outer.bottom - outer.top, 675);
    SetWindowPos(window.Main, nullptr, 0, 0, 1001, 777, SWP_NOMOVE | SWP_NOZORDER);
    RECT client;
    GetClientRect(window.Main, &client);
    const RECT report = window.Bounds(form.Memo);
    const RECT status = window.Bounds(form.StatusBar);
    EXPECT_EQ(status.bottom, client.bottom);
    EXPECT_EQ(status.right, client.right);
    EXPECT_EQ(report.right, client.right);
    EXPECT_EQ(report.bottom, status.top);
    EXPECT_EQ(report.top, 57);
}

// The program as Explorer and Task Manager see it: its icon is the window's, its version
// names it, and its manifest asks for sharp text at any scaling.
TEST(Win32Program, CarriesItsIconVersionAndManifest) {
    const std::wstring path = std::wstring(L"" QUADRUN_PATH);
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << QUADRUN_PATH;
    auto icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0));
    ASSERT_NE(icon, nullptr);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, info.hbmColor);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, 15, 4), RGB(0, 255, 255)) << "the cyan stroke";
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);

    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));   // the manifest
    ASSERT_NE(found, nullptr);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, found))),
                               SizeofResource(module, found));
    EXPECT_NE(manifest.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true"),
              std::string::npos) << manifest;
    EXPECT_EQ(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos) << "the classic look";

    found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));   // the version
    ASSERT_NE(found, nullptr);
    const auto* version = static_cast<const char*>(LockResource(LoadResource(module, found)));
    const std::wstring text(reinterpret_cast<const wchar_t*>(version), SizeofResource(module, found) / 2);
    for (const wchar_t* expected : {L"FileDescription", L"QUIL test of the square-matrix routines",
                                    L"OriginalFilename", L"quadrun.exe", L"ProductVersion"})
        EXPECT_NE(text.find(expected), std::wstring::npos) << "no " << std::string(expected, expected + wcslen(expected));
    FreeLibrary(module);
}
