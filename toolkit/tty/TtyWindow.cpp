#include "tty/TtyWindow.h"

#include <algorithm>

namespace {

constexpr int PixelsPerColumn = 8;
constexpr std::string_view CloseBox = "[x]";

std::string ButtonText(const TSpeedButton& button) {
    return "[" + (button.Hint.empty() ? std::string("?") : button.Hint) + "]";
}

std::string Fit(std::string_view text, int width, TAlignment alignment) {
    if (width <= 0) return {};
    const auto w = static_cast<std::size_t>(width);
    if (text.size() >= w) return std::string(text.substr(0, w));
    const std::size_t spare = w - text.size();
    const std::size_t before = alignment == TAlignment::RightJustify ? spare
                               : alignment == TAlignment::Center     ? spare / 2
                                                                     : 0;
    return std::string(before, ' ') + std::string(text) + std::string(spare - before, ' ');
}

// A w-character row of the box: edge, fill, edge. The rows are built in place: GCC 12 at -O3
// warns of an overlapping copy, wrongly, in "+" + std::string(...).
std::string BoxRow(char edge, char fill, std::size_t w) {
    std::string row(w, fill);
    row.front() = edge;
    row.back() = edge;
    return row;
}

}  // namespace

TtyWindow::TtyWindow(TApplication& app, TForm& form) : app_(app), form_(form) {
    form_.View = this;
    Layout();
    if (memo_ != nullptr) shown_.Take(*memo_->Lines);
}

TtyWindow::~TtyWindow() {
    if (form_.View == this) form_.View = nullptr;
}

void TtyWindow::Resize(int rows, int cols) {
    rows_ = std::max(0, rows);
    cols_ = std::max(0, cols);
    Layout();
    ScrollTo(top_, left_);
}

void TtyWindow::Layout() {
    spots_.clear();
    memo_ = nullptr;
    int row = 1;
    for (int i = 0; i < form_.ControlCount(); ++i)
        if (form_.Controls(i)->Align() == TAlign::Top) PlaceRow(*form_.Controls(i), row++);
    int bottom = rows_;
    for (int i = 0; i < form_.ControlCount(); ++i)
        if (form_.Controls(i)->Align() == TAlign::Bottom) PlaceRow(*form_.Controls(i), --bottom);
    for (int i = 0; i < form_.ControlCount(); ++i) {
        auto* memo = dynamic_cast<TMemo*>(form_.Controls(i));
        if (memo != nullptr && memo->Align() == TAlign::Client && memo_ == nullptr) memo_ = memo;
    }
    memoRow_ = row;
    memoRows_ = std::max(0, bottom - row);
}

// A strip: the control across the row, its children on it from left to right where their pixel
// positions put them. On a terminal too narrow for that they close up, and the labels give up
// columns, so that the buttons stay on the screen.
void TtyWindow::PlaceRow(TControl& control, int row) {
    spots_.push_back({row, 0, cols_, &control});
    auto* container = dynamic_cast<TWinControl*>(&control);
    if (container == nullptr) return;
    std::vector<TControl*> children;
    for (int i = 0; i < container->ControlCount(); ++i) children.push_back(container->Controls(i));
    std::stable_sort(children.begin(), children.end(),
                     [](const TControl* a, const TControl* b) { return a->Left() < b->Left(); });
    std::vector<int> widths;
    int buttons = 0;   // the buttons' columns and one between each two of them
    for (TControl* child : children) {
        int width = std::max(1, child->Width() / PixelsPerColumn);
        if (auto* button = dynamic_cast<TSpeedButton*>(child)) {
            width = static_cast<int>(ButtonText(*button).size());
            buttons += (buttons > 0 ? 1 : 0) + width;
        }
        if (auto* label = dynamic_cast<TLabel*>(child); label != nullptr && label->AutoSize)
            width = static_cast<int>(label->Caption.size());
        widths.push_back(width);
    }
    if (children.empty()) return;
    const int start = children.front()->Left() / PixelsPerColumn;
    auto place = [&](bool packed) {
        int col = 0;
        for (std::size_t i = 0; i < children.size(); ++i) {
            if (packed && widths[i] == 0) continue;
            col = std::max(col, packed ? start : children[i]->Left() / PixelsPerColumn);
            spots_.push_back({row, col, widths[i], children[i]});
            col += widths[i] + 1;
        }
        return col - 1;
    };
    const std::size_t first = spots_.size();
    if (place(false) <= cols_) return;
    spots_.resize(first);
    int spare = cols_ - start - buttons;
    for (std::size_t i = 0; i < children.size(); ++i) {
        if (dynamic_cast<TSpeedButton*>(children[i]) != nullptr) continue;
        widths[i] = std::clamp(spare - 1, 0, widths[i]);
        spare -= widths[i] + 1;
    }
    place(true);
}

