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

using namespace config_test;
using Strings = std::vector<std::string>;

namespace {

constexpr unsigned kArrival = 0x8000;
constexpr unsigned kRemoval = 0x8004;

const QString kNotConnected = QStringLiteral("The receiver is not connected.");
const QString kRemoved = QStringLiteral("A receiver has been removed. Please insert again.");
const QString kCompleted = QStringLiteral("Setting has been completed.");
const QString kResetQuestion = QStringLiteral("Key values will be reset, Continue?");
const QString kWriteFailed = QStringLiteral("The settings could not be written to the receiver.");

struct FamilyData
{
    int size;
    std::vector<int> factoryCodes;
    std::vector<FieldKey> factoryKeys;
    std::vector<int> foreignSizes;
};

FamilyData DataOf(const QString& family)
{
    if (family == QLatin1String("TwoKey"))
        return {2, {0x4B, 0x4E}, {{0, VK_PRIOR}, {0, VK_NEXT}}, {4, 5, 7}};
    if (family == QLatin1String("Qn"))
        return {5,
                {0x3E, 0x29, 0x2B, 0x4B, 0x4E},
                {{0, VK_F5}, {0, VK_ESCAPE}, {kModAlt, VK_TAB}, {0, VK_PRIOR}, {0, VK_NEXT}},
                {2, 4, 7}};
    if (family == QLatin1String("Lt61p"))
        return {5,
                {0x4B, 0x4E, 0x37, 0x3E, 0x29},
                {{0, VK_PRIOR}, {0, VK_NEXT}, {0, VK_OEM_PERIOD}, {0, VK_F5}, {0, VK_ESCAPE}},
                {2, 4, 7}};
    return {7,
            {0x37, 0x51, 0x52, 0x3E, 0x29, 0x4B, 0x4E},
            {{0, VK_OEM_PERIOD},
             {0, VK_DOWN},
             {0, VK_UP},
             {0, VK_F5},
             {0, VK_ESCAPE},
             {0, VK_PRIOR},
             {0, VK_NEXT}},
            {2, 4, 5}};
}

// Entry i: Ctrl on odd positions, key codes A, B, C, ...
std::vector<std::array<unsigned char, 2>> LetterTable(int entries)
{
    std::vector<std::array<unsigned char, 2>> table;
    for (int i = 0; i < entries; ++i)
        table.push_back({static_cast<unsigned char>(i % 2 == 0 ? kModCtrl : 0),
                         static_cast<unsigned char>(0x04 + i)});
    return table;
}

FieldKey LetterKey(int position)
{
    const int i = position - 1;
    return {static_cast<std::uint8_t>(i % 2 == 0 ? kModCtrl : 0),
            static_cast<std::uint16_t>(VK_A + i)};
}

std::string ReadRequest()
{
    return Hex({0xFC, 0, 0, 0, 0, 0, 0, 0});
}

std::string Commit()
{
    return Hex({0xFE, 0, 0, 0, 0, 0, 0, 0});
}

std::string WriteKey(int size, int slot, int factory, int modifiers, int keyCode)
{
    return Hex({0xFF, size, slot, factory, modifiers, keyCode, 0, 0});
}

void TickUntilIdle(ConfigDialog& dialog, int limit = 64)
{
    for (int i = 0; i < limit && dialog.IsTimerRunning(); ++i)
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

    // Opened on a receiver whose table is the family's own size with no keys,
    // loaded to the end: connected, idle, every field empty.
    std::unique_ptr<ConfigDialog> OpenEmpty(const QString& family,
                                            const QString& language = QStringLiteral("English"))
    {
        const int size = DataOf(family).size;
        script.QueueTable(static_cast<unsigned char>(size),
                          std::vector<std::array<unsigned char, 2>>(size, {0, 0}));
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

    void openingLoadsTableOfOwnSize_data() { AddFamilyRows(); }
    void openingLoadsTableOfOwnSize()
    {
        QFETCH(QString, family);
        const int size = DataOf(family).size;
        script.QueueTable(static_cast<unsigned char>(size), LetterTable(size));
        auto dialog = MakeDialog(family);

        QVERIFY(dialog->InitDialog());
        QVERIFY(dialog->IsConnected());
        QVERIFY(dialog->IsTimerRunning());
        QCOMPARE(script.Writes(), Strings{ReadRequest()});

        for (int tick = 1; tick <= size; ++tick) {
            dialog->OnTimer();
            // Each answer fills one more field; the last one stops polling.
            QCOMPARE(KeyOf(*dialog, tick), LetterKey(tick));
            if (tick < size)
                QCOMPARE(KeyOf(*dialog, tick + 1), FieldKey{});
            QCOMPARE(dialog->IsTimerRunning(), tick < size);
        }
        QCOMPARE(dialog->KeyField(1)->text(), QStringLiteral("Ctrl+A"));
        QCOMPARE(dialog->KeyField(2)->text(), QStringLiteral("B"));
        QCOMPARE(script.CountOf("readData"), size);
        QVERIFY(messages.texts.isEmpty());
    }

    // No table, or another family's: every answer is kept, the fields show
    // the dialog's factory table.
    void otherFamiliesSizesShowFactoryTable_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("size");
        for (const QString& family : Families()) {
            QTest::addRow("%s size 0", qPrintable(family)) << family << 0;
            for (int size : DataOf(family).foreignSizes)
                QTest::addRow("%s size %d", qPrintable(family), size) << family << size;
        }
    }
    void otherFamiliesSizesShowFactoryTable()
    {
        QFETCH(QString, family);
        QFETCH(int, size);
        const FamilyData data = DataOf(family);
        if (size == 0)
            script.QueueAnswer({0, 0, 0, 0, 0, 0, 0, 0});
        else
            script.QueueTable(static_cast<unsigned char>(size),
                              std::vector<std::array<unsigned char, 2>>(size, {kModAlt, 0x1D}));
        auto dialog = MakeDialog(family);
        dialog->InitDialog();

        dialog->OnTimer();
        for (int slot = 1; slot <= data.size; ++slot)
            QCOMPARE(KeyOf(*dialog, slot), data.factoryKeys[slot - 1]);
        TickUntilIdle(*dialog);
        QCOMPARE(script.CountOf("readData"), std::max(size, 1));
        QCOMPARE(dialog->Table().receivedSize, size);
        // Stored all the same (the factory keys cover only the shown slots).
        if (size > 0)
            QCOMPARE(dialog->Table().entryBytes[size - 1], std::uint8_t(size));
        for (int slot = 1; slot <= data.size; ++slot)
            QCOMPARE(KeyOf(*dialog, slot), data.factoryKeys[slot - 1]);
        if (family == QLatin1String("TwoKey")) {
            QCOMPARE(dialog->KeyField(1)->text(), QStringLiteral("Page Up"));
            QCOMPARE(dialog->KeyField(2)->text(), QStringLiteral("Page Down"));
        }
    }

    // Sizes no presenter has: shown as received, the rest of the fields empty.
    void unknownSizesShowReceivedEntries_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("size");
        for (const QString& family : Families())
            for (int size : {3, 9})
                QTest::addRow("%s size %d", qPrintable(family), size) << family << size;
    }
    void unknownSizesShowReceivedEntries()
    {
        QFETCH(QString, family);
        QFETCH(int, size);
        const int slotCount = DataOf(family).size;
        script.QueueTable(static_cast<unsigned char>(size), LetterTable(size));
        auto dialog = MakeDialog(family);
        dialog->InitDialog();

        for (int tick = 1; tick < size; ++tick)
            dialog->OnTimer();
        QVERIFY(dialog->IsTimerRunning());
        dialog->OnTimer();
        QVERIFY(!dialog->IsTimerRunning());
        for (int slot = 1; slot <= slotCount; ++slot)
            QCOMPARE(KeyOf(*dialog, slot), slot <= size ? LetterKey(slot) : FieldKey{});
        QCOMPARE(dialog->Table().keyCodes[size - 1], std::uint8_t(0x04 + size - 1));
    }

