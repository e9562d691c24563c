#include "keys/KeyCodes.h"

#include <QTest>

class TestKeyCodes : public QObject
{
    Q_OBJECT
private slots:
    void EveryRowConvertsBothWays();
    void RowsOfTheTable_data();
    void RowsOfTheTable();
    void CodesWithoutRowGiveZero();
    void KeyNames_data();
    void KeyNames();
    void DisplayTexts_data();
    void DisplayTexts();
};

void TestKeyCodes::EveryRowConvertsBothWays()
{
    int keyCodeRows = 0;
    int virtualKeyRows = 0;
    for (int code = 0; code < 256; ++code) {
        if (const std::uint8_t vk = KeyCodeToVirtualKey(std::uint8_t(code))) {
            ++keyCodeRows;
            QCOMPARE(int(VirtualKeyToKeyCode(vk)), code);
        }
        if (const std::uint8_t keyCode = VirtualKeyToKeyCode(std::uint16_t(code))) {
            ++virtualKeyRows;
            QCOMPARE(int(KeyCodeToVirtualKey(keyCode)), code);
        }
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
    QTest::newRow("F12") << 0x45 << 0x7B;
    QTest::newRow("Print Screen") << 0x46 << 0x2C;
    QTest::newRow("keypad 9") << 0x61 << 0x69;
    QTest::newRow("keypad 0") << 0x62 << 0x60;
    QTest::newRow("keypad decimal") << 0x63 << int(VK_DECIMAL);
    QTest::newRow("only the low byte counts") << 0x28 << 0xFF0D;
}

void TestKeyCodes::RowsOfTheTable()
{
    QFETCH(int, keyCode);
    QFETCH(int, vk);
    QCOMPARE(int(KeyCodeToVirtualKey(std::uint8_t(keyCode))), vk & 0xFF);
    QCOMPARE(int(VirtualKeyToKeyCode(std::uint16_t(vk))), keyCode);
}

void TestKeyCodes::CodesWithoutRowGiveZero()
{
    for (int code : {0x00, 0x01, 0x03, 0x32, 0x58, 0x64, 0xE0, 0xE7, 0xFF})
        QCOMPARE(int(KeyCodeToVirtualKey(std::uint8_t(code))), 0);
    for (std::uint16_t vk :
         {std::uint16_t(0), VK_SHIFT, VK_CONTROL, VK_MENU, VK_LWIN, VK_RWIN, VK_APPS, VK_CLEAR,
          VK_SEPARATOR, VK_F13, VK_OEM_102, std::uint16_t(0x0110)})
        QCOMPARE(int(VirtualKeyToKeyCode(vk)), 0);
}

void TestKeyCodes::KeyNames_data()
{
    QTest::addColumn<int>("vk");
    QTest::addColumn<bool>("leftWinHeld");
    QTest::addColumn<bool>("rightWinHeld");
    QTest::addColumn<QString>("name");
    QTest::newRow("Caps Lock") << int(VK_CAPITAL) << false << false << "Caps Lock";
    QTest::newRow("Scroll") << int(VK_SCROLL) << false << false << "Scroll";
    QTest::newRow("tilde, not grave") << int(VK_OEM_3) << false << false << "~";
    QTest::newRow("Print Screen is not a comma")
        << int(VK_SNAPSHOT) << false << false << "Print Screen";
    QTest::newRow("Num 0") << int(VK_NUMPAD0) << false << false << "Num 0";
    QTest::newRow("Num 9") << int(VK_NUMPAD9) << false << false << "Num 9";
    QTest::newRow("F12") << int(VK_F12) << false << false << "F12";
    QTest::newRow("F13 by the character rule") << int(VK_F13) << false << false << "|";
    QTest::newRow("Shift has no name") << int(VK_SHIFT) << false << false << "";
    QTest::newRow("Alt has no name") << int(VK_MENU) << false << false << "";
    QTest::newRow("left Windows") << int(VK_LWIN) << false << false << "Windows";
    QTest::newRow("left Windows held") << int(VK_LWIN) << true << false << "";
    QTest::newRow("left Windows, right held") << int(VK_LWIN) << false << true << "Windows";
    QTest::newRow("right Windows held") << int(VK_RWIN) << false << true << "";
    QTest::newRow("right Windows, left held") << int(VK_RWIN) << true << false << "Windows";
}

void TestKeyCodes::KeyNames()
{
    QFETCH(int, vk);
    QFETCH(bool, leftWinHeld);
    QFETCH(bool, rightWinHeld);
    QFETCH(QString, name);
    QCOMPARE(QString::fromStdString(KeyName(std::uint16_t(vk), leftWinHeld, rightWinHeld)), name);
}

void TestKeyCodes::DisplayTexts_data()
{
    // held: the modifiers, a subset of "SCARL" (Shift, Ctrl, Alt, right and
    // left Windows); the Windows keys' names also see their flags as held.
    QTest::addColumn<bool>("latched");
    QTest::addColumn<QString>("held");
    QTest::addColumn<int>("vk");
    QTest::addColumn<QString>("text");
    QTest::newRow("latched all four") << true << "SCARL" << 0x41 << "Shift+Ctrl+Alt+R_Wnd+L_Wnd+A";
    QTest::newRow("live all four")
        << false << "SCARL" << int(VK_SHIFT) << "Shift+Ctrl+Alt+Windows+Windows+";
    QTest::newRow("latched Ctrl+L_Wnd") << true << "CL" << 0 << "Ctrl+L_Wnd+";
    QTest::newRow("live Shift+Ctrl") << false << "SC" << int(VK_SHIFT) << "Shift+Ctrl+";
    QTest::newRow("live left Windows") << false << "L" << int(VK_LWIN) << "Windows+";
    QTest::newRow("Windows alone") << false << "" << int(VK_LWIN) << "Windows";
    QTest::newRow("nothing") << true << "" << 0 << "";
}

void TestKeyCodes::DisplayTexts()
{
    QFETCH(bool, latched);
    QFETCH(QString, held);
    QFETCH(int, vk);
    QFETCH(QString, text);
    const bool right = held.contains('R');
    const bool left = held.contains('L');
    const std::string prefix =
        ModifierPrefix(latched ? PrefixForm::Latched : PrefixForm::Live, held.contains('S'),
                       held.contains('C'), held.contains('A'), right, left);
    QCOMPARE(QString::fromStdString(KeyDisplayText(prefix, std::uint16_t(vk), left, right)), text);
}

QTEST_GUILESS_MAIN(TestKeyCodes)
#include "tst_codes.moc"
