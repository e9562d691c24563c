#include "keys/KeyCaptureEdit.h"
#include "keys/KeyCodes.h"
#include "keys/KeyboardLayout.h"
#include "keys/PhysicalKeys.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QSet>
#include <QTest>
#include <memory>
#include <xkbcommon/xkbcommon.h>

namespace {

// A layout compiled from the system's keyboard data, as the X server holds it
// after setxkbmap; the events carry keycodes as X11 and Wayland report them.
class NamedLayout : public KeyboardLayout
{
public:
    explicit NamedLayout(const char* layout)
    {
        context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
        const xkb_rule_names names{"evdev", "pc105", layout, "", ""};
        keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    }
    ~NamedLayout() override
    {
        xkb_keymap_unref(keymap);
        xkb_context_unref(context);
    }
    NamedLayout(const NamedLayout&) = delete;
    NamedLayout& operator=(const NamedLayout&) = delete;

    bool IsValid() const { return keymap != nullptr; }

    QString BaseSymbol(int evdevCode) override
    {
        const xkb_keysym_t* syms = nullptr;
        if (evdevCode < 0 || !keymap ||
            xkb_keymap_key_get_syms_by_level(keymap, xkb_keycode_t(evdevCode + 8), 0, 0, &syms) !=
                1)
            return {};
        if (syms[0] == XKB_KEY_dead_acute)
            return QString(QChar(0x00B4));
        if (syms[0] == XKB_KEY_dead_circumflex)
            return "^";
        const char32_t c = xkb_keysym_to_utf32(syms[0]);
        return c > 0x20 ? QString::fromUcs4(&c, 1) : QString();
    }

private:
    xkb_context* context = nullptr;
    xkb_keymap* keymap = nullptr;
};

using KeyPair = std::pair<int, int>;

KeyPair Key(const KeyCaptureEdit& edit)
{
    std::uint8_t modifiers = 0xEE;
    std::uint16_t vk = 0xEEEE;
    edit.GetKey(modifiers, vk);
    return {modifiers, vk};
}

// evdev codes
constexpr int kLeftCtrl = 29;
constexpr int kLeftShift = 42;
constexpr int kLeftAlt = 56;
constexpr int kRightAlt = 100;
constexpr int kA = 30;
constexpr int kF5 = 63;

} // namespace

class TestKeyLayouts : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void UsLayoutKeepsEveryName();
    void KeysAreTakenByPlace_data();
    void KeysAreTakenByPlace();
    void KeysWithoutUsageAreIgnoredWhole();
    void LayoutNamesSurviveADroppedModifier();
    void VirtualKeyboardsKeepNamedKeys_data();
    void VirtualKeyboardsKeepNamedKeys();
    void FastChordIsCapturedWhole_data();
    void FastChordIsCapturedWhole();
    void LongNamesFitTheField_data();
    void LongNamesFitTheField();

private:
    void Use(const char* layout);
    void Send(QEvent::Type type, int evdev, quint64 timestamp = 0, bool post = false);
    void Press(const QList<int>& evdevCodes);

    std::unique_ptr<QWidget> dialog;
    KeyCaptureEdit* field = nullptr;
};

void TestKeyLayouts::init()
{
    dialog = std::make_unique<QWidget>();
    dialog->resize(300, 100);
    field = new KeyCaptureEdit(dialog.get());
    field->setGeometry(10, 10, 100, 24);
    field->setAlignment(Qt::AlignCenter); // as the dialog templates make it
    dialog->show();
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    // Clicked, as a person starts a capture.
    QTest::mouseClick(field, Qt::LeftButton);
    QTRY_VERIFY(field->hasFocus());
    QVERIFY(field->IsCapturing());
}

void TestKeyLayouts::cleanup()
{
    dialog.reset();
    KeyboardLayout::Install(nullptr);
}

void TestKeyLayouts::Use(const char* layout)
{
    auto named = std::make_unique<NamedLayout>(layout);
    if (!named->IsValid())
        QSKIP("no keyboard data for this layout");
    KeyboardLayout::Install(std::move(named));
}

// A key event as X11 and Wayland deliver it: the Qt key is what the layout
// made of it and does not matter here; the keycode tells the key.
void TestKeyLayouts::Send(QEvent::Type type, int evdev, quint64 timestamp, bool post)
{
    const auto scan = quint32(evdev + 8);
    if (post) {
        auto* event = new QKeyEvent(type, Qt::Key_unknown, Qt::NoModifier, scan, 0, 0);
        event->setTimestamp(timestamp);
        QCoreApplication::postEvent(field, event);
        return;
    }
    if (type == QEvent::KeyPress) {
        QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_unknown, Qt::NoModifier, scan, 0, 0);
        QApplication::sendEvent(field, &override);
    }
    QKeyEvent event(type, Qt::Key_unknown, Qt::NoModifier, scan, 0, 0);
    event.setTimestamp(timestamp);
    QApplication::sendEvent(field, &event);
}

