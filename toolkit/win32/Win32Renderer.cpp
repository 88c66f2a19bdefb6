#include "win32/Win32Renderer.h"

#include <commctrl.h>
#include <imm.h>

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>

#include "widgets/Views.h"

namespace {

constexpr wchar_t WindowClassName[] = L"QuilWin32Window";
// Posted to a form's window when its memos have changed.
constexpr UINT MirrorMessage = WM_APP + 1;

// The main window while it exists: the owner of the library's message boxes.
HWND mainWindow = nullptr;

std::wstring Wide(const std::string& text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(0, length)), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// System colours carry the COLOR_ index of the Windows palette in their low byte.
COLORREF ToColorRef(TColor color) {
    if (IsSystemColor(color)) return GetSysColor(static_cast<int>(color & 0xFFu));
    return RGB((color >> 16) & 0xFFu, (color >> 8) & 0xFFu, color & 0xFFu);
}

BYTE ToCharset(TFontCharset charset) {
    switch (charset) {
    case TFontCharset::Ansi: return ANSI_CHARSET;
    case TFontCharset::ShiftJis: return SHIFTJIS_CHARSET;
    case TFontCharset::Default: break;
    }
    return DEFAULT_CHARSET;
}

// Faces with the same metrics as the ones the window asks for, for machines that lack those.
std::vector<std::wstring> FaceAndSubstitutes(const std::string& face) {
    std::vector<std::wstring> faces = {Wide(face)};
    if (face == "Courier New") faces.insert(faces.end(), {L"Liberation Mono", L"Cousine"});
    if (face == "ＭＳ Ｐゴシック")
        faces.insert(faces.end(), {L"MS PGothic", L"IPAPGothic", L"VL PGothic"});
    return faces;
}

std::wstring FaceOf(HFONT font) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, old);
    DeleteDC(dc);
    return face;
}

// The font a control is drawn with: the first of the named face and its substitutes that the
// system really has, or what the font mapper makes of the name.
HFONT MakeFont(const TFont& font, int height) {
    HFONT chosen = nullptr;
    for (const std::wstring& face : FaceAndSubstitutes(font.Name)) {
        HFONT candidate = CreateFontW(-height, 0, 0, 0, font.Bold ? FW_BOLD : FW_NORMAL,
                                      font.Italic, FALSE, FALSE, ToCharset(font.Charset),
                                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                      DEFAULT_PITCH | FF_DONTCARE, face.c_str());
        if (candidate == nullptr) continue;
        if (face.empty() || FaceOf(candidate) == face) {
            if (chosen != nullptr) DeleteObject(chosen);
            return candidate;
        }
        if (chosen == nullptr) {
            chosen = candidate;
        } else {
            DeleteObject(candidate);
        }
    }
    return chosen;
}

// Part of a bitmap as a 32-bit device-independent bitmap. Pixels of the transparent colour,
// if given, take the colour behind them.
HBITMAP MakeBitmap(const TBitmap& bitmap, const TColor* transparent, COLORREF behind) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = bitmap.Width;
    info.bmiHeader.biHeight = -bitmap.Height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP handle = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (handle == nullptr) return nullptr;
    auto* pixel = static_cast<DWORD*>(bits);
    const DWORD back = 0xFF000000u | (GetRValue(behind) << 16) | (GetGValue(behind) << 8) | GetBValue(behind);
    for (int y = 0; y < bitmap.Height; ++y) {
        for (int x = 0; x < bitmap.Width; ++x) {
            const TColor c = bitmap.Pixel(x, y);
            *pixel++ = transparent != nullptr && c == *transparent ? back : 0xFF000000u | (c & 0xFFFFFFu);
        }
    }
    return handle;
}

