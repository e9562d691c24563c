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

    // A receiver that is there but may not be opened is not "not connected".
    void accessFaultIsToldAsSuch_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("expected");
        QTest::newRow("English") << "English"
                                 << "The receiver was found, but this user may not open it. "
                                    "Install the udev rule (see README), then unplug and re-plug "
                                    "the receiver.";
        QTest::newRow("Korean") << "Korean"
                                << "수신기를 찾았지만 이 사용자에게 열 권한이 없습니다. udev "
                                   "규칙을 설치한 뒤 수신기를 뽑았다가 다시 꽂아 주십시오.";
    }
    void accessFaultIsToldAsSuch()
    {
        QFETCH(QString, language);
        QFETCH(QString, expected);
        QVERIFY(receiver.Run({"model", "RV-80"}));
        QVERIFY(receiver.Run({"fault", "access", "on"}));
        auto dialog = MakeDialog("Rv80", language);
        dialog->InitDialog();
        QVERIFY(dialog->EndedDuringInit());
        QCOMPARE(messages.texts, QStringList{expected});

        QVERIFY(receiver.Run({"fault", "access", "off"}));
        QVERIFY(OpenLoaded("Rv80"));
        QCOMPARE(messages.texts.size(), 1);
    }
};

QTEST_MAIN(ConfigSimulatorTest)
#include "test_config_simulator.moc"
