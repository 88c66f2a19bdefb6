// A form as a terminal shows it, without the terminal: layout, drawing onto a surface, keys and
// clicks. TtyRenderer feeds it from ncurses and shows what it draws; tests feed it directly.
//
// Top to bottom: the caption row with a close box "[x]"; one row per top-aligned control (a
// panel's children stand on its row, left to right as their pixel positions order them,
// 8 pixels to a column, closing up and shortening the labels where the row is too narrow;
// speed buttons show as [Hint]); the memo, unwrapped, with a scroll bar on its right and one
// below it; one row per bottom-aligned control.
//
// Keys: Enter presses the default button, Escape the cancel button, a button's first hint
// letter presses it; arrows, Page Up/Down, Home and End scroll the memo; TtyKeyClose (Ctrl-Q)
// closes the form. Mouse: a press on a button presses it, on the close box closes the form; on
// a scroll bar its arrows scroll a line, its track a page towards the pointer, and its thumb
// is taken, to follow the pointer while the button is held.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "widgets/Application.h"
#include "widgets/Views.h"

enum class TtyStyle { Caption, Strip, Button, HotKey, Label, Report, ScrollBar, Status, Notice, NoticeButton };

class TtySurface {
public:
    // Writes single-byte text at row, col; what falls outside the surface is cut off.
    virtual void Put(int row, int col, std::string_view text, TtyStyle style) = 0;

protected:
    ~TtySurface() = default;
};

// Keys beyond the plain characters, which are passed as themselves.
enum TtyKey : int {
    TtyKeyEnter = KeyEnter, TtyKeyEscape = KeyEscape, TtyKeyUp, TtyKeyDown, TtyKeyLeft, TtyKeyRight,
    TtyKeyPageUp, TtyKeyPageDown, TtyKeyHome, TtyKeyEnd, TtyKeyClose,
};

class TtyWindow final : private TFormView {
public:
    TtyWindow(TApplication& app, TForm& form);
    ~TtyWindow();
    TtyWindow(const TtyWindow&) = delete;
    TtyWindow& operator=(const TtyWindow&) = delete;

    void Resize(int rows, int cols);
    void Draw(TtySurface& surface) const;
    // Buttons are pressed through the application's Dispatch.
    void Key(int key);
    // The mouse's first button pressed at row, col.
    void Click(int row, int col);
    // The mouse moved to row, col with a button held: a thumb taken follows it.
    void Drag(int row, int col);
    // Another of the mouse's buttons pressed: a thumb taken is let go.
    void Release() { dragged_ = Dragged::None; }
    void Wheel(int lines);
    bool Closed() const { return !form_.Visible(); }

    // The memo's first shown line and column.
    int TopLine() const { return top_; }
    int LeftColumn() const { return left_; }

private:
    struct Spot {
        int Row;
        int Col;
        int Width;
        TControl* Control;
    };

    void Layout();
    void PlaceRow(TControl& control, int row);
    void LinesChanged(TMemo& memo) override;
    void FormClosed(TForm&) override {}
    void Press(TSpeedButton* button);

    // A scroll bar: the arrows at its ends and, between them, the track with the thumb.
    struct Bar {
        int Length;   // the arrows included
        int First;    // the first line or column shown
        int Total;    // how many there are
        int Shown;    // how many are shown
        int Track() const { return Length - 2; }
        int ThumbSize() const;
        int ThumbStart() const;   // within the track
        // The first line or column shown when the thumb starts at start.
        int FirstFor(int start) const;
    };
    enum class Dragged { None, Vertical, Horizontal };

    int TextRows() const;
    int TextCols() const;
    int MaxTop() const;
    int MaxLeft() const;
    Bar VerticalBar() const;
    Bar HorizontalBar() const;
    void ScrollTo(int top, int left);
    // A press at pos along bar (0 and Length - 1: the arrows) scrolls by one or by a page of
    // that many, or takes the thumb; the new first line or column.
    int PressOn(const Bar& bar, int pos, int page, Dragged which);
    void DrawMemo(TtySurface& surface) const;

    TApplication& app_;
    TForm& form_;
    int rows_ = 24;
    int cols_ = 80;
    std::vector<Spot> spots_;
    TMemo* memo_ = nullptr;
    int memoRow_ = 0;
    int memoRows_ = 0;
    int top_ = 0;
    int left_ = 0;
    Dragged dragged_ = Dragged::None;
    int grab_ = 0;   // where in the thumb it was taken
    TShownLines shown_;
};

// The modal notice a terminal shows for a message box or an escaped exception: a framed box in
// the middle of the screen with the caption, the text and an OK button.
class TtyNotice {
public:
    TtyNotice(std::string caption, const std::string& text, int rows, int cols);
    void Draw(TtySurface& surface) const;
    bool OkAt(int row, int col) const;
    // Enter, Escape and the space bar close the notice.
    static bool Dismisses(int key);

private:
    std::string caption_;
    std::vector<std::string> lines_;
    int row_ = 0;
    int col_ = 0;
    int width_ = 0;
    int height_ = 0;
};
