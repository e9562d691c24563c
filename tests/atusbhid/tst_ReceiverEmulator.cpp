// The receiver emulator's protocol and the simulator's state file format.
#include "ReceiverEmulator.h"
#include "SimulatorState.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fstream>

namespace {

Report R(std::initializer_list<int> bytes)
{
    Report r{};
    int i = 0;
    for (int b : bytes)
        r[i++] = static_cast<std::uint8_t>(b);
    return r;
}

std::vector<Report> Drain(ReceiverEmulator& e)
{
    std::vector<Report> out;
    while (auto a = e.NextAnswer())
        out.push_back(*a);
    return out;
}

KeyTable ReadBack(ReceiverEmulator& e)
{
    e.HandleRequest(R({0xFC}));
    KeyTable t;
    for (const Report& a : Drain(e))
        t.push_back({a[3], a[4]});
    return t;
}

} // namespace

class ReceiverEmulatorTest : public QObject
{
    Q_OBJECT

private slots:
    void modelsBelongToTheirFamilies();
    void factoryTablesAreTheSlotTables_data();
    void factoryTablesAreTheSlotTables();
    void readRequestQueuesOneAnswerPerEntry();
    void newReadRequestStartsTheTableOver();
    void writesAreStagedUntilCommitted();
    void commitWithNothingStagedKeepsTheTable();
    void factoryResetRestoresTheFamilyTable();
    void badRequestsChangeNothing_data();
    void badRequestsChangeNothing();
    void answerSizeFault();
    void stateRoundTrips();
    void unsoundStateStartsFromTheFactoryTable_data();
    void unsoundStateStartsFromTheFactoryTable();
    void stateFileMissingOrUnreadable();
};

void ReceiverEmulatorTest::modelsBelongToTheirFamilies()
{
    QCOMPARE(ReceiverModels().size(), std::size_t(8));
    QCOMPARE(FamilyOfModel("LT-61"), ReceiverFamily::TwoKey);
    QCOMPARE(FamilyOfModel("LT-61P"), ReceiverFamily::Lt);
    QCOMPARE(FamilyOfModel("LT-65"), ReceiverFamily::Lt);
    QCOMPARE(FamilyOfModel("RV-80"), ReceiverFamily::Rv);
    QCOMPARE(FamilyOfModel("RV-80G"), ReceiverFamily::Rv);
    QCOMPARE(FamilyOfModel("QN-70 Vela"), ReceiverFamily::Qn);
    QCOMPARE(FamilyOfModel("QN-95 Vela"), ReceiverFamily::Qn);
    QCOMPARE(FamilyOfModel("QN-90"), ReceiverFamily::Qn);
    // Model texts are compared exactly.
    QVERIFY(!FamilyOfModel("qn-90"));
    QVERIFY(!FamilyOfModel("QN-70"));
    QVERIFY(!FamilyOfModel(""));
}

void ReceiverEmulatorTest::factoryTablesAreTheSlotTables_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<QByteArray>("expected"); // modifier, key code per slot
    QTest::newRow("two-key") << int(ReceiverFamily::TwoKey) << QByteArray("\x00\x4B\x00\x4E", 4);
    QTest::newRow("QN") << int(ReceiverFamily::Qn)
                        << QByteArray("\x00\x3E\x00\x29\x04\x2B\x00\x4B\x00\x4E", 10);
    QTest::newRow("LT") << int(ReceiverFamily::Lt)
                        << QByteArray("\x00\x4B\x00\x4E\x00\x37\x00\x3E\x00\x29", 10);
    QTest::newRow("RV") << int(ReceiverFamily::Rv)
                        << QByteArray("\x00\x37\x00\x51\x00\x52\x00\x3E\x00\x29\x00\x4B\x00\x4E",
                                      14);
}

void ReceiverEmulatorTest::factoryTablesAreTheSlotTables()
{
    QFETCH(int, family);
    QFETCH(QByteArray, expected);
    ReceiverEmulator e(static_cast<ReceiverFamily>(family));
    QCOMPARE(e.TableSize(), expected.size() / 2);
    QByteArray got;
    for (const KeyEntry& k : e.Table())
        got.append(char(k.modifier)).append(char(k.keyCode));
    QCOMPARE(got, expected);
}

void ReceiverEmulatorTest::readRequestQueuesOneAnswerPerEntry()
{
    ReceiverEmulator e(ReceiverFamily::Qn);
    QVERIFY(!e.NextAnswer());
    QVERIFY(e.HandleRequest(R({0xFC})));
    QCOMPARE(e.PendingAnswers(), std::size_t(5));
    QCOMPARE(*e.NextAnswer(), R({5, 1, 0x3E, 0x00, 0x3E, 0xAA, 0, 0}));
    QCOMPARE(*e.NextAnswer(), R({5, 2, 0x29, 0x00, 0x29, 0xAA, 0, 0}));
    QCOMPARE(*e.NextAnswer(), R({5, 3, 0x2B, 0x04, 0x2B, 0xAA, 0, 0}));
    QCOMPARE(e.PendingAnswers(), std::size_t(2));
    Drain(e);
    QVERIFY(!e.NextAnswer());
}

