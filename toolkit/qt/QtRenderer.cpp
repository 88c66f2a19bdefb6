#include "qt/QtRenderer.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QToolButton>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <utility>

#include "qt/QtDisplay.h"
#include "widgets/Views.h"

#ifdef QUIL_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace {

// Faces with the same metrics as the ones the window asks for, for machines that lack those.
void RegisterFontSubstitutes() {
    QFont::insertSubstitutions(QStringLiteral("Courier New"),
                               {QStringLiteral("Liberation Mono"), QStringLiteral("Cousine")});
    QFont::insertSubstitutions(QString::fromUtf8("ＭＳ Ｐゴシック"),
                               {QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"),
                                QStringLiteral("VL PGothic")});
}

QString Text(const std::string& text) { return QString::fromStdString(text); }

QColor ToQColor(TColor color, const QPalette& palette) {
    switch (color) {
    case clBtnFace: return palette.color(QPalette::Button);
    case clWindow: return palette.color(QPalette::Base);
    case clWindowText: return palette.color(QPalette::Text);
    default: return QColor::fromRgb(static_cast<QRgb>(color & 0xFFFFFFu));
    }
}

// Black or white, whichever reads better on a fixed colour.
QColor ReadableOn(TColor background) {
    return qGray(static_cast<QRgb>(background & 0xFFFFFFu)) >= 128 ? QColor(Qt::black) : QColor(Qt::white);
}

QFont ToQFont(const TFont& font) {
    QFont qfont = QApplication::font();
    if (!font.Name.empty()) qfont.setFamilies({Text(font.Name)});
    if (font.Height > 0) qfont.setPixelSize(font.Height);
    qfont.setBold(font.Bold);
    qfont.setItalic(font.Italic);
    return qfont;
}

// Part of a bitmap as an image; pixels of the transparent colour, if given, become clear.
QImage ToQImage(const TBitmap& bitmap, int left, int width, const TColor* transparent) {
    QImage image(width, bitmap.Height, QImage::Format_ARGB32);
    for (int y = 0; y < bitmap.Height; ++y) {
        for (int x = 0; x < width; ++x) {
            const TColor c = bitmap.Pixel(left + x, y);
            const bool clear = transparent != nullptr && c == *transparent;
            image.setPixel(x, y, clear ? qRgba(0, 0, 0, 0) : (0xFF000000u | (c & 0xFFFFFFu)));
        }
    }
    return image;
}

// A speed button's glyph: normal and disabled images side by side, the colour of the
// bottom-left pixel drawn transparent.
QIcon GlyphIcon(const TBitmap& glyph, int numGlyphs) {
    QIcon icon;
    if (glyph.Empty()) return icon;
    const int count = std::max(1, numGlyphs);
    const int width = glyph.Width / count;
    const TColor transparent = glyph.Pixel(0, glyph.Height - 1);
    icon.addPixmap(QPixmap::fromImage(ToQImage(glyph, 0, width, &transparent)), QIcon::Normal);
    if (count > 1)
        icon.addPixmap(QPixmap::fromImage(ToQImage(glyph, width, width, &transparent)), QIcon::Disabled);
    return icon;
}

QIcon FormIcon(const TBitmap& bitmap) {
    if (bitmap.Empty()) return {};
    return QIcon(QPixmap::fromImage(ToQImage(bitmap, 0, bitmap.Width, nullptr)));
}

