#include "ReceiverEmulator.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kRead = 0xFC;
constexpr std::uint8_t kWriteKey = 0xFF;
constexpr std::uint8_t kCommit = 0xFE;

// Key codes are USB HID keyboard usages.
constexpr std::uint8_t kPageUp = 0x4B, kPageDown = 0x4E, kF5 = 0x3E, kEsc = 0x29, kTab = 0x2B,
                       kFullStop = 0x37, kDown = 0x51, kUp = 0x52;
constexpr std::uint8_t kAlt = 0x04;

} // namespace

const std::vector<std::string>& ReceiverModels()
{
    static const std::vector<std::string> models = {"LT-61",  "LT-61P",     "LT-65",      "RV-80",
                                                    "RV-80G", "QN-70 Vela", "QN-95 Vela", "QN-90"};
    return models;
}

std::optional<ReceiverFamily> FamilyOfModel(std::string_view model)
{
    if (model == "LT-61")
        return ReceiverFamily::TwoKey;
    if (model == "LT-61P" || model == "LT-65")
        return ReceiverFamily::Lt;
    if (model == "RV-80" || model == "RV-80G")
        return ReceiverFamily::Rv;
    if (model == "QN-70 Vela" || model == "QN-95 Vela" || model == "QN-90")
        return ReceiverFamily::Qn;
    return std::nullopt;
}

const char* FamilyName(ReceiverFamily family)
{
    switch (family) {
    case ReceiverFamily::TwoKey:
        return "two-key";
    case ReceiverFamily::Qn:
        return "QN";
    case ReceiverFamily::Lt:
        return "LT-61P/LT-65";
    case ReceiverFamily::Rv:
        return "RV-80";
    }
    return "?";
}

const KeyTable& FactoryTable(ReceiverFamily family)
{
    static const KeyTable twoKey = {{0, kPageUp}, {0, kPageDown}};
    static const KeyTable qn = {{0, kF5}, {0, kEsc}, {kAlt, kTab}, {0, kPageUp}, {0, kPageDown}};
    static const KeyTable lt = {{0, kPageUp}, {0, kPageDown}, {0, kFullStop}, {0, kF5}, {0, kEsc}};
    static const KeyTable rv = {{0, kFullStop}, {0, kDown},   {0, kUp},      {0, kF5},
                                {0, kEsc},      {0, kPageUp}, {0, kPageDown}};
    switch (family) {
    case ReceiverFamily::TwoKey:
        return twoKey;
    case ReceiverFamily::Qn:
        return qn;
    case ReceiverFamily::Lt:
        return lt;
    case ReceiverFamily::Rv:
        return rv;
    }
    return twoKey;
}

ReceiverEmulator::ReceiverEmulator(ReceiverFamily f) : family(f), table(FactoryTable(f)) {}

bool ReceiverEmulator::SetTable(const KeyTable& committed)
{
    if (committed.size() != table.size())
        return false;
    table = committed;
    return true;
}

bool ReceiverEmulator::HandleRequest(const std::uint8_t* data, std::size_t size)
{
    if (!data || size != 8)
        return false;
    Report r;
    std::copy(data, data + 8, r.begin());
    switch (r[0]) {
    case kRead:
        QueueTable();
        return true;
    case kWriteKey:
        return StageKey(r);
    case kCommit:
        // A commit with nothing staged keeps the table: the program commits
        // even when it wrote no key.
        for (const auto& [slot, entry] : staged)
            table[slot - 1] = entry;
        staged.clear();
        return true;
    case 0x00:
        if (std::any_of(r.begin(), r.end(), [](std::uint8_t b) { return b != 0; }))
            return false;
        table = FactoryTable(family);
        staged.clear();
        answers.clear();
        return true;
    default:
        return false;
    }
}

bool ReceiverEmulator::StageKey(const Report& r)
{
    const int size = r[1];
    const int slot = r[2];
    if (size != TableSize() || slot < 1 || slot > size)
        return false;
    // The slot is named twice, by number and by its factory key code; a
    // request whose two names disagree belongs to another receiver's table.
    if (r[3] != FactoryTable(family)[slot - 1].keyCode)
        return false;
    staged[slot] = KeyEntry{r[4], r[5]};
    return true;
}

void ReceiverEmulator::QueueTable()
{
    // A new read request starts the table over: answers left from an earlier
    // one would otherwise be taken for the new table.
    answers.clear();
    const int n = answerSize < 0 ? TableSize() : std::min(answerSize, 255);
    if (n == 0) {
        answers.push_back(Report{});
        return;
    }
    const KeyTable& factory = FactoryTable(family);
    for (int p = 1; p <= n; ++p) {
        const bool own = p <= TableSize();
        const KeyEntry e = own ? table[p - 1] : KeyEntry{};
        answers.push_back(Report{static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(p),
                                 own ? factory[p - 1].keyCode : std::uint8_t{0}, e.modifier,
                                 e.keyCode, kIdMarker, 0, 0});
    }
}

std::optional<Report> ReceiverEmulator::NextAnswer()
{
    if (answers.empty())
        return std::nullopt;
    Report r = answers.front();
    answers.pop_front();
    return r;
}