// Holds the keys down in order and releases them in reverse order.
void TestKeyLayouts::Press(const QList<int>& evdevCodes)
{
    for (int code : evdevCodes)
        Send(QEvent::KeyPress, code);
    for (auto it = evdevCodes.rbegin(); it != evdevCodes.rend(); ++it)
        Send(QEvent::KeyRelease, *it);
}

void TestKeyLayouts::UsLayoutKeepsEveryName()
{
    Use("us");
    QSet<int> reached;
    for (int evdev = 1; evdev < 256; ++evdev) {
        const std::uint8_t usage = EvdevToUsage(evdev);
        std::uint16_t vk = KeyCodeToVirtualKey(usage);
        if (usage == 0x58) // keypad Enter, taken as Enter
            vk = VK_RETURN;
        if (vk == 0)
            continue;
        reached.insert(vk);
        field->SetKey(0x01, 0x41);
        Press({evdev});
        QCOMPARE(field->text(), QString::fromStdString(KeyName(vk, false, false)));
        QCOMPARE(Key(*field), KeyPair(0, vk));
        // A table loaded from the receiver is named the same way.
        field->SetKey(0, 0);
        field->SetKey(0x02, vk);
        QCOMPARE(field->text(), QString::fromStdString("Shift+" + KeyName(vk, false, false)));
    }
    // Every key the receiver's table holds can be pressed.
    QCOMPARE(reached.size(), 94);
}

void TestKeyLayouts::KeysAreTakenByPlace_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("keyCode");
    QTest::newRow("de: at the place of Y") << "de" << QList<int>{21} << "Z" << 0 << 0x1C;
    QTest::newRow("de: at the place of Z") << "de" << QList<int>{44} << "Y" << 0 << 0x1D;
    QTest::newRow("de: Shift+7, not Shift+/")
        << "de" << QList<int>{kLeftShift, 8} << "Shift+7" << 0x02 << 0x24;
    QTest::newRow("de: ü") << "de" << QList<int>{26} << "Ü" << 0 << 0x2F;
    QTest::newRow("de: ß keeps its case") << "de" << QList<int>{12} << "ß" << 0 << 0x2D;
    QTest::newRow("de: dead acute") << "de" << QList<int>{13} << "´" << 0 << 0x2E;
    QTest::newRow("de: dead circumflex") << "de" << QList<int>{41} << "^" << 0 << 0x35;
    QTest::newRow("de: AltGr is Alt")
        << "de" << QList<int>{kRightAlt, 16} << "Alt+Q" << 0x04 << 0x14;
    QTest::newRow("de: named keys keep their names")
        << "de" << QList<int>{kLeftCtrl, kLeftShift, kLeftAlt, 109} << "Shift+Ctrl+Alt+Page Down"
        << 0x07 << 0x4E;
    QTest::newRow("de: keypad") << "de" << QList<int>{79} << "Num 1" << 0 << 0x59;
    QTest::newRow("fr: 1/&") << "fr" << QList<int>{2} << "&" << 0 << 0x1E;
    QTest::newRow("fr: 2/é") << "fr" << QList<int>{kLeftCtrl, 3} << "Ctrl+É" << 0x01 << 0x1F;
    QTest::newRow("fr: A at the place of Q") << "fr" << QList<int>{16} << "A" << 0 << 0x14;
    QTest::newRow("fr: M at the place of ;") << "fr" << QList<int>{39} << "M" << 0 << 0x33;
    QTest::newRow("ru: й") << "ru" << QList<int>{16} << "Й" << 0 << 0x14;
    QTest::newRow("ru: ё") << "ru" << QList<int>{41} << "Ё" << 0 << 0x35;
    QTest::newRow("ru: digits as on US")
        << "ru" << QList<int>{kLeftAlt, 4} << "Alt+3" << 0x04 << 0x20;
    QTest::newRow("ru: F5") << "ru" << QList<int>{kLeftCtrl, kF5} << "Ctrl+F5" << 0x01 << 0x3E;
}

void TestKeyLayouts::KeysAreTakenByPlace()
{
    QFETCH(QString, layout);
    QFETCH(QList<int>, keys);
    QFETCH(QString, text);
    QFETCH(int, modifiers);
    QFETCH(int, keyCode);
    Use(layout.toLatin1().constData());
    Press(keys);
    QCOMPARE(field->text(), text);
    std::uint8_t mods = 0;
    std::uint16_t vk = 0;
    field->GetKey(mods, vk);
    QCOMPARE(int(mods), modifiers);
    QCOMPARE(int(VirtualKeyToKeyCode(vk)), keyCode);
    // Shown the same way when it comes back from the receiver.
    field->SetKey(0, 0);
    field->SetKey(std::uint8_t(modifiers), KeyCodeToVirtualKey(std::uint8_t(keyCode)));
    QCOMPARE(field->text(), text);
}