void SetBackground(QWidget* widget, QPalette::ColorRole role, TColor color) {
    QPalette palette = widget->palette();
    palette.setColor(role, ToQColor(color, palette));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// A text colour of the theme stays the theme's on a background of the theme; on a fixed
// background it is fixed too, or a dark theme would put light text on it.
void SetTextColor(QWidget* widget, QPalette::ColorRole role, TColor color, TColor background) {
    if (IsSystemColor(color) && IsSystemColor(background)) return;
    QPalette palette = widget->palette();
    palette.setColor(role, IsSystemColor(color) ? ReadableOn(background) : ToQColor(color, palette));
    widget->setPalette(palette);
}

Qt::Alignment ToQtAlignment(TAlignment alignment, TTextLayout layout) {
    Qt::Alignment horizontal = alignment == TAlignment::RightJustify ? Qt::AlignRight
                               : alignment == TAlignment::Center     ? Qt::AlignHCenter
                                                                     : Qt::AlignLeft;
    Qt::Alignment vertical = layout == TTextLayout::Center   ? Qt::AlignVCenter
                             : layout == TTextLayout::Bottom ? Qt::AlignBottom
                                                             : Qt::AlignTop;
    return horizontal | vertical;
}

int ShowMessageBox(QMessageBox::Icon icon, const QString& caption, const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
    return IDOK;
}

int QtMessageBox(void*, const char* text, const char* caption, unsigned style) {
    // The library's text ends with a line break that a dialog does not need.
    return ShowMessageBox(style & MB_ICONERROR ? QMessageBox::Critical : QMessageBox::NoIcon,
                          QString::fromUtf8(caption), QString::fromUtf8(text).trimmed());
}

// The report's text area. What it copies is the selected text with the line break that ends the
// report's last line when the selection reaches it: every line of the report ends with one, so a
// copy of the whole report is the report (the text area itself only separates its lines).
class ReportEdit final : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    QMimeData* createMimeDataFromSelection() const override {
        const QTextCursor selection = textCursor();
        QString text = selection.selection().toPlainText();
        if (selection.hasSelection() && selection.selectionEnd() == document()->characterCount() - 1)
            text += u'\n';
        auto* data = new QMimeData;
        data->setText(text);
        return data;
    }
};

}  // namespace

// The window of one form. It owns the widgets that stand for the form's controls and keeps
// them where the model puts them. A window that another program destroys (xdotool
// windowclose) closes the form as its close box would, which ends the program.
class QtRenderer::FormWindow final : public QWidget, private TFormView, private QAbstractNativeEventFilter {
public:
    FormWindow(TApplication& app, TForm& form) : app_(app), form_(form) {
        setObjectName(Text(form.Name));
        setWindowTitle(Text(form.Caption));
        setWindowIcon(FormIcon(form.Icon));
        setFont(ToQFont(form.ShownFont()));
        SetBackground(this, QPalette::Window, form.ShownColor());
        SetTextColor(this, QPalette::WindowText, form.ShownFont().Color, form.ShownColor());
        Build(form, this);
        SetTabOrder();
        AddKeys();
        form_.View = this;
        // The described size, as much of it as the screen has room for; a screen smaller than
        // the minimum size gets a window of its own size.
        const QRect room = screen()->availableGeometry();
        form_.FitTo(room.width(), room.height());
        ApplyConstraints();
        resize(form_.ClientWidth(), form_.ClientHeight());
        Place();
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    ~FormWindow() override {
        QCoreApplication::instance()->removeNativeEventFilter(this);
        if (form_.View == this) form_.View = nullptr;
    }

    const TForm& Form() const { return form_; }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        form_.SetClientSize(width(), height());
        Place();
    }

    void showEvent(QShowEvent* event) override {
        QWidget::showEvent(event);
        closing_ = false;
        if (!screenWatched_ && windowHandle() != nullptr) {
            screenWatched_ = true;
            QObject::connect(windowHandle(), &QWindow::screenChanged, this, [this](QScreen* now) {
                if (now == nullptr) return;
                const QRect room = now->availableGeometry();
                form_.SetScreenArea(room.width(), room.height());
                ApplyConstraints();
            });
        }
        AdoptFrame();
    }

    // The frame arrives after the window is mapped, and changes when the window is maximised;
    // it comes with a move.
    void moveEvent(QMoveEvent* event) override {
        QWidget::moveEvent(event);
        AdoptFrame();
    }

