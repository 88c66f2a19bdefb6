// The page a form is shown in by the web renderer, made from the form's description: the
// markup of the window and its controls, and which keys press which button. Plain text, so that
// it is made and tested without a browser; WebRenderer puts it into the page.
//
// The window is a frame like a desktop window's (a border of 4 pixels and a caption bar of 19,
// so that the client area of an 800 x 600 form is 792 x 573), the controls are placed in it where
// the model puts them, and each element that stands for a control carries data-control, its
// index in the list of controls (AllControls order), through which the page names the control
// a click or a key is for.
#pragma once

#include <string>
#include <vector>

#include "widgets/Widgets.h"

constexpr int WebFrameBorder = 4;
constexpr int WebCaptionHeight = 19;
constexpr int WebFrameWidth = 2 * WebFrameBorder;
constexpr int WebFrameHeight = WebCaptionHeight + 2 * WebFrameBorder;

// The markup of form, whose controls are controls: the frame with the form's icon and caption,
// and inside it every control at its bounds, drawn with its colours and font. Speed buttons are
// buttons that show their glyph and carry their hint as the accessible name, and as tooltip
// where ShowHint is set; a memo is a text area named by its hint; Tab visits the controls in
// the model's focus order. Texts are escaped.
std::string FormMarkup(const TForm& form, const std::vector<TControl*>& controls);

// The keys that press a button, as the page's key events name them ("Enter", "Escape", a
// letter in either case), each with the index in controls of the button ButtonForKey finds: a
// JSON object.
std::string ButtonKeys(const TForm& form, const std::vector<TControl*>& controls);

// The columns left to left + width - 1 of a bitmap as an SVG picture, one square per pixel;
// pixels of the transparent colour, where one is given, are left out.
std::string BitmapSvg(const TBitmap& bitmap, int left, int width, const TColor* transparent);

// text with &, <, > and " written as character references, for element content and attributes.
std::string HtmlText(const std::string& text);
