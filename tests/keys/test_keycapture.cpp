#include "keys/KeyCapture.h"
#include "keys/KeyCodes.h"

#include <QTest>

namespace {

constexpr std::uint16_t kA = 0x41;
constexpr std::uint16_t kB = 0x42;
constexpr std::uint16_t kD = 0x44;

QString Text(const KeyCapture& capture)
{
    return QString::fromStdString(capture.Text());
}

std::pair<int, int> Key(const KeyCapture& capture)
{
    std::uint8_t modifiers = 0xEE;
    std::uint16_t vk = 0xEEEE;
    capture.GetKey(modifiers, vk);
    return {modifiers, vk};
}

using KeyPair = std::pair<int, int>;

} // namespace

class TestKeyCapture : public QObject
{
    Q_OBJECT
private slots:
    void PlainKeyIsCapturedOnRelease();
    void HeldModifierLatchesOnTheKeyUp();
    void ModifierReleasedFirstIsDropped();
    void LeftWindowsKeyCombination();
    void ModifierAloneKeepsTheFinishedCombination();
    void WindowsKeyAlone();
    void NextKeyReplacesFinishedCombinationAtOnce();
    void NextKeyKeepsModifiersStillHeld();
    void SetKeyShowsTheLatchedForm();
    void SetKeyWindowsBitCountsAsHeld();
    void SetKeyWithoutKeyShowsNothing();
    void SetKeyIgnoresTheHighModifierBits();
    void ComposingKeepsTheLastFinishedKey();
    void HeldModifiersCanBeResynchronised();
};

void TestKeyCapture::PlainKeyIsCapturedOnRelease()
{
    KeyCapture c;
    QCOMPARE(Key(c), KeyPair(0, 0));
    QCOMPARE(Text(c), "");
    c.KeyDown(kA);
    QCOMPARE(Text(c), "A");
    QVERIFY(!c.IsComplete());
    c.KeyUp(kA);
    QCOMPARE(Text(c), "A");
    QVERIFY(c.IsComplete());
    QCOMPARE(Key(c), KeyPair(0, kA));
}

void TestKeyCapture::HeldModifierLatchesOnTheKeyUp()
{
    KeyCapture c;
    c.KeyDown(VK_CONTROL);
    QCOMPARE(Text(c), "Ctrl+");
    c.KeyDown(kA);
    QCOMPARE(Text(c), "Ctrl+A");
    c.KeyUp(kA);
    QCOMPARE(Text(c), "Ctrl+A");
    c.KeyUp(VK_CONTROL);
    QCOMPARE(Text(c), "Ctrl+A");
    QCOMPARE(Key(c), KeyPair(0x01, kA));

    KeyCapture all;
    for (std::uint16_t vk : {VK_SHIFT, VK_CONTROL, VK_MENU, VK_RWIN, VK_LWIN})
        all.KeyDown(vk);
    QCOMPARE(Text(all), "Shift+Ctrl+Alt+Windows+Windows+");
    all.KeyDown(VK_F5);
    all.KeyUp(VK_F5);
    QCOMPARE(Text(all), "Shift+Ctrl+Alt+R_Wnd+L_Wnd+F5");
    QCOMPARE(Key(all), KeyPair(0x0F, VK_F5));
}

void TestKeyCapture::ModifierReleasedFirstIsDropped()
{
    KeyCapture c;
    c.KeyDown(VK_CONTROL);
    c.KeyDown(kA);
    c.KeyUp(VK_CONTROL);
    QCOMPARE(Text(c), "");
    c.KeyUp(kA);
    QCOMPARE(Text(c), "A");
    QCOMPARE(Key(c), KeyPair(0, kA));
}

void TestKeyCapture::LeftWindowsKeyCombination()
{
    KeyCapture c;
    c.KeyDown(VK_LWIN);
    QCOMPARE(Text(c), "Windows+");
    c.KeyDown(kD);
    QCOMPARE(Text(c), "Windows+D");
    c.KeyUp(kD);
    QCOMPARE(Text(c), "L_Wnd+D");
    c.KeyUp(VK_LWIN);
    QCOMPARE(Text(c), "L_Wnd+D");
    QCOMPARE(Key(c), KeyPair(0x08, kD));
}

void TestKeyCapture::ModifierAloneKeepsTheFinishedCombination()
{
    KeyCapture c;
    c.KeyDown(VK_CONTROL);
    c.KeyDown(kA);
    c.KeyUp(kA);
    c.KeyUp(VK_CONTROL);
    c.KeyDown(VK_SHIFT);
    QCOMPARE(Text(c), "Shift+");
    c.KeyUp(VK_SHIFT);
    QCOMPARE(Text(c), "");
    QCOMPARE(Key(c), KeyPair(0x01, kA));
}

