// What every renderer works out the same way when it shows a form: which of a memo's lines
// it has yet to show, which button a key presses, and where Tab takes the keyboard focus.
#pragma once

#include <vector>

#include "widgets/Widgets.h"

// The part of a memo's lines that a view has not shown yet.
struct TNewLines {
    bool Restart = false;   // the text was replaced (Clear): what the view shows is stale
    int From = 0;           // the first line to add
    int To = 0;             // one past the last line to add
};

// Which of a memo's lines a view has shown. A view that adds lines as they arrive (a text
// control, an output stream) takes the new ones each time the memo announces a change.
class TShownLines {
public:
    // The lines to add since the last call, now counted as shown. After a Clear the view
    // starts afresh from the first line.
    TNewLines Take(const TStrings& lines);
    int Count() const { return shown_; }

private:
    bool started_ = false;
    unsigned generation_ = 0;
    int shown_ = 0;
};

// Keys that press buttons, besides the characters, which stand for themselves.
enum TButtonKey : int { KeyEnter = 0x100, KeyEscape = 0x101 };

// The enabled speed button in root that key presses, or null: Enter presses the default
// button, Escape the cancel button, a letter the button whose hint begins with it, in either
// letter case (Shift and Caps Lock change nothing).
TSpeedButton* ButtonForKey(const TWinControl& root, int key);

// The controls that Tab visits in root, in order: each container's children by TabOrder
// (those without one after the others, in creation order), a container's own children where
// it stands. Enabled speed buttons and enabled controls with TabStop take the focus.
std::vector<TControl*> FocusOrder(const TWinControl& root);
