// The widget layer: the components a window is described with.
//
// These are plain model objects with properties and events; none of them draws anything. A
// renderer (qt, tty, batch) reads a form and its components, shows them in its own way, feeds
// clicks and sizes back into the model, and hears of the changes it has to show through the
// form's TFormView. Positions and sizes are pixels at 96 pixels per inch.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

class TObject {
public:
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* sender)>;

// Owns the components created with it as their owner and destroys them, newest first, when it
// is destroyed itself.
class TComponent : public TObject {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const { return components_.at(static_cast<std::size_t>(index)); }

    std::string Name;

private:
    TComponent* owner_;
    std::vector<TComponent*> components_;
};

// 0x00RRGGBB, or a system colour (high byte 0xFF) that the renderer takes from its theme.
using TColor = std::uint32_t;
constexpr TColor clBlack = 0x000000, clMaroon = 0x800000, clGreen = 0x008000, clOlive = 0x808000,
                 clNavy = 0x000080, clPurple = 0x800080, clTeal = 0x008080, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0xFF0000, clLime = 0x00FF00, clYellow = 0xFFFF00,
                 clBlue = 0x0000FF, clFuchsia = 0xFF00FF, clAqua = 0x00FFFF, clWhite = 0xFFFFFF;
constexpr TColor clBtnFace = 0xFF00000F, clWindow = 0xFF000005, clWindowText = 0xFF000008;
constexpr bool IsSystemColor(TColor c) { return (c & 0xFF000000u) == 0xFF000000u; }

enum class TFontCharset { Default, Ansi, ShiftJis };

struct TFont {
    std::string Name;   // empty: the renderer's default face
    TFontCharset Charset = TFontCharset::Default;
    int Height = 0;     // character height in pixels; 0: the renderer's default
    bool Bold = false;
    bool Italic = false;
    TColor Color = clWindowText;
};

// A small picture, row by row. Images are written as rows of letters, one letter per pixel,
// from the 16-colour palette:
//   k black  m maroon  g green  o olive   n navy  p purple  t teal  s silver
//   a gray   r red     l lime   y yellow  b blue  f fuchsia c aqua  w white
struct TBitmap {
    int Width = 0;
    int Height = 0;
    std::vector<TColor> Pixels;

    // Throws std::invalid_argument for an unknown letter or rows of different lengths.
    static TBitmap FromRows(std::initializer_list<const char*> rows);
    bool Empty() const { return Pixels.empty(); }
    TColor Pixel(int x, int y) const { return Pixels.at(static_cast<std::size_t>(y * Width + x)); }
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    friend bool operator==(const TRect&, const TRect&) = default;
};

enum class TAlign { None, Top, Bottom, Left, Right, Client };
enum class TAlignment { LeftJustify, RightJustify, Center };
enum class TTextLayout { Top, Center, Bottom };
enum class TBevelCut { None, Lowered, Raised };
enum class TScrollStyle { None, Horizontal, Vertical, Both };
enum class TImeMode { DontCare, Disable };
enum class TPosition { Designed, DefaultPosOnly };

class TWinControl;
class TForm;
class TMemo;

// Anything placed in a window. Bounds are relative to the parent's client area; an aligned
// control gets its bounds from its parent whenever the parent's size changes.
class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    void SetParent(TWinControl* parent);
    TForm* ParentForm() const;

    int Left() const { return bounds_.Left; }
    int Top() const { return bounds_.Top; }
    int Width() const { return bounds_.Width; }
    int Height() const { return bounds_.Height; }
    const TRect& BoundsRect() const { return bounds_; }
    virtual void SetBounds(int left, int top, int width, int height);
    void SetHeight(int height) { SetBounds(Left(), Top(), Width(), height); }

    TAlign Align() const { return align_; }
    void SetAlign(TAlign align);

    // The colour and font the control is drawn with: its own, or its parent's while the
    // Parent... flag is set. Assigning Color or Font directly does not clear the flag; the
    // description sets both together.
    TColor ShownColor() const;
    const TFont& ShownFont() const;

    std::string Caption;
    std::string Hint;            // names the control: for assistive technology, and where a
                                 // glyph cannot be drawn
    bool ShowHint = false;       // the hint also shows as a tooltip
    bool Enabled = true;
    TColor Color = clBtnFace;
    bool ParentColor = true;
    TFont Font;
    bool ParentFont = true;

protected:
    friend class TWinControl;
    // Bounds given by the parent's alignment; no realignment of the parent follows.
    void PlaceAligned(const TRect& bounds);

private:
    TWinControl* parent_ = nullptr;
    TRect bounds_;
    TAlign align_ = TAlign::None;
};

// A control that holds other controls and may take the keyboard focus.
class TWinControl : public TControl {
public:
    using TControl::TControl;
    ~TWinControl() override;

    int ControlCount() const { return static_cast<int>(controls_.size()); }
    TControl* Controls(int index) const { return controls_.at(static_cast<std::size_t>(index)); }

