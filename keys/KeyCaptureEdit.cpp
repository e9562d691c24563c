#include "KeyCaptureEdit.h"

#include "KeyCodes.h"
#include "KeyboardLayout.h"
#include "PhysicalKeys.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QWindow>

namespace {

// Keys that are consecutive in both numberings are one row.
struct QtKeyRow
{
    int key;
    bool keypad; // the row is for the key on the numeric keypad
    std::uint16_t vk;
    int count = 1;
};

// Shifted symbols arrive as keys of their own; they map to the key that
// carries them on a US keyboard, as Windows reports it. Keypad keys with Num
// Lock off arrive as navigation keys and map to those, as on Windows.
constexpr QtKeyRow kQtKeys[] = {
    {Qt::Key_A, false, VK_A, 26},
    {Qt::Key_0, false, VK_0, 10},
    {Qt::Key_0, true, VK_NUMPAD0, 10},
    {Qt::Key_ParenRight, false, VK_0},
    {Qt::Key_Exclam, false, VK_0 + 1},
    {Qt::Key_At, false, VK_0 + 2},
    {Qt::Key_NumberSign, false, VK_0 + 3},
    {Qt::Key_Dollar, false, VK_0 + 4},
    {Qt::Key_Percent, false, VK_0 + 5},
    {Qt::Key_AsciiCircum, false, VK_0 + 6},
    {Qt::Key_Ampersand, false, VK_0 + 7},
    {Qt::Key_Asterisk, false, VK_0 + 8},
    {Qt::Key_ParenLeft, false, VK_0 + 9},
    {Qt::Key_Asterisk, true, VK_MULTIPLY},
    {Qt::Key_Plus, true, VK_ADD},
    {Qt::Key_Minus, true, VK_SUBTRACT},
    {Qt::Key_Period, true, VK_DECIMAL},
    {Qt::Key_Comma, true, VK_DECIMAL}, // the decimal key of comma locales
    {Qt::Key_Slash, true, VK_DIVIDE},
    {Qt::Key_Enter, true, VK_RETURN},
    {Qt::Key_Minus, false, VK_OEM_MINUS},
    {Qt::Key_Underscore, false, VK_OEM_MINUS},
    {Qt::Key_Equal, false, VK_OEM_PLUS},
    {Qt::Key_Plus, false, VK_OEM_PLUS},
    {Qt::Key_BracketLeft, false, VK_OEM_4},
    {Qt::Key_BraceLeft, false, VK_OEM_4},
    {Qt::Key_BracketRight, false, VK_OEM_6},
    {Qt::Key_BraceRight, false, VK_OEM_6},
    {Qt::Key_Backslash, false, VK_OEM_5},
    {Qt::Key_Bar, false, VK_OEM_5},
    {Qt::Key_Semicolon, false, VK_OEM_1},
    {Qt::Key_Colon, false, VK_OEM_1},
    {Qt::Key_Apostrophe, false, VK_OEM_7},
    {Qt::Key_QuoteDbl, false, VK_OEM_7},
    {Qt::Key_QuoteLeft, false, VK_OEM_3},
    {Qt::Key_AsciiTilde, false, VK_OEM_3},
    {Qt::Key_Comma, false, VK_OEM_COMMA},
    {Qt::Key_Less, false, VK_OEM_COMMA},
    {Qt::Key_Period, false, VK_OEM_PERIOD},
    {Qt::Key_Greater, false, VK_OEM_PERIOD},
    {Qt::Key_Slash, false, VK_OEM_2},
    {Qt::Key_Question, false, VK_OEM_2},
    {Qt::Key_Space, false, VK_SPACE},
    {Qt::Key_Tab, false, VK_TAB},
    {Qt::Key_Backtab, false, VK_TAB}, // Shift+Tab
    {Qt::Key_Backspace, false, VK_BACK},
    {Qt::Key_Return, false, VK_RETURN},
    {Qt::Key_Enter, false, VK_RETURN},
    {Qt::Key_Escape, false, VK_ESCAPE},
    {Qt::Key_Insert, false, VK_INSERT},
    {Qt::Key_Delete, false, VK_DELETE},
    {Qt::Key_Pause, false, VK_PAUSE},
    {Qt::Key_Cancel, false, VK_CANCEL}, // Ctrl+Pause
    {Qt::Key_Print, false, VK_SNAPSHOT},
    {Qt::Key_SysReq, false, VK_SNAPSHOT}, // Alt+Print Screen
    {Qt::Key_Clear, false, VK_CLEAR},     // keypad 5 with Num Lock off
    {Qt::Key_Home, false, VK_HOME},
    {Qt::Key_End, false, VK_END},
    {Qt::Key_Left, false, VK_LEFT},
    {Qt::Key_Up, false, VK_UP},
    {Qt::Key_Right, false, VK_RIGHT},
    {Qt::Key_Down, false, VK_DOWN},
    {Qt::Key_PageUp, false, VK_PRIOR},
    {Qt::Key_PageDown, false, VK_NEXT},
    {Qt::Key_CapsLock, false, VK_CAPITAL},
    {Qt::Key_NumLock, false, VK_NUMLOCK},
    {Qt::Key_ScrollLock, false, VK_SCROLL},
    {Qt::Key_F1, false, VK_F1, 24},
    {Qt::Key_Shift, false, VK_SHIFT},
    {Qt::Key_Control, false, VK_CONTROL},
    {Qt::Key_Alt, false, VK_MENU},
    {Qt::Key_AltGr, false, VK_MENU},
    {Qt::Key_Meta, false, VK_LWIN},
    {Qt::Key_Super_L, false, VK_LWIN},
    {Qt::Key_Super_R, false, VK_RWIN},
    {Qt::Key_Menu, false, VK_APPS},
    {Qt::Key_Help, false, VK_HELP},
    {Qt::Key_Select, false, VK_SELECT},
    {Qt::Key_Execute, false, VK_EXECUTE},
    {Qt::Key_Printer, false, VK_PRINT},
    {Qt::Key_Sleep, false, VK_SLEEP},
    {Qt::Key_Hangul, false, VK_HANGUL},
    {Qt::Key_Hangul_Hanja, false, VK_HANJA},
    {Qt::Key_Kanji, false, VK_HANJA},
    {Qt::Key_Back, false, VK_BROWSER_BACK},
    {Qt::Key_Forward, false, VK_BROWSER_FORWARD},
    {Qt::Key_Refresh, false, VK_BROWSER_REFRESH},
    {Qt::Key_Stop, false, VK_BROWSER_STOP},
    {Qt::Key_Search, false, VK_BROWSER_SEARCH},
    {Qt::Key_Favorites, false, VK_BROWSER_FAVORITES},
    {Qt::Key_HomePage, false, VK_BROWSER_HOME},
    {Qt::Key_VolumeMute, false, VK_VOLUME_MUTE},
    {Qt::Key_VolumeDown, false, VK_VOLUME_DOWN},
    {Qt::Key_VolumeUp, false, VK_VOLUME_UP},
    {Qt::Key_MediaNext, false, VK_MEDIA_NEXT_TRACK},
    {Qt::Key_MediaPrevious, false, VK_MEDIA_PREV_TRACK},
    {Qt::Key_MediaStop, false, VK_MEDIA_STOP},
    {Qt::Key_MediaPlay, false, VK_MEDIA_PLAY_PAUSE},
    {Qt::Key_MediaTogglePlayPause, false, VK_MEDIA_PLAY_PAUSE},
    {Qt::Key_LaunchMail, false, VK_LAUNCH_MAIL},
    {Qt::Key_LaunchMedia, false, VK_LAUNCH_MEDIA_SELECT},
    {Qt::Key_Launch0, false, VK_LAUNCH_APP1},
    {Qt::Key_Launch1, false, VK_LAUNCH_APP2},
};

std::uint16_t LookUp(int key, bool keypad)
{
    for (const QtKeyRow& row : kQtKeys)
        if (row.keypad == keypad && key >= row.key && key < row.key + row.count)
            return static_cast<std::uint16_t>(row.vk + (key - row.key));
    return 0;
}

// Native keys that tell the two Windows keys apart: X11 keysyms on xcb, the
// virtual-key code itself on Windows.
constexpr quint32 kXkSuperL = 0xffeb;
constexpr quint32 kXkSuperR = 0xffec;
constexpr quint32 kXkMetaL = 0xffe7;
constexpr quint32 kXkMetaR = 0xffe8;

std::uint16_t WindowsKey(int key, quint32 native)
{
    switch (native) {
    case kXkSuperL:
    case VK_LWIN:
        return VK_LWIN;
    case kXkSuperR:
    case VK_RWIN:
        return VK_RWIN;
    case kXkMetaL:
    case kXkMetaR:
        // X11 reports Shift+Alt as Meta.
        return VK_MENU;
    default:
        return key == Qt::Key_Super_R ? VK_RWIN : VK_LWIN;
    }
}

// What a screen reader says besides the field's name and key.
constexpr const char* kIdleHint = "Press Enter or Space, then the key combination";
constexpr const char* kCapturingHint = "Press the key combination";

// Enter and Space, alone, start a capture from the keyboard.
bool IsArmingKey(const QKeyEvent& event)
{
    const Qt::KeyboardModifiers mods = event.modifiers() & ~Qt::KeypadModifier;
    const int key = event.key();
    return mods == Qt::NoModifier &&
           (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space);
}

// How long a key-up waits for the key-down of the same auto-repeat step. The
// X server sends both together, so they arrive within a few milliseconds.
constexpr int kRepeatPairMs = 25;

} // namespace

