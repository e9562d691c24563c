#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

// The state of a key capture field, driven by virtual-key codes: it tracks
// the modifier keys held down, composes a combination while keys are held
// and latches it when the combination's key is released.
class KeyCapture
{
public:
    void KeyDown(std::uint16_t vk);
    void KeyUp(std::uint16_t vk);

    // Makes modifiers (kMod* bits; bits 4 to 7 ignored) and virtualKey the
    // finished combination. SetKey(0, 0) clears the field.
    void SetKey(std::uint8_t modifiers, std::uint16_t vk);
    // The finished combination, even while a new one is being composed.
    void GetKey(std::uint8_t& modifiers, std::uint16_t& vk) const;

    // The text to show (UTF-8).
    const std::string& Text() const { return text; }
    bool IsComplete() const { return complete; }
    bool WindowsKeyHeld() const { return leftWinHeld || rightWinHeld; }

    // Resynchronises the held flags of Shift, Ctrl and Alt with the keyboard,
    // for when their key-ups went to another window.
    void SetHeldModifiers(bool shift, bool ctrl, bool alt);

    // Names keys in place of KeyName where it gives a non-empty text, so that
    // a key can be shown as the keyboard in use labels it.
    using KeyNamer = std::function<std::string(std::uint16_t vk)>;
    void SetKeyNamer(KeyNamer namer) { keyNamer = std::move(namer); }
    // Back to no key and nothing held; the namer stays.
    void Clear()
    {
        KeyNamer namer = std::move(keyNamer);
        *this = KeyCapture();
        keyNamer = std::move(namer);
    }

private:
    void UpdateText(std::uint16_t vk);
    bool AnyHeld() const { return shiftHeld || ctrlHeld || altHeld || rightWinHeld || leftWinHeld; }

    bool altHeld = false;
    bool ctrlHeld = false;
    bool shiftHeld = false;
    bool complete = false;
    bool latchedAlt = false;
    bool latchedCtrl = false;
    bool latchedShift = false;
    bool rightWinHeld = false;
    bool latchedRightWin = false;
    bool leftWinHeld = false;
    bool latchedLeftWin = false;
    std::uint16_t keyCode = 0;
    std::string text;
    KeyNamer keyNamer;
};
