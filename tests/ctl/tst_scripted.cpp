// tavrolinctl against the scripted receiver library: the exact reports each
// command sends, and what it makes of the receiver's answers.
#include "Ctl.h"
#include "Diagnose.h"
#include "KeyNames.h"
#include "KeyboardReports.h"

#include "ScriptedControl.h"

#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTest>

#include <sstream>

namespace {

struct Result
{
    int status;
    std::string out, err;
};

Result Run(std::vector<std::string> args, const std::string& input = {})
{
    std::istringstream in(input);
    std::ostringstream out, err;
    const int status = RunTavrolinCtl(args, in, out, err);
    return {status, out.str(), err.str()};
}

using Entries = std::vector<std::array<unsigned char, 2>>;

const Entries kRvFactory = {{0, 0x37}, {0, 0x51}, {0, 0x52}, {0, 0x3E},
                            {0, 0x29}, {0, 0x4B}, {0, 0x4E}};

QString Joined(const std::vector<std::string>& lines)
{
    QStringList out;
    for (const std::string& line : lines)
        out << QString::fromStdString(line);
    return out.join(QLatin1Char('|'));
}

} // namespace

class TestCtlScripted : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void SetWritesTheWholeTableCommitsAndReadsBack();
    void WriteOutcomes_data();
    void WriteOutcomes();
    void RefusalsSendNoWrite_data();
    void RefusalsSendNoWrite();
    void FiveButtonFamiliesToldApartByEntryBytes();
    void ResetAsksFirst_data();
    void ResetAsksFirst();
    void ShowJson();
    void ResetThatLeavesNoTable();
    void EachExchangeReadsOnlyItsOwnAnswers();
    void DiagnoseOnlyReads();
    void DescriptorUsagePages_data();
    void DescriptorUsagePages();
    void KeyboardReportsPressKeys_data();
    void KeyboardReportsPressKeys();

private:
    ScriptedReceiver receiver;
};

void TestCtlScripted::init()
{
    QVERIFY(receiver.IsLoaded());
    receiver.Reset();
}

void TestCtlScripted::SetWritesTheWholeTableCommitsAndReadsBack()
{
    receiver.HoldTable(kRvFactory);

    const Result r = Run({"set", "--model", "rv-80g", "1", "Ctrl+F5", "7", "Page Down"});
    QCOMPARE(r.status, kExitOk);
    QVERIFY(r.err.find("Setting has been completed.") != std::string::npos);
    QCOMPARE(
        Joined(receiver.Writes()),
        Joined({"FC 00 00 00 00 00 00 00", "FF 07 01 37 01 3E 00 00", "FF 07 02 51 00 51 00 00",
                "FF 07 03 52 00 52 00 00", "FF 07 04 3E 00 3E 00 00", "FF 07 05 29 00 29 00 00",
                "FF 07 06 4B 00 4B 00 00", "FF 07 07 4E 00 4E 00 00", "FE 00 00 00 00 00 00 00",
                "FC 00 00 00 00 00 00 00"}));
}

void TestCtlScripted::WriteOutcomes_data()
{
    QTest::addColumn<int>("writesThatSucceed"); // -1: all
    QTest::addColumn<bool>("readBackNewTable");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message"); // parts separated by '|'
    QTest::addColumn<bool>("committed");
    QTest::addColumn<QString>("json"); // what --json says of it
    QTest::newRow("verified") << -1 << true << kExitOk << "completed" << true
                              << "\"result\": \"verified\", \"written\": true, \"verified\": true}";
    QTest::newRow("receiver kept the old table")
        << -1 << false << kExitNotVerified
        << "did not keep the new settings|Slot 2 reads Esc, not Alt+Tab" << true
        << "\"verified\": false, \"differs\": {\"slot\": 2, \"wanted\": {\"key\": \"Alt+Tab\"";
    // A table written in part is never committed.
    QTest::newRow("third write-key request fails")
        << 3 << false << kExitNotVerified << "could not be written" << false
        << "\"result\": \"not-sent\", \"written\": false";
}

