// The page the web renderer shows a form in, as text: what the browser test does not see
// (escaping, keys of a disabled button). The page in a browser is tested by test_web_pages.py.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "TestProgram.h"
#include "web/WebPage.h"

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

TEST(WebPage, KeysPressTheEnabledButtonsThatButtonForKeyFinds) {
    TFmTest form;
    const std::vector<TControl*> controls = AllControls(form);
    const auto indexOf = [&](const TControl* c) {
        return std::to_string(std::find(controls.begin(), controls.end(), c) - controls.begin());
    };
    const std::string exit = indexOf(form.SpBtnExit), run = indexOf(form.SpBtnRun);
    EXPECT_EQ(ButtonKeys(form, controls), "{\"Enter\":" + run + ",\"Escape\":" + exit + ",\"e\":" + exit +
                                              ",\"E\":" + exit + ",\"r\":" + run + ",\"R\":" + run + "}");
    form.SpBtnRun->Enabled = false;
    EXPECT_EQ(ButtonKeys(form, controls), "{\"Escape\":" + exit + ",\"e\":" + exit + ",\"E\":" + exit + "}");
    EXPECT_NE(FormMarkup(form, controls).find("aria-label=\"Run\" title=\"Run\" disabled"), std::string::npos);
}
