#include "web/WebPage.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "widgets/Views.h"

namespace {

std::string Px(int value) { return std::to_string(value) + "px"; }

std::string Hex(TColor color) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(color & 0xFFFFFFu));
    return text;
}

// A colour of the theme is the browser's system colour of the same role.
std::string Css(TColor color) {
    switch (color) {
    case clBtnFace: return "ButtonFace";
    case clWindow: return "Canvas";
    case clWindowText: return "CanvasText";
    default: return Hex(color);
    }
}

// Text in a colour of the theme stays the theme's on a background of the theme; on a fixed
// background it is black or white, whichever reads better, or a dark theme would put light
// text on it.
std::string TextCss(TColor color, TColor background) {
    if (!IsSystemColor(color) || IsSystemColor(background)) return Css(color);
    const unsigned r = (background >> 16) & 0xFF, g = (background >> 8) & 0xFF, b = background & 0xFF;
    return (r * 11 + g * 16 + b * 5) / 32 >= 128 ? "#000000" : "#ffffff";
}

// The named face and faces with the same metrics, for machines that lack it; then the kind.
std::string FontFamily(const TFont& font) {
    static constexpr struct {
        const char* Face;
        const char* Substitutes;
    } substitutes[] = {
        {"Courier New", "'Liberation Mono', Cousine, monospace"},
        {"ＭＳ Ｐゴシック", "'MS PGothic', IPAPGothic, 'VL PGothic', sans-serif"},
    };
    if (font.Name.empty()) return "sans-serif";
    std::string family = "'" + HtmlText(font.Name) + "'";
    for (const auto& entry : substitutes)
        if (font.Name == entry.Face) return family + ", " + entry.Substitutes;
    return family + ", sans-serif";
}

std::string FontCss(const TFont& font, TColor background) {
    std::string css = "font-family:" + FontFamily(font) + ";color:" + TextCss(font.Color, background) + ";";
    if (font.Height > 0) css += "font-size:" + Px(font.Height) + ";";
    if (font.Bold) css += "font-weight:bold;";
    if (font.Italic) css += "font-style:italic;";
    return css;
}

std::string BoundsCss(const TControl& control) {
    return "left:" + Px(control.Left()) + ";top:" + Px(control.Top()) + ";width:" + Px(control.Width()) +
           ";height:" + Px(control.Height()) + ";";
}

int IndexOf(const std::vector<TControl*>& controls, const TControl* control) {
    const auto found = std::find(controls.begin(), controls.end(), control);
    return found == controls.end() ? -1 : static_cast<int>(found - controls.begin());
}

// What every control's element starts with: its name, index, place and tab stop.
std::string Attributes(const TControl& control, int index, int tabIndex, const std::string& css) {
    std::string text = " id=\"" + HtmlText(control.Name) + "\" data-control=\"" + std::to_string(index) +
                       "\" style=\"" + BoundsCss(control) + css + "\"";
    if (tabIndex != 0) text += " tabindex=\"" + std::to_string(tabIndex) + "\"";
    return text;
}

// The accessible name and, where ShowHint is set, the tooltip.
std::string HintAttributes(const TControl& control) {
    if (control.Hint.empty()) return "";
    std::string text = " aria-label=\"" + HtmlText(control.Hint) + "\"";
    if (control.ShowHint) text += " title=\"" + HtmlText(control.Hint) + "\"";
    return text;
}

std::string GlyphMarkup(const TSpeedButton& button) {
    if (button.Glyph.Empty()) return HtmlText(button.Hint);
    const int count = std::max(1, button.NumGlyphs);
    const int width = button.Glyph.Width / count;
    const TColor transparent = button.Glyph.Pixel(0, button.Glyph.Height - 1);
    std::string markup = "<span class=\"glyph\">" + BitmapSvg(button.Glyph, 0, width, &transparent) + "</span>";
    if (count > 1)
        markup += "<span class=\"glyph-disabled\">" + BitmapSvg(button.Glyph, width, width, &transparent) +
                  "</span>";
    return markup;
}

std::string OverflowCss(TScrollStyle bars) {
    switch (bars) {
    case TScrollStyle::Both: return "overflow:scroll;";
    case TScrollStyle::Vertical: return "overflow-x:hidden;overflow-y:scroll;";
    case TScrollStyle::Horizontal: return "overflow-x:scroll;overflow-y:hidden;";
    case TScrollStyle::None: break;
    }
    return "overflow:hidden;";
}

std::string BevelCss(TBevelCut bevel) {
    switch (bevel) {
    case TBevelCut::Raised: return "border:1px outset ButtonFace;";
    case TBevelCut::Lowered: return "border:1px inset ButtonFace;";
    case TBevelCut::None: break;
    }
    return "";
}

class Markup {
public:
    Markup(const TForm& form, const std::vector<TControl*>& controls) : controls_(controls) {
        const std::vector<TControl*> order = FocusOrder(form);
        for (std::size_t i = 0; i < order.size(); ++i) tabStops_.emplace_back(order[i], static_cast<int>(i) + 1);
    }

    std::string Children(const TWinControl& container) const {
        std::string text;
        for (int i = 0; i < container.ControlCount(); ++i) text += Element(*container.Controls(i));
        return text;
    }

private:
    // Tab visits the focus order; a control outside it is reached by the mouse only.
    int TabIndex(const TControl& control) const {
        for (const auto& [stop, tabIndex] : tabStops_)
            if (stop == &control) return tabIndex;
        return dynamic_cast<const TSpeedButton*>(&control) != nullptr || dynamic_cast<const TMemo*>(&control) != nullptr
                   ? -1
                   : 0;
    }

