#include "res/Resources.h"
#include "ui/HelpDialog.h"

#include <QtTest>

class HelpDialogTest : public QObject
{
    Q_OBJECT
private slots:
    void pageFollowsLanguage();
    void okHasFocusAndEnterEscDoNotClose();
    void okCloses();
};

void HelpDialogTest::pageFollowsLanguage()
{
    const std::pair<QString, int> cases[] = {
        {"English", 179}, {"Korean", 181}, {"english", 0}, {"Korean ", 0}, {"", 0}};
    for (const auto& [language, page] : cases) {
        HelpDialog dialog;
        dialog.SetLanguage(language);
        QVERIFY(dialog.InitDialog());
        QCOMPARE(dialog.BackgroundId(), page);
        QCOMPARE(dialog.HasBackground(), page != 0);
    }
}

void HelpDialogTest::okHasFocusAndEnterEscDoNotClose()
{
    HelpDialog dialog;
    dialog.SetLanguage(QStringLiteral("Korean"));
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    BitmapButton& ok = dialog.OkButton();
    QCOMPARE(ok.geometry(), QRect(172, 274, 85, 25));
    QCOMPARE(ok.accessibleName(), QStringLiteral("OK"));
    // It has the focus from the start, so it wears the light face; the dark one otherwise.
    QTRY_VERIFY(ok.hasFocus());
    QCOMPARE(ok.CurrentFace(), LoadBitmapResource(136));
    ok.setDown(true);
    QCOMPARE(ok.CurrentFace(), LoadBitmapResource(135));
    ok.setDown(false);

    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(&ok, key);
        QTest::keyClick(&dialog, key);
    }
    QApplication::processEvents();
    QVERIFY(dialog.isVisible());
    QCOMPARE(finished.count(), 0);
    ok.clearFocus();
    QCOMPARE(ok.CurrentFace(), LoadBitmapResource(135));
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
}

QTEST_MAIN(HelpDialogTest)
#include "tst_help_dialog.moc"
