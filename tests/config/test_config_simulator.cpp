// The whole configuration cycle against the simulated receiver: what OK
// writes must come back on the next opening.
#include "ConfigTestSupport.h"
#include "SimulatorSupport.h"

#include <QFile>
#include <QTest>

using namespace config_test;

class ConfigSimulatorTest : public QObject
{
    Q_OBJECT

    SimulatedReceiverState receiver;
    MessageRecorder messages;

    std::unique_ptr<ConfigDialog> OpenLoaded(const QString& family)
    {
        auto dialog = MakeDialog(family);
        dialog->show();
        if (!QTest::qWaitForWindowExposed(dialog.get()))
            return nullptr;
        // The dialog's own timer collects the table.
        if (!QTest::qWaitFor([&] { return !dialog->IsTimerRunning(); }, 5000))
            return nullptr;
        return dialog;
    }

private slots:
    void initTestCase() { QVERIFY(receiver.IsValid()); }
    void init() { messages.Clear(); }

    void whatOkWritesComesBack_data()
    {
        QTest::addColumn<QString>("family");
        for (const QString& family : Families())
            QTest::newRow(qPrintable(family)) << family;
    }
    void whatOkWritesComesBack()
    {
        QFETCH(QString, family);
        QVERIFY(receiver.Run({QStringLiteral("model"), ModelOf(family)}));

        auto dialog = OpenLoaded(family);
        QVERIFY(dialog);
        QVERIFY(dialog->IsConnected());
        const FieldKey secondBefore = KeyOf(*dialog, 2);
        QVERIFY(secondBefore.virtualKey != 0); // the factory table

        KeyCaptureEdit* field = dialog->KeyField(1);
        dialog->activateWindow();
        field->setFocus();
        QTRY_VERIFY(field->hasFocus());
        QTest::keyPress(field, Qt::Key_Control);
        QTest::keyClick(field, Qt::Key_F5, Qt::ControlModifier);
        QTest::keyRelease(field, Qt::Key_Control);
        QCOMPARE(field->text(), QStringLiteral("Ctrl+F5"));

        QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
        QCOMPARE(messages.texts, QStringList{QStringLiteral("Setting has been completed.")});
        QTest::mouseClick(dialog->CancelButton(), Qt::LeftButton);
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        dialog.reset();

        QFile state(receiver.Path());
        QVERIFY(state.open(QIODevice::ReadOnly));
        QVERIFY(state.readAll().contains("table=01:3E "));

        auto again = OpenLoaded(family);
        QVERIFY(again);
        QCOMPARE(again->KeyField(1)->text(), QStringLiteral("Ctrl+F5"));
        QCOMPARE(KeyOf(*again, 2), secondBefore);
        QCOMPARE(messages.texts.size(), 1);
    }

    // The simulated receiver reports unplugging from a thread of its own.
    void unplugAndPlugWhileOpen()
    {
        QVERIFY(receiver.Run({QStringLiteral("model"), QStringLiteral("RV-80")}));
        auto dialog = OpenLoaded(QStringLiteral("Rv80"));
        QVERIFY(dialog);
        const QString shown = dialog->KeyField(4)->text();

        QVERIFY(receiver.Run({QStringLiteral("unplug")}));
        QTRY_COMPARE_WITH_TIMEOUT(
            messages.texts,
            QStringList{QStringLiteral("A receiver has been removed. Please insert again.")}, 5000);
        QVERIFY(!dialog->IsConnected());
        dialog->LoadButton()->click();
        QCOMPARE(messages.texts.last(), QStringLiteral("The receiver is not connected."));

        QVERIFY(receiver.Run({QStringLiteral("plug")}));
        QTRY_VERIFY_WITH_TIMEOUT(dialog->IsConnected(), 5000);
        QVERIFY(!dialog->IsTimerRunning());
        QCOMPARE(dialog->KeyField(4)->text(), shown);
        QCOMPARE(messages.texts.size(), 2);
    }

    void unpluggedAtOpening()
    {
        QVERIFY(receiver.Run({QStringLiteral("model"), QStringLiteral("LT-61P")}));
        QVERIFY(receiver.Run({QStringLiteral("unplug")}));
        auto dialog = MakeDialog(QStringLiteral("Lt61p"));
        QCOMPARE(dialog->DoModal(), int(QDialog::Accepted));
        QCOMPARE(messages.texts, QStringList{QStringLiteral("The receiver is not connected.")});
        QVERIFY(receiver.Run({QStringLiteral("plug")}));
    }
};

QTEST_MAIN(ConfigSimulatorTest)
#include "test_config_simulator.moc"