namespace {

bool IsModifierKey(std::uint16_t vk)
{
    return vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU || vk == VK_LWIN || vk == VK_RWIN;
}

// The key by the symbol the layout made of it, as on a US keyboard.
std::uint16_t SymbolVirtualKey(const QKeyEvent& event)
{
    const int key = event.key();
    if (key == Qt::Key_Meta || key == Qt::Key_Super_L || key == Qt::Key_Super_R)
        return WindowsKey(key, event.nativeVirtualKey());
    std::uint16_t vk = 0;
    if (event.modifiers() & Qt::KeypadModifier)
        vk = LookUp(key, true);
    if (vk == 0)
        vk = LookUp(key, false);
    // A key the receiver's table has no code for would be shown and then
    // written as "no key"; it is ignored, as on the keycode path.
    if (!IsModifierKey(vk) && vk != VK_RETURN && VirtualKeyToKeyCode(vk) == 0)
        return 0;
    return vk;
}

bool IsCharacterKey(std::uint16_t vk)
{
    return !UsBaseCharacter(vk).empty();
}

} // namespace

std::uint16_t VirtualKeyFromEvent(const QKeyEvent& event)
{
    const std::uint16_t bySymbol = SymbolVirtualKey(event);
    const int evdev = KeyboardLayout::Current().EvdevCode(event);
    // A keycode that is no key of any keyboard comes from a tool that made a
    // keymap of its own for the symbols it sends.
    const std::uint8_t usage = EvdevToUsage(evdev);
    if (evdev < 0 || usage == 0)
        return bySymbol;
    // The key's place on the keyboard, whatever the layout makes of it.
    const std::uint16_t byPlace = UsageToVirtualKey(usage);
    if (byPlace == 0)
        return IsCharacterKey(bySymbol) ? 0 : bySymbol;
    // Named keys (Tab, F5, the modifiers) are the same on every layout; where
    // the symbol names another one than the place, the keycodes are not
    // places but a virtual keyboard's own (wtype, remote desktops). The
    // keypad with Num Lock off stays the navigation key it acts as.
    if (bySymbol != 0 && bySymbol != byPlace &&
        (!IsCharacterKey(bySymbol) || !IsCharacterKey(byPlace)))
        return bySymbol;
    return byPlace;
}

