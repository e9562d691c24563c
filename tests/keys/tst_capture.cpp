#include "keys/KeyCapture.h"
#include "keys/KeyCodes.h"
#include "keys/ShortcutInhibition.h"

#include <QTest>

namespace {

std::uint16_t Vk(const QString& name)
{
    static const QHash<QString, std::uint16_t> keys = {
        {"Shift", VK_SHIFT}, {"Ctrl", VK_CONTROL}, {"Alt", VK_MENU},     {"LWin", VK_LWIN},
        {"RWin", VK_RWIN},   {"F5", VK_F5},        {"Num1", VK_NUMPAD1}, {"0", 0}};
    if (name.size() == 1 && name[0].isUpper())
        return name[0].unicode();
    Q_ASSERT(keys.contains(name));
    return keys.value(name);
}

} // namespace

class TestKeyCapture : public QObject
{
    Q_OBJECT
private slots:
    void Sequences_data();
    void Sequences();
    void InhibitorAnswers_data();
    void InhibitorAnswers();
};

void TestKeyCapture::Sequences_data()
{
    // Steps: "+K" key down, "-K" key up, "set MM K" SetKey with hex
    // modifiers, "held SCA" SetHeldModifiers (S, C, A present or "-"). Each
    // step is followed by the text it must show.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("vk");
    QTest::newRow("plain key captured on release")
        << QStringList{"+A", "A", "-A", "A"} << 0 << 0x41;
    QTest::newRow("held modifier latches on the key-up")
        << QStringList{"+Ctrl", "Ctrl+", "+A", "Ctrl+A", "-A", "Ctrl+A", "-Ctrl", "Ctrl+A"} << 0x01
        << 0x41;
    QTest::newRow("all modifiers") << QStringList{"+Shift", "Shift+",
                                                  "+Ctrl",  "Shift+Ctrl+",
                                                  "+Alt",   "Shift+Ctrl+Alt+",
                                                  "+RWin",  "Shift+Ctrl+Alt+Windows+",
                                                  "+LWin",  "Shift+Ctrl+Alt+Windows+Windows+",
                                                  "+F5",    "Shift+Ctrl+Alt+Windows+Windows+F5",
                                                  "-F5",    "Shift+Ctrl+Alt+R_Wnd+L_Wnd+F5"}
                                   << 0x0F << int(VK_F5);
    QTest::newRow("modifier released first is dropped")
        << QStringList{"+Ctrl", "Ctrl+", "+A", "Ctrl+A", "-Ctrl", "", "-A", "A"} << 0 << 0x41;
    QTest::newRow("left Windows combination")
        << QStringList{"+LWin", "Windows+", "+D", "Windows+D", "-D", "L_Wnd+D", "-LWin", "L_Wnd+D"}
        << 0x08 << 0x44;
    QTest::newRow("modifier alone keeps the finished combination")
        << QStringList{"+Ctrl", "Ctrl+",  "+A",     "Ctrl+A", "-A",     "Ctrl+A",
                       "-Ctrl", "Ctrl+A", "+Shift", "Shift+", "-Shift", ""}
        << 0x01 << 0x41;
    QTest::newRow("Windows key alone")
        << QStringList{"+LWin", "Windows+", "-LWin", "Windows"} << 0 << 0;
    QTest::newRow("next key replaces a finished combination at once")
        << QStringList{"set 01 A", "Ctrl+A", "+B", "B"} << 0 << 0x42;
    QTest::newRow("the first key-up finishes, later ones do nothing")
        << QStringList{"+Ctrl",  "Ctrl+", "+A",     "Ctrl+A", "+B",
                       "Ctrl+B", "-A",    "Ctrl+A", "-B",     "Ctrl+A"}
        << 0x01 << 0x41;
    QTest::newRow("next key joins a modifier still held")
        << QStringList{"+Ctrl", "Ctrl+", "+A", "Ctrl+A", "-A", "Ctrl+A", "+B", "Ctrl+B"} << 0x01
        << 0x42;
    QTest::newRow("SetKey shows the latched form")
        << QStringList{"set 03 A", "Shift+Ctrl+A"} << 0x03 << 0x41;
    QTest::newRow("SetKey all four")
        << QStringList{"set 0F Num1", "Shift+Ctrl+Alt+R_Wnd+L_Wnd+Num 1"} << 0x0F
        << int(VK_NUMPAD1);
    QTest::newRow("SetKey ignores the high modifier bits")
        << QStringList{"set F2 A", "Shift+A"} << 0x02 << 0x41;
    QTest::newRow("SetKey without key shows nothing") << QStringList{"set 01 0", ""} << 0x01 << 0;
    QTest::newRow("SetKey(0, 0) clears the field")
        << QStringList{"set 07 F5", "Shift+Ctrl+Alt+F5", "set 00 0", ""} << 0 << 0;
    QTest::newRow("Windows bit counts as both keys held")
        << QStringList{"set 08 A", "R_Wnd+L_Wnd+A",  "+B",    "R_Wnd+L_Wnd+B",
                       "-B",       "R_Wnd+L_Wnd+B",  "+LWin", "Windows+Windows+",
                       "-LWin",    "Windows+Windows"}
        << 0x08 << 0x42;
    QTest::newRow("cleared Windows bit is no longer held")
        << QStringList{"set 08 A", "R_Wnd+L_Wnd+A", "set 00 0", "", "+B", "B"} << 0 << 0x42;
    QTest::newRow("composing keeps the last finished key")
        << QStringList{"set 08 A",         "R_Wnd+L_Wnd+A", "+RWin",
                       "Windows+Windows+", "+Shift",        "Shift+Windows+Windows+"}
        << 0x08 << 0x41;
    QTest::newRow("both Windows keys pressed again clear the bit")
        << QStringList{"set 08 A",         "R_Wnd+L_Wnd+A", "+RWin",
                       "Windows+Windows+", "+LWin",         "Windows+Windows+"}
        << 0x00 << 0x41;
    QTest::newRow("held modifiers resynchronised")
        << QStringList{"+Shift",     "Shift+", "+Alt",   "Shift+Alt+", "held -C-",
                       "Shift+Alt+", "+A",     "Ctrl+A", "-A",         "Ctrl+A"}
        << 0x01 << 0x41;
}

