#include "ShortcutInhibition.h"

bool ShortcutInhibition::Answered(bool active)
{
    // An answer to a request that is no longer held changes nothing.
    if (state == State::Idle || state == State::NotNeeded)
        return false;
    return Enter(active ? State::Active : State::Refused);
}

bool ShortcutInhibition::Enter(State next)
{
    const bool refusedNow = next == State::Refused && state != State::Refused;
    state = next;
    return refusedNow;
}