    void closeEvent(QCloseEvent* event) override {
        if (!closing_) {
            closing_ = true;
            form_.Close();
        }
        event->accept();
    }

private:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
#ifdef QUIL_HAVE_XCB
        if (eventType != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != XCB_DESTROY_NOTIFY) return false;
        const auto* destroyed = static_cast<const xcb_destroy_notify_event_t*>(message);
        if (internalWinId() == 0 || destroyed->window != internalWinId()) return false;
        QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
#else
        (void)eventType;
        (void)message;
#endif
        return false;
    }

    struct MemoView {
        QPlainTextEdit* Edit = nullptr;
        TShownLines Shown;
    };

    void LinesChanged(TMemo& memo) override {
        auto found = memos_.find(&memo);
        if (found != memos_.end()) Mirror(memo, found->second);
    }

    void FormClosed(TForm&) override {
        if (closing_) return;
        closing_ = true;
        close();
    }

    // Appends the lines the edit does not show yet, or starts afresh after a Clear. Each line
    // is its own block, so that empty lines stay lines.
    static void Mirror(const TMemo& memo, MemoView& view) {
        const TNewLines added = view.Shown.Take(*memo.Lines);
        if (added.Restart) view.Edit->clear();
        if (added.From == added.To) return;
        QTextCursor cursor(view.Edit->document());
        cursor.movePosition(QTextCursor::End);
        cursor.beginEditBlock();
        for (int i = added.From; i < added.To; ++i) {
            if (i > 0) cursor.insertBlock();
            cursor.insertText(Text((*memo.Lines)[i]));
        }
        cursor.endEditBlock();
        // Like a caret following the added text: the view scrolls to the last line.
        view.Edit->moveCursor(QTextCursor::End);
        view.Edit->ensureCursorVisible();
    }

    void Build(const TWinControl& container, QWidget* parent) {
        for (int i = 0; i < container.ControlCount(); ++i) {
            TControl* control = container.Controls(i);
            QWidget* widget = Make(*control, parent);
            widget->setObjectName(Text(control->Name));
            widget->setEnabled(control->Enabled);
            widget->setAccessibleName(Text(control->Hint));
            if (control->ShowHint) widget->setToolTip(Text(control->Hint));
            placed_.emplace_back(control, widget);
            if (auto* inner = dynamic_cast<TWinControl*>(control)) Build(*inner, widget);
        }
    }

    QWidget* Make(TControl& control, QWidget* parent) {
        if (auto* panel = dynamic_cast<TPanel*>(&control)) {
            auto* frame = new QFrame(parent);
            frame->setFrameShape(panel->BevelOuter == TBevelCut::None ? QFrame::NoFrame : QFrame::Panel);
            frame->setFrameShadow(panel->BevelOuter == TBevelCut::Lowered ? QFrame::Sunken : QFrame::Raised);
            SetBackground(frame, QPalette::Window, panel->ShownColor());
            SetTextColor(frame, QPalette::WindowText, panel->ShownFont().Color, panel->ShownColor());
            return frame;
        }
        if (auto* speed = dynamic_cast<TSpeedButton*>(&control)) {
            auto* button = new QToolButton(parent);
            button->setIcon(GlyphIcon(speed->Glyph, speed->NumGlyphs));
            button->setIconSize(QSize(speed->Glyph.Width / std::max(1, speed->NumGlyphs),
                                      speed->Glyph.Height));
            button->setToolButtonStyle(Qt::ToolButtonIconOnly);
            button->setAutoRaise(speed->Flat);
            // Reached by Tab, with the style's focus frame; a click leaves the focus where it is.
            button->setFocusPolicy(Qt::TabFocus);
            QObject::connect(button, &QToolButton::clicked, button,
                             [this, speed] { app_.Dispatch([speed] { speed->Click(); }); });
            return button;
        }
        if (auto* label = dynamic_cast<TLabel*>(&control)) {
            auto* text = new QLabel(Text(label->Caption), parent);
            text->setTextFormat(Qt::PlainText);
            text->setAlignment(ToQtAlignment(label->Alignment, label->Layout));
            text->setFont(ToQFont(label->ShownFont()));
            SetTextColor(text, QPalette::WindowText, label->ShownFont().Color, label->ShownColor());
            return text;
        }
        if (auto* memo = dynamic_cast<TMemo*>(&control)) {
            auto* edit = new ReportEdit(parent);
            edit->setReadOnly(memo->ReadOnly);
            if (memo->ReadOnly)
                edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
            edit->setLineWrapMode(memo->WordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
            const bool horizontal = memo->ScrollBars == TScrollStyle::Horizontal ||
                                    memo->ScrollBars == TScrollStyle::Both;
            const bool vertical = memo->ScrollBars == TScrollStyle::Vertical ||
                                  memo->ScrollBars == TScrollStyle::Both;
            edit->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
            edit->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
            edit->setAttribute(Qt::WA_InputMethodEnabled, memo->ImeMode != TImeMode::Disable);
            edit->setFont(ToQFont(memo->ShownFont()));
            SetBackground(edit->viewport(), QPalette::Base, memo->ShownColor());
            SetTextColor(edit->viewport(), QPalette::Text, memo->ShownFont().Color, memo->ShownColor());
            edit->setFocusPolicy(memo->TabStop ? Qt::StrongFocus : Qt::ClickFocus);
            MemoView& view = memos_[memo];
            view.Edit = edit;
            Mirror(*memo, view);
            return edit;
        }
        if (auto* status = dynamic_cast<TStatusBar*>(&control)) {
            auto* bar = new QStatusBar(parent);
            bar->setSizeGripEnabled(status->SizeGrip);
            SetBackground(bar, QPalette::Window, status->ShownColor());
            return bar;
        }
        auto* widget = new QWidget(parent);
        SetBackground(widget, QPalette::Window, control.ShownColor());
        return widget;
    }

    // Tab goes round the controls in the model's focus order. The window opens with the focus
    // in the first memo of that order, the report, whose keys then work at once; the buttons
    // hand the report its keys too.
    void SetTabOrder() {
        QWidget* previous = nullptr;
        for (TControl* control : FocusOrder(form_)) {
            const auto placed = std::find_if(placed_.begin(), placed_.end(),
                                             [control](const auto& entry) { return entry.first == control; });
            if (placed == placed_.end()) continue;
            if (previous != nullptr) QWidget::setTabOrder(previous, placed->second);
            previous = placed->second;
            if (report_ == nullptr && dynamic_cast<TMemo*>(control) != nullptr) report_ = placed->second;
            if (dynamic_cast<TSpeedButton*>(control) != nullptr) placed->second->installEventFilter(this);
        }
        if (report_ != nullptr) report_->setFocus();
    }

    void Place() {
        for (const auto& [control, widget] : placed_)
            widget->setGeometry(control->Left(), control->Top(), control->Width(), control->Height());
    }

    // The form's outer size includes the frame; Qt sizes the client area. When the first frame
    // arrives the client area gives way, so that the window starts at the outer size TFmMain
    // sets. Later frames (a maximised window loses its borders) only move the minimum: the size
    // is the window manager's and the user's then, and resizing would undo a maximise.
    void AdoptFrame() {
        const QSize frame = frameGeometry().size() - geometry().size();
        if (frame.width() == form_.FrameWidth() && frame.height() == form_.FrameHeight()) return;
        form_.SetFrameSize(frame.width(), frame.height());
        ApplyConstraints();
        if (framed_ || windowState() != Qt::WindowNoState) {
            form_.SetClientSize(width(), height());
            Place();
        } else {
            resize(form_.ClientWidth(), form_.ClientHeight());
        }
        framed_ = framed_ || frame.width() > 0 || frame.height() > 0;
    }

    void ApplyConstraints() {
        const TSizeConstraints c = form_.ShownConstraints();
        const int frameWidth = form_.FrameWidth();
        const int frameHeight = form_.FrameHeight();
        setMinimumSize(std::max(0, c.MinWidth - frameWidth), std::max(0, c.MinHeight - frameHeight));
        setMaximumSize(c.MaxWidth > 0 ? c.MaxWidth - frameWidth : QWIDGETSIZE_MAX,
                       c.MaxHeight > 0 ? c.MaxHeight - frameHeight : QWIDGETSIZE_MAX);
    }

    // The keys every renderer gives the buttons (Enter, Escape, a button's first hint letter
    // in either case) reach the window when the focused control has no use for them: the
    // report keeps its own (arrows, pages, select-all, copy). Ctrl-Q closes the window.
    void keyPressEvent(QKeyEvent* event) override {
        if (ToReport(*event)) return;
        TSpeedButton* button = ButtonForKey(form_, KeyOf(*event));
        if (button == nullptr) return QWidget::keyPressEvent(event);
        for (const auto& [control, widget] : placed_)
            if (control == button) static_cast<QToolButton*>(widget)->click();
    }

    // A focused button would take the arrows to move the focus; they are the report's.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && ToReport(*static_cast<QKeyEvent*>(event))) return true;
        return QWidget::eventFilter(watched, event);
    }

    // The report's keys reach the report wherever the focus is; the focus stays where it is.
    bool ToReport(QKeyEvent& event) {
        if (report_ == nullptr || report_->hasFocus() || forwarding_ || !IsReportKey(event)) return false;
        forwarding_ = true;   // a key the report leaves comes back up to this window
        QCoreApplication::sendEvent(report_, &event);
        forwarding_ = false;
        return true;
    }

    static bool IsReportKey(const QKeyEvent& event) {
        if (event.matches(QKeySequence::SelectAll) || event.matches(QKeySequence::Copy)) return true;
        if ((event.modifiers() & (Qt::AltModifier | Qt::MetaModifier)) != 0) return false;
        switch (event.key()) {
        case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_Left: case Qt::Key_Right:
        case Qt::Key_PageUp: case Qt::Key_PageDown: case Qt::Key_Home: case Qt::Key_End: return true;
        default: return false;
        }
    }

    static int KeyOf(const QKeyEvent& event) {
        if (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter) return KeyEnter;
        if (event.key() == Qt::Key_Escape) return KeyEscape;
        const Qt::KeyboardModifiers chords = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
        if ((event.modifiers() & chords) != 0 || event.text().size() != 1) return 0;
        return event.text()[0].unicode() < 0x80 ? event.text()[0].unicode() : 0;
    }

    void AddKeys() {
        QObject::connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this), &QShortcut::activated, this,
                         [this] { close(); });
    }

    TApplication& app_;
    TForm& form_;
    std::vector<std::pair<TControl*, QWidget*>> placed_;
    std::map<const TMemo*, MemoView> memos_;
    QWidget* report_ = nullptr;   // the first memo that Tab reaches: the report
    bool forwarding_ = false;
    bool closing_ = false;
    bool framed_ = false;   // the first frame has been adopted
    bool screenWatched_ = false;
};

