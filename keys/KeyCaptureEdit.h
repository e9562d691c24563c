#pragma once

#include "KeyCapture.h"
#include "ShortcutInhibitor.h"

#include <QLineEdit>
#include <QPalette>
#include <QTimer>
#include <cstdint>
#include <set>
#include <vector>

class QKeyEvent;

// The Windows virtual-key code of the key in a Qt key event, 0 for a key
// that has none. Where the event says which physical key it comes from
// (KeyboardLayout::EvdevCode), the code is that of the key at the same place
// on a US keyboard, whatever the layout. Otherwise it goes by the symbol:
// shifted symbols map to their key on a US keyboard; the keypad is told from
// the main block by Qt::KeypadModifier, and the left and right Windows keys
// by the event's native key.
std::uint16_t VirtualKeyFromEvent(const QKeyEvent& event);

// The edit field that captures a key combination and shows it. Its text
// cannot be edited.
//
// A field captures once it is clicked, or when Enter or Space is pressed in it
// after the keyboard brought the focus there. While it captures it takes every
// key, Tab, Enter, Esc and the desktop's shortcuts included, and looks
// different. A field armed from the keyboard goes back to showing its key once
// a combination is finished and every key is up, so that Tab moves on again;
// a clicked field captures until the focus leaves it.
class KeyCaptureEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit KeyCaptureEdit(QWidget* parent = nullptr);
    ~KeyCaptureEdit() override;

    void SetKey(std::uint8_t modifiers, std::uint16_t virtualKey);
    void GetKey(std::uint8_t& modifiers, std::uint16_t& virtualKey) const;

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    bool IsCapturing() const { return capturing; }
    const ShortcutInhibitor& Inhibitor() const { return inhibitor; }

signals:
    void CapturingChanged(bool capturing);
    // Once per process: the desktop keeps some combinations for itself (a
    // Wayland compositor without, or refusing, shortcut inhibition).
    void DesktopKeepsShortcuts();

protected:
    bool event(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void changeEvent(QEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void HandleKey(const QKeyEvent& event, bool press);
    void FlushRelease();
    void ShowText();
    void FitText();
    double TextWidth() const;
    QFont FittedFont(const QString& shown, double width) const;
    void UpdateGrab();
    void WatchPointer(bool watch);
    void Arm(bool fromKeyboard);
    void Disarm();
    // After the capture took a key: remembers a finished combination, ends a
    // keyboard-armed capture, and drops a remainder of modifiers alone.
    void AfterKey(std::uint16_t vk, bool press);
    void KeepFinished();
    void DropUnfinished();
    void ShowCapturing();

    KeyCapture capture;
    // A key-up that may yet turn out to be half of an auto-repeat pair.
    struct PendingRelease
    {
        bool active = false;
        std::uint16_t vk = 0;
        quint32 scanCode = 0;
        quint64 timestamp = 0;
    } pendingRelease;
    QTimer releaseTimer;
    bool watchingPointer = false;
    bool pointerBusy = false;

    bool capturing = false;
    bool armedFromKeyboard = false;
    // The Enter or Space that armed the field; its key-up is not a key.
    int armingKey = 0;
    // Keys down now, as far as the field saw them.
    std::set<std::uint16_t> keysDown;
    // The capture as it stood at the last finished combination, and the
    // modifier key-ups since: a capture that ends half way (modifiers alone,
    // or the desktop took the key) goes back to it.
    KeyCapture finished;
    std::vector<std::uint16_t> releasedSinceFinished;
    QPalette idlePalette;
    ShortcutInhibitor inhibitor;
    bool fitting = false;
};