    // An answer with no place in the table is dropped and polling goes on.
    void answersOutsideTheTableAreIgnored_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("sizeByte");
        QTest::addColumn<int>("positionByte");
        for (const QString& family : Families()) {
            QTest::addRow("%s size 11", qPrintable(family)) << family << 11 << 1;
            QTest::addRow("%s position beyond size", qPrintable(family)) << family << 3 << 4;
            QTest::addRow("%s position 0", qPrintable(family))
                << family << DataOf(family).size << 0;
        }
    }
    void answersOutsideTheTableAreIgnored()
    {
        QFETCH(QString, family);
        QFETCH(int, sizeByte);
        QFETCH(int, positionByte);
        script.QueueAnswer({static_cast<unsigned char>(sizeByte),
                            static_cast<unsigned char>(positionByte), 1, kModCtrl, 0x04, 0xAA, 0,
                            0});
        auto dialog = MakeDialog(family);
        dialog->InitDialog();

        dialog->OnTimer();
        dialog->OnTimer(); // nothing more to read
        QVERIFY(dialog->IsTimerRunning());
        QCOMPARE(dialog->Table().receivedSize, sizeByte);
        for (std::uint8_t code : dialog->Table().keyCodes)
            QCOMPARE(code, std::uint8_t(0));
        for (int slot = 1; slot <= DataOf(family).size; ++slot)
            QCOMPARE(dialog->KeyField(slot)->text(), QString());
    }

    void noReceiverEndsTheDialogAtOnce_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("expected");
        for (const QString& family : Families()) {
            QTest::addRow("%s English", qPrintable(family))
                << family << "English" << QStringList{kNotConnected};
            QTest::addRow("%s Korean", qPrintable(family))
                << family << "Korean"
                << QStringList{QStringLiteral("수신기가 연결되지 않았습니다.")};
            QTest::addRow("%s other language", qPrintable(family))
                << family << "english" << QStringList{};
        }
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
        QCOMPARE(script.Writes(), Strings{});
        QCOMPARE(script.CountOf("readData"), 0);
        QCOMPARE(script.CountOf("findHidDevice"), 1);
    }

    void resetAsksFirst_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("resets");
        const QString korean =
            QStringLiteral("제품의 키가 원래상태로 초기화됩니다. 진행하시겠습까?");
        for (const QString& family : Families()) {
            QTest::addRow("%s No", qPrintable(family))
                << family << "English" << int(AppMessageBox::IdNo) << kResetQuestion << false;
            QTest::addRow("%s Yes", qPrintable(family))
                << family << "English" << int(AppMessageBox::IdYes) << kResetQuestion << true;
            QTest::addRow("%s Korean Yes", qPrintable(family))
                << family << "Korean" << int(AppMessageBox::IdYes) << korean << true;
            // No box can be shown: the question counts as No.
            QTest::addRow("%s other language", qPrintable(family))
                << family << "Deutsch" << int(AppMessageBox::IdYes) << QString() << false;
        }
    }
    void resetAsksFirst()
    {
        QFETCH(QString, family);
        QFETCH(QString, language);
        QFETCH(int, answer);
        QFETCH(QString, question);
        QFETCH(bool, resets);
        auto dialog = OpenEmpty(family, language);
        dialog->KeyField(1)->SetKey(kModShift, VK_A);
        messages.answers = {answer};

        dialog->ResetButton()->click();

        QCOMPARE(messages.texts, question.isNull() ? QStringList{} : QStringList{question});
        if (!question.isNull())
            QCOMPARE(messages.buttons.front(), AppMessageBox::Buttons::YesNo);
        if (resets) {
            QCOMPARE(script.Writes(), (Strings{Hex({0, 0, 0, 0, 0, 0, 0, 0}), ReadRequest()}));
            QVERIFY(dialog->IsTimerRunning());
        } else {
            QCOMPARE(script.Writes(), Strings{});
            QVERIFY(!dialog->IsTimerRunning());
            QCOMPARE(KeyOf(*dialog, 1), (FieldKey{kModShift, VK_A}));
        }
    }

    void okWithEmptyFieldsOnlyCommits_data() { AddFamilyRows(); }
    void okWithEmptyFieldsOnlyCommits()
    {
        QFETCH(QString, family);
        auto dialog = OpenEmpty(family);
        QSignalSpy finished(dialog.get(), &QDialog::finished);
        dialog->OkButton()->click();
        QCOMPARE(script.Writes(), Strings{Commit()});
        QCOMPARE(messages.texts, QStringList{kCompleted});
        QCOMPARE(finished.count(), 0);
    }

    // One key captured by real key events: every slot is written, each with
    // its factory code, then the commit.
    void okWritesEverySlotAfterACapture_data() { AddFamilyRows(); }
    void okWritesEverySlotAfterACapture()
    {
        QFETCH(QString, family);
        const FamilyData data = DataOf(family);
        auto dialog = OpenEmpty(family, QStringLiteral("Korean"));
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        KeyCaptureEdit* field = dialog->KeyField(2);
        dialog->activateWindow();
        field->setFocus();
        QTRY_VERIFY(field->hasFocus());

        QTest::keyPress(field, Qt::Key_Control);
        QTest::keyClick(field, Qt::Key_F5, Qt::ControlModifier);
        QTest::keyRelease(field, Qt::Key_Control);
        QCOMPARE(field->text(), QStringLiteral("Ctrl+F5"));

        QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
        Strings expected;
        for (int slot = 1; slot <= data.size; ++slot)
            expected.push_back(slot == 2
                                   ? WriteKey(data.size, 2, data.factoryCodes[1], 0x01, 0x3E)
                                   : WriteKey(data.size, slot, data.factoryCodes[slot - 1], 0, 0));
        expected.push_back(Commit());
        QCOMPARE(script.Writes(), expected);
        QCOMPARE(messages.texts, QStringList{QStringLiteral("설정이 완료되었습니다.")});
        QVERIFY(dialog->isVisible());
    }

    // The factory table shown after an empty load goes back as it came.
    void okWritesTheFactoryTableBack_data() { AddFamilyRows(); }
    void okWritesTheFactoryTableBack()
    {
        QFETCH(QString, family);
        const FamilyData data = DataOf(family);
        script.QueueAnswer({0, 0, 0, 0, 0, 0, 0, 0});
        auto dialog = MakeDialog(family);
        dialog->InitDialog();
        TickUntilIdle(*dialog);
        script.ClearCalls();

        dialog->OnOK();
        Strings expected;
        for (int slot = 1; slot <= data.size; ++slot)
            expected.push_back(WriteKey(data.size, slot, data.factoryCodes[slot - 1],
                                        data.factoryKeys[slot - 1].modifiers,
                                        data.factoryCodes[slot - 1]));
        expected.push_back(Commit());
        QCOMPARE(script.Writes(), expected);
    }

    // A request that cannot be sent stops OK: nothing after it, no commit of
    // a table written in part, and no claim of success.
    void okStopsAtTheFirstUnsentRequest_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("sentBeforeFailure");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("expected");
        const QString korean = QStringLiteral("설정을 수신기에 저장하지 못했습니다.");
        for (const QString& family : Families()) {
            const int size = DataOf(family).size;
            QTest::addRow("%s first key", qPrintable(family))
                << family << 0 << "English" << kWriteFailed;
            QTest::addRow("%s second key", qPrintable(family)) << family << 1 << "Korean" << korean;
            QTest::addRow("%s commit", qPrintable(family))
                << family << size << "English" << kWriteFailed;
            QTest::addRow("%s other language", qPrintable(family))
                << family << 1 << "Deutsch" << QString();
        }
    }
    void okStopsAtTheFirstUnsentRequest()
    {
        QFETCH(QString, family);
        QFETCH(int, sentBeforeFailure);
        QFETCH(QString, language);
        QFETCH(QString, expected);
        const FamilyData data = DataOf(family);
        script.QueueTable(static_cast<unsigned char>(data.size), LetterTable(data.size));
        auto dialog = MakeDialog(family, language);
        dialog->InitDialog();
        TickUntilIdle(*dialog);
        script.ClearCalls();
        script.FailWritesAfter(sentBeforeFailure);

        dialog->OnOK();
        const Strings writes = script.Writes();
        QCOMPARE(int(writes.size()), sentBeforeFailure + 1);
        const bool commitAttempted = sentBeforeFailure == data.size;
        QCOMPARE(writes.back() == Commit(), commitAttempted);
        QCOMPARE(messages.texts, expected.isNull() ? QStringList{} : QStringList{expected});
    }

    // Removal reported from the library's own thread reaches the dialog on
    // its thread; afterwards nothing is sent and every button says so.
    void removalThenEveryButtonRefuses_data() { AddFamilyRows(); }
    void removalThenEveryButtonRefuses()
    {
        QFETCH(QString, family);
        auto dialog = OpenEmpty(family);
        QSignalSpy finished(dialog.get(), &QDialog::finished);
        dialog->KeyField(1)->SetKey(0, VK_A + 1);

        QCOMPARE(script.FireDeviceChange(kRemoval, 0x0EBC, 0x2501, true), 1);
        QTRY_COMPARE(messages.texts, QStringList{kRemoved});
        QVERIFY(!dialog->IsConnected());
        QCOMPARE(finished.count(), 0);

        dialog->LoadButton()->click();
        dialog->ResetButton()->click();
        dialog->OkButton()->click();
        QCOMPARE(messages.texts,
                 (QStringList{kRemoved, kNotConnected, kNotConnected, kNotConnected}));
        QCOMPARE(script.Writes(), Strings{});
        QVERIFY(!dialog->IsTimerRunning());
        QCOMPARE(KeyOf(*dialog, 1), (FieldKey{0, VK_A + 1}));
    }

    void removalOfAnotherDeviceIsIgnored()
    {
        auto dialog = OpenEmpty(QStringLiteral("Qn"));
        script.FireDeviceChange(kRemoval, 0x046D, 0xC52B, true);
        QTRY_COMPARE(script.CountOf("isMyDeviceNotification"), 1);
        QCoreApplication::processEvents();
        QVERIFY(dialog->IsConnected());
        QVERIFY(messages.texts.isEmpty());
    }

    // A load cut short by the removal keeps what did arrive: the receiver
    // never sent the factory table.
    void removalDuringLoadLeavesTheFields_data() { AddFamilyRows(); }
    void removalDuringLoadLeavesTheFields()
    {
        QFETCH(QString, family);
        const int size = DataOf(family).size;
        script.QueueTable(static_cast<unsigned char>(size), LetterTable(1));
        auto dialog = MakeDialog(family);
        dialog->InitDialog();
        dialog->OnTimer();
        QVERIFY(dialog->IsTimerRunning());

        script.FireDeviceChange(kRemoval, 0x0EBC, 0x2501, true);
        QTRY_VERIFY(!dialog->IsConnected());
        const int reads = script.CountOf("readData");
        dialog->OnTimer();

        QVERIFY(!dialog->IsTimerRunning());
        QCOMPARE(script.CountOf("readData"), reads);
        QCOMPARE(KeyOf(*dialog, 1), LetterKey(1));
        for (int slot = 2; slot <= size; ++slot)
            QCOMPARE(KeyOf(*dialog, slot), FieldKey{});
        QCOMPARE(messages.texts, QStringList{kRemoved});
    }

    // Arrival re-opens the link quietly and leaves the fields alone.
    void arrivalReopensWithoutReloading_data() { AddFamilyRows(); }
    void arrivalReopensWithoutReloading()
    {
        QFETCH(QString, family);
        auto dialog = OpenEmpty(family);
        dialog->KeyField(1)->SetKey(kModCtrl, VK_A + 2);
        script.FireDeviceChange(kRemoval, 0x0EBC, 0x2501, true);
        QTRY_VERIFY(!dialog->IsConnected());
        script.ClearCalls();
        messages.Clear();

        script.FireDeviceChange(kArrival, 0x0EBC, 0x2501, true);
        QTRY_VERIFY(dialog->IsConnected());
        QCOMPARE(script.CountOf("findHidDevice"), 1);
        QCOMPARE(script.Writes(), Strings{});
        QCOMPARE(script.CountOf("readData"), 0);
        QCOMPARE(script.RegisteredCount(), 1);
        QVERIFY(!dialog->IsTimerRunning());
        QVERIFY(messages.texts.isEmpty());
        QCOMPARE(KeyOf(*dialog, 1), (FieldKey{kModCtrl, VK_A + 2}));

        // Connected again: OK reaches the receiver.
        dialog->OnOK();
        QCOMPARE(script.Writes().back(), Commit());
        QCOMPARE(messages.texts, QStringList{kCompleted});
    }

    void cancelEndsAndClosesTheLinkOnce_data() { AddFamilyRows(); }
    void cancelEndsAndClosesTheLinkOnce()
    {
        QFETCH(QString, family);
        auto dialog = MakeDialog(family);
        dialog->InitDialog();
        QVERIFY(dialog->IsTimerRunning()); // no answer yet
        // Queued before the end, delivered after it.
        script.FireDeviceChange(kArrival, 0x1234, 0x5678, false);

        dialog->CancelButton()->click();
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QVERIFY(!dialog->IsTimerRunning());
        QCoreApplication::processEvents();
        QCOMPARE(script.CountOf("findHidDevice"), 1);
        QCOMPARE(script.CountOf("closeDevice"), 1);
        QCOMPARE(script.CountOf("hidUnregisterDeviceNotification"), 1);
        QCOMPARE(script.RegisteredCount(), 0);
        dialog.reset();
        QCOMPARE(script.CountOf("closeDevice"), 1);
        QCOMPARE(script.CountOf("hidUnregisterDeviceNotification"), 1);
        QVERIFY(messages.texts.isEmpty());
    }

    // The modal loop drives timer 1 itself; Esc and Enter do not end it.
    void runsModallyOnItsOwnTimer_data() { AddFamilyRows(); }
    void runsModallyOnItsOwnTimer()
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
            dialog->CancelButton()->click();
        });
        watch.start();
        QTimer::singleShot(5000, dialog.get(), [&] { dialog->EndDialog(42); });

        QCOMPARE(dialog->DoModal(), int(QDialog::Rejected));
        QVERIFY(sawLoaded);
        QCOMPARE(script.CountOf("readData"), size + 1);
        QCOMPARE(script.CountOf("closeDevice"), 1);
        QVERIFY(messages.texts.isEmpty());
    }

    void backgroundFollowsTheModelText_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("background");
        QTest::newRow("LT-61") << "TwoKey"
                               << "LT-61" << 163;
        QTest::newRow("two-key, any model") << "TwoKey"
                                            << "" << 163;
        QTest::newRow("QN-90") << "Qn"
                               << "QN-90" << 175;
        QTest::newRow("QN-70 Vela") << "Qn"
                                    << "QN-70 Vela" << 173;
        QTest::newRow("QN-95 Vela") << "Qn"
                                    << "QN-95 Vela" << 172;
        QTest::newRow("qn-90") << "Qn"
                               << "qn-90" << 0;
        QTest::newRow("LT-61P") << "Lt61p"
                                << "LT-61P" << 164;
        QTest::newRow("LT-65") << "Lt61p"
                               << "LT-65" << 165;
        QTest::newRow("LT-61 in the five-key dialog") << "Lt61p"
                                                      << "LT-61" << 0;
        QTest::newRow("RV-80") << "Rv80"
                               << "RV-80" << 170;
        QTest::newRow("RV-80G") << "Rv80"
                                << "RV-80G" << 174;
        QTest::newRow("RV-80 with a space") << "Rv80"
                                            << "RV-80 " << 0;
    }
    void backgroundFollowsTheModelText()
    {
        QFETCH(QString, family);
        QFETCH(QString, model);
        QFETCH(int, background);
        script.QueueAnswer({0, 0, 0, 0, 0, 0, 0, 0});
        auto dialog = MakeDialog(family, QStringLiteral("English"), model);
        QVERIFY(dialog->InitDialog());
        QCOMPARE(dialog->BackgroundId(), background);
        QCOMPARE(dialog->HasBackground(), background != 0);
        // The rest of the dialog does not depend on the model.
        TickUntilIdle(*dialog);
        QCOMPARE(KeyOf(*dialog, 1), DataOf(family).factoryKeys[0]);
        QCOMPARE(dialog->OkButton()->size(), QSize(85, 25));
    }
};

QTEST_MAIN(ConfigDialogTest)
#include "test_config_dialogs.moc"