KeyCaptureEdit::KeyCaptureEdit(QWidget* parent) : QLineEdit(parent)
{
    // The text shows the captured key and is never read back, so nothing but
    // a capture may change it: no typing, pasting, cutting, undo or drops.
    setReadOnly(true);
    setAcceptDrops(false);
    // Keys must reach the field as keys, not be composed by an input method.
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setAccessibleDescription(QString::fromLatin1(kIdleHint));
    // Whatever else reaches the line edit (a paste or insert by program, a
    // middle-button paste), the field goes on showing the captured key.
    releaseTimer.setSingleShot(true);
    releaseTimer.setInterval(kRepeatPairMs);
    connect(&releaseTimer, &QTimer::timeout, this, &KeyCaptureEdit::FlushRelease);
    connect(this, &QLineEdit::textChanged, this, [this](const QString& shown) {
        const QString captured = QString::fromStdString(capture.Text());
        if (shown != captured)
            setText(captured);
    });
    connect(&inhibitor, &ShortcutInhibitor::DesktopKeepsShortcuts, this,
            &KeyCaptureEdit::DesktopKeepsShortcuts, Qt::QueuedConnection);
    capture.SetKeyNamer([](std::uint16_t vk) {
        return LayoutKeyName(KeyboardLayout::Current(), vk).toStdString();
    });
}

