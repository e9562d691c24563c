// The whole configuration cycle against the simulated receiver: what OK
// writes must come back on the next opening, and OK reports success only when
// the receiver holds what was written.
#include "ConfigTestSupport.h"
#include "SimulatorSupport.h"

#include "KeyCodes.h"

#include <QTest>

using namespace config_test;

namespace {

const QString kCompleted = "Setting has been completed.";
const QString kNotKept = "The receiver did not keep the new settings. Check that the chosen "
                         "model matches your presenter, then try again.";
const QString kNoAnswer = "The receiver did not answer in time. It may still have kept the new "
                          "settings: press LOAD to see what it holds.";

} // namespace

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
    void init()
    {
        messages.Clear();
        QVERIFY(receiver.Run({"fault", "clear"}));
    }

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
        QTRY_COMPARE(messages.texts, QStringList{kCompleted});
        QTest::mouseClick(dialog->CancelButton(), Qt::LeftButton);
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        dialog.reset();

        auto again = OpenLoaded(family);
        QVERIFY(again);
        QCOMPARE(again->KeyField(1)->text(), "Ctrl+F5");
        QCOMPARE(KeyOf(*again, 2), secondBefore);
        QCOMPARE(messages.texts.size(), 1);
    }

    // The new user's case: the dialog's default model against an RV-80
    // receiver. Also a receiver that accepts writes but keeps its table, one
    // that stops answering (its own message), and OK with every field empty (nothing written,
    // nothing to verify), and one whose answer has another size even though it
    // took the keys. `held` is what the fields show afterwards, as modifier
    // << 8 | key code; empty when they keep the keys they had before OK.
    void okSaysWhatTheReceiverHolds_data()
    {
        QTest::addColumn<QString>("receiverModel");
        QTest::addColumn<QString>("family");
        QTest::addColumn<QStringList>("fault");
        QTest::addColumn<bool>("clearFields");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QList<int>>("held");
        const QList<int> rv80Factory{0x37, 0x51, 0x52, 0x3E, 0x29, 0x4B, 0x4E};
        QTest::newRow("wrong model")
            << "RV-80"
            << "TwoKey" << QStringList{} << false << kNotKept << rv80Factory.mid(0, 2);
        QTest::newRow("table kept")
            << "RV-80"
            << "Rv80" << QStringList{"fault", "keep", "on"} << false << kNotKept << rv80Factory;
        QTest::newRow("silent") << "RV-80G"
                                << "Rv80" << QStringList{"fault", "silent", "on"} << false
                                << kNoAnswer << QList<int>{};
        QTest::newRow("other size") << "RV-80"
                                    << "Rv80" << QStringList{"fault", "size", "5"} << false
                                    << kNotKept << QList<int>{0x013E, 0x51, 0x52, 0x3E, 0x29, 0, 0};
        QTest::newRow("empty OK") << "LT-61"
                                  << "TwoKey" << QStringList{"fault", "silent", "on"} << true
                                  << kCompleted << QList<int>{};
    }
    void okSaysWhatTheReceiverHolds()
    {
        QFETCH(QString, receiverModel);
        QFETCH(QString, family);
        QFETCH(QStringList, fault);
        QFETCH(bool, clearFields);
        QFETCH(QString, message);
        QFETCH(QList<int>, held);
        QVERIFY(receiver.Run({"model", receiverModel}));
        auto dialog = OpenLoaded(family);
        QVERIFY(dialog);
        if (!fault.isEmpty())
            QVERIFY(receiver.Run(fault));
        if (clearFields) {
            for (int slot = 1; slot <= dialog->Family().tableSize; ++slot)
                dialog->KeyField(slot)->SetKey(0, 0);
        } else {
            QVERIFY(CaptureCtrlF5(*dialog, 1));
        }
        QList<FieldKey> before;
        for (int slot = 1; slot <= dialog->Family().tableSize; ++slot)
            before << KeyOf(*dialog, slot);

        QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->IsVerifying(), 3000);
        QCOMPARE(messages.texts, QStringList{message});
        for (int slot = 1; slot <= dialog->Family().tableSize; ++slot) {
            const FieldKey expected =
                held.isEmpty() ? before[slot - 1]
                               : FieldKey{std::uint8_t(held[slot - 1] >> 8),
                                          KeyCodeToVirtualKey(std::uint8_t(held[slot - 1]))};
            QCOMPARE(KeyOf(*dialog, slot), expected);
        }
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
#include "tst_simulator.moc"
