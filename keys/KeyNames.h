// Key names as text, both ways: the text a key field shows for an assignment
// the receiver holds, and the assignment a typed name stands for. For front
// ends without key fields (the command line, table files).
#pragma once

#include "KeyAssignment.h"

#include <string>
#include <string_view>
#include <vector>

// What a key field shows for the assignment: "Shift+Ctrl+F5", "R_Wnd+L_Wnd+D",
// "Num ."; empty for no key and for a key code the field has no key for.
std::string AssignmentName(KeyAssignment key);

// Like AssignmentName, but never loses a key: a key code without a name is
// written as its hex code ("Ctrl+0x58"), no key as "none" (with its modifiers
// in front when some are held: "Ctrl+none").
std::string AssignmentText(KeyAssignment key);

// The name of every key the receiver can hold, in key-code order.
const std::vector<std::string>& ReceiverKeyNames();

struct KeyNameParse
{
    bool ok = false;
    KeyAssignment key;
    // On refusal: the valid names closest to the text, closest first.
    std::vector<std::string> nearest;
};

// Takes every text AssignmentName and AssignmentText give, ignoring case and
// blanks around '+'. Modifiers are Shift, Ctrl, Alt and the Windows key, as
// R_Wnd, L_Wnd or Windows (all one bit). An empty text or "none" is no key,
// "Ctrl+none" the modifier alone.
KeyNameParse ParseKeyName(std::string_view text);
