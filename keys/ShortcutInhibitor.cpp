#include "ShortcutInhibitor.h"

#include <QGuiApplication>
#include <QWindow>

#if TAVROLIN_WAYLAND
#include "qwayland-keyboard-shortcuts-inhibit-unstable-v1.h"

#include <QWaylandClientExtensionTemplate>
// Qt 6.4 offers a window's wl_surface and the wl_seat only through the
// platform's native interface.
#include <qpa/qplatformnativeinterface.h>
#endif

namespace {

bool announced = false;

bool OnWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

#if TAVROLIN_WAYLAND

namespace {

// The compositor's inhibitor manager, bound once per process when the
// compositor offers it.
class InhibitManager : public QWaylandClientExtensionTemplate<InhibitManager>,
                       public QtWayland::zwp_keyboard_shortcuts_inhibit_manager_v1
{
public:
    InhibitManager() : QWaylandClientExtensionTemplate<InhibitManager>(1)
    {
        // Binds at once from the globals the display already knows, rather
        // than on the next turn of the event loop.
        initialize();
    }
    ~InhibitManager() override
    {
        if (isInitialized())
            destroy();
    }

    static InhibitManager* Instance()
    {
        // Parented to the application, so it goes before the connection does.
        static QPointer<InhibitManager> manager;
        if (!manager && qApp) {
            manager = new InhibitManager;
            manager->setParent(qApp);
        }
        return manager;
    }
};

} // namespace

class ShortcutInhibitor::Request : public QtWayland::zwp_keyboard_shortcuts_inhibitor_v1
{
public:
    Request(::zwp_keyboard_shortcuts_inhibitor_v1* object, ShortcutInhibitor* owner)
        : QtWayland::zwp_keyboard_shortcuts_inhibitor_v1(object), owner(owner)
    {}
    ~Request() override
    {
        if (isInitialized())
            destroy();
    }

    // The surface and seat of window, or nullptr when it has none yet.
    static std::unique_ptr<Request> Make(QWindow* window, ShortcutInhibitor* owner)
    {
        InhibitManager* manager = InhibitManager::Instance();
        QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
        if (!manager || !manager->isActive() || !native || !window->handle())
            return nullptr;
        auto* surface = static_cast<::wl_surface*>(
            native->nativeResourceForWindow(QByteArrayLiteral("surface"), window));
        auto* seat = static_cast<::wl_seat*>(
            native->nativeResourceForIntegration(QByteArrayLiteral("wl_seat")));
        if (!surface || !seat)
            return nullptr;
        return std::make_unique<Request>(manager->inhibit_shortcuts(surface, seat), owner);
    }

    static bool Offered()
    {
        InhibitManager* manager = InhibitManager::Instance();
        return manager && manager->isActive();
    }

protected:
    void zwp_keyboard_shortcuts_inhibitor_v1_active() override { owner->OnAnswer(true); }
    void zwp_keyboard_shortcuts_inhibitor_v1_inactive() override { owner->OnAnswer(false); }

private:
    ShortcutInhibitor* owner;
};

#else

class ShortcutInhibitor::Request
{
public:
    static std::unique_ptr<Request> Make(QWindow*, ShortcutInhibitor*) { return nullptr; }
    static bool Offered() { return false; }
};

#endif

ShortcutInhibitor::ShortcutInhibitor(QObject* parent) : QObject(parent)
{
    answerTimer.setSingleShot(true);
    answerTimer.setInterval(kAnswerTimeoutMs);
    connect(&answerTimer, &QTimer::timeout, this, [this] {
        if (state == State::Pending)
            SetState(State::Refused);
    });
}

ShortcutInhibitor::~ShortcutInhibitor() = default;

bool ShortcutInhibitor::RefusalAnnounced()
{
    return announced;
}

void ShortcutInhibitor::Hold(QWindow* window)
{
    if (!OnWayland()) {
        SetState(State::NotNeeded);
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
    if (!Request::Offered()) {
        SetState(State::Refused);
        return;
    }
    request = Request::Make(window, this);
    if (!request) {
        // The window has no surface yet; the next Hold tries again.
        heldWindow = nullptr;
        SetState(State::Idle);
        return;
    }
    SetState(State::Pending);
    answerTimer.start();
}

void ShortcutInhibitor::Release()
{
    answerTimer.stop();
    request.reset();
    heldWindow = nullptr;
    SetState(State::Idle);
}

void ShortcutInhibitor::OnAnswer(bool active)
{
    answerTimer.stop();
    if (active)
        SetState(State::Active);
    else if (state == State::Pending)
        SetState(State::Refused);
    else
        // Taken back after it was granted (the surface lost the keyboard, say);
        // the compositor grants it again when the focus returns.
        SetState(State::Pending);
}

void ShortcutInhibitor::SetState(State next)
{
    if (next == state)
        return;
    state = next;
    emit StateChanged(state);
    if (state == State::Refused && !announced) {
        announced = true;
        emit DesktopKeepsShortcuts();
    }
}
