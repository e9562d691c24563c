#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class QWindow;

// Asks a Wayland compositor to pass the keys it would take for its own
// shortcuts (Super, Alt+Tab, ...) to one window instead, the way a keyboard
// grab does on X11. Elsewhere it does nothing and counts as not needed.
class ShortcutInhibitor : public QObject
{
    Q_OBJECT
public:
    enum class State
    {
        Idle,      // nothing held
        NotNeeded, // not on Wayland: the keyboard grab does the work
        Pending,   // asked, no answer yet
        Active,    // the compositor passes its shortcuts to the window
        Refused    // the compositor lacks the protocol or declined
    };

    // How long the compositor may take to grant a request before it counts as
    // declined: some never answer a refusal.
    static constexpr int kAnswerTimeoutMs = 1000;

    explicit ShortcutInhibitor(QObject* parent = nullptr);
    ~ShortcutInhibitor() override;

    // Holds the inhibition for window until Release (a later Hold for
    // another window moves it there).
    void Hold(QWindow* window);
    void Release();
    State CurrentState() const { return state; }

    // Whether this process has already told of a refusal (Refused is
    // announced through DesktopKeepsShortcuts once per process).
    static bool RefusalAnnounced();

signals:
    void StateChanged(ShortcutInhibitor::State state);
    // Once per process, the first time a compositor lacks the protocol or
    // declines: some combinations never reach the program.
    void DesktopKeepsShortcuts();

private:
    class Request;
    void SetState(State next);
    void OnAnswer(bool active);

    State state = State::Idle;
    QPointer<QWindow> heldWindow;
    std::unique_ptr<Request> request;
    QTimer answerTimer;
};