KeyCaptureEdit::~KeyCaptureEdit()
{
    WatchPointer(false);
    if (QWidget::keyboardGrabber() == this)
        releaseKeyboard();
}

void KeyCaptureEdit::SetKey(std::uint8_t modifiers, std::uint16_t virtualKey)
{
    FlushRelease();
    // A table loaded after the user switched layouts is named by the new one.
    KeyboardLayout::Current().Invalidate();
    capture.SetKey(modifiers, virtualKey);
    KeepFinished();
    ShowText();
}

void KeyCaptureEdit::GetKey(std::uint8_t& modifiers, std::uint16_t& virtualKey) const
{
    capture.GetKey(modifiers, virtualKey);
}

bool KeyCaptureEdit::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        break;
    default:
        return QLineEdit::event(e);
    }
    auto* key = static_cast<QKeyEvent*>(e);
    if (!capturing) {
        // Enter and Space start a capture; every other key goes on as in any
        // read-only field, Tab through the focus chain.
        if (IsArmingKey(*key)) {
            e->accept();
            if (e->type() == QEvent::KeyPress && !key->isAutoRepeat()) {
                armingKey = key->key();
                Arm(true);
            }
            return true;
        }
        if (e->type() == QEvent::KeyRelease && key->key() == armingKey) {
            armingKey = 0;
            e->accept();
            return true;
        }
        return QLineEdit::event(e);
    }
    // Every key is the field's, before focus chain, default button, dialog
    // or shortcut can act on it.
    switch (e->type()) {
    case QEvent::KeyPress:
        // The arming key held down repeats; it is not the combination yet.
        if (!(key->isAutoRepeat() && key->key() == armingKey))
            HandleKey(*key, true);
        break;
    case QEvent::KeyRelease:
        if (key->key() == armingKey && !key->isAutoRepeat()) {
            // The key-up of the Enter or Space that started the capture.
            armingKey = 0;
            break;
        }
        // Auto-repeat sends a release before each repeated press; only the
        // real release ends the key.
        if (!key->isAutoRepeat())
            HandleKey(*key, false);
        break;
    default:
        break;
    }
    e->accept();
    return true;
}

void KeyCaptureEdit::mousePressEvent(QMouseEvent* e)
{
    QLineEdit::mousePressEvent(e);
    if (!capturing && hasFocus())
        Arm(false);
}

