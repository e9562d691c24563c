#pragma once

#include "KeyCapture.h"

#include <QLineEdit>
#include <QTimer>
#include <cstdint>

class QKeyEvent;

// The Windows virtual-key code of the key in a Qt key event, 0 for a key
// that has none. Where the event says which physical key it comes from
// (KeyboardLayout::EvdevCode), the code is that of the key at the same place
// on a US keyboard, whatever the layout. Otherwise it goes by the symbol:
// shifted symbols map to their key on a US keyboard; the keypad is told from
// the main block by Qt::KeypadModifier, and the left and right Windows keys
// by the event's native key.
std::uint16_t VirtualKeyFromEvent(const QKeyEvent& event);

// The edit field that captures a key combination: every key pressed while it
// has the focus is captured, Tab, Enter, Esc and shortcuts included, and the
// field shows the combination. Its text cannot be edited.
class KeyCaptureEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit KeyCaptureEdit(QWidget* parent = nullptr);
    ~KeyCaptureEdit() override;

    void SetKey(std::uint8_t modifiers, std::uint16_t virtualKey);
    void GetKey(std::uint8_t& modifiers, std::uint16_t& virtualKey) const;

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

protected:
    bool event(QEvent* e) override;
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
    bool fitting = false;
};