    std::string Element(const TControl& control) const {
        const int index = IndexOf(controls_, &control);
        const std::string background = "background:" + Css(control.ShownColor()) + ";";
        auto attributes = [&](const std::string& css) { return Attributes(control, index, TabIndex(control), css); };
        if (const auto* button = dynamic_cast<const TSpeedButton*>(&control)) {
            return "<button type=\"button\" class=\"speed" + std::string(button->Flat ? " flat" : "") + "\"" +
                   attributes("") + HintAttributes(control) + (control.Enabled ? "" : " disabled") + ">" +
                   GlyphMarkup(*button) + "</button>";
        }
        if (const auto* label = dynamic_cast<const TLabel*>(&control)) {
            const char* across = label->Alignment == TAlignment::RightJustify ? "flex-end"
                                 : label->Alignment == TAlignment::Center     ? "center"
                                                                              : "flex-start";
            const char* down = label->Layout == TTextLayout::Center   ? "center"
                               : label->Layout == TTextLayout::Bottom ? "flex-end"
                                                                      : "flex-start";
            return "<div class=\"label\"" +
                   attributes(std::string("justify-content:") + across + ";align-items:" + down + ";" +
                              FontCss(control.ShownFont(), control.ShownColor())) +
                   HintAttributes(control) + ">" + HtmlText(control.Caption) + "</div>";
        }
        if (const auto* memo = dynamic_cast<const TMemo*>(&control)) {
            return "<textarea class=\"memo\"" +
                   attributes(background + OverflowCss(memo->ScrollBars) +
                              FontCss(control.ShownFont(), control.ShownColor())) +
                   HintAttributes(control) + (memo->ReadOnly ? " readonly" : "") +
                   (memo->WordWrap ? " wrap=\"soft\"" : " wrap=\"off\"") +
                   (control.Enabled ? "" : " disabled") +
                   " spellcheck=\"false\" autocomplete=\"off\" autocapitalize=\"off\"></textarea>";
        }
        std::string kind = "box";
        std::string css = background;
        if (const auto* panel = dynamic_cast<const TPanel*>(&control)) {
            kind = "panel";
            css += BevelCss(panel->BevelOuter);
        } else if (dynamic_cast<const TStatusBar*>(&control) != nullptr) {
            kind = "status";
        }
        std::string text = "<div class=\"" + kind + "\"" + attributes(css) + HintAttributes(control) + ">";
        if (const auto* container = dynamic_cast<const TWinControl*>(&control)) text += Children(*container);
        return text + "</div>";
    }

    const std::vector<TControl*>& controls_;
    std::vector<std::pair<const TControl*, int>> tabStops_;
};

}  // namespace

std::string FormMarkup(const TForm& form, const std::vector<TControl*>& controls) {
    const std::string icon =
        form.Icon.Empty() ? "" : "<span class=\"icon\">" + BitmapSvg(form.Icon, 0, form.Icon.Width, nullptr) + "</span>";
    std::string css = "width:" + Px(form.Width()) + ";height:" + Px(form.Height()) + ";";
    if (form.Constraints.MinWidth > 0) css += "min-width:" + Px(form.Constraints.MinWidth) + ";";
    if (form.Constraints.MinHeight > 0) css += "min-height:" + Px(form.Constraints.MinHeight) + ";";
    if (form.Constraints.MaxWidth > 0) css += "max-width:" + Px(form.Constraints.MaxWidth) + ";";
    if (form.Constraints.MaxHeight > 0) css += "max-height:" + Px(form.Constraints.MaxHeight) + ";";
    return "<div class=\"form\" id=\"" + HtmlText(form.Name) + "\" role=\"group\" aria-label=\"" +
           HtmlText(form.Caption) + "\" style=\"" + css + "border-width:" + Px(WebFrameBorder) + ";\">" +
           "<div class=\"caption\" style=\"height:" + Px(WebCaptionHeight) + ";\">" + icon + "<span>" +
           HtmlText(form.Caption) + "</span></div><div class=\"client\" style=\"background:" +
           Css(form.ShownColor()) + ";" + FontCss(form.ShownFont(), form.ShownColor()) + "\">" +
           Markup(form, controls).Children(form) + "</div></div>";
}

std::string ButtonKeys(const TForm& form, const std::vector<TControl*>& controls) {
    std::vector<std::pair<std::string, int>> keys = {{"Enter", KeyEnter}, {"Escape", KeyEscape}};
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        keys.emplace_back(std::string(1, letter), letter);
        keys.emplace_back(std::string(1, static_cast<char>(letter - 'a' + 'A')), letter - 'a' + 'A');
    }
    std::string json = "{";
    for (const auto& [name, key] : keys) {
        const int index = IndexOf(controls, ButtonForKey(form, key));
        if (index < 0) continue;
        if (json.size() > 1) json += ",";
        json += "\"" + name + "\":" + std::to_string(index);
    }
    return json + "}";
}

std::string BitmapSvg(const TBitmap& bitmap, int left, int width, const TColor* transparent) {
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) +
                      "\" height=\"" + std::to_string(bitmap.Height) + "\" viewBox=\"0 0 " +
                      std::to_string(width) + " " + std::to_string(bitmap.Height) +
                      "\" shape-rendering=\"crispEdges\" aria-hidden=\"true\">";
    // One rectangle for each run of a colour along a row.
    for (int y = 0; y < bitmap.Height; ++y) {
        for (int x = 0; x < width;) {
            const TColor color = bitmap.Pixel(left + x, y);
            int run = 1;
            while (x + run < width && bitmap.Pixel(left + x + run, y) == color) ++run;
            if (transparent == nullptr || color != *transparent)
                svg += "<rect x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" width=\"" +
                       std::to_string(run) + "\" height=\"1\" fill=\"" + Hex(color) + "\"/>";
            x += run;
        }
    }
    return svg + "</svg>";
}

std::string HtmlText(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}