    virtual int ClientWidth() const { return Width(); }
    virtual int ClientHeight() const { return Height(); }
    void SetBounds(int left, int top, int width, int height) override;

    // Lays the aligned children out in the client area: top, bottom, left and right strips in
    // creation order, then the client-aligned ones in what remains.
    void Realign();

    bool TabStop = false;
    int TabOrder = -1;

private:
    friend class TControl;
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);

    std::vector<TControl*> controls_;
};

// The lines of a multi-line control. Each change is announced through OnChange, except while
// an update is open: then one announcement follows the EndUpdate that closes the last one.
class TStrings {
public:
    int Count() const { return static_cast<int>(lines_.size()); }
    // Throws std::out_of_range for an index outside 0..Count()-1.
    const std::string& operator[](int index) const;
    int Add(const std::string& line);
    void Clear();
    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();
    bool Updating() const { return updateCount_ > 0; }
    // Grows with every Clear, so that a viewer can tell an appended line from a new text.
    unsigned Generation() const { return generation_; }

    std::function<void()> OnChange;

private:
    void Changed();

    std::vector<std::string> lines_;
    int updateCount_ = 0;
    bool changedWhileUpdating_ = false;
    unsigned generation_ = 0;
};

// How a renderer that shows a form hears of the changes it has to draw.
class TFormView {
public:
    virtual void LinesChanged(TMemo& memo) = 0;
    virtual void FormClosed(TForm& form) = 0;

protected:
    ~TFormView() = default;
};

struct TSizeConstraints {
    int MinWidth = 0;   // 0: no limit
    int MinHeight = 0;
    int MaxWidth = 0;
    int MaxHeight = 0;
};

// A top-level window. Width and Height are the outer size, frame included; the renderer tells
// the form how wide its frame really is, and the client area is what the frame leaves.
class TForm : public TWinControl {
public:
    explicit TForm(TComponent* owner);
    ~TForm() override;

    int ClientWidth() const override;
    int ClientHeight() const override;
    int FrameWidth() const { return frameWidth_; }
    int FrameHeight() const { return frameHeight_; }
    // The frame grew or shrank: the outer size stays, the client area gives way.
    void SetFrameSize(int frameWidth, int frameHeight);
    // The client area was resized (by the user, or by the renderer to fit the outer size).
    void SetClientSize(int clientWidth, int clientHeight);
    // The free part of the screen the form is on, that many pixels: the form is never smaller
    // than its minimum size, except on a screen smaller than that, where the minimum gives way to
    // the screen so that every part of the form can be reached. The size stays as it is.
    void SetScreenArea(int width, int height);
    // The same, and the outer size shrunk to that area where it is larger.
    void FitTo(int width, int height);
    // Constraints as they hold on the screen the form is on.
    TSizeConstraints ShownConstraints() const;

    bool Visible() const { return visible_; }
    void Show();
    // Hides the form; the main form's closing ends the application's message loop.
    void Close();

    TBitmap Icon;
    TSizeConstraints Constraints;
    TPosition Position = TPosition::Designed;
    TFormView* View = nullptr;   // set by the renderer that shows the form

private:
    int frameWidth_ = 0;
    int frameHeight_ = 0;
    int screenWidth_ = 0;    // 0: not known
    int screenHeight_ = 0;
    bool visible_ = false;
};

class TPanel : public TWinControl {
public:
    explicit TPanel(TComponent* owner) : TWinControl(owner) {}
    TBevelCut BevelOuter = TBevelCut::Raised;
};

// A button that shows a glyph; a click does not take the keyboard focus. The glyph holds NumGlyphs
// images side by side: normal, then disabled. Its bottom-left pixel's colour is drawn
// transparent.
class TSpeedButton : public TControl {
public:
    explicit TSpeedButton(TComponent* owner) : TControl(owner) {}
    // Calls OnClick with this button as the sender.
    void Click();

    TBitmap Glyph;
    int NumGlyphs = 1;
    bool Flat = false;
    bool Default = false;   // what Enter presses, and what a renderer without a user presses
    bool Cancel = false;    // what Escape presses
    TNotifyEvent OnClick;
};

class TLabel : public TControl {
public:
    explicit TLabel(TComponent* owner) : TControl(owner) {}
    bool AutoSize = true;
    TAlignment Alignment = TAlignment::LeftJustify;
    TTextLayout Layout = TTextLayout::Top;
};

class TMemo : public TWinControl {
public:
    explicit TMemo(TComponent* owner);
    ~TMemo() override;

    TStrings* const Lines;
    bool ReadOnly = false;
    bool WordWrap = true;
    TScrollStyle ScrollBars = TScrollStyle::None;
    TImeMode ImeMode = TImeMode::DontCare;
};

class TStatusBar : public TWinControl {
public:
    explicit TStatusBar(TComponent* owner);
    bool SimplePanel = false;
    bool SizeGrip = true;
};

// Every control inside root, depth first, each one's children in creation order.
std::vector<TControl*> AllControls(const TWinControl& root);