QVariant KeyCaptureEdit::inputMethodQuery(Qt::InputMethodQuery query) const
{
    // A line edit says it takes input methods even when told not to; the
    // compose input method then swallows the key-down of a dead key, and its
    // key-up alone would be lost.
    if (query == Qt::ImEnabled)
        return false;
    return QLineEdit::inputMethodQuery(query);
}

void KeyCaptureEdit::HandleKey(const QKeyEvent& event, bool press)
{
    if (pointerBusy && press) {
        // The button's release went to the window manager (a window move).
        pointerBusy = false;
        UpdateGrab();
    }
    if (pendingRelease.active) {
        if (press && event.nativeScanCode() == pendingRelease.scanCode &&
            event.timestamp() == pendingRelease.timestamp) {
            // An auto-repeat step that the platform did not flag (seen on
            // X11): the key never went up.
            pendingRelease.active = false;
            releaseTimer.stop();
        } else {
            FlushRelease();
        }
    }
    if (press && armingKey != 0 && event.key() != armingKey)
        armingKey = 0; // its key-up, if any, counts from now on
    if (press)
        KeyboardLayout::Current().Invalidate();
    const std::uint16_t vk = VirtualKeyFromEvent(event);
    if (vk == 0)
        return;
    if (!press && event.nativeScanCode() != 0 && event.timestamp() != 0) {
        pendingRelease = {true, vk, event.nativeScanCode(), event.timestamp()};
        releaseTimer.start();
        return;
    }
    if (press) {
        // A Windows key held since before the capture began, or whose
        // key-down the compositor took before it passed its shortcuts on
        // (mutter, GNOME Shell), still counts: the key's own modifiers say so.
        if ((event.modifiers() & Qt::MetaModifier) && !IsModifierKey(vk) &&
            !capture.WindowsKeyHeld())
            capture.KeyDown(VK_LWIN);
        keysDown.insert(vk);
        capture.KeyDown(vk);
    } else {
        keysDown.erase(vk);
        capture.KeyUp(vk);
    }
    ShowText();
    AfterKey(vk, press);
}

void KeyCaptureEdit::FlushRelease()
{
    if (!pendingRelease.active)
        return;
    pendingRelease.active = false;
    releaseTimer.stop();
    keysDown.erase(pendingRelease.vk);
    capture.KeyUp(pendingRelease.vk);
    ShowText();
    AfterKey(pendingRelease.vk, false);
}

void KeyCaptureEdit::KeepFinished()
{
    finished = capture;
    releasedSinceFinished.clear();
}

void KeyCaptureEdit::AfterKey(std::uint16_t vk, bool press)
{
    if (!capturing)
        return;
    if (capture.IsComplete())
        KeepFinished();
    else if (!press)
        releasedSinceFinished.push_back(vk);
    if (!keysDown.empty())
        return;
    if (!capture.IsComplete())
        // Modifiers alone are no key: "Windows" or "Shift+" would otherwise
        // stay in the field while OK writes the previous key.
        DropUnfinished();
    else if (armedFromKeyboard)
        Disarm();
}

void KeyCaptureEdit::DropUnfinished()
{
    if (capture.IsComplete())
        return;
    if (finished.IsComplete()) {
        capture = finished;
        // Only the held flags move: a modifier's key-up leaves a finished
        // combination as it is.
        for (const std::uint16_t vk : releasedSinceFinished)
            capture.KeyUp(vk);
    } else {
        capture.Clear();
    }
    KeepFinished();
    ShowText();
}

void KeyCaptureEdit::ShowText()
{
    setText(QString::fromStdString(capture.Text()));
    FitText();
}

