#include "ShortcutInhibitor.h"

#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

namespace {

bool announced = false;

// Qt hears of a lost keyboard one round trip to the compositor later.
constexpr int kSettleMs = 250;

bool OnWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

ShortcutInhibitor::ShortcutInhibitor(QObject* parent) : QObject(parent) {}

ShortcutInhibitor::~ShortcutInhibitor() = default;

bool ShortcutInhibitor::RefusalAnnounced()
{
    return announced;
}

template <typename Step> void ShortcutInhibitor::Apply(Step step)
{
    const State before = inhibition.Current();
    const bool refusedNow = step();
    if (inhibition.Current() != before)
        emit StateChanged(inhibition.Current());
    if (refusedNow && !announced) {
        announced = true;
        emit DesktopKeepsShortcuts();
    }
}

void ShortcutInhibitor::Hold(QWindow* window)
{
    if (!OnWayland()) {
        Apply([this] { return inhibition.NotNeeded(); });
        return;
    }
    if (window == nullptr) {
        Release();
        return;
    }
    if (request && heldWindow == window)
        return;
    request.reset();
    heldWindow = window;
    // Without the module the compositor's shortcuts cannot be inhibited.
    WaylandSupport* support = WaylandSupport::Instance();
    if (!support || !support->InhibitorOffered()) {
        Apply([this] { return inhibition.Unavailable(); });
        return;
    }
    request = support->Inhibit(window, [this](bool active) {
        Apply([this, active] { return inhibition.Answered(active); });
        // Time for the window to hear that it lost the keyboard, if that
        // is what the "inactive" meant; the field then lets go at once.
        if (inhibition.Unsettled())
            QTimer::singleShot(kSettleMs, this,
                               [this] { Apply([this] { return inhibition.Settled(); }); });
    });
    if (!request) {
        // The window has no surface yet; the next Hold tries again.
        heldWindow = nullptr;
        Apply([this] { return inhibition.Released(); });
        return;
    }
    // No timer: a compositor that asks the user first (GNOME Shell) answers
    // when the user does.
    Apply([this] { return inhibition.Requested(); });
}

void ShortcutInhibitor::Release()
{
    request.reset();
    heldWindow = nullptr;
    Apply([this] { return inhibition.Released(); });
}