void ReceiverEmulatorTest::newReadRequestStartsTheTableOver()
{
    // Answers left over from an abandoned load must not be taken for the
    // next table.
    ReceiverEmulator e(ReceiverFamily::TwoKey);
    e.HandleRequest(R({0xFC}));
    e.NextAnswer();
    e.HandleRequest(R({0xFC}));
    const auto answers = Drain(e);
    QCOMPARE(answers.size(), std::size_t(2));
    QCOMPARE(answers[0][1], std::uint8_t(1));
    QCOMPARE(answers[1][1], std::uint8_t(2));
}

void ReceiverEmulatorTest::writesAreStagedUntilCommitted()
{
    ReceiverEmulator e(ReceiverFamily::Rv);
    QVERIFY(e.HandleRequest(R({0xFF, 7, 2, 0x51, 0x02, 0x51})));
    QVERIFY(e.HandleRequest(R({0xFF, 7, 7, 0x4E, 0x01, 0x06})));
    QCOMPARE(e.StagedEntries(), std::size_t(2));
    QCOMPARE(ReadBack(e), FactoryTable(ReceiverFamily::Rv));

    QVERIFY(e.HandleRequest(R({0xFE})));
    KeyTable expected = FactoryTable(ReceiverFamily::Rv);
    expected[1] = {0x02, 0x51};
    expected[6] = {0x01, 0x06};
    QCOMPARE(e.Table(), expected);
    QCOMPARE(ReadBack(e), expected);
    QCOMPARE(e.StagedEntries(), std::size_t(0));

    // A slot written twice keeps the later key; an empty key is a key too.
    e.HandleRequest(R({0xFF, 7, 1, 0x37, 0x01, 0x04}));
    e.HandleRequest(R({0xFF, 7, 1, 0x37, 0x00, 0x00}));
    e.HandleRequest(R({0xFE}));
    QCOMPARE(e.Table()[0], (KeyEntry{0, 0}));
}

void ReceiverEmulatorTest::commitWithNothingStagedKeepsTheTable()
{
    ReceiverEmulator e(ReceiverFamily::TwoKey);
    e.HandleRequest(R({0xFF, 2, 1, 0x4B, 0x00, 0x05}));
    e.HandleRequest(R({0xFE}));
    const KeyTable before = e.Table();
    QVERIFY(e.HandleRequest(R({0xFE})));
    QCOMPARE(e.Table(), before);
}

void ReceiverEmulatorTest::factoryResetRestoresTheFamilyTable()
{
    ReceiverEmulator e(ReceiverFamily::Lt);
    e.HandleRequest(R({0xFF, 5, 3, 0x37, 0x08, 0x07}));
    e.HandleRequest(R({0xFE}));
    e.HandleRequest(R({0xFF, 5, 4, 0x3E, 0x00, 0x3F}));
    QVERIFY(e.Table() != FactoryTable(ReceiverFamily::Lt));
    QVERIFY(e.HandleRequest(R({})));
    QCOMPARE(e.Table(), FactoryTable(ReceiverFamily::Lt));
    // What was staged before the reset is gone with it.
    e.HandleRequest(R({0xFE}));
    QCOMPARE(e.Table(), FactoryTable(ReceiverFamily::Lt));
}

void ReceiverEmulatorTest::badRequestsChangeNothing_data()
{
    QTest::addColumn<QByteArray>("request");
    auto bytes = [](std::initializer_list<int> b) {
        QByteArray a;
        for (int x : b)
            a.append(char(x));
        return a;
    };
    QTest::newRow("unknown command") << bytes({0x42, 5, 1, 0x3E, 0, 4, 0, 0});
    QTest::newRow("another table size") << bytes({0xFF, 7, 1, 0x3E, 0, 4, 0, 0});
    QTest::newRow("slot 0") << bytes({0xFF, 5, 0, 0x3E, 0, 4, 0, 0});
    QTest::newRow("slot beyond the table") << bytes({0xFF, 5, 6, 0x3E, 0, 4, 0, 0});
    QTest::newRow("another slot's factory code") << bytes({0xFF, 5, 1, 0x29, 0, 4, 0, 0});
    QTest::newRow("reset with a stray byte") << bytes({0, 0, 0, 0, 0, 0, 0, 1});
    QTest::newRow("short write") << bytes({0xFF, 5, 1, 0x3E, 0, 4, 0});
    QTest::newRow("long write") << bytes({0xFF, 5, 1, 0x3E, 0, 4, 0, 0, 0});
    QTest::newRow("short reset") << bytes({0, 0, 0, 0});
    QTest::newRow("empty") << QByteArray();
}