// A long combination ("Shift+Ctrl+Alt+Page Down") would scroll out of the
// narrow field and show only its end. The font is made smaller, then
// narrower, until the whole text fits; the family and everything else stay
// the dialog's.
void KeyCaptureEdit::FitText()
{
    if (fitting)
        return;
    fitting = true;
    setFont(FittedFont(text(), TextWidth()));
    setCursorPosition(0);
    fitting = false;
}

double KeyCaptureEdit::TextWidth() const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    // QLineEdit keeps a margin of 2 pixels on either side of the text.
    constexpr int kLineEditMargin = 2;
    return contents.width() - textMargins().left() - textMargins().right() - 2 * kLineEditMargin;
}

QFont KeyCaptureEdit::FittedFont(const QString& shown, double width) const
{
    // Only the size and the stretch are the field's own; the rest stays
    // inherited from the dialog.
    QFont inherited = parentWidget() ? parentWidget()->font() : QApplication::font(this);
    const int natural = QFontInfo(inherited).pixelSize();
    const auto fits = [&](int pixels, int stretch, QFont& font) {
        font = QFont();
        if (pixels != natural)
            font.setPixelSize(pixels);
        if (stretch != 100)
            font.setStretch(stretch);
        return QFontMetricsF(font.resolve(inherited)).horizontalAdvance(shown) <= width;
    };
    QFont font;
    if (shown.isEmpty() || width <= 0 || fits(natural, 100, font))
        return QFont();
    // Smaller while it stays easy to read, then narrower, then smaller again.
    constexpr int kReadablePixels = 9;
    constexpr int kLeastPixels = 6;
    constexpr int kLeastStretch = 50;
    int pixels = natural;
    for (; pixels > kReadablePixels; --pixels)
        if (fits(pixels - 1, 100, font))
            return font;
    pixels = std::min(pixels, natural);
    for (int stretch = 95; stretch >= kLeastStretch; stretch -= 5)
        if (fits(pixels, stretch, font))
            return font;
    for (--pixels; pixels >= kLeastPixels; --pixels)
        if (fits(pixels, kLeastStretch, font))
            return font;
    return font; // the smallest there is
}

void KeyCaptureEdit::resizeEvent(QResizeEvent* e)
{
    QLineEdit::resizeEvent(e);
    FitText();
}

void KeyCaptureEdit::Arm(bool fromKeyboard)
{
    armedFromKeyboard = fromKeyboard;
    if (capturing)
        return;
    capturing = true;
    if (fromKeyboard)
        pointerBusy = false; // as at any key press: see HandleKey
    keysDown.clear();
    KeepFinished();
    // Shift, Ctrl or Alt may have been released while another window or
    // field had the focus; their key-ups never reached this field.
    const Qt::KeyboardModifiers mods = QGuiApplication::queryKeyboardModifiers();
    capture.SetHeldModifiers(mods.testFlag(Qt::ShiftModifier), mods.testFlag(Qt::ControlModifier),
                             mods.testFlag(Qt::AltModifier));
    UpdateGrab();
    ShowCapturing();
    emit CapturingChanged(true);
}

void KeyCaptureEdit::Disarm()
{
    if (!capturing)
        return;
    capturing = false;
    FlushRelease();
    DropUnfinished();
    keysDown.clear();
    UpdateGrab();
    ShowCapturing();
    emit CapturingChanged(false);
}

// A capturing field takes the selection colours, the clearest sign the
// platform's style offers that keys now go somewhere else than usual.
void KeyCaptureEdit::ShowCapturing()
{
    if (capturing) {
        idlePalette = palette();
        QPalette shown = idlePalette;
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            shown.setColor(group, QPalette::Base, idlePalette.color(group, QPalette::Highlight));
            shown.setColor(group, QPalette::Text,
                           idlePalette.color(group, QPalette::HighlightedText));
        }
        setPalette(shown);
        setAccessibleDescription(QString::fromLatin1(kCapturingHint));
    } else {
        setPalette(idlePalette);
        setAccessibleDescription(QString::fromLatin1(kIdleHint));
    }
}

