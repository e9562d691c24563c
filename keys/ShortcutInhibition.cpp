#include "ShortcutInhibition.h"

bool ShortcutInhibition::Answered(bool active)
{
    // An answer to a request that is no longer held changes nothing.
    if (state == State::Idle || state == State::NotNeeded)
        return false;
    if (!active && state == State::Active) {
        withdrawn = true;
        return Enter(State::Pending);
    }
    return Enter(active ? State::Active : State::Refused);
}

bool ShortcutInhibition::Settled()
{
    return withdrawn && state == State::Pending && Enter(State::Refused);
}

bool ShortcutInhibition::Enter(State next)
{
    withdrawn = withdrawn && next == State::Pending;
    const bool refusedNow = next == State::Refused && state != State::Refused;
    state = next;
    return refusedNow;
}
