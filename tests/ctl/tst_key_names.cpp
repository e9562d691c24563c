// Key names typed on a command line or in a table file, and the way back.
#include "KeyCodes.h"
#include "KeyNames.h"

#include <QTest>

Q_DECLARE_METATYPE(std::string)

class TestKeyNames : public QObject
{
    Q_OBJECT
private slots:
    void EveryShownNameParsesBack();
    void TypedForms_data();
    void TypedForms();
    void Refusals_data();
    void Refusals();
};

void TestKeyNames::EveryShownNameParsesBack()
{
    // The field shows the latched prefix; the Windows bit shows as both keys.
    const std::uint8_t modifierBytes[] = {0x00, 0x01, 0x02, 0x04, 0x08, 0x03, 0x0F};
    int named = 0;
    for (int code = 1; code < 256; ++code) {
        for (std::uint8_t modifiers : modifierBytes) {
            const KeyAssignment key{modifiers, std::uint8_t(code)};
            const std::string shown = AssignmentName(key);
            QCOMPARE(shown.empty(), KeyCodeToVirtualKey(key.keyCode) == 0);
            for (const std::string& text : {shown, AssignmentText(key)}) {
                if (text.empty())
                    continue;
                const KeyNameParse parsed = ParseKeyName(text);
                QVERIFY2(parsed.ok, text.c_str());
                QCOMPARE(int(parsed.key.keyCode), code);
                QCOMPARE(int(parsed.key.modifiers), int(modifiers));
            }
        }
        named += KeyCodeToVirtualKey(std::uint8_t(code)) != 0;
    }
    QCOMPARE(int(ReceiverKeyNames().size()), named);
}

void TestKeyNames::TypedForms_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("keyCode");
    QTest::newRow("any case") << "ctrl+SHIFT+f5" << 0x03 << 0x3E;
    QTest::newRow("left Windows key") << "L_Wnd+D" << 0x08 << 0x07;
    QTest::newRow("live Windows") << "windows+d" << 0x08 << 0x07;
    QTest::newRow("keypad full stop") << "Num ." << 0x00 << 0x63;
    QTest::newRow("keypad plus after a modifier") << "Ctrl + Num +" << 0x01 << 0x57;
    QTest::newRow("equals key") << "Alt+=" << 0x04 << 0x2E;
    QTest::newRow("minus key") << "-" << 0x00 << 0x2D;
    QTest::newRow("backslash") << "Shift+\\" << 0x02 << 0x31;
    QTest::newRow("digit row, not keypad") << "1" << 0x00 << 0x1E;
    QTest::newRow("lower-case letter") << "a" << 0x00 << 0x04;
    QTest::newRow("page down with blanks") << "  Page Down " << 0x00 << 0x4E;
    QTest::newRow("no key") << "None" << 0x00 << 0x00;
    QTest::newRow("empty") << "" << 0x00 << 0x00;
    QTest::newRow("key code without name") << "Ctrl+0x58" << 0x01 << 0x58;
}

void TestKeyNames::TypedForms()
{
    QFETCH(QString, typed);
    QFETCH(int, modifiers);
    QFETCH(int, keyCode);
    const KeyNameParse parsed = ParseKeyName(typed.toStdString());
    QVERIFY(parsed.ok);
    QCOMPARE(int(parsed.key.modifiers), modifiers);
    QCOMPARE(int(parsed.key.keyCode), keyCode);
}

void TestKeyNames::Refusals_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("nearest"); // the first suggestion
    QTest::newRow("swapped letters in a modifier") << "Crtl+F5"
                                                   << "Ctrl+F5";
    QTest::newRow("misspelt key") << "Pgae Up"
                                  << "Page Up";
    QTest::newRow("misspelt key after a modifier") << "shift+Escc"
                                                   << "Shift+Esc";
    QTest::newRow("key the receiver has no code for") << "F13"
                                                      << "F1";
    // Refused; any close name will do.
    QTest::newRow("modifier without key") << "Ctrl+"
                                          << "";
    QTest::newRow("modifiers only") << "Shift+Ctrl"
                                    << "";
    QTest::newRow("Windows key alone") << "Windows"
                                       << "";
    QTest::newRow("key code 0") << "0x00"
                                << "";
}

void TestKeyNames::Refusals()
{
    QFETCH(QString, typed);
    QFETCH(QString, nearest);
    const KeyNameParse parsed = ParseKeyName(typed.toStdString());
    QVERIFY(!parsed.ok);
    QVERIFY(!parsed.nearest.empty() && parsed.nearest.size() <= 3);
    if (!nearest.isEmpty())
        QCOMPARE(QString::fromStdString(parsed.nearest.front()), nearest);
    // Every suggestion is itself a valid name.
    for (const std::string& name : parsed.nearest)
        QVERIFY2(ParseKeyName(name).ok, name.c_str());
}

QTEST_APPLESS_MAIN(TestKeyNames)
#include "tst_key_names.moc"