int TtyWindow::TextRows() const { return std::max(0, memoRows_ - 1); }

int TtyWindow::TextCols() const { return std::max(0, cols_ - 1); }

int TtyWindow::MaxTop() const {
    return memo_ == nullptr ? 0 : std::max(0, memo_->Lines->Count() - TextRows());
}

int TtyWindow::MaxLeft() const {
    if (memo_ == nullptr) return 0;
    std::size_t longest = 0;
    for (int i = 0; i < memo_->Lines->Count(); ++i) longest = std::max(longest, (*memo_->Lines)[i].size());
    return std::max(0, static_cast<int>(longest) - TextCols());
}

int TtyWindow::Bar::ThumbSize() const {
    if (Track() <= 0) return 0;
    if (Total <= Shown) return Track();
    return std::max(1, static_cast<int>(static_cast<long long>(Track()) * Shown / Total));
}

int TtyWindow::Bar::ThumbStart() const {
    if (Track() <= 0 || Total <= Shown) return 0;
    return static_cast<int>(static_cast<long long>(Track() - ThumbSize()) * First / (Total - Shown));
}

// The smallest first line whose thumb starts at start: ThumbStart rounds down.
int TtyWindow::Bar::FirstFor(int start) const {
    const long long room = Track() - ThumbSize();
    const long long hidden = Total - Shown;
    if (room <= 0 || hidden <= 0) return 0;
    const long long at = std::clamp<long long>(start, 0, room);
    return static_cast<int>((at * hidden + room - 1) / room);
}

TtyWindow::Bar TtyWindow::VerticalBar() const {
    const int lines = memo_ == nullptr ? 0 : memo_->Lines->Count();
    return {TextRows(), top_, lines, TextRows()};
}

TtyWindow::Bar TtyWindow::HorizontalBar() const { return {TextCols(), left_, MaxLeft() + TextCols(), TextCols()}; }

void TtyWindow::ScrollTo(int top, int left) {
    top_ = std::clamp(top, 0, MaxTop());
    left_ = std::clamp(left, 0, MaxLeft());
}

void TtyWindow::LinesChanged(TMemo& memo) {
    if (&memo != memo_) return;
    // Like a caret following the added text: a view that showed the end keeps showing it.
    const bool following = top_ >= std::max(0, shown_.Count() - TextRows());
    if (shown_.Take(*memo.Lines).Restart)
        ScrollTo(MaxTop(), 0);
    else
        ScrollTo(following ? MaxTop() : top_, left_);
}

void TtyWindow::Press(TSpeedButton* button) {
    if (button != nullptr && button->Enabled) app_.Dispatch([button] { button->Click(); });
}

void TtyWindow::Key(int key) {
    const int page = std::max(1, TextRows() - 1);
    switch (key) {
    case TtyKeyUp: ScrollTo(top_ - 1, left_); break;
    case TtyKeyDown: ScrollTo(top_ + 1, left_); break;
    case TtyKeyLeft: ScrollTo(top_, left_ - 1); break;
    case TtyKeyRight: ScrollTo(top_, left_ + 1); break;
    case TtyKeyPageUp: ScrollTo(top_ - page, left_); break;
    case TtyKeyPageDown: ScrollTo(top_ + page, left_); break;
    case TtyKeyHome: ScrollTo(0, 0); break;
    case TtyKeyEnd: ScrollTo(MaxTop(), 0); break;
    case TtyKeyClose: form_.Close(); break;
    default: Press(ButtonForKey(form_, key)); break;
    }
}