void KeyCaptureEdit::focusInEvent(QFocusEvent* e)
{
    QLineEdit::focusInEvent(e);
    switch (e->reason()) {
    case Qt::MouseFocusReason:
        Arm(false);
        break;
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
        // Back from another window or a menu: as it was before.
        if (capturing) {
            const Qt::KeyboardModifiers mods = QGuiApplication::queryKeyboardModifiers();
            capture.SetHeldModifiers(mods.testFlag(Qt::ShiftModifier),
                                     mods.testFlag(Qt::ControlModifier),
                                     mods.testFlag(Qt::AltModifier));
        }
        break;
    default:
        // Tab, Shift+Tab or the dialog's first focus: the keyboard may still
        // need Tab to move on.
        Disarm();
        break;
    }
    pointerBusy = QGuiApplication::mouseButtons() != Qt::NoButton;
    WatchPointer(true);
    UpdateGrab();
}

void KeyCaptureEdit::focusOutEvent(QFocusEvent* e)
{
    FlushRelease();
    WatchPointer(false);
    if (e->reason() == Qt::ActiveWindowFocusReason || e->reason() == Qt::PopupFocusReason) {
        // The keys still down go up elsewhere; a half combination (the desktop
        // took Super+Tab and switched windows) is dropped.
        DropUnfinished();
        keysDown.clear();
        UpdateGrab();
    } else {
        Disarm();
    }
    if (QWidget::keyboardGrabber() == this)
        releaseKeyboard();
    QLineEdit::focusOutEvent(e);
}

void KeyCaptureEdit::changeEvent(QEvent* e)
{
    QLineEdit::changeEvent(e);
    if (e->type() == QEvent::ActivationChange || e->type() == QEvent::EnabledChange)
        UpdateGrab();
    if (e->type() == QEvent::FontChange || e->type() == QEvent::StyleChange)
        FitText();
}

void KeyCaptureEdit::hideEvent(QHideEvent* e)
{
    FlushRelease();
    Disarm();
    if (QWidget::keyboardGrabber() == this)
        releaseKeyboard();
    inhibitor.Release();
    QLineEdit::hideEvent(e);
}

// Keys that the desktop takes for itself (Alt+Tab, Alt+F4, Super+D) reach the
// field only through a keyboard grab on X11, and through the compositor's
// shortcut inhibition on Wayland. Both are held only while the field captures
// with the focus in the active window, so that they never outlive the
// capture. The grab also waits until no mouse button is down, so that it
// never stands in the way of a window move, which starts with a button press
// on the dialog; the inhibition leaves the pointer alone and is asked for at
// the click itself, so that the compositor's answer is there by the first key.
void KeyCaptureEdit::UpdateGrab()
{
    const bool capturingHere = capturing && hasFocus() && isVisible() && isEnabled() &&
                               isActiveWindow() && QApplication::activePopupWidget() == nullptr;
    const bool want = capturingHere && !pointerBusy;
    QWidget* grabber = QWidget::keyboardGrabber();
    if (want && grabber == nullptr)
        grabKeyboard();
    else if (!want && grabber == this)
        releaseKeyboard();
    if (capturingHere)
        inhibitor.Hold(window()->windowHandle());
    else
        inhibitor.Release();
}

void KeyCaptureEdit::WatchPointer(bool watch)
{
    if (watch == watchingPointer)
        return;
    watchingPointer = watch;
    if (watch)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
}

bool KeyCaptureEdit::eventFilter(QObject* watched, QEvent* e)
{
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
        if (!pointerBusy) {
            pointerBusy = true;
            UpdateGrab();
        }
        break;
    case QEvent::MouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonRelease:
        if (pointerBusy && QGuiApplication::mouseButtons() == Qt::NoButton) {
            pointerBusy = false;
            UpdateGrab();
        }
        break;
    default:
        break;
    }
    return QLineEdit::eventFilter(watched, e);
}
