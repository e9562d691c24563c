#include "KeyCapture.h"

#include "KeyAssignment.h"
#include "KeyCodes.h"

void KeyCapture::KeyDown(std::uint16_t vk)
{
    switch (vk) {
    case VK_SHIFT:
        shiftHeld = true;
        complete = false;
        break;
    case VK_CONTROL:
        ctrlHeld = true;
        complete = false;
        break;
    case VK_MENU:
        altHeld = true;
        complete = false;
        break;
    case VK_LWIN:
        leftWinHeld = true;
        latchedLeftWin = false;
        complete = false;
        break;
    case VK_RWIN:
        rightWinHeld = true;
        latchedRightWin = false;
        complete = false;
        break;
    default:
        // A new key after a finished combination replaces it at once; its
        // modifiers stay only while one of them is still held.
        if (complete && !AnyHeld())
            latchedAlt = latchedCtrl = latchedShift = latchedRightWin = latchedLeftWin = false;
        break;
    }
    UpdateText(vk);
}

void KeyCapture::KeyUp(std::uint16_t vk)
{
    bool* held = nullptr;
    switch (vk) {
    case VK_SHIFT:
        held = &shiftHeld;
        break;
    case VK_CONTROL:
        held = &ctrlHeld;
        break;
    case VK_MENU:
        held = &altHeld;
        break;
    case VK_RWIN:
        held = &rightWinHeld;
        break;
    case VK_LWIN:
        held = &leftWinHeld;
        break;
    default:
        break;
    }
    if (held) {
        *held = false;
        if (!complete)
            UpdateText(vk);
        return;
    }
    if (complete)
        return;
    complete = true;
    latchedAlt = altHeld;
    latchedCtrl = ctrlHeld;
    latchedShift = shiftHeld;
    latchedRightWin = rightWinHeld;
    latchedLeftWin = leftWinHeld;
    UpdateText(vk);
}

void KeyCapture::SetKey(std::uint8_t modifiers, std::uint16_t vk)
{
    complete = true;
    latchedCtrl = (modifiers & kModCtrl) != 0;
    latchedShift = (modifiers & kModShift) != 0;
    latchedAlt = (modifiers & kModAlt) != 0;
    const bool win = (modifiers & kModWin) != 0;
    latchedRightWin = latchedLeftWin = rightWinHeld = leftWinHeld = win;
    UpdateText(vk);
    if (vk == 0)
        text.clear();
}

void KeyCapture::GetKey(std::uint8_t& modifiers, std::uint16_t& vk) const
{
    modifiers = 0;
    if (latchedCtrl)
        modifiers |= kModCtrl;
    if (latchedShift)
        modifiers |= kModShift;
    if (latchedAlt)
        modifiers |= kModAlt;
    if (latchedRightWin || latchedLeftWin)
        modifiers |= kModWin;
    vk = keyCode;
}

void KeyCapture::SetHeldModifiers(bool shift, bool ctrl, bool alt)
{
    shiftHeld = shift;
    ctrlHeld = ctrl;
    altHeld = alt;
}

void KeyCapture::UpdateText(std::uint16_t vk)
{
    std::string prefix;
    if (complete) {
        prefix = ModifierPrefix(PrefixForm::Latched, latchedShift, latchedCtrl, latchedAlt,
                                latchedRightWin, latchedLeftWin);
        keyCode = vk & 0xFF;
    } else {
        prefix = ModifierPrefix(PrefixForm::Live, shiftHeld, ctrlHeld, altHeld, rightWinHeld,
                                leftWinHeld);
    }
    std::string name = keyNamer ? keyNamer(vk) : std::string();
    text = name.empty() ? KeyDisplayText(prefix, vk, leftWinHeld, rightWinHeld) : prefix + name;
}
