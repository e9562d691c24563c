#pragma once

// What a capture field makes of a Wayland compositor's answers to its request
// to pass the desktop's shortcuts on: only the compositor's own word counts.
// A compositor that asks the user first (GNOME Shell) answers when the user
// does, however long that takes; until then nothing is refused.
class ShortcutInhibition
{
public:
    enum class State
    {
        Idle,      // nothing held
        NotNeeded, // not on Wayland: the keyboard grab does the work
        Pending,   // asked, no answer yet
        Active,    // the compositor passes its shortcuts to the window
        Refused    // the compositor lacks the protocol, declined, or took it back
    };

    // Each returns true when the desktop has just been found to keep its
    // shortcuts, the moment to tell the user.
    bool NotNeeded() { return Enter(State::NotNeeded); }
    // No protocol (or no means of using it): refused without asking.
    bool Unavailable() { return Enter(State::Refused); }
    bool Requested()
    {
        withdrawn = false;
        return Enter(State::Pending);
    }
    bool Released() { return Enter(State::Idle); }
    // The compositor's "active" (true) or "inactive" (false). "inactive"
    // before any "active" is a refusal. After one it may only mean that the
    // window is losing the keyboard (some compositors say so before the
    // window hears of it): the request counts as pending again until
    // Settled, when, still held and not granted again, the grant counts as
    // taken back.
    bool Answered(bool active);
    bool Settled();
    // Whether an "inactive" after a grant waits for Settled.
    bool Unsettled() const { return withdrawn; }

    State Current() const { return state; }

private:
    bool Enter(State next);

    State state = State::Idle;
    bool withdrawn = false;
};
