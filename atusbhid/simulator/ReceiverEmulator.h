// A receiver as the program expects it to behave: a key table of its family's
// size, a factory table, and the 8-byte request/answer exchange. No I/O: the
// caller hands it requests and takes its answers one at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class ReceiverFamily
{
    TwoKey,
    Qn,
    Lt,
    Rv
};

struct KeyEntry
{
    std::uint8_t modifier = 0;
    std::uint8_t keyCode = 0;
    bool operator==(const KeyEntry&) const = default;
};

using KeyTable = std::vector<KeyEntry>;
using Report = std::array<std::uint8_t, 8>;

// The eight model texts, in the order the program lists them ("QN-90" last).
const std::vector<std::string>& ReceiverModels();
std::optional<ReceiverFamily> FamilyOfModel(std::string_view model);
const char* FamilyName(ReceiverFamily family);
const KeyTable& FactoryTable(ReceiverFamily family);

class ReceiverEmulator
{
public:
    static constexpr std::uint8_t kIdMarker = 0xAA;

    explicit ReceiverEmulator(ReceiverFamily family);

    ReceiverFamily Family() const { return family; }
    int TableSize() const { return static_cast<int>(table.size()); }
    const KeyTable& Table() const { return table; }
    // Replaces the committed table, e.g. with one kept from an earlier run.
    // False (nothing changes) when its size is not the family's.
    bool SetTable(const KeyTable& committed);

    // Makes read requests answer with a table of this many entries instead of
    // the receiver's own (positions beyond its table carry no key); 0 answers
    // "no table". A negative size goes back to the receiver's own.
    void SetAnswerSize(int size) { answerSize = size; }

    // Takes one request. False when it was not understood (wrong size, unknown
    // command, slot out of range): then nothing changed.
    bool HandleRequest(const std::uint8_t* data, std::size_t size);
    bool HandleRequest(const Report& report) { return HandleRequest(report.data(), report.size()); }

    // The next pending answer, if any.
    std::optional<Report> NextAnswer();
    std::size_t PendingAnswers() const { return answers.size(); }
    std::size_t StagedEntries() const { return staged.size(); }

private:
    void QueueTable();
    bool StageKey(const Report& r);

    ReceiverFamily family;
    KeyTable table;
    std::map<int, KeyEntry> staged; // by 1-based slot
    std::deque<Report> answers;
    int answerSize = -1;
};