void TestKeyCapture::WindowsKeyAlone()
{
    KeyCapture c;
    c.KeyDown(VK_LWIN);
    QCOMPARE(Text(c), "Windows+");
    c.KeyUp(VK_LWIN);
    QCOMPARE(Text(c), "Windows");
    QCOMPARE(Key(c), KeyPair(0, 0));
}

void TestKeyCapture::NextKeyReplacesFinishedCombinationAtOnce()
{
    KeyCapture c;
    c.KeyDown(VK_CONTROL);
    c.KeyDown(kA);
    c.KeyUp(kA);
    c.KeyUp(VK_CONTROL);
    c.KeyDown(kB);
    QCOMPARE(Text(c), "B");
    QCOMPARE(Key(c), KeyPair(0, kB));
    c.KeyUp(kB);
    QCOMPARE(Text(c), "B");
    QCOMPARE(Key(c), KeyPair(0, kB));
}

void TestKeyCapture::NextKeyKeepsModifiersStillHeld()
{
    KeyCapture c;
    c.KeyDown(VK_CONTROL);
    c.KeyDown(kA);
    c.KeyUp(kA);
    // Ctrl still held: the new key joins the latched Ctrl at once.
    c.KeyDown(kB);
    QCOMPARE(Text(c), "Ctrl+B");
    QCOMPARE(Key(c), KeyPair(0x01, kB));
}

void TestKeyCapture::SetKeyShowsTheLatchedForm()
{
    KeyCapture c;
    c.SetKey(0x03, kA);
    QCOMPARE(Text(c), "Shift+Ctrl+A");
    QCOMPARE(Key(c), KeyPair(0x03, kA));
    c.SetKey(0x0F, VK_NUMPAD1);
    QCOMPARE(Text(c), "Shift+Ctrl+Alt+R_Wnd+L_Wnd+Num 1");
}

void TestKeyCapture::SetKeyWindowsBitCountsAsHeld()
{
    KeyCapture c;
    c.SetKey(0x08, kA);
    QCOMPARE(Text(c), "R_Wnd+L_Wnd+A");
    QCOMPARE(Key(c), KeyPair(0x08, kA));
    c.KeyDown(kB);
    QCOMPARE(Text(c), "R_Wnd+L_Wnd+B");
    c.KeyUp(kB);
    c.KeyDown(VK_LWIN);
    QCOMPARE(Text(c), "Windows+Windows+");
    QCOMPARE(Key(c), KeyPair(0x08, kB)); // the right Windows flag still latched
    c.KeyUp(VK_LWIN);
    QCOMPARE(Text(c), "Windows+Windows");

    c.SetKey(0x08, kA);
    c.SetKey(0, 0);
    c.KeyDown(kB);
    QCOMPARE(Text(c), "B");
    QCOMPARE(Key(c), KeyPair(0, kB));
}

void TestKeyCapture::SetKeyWithoutKeyShowsNothing()
{
    KeyCapture c;
    c.SetKey(0x01, 0);
    QCOMPARE(Text(c), "");
    QCOMPARE(Key(c), KeyPair(0x01, 0));
    c.SetKey(0x07, VK_F5);
    c.SetKey(0, 0); // clears the field
    QCOMPARE(Text(c), "");
    QVERIFY(c.IsComplete());
    QCOMPARE(Key(c), KeyPair(0, 0));
}

void TestKeyCapture::SetKeyIgnoresTheHighModifierBits()
{
    KeyCapture c;
    c.SetKey(0xF2, kA);
    QCOMPARE(Text(c), "Shift+A");
    QCOMPARE(Key(c), KeyPair(0x02, kA));
}

void TestKeyCapture::ComposingKeepsTheLastFinishedKey()
{
    KeyCapture c;
    c.SetKey(0x08, kA);
    c.KeyDown(VK_RWIN); // clears the latched right Windows flag only
    c.KeyDown(VK_SHIFT);
    QCOMPARE(Text(c), "Shift+Windows+Windows+");
    QCOMPARE(Key(c), KeyPair(0x08, kA));
    c.KeyDown(VK_LWIN);
    QCOMPARE(Key(c), KeyPair(0x00, kA));
}

void TestKeyCapture::HeldModifiersCanBeResynchronised()
{
    KeyCapture c;
    c.KeyDown(VK_SHIFT);
    c.KeyDown(VK_MENU);
    // Both key-ups went elsewhere.
    c.SetHeldModifiers(false, true, false);
    c.KeyDown(kA);
    c.KeyUp(kA);
    QCOMPARE(Text(c), "Ctrl+A");
    QCOMPARE(Key(c), KeyPair(0x01, kA));
}

QTEST_GUILESS_MAIN(TestKeyCapture)
#include "test_keycapture.moc"
