#pragma once

#include "ShortcutInhibition.h"
#include "WaylandSupport.h"

#include <QObject>
#include <QPointer>

#include <memory>

class QWindow;

// Asks a Wayland compositor to pass the keys it would take for its own
// shortcuts (Super, Alt+Tab, ...) to one window instead, the way a keyboard
// grab does on X11. Elsewhere it does nothing and counts as not needed.
class ShortcutInhibitor : public QObject
{
    Q_OBJECT
public:
    using State = ShortcutInhibition::State;

    explicit ShortcutInhibitor(QObject* parent = nullptr);
    ~ShortcutInhibitor() override;

    // Holds the inhibition for window until Release (a later Hold for
    // another window moves it there).
    void Hold(QWindow* window);
    void Release();
    State CurrentState() const { return inhibition.Current(); }

    // Whether this process has already told of a refusal (Refused is
    // announced through DesktopKeepsShortcuts once per process).
    static bool RefusalAnnounced();

signals:
    void StateChanged(ShortcutInhibitor::State state);
    // Once per process, the first time a compositor lacks the protocol,
    // declines or takes its grant back: some combinations never reach the
    // program.
    void DesktopKeepsShortcuts();

private:
    // Takes one step of the inhibition and tells what came of it.
    template <typename Step> void Apply(Step step);

    ShortcutInhibition inhibition;
    QPointer<QWindow> heldWindow;
    std::unique_ptr<WaylandSupport::Inhibition> request;
};