void TestCtlScripted::WriteOutcomes()
{
    QFETCH(int, writesThatSucceed);
    QFETCH(bool, readBackNewTable);
    QFETCH(int, status);
    QFETCH(QString, message);
    QFETCH(bool, committed);
    QFETCH(QString, json);
    const Entries qn = {{0, 0x3E}, {0, 0x29}, {4, 0x2B}, {0, 0x4B}, {0, 0x4E}};
    Entries wanted = qn;
    wanted[1] = {0x04, 0x2B};
    receiver.HoldTable(qn);
    receiver.KeepTable(!readBackNewTable);
    receiver.FailWritesAfter(writesThatSucceed);

    const Result r = Run({"set", "--model", "QN-95 Vela", "2", "alt+tab", "--json"});
    QCOMPARE(r.status, status);
    QVERIFY2(QString::fromStdString(r.out).contains(json), r.out.c_str());
    for (const QString& part : message.split(QLatin1Char('|')))
        QVERIFY2(QString::fromStdString(r.err).contains(part, Qt::CaseInsensitive), r.err.c_str());
    QCOMPARE(receiver.CountOf("writeData FE"), committed ? 1 : 0);
}

void TestCtlScripted::RefusalsSendNoWrite_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("found");        // findHidDevice's answer
    QTest::addColumn<int>("receivedSize"); // 0: nothing queued
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    const QStringList set{"set", "--model", "RV-80", "1", "F5"};
    QTest::newRow("no receiver") << set << 0 << 0 << kExitNoReceiver << "not connected";
    QTest::newRow("no receiver, Korean") << (QStringList{"--lang", "ko"} + set) << 0 << 0
                                         << kExitNoReceiver << "수신기가 연결되지 않았습니다.";
    QTest::newRow("wrong model") << set << 1 << 5 << kExitUsage << "RV-80 has 7 buttons";
    QTest::newRow("bad key name") << QStringList{"set", "--model", "RV-80", "1", "Ctlr+F5"} << 1
                                  << 7 << kExitUsage << "nearest: Ctrl+F5";
    QTest::newRow("slot beyond the model") << QStringList{"set", "--model", "LT-61", "3", "F5"} << 1
                                           << 2 << kExitUsage << "slots 1 to 2";
    QTest::newRow("no model") << QStringList{"set", "1", "F5"} << 1 << 7 << kExitUsage
                              << "needs --model";
    QTest::newRow("odd arguments") << QStringList{"set", "--model", "RV-80", "1", "F5", "2"} << 1
                                   << 7 << kExitUsage << "SLOT KEY";
    // What is shown of a long argument is cut short.
    QTest::newRow("long key name")
        << QStringList{"set", "--model", "RV-80", "1", QString(5000, QLatin1Char('k'))} << 1 << 7
        << kExitUsage << QString(77, QLatin1Char('k')) + QLatin1String("...' is no key name");
    QTest::newRow("unknown option")
        << QStringList{"show", "--colour"} << 1 << 7 << kExitUsage << "unknown option";
    QTest::newRow("receiver that never answers")
        << QStringList{"show"} << 1 << 0 << kExitNoReceiver << "did not send";
}

void TestCtlScripted::RefusalsSendNoWrite()
{
    QFETCH(QStringList, args);
    QFETCH(int, found);
    QFETCH(int, receivedSize);
    QFETCH(int, status);
    QFETCH(QString, message);
    receiver.SetFindResult(static_cast<unsigned char>(found));
    if (receivedSize)
        receiver.QueueTable(static_cast<unsigned char>(receivedSize),
                            Entries(static_cast<std::size_t>(receivedSize), {0, 0x3E}));
    std::vector<std::string> arguments;
    for (const QString& a : args)
        arguments.push_back(a.toStdString());

    const Result r = Run(arguments);
    QCOMPARE(r.status, status);
    QVERIFY2(QString::fromStdString(r.err).contains(message), r.err.c_str());
    for (const std::string& w : receiver.Writes())
        QVERIFY2(w.rfind("FC", 0) == 0, w.c_str());
}

void TestCtlScripted::FiveButtonFamiliesToldApartByEntryBytes()
{
    // Entry bytes that are the LT-61P/LT-65 family's factory key codes.
    const unsigned char lt[] = {0x4B, 0x4E, 0x37, 0x3E, 0x29};
    for (unsigned char p = 1; p <= 5; ++p)
        receiver.QueueAnswer({5, p, lt[p - 1], 0, lt[p - 1], 0xAA, 0, 0});
    const Result r = Run({"set", "--model", "QN-90", "1", "F5"});
    QCOMPARE(r.status, kExitUsage);
    QVERIFY2(r.err.find("QN family") != std::string::npos &&
                 r.err.find("LT-61P/LT-65 family") != std::string::npos,
             r.err.c_str());
    QCOMPARE(receiver.CountOf("writeData FF"), 0);
}

void TestCtlScripted::ResetAsksFirst_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("reset");
    QTest::newRow("yes") << "y\n" << true;
    QTest::newRow("Korean yes") << "예\n" << true;
    QTest::newRow("no") << "n\n" << false;
    QTest::newRow("end of input") << "" << false;
}

