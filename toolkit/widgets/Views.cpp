#include "widgets/Views.h"

#include <algorithm>
#include <climits>

TNewLines TShownLines::Take(const TStrings& lines) {
    TNewLines added;
    if (!started_ || generation_ != lines.Generation() || shown_ > lines.Count()) {
        added.Restart = started_;
        started_ = true;
        generation_ = lines.Generation();
        shown_ = 0;
    }
    added.From = shown_;
    added.To = lines.Count();
    shown_ = added.To;
    return added;
}

namespace {

bool IsAsciiLetter(int key) { return (key >= 'A' && key <= 'Z') || (key >= 'a' && key <= 'z'); }

int Lower(int key) { return key >= 'A' && key <= 'Z' ? key - 'A' + 'a' : key; }

}  // namespace

TSpeedButton* ButtonForKey(const TWinControl& root, int key) {
    for (TControl* control : AllControls(root)) {
        auto* button = dynamic_cast<TSpeedButton*>(control);
        if (button == nullptr || !button->Enabled) continue;
        if (key == KeyEnter && button->Default) return button;
        if (key == KeyEscape && button->Cancel) return button;
        if (IsAsciiLetter(key) && !button->Hint.empty() &&
            Lower(key) == Lower(static_cast<unsigned char>(button->Hint[0])))
            return button;
    }
    return nullptr;
}

std::vector<TControl*> FocusOrder(const TWinControl& root) {
    std::vector<TControl*> children;
    for (int i = 0; i < root.ControlCount(); ++i) children.push_back(root.Controls(i));
    auto orderOf = [](const TControl* control) {
        const auto* container = dynamic_cast<const TWinControl*>(control);
        return container != nullptr && container->TabOrder >= 0 ? container->TabOrder : INT_MAX;
    };
    std::stable_sort(children.begin(), children.end(),
                     [&](const TControl* a, const TControl* b) { return orderOf(a) < orderOf(b); });
    std::vector<TControl*> order;
    for (TControl* control : children) {
        if (!control->Enabled) continue;
        auto* container = dynamic_cast<TWinControl*>(control);
        if (dynamic_cast<TSpeedButton*>(control) != nullptr || (container != nullptr && container->TabStop))
            order.push_back(control);
        if (container != nullptr) {
            const auto inner = FocusOrder(*container);
            order.insert(order.end(), inner.begin(), inner.end());
        }
    }
    return order;
}
