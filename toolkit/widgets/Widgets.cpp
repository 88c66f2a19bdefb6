#include "widgets/Widgets.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

// --- TComponent -------------------------------------------------------------------------------

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_ != nullptr) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
    // Each owned component takes itself off the list as it goes.
    while (!components_.empty()) delete components_.back();
    if (owner_ != nullptr) std::erase(owner_->components_, this);
}

// --- TBitmap ----------------------------------------------------------------------------------

namespace {

TColor PaletteColor(char letter) {
    static constexpr struct {
        char Letter;
        TColor Color;
    } palette[] = {
        {'k', clBlack}, {'m', clMaroon}, {'g', clGreen},   {'o', clOlive},
        {'n', clNavy},  {'p', clPurple}, {'t', clTeal},    {'s', clSilver},
        {'a', clGray},  {'r', clRed},    {'l', clLime},    {'y', clYellow},
        {'b', clBlue},  {'f', clFuchsia}, {'c', clAqua},   {'w', clWhite},
    };
    for (const auto& entry : palette)
        if (entry.Letter == letter) return entry.Color;
    throw std::invalid_argument(std::string("bitmap: no palette colour for '") + letter + "'");
}

}  // namespace

TBitmap TBitmap::FromRows(std::initializer_list<const char*> rows) {
    TBitmap bitmap;
    bitmap.Height = static_cast<int>(rows.size());
    for (const char* row : rows) {
        const int width = static_cast<int>(std::strlen(row));
        if (bitmap.Width == 0) bitmap.Width = width;
        if (width != bitmap.Width) throw std::invalid_argument("bitmap: rows of different lengths");
        for (const char* p = row; *p != '\0'; ++p) bitmap.Pixels.push_back(PaletteColor(*p));
    }
    return bitmap;
}

// --- TControl ---------------------------------------------------------------------------------

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() { SetParent(nullptr); }

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_) return;
    if (parent_ != nullptr) {
        parent_->RemoveControl(this);
        if (align_ != TAlign::None) parent_->Realign();
    }
    parent_ = parent;
    if (parent_ != nullptr) {
        parent_->InsertControl(this);
        if (align_ != TAlign::None) parent_->Realign();
    }
}

TForm* TControl::ParentForm() const {
    const TControl* top = this;
    while (top->parent_ != nullptr) top = top->parent_;
    return dynamic_cast<TForm*>(const_cast<TControl*>(top));
}

void TControl::SetBounds(int left, int top, int width, int height) {
    bounds_ = {left, top, std::max(0, width), std::max(0, height)};
    if (parent_ != nullptr && align_ != TAlign::None) parent_->Realign();
}

void TControl::SetAlign(TAlign align) {
    align_ = align;
    if (parent_ != nullptr) parent_->Realign();
}

void TControl::PlaceAligned(const TRect& bounds) {
    bounds_ = bounds;
    if (auto* container = dynamic_cast<TWinControl*>(this)) container->Realign();
}

TColor TControl::ShownColor() const {
    return ParentColor && parent_ != nullptr ? parent_->ShownColor() : Color;
}

const TFont& TControl::ShownFont() const {
    return ParentFont && parent_ != nullptr ? parent_->ShownFont() : Font;
}

// --- TWinControl ------------------------------------------------------------------------------

TWinControl::~TWinControl() {
    // Children that outlive their parent (owned elsewhere) are left without one.
    for (TControl* control : controls_) control->parent_ = nullptr;
}

void TWinControl::InsertControl(TControl* control) { controls_.push_back(control); }

void TWinControl::RemoveControl(TControl* control) { std::erase(controls_, control); }

void TWinControl::SetBounds(int left, int top, int width, int height) {
    TControl::SetBounds(left, top, width, height);
    Realign();
}

void TWinControl::Realign() {
    int left = 0;
    int top = 0;
    int right = ClientWidth();
    int bottom = ClientHeight();
    auto span = [](int from, int to) { return std::max(0, to - from); };
    for (TAlign pass : {TAlign::Top, TAlign::Bottom, TAlign::Left, TAlign::Right, TAlign::Client}) {
        for (TControl* c : controls_) {
            if (c->Align() != pass) continue;
            switch (pass) {
            case TAlign::Top:
                c->PlaceAligned({left, top, span(left, right), c->Height()});
                top += c->Height();
                break;
            case TAlign::Bottom:
                c->PlaceAligned({left, bottom - c->Height(), span(left, right), c->Height()});
                bottom -= c->Height();
                break;
            case TAlign::Left:
                c->PlaceAligned({left, top, c->Width(), span(top, bottom)});
                left += c->Width();
                break;
            case TAlign::Right:
                c->PlaceAligned({right - c->Width(), top, c->Width(), span(top, bottom)});
                right -= c->Width();
                break;
            case TAlign::Client:
                c->PlaceAligned({left, top, span(left, right), span(top, bottom)});
                break;
            case TAlign::None:
                break;
            }
        }
    }
}