void TestCtlScripted::ResetAsksFirst()
{
    QFETCH(QString, answer);
    QFETCH(bool, reset);
    receiver.QueueTable(2, {{0, 0x4B}, {0, 0x4E}});
    const Result r = Run({"reset"}, answer.toStdString());
    QVERIFY(r.err.find("Key values will be reset, Continue?") != std::string::npos);
    QCOMPARE(r.status, reset ? kExitOk : kExitUsage);
    QCOMPARE(receiver.CountOf("writeData 00"), reset ? 1 : 0);
}

void TestCtlScripted::ShowJson()
{
    receiver.QueueTable(2, {{0x0F, 0x31}, {0x00, 0x58}});
    const Result r = Run({"show", "--json"});
    QCOMPARE(r.status, kExitOk);
    QCOMPARE(QString::fromStdString(r.out),
             QStringLiteral(
                 "{\"size\": 2, \"model\": null, \"families\": [\"LT-61\"], \"slots\": [\n"
                 "  {\"slot\": 1, \"button\": \"PAGE UP\", \"key\": "
                 "\"Shift+Ctrl+Alt+R_Wnd+L_Wnd+\\\\\", \"entry\": 1, \"modifiers\": 15, "
                 "\"keyCode\": 49},\n"
                 "  {\"slot\": 2, \"button\": \"PAGE DOWN\", \"key\": \"0x58\", \"entry\": 2, "
                 "\"modifiers\": 0, \"keyCode\": 88}\n"
                 "]}\n"));
}

void TestCtlScripted::ResetThatLeavesNoTable()
{
    receiver.QueueAnswer({0, 0, 0, 0, 0, 0, 0, 0}); // "no table" after the reset
    const Result r = Run({"reset", "--yes"});
    QCOMPARE(r.status, kExitNotVerified);
    QVERIFY2(r.err.find("did not keep") != std::string::npos &&
                 r.err.find("a table of 0 entries") != std::string::npos,
             r.err.c_str());
    QCOMPARE(Joined(receiver.Writes()),
             Joined({"00 00 00 00 00 00 00 00", "FC 00 00 00 00 00 00 00"}));
}

// Right-hand modifier bits (never written) make a table another one, as in
// the dialogs; an old table still waiting is dropped, never shown; a
// read-back that never comes is "no answer" (exit 4), not "not written".
void TestCtlScripted::EachExchangeReadsOnlyItsOwnAnswers()
{
    receiver.QueueTable(2, {{0x10, 0x4B}, {0, 0x4E}});
    Result r = Run({"reset", "--yes"});
    QVERIFY2(r.status == kExitNotVerified && r.err.find("reads Page Up (0x10)") != r.err.npos,
             r.err.c_str());
    receiver.QueueWaiting({2, 1, 1, 0, 0x04, 0xAA, 0, 0});
    receiver.QueueWaiting({2, 2, 2, 0, 0x05, 0xAA, 0, 0});
    receiver.HoldTable({{0, 0x4B}, {0x01, 0x06}});
    QVERIFY(Run({"show"}).out.find("Ctrl+C") != std::string::npos);
    receiver.Reset();
    receiver.QueueTable(2, {{0, 0x4B}, {0, 0x4E}});
    r = Run({"set", "--model", "LT-61", "1", "F5"});
    QVERIFY2(r.status == kExitNoAnswer && r.err.find("did not answer in time") != r.err.npos,
             r.err.c_str());
}

void TestCtlScripted::DiagnoseOnlyReads()
{
    receiver.QueueTable(2, {{0, 0x4B}, {0x01, 0x06}});
    const Result r = Run({"diagnose"});
    QCOMPARE(r.status, kExitOk);
    QVERIFY2(r.out.find("size 2\n  1: 01 00 4B  Page Up\n  2: 02 01 06  Ctrl+C\n") !=
                 std::string::npos,
             r.out.c_str());
    QCOMPARE(Joined(receiver.Writes()), Joined({"FC 00 00 00 00 00 00 00"}));

    // A computer without a Hangul font is told why Korean shows as boxes.
    QTemporaryFile noFonts;
    QVERIFY(noFonts.open() && noFonts.write("<fontconfig/>") > 0 && noFonts.flush());
    qputenv("FONTCONFIG_FILE", noFonts.fileName().toLocal8Bit());
    const std::string fontLine = Run({"diagnose"}).out;
    qunsetenv("FONTCONFIG_FILE");
    const bool canTell = !QStandardPaths::findExecutable("fc-list").isEmpty();
    QVERIFY2(fontLine.find(canTell ? "Hangul font: none, Korean texts show as boxes"
                                   : "Hangul font: cannot tell") != std::string::npos,
             fontLine.c_str());
}