void TestKeyCapture::Sequences()
{
    QFETCH(QStringList, steps);
    QFETCH(int, modifiers);
    QFETCH(int, vk);
    QCOMPARE(steps.size() % 2, 0);
    KeyCapture c;
    for (qsizetype i = 0; i < steps.size(); i += 2) {
        const QString& step = steps[i];
        if (step.startsWith('+')) {
            c.KeyDown(Vk(step.mid(1)));
        } else if (step.startsWith('-')) {
            c.KeyUp(Vk(step.mid(1)));
        } else if (step.startsWith("set ")) {
            c.SetKey(std::uint8_t(step.mid(4, 2).toUInt(nullptr, 16)), Vk(step.mid(7)));
        } else {
            QVERIFY(step.startsWith("held "));
            c.SetHeldModifiers(step[5] == 'S', step[6] == 'C', step[7] == 'A');
        }
        QVERIFY2(QString::fromStdString(c.Text()) == steps[i + 1],
                 qPrintable(step + " shows \"" + QString::fromStdString(c.Text()) + '"'));
    }
    std::uint8_t gotModifiers = 0xEE;
    std::uint16_t gotVk = 0xEEEE;
    c.GetKey(gotModifiers, gotVk);
    QCOMPARE(int(gotModifiers), modifiers);
    QCOMPARE(int(gotVk), vk);
}

void TestKeyCapture::InhibitorAnswers_data()
{
    // Steps: ask, yes ("active"), no ("inactive"), none (no protocol), release,
    // settle, x11; each followed by the state it leaves, "!" when the user is told.
    QTest::addColumn<QStringList>("steps");
    QTest::newRow("granted, late or at once")
        << QStringList{"ask", "Pending", "ask", "Pending", "yes", "Active"};
    QTest::newRow("no answer ever: nothing told")
        << QStringList{"ask", "Pending", "release", "Idle", "ask", "Pending"};
    QTest::newRow("declined, then granted after all")
        << QStringList{"ask", "Pending", "no", "Refused!", "yes", "Active"};
    QTest::newRow("taken back") << QStringList{"ask", "Pending", "yes",    "Active",
                                               "no",  "Pending", "settle", "Refused!"};
    QTest::newRow("keyboard lost, not taken back")
        << QStringList{"ask",     "Pending", "yes", "Active",  "no",     "Pending",
                       "release", "Idle",    "ask", "Pending", "settle", "Pending"};
    QTest::newRow("no protocol") << QStringList{"none", "Refused!", "release",
                                                "Idle", "none",     "Refused!"};
    QTest::newRow("stale answers")
        << QStringList{"release", "Idle", "no", "Idle", "x11", "NotNeeded", "yes", "NotNeeded"};
}

void TestKeyCapture::InhibitorAnswers()
{
    QFETCH(QStringList, steps);
    const QStringList states = {"Idle", "NotNeeded", "Pending", "Active", "Refused"};
    ShortcutInhibition inhibition;
    for (qsizetype i = 0; i < steps.size(); i += 2) {
        const QString& step = steps[i];
        const bool told = step == "ask"       ? inhibition.Requested()
                          : step == "yes"     ? inhibition.Answered(true)
                          : step == "no"      ? inhibition.Answered(false)
                          : step == "none"    ? inhibition.Unavailable()
                          : step == "release" ? inhibition.Released()
                          : step == "settle"  ? inhibition.Settled()
                                              : inhibition.NotNeeded();
        QCOMPARE(states[int(inhibition.Current())] + (told ? "!" : ""), steps[i + 1]);
    }
}

QTEST_GUILESS_MAIN(TestKeyCapture)
#include "tst_capture.moc"