void TtyWindow::Wheel(int lines) { ScrollTo(top_ + lines, left_); }

void TtyWindow::Click(int row, int col) {
    dragged_ = Dragged::None;
    const int closeCol = cols_ - static_cast<int>(CloseBox.size());
    if (row == 0 && col >= closeCol) {
        form_.Close();
        return;
    }
    for (const Spot& spot : spots_)
        if (row == spot.Row && col >= spot.Col && col < spot.Col + spot.Width)
            if (auto* button = dynamic_cast<TSpeedButton*>(spot.Control)) return Press(button);
    const int textEnd = memoRow_ + TextRows();
    if (memo_ != nullptr && col == TextCols() && row >= memoRow_ && row < textEnd)
        ScrollTo(PressOn(VerticalBar(), row - memoRow_, std::max(1, TextRows() - 1), Dragged::Vertical), left_);
    else if (memo_ != nullptr && row == textEnd && col < TextCols())
        ScrollTo(top_, PressOn(HorizontalBar(), col, TextCols() / 2, Dragged::Horizontal));
}

int TtyWindow::PressOn(const Bar& bar, int pos, int page, Dragged which) {
    if (pos == 0) return bar.First - 1;
    if (pos == bar.Length - 1) return bar.First + 1;
    const int inTrack = pos - 1;
    if (inTrack < bar.ThumbStart()) return bar.First - page;
    if (inTrack >= bar.ThumbStart() + bar.ThumbSize()) return bar.First + page;
    dragged_ = which;
    grab_ = inTrack - bar.ThumbStart();
    return bar.First;
}

void TtyWindow::Drag(int row, int col) {
    if (dragged_ == Dragged::Vertical)
        ScrollTo(VerticalBar().FirstFor(row - memoRow_ - 1 - grab_), left_);
    else if (dragged_ == Dragged::Horizontal)
        ScrollTo(top_, HorizontalBar().FirstFor(col - 1 - grab_));
}

void TtyWindow::Draw(TtySurface& surface) const {
    if (rows_ == 0 || cols_ == 0) return;
    surface.Put(0, 0, Fit(" " + form_.Caption, cols_, TAlignment::LeftJustify), TtyStyle::Caption);
    surface.Put(0, std::max(0, cols_ - static_cast<int>(CloseBox.size())), CloseBox, TtyStyle::Caption);
    for (const Spot& spot : spots_) {
        if (auto* button = dynamic_cast<TSpeedButton*>(spot.Control)) {
            const std::string text = ButtonText(*button);
            surface.Put(spot.Row, spot.Col, text, TtyStyle::Button);
            if (button->Enabled) surface.Put(spot.Row, spot.Col + 1, text.substr(1, 1), TtyStyle::HotKey);
        } else if (auto* label = dynamic_cast<TLabel*>(spot.Control)) {
            surface.Put(spot.Row, spot.Col, Fit(label->Caption, spot.Width, label->Alignment), TtyStyle::Label);
        } else if (dynamic_cast<TStatusBar*>(spot.Control) != nullptr) {
            surface.Put(spot.Row, 0, std::string(static_cast<std::size_t>(cols_), ' '), TtyStyle::Status);
        } else {
            surface.Put(spot.Row, 0, std::string(static_cast<std::size_t>(cols_), ' '), TtyStyle::Strip);
        }
    }
    DrawMemo(surface);
}

