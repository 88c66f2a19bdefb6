// The window without a renderer: the widget model's rules, TFmMain's description and run
// cycle, the application object and the renderer choice.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "FmMain.h"
#include "Glyphs.h"
#include "IconFile.h"
#include "TestProgram.h"
#include "choice/RendererChoice.h"
#include "objects/SVect.h"
#include "widgets/Application.h"
#include "widgets/Views.h"

namespace {

std::vector<std::string> ReportOf(const TFmMain& fm) {
    std::vector<std::string> lines;
    for (int i = 0; i < fm.Memo->Lines->Count(); ++i) lines.push_back((*fm.Memo->Lines)[i]);
    return lines;
}

std::vector<std::string> FirstLines(int count) {
    return {TestReport.begin(), TestReport.begin() + count};
}

// Counts what a renderer would be told.
struct RecordingView : TFormView {
    int LinesChanges = 0;
    int Closings = 0;
    void LinesChanged(TMemo&) override { ++LinesChanges; }
    void FormClosed(TForm&) override { ++Closings; }
};

class FailureGuard {
public:
    explicit FailureGuard(TestFailure failure) { TestRunFailure = failure; }
    ~FailureGuard() { TestRunFailure = TestFailure::None; }
};

}  // namespace

TEST(Strings, AnnouncesEachChangeOutsideAnUpdateAndOncePerOutermostUpdate) {
    TStrings lines;
    int changes = 0;
    lines.OnChange = [&] { ++changes; };
    lines.Add("a");
    lines.Add("b");
    EXPECT_EQ(changes, 2);
    lines.BeginUpdate();
    lines.BeginUpdate();
    lines.Clear();
    lines.Add("c");
    lines.EndUpdate();
    EXPECT_EQ(changes, 2) << "an inner EndUpdate must not announce";
    lines.EndUpdate();
    EXPECT_EQ(changes, 3);
    lines.BeginUpdate();
    lines.EndUpdate();
    lines.EndUpdate();   // unbalanced: ignored
    EXPECT_EQ(changes, 3) << "an update that changed nothing is not announced";
    ASSERT_EQ(lines.Count(), 1);
    EXPECT_EQ(lines[0], "c");
    EXPECT_THROW(lines[1], std::out_of_range);
    EXPECT_THROW(lines[-1], std::out_of_range);
}

TEST(Strings, ClearStartsANewGenerationEvenWhenEmpty) {
    TStrings lines;
    const unsigned before = lines.Generation();
    lines.Clear();
    EXPECT_EQ(lines.Generation(), before + 1);
    lines.Add("x");
    EXPECT_EQ(lines.Generation(), before + 1);
}

TEST(Views, ShownLinesAreWhatIsNewAndAClearStartsAfresh) {
    TStrings lines;
    lines.Add("a");
    lines.Add("b");
    TShownLines shown;
    auto expect = [&](bool restart, int from, int to) {
        const TNewLines added = shown.Take(lines);
        EXPECT_EQ(added.Restart, restart);
        EXPECT_EQ(added.From, from);
        EXPECT_EQ(added.To, to);
        EXPECT_EQ(shown.Count(), to);
    };
    expect(false, 0, 2);   // what the memo held before the view came
    lines.Add("c");
    expect(false, 2, 3);
    expect(false, 3, 3);
    lines.Clear();
    lines.Add("x");
    expect(true, 0, 1);
    lines.Clear();         // refilled to the same count: still a new text
    lines.Add("y");
    expect(true, 0, 1);
}

TEST(Views, KeysPressTheButtonsInEitherLetterCase) {
    TFmMain fm;
    using Keys = std::initializer_list<int>;
    for (int key : Keys{'r', 'R', KeyEnter}) EXPECT_EQ(ButtonForKey(fm, key), fm.SpBtnRun) << key;
    for (int key : Keys{'e', 'E', KeyEscape}) EXPECT_EQ(ButtonForKey(fm, key), fm.SpBtnExit) << key;
    for (int key : Keys{'x', ' ', '\r', 'R' - '@', 'r' | 0x80}) EXPECT_EQ(ButtonForKey(fm, key), nullptr) << key;
    fm.SpBtnRun->Enabled = false;
    EXPECT_EQ(ButtonForKey(fm, 'r'), nullptr);
    EXPECT_EQ(ButtonForKey(fm, KeyEnter), nullptr);
}