std::vector<TControl*> AllControls(const TWinControl& root) {
    std::vector<TControl*> all;
    for (int i = 0; i < root.ControlCount(); ++i) {
        TControl* control = root.Controls(i);
        all.push_back(control);
        if (auto* container = dynamic_cast<TWinControl*>(control)) {
            const auto inner = AllControls(*container);
            all.insert(all.end(), inner.begin(), inner.end());
        }
    }
    return all;
}

// --- TStrings ---------------------------------------------------------------------------------

const std::string& TStrings::operator[](int index) const {
    if (index < 0 || index >= Count())
        throw std::out_of_range("line index " + std::to_string(index) + " out of bounds (" +
                                std::to_string(Count()) + " lines)");
    return lines_[static_cast<std::size_t>(index)];
}

int TStrings::Add(const std::string& line) {
    lines_.push_back(line);
    Changed();
    return Count() - 1;
}

void TStrings::Clear() {
    lines_.clear();
    ++generation_;
    Changed();
}

void TStrings::EndUpdate() {
    if (updateCount_ == 0) return;
    if (--updateCount_ == 0 && changedWhileUpdating_) {
        changedWhileUpdating_ = false;
        if (OnChange) OnChange();
    }
}

void TStrings::Changed() {
    if (updateCount_ > 0)
        changedWhileUpdating_ = true;
    else if (OnChange)
        OnChange();
}

// --- TForm ------------------------------------------------------------------------------------

TForm::TForm(TComponent* owner) : TWinControl(owner) {}

TForm::~TForm() = default;

int TForm::ClientWidth() const { return std::max(0, Width() - frameWidth_); }

int TForm::ClientHeight() const { return std::max(0, Height() - frameHeight_); }

void TForm::SetFrameSize(int frameWidth, int frameHeight) {
    frameWidth_ = std::max(0, frameWidth);
    frameHeight_ = std::max(0, frameHeight);
    Realign();
}

void TForm::SetClientSize(int clientWidth, int clientHeight) {
    const TSizeConstraints c = ShownConstraints();
    int width = clientWidth + frameWidth_;
    int height = clientHeight + frameHeight_;
    if (c.MinWidth > 0) width = std::max(width, c.MinWidth);
    if (c.MinHeight > 0) height = std::max(height, c.MinHeight);
    if (c.MaxWidth > 0) width = std::min(width, c.MaxWidth);
    if (c.MaxHeight > 0) height = std::min(height, c.MaxHeight);
    SetBounds(Left(), Top(), width, height);
}

void TForm::SetScreenArea(int width, int height) {
    screenWidth_ = std::max(0, width);
    screenHeight_ = std::max(0, height);
}

void TForm::FitTo(int width, int height) {
    SetScreenArea(width, height);
    const TSizeConstraints c = ShownConstraints();
    SetBounds(Left(), Top(), std::max(std::min(Width(), width), c.MinWidth),
              std::max(std::min(Height(), height), c.MinHeight));
}

TSizeConstraints TForm::ShownConstraints() const {
    TSizeConstraints shown = Constraints;
    if (screenWidth_ > 0) shown.MinWidth = std::min(shown.MinWidth, screenWidth_);
    if (screenHeight_ > 0) shown.MinHeight = std::min(shown.MinHeight, screenHeight_);
    return shown;
}

void TForm::Show() { visible_ = true; }

void TForm::Close() {
    visible_ = false;
    if (View != nullptr) View->FormClosed(*this);
}

// --- Components -------------------------------------------------------------------------------

void TSpeedButton::Click() {
    if (OnClick) OnClick(this);
}

TMemo::TMemo(TComponent* owner) : TWinControl(owner), Lines(new TStrings) {
    TabStop = true;
    Color = clWindow;
    ParentColor = false;
    Lines->OnChange = [this] {
        TForm* form = ParentForm();
        if (form != nullptr && form->View != nullptr) form->View->LinesChanged(*this);
    };
}

TMemo::~TMemo() { delete Lines; }

TStatusBar::TStatusBar(TComponent* owner) : TWinControl(owner) {
    ParentColor = false;
    SetBounds(0, 0, 0, 19);
    SetAlign(TAlign::Bottom);
}
