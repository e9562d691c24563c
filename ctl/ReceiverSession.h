// The receiver as a command sees it: open it, read its table, write a table
// and make sure the receiver holds it. No event loop: answers are polled.
#pragma once

#include "KeyAssignment.h"
#include "KeyTableStore.h"
#include "PresenterFamilies.h"
#include "ReceiverLink.h"

#include <chrono>
#include <vector>

struct ReceivedTable
{
    int size = 0; // as the receiver sent it; 0: no table
    std::vector<std::uint8_t> entryBytes, modifiers, keyCodes; // one per entry received
    KeyAssignment Key(int slot) const { return {modifiers[slot - 1], keyCodes[slot - 1]}; }
};

class ReceiverSession
{
public:
    enum class Opened
    {
        Ok,
        NoLibrary,
        NotFound,
        NoPermission
    };
    enum class Read
    {
        Ok,
        NoAnswer, // no complete table within the wait
        Disconnected
    };
    struct Written
    {
        enum
        {
            Verified,
            NotSent,     // a request could not be sent
            NotVerified, // the receiver reads back something else
            NoReadback   // it sent no table afterwards
        } result = NotSent;
        int slot = 0; // NotVerified: the first slot that differs
        KeyAssignment wanted, found;
    };

    // How long a read waits for the next answer.
    static constexpr std::chrono::milliseconds kAnswerWait{1000};

    ReceiverSession() = default;
    ReceiverSession(const ReceiverSession&) = delete;
    ReceiverSession& operator=(const ReceiverSession&) = delete;

    Opened Open();
    Read ReadTable(ReceivedTable& table);
    // All of the family's slots, written and committed, then read back.
    Written WriteTable(const PresenterFamily& family, const std::vector<KeyAssignment>& keys);
    // The factory reset request, then a read back that must show the factory
    // table of `family`, or of some family of the received size when null.
    Written FactoryReset(const PresenterFamily* family);

private:
    Written Verify(const PresenterFamily& family, const std::vector<KeyAssignment>& keys,
                   const ReceivedTable& table) const;

    ReceiverLink link;
};

// The families whose receivers hold a table like this one: by size, and when
// several families share the size, by the entry bytes if they name one
// family's factory keys.
std::vector<const PresenterFamily*> FamiliesOfTable(const ReceivedTable& table);