void ReceiverEmulatorTest::badRequestsChangeNothing()
{
    QFETCH(QByteArray, request);
    ReceiverEmulator e(ReceiverFamily::Qn);
    e.HandleRequest(R({0xFF, 5, 2, 0x29, 0x01, 0x05})); // staged
    e.HandleRequest(R({0xFC}));
    e.NextAnswer();
    const KeyTable table = e.Table();
    const std::size_t staged = e.StagedEntries();
    const std::size_t pending = e.PendingAnswers();

    QVERIFY(!e.HandleRequest(reinterpret_cast<const std::uint8_t*>(request.constData()),
                             std::size_t(request.size())));
    QCOMPARE(e.Table(), table);
    QCOMPARE(e.StagedEntries(), staged);
    QCOMPARE(e.PendingAnswers(), pending);
    QVERIFY(!e.HandleRequest(nullptr, 8));
    // The staged entry is still the one that gets committed.
    e.HandleRequest(R({0xFE}));
    QCOMPARE(e.Table()[1], (KeyEntry{0x01, 0x05}));
}

void ReceiverEmulatorTest::answerSizeFault()
{
    ReceiverEmulator e(ReceiverFamily::TwoKey);
    e.SetAnswerSize(7);
    e.HandleRequest(R({0xFC}));
    auto answers = Drain(e);
    QCOMPARE(answers.size(), std::size_t(7));
    QCOMPARE(answers[1], R({7, 2, 0x4E, 0, 0x4E, 0xAA, 0, 0}));
    QCOMPARE(answers[6], R({7, 7, 0, 0, 0, 0xAA, 0, 0}));

    e.SetAnswerSize(0);
    e.HandleRequest(R({0xFC}));
    answers = Drain(e);
    QCOMPARE(answers.size(), std::size_t(1));
    QCOMPARE(answers[0], R({}));

    e.SetAnswerSize(-1);
    e.HandleRequest(R({0xFC}));
    QCOMPARE(Drain(e).size(), std::size_t(2));
    QVERIFY(!e.SetTable(KeyTable(5)));
}

void ReceiverEmulatorTest::stateRoundTrips()
{
    SimulatorState s;
    s.model = "QN-70 Vela";
    s.plugged = false;
    s.generation = 42;
    s.table = FactoryTable(ReceiverFamily::Qn);
    s.table[2] = {0x0F, 0xE7};
    s.silent = true;
    s.answerSize = 0;
    s.writesFail = true;
    SimulatorState back;
    std::string why;
    QVERIFY2(ParseState(FormatState(s), back, &why), why.c_str());
    QVERIFY(back == s);
}

void ReceiverEmulatorTest::unsoundStateStartsFromTheFactoryTable_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("plugged");
    QTest::newRow("table of another size") << "model=RV-80\nplugged=no\ntable=00:4B 00:4E\n"
                                           << "RV-80" << false;
    QTest::newRow("unknown model") << "model=QN-99\nplugged=yes\ntable=00:4B 00:4E\n"
                                   << "LT-61" << true;
    QTest::newRow("unreadable table")
        << "model=LT-65\ntable=00:4B zz:4E 00:37 00:3E 00:29\nfault.silent=yes\n"
        << "LT-65" << true;
    QTest::newRow("line noise") << "\x7f\x45LF garbage\n"
                                << "LT-61" << true;
    QTest::newRow("unknown setting") << "model=LT-61\ntable=00:4B 00:4E\ncolour=blue\n"
                                     << "LT-61" << true;
    QTest::newRow("no table") << "model=RV-80G\n"
                              << "RV-80G" << true;
    QTest::newRow("empty") << ""
                           << "LT-61" << true;
}

void ReceiverEmulatorTest::unsoundStateStartsFromTheFactoryTable()
{
    QFETCH(QString, text);
    QFETCH(QString, model);
    QFETCH(bool, plugged);
    SimulatorState s;
    std::string why;
    QVERIFY(!ParseState(text.toStdString(), s, &why));
    QVERIFY(!why.empty());
    QCOMPARE(QString::fromStdString(s.model), model);
    QCOMPARE(s.plugged, plugged);
    QCOMPARE(s.table, FactoryTable(*FamilyOfModel(s.model)));
    // Faults never survive a state that could not be read.
    QVERIFY(!s.silent && !s.writesFail && s.answerSize == -1);
}

void ReceiverEmulatorTest::stateFileMissingOrUnreadable()
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("state").toStdString();
    SimulatorState s;
    s.model = "RV-80";
    QCOMPARE(ReadStateFile(path, s), StateFile::Missing);
    QCOMPARE(s.model, std::string(SimulatorState::kDefaultModel));

    s.model = "LT-65";
    s.table = FactoryTable(ReceiverFamily::Lt);
    QVERIFY(WriteStateFile(path, s));
    SimulatorState back;
    QCOMPARE(ReadStateFile(path, back), StateFile::Ok);
    QVERIFY(back == s);

    std::ofstream(path, std::ios::binary) << std::string("model=LT-65\0\0\0", 15);
    QCOMPARE(ReadStateFile(path, back), StateFile::Corrupt);

    // Nowhere to write: a failure, not a crash, and no file left behind.
    QVERIFY(!WriteStateFile(dir.filePath("no/such/dir/state").toStdString(), s));
}

QTEST_GUILESS_MAIN(ReceiverEmulatorTest)
#include "tst_ReceiverEmulator.moc"
