// A receiver that is there but may not be opened is told apart from a
// missing one wherever a dialog would say "not connected".
#include "ConfigTestSupport.h"
#include "ScriptedControl.h"

#include <QTest>

using namespace config_test;

namespace {

const QString kNotConnected = "The receiver is not connected.";
const QString kNoPermission = "The receiver was found, but this user may not open it. Install "
                              "the udev rule (see README), then unplug and re-plug the receiver.";
const QString kNoPermissionKorean = "수신기를 찾았지만 이 사용자에게 열 권한이 없습니다. "
                                    "udev 규칙을 설치한 뒤 수신기를 뽑았다가 다시 꽂아 주십시오.";

} // namespace

class ConfigPermissionTest : public QObject
{
    Q_OBJECT

    ScriptedReceiver script;
    MessageRecorder messages;

private slots:
    void init()
    {
        QVERIFY(script.IsLoaded());
        script.Reset();
        messages.Clear();
    }

    void openingSaysWhyNothingIsConnected_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("cause");
        QTest::addColumn<QStringList>("expected");
        for (const QString& family : Families())
            QTest::newRow(qPrintable(family + " no permission"))
                << family << "English" << ATUSBHID_FIND_NO_PERMISSION << QStringList{kNoPermission};
        QTest::newRow("Korean") << "Rv80"
                                << "Korean" << ATUSBHID_FIND_NO_PERMISSION
                                << QStringList{kNoPermissionKorean};
        QTest::newRow("other language")
            << "Qn"
            << "english" << ATUSBHID_FIND_NO_PERMISSION << QStringList{};
        QTest::newRow("absent") << "TwoKey"
                                << "English" << ATUSBHID_FIND_NOT_FOUND
                                << QStringList{kNotConnected};
        QTest::newRow("other failure")
            << "Lt61p"
            << "English" << ATUSBHID_FIND_OTHER << QStringList{kNotConnected};
    }

    void openingSaysWhyNothingIsConnected()
    {
        QFETCH(QString, family);
        QFETCH(QString, language);
        QFETCH(int, cause);
        QFETCH(QStringList, expected);
        script.SetFindResult(0);
        script.SetFindError(cause);
        auto dialog = MakeDialog(family, language);
        dialog->InitDialog();
        QVERIFY(dialog->EndedDuringInit());
        QCOMPARE(messages.texts, expected);
    }

    // Removed, then back under a rule that no longer lets this user in: the
    // buttons say so; once it may be opened again, they work as before.
    void buttonsAfterARePlugWithoutAccess()
    {
        script.QueueTable(7, std::vector<std::array<unsigned char, 2>>(7, {0, 0}));
        auto dialog = MakeDialog("Rv80");
        dialog->InitDialog();
        for (int i = 0; i < 16 && dialog->IsTimerRunning(); ++i)
            dialog->OnTimer();
        QVERIFY(dialog->IsConnected());

        QCOMPARE(script.FireDeviceChange(0x8004, 0x0EBC, 0x2501, true), 1);
        QTRY_VERIFY(!dialog->IsConnected());
        dialog->LoadButton()->click();
        QCOMPARE(messages.texts.mid(1), QStringList{kNotConnected});

        script.SetFindResult(0);
        script.SetFindError(ATUSBHID_FIND_NO_PERMISSION);
        script.FireDeviceChange(0x8000, 0x0EBC, 0x2501, true);
        QTRY_COMPARE(script.CountOf("findHidDevice"), 2);
        QCoreApplication::processEvents();
        messages.Clear();
        dialog->LoadButton()->click();
        dialog->ResetButton()->click();
        dialog->OkButton()->click();
        QCOMPARE(messages.texts, QStringList(3, kNoPermission));

        script.SetFindResult(1);
        script.SetFindError(-1);
        script.FireDeviceChange(0x8000, 0x0EBC, 0x2501, true);
        QTRY_VERIFY(dialog->IsConnected());
        messages.Clear();
        dialog->OkButton()->click();
        QCOMPARE(messages.texts, QStringList{"Setting has been completed."});
    }
};

QTEST_MAIN(ConfigPermissionTest)
#include "tst_permission.moc"