// A modifier let go alone empties a field that had no key; the keys after it
// are still named by the layout.
void TestKeyLayouts::LayoutNamesSurviveADroppedModifier()
{
    Use("de");
    Press({kLeftShift});
    QCOMPARE(field->text(), "");
    Press({21});
    QCOMPARE(field->text(), "Z");
}

void TestKeyLayouts::KeysWithoutUsageAreIgnoredWhole()
{
    Use("de");
    // The key left of Z on ISO keyboards, F13, Mute, Power, and a keycode
    // beyond the table: none has a key code the receiver's table holds.
    const QList<int> ignored{86, 183, 113, 116, 240, 0};
    Press({kLeftCtrl, kA});
    QCOMPARE(field->text(), "Ctrl+A");
    for (int code : ignored) {
        Press({code});
        QCOMPARE(field->text(), "Ctrl+A");
        QCOMPARE(Key(*field), KeyPair(0x01, 0x41));
    }
    // Pressed with a modifier: the modifier alone, and the next key is whole.
    Send(QEvent::KeyPress, kLeftShift);
    Press({86});
    QCOMPARE(field->text(), "Shift+");
    // Let go alone, the modifier is no key: the last combination stays.
    Send(QEvent::KeyRelease, kLeftShift);
    QCOMPARE(field->text(), "Ctrl+A");
    QCOMPARE(Key(*field), KeyPair(0x01, 0x41));
    Press({kLeftAlt, kF5});
    QCOMPARE(field->text(), "Alt+F5");
    QCOMPARE(Key(*field), KeyPair(0x04, VK_F5));

    // Events that do not tell the key go by the symbol, with the same rule:
    // the Menu key used to show as "]" and be written as no key.
    KeyboardLayout::Install(nullptr);
    for (Qt::Key key : {Qt::Key_Menu, Qt::Key_F13, Qt::Key_VolumeUp, Qt::Key_Clear, Qt::Key_Cancel,
                        Qt::Key_Eacute, Qt::Key_unknown}) {
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, key, Qt::NoModifier);
            QApplication::sendEvent(field, &event);
        }
        QCOMPARE(field->text(), "Alt+F5");
        QCOMPARE(Key(*field), KeyPair(0x04, VK_F5));
    }
}

struct Stroke
{
    int evdev;
    Qt::Key key;
    quint32 keysym;
};