void TestCtlScripted::DescriptorUsagePages_data()
{
    QTest::addColumn<QByteArray>("descriptor");
    QTest::addColumn<int>("page");
    QTest::newRow("vendor-defined") << QByteArray::fromHex("0600ff0901a101") << 0xFF00;
    QTest::newRow("keyboard") << QByteArray::fromHex("05010906a101") << 0x01;
    QTest::newRow("four data bytes") << QByteArray::fromHex("0700ff0000") << 0xFF00;
    QTest::newRow("after a long item") << QByteArray::fromHex("fe0210aabb050c") << 0x0C;
    QTest::newRow("after a local item") << QByteArray::fromHex("0901050c") << 0x0C;
    QTest::newRow("cut short") << QByteArray::fromHex("0600") << -1;
    QTest::newRow("long item cut short") << QByteArray::fromHex("fe") << -1;
    QTest::newRow("empty") << QByteArray() << -1;
}

void TestCtlScripted::DescriptorUsagePages()
{
    QFETCH(QByteArray, descriptor);
    QFETCH(int, page);
    const std::vector<unsigned char> bytes(descriptor.begin(), descriptor.end());
    QCOMPARE(ReportDescriptorUsagePage(bytes), long(page));
}

void TestCtlScripted::KeyboardReportsPressKeys_data()
{
    QTest::addColumn<QByteArray>("descriptor");
    QTest::addColumn<QString>("reports"); // hex, comma-separated
    QTest::addColumn<QString>("pressed"); // "-": no keyboard collection
    const QByteArray boot = QByteArray::fromHex(
        "05010906a101050719e029e7150025017501950881029501750881019506750815002565050719002965810"
        "0c0");
    QTest::newRow("boot keyboard, two keys in one report, held and let go")
        << boot << "0100515200000000,0100515200000000,0000000000000000,0000510000000000"
        << "Ctrl+Down|Ctrl+Up|Down";
    QTest::newRow("too many keys (rollover) is no press")
        << boot << "0000010101010101,0000003e00000000"
        << "F5";
    QTest::newRow("right-hand modifiers are the table's") << boot << "3000280000000000"
                                                          << "Shift+Ctrl+Enter";
    // One bit per key (usages 0 to 0x67), after a mouse collection with ID 1.
    QTest::newRow("bitmap keyboard behind a mouse")
        << QByteArray::fromHex("05010902a10185017508950109308102c0"
                               "05010906a1018502050719e029e7150025017501950881021900296795687501"
                               "8102c0")
        << "01ff,020400000000000000400000000000,020000000000000000000000000000"
        << "Alt+F5";
    QTest::newRow("logical maximum written as 25 FF")
        << QByteArray::fromHex("05010906a1010507150025ff19002aff00750895068100c0")
        << "00000000004e00"
        << "Page Down";
    QTest::newRow("report size and count beyond any keyboard")
        << QByteArray::fromHex("05010906a1010507752097ffffff7f190029658100c0") << ""
        << "-";
    QTest::newRow("cut short") << boot.left(20) << ""
                               << "-";
    QTest::newRow("vendor only") << QByteArray::fromHex("0600ff0901a1010901150026ff007508950881"
                                                        "02c0")
                                 << ""
                                 << "-";
}

void TestCtlScripted::KeyboardReportsPressKeys()
{
    QFETCH(QByteArray, descriptor);
    QFETCH(QString, reports);
    QFETCH(QString, pressed);
    const KeyboardLayout layout =
        ParseKeyboardLayout(std::vector<unsigned char>(descriptor.begin(), descriptor.end()));
    QCOMPARE(layout.found, pressed != QLatin1String("-"));
    KeyPresses presses;
    QStringList names;
    for (const QString& hex : reports.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QByteArray report = QByteArray::fromHex(hex.toLatin1());
        KeyboardState state;
        if (!DecodeKeyboardReport(layout, reinterpret_cast<const unsigned char*>(report.data()),
                                  static_cast<std::size_t>(report.size()), state))
            continue;
        for (const KeyAssignment& key : presses.Next(state))
            names << QString::fromStdString(AssignmentText(key));
    }
    if (layout.found)
        QCOMPARE(names.join(QLatin1Char('|')), pressed);
}

QTEST_APPLESS_MAIN(TestCtlScripted)
#include "tst_scripted.moc"