void TtyWindow::DrawMemo(TtySurface& surface) const {
    if (memo_ == nullptr || memoRows_ == 0) return;
    const TStrings& lines = *memo_->Lines;
    const int rows = TextRows();
    const int cols = TextCols();
    for (int r = 0; r < rows; ++r) {
        const int index = top_ + r;
        std::string_view line = index < lines.Count() ? std::string_view(lines[index]) : std::string_view();
        line = static_cast<int>(line.size()) > left_ ? line.substr(static_cast<std::size_t>(left_)) : "";
        surface.Put(memoRow_ + r, 0, Fit(line, cols, TAlignment::LeftJustify), TtyStyle::Report);
    }
    // The bar with its arrows at both ends and its thumb.
    auto drawn = [](const Bar& bar, char back, char forth) {
        std::string text(static_cast<std::size_t>(std::max(0, bar.Length)), '.');
        if (bar.Length < 3) return text;
        std::fill_n(text.begin() + 1 + bar.ThumbStart(), bar.ThumbSize(), '#');
        text.front() = back;
        text.back() = forth;
        return text;
    };
    const std::string vertical = drawn(VerticalBar(), '^', 'v');
    for (int r = 0; r < rows; ++r)
        surface.Put(memoRow_ + r, cols, vertical.substr(static_cast<std::size_t>(r), 1), TtyStyle::ScrollBar);
    surface.Put(memoRow_ + rows, 0, drawn(HorizontalBar(), '<', '>'), TtyStyle::ScrollBar);
    surface.Put(memoRow_ + rows, cols, " ", TtyStyle::ScrollBar);
}

// --- TtyNotice --------------------------------------------------------------------------------

TtyNotice::TtyNotice(std::string caption, const std::string& text, int rows, int cols)
    : caption_(std::move(caption)) {
    const int inner = std::max(1, cols - 4);
    std::string line;
    auto flush = [&] {
        while (static_cast<int>(line.size()) > inner) {
            lines_.push_back(line.substr(0, static_cast<std::size_t>(inner)));
            line.erase(0, static_cast<std::size_t>(inner));
        }
        lines_.push_back(line);
        line.clear();
    };
    for (char c : text) {
        if (c == '\n') flush();
        else if (c != '\r') line += c;
    }
    flush();
    while (lines_.size() > 1 && lines_.back().empty()) lines_.pop_back();

    std::size_t widest = std::max<std::size_t>(caption_.size() + 4, 8);
    for (const std::string& l : lines_) widest = std::max(widest, l.size());
    // Never narrower than the OK button and its frame; a smaller screen cuts the box off.
    width_ = std::max(12, std::min(static_cast<int>(widest) + 4, cols));
    height_ = static_cast<int>(lines_.size()) + 4;
    row_ = std::max(0, (rows - height_) / 2);
    col_ = std::max(0, (cols - width_) / 2);
}

void TtyNotice::Draw(TtySurface& surface) const {
    const auto w = static_cast<std::size_t>(width_);
    std::string top = BoxRow('+', '-', w);
    std::string caption(1, ' ');
    caption.append(caption_).push_back(' ');
    top.replace(2, std::min(caption_.size() + 2, w - 4), caption.substr(0, w - 4));
    surface.Put(row_, col_, top, TtyStyle::Notice);
    int r = row_ + 1;
    for (const std::string& line : lines_) {
        std::string row = BoxRow('|', ' ', w);
        row.replace(2, w - 4, Fit(line, width_ - 4, TAlignment::LeftJustify));
        surface.Put(r++, col_, row, TtyStyle::Notice);
    }
    surface.Put(r++, col_, BoxRow('|', ' ', w), TtyStyle::Notice);
    const int okCol = col_ + (width_ - 6) / 2;
    surface.Put(r, col_, BoxRow('|', ' ', w), TtyStyle::Notice);
    surface.Put(r++, okCol, "[ OK ]", TtyStyle::NoticeButton);
    surface.Put(r, col_, BoxRow('+', '-', w), TtyStyle::Notice);
}

bool TtyNotice::OkAt(int row, int col) const {
    const int okRow = row_ + height_ - 2;
    const int okCol = col_ + (width_ - 6) / 2;
    return row == okRow && col >= okCol && col < okCol + 6;
}

bool TtyNotice::Dismisses(int key) { return key == TtyKeyEnter || key == TtyKeyEscape || key == ' '; }
