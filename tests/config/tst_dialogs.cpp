// The four configuration dialogs driven through their handlers, real key
// events and the scripted receiver library, whose log holds every report the
// dialogs sent.
#include "ConfigTestSupport.h"
#include "KeyAssignment.h"
#include "KeyCodes.h"
#include "ScriptedControl.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cstdio>

using namespace config_test;
using Strings = std::vector<std::string>;
using Table = std::vector<std::array<unsigned char, 2>>;

namespace {

constexpr unsigned kArrival = 0x8000;
constexpr unsigned kRemoval = 0x8004;
const std::string kRead = "FC 00 00 00 00 00 00 00";
const std::string kCommit = "FE 00 00 00 00 00 00 00";

const QString kNotConnected = "The receiver is not connected.";
const QString kRemoved = "A receiver has been removed. Please insert again.";
const QString kCompleted = "Setting has been completed.";
const QString kWriteFailed = "The settings could not be written to the receiver.";
const QString kNoAnswer = "The receiver did not answer in time. It may still have kept the new "
                          "settings: press LOAD to see what it holds.";

struct FamilyData
{
    int size;
    std::vector<int> factoryCodes; // the receiver's key codes; Tab comes with Alt
    std::vector<int> foreignSizes;

    FieldKey FactoryKey(int slot) const
    {
        const auto code = static_cast<std::uint8_t>(factoryCodes[slot - 1]);
        return {code == 0x2B ? kModAlt : std::uint8_t(0), KeyCodeToVirtualKey(code)};
    }
};

FamilyData DataOf(const QString& family)
{
    if (family == "TwoKey")
        return {2, {0x4B, 0x4E}, {4, 5, 7}};
    if (family == "Qn")
        return {5, {0x3E, 0x29, 0x2B, 0x4B, 0x4E}, {2, 4, 7}};
    if (family == "Lt61p")
        return {5, {0x4B, 0x4E, 0x37, 0x3E, 0x29}, {2, 4, 7}};
    return {7, {0x37, 0x51, 0x52, 0x3E, 0x29, 0x4B, 0x4E}, {2, 4, 5}};
}

// Entry i: Ctrl on odd positions, key codes A, B, C, ...
Table LetterTable(int entries)
{
    Table table;
    for (int i = 0; i < entries; ++i)
        table.push_back({static_cast<unsigned char>(i % 2 == 0 ? kModCtrl : 0),
                         static_cast<unsigned char>(0x04 + i)});
    return table;
}

FieldKey LetterKey(int position)
{
    return {static_cast<std::uint8_t>(position % 2 == 1 ? kModCtrl : 0),
            static_cast<std::uint16_t>(VK_A + position - 1)};
}

std::string WriteKey(int size, int slot, int factory, int modifiers, int keyCode)
{
    char text[64];
    std::snprintf(text, sizeof text, "FF %02X %02X %02X %02X %02X 00 00", size, slot, factory,
                  modifiers, keyCode);
    return text;
}

void TickUntilIdle(ConfigDialog& dialog)
{
    for (int i = 0; i < 64 && dialog.IsTimerRunning(); ++i)
        dialog.OnTimer();
}

void AddFamilyRows()
{
    QTest::addColumn<QString>("family");
    for (const QString& family : Families())
        QTest::newRow(qPrintable(family)) << family;
}

} // namespace

class ConfigDialogTest : public QObject
{
    Q_OBJECT

    ScriptedReceiver script;
    MessageRecorder messages;

    // Loaded to the end from a receiver whose table is the family's own size
    // with no keys (every field empty), or that has no table (factory keys).
    std::unique_ptr<ConfigDialog>
    OpenLoaded(const QString& family, const QString& language = "English", bool factory = false)
    {
        const int size = DataOf(family).size;
        if (factory)
            script.QueueAnswer({0, 0, 0, 0, 0, 0, 0, 0});
        else
            script.QueueTable(static_cast<unsigned char>(size), Table(size, {0, 0}));
        auto dialog = MakeDialog(family, language);
        dialog->InitDialog();
        TickUntilIdle(*dialog);
        script.ClearCalls();
        return dialog;
    }

private slots:
    void init()
    {
        QVERIFY(script.IsLoaded());
        script.Reset();
        messages.Clear();
    }