TEST(Views, TabVisitsTheButtonsThenTheReport) {
    TFmMain fm;
    using Order = std::vector<TControl*>;
    EXPECT_EQ(FocusOrder(fm), (Order{fm.SpBtnExit, fm.SpBtnRun, fm.Memo}));
    fm.SpBtnExit->Enabled = false;
    EXPECT_EQ(FocusOrder(fm), (Order{fm.SpBtnRun, fm.Memo}));
    fm.Panel->TabOrder = 2;
    EXPECT_EQ(FocusOrder(fm), (Order{fm.Memo, fm.SpBtnRun}));
}

TEST(FormLayout, DescribedWindowAtTheDesignFrameHasTheDesignClientArea) {
    TFmMain fm;
    // The frame of the design system: 4-pixel borders and a 23-pixel caption.
    fm.SetFrameSize(8, 27);
    EXPECT_EQ(fm.BoundsRect(), (TRect{0, 0, 800, 600}));
    EXPECT_EQ(fm.Panel->BoundsRect(), (TRect{0, 0, 792, 38}));
    EXPECT_EQ(fm.Memo->BoundsRect(), (TRect{0, 38, 792, 516}));
    EXPECT_EQ(fm.StatusBar->BoundsRect(), (TRect{0, 554, 792, 19}));
    EXPECT_EQ(fm.SpBtnExit->BoundsRect(), (TRect{8, 8, 23, 22}));
    EXPECT_EQ(fm.Label->BoundsRect(), (TRect{40, 8, 249, 22}));
    EXPECT_EQ(fm.SpBtnRun->BoundsRect(), (TRect{296, 8, 23, 22}));
}

TEST(FormLayout, StripsKeepTheirHeightsAndTheMemoFollowsTheWindow) {
    TFmMain fm;
    for (auto [w, h] : {std::pair{1000, 800}, std::pair{640, 480}, std::pair{1600, 1200}}) {
        fm.SetClientSize(w, h);
        EXPECT_EQ(fm.Panel->BoundsRect(), (TRect{0, 0, w, 38}));
        EXPECT_EQ(fm.StatusBar->BoundsRect(), (TRect{0, h - 19, w, 19}));
        EXPECT_EQ(fm.Memo->BoundsRect(), (TRect{0, 38, w, h - 57}));
    }
}

TEST(FormLayout, OuterSizeNeverGoesBelowTheMinimum) {
    TFmMain fm;
    fm.SetFrameSize(8, 27);
    fm.SetClientSize(100, 100);
    EXPECT_EQ(fm.Width(), 600);
    EXPECT_EQ(fm.Height(), 450);
    EXPECT_EQ(fm.Memo->BoundsRect(), (TRect{0, 38, 592, 423 - 57}));
    fm.SetFrameSize(20, 40);
    EXPECT_EQ(fm.Width(), 600) << "a new frame leaves the outer size alone";
    EXPECT_EQ(fm.ClientWidth(), 580);
}

TEST(FormLayout, FittedToAScreenWithinTheDesignAndTheMinimum) {
    for (auto [screen, fitted] : {std::pair{TRect{0, 0, 1920, 1080}, TRect{0, 0, 800, 600}},
                                  std::pair{TRect{0, 0, 640, 480}, TRect{0, 0, 640, 480}},
                                  std::pair{TRect{0, 0, 700, 400}, TRect{0, 0, 700, 450}},
                                  std::pair{TRect{0, 0, 320, 240}, TRect{0, 0, 600, 450}}}) {
        TFmMain fm;
        fm.FitTo(screen.Width, screen.Height);
        EXPECT_EQ(fm.BoundsRect(), fitted) << screen.Width << "x" << screen.Height;
    }
}