HICON MakeIcon(const TBitmap& bitmap) {
    if (bitmap.Empty()) return nullptr;
    HBITMAP color = MakeBitmap(bitmap, nullptr, 0);
    // An all-zero mask: every pixel opaque.
    const std::vector<BYTE> zeros(static_cast<std::size_t>((bitmap.Width + 15) / 16 * 2 * bitmap.Height), 0);
    HBITMAP mask = CreateBitmap(bitmap.Width, bitmap.Height, 1, 1, zeros.data());
    ICONINFO info = {TRUE, 0, 0, mask, color};
    HICON icon = color != nullptr && mask != nullptr ? CreateIconIndirect(&info) : nullptr;
    DeleteObject(color);
    DeleteObject(mask);
    return icon;
}

DWORD LabelStyle(const TLabel& label) {
    DWORD style = SS_NOPREFIX;
    style |= label.Alignment == TAlignment::RightJustify ? SS_RIGHT
             : label.Alignment == TAlignment::Center     ? SS_CENTER
                                                         : SS_LEFT;
    // A static control centres one line vertically; it has no bottom alignment.
    if (label.Layout == TTextLayout::Center) style |= SS_CENTERIMAGE;
    return style;
}

DWORD MemoStyle(const TMemo& memo) {
    DWORD style = ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL;
    if (memo.ReadOnly) style |= ES_READONLY;
    if (!memo.WordWrap) style |= ES_AUTOHSCROLL;
    if (memo.ScrollBars == TScrollStyle::Horizontal || memo.ScrollBars == TScrollStyle::Both) style |= WS_HSCROLL;
    if (memo.ScrollBars == TScrollStyle::Vertical || memo.ScrollBars == TScrollStyle::Both) style |= WS_VSCROLL;
    return style;
}

}  // namespace

