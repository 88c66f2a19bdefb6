// The widget layer without a renderer: the model's rules, the application object and the names
// of the renderers.
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "TestProgram.h"
#include "choice/RendererChoice.h"
#include "objects/SVect.h"
#include "widgets/Application.h"
#include "widgets/Views.h"

namespace Objects {
struct RangeErr {
    unsigned Index;
};
}  // namespace Objects

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
    TFmTest fm;
    using Keys = std::initializer_list<int>;
    for (int key : Keys{'r', 'R', KeyEnter}) EXPECT_EQ(ButtonForKey(fm, key), fm.SpBtnRun) << key;
    for (int key : Keys{'e', 'E', KeyEscape}) EXPECT_EQ(ButtonForKey(fm, key), fm.SpBtnExit) << key;
    for (int key : Keys{'x', ' ', '\r', 'R' - '@', 'r' | 0x80}) EXPECT_EQ(ButtonForKey(fm, key), nullptr) << key;
    fm.SpBtnRun->Enabled = false;
    EXPECT_EQ(ButtonForKey(fm, 'r'), nullptr);
    EXPECT_EQ(ButtonForKey(fm, KeyEnter), nullptr);
}

TEST(Views, TabVisitsTheButtonsThenTheReport) {
    TFmTest fm;
    using Order = std::vector<TControl*>;
    EXPECT_EQ(FocusOrder(fm), (Order{fm.SpBtnExit, fm.SpBtnRun, fm.Memo}));
    fm.SpBtnExit->Enabled = false;
    EXPECT_EQ(FocusOrder(fm), (Order{fm.SpBtnRun, fm.Memo}));
    fm.Panel->TabOrder = 2;
    EXPECT_EQ(FocusOrder(fm), (Order{fm.Memo, fm.SpBtnRun}));
}

TEST(Components, ADeletedControlLeavesItsParentAndOwner) {
    TFmTest fm;
    const int owned = fm.ComponentCount();
    delete fm.Label;
    EXPECT_EQ(fm.ComponentCount(), owned - 1);
    ASSERT_EQ(fm.Panel->ControlCount(), 2);
    EXPECT_EQ(fm.Panel->Controls(0), fm.SpBtnExit);
    EXPECT_EQ(fm.Panel->Controls(1), fm.SpBtnRun);
}

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

// Whichever renderers a build has, its --help names them and no line is wider than 80 columns.
TEST(RendererChoice, HelpFitsEightyColumnsWhateverTheRenderersBuilt) {
    const std::pair<RendererKind, const char*> optional[] = {
        {RendererKind::Win32, "  win32  "}, {RendererKind::Qt, "  qt  "}, {RendererKind::Tty, "  tty  "},
        {RendererKind::Web, "  web    "}};
    for (unsigned mask = 0; mask < 1u << std::size(optional); ++mask) {
        std::vector<RendererKind> built;
        for (std::size_t i = 0; i < std::size(optional); ++i)
            if (mask >> i & 1) built.push_back(optional[i].first);
        const std::string help = RendererHelp(built);
        for (std::size_t i = 0; i < std::size(optional); ++i)
            EXPECT_EQ(help.find(optional[i].second) != std::string::npos, (mask >> i & 1) != 0) << help;
        std::istringstream lines(help);
        for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
    }
}