TEST(Components, ADeletedControlLeavesItsParentAndOwner) {
    TFmMain fm;
    const int owned = fm.ComponentCount();
    delete fm.Label;
    EXPECT_EQ(fm.ComponentCount(), owned - 1);
    ASSERT_EQ(fm.Panel->ControlCount(), 2);
    EXPECT_EQ(fm.Panel->Controls(0), fm.SpBtnExit);
    EXPECT_EQ(fm.Panel->Controls(1), fm.SpBtnRun);
}

TEST(FmMain, GlyphsHoldANormalAndAGreyedImageOnOlive) {
    for (const TBitmap& glyph : {ExitGlyph(), RunGlyph()}) {
        ASSERT_EQ(glyph.Width, 32);
        ASSERT_EQ(glyph.Height, 16);
        EXPECT_EQ(glyph.Pixel(0, 15), clOlive) << "the transparent colour";
        for (int y = 0; y < 16; ++y)
            for (int x = 16; x < 32; ++x) {
                const TColor c = glyph.Pixel(x, y);
                EXPECT_TRUE(c == clOlive || c == clGray || c == clWhite) << "disabled image at " << x << "," << y;
            }
    }
}

TEST(FmMain, TheProgramsIconFileIsTheWindowsIcon) {
    std::ifstream file(QUIL_ICON_FILE, std::ios::binary);
    const std::string icon{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    EXPECT_EQ(icon, IconFile(QuilIcon())) << QUIL_ICON_FILE << " is stale: make icon writes it anew";
    // Read back as a Windows icon: one 32 x 32 image of 16 colours after a palette, bottom row first.
    ASSERT_EQ(icon.size(), 6u + 16 + 40 + 16 * 4 + 32 * 16 + 32 * 4);
    auto byte = [&](std::size_t at) { return static_cast<unsigned char>(icon[at]); };
    EXPECT_EQ(byte(2) + 256 * byte(3), 1) << "an icon, not a cursor";
    EXPECT_EQ(byte(6), 32);
    EXPECT_EQ(byte(7), 32);
    auto pixel = [&](int x, int y) {
        const unsigned char pair = byte(6 + 16 + 40 + 64 + static_cast<std::size_t>(31 - y) * 16 + x / 2);
        const std::size_t entry = 6 + 16 + 40 + 4u * (x % 2 == 0 ? pair >> 4 : pair & 0xFu);
        return static_cast<TColor>(byte(entry + 2) << 16 | byte(entry + 1) << 8 | byte(entry));
    };
    EXPECT_EQ(pixel(0, 0), clBlack);
    EXPECT_EQ(pixel(15, 4), clAqua);
    EXPECT_EQ(pixel(10, 28), clTeal);
    EXPECT_THROW(IconFile(TBitmap{1, 1, {0x123456}}), std::invalid_argument);
}

TEST(FmMain, RunReplacesTheReportAndEachLineIsItsOwnUpdate) {
    TFmMain fm;
    EXPECT_EQ(fm.Memo->Lines->Count(), 0) << "empty before the first Run";
    RecordingView view;
    fm.View = &view;
    fm.SpBtnRunClick(nullptr);
    EXPECT_EQ(ReportOf(fm), TestReport);
    EXPECT_EQ(view.LinesChanges, 1 + static_cast<int>(TestReport.size())) << "one clear, then one per line";
    fm.SpBtnRun->Click();
    EXPECT_EQ(ReportOf(fm), TestReport) << "a second Run gives the same report, not two copies";
    fm.View = nullptr;
}

TEST(FmMain, PutLineOfTheEmptyStringAddsOneEmptyLine) {
    TFmMain fm;
    fm.PutLine("");
    fm.PutLine("");
    fm.PutLine("x");
    EXPECT_EQ(ReportOf(fm), (std::vector<std::string>{"", "", "x"}));
}

TEST(FmMain, AFailingRunKeepsItsLinesAndTheNextRunStartsClean) {
    TFmMain fm;
    {
        FailureGuard failing(TestFailure::Standard);
        EXPECT_THROW(fm.SpBtnRunClick(nullptr), std::runtime_error) << "the Run path catches nothing";
        EXPECT_EQ(ReportOf(fm), FirstLines(LinesBeforeFailure));
    }
    fm.SpBtnRunClick(nullptr);
    EXPECT_EQ(ReportOf(fm), TestReport);
}

TEST(FmMain, ExitClosesTheForm) {
    TFmMain fm;
    RecordingView view;
    fm.View = &view;
    fm.Show();
    fm.SpBtnExit->Click();
    EXPECT_FALSE(fm.Visible());
    EXPECT_EQ(view.Closings, 1);
    fm.View = nullptr;
}

namespace Objects {
struct RangeErr {
    unsigned Index;
};
}  // namespace Objects

TEST(Application, ExceptionsAreDescribedByMessageOrByClass) {
    try {
        throw std::runtime_error("bad thing");
    } catch (...) {
        EXPECT_EQ(DescribeCurrentException(), "bad thing");
    }
    try {
        throw Objects::RangeErr{4};
    } catch (...) {
        EXPECT_EQ(DescribeCurrentException(), "exception of class Objects::RangeErr");
    }
    EXPECT_EQ(DescribeCurrentException(), "no exception");
}

TEST(Application, DispatchShowsAnEscapedExceptionAndReportsIt) {
    struct Recorder : TRenderer {
        std::vector<std::string> Shown;
        int Run(TApplication&, TForm&) override { return 0; }
        void ShowException(const TApplication&, const std::string& message) override { Shown.push_back(message); }
    };
    TApplication app;
    auto recorder = std::make_unique<Recorder>();
    Recorder& shown = *recorder;
    app.Initialize(std::move(recorder));
    EXPECT_TRUE(app.Dispatch([] {}));
    EXPECT_FALSE(app.Dispatch([] { throw TestPlainError{1}; }));
    // The library's exceptions are shown by their own text.
    EXPECT_FALSE(app.Dispatch([] { SVect(2)[2]; }));
    EXPECT_EQ(shown.Shown, (std::vector<std::string>{"exception of class TestPlainError",
                                                     "SVect::RangeErr: subscript 2 is out of "
                                                     "range (valid: 0..1)"}));
}

TEST(RendererChoice, ForcedNamesInAnyLetterCase) {
    EXPECT_EQ(RendererKindNamed("qt"), RendererKind::Qt);
    EXPECT_EQ(RendererKindNamed("tty"), RendererKind::Tty);
    EXPECT_EQ(RendererKindNamed("batch"), RendererKind::Batch);
    EXPECT_EQ(RendererKindNamed("Qt"), RendererKind::Qt);
    EXPECT_EQ(RendererKindNamed("TTY"), RendererKind::Tty);
    EXPECT_EQ(RendererKindNamed("bAtCh"), RendererKind::Batch);
    EXPECT_EQ(RendererKindNamed("Win32"), RendererKind::Win32);
    EXPECT_EQ(RendererKindNamed(""), std::nullopt);
    EXPECT_EQ(RendererKindNamed("batc"), std::nullopt);
    EXPECT_EQ(RendererKindNamed("batches"), std::nullopt);
}

TEST(RendererChoice, HelpNamesWhatThisBuildHasWithinEightyColumns) {
    const std::string help = RendererHelp();
    std::size_t start = 0;
    for (std::size_t end; (end = help.find('\n', start)) != std::string::npos; start = end + 1)
        EXPECT_LE(end - start, 80u) << help.substr(start, end - start);
    EXPECT_EQ(start, help.size()) << "ends with a line break";
#ifdef _WIN32
    EXPECT_NE(help.find("QUIL_RENDERER=win32 or batch "), std::string::npos) << help;
    EXPECT_NE(help.find("Tab, Shift+Tab"), std::string::npos) << help;
    for (const char* elsewhere : {"qt", "tty", "DISPLAY", "terminal"})
        EXPECT_EQ(help.find(elsewhere), std::string::npos) << elsewhere;
#else
    EXPECT_EQ(help.find("win32"), std::string::npos) << help;
#endif
}
