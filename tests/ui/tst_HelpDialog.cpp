#include "res/Resources.h"
#include "ui/HelpDialog.h"

#include <QtTest>

class HelpDialogTest : public QObject
{
    Q_OBJECT
private slots:
    void pageFollowsLanguage_data();
    void pageFollowsLanguage();
    void okButtonSetUp();
    void enterAndEscDoNotClose();
    void okCloses();
    void draggable();
};

void HelpDialogTest::pageFollowsLanguage_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("page");
    QTest::newRow("English") << QStringLiteral("English") << 179;
    QTest::newRow("Korean") << QStringLiteral("Korean") << 181;
    QTest::newRow("lower case") << QStringLiteral("english") << 0;
    QTest::newRow("trailing space") << QStringLiteral("Korean ") << 0;
    QTest::newRow("empty") << QString() << 0;
}

void HelpDialogTest::pageFollowsLanguage()
{
    QFETCH(QString, language);
    QFETCH(int, page);
    HelpDialog dialog;
    dialog.SetLanguage(language);
    QCOMPARE(dialog.Language(), language);
    QVERIFY(dialog.InitDialog());
    QCOMPARE(dialog.BackgroundId(), page);
    QCOMPARE(dialog.HasBackground(), page != 0);
    QCOMPARE(dialog.size(), QSize(426, 314));
}

void HelpDialogTest::okButtonSetUp()
{
    HelpDialog dialog;
    dialog.SetLanguage(QStringLiteral("English"));
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    BitmapButton& ok = dialog.OkButton();
    QCOMPARE(ok.geometry(), QRect(172, 274, 85, 25));
    QCOMPARE(ok.accessibleName(), QStringLiteral("OK"));
    // It has the focus from the start, so it wears the light face.
    QTRY_VERIFY(ok.hasFocus());
    QCOMPARE(ok.CurrentFace(), LoadBitmapResource(136));
    ok.setDown(true);
    QCOMPARE(ok.CurrentFace(), LoadBitmapResource(135));
    ok.setDown(false);
    ok.clearFocus();
    QCOMPARE(ok.CurrentFace(), LoadBitmapResource(135));
}

void HelpDialogTest::enterAndEscDoNotClose()
{
    HelpDialog dialog;
    dialog.SetLanguage(QStringLiteral("Korean"));
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(&dialog.OkButton(), key);
        QTest::keyClick(&dialog, key);
    }
    QApplication::processEvents();
    QVERIFY(dialog.isVisible());
    QCOMPARE(finished.count(), 0);
}

void HelpDialogTest::okCloses()
{
    HelpDialog dialog;
    dialog.SetLanguage(QStringLiteral("English"));
    QTimer::singleShot(0, &dialog, [&dialog] {
        QTest::mouseClick(&dialog.OkButton(), Qt::LeftButton, {}, QPoint(40, 12));
    });
    QCOMPARE(dialog.DoModal(), int(QDialog::Accepted));
    QVERIFY(!dialog.isVisible());

    HelpDialog bySpace;
    QTimer::singleShot(0, &bySpace,
                       [&bySpace] { QTest::keyClick(&bySpace.OkButton(), Qt::Key_Space); });
    QCOMPARE(bySpace.DoModal(), int(QDialog::Accepted));
}

void HelpDialogTest::draggable()
{
    HelpDialog dialog;
    dialog.SetLanguage(QStringLiteral("English"));
    dialog.move(40, 40);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QPoint start = dialog.pos();
    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(300, 100));
    QTest::mouseMove(&dialog, QPoint(310, 130));
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(310, 130));
    QTRY_COMPARE(dialog.pos(), start + QPoint(10, 30));
    QVERIFY(dialog.isVisible());
}

QTEST_MAIN(HelpDialogTest)
#include "tst_HelpDialog.moc"
