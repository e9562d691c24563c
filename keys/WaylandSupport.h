#pragma once

#include <functional>
#include <memory>
#include <string>

class QObject;
class QWindow;

// What the capture fields need from a Wayland compositor beyond what Qt
// offers: shortcut inhibition and the keymap in use. It lives in a module of
// its own (libtavrolin-wayland.so, beside the receiver library), loaded only
// when the program runs on Wayland, so that elsewhere none of the Wayland
// libraries are loaded at all.
class WaylandSupport
{
public:
    virtual ~WaylandSupport() = default;

    // A held inhibition; dropping it withdraws the request.
    class Inhibition
    {
    public:
        virtual ~Inhibition() = default;
    };

    // Whether the compositor offers the keyboard-shortcuts-inhibit protocol.
    virtual bool InhibitorOffered() = 0;
    // Asks for window's surface; answered (active or not) through answer,
    // on the user-interface thread, for as long as the result lives. nullptr
    // when the window has no surface yet.
    virtual std::unique_ptr<Inhibition> Inhibit(QWindow* window,
                                                std::function<void(bool active)> answer) = 0;

    // The keymap the compositor sends the seat's keyboard, as XKB text, and
    // the layout in effect; false when it has sent none. changes counts the
    // keymaps and layout switches seen, so that a caller can tell a new one.
    struct Keymap
    {
        std::string text;
        unsigned layout = 0;
        unsigned changes = 0;
    };
    virtual bool CurrentKeymap(Keymap& keymap) = 0;

    // The object that ends with the application (the module's objects hold
    // its connection to the compositor).
    virtual QObject* Lifetime() = 0;

    // The module for this application, loaded on first use; nullptr when not
    // on Wayland or when the module cannot be loaded (the reason is printed
    // once on standard error).
    static WaylandSupport* Instance();
};

// The module's one entry point.
extern "C" {
using TavrolinWaylandCreate = WaylandSupport* (*)();
}
constexpr const char* kWaylandModuleName = "libtavrolin-wayland.so";
constexpr const char* kWaylandModuleEntry = "tavrolin_wayland_create";