    // The family's own size and sizes no family has are shown as received;
    // no table (0) or another family's size shows the factory table, every
    // answer kept all the same. Each tick takes every answer already waiting
    // and shows what has arrived so far. A size beyond the table's capacity
    // has no place: dropped, and polling goes on.
    void openingShowsWhatTheTableSizeCallsFor_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("size");
        for (const QString& family : Families()) {
            const FamilyData data = DataOf(family);
            for (int size : std::vector<int>{data.size, 0, 3, 9, 11})
                QTest::addRow("%s size %d", qPrintable(family), size) << family << size;
            for (int size : data.foreignSizes)
                QTest::addRow("%s foreign size %d", qPrintable(family), size) << family << size;
        }
    }
    void openingShowsWhatTheTableSizeCallsFor()
    {
        QFETCH(QString, family);
        QFETCH(int, size);
        const FamilyData data = DataOf(family);
        const bool dropped = size > 10;
        const bool factory =
            size == 0 || std::count(data.foreignSizes.begin(), data.foreignSizes.end(), size) > 0;
        // The receiver has answered the first half when the first tick comes.
        const int firstBurst = dropped || size == 0 ? 1 : (size + 1) / 2;
        const Table letters = LetterTable(dropped ? 1 : size);
        for (int p = 1; p <= std::max(size == 0 ? 1 : int(letters.size()), 1); ++p) {
            if (size == 0)
                script.QueueAnswer({0, 0, 0, 0, 0, 0, 0, 0});
            else
                script.QueueAnswer({static_cast<unsigned char>(size), static_cast<unsigned char>(p),
                                    static_cast<unsigned char>(p), letters[p - 1][0],
                                    letters[p - 1][1], 0xAA, 0, 0});
            if (p == firstBurst)
                script.QueueNoAnswer();
        }
        auto dialog = MakeDialog(family);

        QVERIFY(dialog->InitDialog());
        QVERIFY(dialog->IsConnected());
        QCOMPARE(script.Writes(), Strings{kRead});
        for (int tick = 1; tick <= 2; ++tick) {
            QVERIFY(dialog->IsTimerRunning());
            dialog->OnTimer();
            const int arrived = tick == 1 ? firstBurst : size;
            for (int slot = 1; slot <= data.size; ++slot)
                QCOMPARE(KeyOf(*dialog, slot), factory ? data.FactoryKey(slot)
                                               : !dropped && slot <= std::min(arrived, size)
                                                   ? LetterKey(slot)
                                                   : FieldKey{});
            if (!dialog->IsTimerRunning())
                break;
        }
        QCOMPARE(dialog->IsTimerRunning(), dropped);
        // A look for leftovers, every answer, the empty reads ending a tick.
        const int reads = 1 + (size == 0 ? 1 : dropped ? 3 : size + 1);
        QCOMPARE(script.CountOf("readData"), reads);
        QCOMPARE(dialog->Table().receivedSize, size);
        if (size > 0 && !dropped)
            QCOMPARE(dialog->Table().entryBytes[size - 1], std::uint8_t(size));
        QVERIFY(messages.texts.isEmpty());
    }

    void noReceiverEndsTheDialogAtOnce_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("expected");
        for (const QString& family : Families())
            QTest::newRow(qPrintable(family)) << family << "English" << QStringList{kNotConnected};
        QTest::newRow("Korean") << "Qn"
                                << "Korean" << QStringList{"수신기가 연결되지 않았습니다."};
        QTest::newRow("other language") << "Rv80"
                                        << "english" << QStringList{};
    }
    void noReceiverEndsTheDialogAtOnce()
    {
        QFETCH(QString, family);
        QFETCH(QString, language);
        QFETCH(QStringList, expected);
        script.SetFindResult(0);
        auto dialog = MakeDialog(family, language);
        // Should the modal loop run after all, this ends it with another result.
        QTimer::singleShot(3000, dialog.get(), [&] { dialog->EndDialog(42); });

        QElapsedTimer clock;
        clock.start();
        QCOMPARE(dialog->DoModal(), int(QDialog::Accepted));
        QVERIFY(clock.elapsed() < 1000);
        QVERIFY(dialog->EndedDuringInit());
        QVERIFY(!dialog->isVisible());
        QVERIFY(!dialog->IsTimerRunning());
        QCOMPARE(messages.texts, expected);
        QCOMPARE(script.Calls(), Strings{"findHidDevice 0EBC 2501"});
    }

    void resetAsksFirst_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("question");
        const QString english = "Key values will be reset, Continue?";
        for (const QString& family : Families())
            QTest::addRow("%s Yes", qPrintable(family))
                << family << "English" << int(AppMessageBox::IdYes) << english;
        QTest::newRow("No") << "TwoKey"
                            << "English" << int(AppMessageBox::IdNo) << english;
        QTest::newRow("Korean Yes") << "Lt61p"
                                    << "Korean" << int(AppMessageBox::IdYes)
                                    << "제품의 키가 원래상태로 초기화됩니다. 진행하시겠습까?";
        // No box can be shown: the question counts as No.
        QTest::newRow("other language") << "Rv80"
                                        << "Deutsch" << int(AppMessageBox::IdYes) << QString();
    }
    void resetAsksFirst()
    {
        QFETCH(QString, family);
        QFETCH(QString, language);
        QFETCH(int, answer);
        QFETCH(QString, question);
        auto dialog = OpenLoaded(family, language);
        dialog->KeyField(1)->SetKey(kModShift, VK_A);
        messages.answers = {answer};

        dialog->ResetButton()->click();

        QCOMPARE(messages.texts, question.isNull() ? QStringList{} : QStringList{question});
        if (!question.isNull())
            QCOMPARE(messages.buttons.front(), AppMessageBox::Buttons::YesNo);
        if (!question.isNull() && answer == AppMessageBox::IdYes) {
            QCOMPARE(script.Writes(), (Strings{"00 00 00 00 00 00 00 00", kRead}));
            QVERIFY(dialog->IsTimerRunning());
        } else {
            QCOMPARE(script.Writes(), Strings{});
            QVERIFY(!dialog->IsTimerRunning());
            QCOMPARE(KeyOf(*dialog, 1), (FieldKey{kModShift, VK_A}));
        }
    }

    // With no key at all only the commit goes out. Otherwise every slot is
    // written with its factory code at offset 3, then the commit and the
    // read request of the read-back; the key is captured by real key events.
    void okWritesEverySlotOrOnlyCommits_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<bool>("factoryTable");
        QTest::addColumn<bool>("capture");
        QTest::addColumn<QString>("language");
        for (const QString& family : Families()) {
            const QByteArray bytes = family.toLatin1();
            const char* name = bytes.constData();
            QTest::addRow("%s all empty", name) << family << false << false << "English";
            QTest::addRow("%s one key", name) << family << false << true << "Korean";
            QTest::addRow("%s factory table", name) << family << true << false << "English";
            QTest::addRow("%s factory table and one key", name)
                << family << true << true << "English";
        }
    }
    void okWritesEverySlotOrOnlyCommits()
    {
        QFETCH(QString, family);
        QFETCH(bool, factoryTable);
        QFETCH(bool, capture);
        QFETCH(QString, language);
        const FamilyData data = DataOf(family);
        auto dialog = OpenLoaded(family, language, factoryTable);
        QSignalSpy finished(dialog.get(), &QDialog::finished);
        if (capture)
            QVERIFY(CaptureCtrlF5(*dialog, 2));
        script.HoldTable(Table(data.size, {0, 0}));

        QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
        // Only a written table waits for its read-back.
        QCOMPARE(messages.texts.isEmpty(), capture || factoryTable);
        TickUntilIdle(*dialog);
        Strings expected;
        for (int slot = 1; (capture || factoryTable) && slot <= data.size; ++slot) {
            const int factory = data.factoryCodes[slot - 1];
            if (capture && slot == 2)
                expected.push_back(WriteKey(data.size, 2, factory, kModCtrl, 0x3E));
            else if (factoryTable)
                expected.push_back(
                    WriteKey(data.size, slot, factory, data.FactoryKey(slot).modifiers, factory));
            else
                expected.push_back(WriteKey(data.size, slot, factory, 0, 0));
        }
        expected.push_back(kCommit);
        if (capture || factoryTable)
            expected.push_back(kRead);
        QCOMPARE(script.Writes(), expected);
        QCOMPARE(messages.texts,
                 QStringList{language == "Korean" ? "설정이 완료되었습니다." : kCompleted});
        QCOMPARE(finished.count(), 0);
    }

    // Only a read-back equal to what was written completes OK. A receiver
    // that kept its old table or holds one of another family gets the
    // did-not-keep message, and the fields then show what it answered; one
    // that never answers gets its own message, and the fields keep the
    // user's keys.
    // Clicks during the read-back neither commit again nor reload.
    void okIsConfirmedByTheReadBack_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<Table>("held");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("completed");
        // Every family's own match is in okWritesEverySlotOrOnlyCommits.
        QTest::newRow("kept") << "Lt61p" << Table(5, {0, 0}) << false << "English" << true;
        QTest::newRow("old table stays") << "Rv80" << LetterTable(7) << true << "English" << false;
        QTest::newRow("Korean, old table stays")
            << "Qn" << LetterTable(5) << true << "Korean" << false;
        // An RV-80 receiver with the LT-61 dialog: its first two entries are
        // the full stop and Down.
        QTest::newRow("wrong model")
            << "TwoKey"
            << Table{{0, 0x37}, {0, 0x51}, {0, 0x52}, {0, 0x3E}, {0, 0x29}, {0, 0x4B}, {0, 0x4E}}
            << false << "English" << false;
        QTest::newRow("silent") << "Rv80" << Table{} << false << "English" << false;
    }
    void okIsConfirmedByTheReadBack()
    {
        QFETCH(QString, family);
        QFETCH(Table, held);
        QFETCH(bool, keep);
        QFETCH(QString, language);
        QFETCH(bool, completed);
        const int size = DataOf(family).size;
        auto dialog = OpenLoaded(family, language);
        script.HoldTable(held);
        script.KeepTable(keep);
        dialog->KeyField(1)->SetKey(kModShift, VK_A);

        dialog->OkButton()->click();
        QVERIFY(dialog->IsVerifying());
        dialog->OkButton()->click();
        dialog->LoadButton()->click();
        dialog->ResetButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->IsVerifying(), 3000);

        QCOMPARE(script.CountOf("writeData " + kCommit), 1);
        QCOMPARE(script.CountOf("writeData " + kRead), 1);
        QVERIFY(!dialog->IsTimerRunning());
        const QString notKept =
            language == "Korean"
                ? "수신기에 새 설정이 저장되지 않았습니다. 선택한 모델이 프레젠터와 맞는지 확인한 "
                  "뒤 다시 시도해 주십시오."
                : "The receiver did not keep the new settings. Check that the chosen model "
                  "matches your presenter, then try again.";
        QCOMPARE(messages.texts, QStringList{completed      ? kCompleted
                                             : held.empty() ? kNoAnswer
                                                            : notKept});
        for (int slot = 1; slot <= size; ++slot) {
            FieldKey shown;
            if (completed || held.empty())
                shown = slot == 1 ? FieldKey{kModShift, VK_A} : FieldKey{};
            else
                shown = {held[slot - 1][0], KeyCodeToVirtualKey(held[slot - 1][1])};
            QCOMPARE(KeyOf(*dialog, slot), shown);
        }
    }

    // Answers left over (an old table's, come late) are never taken for a
    // later load's or read-back's; a read-back that stops halfway is no
    // answer, and the fields keep the user's keys.
    void lateAnswersAreNeverTakenForLaterOnes()
    {
        auto dialog = OpenLoaded("Rv80", "Korean");
        script.HoldTable(Table(7, {0, 0x29}));
        for (BitmapButton* button : {dialog->LoadButton(), dialog->OkButton()}) {
            for (unsigned char p = 1; p <= 7; ++p)
                script.QueueWaiting({7, p, p, 0, 0x04, 0xAA, 0, 0});
            button->click();
            TickUntilIdle(*dialog);
            QCOMPARE(KeyOf(*dialog, 7), (FieldKey{0, KeyCodeToVirtualKey(0x29)}));
        }
        script.HoldTable({});
        script.QueueTable(7, LetterTable(3));
        dialog->KeyField(2)->SetKey(kModShift, VK_A);
        dialog->OnOK();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->IsVerifying(), 3000);
        QCOMPARE(messages.texts.join('|'),
                 "설정이 완료되었습니다.|수신기가 제때 응답하지 않았습니다. "
                 "새 설정이 저장되었을 수도 있으니 LOAD를 눌러 수신기에 "
                 "저장된 값을 확인해 주십시오.");
        QCOMPARE(KeyOf(*dialog, 2), (FieldKey{kModShift, VK_A}));
    }

    // A request that cannot be sent stops OK: nothing after it, no commit of
    // a table written in part, and no claim of success.
    void okStopsAtTheFirstUnsentRequest_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("sentBeforeFailure");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("expected");
        for (const QString& family : Families())
            QTest::addRow("%s commit", qPrintable(family))
                << family << DataOf(family).size << "English" << kWriteFailed;
        QTest::newRow("first key") << "TwoKey" << 0 << "English" << kWriteFailed;
        QTest::newRow("second key Korean") << "Qn" << 1 << "Korean"
                                           << "설정을 수신기에 저장하지 못했습니다.";
        QTest::newRow("other language") << "Lt61p" << 1 << "Deutsch" << QString();
    }
    void okStopsAtTheFirstUnsentRequest()
    {
        QFETCH(QString, family);
        QFETCH(int, sentBeforeFailure);
        QFETCH(QString, language);
        QFETCH(QString, expected);
        auto dialog = OpenLoaded(family, language, true);
        script.FailWritesAfter(sentBeforeFailure);

        dialog->OnOK();
        const Strings writes = script.Writes();
        QCOMPARE(int(writes.size()), sentBeforeFailure + 1);
        QCOMPARE(writes.back() == kCommit, sentBeforeFailure == DataOf(family).size);
        QCOMPARE(messages.texts, expected.isNull() ? QStringList{} : QStringList{expected});
    }

    // Device changes come from the library's own thread and reach the dialog
    // on its thread. Another device's removal changes nothing. The receiver's
    // shows the message and stops the load at the next tick, keeping what did
    // arrive; then every button refuses and sends nothing. Its arrival
    // re-opens the link quietly, without reloading.
    void removalAndArrival_data() { AddFamilyRows(); }
    void removalAndArrival()
    {
        QFETCH(QString, family);
        const int size = DataOf(family).size;
        script.QueueTable(static_cast<unsigned char>(size), LetterTable(1));
        auto dialog = MakeDialog(family);
        QSignalSpy finished(dialog.get(), &QDialog::finished);
        dialog->InitDialog();
        dialog->OnTimer();

        script.FireDeviceChange(kRemoval, 0x046D, 0xC52B, true);
        QTRY_COMPARE(script.CountOf("isMyDeviceNotification"), 1);
        QCoreApplication::processEvents();
        QVERIFY(dialog->IsConnected());
        QVERIFY(messages.texts.isEmpty());

        QCOMPARE(script.FireDeviceChange(kRemoval, 0x0EBC, 0x2501, true), 1);
        QTRY_COMPARE(messages.texts, QStringList{kRemoved});
        QVERIFY(!dialog->IsConnected());
        const int reads = script.CountOf("readData");
        dialog->OnTimer();
        QVERIFY(!dialog->IsTimerRunning());
        QCOMPARE(script.CountOf("readData"), reads);
        script.ClearCalls();

        dialog->LoadButton()->click();
        dialog->ResetButton()->click();
        dialog->OkButton()->click();
        QCOMPARE(messages.texts,
                 (QStringList{kRemoved, kNotConnected, kNotConnected, kNotConnected}));
        QCOMPARE(script.Writes(), Strings{});
        QVERIFY(!dialog->IsTimerRunning());
        QCOMPARE(finished.count(), 0);
        messages.Clear();

        script.FireDeviceChange(kArrival, 0x0EBC, 0x2501, true);
        QTRY_VERIFY(dialog->IsConnected());
        QCOMPARE(script.CountOf("findHidDevice"), 1);
        QCOMPARE(script.CountOf("readData"), 0);
        QCOMPARE(script.RegisteredCount(), 1);
        QVERIFY(!dialog->IsTimerRunning());
        QVERIFY(messages.texts.isEmpty());
        for (int slot = 1; slot <= size; ++slot)
            QCOMPARE(KeyOf(*dialog, slot), slot == 1 ? LetterKey(1) : FieldKey{});

        script.HoldTable(Table(size, {0, 0}));
        dialog->OnOK();
        TickUntilIdle(*dialog);
        QCOMPARE(script.Writes().back(), kRead);
        QCOMPARE(messages.texts, QStringList{kCompleted});
    }

    // The modal loop drives timer 1 itself; Esc and Enter do not end it.
    // Cancel closes the link once, and a notification queued before the end
    // does not re-open it.
    void runsModallyUntilCancel_data() { AddFamilyRows(); }
    void runsModallyUntilCancel()
    {
        QFETCH(QString, family);
        const int size = DataOf(family).size;
        script.QueueNoAnswer();
        script.QueueTable(static_cast<unsigned char>(size), LetterTable(size));
        auto dialog = MakeDialog(family);
        bool sawLoaded = false;
        QTimer watch;
        watch.setInterval(5);
        QObject::connect(&watch, &QTimer::timeout, dialog.get(), [&] {
            if (dialog->IsTimerRunning())
                return;
            watch.stop();
            QTest::keyClick(dialog->OkButton(), Qt::Key_Escape);
            QTest::keyClick(dialog->OkButton(), Qt::Key_Return);
            sawLoaded = dialog->isVisible() && KeyOf(*dialog, size) == LetterKey(size);
            script.FireDeviceChange(kArrival, 0x1234, 0x5678, false);
            dialog->CancelButton()->click();
        });
        watch.start();
        QTimer::singleShot(5000, dialog.get(), [&] { dialog->EndDialog(42); });

        QCOMPARE(dialog->DoModal(), int(QDialog::Rejected));
        QVERIFY(sawLoaded);
        QVERIFY(!dialog->IsTimerRunning());
        QCoreApplication::processEvents();
        QCOMPARE(script.CountOf("readData"), 1 + size + 1);
        QCOMPARE(script.RegisteredCount(), 0);
        QCOMPARE(script.CountOf("closeDevice"), 1);
        dialog.reset();
        QCOMPARE(script.CountOf("findHidDevice"), 1);
        QCOMPARE(script.CountOf("closeDevice"), 1);
        QCOMPARE(script.CountOf("hidUnregisterDeviceNotification"), 1);
        QVERIFY(messages.texts.isEmpty());
    }

    // A desktop that keeps its shortcuts is told of in the dialog's language,
    // whichever field found out.
    void desktopShortcutsNoticeSpeaksTheDialogsLanguage_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("English") << "English"
                                 << QStringList{"The desktop keeps some key combinations for "
                                                "itself (such as the Windows key with Tab). They "
                                                "cannot be set here."};
        QTest::newRow("Korean") << "Korean"
                                << QStringList{"데스크톱이 일부 키 조합(예: Windows 키+Tab)을 "
                                               "직접 사용하므로 여기에서 설정할 수 없습니다."};
        QTest::newRow("other") << "Deutsch" << QStringList{};
    }
    void desktopShortcutsNoticeSpeaksTheDialogsLanguage()
    {
        QFETCH(QString, language);
        QFETCH(QStringList, shown);
        auto dialog = OpenLoaded("Rv80", language);
        emit dialog->KeyField(7)->DesktopKeepsShortcuts();
        QCOMPARE(messages.texts, shown);
        QCOMPARE(script.Writes(), Strings{});
    }

    // What a screen reader says: the words the skin shows, slot by slot.
    void controlsAreNamedAsTheSkinShowsThem_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("TwoKey") << "TwoKey" << QStringList{"PAGE UP", "PAGE DOWN"};
        QTest::newRow("Qn") << "Qn"
                            << QStringList{"SLIDE SHOW", "END SLIDE SHOW", "SWITCH WINDOW",
                                           "PREVIOUS", "NEXT"};
        QTest::newRow("Lt61p") << "Lt61p"
                               << QStringList{"PREVIOUS", "NEXT", "BLACK SCREEN", "START", "END"};
        QTest::newRow("Rv80") << "Rv80" << QStringList{"BLACK SCREEN", "DOWN",     "UP",  "START",
                                                       "END",          "PREVIOUS", "NEXT"};
    }
    void controlsAreNamedAsTheSkinShowsThem()
    {
        QFETCH(QString, family);
        QFETCH(QStringList, fields);
        auto dialog = OpenLoaded(family);
        QCOMPARE(dialog->accessibleName(), ModelOf(family) + " key settings");
        QStringList named;
        for (int slot = 1; slot <= fields.size(); ++slot)
            named << dialog->KeyField(slot)->accessibleName();
        QCOMPARE(named, fields);
        QCOMPARE(dialog->OkButton()->accessibleName(), "OK");
        QCOMPARE(dialog->CancelButton()->accessibleName(), "BACK");
        QCOMPARE(dialog->ResetButton()->accessibleName(), "RESET");
        QCOMPARE(dialog->LoadButton()->accessibleName(), "LOAD");
    }

    // Byte for byte: no other spelling picks a background.
    void backgroundFollowsTheModelText_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("background");
        const struct
        {
            const char *family, *model;
            int background;
        } rows[] = {{"TwoKey", "LT-61", 163},  {"TwoKey", "", 163},       {"Qn", "QN-90", 175},
                    {"Qn", "QN-70 Vela", 173}, {"Qn", "QN-95 Vela", 172}, {"Qn", "qn-90", 0},
                    {"Lt61p", "LT-61P", 164},  {"Lt61p", "LT-65", 165},   {"Lt61p", "LT-61", 0},
                    {"Rv80", "RV-80", 170},    {"Rv80", "RV-80G", 174},   {"Rv80", "RV-80 ", 0}};
        for (const auto& row : rows)
            QTest::addRow("%s '%s'", row.family, row.model)
                << QString(row.family) << QString(row.model) << row.background;
    }
    void backgroundFollowsTheModelText()
    {
        QFETCH(QString, family);
        QFETCH(QString, model);
        QFETCH(int, background);
        script.QueueAnswer({0, 0, 0, 0, 0, 0, 0, 0});
        auto dialog = MakeDialog(family, "English", model);
        QVERIFY(dialog->InitDialog());
        QCOMPARE(dialog->BackgroundId(), background);
        QCOMPARE(dialog->HasBackground(), background != 0);
        // The rest of the dialog does not depend on the model.
        TickUntilIdle(*dialog);
        QCOMPARE(KeyOf(*dialog, 1), DataOf(family).FactoryKey(1));
        QCOMPARE(dialog->OkButton()->size(), QSize(85, 25));
    }
};

QTEST_MAIN(ConfigDialogTest)
#include "tst_dialogs.moc"
