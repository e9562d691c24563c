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

QColor Shown(BitmapButton& button)
{
    return button.grab().toImage().pixelColor(40, 12);
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
    void missingFacesFallBackToNormal();
    void loadBitmapsFromResources();
    void sizeToContentKeepsTopLeft();
    void clickedByMouseAndSpace();
};

void BitmapButtonTest::facesFollowTheState()
{
    QWidget window;
    window.resize(200, 100);
    BitmapButton button(&window);
    QLineEdit elsewhere(&window);
    elsewhere.move(0, 50);
    button.SetBitmaps(Solid(kNormal), Solid(kPressed), Solid(kFocused), Solid(kDisabled));
    button.SizeToContent();
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    elsewhere.setFocus();
    QTRY_VERIFY(elsewhere.hasFocus());

    QCOMPARE(Shown(button), kNormal);
    button.setDown(true);
    QCOMPARE(Shown(button), kPressed);
    button.setDown(false);

    button.setFocus();
    QTRY_VERIFY(button.hasFocus());
    QCOMPARE(Shown(button), kFocused);
    // Pressed wins over focused.
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(Shown(button), kPressed);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(Shown(button), kFocused);

    button.setEnabled(false);
    QCOMPARE(Shown(button), kDisabled);
    button.setEnabled(true);
    elsewhere.setFocus();
    QTRY_VERIFY(!button.hasFocus());
    QCOMPARE(Shown(button), kNormal);
}

void BitmapButtonTest::missingFacesFallBackToNormal()
{
    QWidget window;
    BitmapButton button(&window);
    QVERIFY(button.SetBitmaps(Solid(kNormal)));
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    button.setDown(true);
    QCOMPARE(Shown(button), kNormal);
    button.setDown(false);
    button.setFocus();
    QTRY_VERIFY(button.hasFocus());
    QCOMPARE(Shown(button), kNormal);
    button.setEnabled(false);
    QCOMPARE(Shown(button), kNormal);

    // Without any face it still paints as a button of the right size.
    BitmapButton bare(&window);
    bare.setText(QStringLiteral("OK"));
    QVERIFY(!bare.SetBitmaps(QImage()));
    QVERIFY(bare.CurrentFace().isNull());
    QVERIFY(!bare.sizeHint().isEmpty());
    QVERIFY(!bare.grab().isNull());
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
    button.setDown(false);
    QVERIFY(button.CurrentFace().isNull());
}

void BitmapButtonTest::sizeToContentKeepsTopLeft()
{
    QWidget window;
    BitmapButton button(&window);
    button.setGeometry(28, 280, 60, 16);
    button.SizeToContent(); // no face yet: nothing to size to
    QCOMPARE(button.geometry(), QRect(28, 280, 60, 16));
    QVERIFY(button.LoadBitmaps(148, 147, 148));
    button.SizeToContent();
    QCOMPARE(button.geometry(), QRect(28, 280, 85, 25));
    QCOMPARE(button.sizeHint(), QSize(85, 25));
}

void BitmapButtonTest::clickedByMouseAndSpace()
{
    QWidget window;
    BitmapButton button(&window);
    button.LoadBitmaps(136, 135, 136);
    button.SizeToContent();
    QCOMPARE(button.focusPolicy(), Qt::StrongFocus);
    window.show();
    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(40, 12));
    QCOMPARE(clicked.count(), 1);
    QTest::keyClick(&button, Qt::Key_Space);
    QCOMPARE(clicked.count(), 2);
    // A press outside the face, released outside, is no click.
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(120, 12));
    QCOMPARE(clicked.count(), 2);
}

QTEST_MAIN(BitmapButtonTest)
#include "tst_BitmapButton.moc"
