// The receiver emulator's protocol and the simulator's state file format.
// Factory tables and answer-size faults are checked through the library in
// tst_SimulatedReceiver.
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
    void readRequestQueuesOneAnswerPerEntry()
    {
        ReceiverEmulator e(ReceiverFamily::Qn);
        QVERIFY(!e.NextAnswer());
        QVERIFY(e.HandleRequest(R({0xFC})));
        QCOMPARE(e.PendingAnswers(), std::size_t(5));
        QCOMPARE(*e.NextAnswer(), R({5, 1, 0x3E, 0x00, 0x3E, 0xAA, 0, 0}));
        QCOMPARE(*e.NextAnswer(), R({5, 2, 0x29, 0x00, 0x29, 0xAA, 0, 0}));
        QCOMPARE(*e.NextAnswer(), R({5, 3, 0x2B, 0x04, 0x2B, 0xAA, 0, 0}));

        // Answers left over from an abandoned load must not be taken for the
        // next table.
        e.HandleRequest(R({0xFC}));
        const auto answers = Drain(e);
        QCOMPARE(answers.size(), std::size_t(5));
        QCOMPARE(answers[0][1], std::uint8_t(1));
        QVERIFY(!e.NextAnswer());
    }

    void writesAreStagedUntilCommittedAndResetDropsThem()
    {
        ReceiverEmulator e(ReceiverFamily::Rv);
        QVERIFY(e.HandleRequest(R({0xFF, 7, 2, 0x51, 0x02, 0x51})));
        QVERIFY(e.HandleRequest(R({0xFF, 7, 7, 0x4E, 0x01, 0x06})));
        QCOMPARE(ReadBack(e), FactoryTable(ReceiverFamily::Rv));

        QVERIFY(e.HandleRequest(R({0xFE})));
        KeyTable expected = FactoryTable(ReceiverFamily::Rv);
        expected[1] = {0x02, 0x51};
        expected[6] = {0x01, 0x06};
        QCOMPARE(ReadBack(e), expected);
        // A commit with nothing staged keeps the table.
        QVERIFY(e.HandleRequest(R({0xFE})));
        QCOMPARE(e.Table(), expected);

        // A slot written twice keeps the later key; an empty key is a key too.
        e.HandleRequest(R({0xFF, 7, 1, 0x37, 0x01, 0x04}));
        e.HandleRequest(R({0xFF, 7, 1, 0x37, 0x00, 0x00}));
        e.HandleRequest(R({0xFE}));
        QCOMPARE(e.Table()[0], (KeyEntry{0, 0}));

        // What was staged before a factory reset is gone with it.
        e.HandleRequest(R({0xFF, 7, 4, 0x3E, 0x00, 0x3F}));
        QVERIFY(e.HandleRequest(R({})));
        QCOMPARE(e.Table(), FactoryTable(ReceiverFamily::Rv));
        e.HandleRequest(R({0xFE}));
        QCOMPARE(e.Table(), FactoryTable(ReceiverFamily::Rv));
    }

    void badRequestsChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("unknown command") << QByteArray::fromHex("4205013E00040000");
        QTest::newRow("another table size") << QByteArray::fromHex("FF07013E00040000");
        QTest::newRow("slot 0") << QByteArray::fromHex("FF05003E00040000");
        QTest::newRow("slot beyond the table") << QByteArray::fromHex("FF05063E00040000");
        QTest::newRow("another slot's factory code") << QByteArray::fromHex("FF05012900040000");
        QTest::newRow("reset with a stray byte") << QByteArray::fromHex("0000000000000001");
        QTest::newRow("short write") << QByteArray::fromHex("FF05013E000400");
        QTest::newRow("long write") << QByteArray::fromHex("FF05013E0004000000");
        QTest::newRow("short reset") << QByteArray::fromHex("00000000");
        QTest::newRow("empty") << QByteArray();
    }

    void badRequestsChangeNothing()
    {
        QFETCH(QByteArray, request);
        ReceiverEmulator e(ReceiverFamily::Qn);
        e.HandleRequest(R({0xFF, 5, 2, 0x29, 0x01, 0x05})); // staged
        e.HandleRequest(R({0xFC}));
        e.NextAnswer();
        const KeyTable table = e.Table();

        QVERIFY(!e.HandleRequest(reinterpret_cast<const std::uint8_t*>(request.constData()),
                                 std::size_t(request.size())));
        QVERIFY(!e.HandleRequest(nullptr, 8));
        QCOMPARE(e.Table(), table);
        QCOMPARE(e.StagedEntries(), std::size_t(1));
        QCOMPARE(e.PendingAnswers(), std::size_t(4));
        e.HandleRequest(R({0xFE}));
        QCOMPARE(e.Table()[1], (KeyEntry{0x01, 0x05}));
    }

    void unsoundStateStartsFromTheFactoryTable_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("plugged");
        QTest::newRow("table of another size") << "model=RV-80\nplugged=no\ntable=00:4B 00:4E\n"
                                               << "RV-80" << false;
        QTest::newRow("model in another case") << "model=qn-90\nplugged=yes\ntable=00:4B 00:4E\n"
                                               << "LT-61" << true;
        QTest::newRow("unreadable table")
            << "model=LT-65\ntable=00:4B zz:4E 00:37 00:3E 00:29\nfault.silent=yes\n"
            << "LT-65" << true;
        QTest::newRow("line noise") << "\x7f\x45LF garbage\n"
                                    << "LT-61" << true;
        QTest::newRow("unknown setting") << "model=LT-61\ntable=00:4B 00:4E\ncolour=blue\n"
                                         << "LT-61" << true;
    }

    void unsoundStateStartsFromTheFactoryTable()
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
        QVERIFY(!s.silent && !s.writesFail && s.answerSize == -1 && !s.keepTable &&
                !s.accessDenied);
    }

    void stateFileRoundTripsAndFailsSafely()
    {
        QTemporaryDir dir;
        const std::string path = dir.filePath("state").toStdString();
        SimulatorState s;
        s.model = "RV-80";
        QCOMPARE(ReadStateFile(path, s), StateFile::Missing);
        QCOMPARE(s.model, std::string(SimulatorState::kDefaultModel));

        s.model = "QN-70 Vela";
        s.plugged = false;
        s.generation = 42;
        s.table = FactoryTable(ReceiverFamily::Qn);
        s.table[2] = {0x0F, 0xE7};
        s.silent = true;
        s.answerSize = 0;
        s.writesFail = true;
        s.keepTable = true;
        s.accessDenied = true;
        QVERIFY(WriteStateFile(path, s));
        SimulatorState back;
        QCOMPARE(ReadStateFile(path, back), StateFile::Ok);
        QVERIFY(back == s);

        std::ofstream(path, std::ios::binary) << std::string("model=LT-65\0\0\0", 15);
        QCOMPARE(ReadStateFile(path, back), StateFile::Corrupt);
        // Nowhere to write: a failure, not a crash.
        QVERIFY(!WriteStateFile(dir.filePath("no/such/dir/state").toStdString(), s));
    }
};

QTEST_GUILESS_MAIN(ReceiverEmulatorTest)
#include "tst_ReceiverEmulator.moc"
