// The page the web renderer shows a form in, as text: what the browser test cannot easily see
// (escaping, the index of every control, keys of disabled buttons). The page in a browser is
// tested by test_web_pages.py.
#include <gtest/gtest.h>

#include <string>

#include "TestProgram.h"
#include "web/WebPage.h"

namespace {

// The element of markup that carries data-control="index", up to the end of its start tag.
std::string StartTag(const std::string& markup, int index) {
    const std::size_t at = markup.find("data-control=\"" + std::to_string(index) + "\"");
    if (at == std::string::npos) return "";
    const std::size_t begin = markup.rfind('<', at);
    return markup.substr(begin, markup.find('>', at) - begin + 1);
}

int IndexIn(const std::vector<TControl*>& controls, const TControl* control) {
    for (std::size_t i = 0; i < controls.size(); ++i)
        if (controls[i] == control) return static_cast<int>(i);
    return -1;
}

}  // namespace

TEST(WebPage, EveryControlStandsAtItsBoundsWithItsNameTabStopAndHint) {
    TFmTest form;
    const std::vector<TControl*> controls = AllControls(form);
    const std::string markup = FormMarkup(form, controls);
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const TControl& c = *controls[i];
        const std::string tag = StartTag(markup, static_cast<int>(i));
        ASSERT_NE(tag, "") << c.Name;
        EXPECT_NE(tag.find("id=\"" + c.Name + "\""), std::string::npos) << tag;
        EXPECT_NE(tag.find("left:" + std::to_string(c.Left()) + "px;top:" + std::to_string(c.Top()) +
                           "px;width:" + std::to_string(c.Width()) + "px;height:" +
                           std::to_string(c.Height()) + "px;"),
                  std::string::npos)
            << tag;
    }
    const std::string exitTag = StartTag(markup, IndexIn(controls, form.SpBtnExit));
    const std::string runTag = StartTag(markup, IndexIn(controls, form.SpBtnRun));
    const std::string memoTag = StartTag(markup, IndexIn(controls, form.Memo));
    EXPECT_NE(exitTag.find("aria-label=\"Exit\" title=\"Exit\""), std::string::npos) << exitTag;
    EXPECT_NE(runTag.find("aria-label=\"Run\" title=\"Run\""), std::string::npos) << runTag;
    EXPECT_NE(exitTag.find("tabindex=\"1\""), std::string::npos);
    EXPECT_NE(runTag.find("tabindex=\"2\""), std::string::npos);
    EXPECT_NE(memoTag.find("tabindex=\"3\""), std::string::npos);
    // The report is named but has no tooltip, and scrolls both ways.
    EXPECT_NE(memoTag.find("aria-label=\"Report\" readonly"), std::string::npos) << memoTag;
    EXPECT_EQ(memoTag.find("title="), std::string::npos) << memoTag;
    EXPECT_NE(memoTag.find("overflow:scroll;"), std::string::npos) << memoTag;
    EXPECT_NE(markup.find(">Platform under test</div>"), std::string::npos);
    EXPECT_NE(markup.find("width:800px;height:600px;min-width:600px;min-height:450px;"), std::string::npos);
}

TEST(WebPage, TextsAreEscaped) {
    TFmTest form;
    form.Caption = "<b>\"A\" & B</b>";
    form.Label->Caption = "x < y";
    form.SpBtnRun->Hint = "Run \"now\"";
    const std::string markup = FormMarkup(form, AllControls(form));
    EXPECT_NE(markup.find("&lt;b&gt;&quot;A&quot; &amp; B&lt;/b&gt;"), std::string::npos);
    EXPECT_NE(markup.find(">x &lt; y</div>"), std::string::npos);
    EXPECT_NE(markup.find("aria-label=\"Run &quot;now&quot;\""), std::string::npos);
    EXPECT_EQ(markup.find("<b>"), std::string::npos);
}

TEST(WebPage, KeysPressTheButtonsThatButtonForKeyFinds) {
    TFmTest form;
    const std::vector<TControl*> controls = AllControls(form);
    const std::string exit = std::to_string(IndexIn(controls, form.SpBtnExit));
    const std::string run = std::to_string(IndexIn(controls, form.SpBtnRun));
    EXPECT_EQ(ButtonKeys(form, controls), "{\"Enter\":" + run + ",\"Escape\":" + exit + ",\"e\":" + exit +
                                              ",\"E\":" + exit + ",\"r\":" + run + ",\"R\":" + run + "}");
    form.SpBtnRun->Enabled = false;
    EXPECT_EQ(ButtonKeys(form, controls), "{\"Escape\":" + exit + ",\"e\":" + exit + ",\"E\":" + exit + "}");
    EXPECT_NE(FormMarkup(form, controls).find("aria-label=\"Run\" title=\"Run\" disabled"), std::string::npos);
}

TEST(WebPage, AGlyphIsRunsOfPixelsWithoutItsTransparentColour) {
    const TBitmap glyph = TBitmap::FromRows({"ooyyr", "oyyyo"});
    const TColor olive = clOlive;
    EXPECT_EQ(BitmapSvg(glyph, 1, 3, &olive),
              "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"3\" height=\"2\" viewBox=\"0 0 3 2\" "
              "shape-rendering=\"crispEdges\" aria-hidden=\"true\">"
              "<rect x=\"1\" y=\"0\" width=\"2\" height=\"1\" fill=\"#ffff00\"/>"
              "<rect x=\"0\" y=\"1\" width=\"3\" height=\"1\" fill=\"#ffff00\"/></svg>");
}