// The window of one form. It owns the native controls that stand for the form's controls and
// keeps them where the model puts them. Panels are windows of the same class as the form, so
// that one procedure hears the buttons' commands, draws them and colours the static texts.
class Win32Renderer::FormWindow final : private TFormView {
public:
    FormWindow(TApplication& app, TForm& form, int dpi) : app_(app), form_(form), dpi_(dpi) {
        const bool defaultPosition = form.Position == TPosition::DefaultPosOnly;
        if (CreateWindowExW(0, WindowClassName, Wide(form.Caption).c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                            defaultPosition ? CW_USEDEFAULT : Scaled(form.Left()),
                            defaultPosition ? CW_USEDEFAULT : Scaled(form.Top()), Scaled(form.Width()),
                            Scaled(form.Height()), nullptr,
                            nullptr, GetModuleHandleW(nullptr), this) == nullptr)
            throw std::runtime_error("win32 renderer: cannot create the window of " + form.Name);
        form_.View = this;
        icon_ = MakeIcon(form.Icon);
        if (icon_ != nullptr) {
            SendMessageW(handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
            SendMessageW(handle_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
        }
        if (&form_ == app_.MainForm()) mainWindow = handle_;
        Layout();
    }

    ~FormWindow() {
        if (form_.View == this) form_.View = nullptr;
        destroying_ = true;
        if (handle_ != nullptr) DestroyWindow(handle_);
        for (auto& [color, brush] : brushes_) DeleteObject(brush);
        for (HFONT font : fonts_) DeleteObject(font);
        for (auto& [button, glyph] : glyphs_) DeleteObject(glyph);
        if (icon_ != nullptr) DestroyIcon(icon_);
    }

    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    HWND Handle() const { return handle_; }
    const TForm& Form() const { return form_; }

    HWND ControlWindow(const TControl& control) const {
        for (const auto& [c, window] : placed_)
            if (c == &control) return window;
        return nullptr;
    }

    // The window's own keys, from any of its controls: Enter presses the default button,
    // Escape the cancel button and a button's first hint letter that button, in either case;
    // Tab and Shift+Tab move the focus, Ctrl+Q closes the window and Ctrl+A selects all of an
    // edit control's text. Whether the message was such a key and has been handled.
    bool PressKey(const MSG& msg) {
        if (msg.message == WM_CHAR) return Press(ButtonForKey(form_, static_cast<int>(msg.wParam)));
        if (msg.message != WM_KEYDOWN || GetKeyState(VK_MENU) < 0) return false;
        const bool control = GetKeyState(VK_CONTROL) < 0;
        switch (msg.wParam) {
        case VK_RETURN: return !control && Press(ButtonForKey(form_, KeyEnter));
        case VK_ESCAPE: return !control && Press(ButtonForKey(form_, KeyEscape));
        case VK_TAB:
            if (control) return false;
            MoveFocus(GetKeyState(VK_SHIFT) < 0);
            return true;
        case 'Q':
            if (!control) return false;
            PostMessageW(handle_, WM_CLOSE, 0, 0);
            return true;
        case 'A':
            if (!control || dynamic_cast<TMemo*>(ControlOf(msg.hwnd)) == nullptr) return false;
            SendMessageW(msg.hwnd, EM_SETSEL, 0, -1);
            return true;
        default: return false;
        }
    }

    // A mouse press on a speed button is about to give it the focus, which it keeps only if
    // it had it: the click hands the focus back.
    void MousePressing(const MSG& msg) {
        if ((msg.message == WM_LBUTTONDOWN || msg.message == WM_LBUTTONDBLCLK) &&
            dynamic_cast<TSpeedButton*>(ControlOf(msg.hwnd)) != nullptr) {
            mousePress_ = true;
            focusBeforePress_ = GetFocus();
        }
    }

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            if (self->handle_ == nullptr) self->handle_ = window;
        }
        auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
        return self->OnMessage(window, message, wParam, lParam);
    }

private:
    struct MemoView {
        HWND Edit = nullptr;
        TShownLines Shown;
    };

    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_CREATE:
            // No exception may cross the system's code: a control that cannot be made fails
            // the window's creation instead.
            if (window == handle_) {
                try {
                    Build(form_, window);
                    AddTooltips(window);
                } catch (const std::exception&) {
                    destroying_ = true;  // a window that never was ends no message loop
                    return -1;
                }
            }
            return 0;
        case WM_SIZE:
            if (window == handle_ && wParam != SIZE_MINIMIZED) Layout();
            return 0;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            const TSizeConstraints& c = form_.Constraints;
            if (c.MinWidth > 0) info->ptMinTrackSize.x = Scaled(c.MinWidth);
            if (c.MinHeight > 0) info->ptMinTrackSize.y = Scaled(c.MinHeight);
            if (c.MaxWidth > 0) info->ptMaxTrackSize.x = Scaled(c.MaxWidth);
            if (c.MaxHeight > 0) info->ptMaxTrackSize.y = Scaled(c.MaxHeight);
            return 0;
        }
        case WM_ERASEBKGND: {
            RECT area;
            GetClientRect(window, &area);
            const TControl* control = window == handle_ ? &form_ : ControlOf(window);
            if (control == nullptr) break;
            FillRect(reinterpret_cast<HDC>(wParam), &area, Brush(control->ShownColor()));
            return 1;
        }
        case WM_CTLCOLORSTATIC:  // labels, and edit controls that are read-only
        case WM_CTLCOLOREDIT: {
            const TControl* control = ControlOf(reinterpret_cast<HWND>(lParam));
            if (control == nullptr) break;
            auto* dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, ToColorRef(control->ShownFont().Color));
            SetBkColor(dc, ToColorRef(control->ShownColor()));
            return reinterpret_cast<LRESULT>(Brush(control->ShownColor()));
        }
        case WM_DRAWITEM:
            if (DrawButton(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam))) return TRUE;
            break;
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) {
                if (auto* button = dynamic_cast<TSpeedButton*>(ControlOf(reinterpret_cast<HWND>(lParam)))) {
                    Click(*button);
                    return 0;
                }
            }
            break;
        case MirrorMessage:
            mirrorPosted_ = false;
            for (auto& [memo, view] : memos_) Mirror(*memo, view);
            return 0;
        case WM_SETFOCUS:
            if (window == handle_) FocusFirstTabStop();
            return 0;
        case WM_ACTIVATE:
            // The focus comes back to the control that had it when the window was left.
            if (window != handle_) break;
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                lastFocus_ = focus != nullptr && IsChild(handle_, focus) ? focus : nullptr;
            } else if (HIWORD(wParam) != 0) {
                // minimised: nothing takes the focus
            } else if (lastFocus_ != nullptr && IsWindow(lastFocus_) && IsChild(handle_, lastFocus_)) {
                SetFocus(lastFocus_);
            } else {
                FocusFirstTabStop();
            }
            return 0;
        case WM_CLOSE:
            if (window != handle_) break;
            if (!closing_) {
                closing_ = true;
                form_.Close();
            }
            DestroyWindow(handle_);
            return 0;
        case WM_DESTROY:
            if (window != handle_) break;
            if (mainWindow == handle_) mainWindow = nullptr;
            handle_ = nullptr;
            placed_.clear();
            memos_.clear();
            // The main form's window ends the message loop, unless the renderer itself is
            // taking it down.
            if (!destroying_ && &form_ == app_.MainForm()) PostQuitMessage(0);
            return 0;
        default:
            break;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    // The edit controls catch up when the message loop next runs: a Run adds its lines one at
    // a time without returning to it, and an edit control takes as long to add one line as
    // to add all of them. Nothing would be drawn in between anyway.
    void LinesChanged(TMemo& memo) override {
        if (memos_.count(&memo) == 0 || mirrorPosted_ || handle_ == nullptr) return;
        mirrorPosted_ = PostMessageW(handle_, MirrorMessage, 0, 0) != FALSE;
    }

    // The model closed the form (Exit): the window closes once the click is over.
    void FormClosed(TForm&) override {
        if (closing_ || handle_ == nullptr) return;
        closing_ = true;
        PostMessageW(handle_, WM_CLOSE, 0, 0);
    }

    // A speed button clicked with the mouse does not keep the focus: it goes back where it
    // was before the click runs.
    void Click(TSpeedButton& button) {
        HWND pressed = ControlWindow(button);
        HWND before = std::exchange(focusBeforePress_, nullptr);
        if (std::exchange(mousePress_, false) && pressed != nullptr && GetFocus() == pressed && before != pressed) {
            if (before != nullptr && IsWindow(before) && IsChild(handle_, before)) {
                SetFocus(before);
            } else {
                FocusFirstTabStop();
            }
        }
        app_.Dispatch([&button] { button.Click(); });
    }

    bool Press(TSpeedButton* button) {
        if (button == nullptr) return false;
        Click(*button);
        return true;
    }

    // Tab visits the speed buttons and the report in the model's focus order, and from then
    // on the focused control shows its focus.
    void MoveFocus(bool backwards) {
        std::vector<HWND> stops;
        for (TControl* control : FocusOrder(form_))
            if (HWND window = ControlWindow(*control); window != nullptr) stops.push_back(window);
        if (stops.empty()) return;
        const auto count = static_cast<std::ptrdiff_t>(stops.size());
        const std::ptrdiff_t at = std::find(stops.begin(), stops.end(), GetFocus()) - stops.begin();
        const std::ptrdiff_t next = at == count ? (backwards ? count - 1 : 0)
                                                : (at + (backwards ? count - 1 : 1)) % count;
        SendMessageW(handle_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
        SetFocus(stops[static_cast<std::size_t>(next)]);
    }

    void FocusFirstTabStop() {
        const TWinControl* first = nullptr;
        for (const auto& [control, window] : placed_) {
            auto* container = dynamic_cast<TWinControl*>(control);
            if (container != nullptr && container->TabStop && container->Enabled &&
                (first == nullptr || container->TabOrder < first->TabOrder))
                first = container;
        }
        if (first != nullptr) SetFocus(ControlWindow(*first));
    }

    // Appends the lines the edit control does not show yet, or starts afresh after a Clear,
    // and scrolls to the last line as a caret following the added text would.
    static void Mirror(const TMemo& memo, MemoView& view) {
        const TNewLines lines = view.Shown.Take(*memo.Lines);
        if (lines.Restart) SetWindowTextW(view.Edit, L"");
        if (lines.From == lines.To) return;
        std::string added;
        for (int i = lines.From; i < lines.To; ++i) {
            if (i > 0) added += "\r\n";
            added += (*memo.Lines)[i];
        }
        const auto end = static_cast<WPARAM>(GetWindowTextLengthW(view.Edit));
        SendMessageW(view.Edit, EM_SETSEL, end, static_cast<LPARAM>(end));
        SendMessageW(view.Edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(Wide(added).c_str()));
        SendMessageW(view.Edit, EM_SCROLLCARET, 0, 0);
    }

    void Build(const TWinControl& container, HWND parent) {
        for (int i = 0; i < container.ControlCount(); ++i) {
            TControl* control = container.Controls(i);
            HWND window = Make(*control, parent);
            if (window == nullptr) throw std::runtime_error("win32 renderer: cannot create " + control->Name);
            if (!control->Enabled) EnableWindow(window, FALSE);
            SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(Font(control->ShownFont())), FALSE);
            placed_.emplace_back(control, window);
            if (auto* inner = dynamic_cast<TWinControl*>(control)) Build(*inner, window);
        }
    }

    // Controls whose hint is to be shown tell it in a tooltip when the mouse rests on them.
    void AddTooltips(HWND window) {
        HWND tips = nullptr;
        for (const auto& [control, placed] : placed_) {
            if (!control->ShowHint || control->Hint.empty()) continue;
            if (tips == nullptr)
                tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                       CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window,
                                       nullptr, GetModuleHandleW(nullptr), nullptr);
            if (tips == nullptr) return;
            std::wstring text = Wide(control->Hint);
            TTTOOLINFOW tool = {};
            // The size that every version of the common controls takes.
            tool.cbSize = TTTOOLINFOW_V2_SIZE;
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.hwnd = GetParent(placed);
            tool.uId = reinterpret_cast<UINT_PTR>(placed);
            tool.lpszText = text.data();
            SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }

    HWND Child(const wchar_t* windowClass, const std::string& text, DWORD style, DWORD exStyle, HWND parent) {
        return CreateWindowExW(exStyle, windowClass, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style,
                               0, 0, 0, 0, parent, nullptr, GetModuleHandleW(nullptr), this);
    }

    HWND Make(TControl& control, HWND parent) {
        // A panel's bevel would be a frame; the window draws none.
        if (dynamic_cast<TPanel*>(&control) != nullptr)
            return Child(WindowClassName, "", WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, parent);
        if (auto* speed = dynamic_cast<TSpeedButton*>(&control)) {
            // The hint names the button for screen readers; its face is the glyph.
            HWND button = Child(WC_BUTTONW, speed->Hint, BS_OWNERDRAW | WS_TABSTOP, 0, parent);
            if (button != nullptr && !speed->Glyph.Empty()) {
                const TColor transparent = speed->Glyph.Pixel(0, speed->Glyph.Height - 1);
                glyphs_[speed] = MakeBitmap(speed->Glyph, &transparent, GetSysColor(COLOR_BTNFACE));
            }
            return button;
        }
        if (auto* label = dynamic_cast<TLabel*>(&control))
            return Child(WC_STATICW, label->Caption, LabelStyle(*label), 0, parent);
        if (auto* memo = dynamic_cast<TMemo*>(&control)) {
            HWND edit = Child(WC_EDITW, "", MemoStyle(*memo) | (memo->TabStop ? WS_TABSTOP : 0),
                              WS_EX_CLIENTEDGE, parent);
            if (edit == nullptr) return nullptr;
            SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);  // no limit short of 2 GiB
            if (memo->ImeMode == TImeMode::Disable) ImmAssociateContext(edit, nullptr);
            MemoView& view = memos_[memo];
            view.Edit = edit;
            Mirror(*memo, view);
            return edit;
        }
        if (auto* status = dynamic_cast<TStatusBar*>(&control)) {
            // Placed by the model like any control, at the height the description gives.
            const DWORD style = CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER |
                                (status->SizeGrip ? SBARS_SIZEGRIP : 0);
            HWND bar = Child(STATUSCLASSNAMEW, "", style, 0, parent);
            if (bar != nullptr) SendMessageW(bar, SB_SIMPLE, status->SimplePanel, 0);
            return bar;
        }
        return Child(WindowClassName, "", 0, 0, parent);
    }

    // The raised frame of a push button, sunk while pressed, with the glyph in the middle: its
    // disabled image when the button is disabled, its normal one otherwise.
    bool DrawButton(const DRAWITEMSTRUCT& item) {
        auto* button = dynamic_cast<TSpeedButton*>(ControlOf(item.hwndItem));
        if (button == nullptr) return false;
        RECT face = item.rcItem;
        const bool pressed = (item.itemState & ODS_SELECTED) != 0;
        DrawFrameControl(item.hDC, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
        auto glyph = glyphs_.find(button);
        if (glyph == glyphs_.end()) return true;
        const int count = std::max(1, button->NumGlyphs);
        const int width = button->Glyph.Width / count;
        const int height = button->Glyph.Height;
        const int image = (item.itemState & ODS_DISABLED) != 0 && count > 1 ? 1 : 0;
        const int shift = pressed ? 1 : 0;
        // Pixel art grows by whole pixels only, or its lines would come out uneven.
        const int zoom = std::max(1, dpi_ / 96);
        HDC source = CreateCompatibleDC(item.hDC);
        HGDIOBJ old = SelectObject(source, glyph->second);
        SetStretchBltMode(item.hDC, COLORONCOLOR);
        StretchBlt(item.hDC, (item.rcItem.right - item.rcItem.left - zoom * width) / 2 + shift,
                   (item.rcItem.bottom - item.rcItem.top - zoom * height) / 2 + shift, zoom * width,
                   zoom * height, source, image * width, 0, width, height, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
        if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0) {
            RECT ring = item.rcItem;
            InflateRect(&ring, -3, -3);
            DrawFocusRect(item.hDC, &ring);
        }
        return true;
    }

    // The model's pixels are at 96 pixels per inch; the window's at the system's density.
    int Scaled(int pixels) const { return MulDiv(pixels, dpi_, 96); }
    int Unscaled(int pixels) const { return MulDiv(pixels, 96, dpi_); }

    // Moves every control to where the model has it. A control that reaches its parent's
    // right or bottom edge reaches it on the screen too, whatever the rounding.
    void Place() {
        RECT client;
        GetClientRect(handle_, &client);
        std::map<const TControl*, POINT> sizes = {{&form_, {client.right, client.bottom}}};
        for (const auto& [control, window] : placed_) {
            const TWinControl* parent = control->Parent();
            const POINT room = sizes[parent];   // parents are placed before their children
            const int left = Scaled(control->Left());
            const int top = Scaled(control->Top());
            const int right = control->Left() + control->Width() >= parent->ClientWidth()
                                  ? room.x
                                  : Scaled(control->Left() + control->Width());
            const int bottom = control->Top() + control->Height() >= parent->ClientHeight()
                                   ? room.y
                                   : Scaled(control->Top() + control->Height());
            MoveWindow(window, left, top, right - left, bottom - top, TRUE);
            sizes[control] = {right - left, bottom - top};
        }
    }

    // The form's outer size includes the frame, which the system draws: the model hears how
    // wide it is, so that its client area is the window's.
    void AdoptFrame() {
        RECT outer;
        RECT client;
        GetWindowRect(handle_, &outer);
        GetClientRect(handle_, &client);
        const int frameWidth = Unscaled((outer.right - outer.left) - client.right);
        const int frameHeight = Unscaled((outer.bottom - outer.top) - client.bottom);
        if (frameWidth != form_.FrameWidth() || frameHeight != form_.FrameHeight())
            form_.SetFrameSize(frameWidth, frameHeight);
    }

    void Layout() {
        RECT client;
        GetClientRect(handle_, &client);
        AdoptFrame();
        form_.SetClientSize(Unscaled(client.right), Unscaled(client.bottom));
        Place();
    }

    TControl* ControlOf(HWND window) const {
        for (const auto& [control, placed] : placed_)
            if (placed == window) return control;
        return nullptr;
    }

    HBRUSH Brush(TColor color) {
        HBRUSH& brush = brushes_[color];
        if (brush == nullptr) brush = CreateSolidBrush(ToColorRef(color));
        return brush;
    }

    HFONT Font(const TFont& font) {
        auto found = fontOf_.find(&font);
        if (found != fontOf_.end()) return found->second;
        HFONT made = MakeFont(font, Scaled(font.Height));
        if (made != nullptr) fonts_.push_back(made);
        fontOf_[&font] = made;
        return made;
    }

    TApplication& app_;
    TForm& form_;
    const int dpi_;
    HWND handle_ = nullptr;
    HICON icon_ = nullptr;
    std::vector<std::pair<TControl*, HWND>> placed_;
    std::map<const TMemo*, MemoView> memos_;
    std::map<const TSpeedButton*, HBITMAP> glyphs_;
    std::map<TColor, HBRUSH> brushes_;
    std::map<const TFont*, HFONT> fontOf_;
    std::vector<HFONT> fonts_;
    bool mousePress_ = false;           // a speed button is being pressed with the mouse
    HWND focusBeforePress_ = nullptr;   // and this had the focus before
    HWND lastFocus_ = nullptr;          // where it was when the window was left
    bool mirrorPosted_ = false;
    bool closing_ = false;
    bool destroying_ = false;
};

