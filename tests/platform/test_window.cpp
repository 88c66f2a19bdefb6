// The test platform window without a renderer: TFmMain's description, its layout at the sizes
// a renderer gives it, its glyphs and its run cycle.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <tuple>

#include "FmMain.h"
#include "Glyphs.h"
#include "IconFile.h"
#include "TestProgram.h"

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

TEST(FormLayout, DescribedWindowAtTheDesignFrameHasTheDesignClientArea) {
    TFmTest fm;
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
    TFmTest fm;
    for (auto [w, h] : {std::pair{1000, 800}, std::pair{640, 480}, std::pair{1600, 1200}}) {
        fm.SetClientSize(w, h);
        EXPECT_EQ(fm.Panel->BoundsRect(), (TRect{0, 0, w, 38}));
        EXPECT_EQ(fm.StatusBar->BoundsRect(), (TRect{0, h - 19, w, 19}));
        EXPECT_EQ(fm.Memo->BoundsRect(), (TRect{0, 38, w, h - 57}));
    }
}

TEST(FormLayout, OuterSizeNeverGoesBelowTheMinimum) {
    TFmTest fm;
    fm.SetFrameSize(8, 27);
    fm.SetClientSize(100, 100);
    EXPECT_EQ(fm.Width(), 600);
    EXPECT_EQ(fm.Height(), 450);
    EXPECT_EQ(fm.Memo->BoundsRect(), (TRect{0, 38, 592, 423 - 57}));
    fm.SetFrameSize(20, 40);
    EXPECT_EQ(fm.Width(), 600) << "a new frame leaves the outer size alone";
    EXPECT_EQ(fm.ClientWidth(), 580);
}

// On a screen smaller than the minimum size the minimum gives way to the screen, so that every
// part of the window stays on it; on a larger screen it holds again.
TEST(FormLayout, FittedToAScreenWithinTheDesignAndTheMinimum) {
    for (auto [screen, fitted, least] : {std::tuple{TRect{0, 0, 1920, 1080}, TRect{0, 0, 800, 600}, TRect{0, 0, 600, 450}},
                                         std::tuple{TRect{0, 0, 640, 480}, TRect{0, 0, 640, 480}, TRect{0, 0, 600, 450}},
                                         std::tuple{TRect{0, 0, 700, 400}, TRect{0, 0, 700, 400}, TRect{0, 0, 600, 400}},
                                         std::tuple{TRect{0, 0, 320, 240}, TRect{0, 0, 320, 240}, TRect{0, 0, 320, 240}}}) {
        TFmTest fm;
        fm.FitTo(screen.Width, screen.Height);
        EXPECT_EQ(fm.BoundsRect(), fitted) << screen.Width << "x" << screen.Height;
        fm.SetClientSize(100, 100);
        EXPECT_EQ(fm.BoundsRect(), least) << screen.Width << "x" << screen.Height;
        EXPECT_EQ(fm.Constraints.MinWidth, 600) << "the description stays";
    }
    TFmTest fm;
    fm.FitTo(320, 240);
    fm.SetScreenArea(1920, 1080);
    fm.SetClientSize(100, 100);
    EXPECT_EQ(fm.BoundsRect(), (TRect{0, 0, 600, 450}));
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
    TFmTest fm;
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
    TFmTest fm;
    fm.PutLine("");
    fm.PutLine("");
    fm.PutLine("x");
    EXPECT_EQ(ReportOf(fm), (std::vector<std::string>{"", "", "x"}));
}

TEST(FmMain, AFailingRunKeepsItsLinesAndTheNextRunStartsClean) {
    TFmTest fm;
    {
        FailureGuard failing(TestFailure::Standard);
        EXPECT_THROW(fm.SpBtnRunClick(nullptr), std::runtime_error) << "the Run path catches nothing";
        EXPECT_EQ(ReportOf(fm), FirstLines(LinesBeforeFailure));
    }
    fm.SpBtnRunClick(nullptr);
    EXPECT_EQ(ReportOf(fm), TestReport);
}

TEST(FmMain, ExitClosesTheForm) {
    TFmTest fm;
    RecordingView view;
    fm.View = &view;
    fm.Show();
    fm.SpBtnExit->Click();
    EXPECT_FALSE(fm.Visible());
    EXPECT_EQ(view.Closings, 1);
    fm.View = nullptr;
}
