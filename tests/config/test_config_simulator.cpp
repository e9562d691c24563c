// The whole configuration cycle against the simulated receiver: what OK
// writes must come back on the next opening.
#include "ConfigTestSupport.h"
#include "SimulatorSupport.h"

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
        dialog->show(); // the dialog's own timer collects the table
        return QTest::qWaitFor([&] { return !dialog->IsTimerRunning(); }, 5000) ? std::move(dialog)
                                                                                : nullptr;
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
        QVERIFY(receiver.Run({"model", ModelOf(family)}));

        auto dialog = OpenLoaded(family);
        QVERIFY(dialog);
        QVERIFY(dialog->IsConnected());
        const FieldKey secondBefore = KeyOf(*dialog, 2);
        QVERIFY(secondBefore.virtualKey != 0); // the factory table

        QVERIFY(CaptureCtrlF5(*dialog, 1));
        QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
        QCOMPARE(messages.texts, QStringList{"Setting has been completed."});
        QTest::mouseClick(dialog->CancelButton(), Qt::LeftButton);
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        dialog.reset();

        auto again = OpenLoaded(family);
        QVERIFY(again);
        QCOMPARE(again->KeyField(1)->text(), "Ctrl+F5");
        QCOMPARE(KeyOf(*again, 2), secondBefore);
        QCOMPARE(messages.texts.size(), 1);
    }
};

QTEST_MAIN(ConfigSimulatorTest)
#include "test_config_simulator.moc"
