// Key table files: a small text that names its model and holds one line per
// button, so that a table can be kept, edited and given to another receiver.
//
//   # comments run from '#' to the end of the line
//   format = 1
//   model = RV-80
//   1 = .
//   2 = Shift+Ctrl+F5
//
// Every slot of the model's family has exactly one line; key names are those
// a key field shows ("none" for no key).
#pragma once

#include "Messages.h"

#include "KeyAssignment.h"
#include "PresenterFamilies.h"

#include <string>
#include <string_view>
#include <vector>

struct KeyTableFile
{
    const PresenterModel* model = nullptr;
    std::vector<KeyAssignment> keys; // slot order, one per button of the family
};

struct KeyTableFileError
{
    int line = 0; // 1-based; 0 for the file as a whole
    Msg message = Msg::FileSyntax;
    std::vector<std::string> args;
};

struct KeyTableFileParse
{
    bool ok = false;
    KeyTableFile table;
    KeyTableFileError error; // the first fault found
};

// More than any sound file; a larger one is refused unread.
inline constexpr std::size_t kMaxKeyTableFileSize = 64 * 1024;

KeyTableFileParse ParseKeyTableFile(std::string_view text);
// keys: one per button of the model's family.
std::string FormatKeyTableFile(const PresenterModel& model, const std::vector<KeyAssignment>& keys);

// "LT-61, LT-61P, ..." for messages.
std::string ModelList();
