#include "res/Resources.h"
#include "ui/BitmapButton.h"

#include <QLineEdit>
#include <QtTest>

namespace {

QImage Solid(QColor colour)
{
    QImage image(85, 25, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

const QColor kNormal(200, 0, 0);
const QColor kPressed(0, 200, 0);
const QColor kFocused(0, 0, 200);
const QColor kDisabled(90, 90, 90);

} // namespace

class BitmapButtonTest : public QObject
{
    Q_OBJECT
private slots:
    void facesFollowTheState();
    void loadBitmapsFromResources();
    void sizeToContentKeepsTopLeft();
};

void BitmapButtonTest::facesFollowTheState()
{
    const struct
    {
        const char* state;
        bool allFaces, down, focused, enabled;
        QColor shown;
    } cases[] = {
        {"normal", true, false, false, true, kNormal},
        {"pressed", true, true, false, true, kPressed},
        {"focused", true, false, true, true, kFocused},
        {"pressed wins over focused", true, true, true, true, kPressed},
        {"disabled", true, false, false, false, kDisabled},
        {"only normal: pressed", false, true, false, true, kNormal},
        {"only normal: focused", false, false, true, true, kNormal},
        {"only normal: disabled", false, false, false, false, kNormal},
    };
    for (const auto& c : cases) {
        QWidget window;
        window.resize(200, 100);
        BitmapButton button(&window);
        QLineEdit elsewhere(&window);
        elsewhere.move(0, 50);
        if (c.allFaces)
            button.SetBitmaps(Solid(kNormal), Solid(kPressed), Solid(kFocused), Solid(kDisabled));
        else
            button.SetBitmaps(Solid(kNormal));
        button.SizeToContent();
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QWidget& focus = c.focused ? static_cast<QWidget&>(button) : elsewhere;
        focus.setFocus();
        QTRY_VERIFY(focus.hasFocus());
        button.setDown(c.down);
        button.setEnabled(c.enabled);
        QVERIFY2(button.grab().toImage().pixelColor(40, 12) == c.shown, c.state);
    }
}

void BitmapButtonTest::loadBitmapsFromResources()
{
    BitmapButton button;
    QVERIFY(button.LoadBitmaps(136, 135, 136));
    QCOMPARE(button.CurrentFace(), LoadBitmapResource(136));
    button.setDown(true);
    QCOMPARE(button.CurrentFace(), LoadBitmapResource(135));
    button.setDown(false);

    // A missing optional face: reported, the others kept.
    QVERIFY(!button.LoadBitmaps(178, 4242, 178));
    QCOMPARE(button.CurrentFace(), LoadBitmapResource(178));
    button.setDown(true);
    QCOMPARE(button.CurrentFace(), LoadBitmapResource(178));
    button.setDown(false);

    // A missing normal face drops the faces held before.
    QVERIFY(!button.LoadBitmaps(4242, 135));
    QVERIFY(button.CurrentFace().isNull());
    QVERIFY(!button.LoadBitmaps(0, 135));
}

void BitmapButtonTest::sizeToContentKeepsTopLeft()
{
    QWidget window;
    BitmapButton button(&window);
    button.setText(QStringLiteral("OK"));
    button.setGeometry(28, 280, 60, 16);
    // No face yet: nothing to size to, but still a button-sized hint.
    button.SizeToContent();
    QCOMPARE(button.geometry(), QRect(28, 280, 60, 16));
    QVERIFY(!button.sizeHint().isEmpty());

    QVERIFY(button.LoadBitmaps(148, 147, 148));
    button.SizeToContent();
    QCOMPARE(button.geometry(), QRect(28, 280, 85, 25));
    QCOMPARE(button.sizeHint(), QSize(85, 25));
}

QTEST_MAIN(BitmapButtonTest)
#include "tst_bitmap_button.moc"
