#include "LayoutLabels.h"

#include "KeyCodes.h"
#include "PhysicalKeys.h"

#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <xcb/xcb.h>

namespace {

// XKB keycodes are evdev codes plus this.
constexpr int kXkbKeycodeOffset = 8;

std::shared_ptr<xkb_keymap> Owned(xkb_keymap* keymap)
{
    return {keymap, xkb_keymap_unref};
}

} // namespace

LayoutLabels LayoutLabels::OfDesktop()
{
    LayoutLabels labels;
    const char* display = std::getenv("DISPLAY");
    if (display && *display) {
        xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
        xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        if (context && !xcb_connection_has_error(connection) &&
            xkb_x11_setup_xkb_extension(
                connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr)) {
            const std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
            if (device >= 0)
                labels.keymap = Owned(xkb_x11_keymap_new_from_device(context, connection, device,
                                                                     XKB_KEYMAP_COMPILE_NO_FLAGS));
            if (labels.keymap)
                if (xkb_state* state =
                        xkb_x11_state_new_from_device(labels.keymap.get(), connection, device)) {
                    labels.layout = xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE);
                    xkb_state_unref(state);
                }
        }
        xkb_context_unref(context);
        xcb_disconnect(connection);
        if (labels.keymap)
            return labels;
    }
    const char* layout = std::getenv("XKB_DEFAULT_LAYOUT");
    if (layout && *layout)
        return OfNames(layout, std::getenv("XKB_DEFAULT_VARIANT"));
    return labels;
}

LayoutLabels LayoutLabels::OfNames(const char* layout, const char* variant)
{
    LayoutLabels labels;
    if (xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES)) {
        const xkb_rule_names names{nullptr, nullptr, layout, variant, nullptr};
        labels.keymap =
            Owned(xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
        xkb_context_unref(context);
    }
    return labels;
}

std::string LayoutLabels::Label(std::uint8_t keyCode) const
{
    const std::string us = UsBaseCharacter(UsageToVirtualKey(keyCode));
    const int evdev = UsageToEvdev(keyCode);
    if (!keymap || us.empty() || evdev < 0)
        return {};
    const xkb_keysym_t* syms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap.get(), xkb_keycode_t(evdev + kXkbKeycodeOffset),
                                         layout, 0, &syms) != 1)
        return {};
    char lower[16] = {};
    char upper[16] = {};
    // A dead key has no character of its own: no label.
    if (xkb_keysym_to_utf8(syms[0], lower, sizeof lower) <= 1 ||
        xkb_keysym_to_utf8(xkb_keysym_to_upper(syms[0]), upper, sizeof upper) <= 1)
        return {};
    return us == lower || us == upper ? std::string() : std::string(upper);
}