Win32Renderer::Win32Renderer(int dpi) : dpi_(dpi) {
    if (dpi_ <= 0) {
        // What the system tells a program that declares itself DPI aware; 96 to any other.
        HDC screen = GetDC(nullptr);
        dpi_ = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen != nullptr) ReleaseDC(nullptr, screen);
        if (dpi_ <= 0) dpi_ = 96;
    }
    const INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW windowClass = {};
    if (GetClassInfoExW(GetModuleHandleW(nullptr), WindowClassName, &windowClass) == FALSE) {
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = FormWindow::Procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.lpszClassName = WindowClassName;
        if (RegisterClassExW(&windowClass) == 0)
            throw std::runtime_error("win32 renderer: cannot register the window class");
    }
    previousMessageBox_ = SetMessageBoxHandler(OwnedMessageBox);
}

Win32Renderer::~Win32Renderer() {
    SetMessageBoxHandler(previousMessageBox_);
    windows_.clear();
}

int Win32Renderer::OwnedMessageBox(void* owner, const char* text, const char* caption, unsigned style) {
    return SystemMessageBox(owner != nullptr ? owner : mainWindow, text, caption, style);
}

HWND Win32Renderer::Show(TApplication& app, TForm& form) {
    windows_.push_back(std::make_unique<FormWindow>(app, form, dpi_));
    HWND window = windows_.back()->Handle();
    form.Show();
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return window;
}

Win32Renderer::FormWindow* Win32Renderer::Find(const TForm& form) const {
    for (const auto& window : windows_)
        if (&window->Form() == &form && window->Handle() != nullptr) return window.get();
    return nullptr;
}

HWND Win32Renderer::ControlWindow(const TControl& control) const {
    TForm* form = control.ParentForm();
    FormWindow* window = form != nullptr ? Find(*form) : nullptr;
    return window != nullptr ? window->ControlWindow(control) : nullptr;
}

int Win32Renderer::Run(TApplication& app, TForm& mainForm) {
    if (Find(mainForm) == nullptr) Show(app, mainForm);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        const HWND root = GetAncestor(msg.hwnd, GA_ROOT);
        bool pressed = false;
        for (const auto& window : windows_) {
            if (window->Handle() == nullptr || window->Handle() != root) continue;
            window->MousePressing(msg);
            pressed = window->PressKey(msg);
        }
        if (pressed) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

void Win32Renderer::ShowException(const TApplication& app, const std::string& message) {
    SystemMessageBox(mainWindow, message.c_str(), app.Title.c_str(), MB_OK | MB_ICONERROR);
}
