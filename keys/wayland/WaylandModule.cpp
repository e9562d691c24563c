// The Wayland half of the capture fields, loaded only on Wayland: shortcut
// inhibition through Qt's Wayland client, and the seat's keymap through a
// wl_keyboard of our own (Qt 6.4 does not expose the one it holds).
#include "keys/WaylandSupport.h"

#include "qwayland-keyboard-shortcuts-inhibit-unstable-v1.h"

#include <QGuiApplication>
#include <QPointer>
#include <QWaylandClientExtensionTemplate>
#include <QWindow>
// Qt 6.4 offers a window's wl_surface, the wl_seat and the wl_display only
// through the platform's native interface.
#include <qpa/qplatformnativeinterface.h>

#include <wayland-client.h>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// The compositor's inhibitor manager, bound once per application when the
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
};

class Inhibitor : public WaylandSupport::Inhibition,
                  public QtWayland::zwp_keyboard_shortcuts_inhibitor_v1
{
public:
    Inhibitor(::zwp_keyboard_shortcuts_inhibitor_v1* object, std::function<void(bool)> answer)
        : QtWayland::zwp_keyboard_shortcuts_inhibitor_v1(object), answer(std::move(answer))
    {}
    ~Inhibitor() override
    {
        if (isInitialized())
            destroy();
    }

protected:
    void zwp_keyboard_shortcuts_inhibitor_v1_active() override { answer(true); }
    void zwp_keyboard_shortcuts_inhibitor_v1_inactive() override { answer(false); }

private:
    std::function<void(bool)> answer;
};

// The seat's keyboard on an event queue of its own: its events wait there
// until the program asks for the keymap, and are then handled on the asking
// thread, never on Qt's.
class KeymapWatch
{
public:
    explicit KeymapWatch(wl_display* display) : display(display)
    {
        queue = wl_display_create_queue(display);
        auto* wrapped = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapped), queue);
        registry = wl_display_get_registry(wrapped);
        wl_proxy_wrapper_destroy(wrapped);
        wl_registry_add_listener(registry, &kRegistryListener, this);
        // The seat, its capabilities, then the keymap: one round trip each.
        for (int i = 0; i < 3; ++i)
            wl_display_roundtrip_queue(display, queue);
    }
    ~KeymapWatch()
    {
        DropKeyboard();
        if (seat)
            wl_seat_destroy(seat);
        wl_registry_destroy(registry);
        wl_event_queue_destroy(queue);
    }
    KeymapWatch(const KeymapWatch&) = delete;
    KeymapWatch& operator=(const KeymapWatch&) = delete;

    bool Current(WaylandSupport::Keymap& out)
    {
        // Whatever arrived since (a new keymap, a layout switch).
        wl_display_dispatch_queue_pending(display, queue);
        // A keyboard that joined the seat since sends its keymap in answer.
        if (keyboard && keymap.text.empty())
            wl_display_roundtrip_queue(display, queue);
        if (keymap.text.empty())
            return false;
        out = keymap;
        return true;
    }

private:
    void DropKeyboard()
    {
        if (!keyboard)
            return;
        if (wl_keyboard_get_version(keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION)
            wl_keyboard_release(keyboard);
        else
            wl_keyboard_destroy(keyboard);
        keyboard = nullptr;
    }

    static void Global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                       uint32_t version)
    {
        auto* self = static_cast<KeymapWatch*>(data);
        // Qt takes the first seat too.
        if (self->seat || std::string_view(interface) != wl_seat_interface.name)
            return;
        self->seat = static_cast<wl_seat*>(
            wl_registry_bind(registry, name, &wl_seat_interface, std::min<uint32_t>(version, 5)));
        wl_seat_add_listener(self->seat, &kSeatListener, self);
    }
    static void GlobalRemove(void*, wl_registry*, uint32_t) {}

    static void Capabilities(void* data, wl_seat* seat, uint32_t capabilities)
    {
        auto* self = static_cast<KeymapWatch*>(data);
        // A keyboard may only be asked of a seat that has one.
        if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && !self->keyboard) {
            self->keyboard = wl_seat_get_keyboard(seat);
            wl_keyboard_add_listener(self->keyboard, &kKeyboardListener, self);
        } else if (!(capabilities & WL_SEAT_CAPABILITY_KEYBOARD)) {
            self->DropKeyboard();
        }
    }
    static void SeatName(void*, wl_seat*, const char*) {}

    static void KeymapEvent(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size)
    {
        auto* self = static_cast<KeymapWatch*>(data);
        if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
            void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (mapped != MAP_FAILED) {
                // The text ends with a NUL that is part of size.
                const auto* text = static_cast<const char*>(mapped);
                self->keymap.text.assign(text, strnlen(text, size));
                self->keymap.layout = 0;
                ++self->keymap.changes;
                munmap(mapped, size);
            }
        }
        close(fd);
    }
    static void Modifiers(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t,
                          uint32_t group)
    {
        auto* self = static_cast<KeymapWatch*>(data);
        if (group != self->keymap.layout) {
            self->keymap.layout = group;
            ++self->keymap.changes;
        }
    }
    static void Enter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
    static void Leave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
    static void Key(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t) {}
    static void RepeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}

    static constexpr wl_registry_listener kRegistryListener = {Global, GlobalRemove};
    static constexpr wl_seat_listener kSeatListener = {Capabilities, SeatName};
    static constexpr wl_keyboard_listener kKeyboardListener = {KeymapEvent, Enter,     Leave,
                                                               Key,         Modifiers, RepeatInfo};

    wl_display* display;
    wl_event_queue* queue = nullptr;
    wl_registry* registry = nullptr;
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    WaylandSupport::Keymap keymap;
};

class Support : public QObject, public WaylandSupport
{
public:
    Support()
    {
        QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
        if (native)
            if (auto* display = static_cast<wl_display*>(
                    native->nativeResourceForIntegration(QByteArrayLiteral("wl_display"))))
                keymapWatch = std::make_unique<KeymapWatch>(display);
        manager = new InhibitManager;
        // Goes with the application, before its connection does.
        setParent(qApp);
        manager->setParent(this);
    }

    bool InhibitorOffered() override { return manager && manager->isActive(); }

    std::unique_ptr<Inhibition> Inhibit(QWindow* window, std::function<void(bool)> answer) override
    {
        QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
        if (!InhibitorOffered() || !native || !window || !window->handle())
            return nullptr;
        auto* surface = static_cast<::wl_surface*>(
            native->nativeResourceForWindow(QByteArrayLiteral("surface"), window));
        auto* seat = static_cast<::wl_seat*>(
            native->nativeResourceForIntegration(QByteArrayLiteral("wl_seat")));
        if (!surface || !seat)
            return nullptr;
        return std::make_unique<Inhibitor>(manager->inhibit_shortcuts(surface, seat),
                                           std::move(answer));
    }

    bool CurrentKeymap(Keymap& keymap) override
    {
        return keymapWatch && keymapWatch->Current(keymap);
    }

    QObject* Lifetime() override { return this; }

private:
    QPointer<InhibitManager> manager;
    std::unique_ptr<KeymapWatch> keymapWatch;
};

} // namespace

extern "C" __attribute__((visibility("default"))) WaylandSupport* tavrolin_wayland_create()
{
    if (!qGuiApp)
        return nullptr;
    return new Support;
}
