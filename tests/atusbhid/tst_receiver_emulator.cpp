// The receiver emulator's protocol and the simulator's state file format.
// Factory tables and answer-size faults are checked through the library in
// tst_SimulatedReceiver.
#include "ReceiverEmulator.h"
#include "SimulatorState.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>
#include <future>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs f on a thread of its own; false when it is still running after
// `ms` (it is then left behind, blocked, rather than hanging the test).
bool FinishesWithin(int ms, std::function<void()> f)
{
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread([f, done] {
        f();
        done->set_value();
    }).detach();
    return finished.wait_for(std::chrono::milliseconds(ms)) == std::future_status::ready;
}

const std::string kSound = "model=RV-80\nplugged=yes\ngeneration=3\n"
                           "table=00:37 00:51 00:52 00:3E 00:29 00:4B 01:04\nend\n";

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
        QTest::newRow("cut short in the table")
            << "model=RV-80\nplugged=no\ntable=00:37 00:51 00:52 00:3E 00:29 00:4B 01:0"
            << "RV-80" << false;
        QTest::newRow("cut short after a line") << "model=LT-61\nplugged=no\ntable=00:4B 00:4E\n"
                                                << "LT-61" << false;
        QTest::newRow("one hex digit") << "model=LT-61\ntable=00:4B 0:4E\nend\n"
                                       << "LT-61" << true;
        QTest::newRow("signed byte") << "model=LT-61\ntable=00:4B +1:4E\nend\n"
                                     << "LT-61" << true;
        QTest::newRow("generation past the top")
            << "model=LT-61\nplugged=no\ngeneration=2147483648\ntable=00:4B 00:4E\nend\n"
            << "LT-61" << false;
        QTest::newRow("content after the end")
            << "model=LT-61\ntable=00:4B 00:4E\nend\nfault.silent=yes\n"
            << "LT-61" << true;
    }

    void unsoundStateStartsFromTheFactoryTable()
    {
        QFETCH(QString, text);
        QFETCH(QString, model);
        QFETCH(bool, plugged);
        SimulatorState s;
        std::string why;
        QVERIFY(!ParseState(text.toLatin1().toStdString(), s, &why));
        QVERIFY(!why.empty());
        QCOMPARE(QString::fromStdString(s.model), model);
        QCOMPARE(s.plugged, plugged);
        QCOMPARE(s.table, FactoryTable(*FamilyOfModel(s.model)));
        // Faults never survive a state that could not be read.
        QVERIFY(!s.silent && !s.writesFail && s.answerSize == -1 && !s.keepTable &&
                !s.accessDenied);
    }

    void unknownLinesAreSkippedNotFatal_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("warning");
        QTest::newRow("unknown setting") << QByteArray("colour=blue\n") << "colour";
        QTest::newRow("stray line") << QByteArray("hello\n") << "hello";
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF") << "";
    }

    void unknownLinesAreSkippedNotFatal()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, warning);
        const std::string full =
            text.startsWith('\xEF') ? text.toStdString() + kSound
                                    : kSound.substr(0, 12) + text.toStdString() + kSound.substr(12);
        SimulatorState s;
        std::string why, warnings;
        QVERIFY2(ParseState(full, s, &why, &warnings), why.c_str());
        QCOMPARE(s.table[6], (KeyEntry{0x01, 0x04}));
        QCOMPARE(QString::fromStdString(warnings).contains(warning), true);
        QCOMPARE(warnings.empty(), warning.isEmpty());
    }

    void generationWrapsInsteadOfOverflowing()
    {
        QCOMPARE(NextGeneration(SimulatorState::kMaxGeneration), 1u);
        QCOMPARE(NextGeneration(41), 42u);
        SimulatorState s, back;
        s.generation = SimulatorState::kMaxGeneration;
        QVERIFY(ParseState(FormatState(s), back));
        QCOMPARE(back.generation, SimulatorState::kMaxGeneration);
    }

    // Whatever the file holds, the parser neither crashes nor accepts a
    // state it cannot stand behind; every cut-short copy is refused.
    void parserSurvivesArbitraryContent()
    {
        SimulatorState sound;
        QVERIFY(ParseState(kSound, sound));
        for (std::size_t cut = 0; cut + 1 < kSound.size(); ++cut) {
            SimulatorState s;
            QVERIFY2(!ParseState(kSound.substr(0, cut), s), kSound.substr(0, cut).c_str());
        }
        std::mt19937 random(20261208);
        const std::string alphabet = "0123456789ABCDEFabcdef:=# \n\r\t-+xyzendmodeltableplugged";
        for (int round = 0; round < 20000; ++round) {
            std::string text = kSound;
            const int edits = 1 + int(random() % 4);
            for (int e = 0; e < edits; ++e) {
                const std::size_t at = random() % (text.size() + 1);
                switch (random() % 4) {
                case 0:
                    if (at < text.size())
                        text[at] = alphabet[random() % alphabet.size()];
                    break;
                case 1:
                    text.insert(at, 1, char(random() % 256));
                    break;
                case 2:
                    text.erase(at, 1 + random() % 8);
                    break;
                default:
                    text.insert(at, text.substr(random() % text.size(), random() % 16));
                }
            }
            SimulatorState s;
            const bool ok = ParseState(text, s);
            QCOMPARE(s.table.size(), FactoryTable(s.Family()).size());
            if (!ok)
                continue;
            // Accepted means it says the same when written out again.
            SimulatorState again;
            QVERIFY2(ParseState(FormatState(s), again) && again == s, text.c_str());
        }
    }

    void stateFileRoundTripsAndFailsSafely()
    {
        QTemporaryDir dir;
        const std::string path = dir.filePath("state").toStdString();
        SimulatorState s;
        s.model = "RV-80";
        QCOMPARE(ReadStateFile(path, s).result, StateFile::Missing);
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
        QCOMPARE(ReadStateFile(path, back).result, StateFile::Ok);
        QVERIFY(back == s);

        std::ofstream(path, std::ios::binary) << std::string("model=LT-65\0\0\0", 15);
        QCOMPARE(ReadStateFile(path, back).result, StateFile::Corrupt);
        // Nowhere to write: a failure, not a crash.
        QVERIFY(!WriteStateFile(dir.filePath("no/such/dir/state").toStdString(), s));
    }

    // Links planted for the names a writer might use for its temporary file
    // or its copy of a bad file never make it write through them.
    void writesNeverFollowPlantedLinks()
    {
        QTemporaryDir dir;
        const std::string path = dir.filePath("state").toStdString();
        const std::string victim = dir.filePath("victim").toStdString();
        std::ofstream(victim) << "precious\n";
        for (const std::string& name :
             {path + ".tmp." + std::to_string(getpid()), path + ".bad", path + ".lock"})
            QCOMPARE(symlink(victim.c_str(), name.c_str()), 0);
        std::ofstream(path) << "model=LT-65\ntable=00:4B 0";
        SimulatorState s;
        const StateUpdate update = UpdateStateFile(path, [](SimulatorState&) { return false; });
        // The lock file is a link: nothing is written at all.
        QCOMPARE(update.outcome, StateUpdate::Failed);
        QVERIFY2(update.error.find("lock") != std::string::npos, update.error.c_str());
        QCOMPARE(unlink((path + ".lock").c_str()), 0);
        QCOMPARE(UpdateStateFile(path, [](SimulatorState&) { return false; }).outcome,
                 StateUpdate::Written);
        QVERIFY(WriteStateFile(path, s));
        QCOMPARE(Slurp(victim), std::string("precious\n"));
        QCOMPARE(Slurp(path + ".bad"), std::string("model=LT-65\ntable=00:4B 0"));
        QCOMPARE(ReadStateFile(path, s).result, StateFile::Ok);
        struct stat st
        {};
        QCOMPARE(lstat(path.c_str(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);
    }

    // Anything but a regular file of ours at the state path is refused at
    // once: nothing blocks, nothing is read from it or written over it.
    void onlyARegularFileOfOursIsAState_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("directory") << "directory";
        QTest::newRow("link to a device") << "device";
        QTest::newRow("link to a state") << "link";
        QTest::newRow("another user's file") << "foreign";
    }

    void onlyARegularFileOfOursIsAState()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const std::string path = dir.filePath("state").toStdString();
        const std::string other = dir.filePath("other").toStdString();
        if (kind == "fifo")
            QCOMPARE(mkfifo(path.c_str(), 0600), 0);
        else if (kind == "directory")
            QCOMPARE(mkdir(path.c_str(), 0700), 0);
        else if (kind == "device")
            QCOMPARE(symlink("/dev/zero", path.c_str()), 0);
        else if (kind == "link") {
            std::ofstream(other) << kSound;
            QCOMPARE(symlink(other.c_str(), path.c_str()), 0);
        } else {
            if (geteuid() != 0)
                QSKIP("needs root to give a file to another user");
            std::ofstream(path) << kSound;
            QCOMPARE(chown(path.c_str(), 65534, 65534), 0);
        }
        StateFileRead read;
        QVERIFY(FinishesWithin(2000, [&] {
            SimulatorState s;
            read = ReadStateFile(path, s);
        }));
        QCOMPARE(read.result, StateFile::Unusable);
        QVERIFY(!read.why.empty());
        StateUpdate update;
        QVERIFY(FinishesWithin(
            2000, [&] { update = UpdateStateFile(path, [](SimulatorState&) { return true; }); }));
        QCOMPARE(update.outcome, StateUpdate::Failed);
    }

    // Without a runtime directory the file goes into a directory private to
    // this user, never one somebody else prepared.
    void fallbackDirectoryMustBePrivate_data()
    {
        QTest::addColumn<QString>("prepared");
        QTest::addColumn<bool>("usable");
        QTest::newRow("none yet") << "" << true;
        QTest::newRow("private") << "0700" << true;
        QTest::newRow("open to all") << "0777" << false;
        QTest::newRow("a link to ours") << "link" << false;
        QTest::newRow("a file") << "file" << false;
        QTest::newRow("another user's") << "foreign" << false;
    }

    void fallbackDirectoryMustBePrivate()
    {
        QFETCH(QString, prepared);
        QFETCH(bool, usable);
        QTemporaryDir tmp;
        const QString dir = tmp.filePath(QString("tavrolin-simulator-%1").arg(geteuid()));
        const std::string d = dir.toStdString();
        if (prepared == "0700" || prepared == "0777" || prepared == "foreign") {
            QCOMPARE(mkdir(d.c_str(), 0700), 0);
            QCOMPARE(chmod(d.c_str(), prepared == "0777" ? 0777 : 0700), 0);
        } else if (prepared == "link") {
            QVERIFY(QDir(tmp.path()).mkdir("mine"));
            QCOMPARE(symlink(tmp.filePath("mine").toUtf8().constData(), d.c_str()), 0);
        } else if (prepared == "file") {
            std::ofstream(d) << "x";
        }
        if (prepared == "foreign") {
            if (geteuid() != 0)
                QSKIP("needs root to give a directory to another user");
            QCOMPARE(chown(d.c_str(), 65534, 65534), 0);
        }
        const QByteArray saved[3] = {qgetenv("TAVROLIN_SIMULATOR_STATE"),
                                     qgetenv("XDG_RUNTIME_DIR"), qgetenv("TMPDIR")};
        qunsetenv("TAVROLIN_SIMULATOR_STATE");
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", tmp.path().toUtf8());
        std::string error;
        const std::string path = SimulatorStatePath(&error);
        qputenv("TAVROLIN_SIMULATOR_STATE", saved[0]);
        qputenv("XDG_RUNTIME_DIR", saved[1]);
        qputenv("TMPDIR", saved[2]);
        if (!usable) {
            QVERIFY2(path.empty(), path.c_str());
            QVERIFY2(error.find("TAVROLIN_SIMULATOR_STATE") != std::string::npos, error.c_str());
            return;
        }
        QCOMPARE(QString::fromStdString(path), dir + "/state");
        struct stat st
        {};
        QCOMPARE(lstat(d.c_str(), &st), 0);
        QVERIFY(S_ISDIR(st.st_mode));
        QCOMPARE(st.st_mode & 0777, 0700u);
    }
};

QTEST_GUILESS_MAIN(ReceiverEmulatorTest)
#include "tst_receiver_emulator.moc"
