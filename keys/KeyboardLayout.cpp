#include "KeyboardLayout.h"

#include "KeyCodes.h"
#include "PhysicalKeys.h"
#include "WaylandSupport.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

namespace {

constexpr quint32 kXkbKeycodeOffset = 8;

// Dead keys produce no character of their own; their keycaps show the mark.
struct DeadKeyMark
{
    xkb_keysym_t keysym;
    char32_t mark;
};

constexpr DeadKeyMark kDeadKeyMarks[] = {
    {XKB_KEY_dead_grave, U'`'},          {XKB_KEY_dead_acute, U'\u00B4'},
    {XKB_KEY_dead_circumflex, U'^'},     {XKB_KEY_dead_tilde, U'~'},
    {XKB_KEY_dead_macron, U'\u00AF'},    {XKB_KEY_dead_breve, U'\u02D8'},
    {XKB_KEY_dead_abovedot, U'\u02D9'},  {XKB_KEY_dead_diaeresis, U'\u00A8'},
    {XKB_KEY_dead_abovering, U'\u02DA'}, {XKB_KEY_dead_doubleacute, U'\u02DD'},
    {XKB_KEY_dead_caron, U'\u02C7'},     {XKB_KEY_dead_cedilla, U'\u00B8'},
    {XKB_KEY_dead_ogonek, U'\u02DB'},
};

QString SymbolText(xkb_keysym_t keysym)
{
    for (const DeadKeyMark& dead : kDeadKeyMarks)
        if (dead.keysym == keysym)
            return QString::fromUcs4(&dead.mark, 1);
    const char32_t c = xkb_keysym_to_utf32(keysym);
    if (c <= 0x20 || (c >= 0x7F && c < 0xA0))
        return {}; // no character, or a control character
    return QString::fromUcs4(&c, 1);
}

// The platform's layout: the keymap of the X server, or the one the Wayland
// compositor sends the seat's keyboard, through xkbcommon.
class SystemLayout : public KeyboardLayout
{
public:
    SystemLayout()
    {
        const QString platform = QGuiApplication::platformName();
        onWayland = platform.startsWith(QLatin1String("wayland"));
        keycodesAreXkb = platform == QLatin1String("xcb") || onWayland;
        if (platform == QLatin1String("xcb") && qGuiApp)
            if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
                connection = x11->connection();
    }

    ~SystemLayout() override
    {
        Drop();
        xkb_context_unref(context);
    }
    SystemLayout(const SystemLayout&) = delete;
    SystemLayout& operator=(const SystemLayout&) = delete;

    int EvdevCode(const QKeyEvent& event) const override
    {
        if (!keycodesAreXkb || event.nativeScanCode() < kXkbKeycodeOffset)
            return -1;
        return static_cast<int>(event.nativeScanCode() - kXkbKeycodeOffset);
    }

    QString BaseSymbol(int evdevCode) override
    {
        if (evdevCode < 0 || !Load())
            return {};
        const xkb_keycode_t keycode = static_cast<xkb_keycode_t>(evdevCode) + kXkbKeycodeOffset;
        const xkb_keysym_t* syms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(keymap, keycode, layoutIndex, 0, &syms) != 1)
            return {};
        return SymbolText(syms[0]);
    }

    void Invalidate() override { stale = true; }

private:
    bool NewContext()
    {
        if (!context)
            context = xkb_context_new(static_cast<xkb_context_flags>(
                XKB_CONTEXT_NO_DEFAULT_INCLUDES | XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
        return context != nullptr;
    }

    // The compositor's keymap, compiled again only when it sent another one
    // or the user switched layouts.
    bool LoadFromCompositor()
    {
        WaylandSupport* support = WaylandSupport::Instance();
        WaylandSupport::Keymap sent;
        if (!support || !support->CurrentKeymap(sent) || !NewContext())
            return false;
        if (keymap && sent.changes == keymapChanges)
            return true;
        Drop();
        keymap = xkb_keymap_new_from_string(context, sent.text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                            XKB_KEYMAP_COMPILE_NO_FLAGS);
        keymapChanges = sent.changes;
        if (!keymap)
            return false;
        layoutIndex = sent.layout < xkb_keymap_num_layouts(keymap) ? sent.layout : 0;
        return true;
    }

    bool Load()
    {
        if (onWayland)
            return LoadFromCompositor();
        if (!connection)
            return false;
        if (keymap && !stale)
            return true;
        Drop();
        stale = false;
        if (!context) {
            if (!xkb_x11_setup_xkb_extension(
                    connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                    XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr)) {
                connection = nullptr;
                return false;
            }
            if (!NewContext()) {
                connection = nullptr;
                return false;
            }
        }
        const std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
        if (device < 0)
            return false;
        keymap = xkb_x11_keymap_new_from_device(context, connection, device,
                                                XKB_KEYMAP_COMPILE_NO_FLAGS);
        if (!keymap)
            return false;
        // The layout the user has switched to, of those the keymap holds.
        layoutIndex = 0;
        if (xkb_state* state = xkb_x11_state_new_from_device(keymap, connection, device)) {
            layoutIndex = xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE);
            xkb_state_unref(state);
        }
        return true;
    }

    void Drop()
    {
        xkb_keymap_unref(keymap);
        keymap = nullptr;
    }

    bool keycodesAreXkb = false;
    bool onWayland = false;
    unsigned keymapChanges = 0;
    xcb_connection_t* connection = nullptr;
    xkb_context* context = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_layout_index_t layoutIndex = 0;
    bool stale = true;
};

struct Installation
{
    std::unique_ptr<KeyboardLayout> layout;
    // The application the platform's layout was built for: its connection
    // to the window system ends with it.
    const QCoreApplication* systemFor = nullptr;
    bool isSystem = false;
};

Installation& Installed()
{
    static Installation installation;
    return installation;
}

} // namespace

int KeyboardLayout::EvdevCode(const QKeyEvent& event) const
{
    if (event.nativeScanCode() < kXkbKeycodeOffset)
        return -1;
    return static_cast<int>(event.nativeScanCode() - kXkbKeycodeOffset);
}

KeyboardLayout& KeyboardLayout::Current()
{
    Installation& installed = Installed();
    if (!installed.layout ||
        (installed.isSystem && installed.systemFor != QCoreApplication::instance())) {
        installed.layout = std::make_unique<SystemLayout>();
        installed.systemFor = QCoreApplication::instance();
        installed.isSystem = true;
    }
    return *installed.layout;
}

void KeyboardLayout::Install(std::unique_ptr<KeyboardLayout> layout)
{
    Installation& installed = Installed();
    installed.layout = std::move(layout);
    installed.systemFor = nullptr;
    installed.isSystem = false;
}

QString LayoutKeyName(KeyboardLayout& layout, std::uint16_t virtualKey)
{
    const std::string us = UsBaseCharacter(virtualKey);
    if (us.empty())
        return {};
    const QString symbol = layout.BaseSymbol(UsageToEvdev(VirtualKeyToKeyCode(virtualKey)));
    if (symbol.isEmpty() || symbol.compare(QString::fromStdString(us), Qt::CaseInsensitive) == 0)
        return {};
    // Upper case as on a keycap, one character for one ("ß" stays).
    const QList<uint> chars = symbol.toUcs4();
    if (chars.size() != 1)
        return symbol;
    const char32_t upper = QChar::toUpper(static_cast<char32_t>(chars.front()));
    return QString::fromUcs4(&upper, 1);
}
