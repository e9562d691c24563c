#include "keys/KeyCodes.h"

#include <QTest>

namespace {

QString Q(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

} // namespace

class TestKeyCodes : public QObject
{
    Q_OBJECT
private slots:
    void EveryRowConvertsBothWays();
    void RowsOfTheTable_data();
    void RowsOfTheTable();
    void CodesWithoutRowGiveZero();
    void OnlyTheLowByteOfAVirtualKeyCounts();
    void KeyNames_data();
    void KeyNames();
    void WindowsKeyNamesDependOnTheirOwnSide();
    void ModifierPrefixes();
    void DisplayTexts();
};

void TestKeyCodes::EveryRowConvertsBothWays()
{
    int keyCodeRows = 0;
    for (int code = 0; code < 256; ++code) {
        const std::uint8_t vk = KeyCodeToVirtualKey(std::uint8_t(code));
        if (vk == 0)
            continue;
        ++keyCodeRows;
        QCOMPARE(int(VirtualKeyToKeyCode(vk)), code);
    }
    int virtualKeyRows = 0;
    for (int vk = 0; vk < 256; ++vk) {
        const std::uint8_t code = VirtualKeyToKeyCode(std::uint16_t(vk));
        if (code == 0)
            continue;
        ++virtualKeyRows;
        QCOMPARE(int(KeyCodeToVirtualKey(code)), vk);
    }
    // 93 rows plus the keypad decimal key.
    QCOMPARE(keyCodeRows, 94);
    QCOMPARE(virtualKeyRows, 94);
}

void TestKeyCodes::RowsOfTheTable_data()
{
    QTest::addColumn<int>("keyCode");
    QTest::addColumn<int>("vk");
    QTest::newRow("A") << 0x04 << 0x41;
    QTest::newRow("Z") << 0x1D << 0x5A;
    QTest::newRow("1 of the main block") << 0x1E << 0x31;
    QTest::newRow("9 of the main block") << 0x26 << 0x39;
    QTest::newRow("0 of the main block") << 0x27 << 0x30;
    QTest::newRow("Enter") << 0x28 << int(VK_RETURN);
    QTest::newRow("minus") << 0x2D << 0xBD;
    QTest::newRow("grave") << 0x35 << 0xC0;
    QTest::newRow("slash") << 0x38 << 0xBF;
    QTest::newRow("Caps Lock") << 0x39 << 0x14;
    QTest::newRow("F1") << 0x3A << 0x70;
    QTest::newRow("F12") << 0x45 << 0x7B;
    QTest::newRow("Print Screen") << 0x46 << 0x2C;
    QTest::newRow("Page Down") << 0x4E << 0x22;
    QTest::newRow("Up") << 0x52 << 0x26;
    QTest::newRow("keypad slash") << 0x54 << 0x6F;
    QTest::newRow("keypad 1") << 0x59 << 0x61;
    QTest::newRow("keypad 9") << 0x61 << 0x69;
    QTest::newRow("keypad 0") << 0x62 << 0x60;
    QTest::newRow("keypad decimal") << 0x63 << int(VK_DECIMAL);
}

void TestKeyCodes::RowsOfTheTable()
{
    QFETCH(int, keyCode);
    QFETCH(int, vk);
    QCOMPARE(int(KeyCodeToVirtualKey(std::uint8_t(keyCode))), vk);
    QCOMPARE(int(VirtualKeyToKeyCode(std::uint16_t(vk))), keyCode);
}

void TestKeyCodes::CodesWithoutRowGiveZero()
{
    for (int code : {0x00, 0x01, 0x03, 0x32, 0x58, 0x64, 0xE0, 0xE7, 0xFF})
        QCOMPARE(int(KeyCodeToVirtualKey(std::uint8_t(code))), 0);
    for (std::uint16_t vk : {std::uint16_t(0), VK_SHIFT, VK_CONTROL, VK_MENU, VK_LWIN, VK_RWIN,
                             VK_APPS, VK_CLEAR, VK_SEPARATOR, VK_F13, VK_OEM_102})
        QCOMPARE(int(VirtualKeyToKeyCode(vk)), 0);
}

void TestKeyCodes::OnlyTheLowByteOfAVirtualKeyCounts()
{
    QCOMPARE(int(VirtualKeyToKeyCode(0x0141)), 0x04);
    QCOMPARE(int(VirtualKeyToKeyCode(0xFF0D)), 0x28);
    QCOMPARE(int(VirtualKeyToKeyCode(0x0110)), 0);
}

void TestKeyCodes::KeyNames_data()
{
    QTest::addColumn<int>("vk");
    QTest::addColumn<QString>("name");
    QTest::newRow("Backspace") << int(VK_BACK) << "Backspace";
    QTest::newRow("Tab") << int(VK_TAB) << "Tab";
    QTest::newRow("Enter") << int(VK_RETURN) << "Enter";
    QTest::newRow("Esc") << int(VK_ESCAPE) << "Esc";
    QTest::newRow("Caps Lock") << int(VK_CAPITAL) << "Caps Lock";
    QTest::newRow("Page Up") << int(VK_PRIOR) << "Page Up";
    QTest::newRow("Page Down") << int(VK_NEXT) << "Page Down";
    QTest::newRow("Ins") << int(VK_INSERT) << "Ins";
    QTest::newRow("Del") << int(VK_DELETE) << "Del";
    QTest::newRow("Scroll") << int(VK_SCROLL) << "Scroll";
    QTest::newRow("Num Lock") << int(VK_NUMLOCK) << "Num Lock";
    QTest::newRow("tilde, not grave") << int(VK_OEM_3) << "~";
    QTest::newRow("backslash") << int(VK_OEM_5) << "\\";
    QTest::newRow("apostrophe") << int(VK_OEM_7) << "'";
    QTest::newRow("comma") << int(VK_OEM_COMMA) << ",";
    QTest::newRow("Print Screen is not a comma") << int(VK_SNAPSHOT) << "Print Screen";
    QTest::newRow("Num 0") << int(VK_NUMPAD0) << "Num 0";
    QTest::newRow("Num 9") << int(VK_NUMPAD9) << "Num 9";
    QTest::newRow("Num .") << int(VK_DECIMAL) << "Num .";
    QTest::newRow("Num *") << int(VK_MULTIPLY) << "Num *";
    QTest::newRow("F1") << int(VK_F1) << "F1";
    QTest::newRow("F12") << int(VK_F12) << "F12";
    QTest::newRow("F13 by the character rule") << int(VK_F13) << "|";
    QTest::newRow("Shift has no name") << int(VK_SHIFT) << "";
    QTest::newRow("Alt has no name") << int(VK_MENU) << "";
    QTest::newRow("code 0") << 0 << "";
}

void TestKeyCodes::KeyNames()
{
    QFETCH(int, vk);
    QFETCH(QString, name);
    QCOMPARE(Q(KeyName(std::uint16_t(vk), false, false)), name);
}

void TestKeyCodes::WindowsKeyNamesDependOnTheirOwnSide()
{
    QCOMPARE(Q(KeyName(VK_LWIN, false, false)), "Windows");
    QCOMPARE(Q(KeyName(VK_LWIN, true, false)), "");
    QCOMPARE(Q(KeyName(VK_LWIN, false, true)), "Windows");
    QCOMPARE(Q(KeyName(VK_RWIN, false, true)), "");
    QCOMPARE(Q(KeyName(VK_RWIN, true, false)), "Windows");
}

void TestKeyCodes::ModifierPrefixes()
{
    QCOMPARE(Q(ModifierPrefix(PrefixForm::Latched, true, true, true, true, true)),
             "Shift+Ctrl+Alt+R_Wnd+L_Wnd+");
    QCOMPARE(Q(ModifierPrefix(PrefixForm::Live, true, true, true, true, true)),
             "Shift+Ctrl+Alt+Windows+Windows+");
    QCOMPARE(Q(ModifierPrefix(PrefixForm::Latched, false, true, false, false, true)),
             "Ctrl+L_Wnd+");
    QCOMPARE(Q(ModifierPrefix(PrefixForm::Live, false, false, false, true, false)), "Windows+");
    QCOMPARE(Q(ModifierPrefix(PrefixForm::Latched, false, false, false, false, false)), "");
}

void TestKeyCodes::DisplayTexts()
{
    const auto live = [](bool shift, bool ctrl) {
        return ModifierPrefix(PrefixForm::Live, shift, ctrl, false, false, false);
    };
    QCOMPARE(Q(KeyDisplayText(ModifierPrefix(PrefixForm::Latched, true, true, false, false, false),
                              0x41, false, false)),
             "Shift+Ctrl+A");
    QCOMPARE(Q(KeyDisplayText(ModifierPrefix(PrefixForm::Latched, true, true, true, true, true),
                              0x41, false, false)),
             "Shift+Ctrl+Alt+R_Wnd+L_Wnd+A");
    QCOMPARE(Q(KeyDisplayText(live(false, true), VK_CONTROL, false, false)), "Ctrl+");
    QCOMPARE(Q(KeyDisplayText(live(true, true), VK_SHIFT, false, false)), "Shift+Ctrl+");
    QCOMPARE(Q(KeyDisplayText(ModifierPrefix(PrefixForm::Live, false, false, false, false, true),
                              VK_LWIN, true, false)),
             "Windows+");
    QCOMPARE(Q(KeyDisplayText("", VK_LWIN, false, false)), "Windows");
}

QTEST_GUILESS_MAIN(TestKeyCodes)
#include "test_keycodes.moc"