void TestKeyLayouts::VirtualKeyboardsKeepNamedKeys_data()
{
    QTest::addColumn<QList<Stroke>>("strokes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("vk");
    // wtype and remote desktops number the keys of their own keymaps from 1:
    // the keycode of Esc's place may carry Super, that of 1's place Tab.
    QTest::newRow("Super+Tab of a virtual keyboard")
        << QList<Stroke>{{1, Qt::Key_Super_L, 0xffeb}, {2, Qt::Key_Tab, 0xff09}} << "L_Wnd+Tab"
        << 0x08 << int(VK_TAB);
    QTest::newRow("a keycode that is no key")
        << QList<Stroke>{{247, Qt::Key_F5, 0xffc2}} << "F5" << 0 << int(VK_F5);
    QTest::newRow("keypad 7 with Num Lock off")
        << QList<Stroke>{{71, Qt::Key_Home, 0xff95}} << "Home" << 0 << int(VK_HOME);
    // A real keyboard's character keys go by place, whatever their symbol.
    QTest::newRow("German Shift+7")
        << QList<Stroke>{{kLeftShift, Qt::Key_Shift, 0xffe1}, {8, Qt::Key_Slash, '/'}} << "Shift+7"
        << 0x02 << 0x37;
    QTest::newRow("ISO key stays ignored")
        << QList<Stroke>{{86, Qt::Key_Less, '<'}} << "Ctrl+A" << 0x01 << 0x41;
}

void TestKeyLayouts::VirtualKeyboardsKeepNamedKeys()
{
    QFETCH(QList<Stroke>, strokes);
    QFETCH(QString, text);
    QFETCH(int, modifiers);
    QFETCH(int, vk);
    Use("de");
    field->SetKey(0x01, 0x41);
    const auto send = [this](QEvent::Type type, const Stroke& stroke) {
        QKeyEvent event(type, stroke.key, stroke.evdev == 71 ? Qt::KeypadModifier : Qt::NoModifier,
                        quint32(stroke.evdev + 8), stroke.keysym, 0);
        QApplication::sendEvent(field, &event);
    };
    for (const Stroke& stroke : strokes)
        send(QEvent::KeyPress, stroke);
    for (auto it = strokes.rbegin(); it != strokes.rend(); ++it)
        send(QEvent::KeyRelease, *it);
    QCOMPARE(field->text(), text);
    QCOMPARE(Key(*field), KeyPair(modifiers, vk));
}

void TestKeyLayouts::FastChordIsCapturedWhole_data()
{
    QTest::addColumn<bool>("posted");
    QTest::newRow("one by one") << false;
    QTest::newRow("in one batch") << true;
}

void TestKeyLayouts::FastChordIsCapturedWhole()
{
    QFETCH(bool, posted);
    Use("us");
    // Modifier down, key down, key up, modifier up, all in one millisecond.
    constexpr quint64 t = 5000;
    Send(QEvent::KeyPress, kLeftCtrl, t, posted);
    Send(QEvent::KeyPress, kF5, t, posted);
    Send(QEvent::KeyRelease, kF5, t, posted);
    Send(QEvent::KeyRelease, kLeftCtrl, t, posted);
    QTRY_COMPARE(field->text(), "Ctrl+F5");
    QCOMPARE(Key(*field), KeyPair(0x01, VK_F5));
    QTest::qWait(60); // past the wait for an auto-repeat pair
    QCOMPARE(field->text(), "Ctrl+F5");

    // Released modifier first, as `xdotool key ctrl+F5` sends it: the key
    // alone, by the rule for a modifier released before the key.
    Send(QEvent::KeyPress, kLeftCtrl, t + 10, posted);
    Send(QEvent::KeyPress, kF5, t + 10, posted);
    Send(QEvent::KeyRelease, kLeftCtrl, t + 10, posted);
    Send(QEvent::KeyRelease, kF5, t + 10, posted);
    QTRY_COMPARE(field->text(), "F5");
    QCOMPARE(Key(*field), KeyPair(0, VK_F5));
}

void TestKeyLayouts::LongNamesFitTheField_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<int>("width");
    QTest::newRow("light, narrowest field") << false << 86;
    QTest::newRow("dark theme, narrowest field") << true << 86;
    QTest::newRow("light, widest field") << false << 100;
}

// The ink of the text lies inside the field's frame: nothing is clipped or
// scrolled out of view, whatever the colours.
void TestKeyLayouts::LongNamesFitTheField()
{
    QFETCH(bool, dark);
    QFETCH(int, width);
    if (dark) {
        QPalette palette;
        palette.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
        palette.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEE));
        palette.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
        dialog->setPalette(palette);
    }
    field->resize(width, 24);
    field->SetKey(0, 0);
    const QImage empty = field->grab().toImage();
    const QFont natural = field->font();
    struct Case
    {
        std::uint8_t modifiers;
        std::uint16_t vk;
        const char* text;
    };
    const Case cases[] = {
        {0x07, VK_NEXT, "Shift+Ctrl+Alt+Page Down"},
        {0x0F, VK_NEXT, "Shift+Ctrl+Alt+R_Wnd+L_Wnd+Page Down"},
        {0x0F, VK_BACK, "Shift+Ctrl+Alt+R_Wnd+L_Wnd+Backspace"},
        {0x0F, VK_SNAPSHOT, "Shift+Ctrl+Alt+R_Wnd+L_Wnd+Print Screen"},
        {0x01, VK_F5, "Ctrl+F5"},
    };
    for (const Case& c : cases) {
        field->SetKey(c.modifiers, c.vk);
        QCOMPARE(field->text(), c.text);
        const QImage shown = field->grab().toImage();
        int left = shown.width();
        int right = -1;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                if (shown.pixel(x, y) != empty.pixel(x, y)) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        QVERIFY2(right >= 0, c.text);
        // Inside the frame (2 pixels) with room to spare on both sides.
        QVERIFY2(left >= 3 && right <= width - 4, qPrintable(QString("%1: ink from %2 to %3 of %4")
                                                                 .arg(c.text)
                                                                 .arg(left)
                                                                 .arg(right)
                                                                 .arg(width)));
        // Centred: a scrolled text would hug one side.
        QVERIFY2(std::abs(left - (width - 1 - right)) <= 3, c.text);
    }
    // A short name keeps the dialog's font.
    QCOMPARE(field->text(), "Ctrl+F5");
    QCOMPARE(QFontInfo(field->font()).pixelSize(), QFontInfo(natural).pixelSize());
    QCOMPARE(field->font().stretch(), natural.stretch());
}

QTEST_MAIN(TestKeyLayouts)
#include "tst_layouts.moc"