namespace {

std::string startingProgram;
QtMessageHandler previousHandler = nullptr;

// Qt ends the process (abort, core dump) when it cannot start at all. While it starts, such an
// end is turned into a message and an exit status.
void FailStartingQt(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        if (previousHandler != nullptr) previousHandler(type, context, message);
        return;
    }
    std::fprintf(stderr, "%s: the qt renderer cannot start: %s\n", startingProgram.c_str(),
                 message.toLocal8Bit().constData());
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

QtRenderer::QtRenderer(const char* programPath) : programPath_(programPath) {
    if (QApplication::instance() == nullptr) {
        // A window that nobody sees would wait for a click that never comes.
        const QtDisplay display = ProbeQtDisplay();
        if (display.State != QtDisplay::Opens)
            throw RendererUnavailable("the qt renderer cannot start: " + display.Why,
                                      display.State != QtDisplay::Unreachable);
        argv_[0] = programPath_.data();
        startingProgram = ProgramNameOf(programPath_);
        previousHandler = qInstallMessageHandler(FailStartingQt);
        ownApplication_ = std::make_unique<QApplication>(argc_, argv_);
        qInstallMessageHandler(previousHandler);
    }   // the probe's connection goes only now, with Qt's own open
    RegisterFontSubstitutes();
    previousMessageBox_ = SetMessageBoxHandler(QtMessageBox);
}

QtRenderer::~QtRenderer() {
    SetMessageBoxHandler(previousMessageBox_);
    windows_.clear();
}

QWidget* QtRenderer::Show(TApplication& app, TForm& form) {
    // The program's name is what the desktop tells programs apart by (the class of X11's
    // WM_CLASS, Wayland's application id, the accessibility tree's application); the title
    // names the iconified window, and the caption stays the form's.
    const QString name = Text(app.Name.empty() ? app.Title : app.Name);
    QCoreApplication::setApplicationName(name);
    QGuiApplication::setDesktopFileName(name);
    if (&form == app.MainForm() && !form.Icon.Empty()) QApplication::setWindowIcon(FormIcon(form.Icon));
    windows_.push_back(std::make_unique<FormWindow>(app, form));
    FormWindow* window = windows_.back().get();
    window->setWindowIconText(Text(app.Title));
    form.Show();
    // No move(): the window system places a new window.
    window->show();
    return window;
}

QWidget* QtRenderer::WindowOf(const TForm& form) const {
    for (const auto& window : windows_)
        if (&window->Form() == &form) return window.get();
    return nullptr;
}

int QtRenderer::Run(TApplication& app, TForm& mainForm) {
    Show(app, mainForm);
    return QApplication::exec();
}

void QtRenderer::ShowException(const TApplication& app, const std::string& message) {
    ShowMessageBox(QMessageBox::Critical, Text(app.Title), Text(message));
}
