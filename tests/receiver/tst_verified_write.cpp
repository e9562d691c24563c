// Write, commit and read back against the scripted library: which answers
// confirm a table, and that nothing is committed after a failed request or
// twice for one write.
#include "ReceiverLink.h"
#include "ScriptedControl.h"
#include "VerifiedWrite.h"

#include <QtTest>

#include <cstdio>

using Result = VerifiedWrite::Result;
using Answers = std::vector<std::array<unsigned char, 8>>;
using Strings = std::vector<std::string>;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(Answers)
Q_DECLARE_METATYPE(Result)

namespace {

const std::string kCommit = "FE 00 00 00 00 00 00 00";
const std::string kRead = "FC 00 00 00 00 00 00 00";

// Three slots: Ctrl+A, no key, Shift+C; factory codes 0x4B, 0x4E, 0x37.
KeyTableWrite Table()
{
    KeyTableWrite t;
    t.tableSize = 3;
    t.factoryKeyCodes = {0x4B, 0x4E, 0x37};
    t.modifiers = {0x01, 0x00, 0x02};
    t.keyCodes = {0x04, 0x00, 0x06};
    return t;
}

std::array<unsigned char, 8> Answer(int size, int position, int modifier, int key)
{
    return {static_cast<unsigned char>(size),
            static_cast<unsigned char>(position),
            0,
            static_cast<unsigned char>(modifier),
            static_cast<unsigned char>(key),
            0xAA,
            0,
            0};
}

// What a receiver that kept Table() answers.
Answers Kept()
{
    return {Answer(3, 1, 0x01, 0x04), Answer(3, 2, 0, 0), Answer(3, 3, 0x02, 0x06)};
}

Strings WritesOf(const KeyTableWrite& t)
{
    Strings out;
    for (int s = 1; s <= t.tableSize; ++s) {
        char text[32];
        std::snprintf(text, sizeof text, "FF %02X %02X %02X %02X %02X 00 00", t.tableSize, s,
                      t.factoryKeyCodes[s - 1], t.modifiers[s - 1], t.keyCodes[s - 1]);
        out.push_back(text);
    }
    return out;
}

} // namespace

class VerifiedWriteTest : public QObject
{
    Q_OBJECT

    ScriptedReceiver script;
    ReceiverLink link;
    int window = 0;

private slots:
    void initTestCase()
    {
        QVERIFY(script.IsLoaded());
        QCOMPARE(link.Open(0x0EBC, 0x2501, &window), 1);
        QVERIFY(link.IsConnected());
    }
    // Answers left over from a row must not reach the next one.
    void init() { script.Reset(); }

    // Only the exact table, every position once and at the family's size,
    // confirms the write; anything else that ends the read-back is NotKept.
    void onlyTheExactTableConfirms_data()
    {
        QTest::addColumn<Answers>("answers");
        QTest::addColumn<Result>("expected");
        QTest::newRow("kept") << Kept() << Result::Verified;
        QTest::newRow("old key in slot 3")
            << Answers{Answer(3, 1, 1, 4), Answer(3, 2, 0, 0), Answer(3, 3, 0, 0x37)}
            << Result::NotKept;
        QTest::newRow("other modifier")
            << Answers{Answer(3, 1, 0, 4), Answer(3, 2, 0, 0), Answer(3, 3, 2, 6)}
            << Result::NotKept;
        QTest::newRow("no table") << Answers{Answer(0, 0, 0, 0)} << Result::NotKept;
        // Slot 2 holds no key, which an answer that never came would also show.
        QTest::newRow("position 2 missing")
            << Answers{Answer(3, 1, 1, 4), Answer(3, 3, 2, 6)} << Result::NotKept;
        QTest::newRow("position 1 twice, 2 missing")
            << Answers{Answer(3, 1, 1, 4), Answer(3, 1, 1, 4), Answer(3, 3, 2, 6)}
            << Result::NotKept;
        QTest::newRow("position 0 first") << Answers{Answer(3, 0, 1, 4), Answer(3, 1, 1, 4),
                                                     Answer(3, 2, 0, 0), Answer(3, 3, 2, 6)}
                                          << Result::NotKept;
        QTest::newRow("a larger table with the same first slots")
            << Answers{Answer(4, 1, 1, 4), Answer(4, 2, 0, 0), Answer(4, 3, 2, 6),
                       Answer(4, 4, 0, 0)}
            << Result::NotKept;
        QTest::newRow("a size-11 answer in between")
            << Answers{Answer(3, 1, 1, 4), Answer(11, 2, 0, 0), Answer(3, 2, 0, 0),
                       Answer(3, 3, 2, 6)}
            << Result::NotKept;
        QTest::newRow("sizes change midway")
            << Answers{Answer(7, 1, 1, 4), Answer(3, 2, 0, 0), Answer(3, 3, 2, 6)}
            << Result::NotKept;
    }
    void onlyTheExactTableConfirms()
    {
        QFETCH(Answers, answers);
        QFETCH(Result, expected);
        for (const auto& a : answers)
            script.QueueAnswer(a);
        const auto t0 = VerifiedWrite::Clock::now();
        VerifiedWrite write;

        QCOMPARE(write.Start(link, Table(), t0), Result::Pending);
        Strings sent = WritesOf(Table());
        sent.push_back(kCommit);
        sent.push_back(kRead);
        QCOMPARE(script.Writes(), sent);
        // One look for answers left over, before the read request.
        QCOMPARE(script.CountOf("readData"), 1);
        // Every answer already waiting is taken in one step.
        QCOMPARE(write.Step(link, t0), expected);
        QCOMPARE(script.CountOf("readData"), 1 + int(answers.size()));
        QVERIFY(write.AnyAnswer());
        QCOMPARE(write.ReadBack().receivedSize, int(answers.back()[0]));
        // Later steps and starts change nothing and send nothing.
        QCOMPARE(write.Step(link, t0 + 5s), expected);
        QCOMPARE(int(script.Writes().size()), int(sent.size()));
    }

    // Answers that trickle in are collected across steps; a table that is
    // not complete by the deadline is NoAnswer, whatever did arrive.
    void waitsUntilTheDeadline_data()
    {
        QTest::addColumn<int>("answersBeforeDeadline");
        QTest::addColumn<Result>("expected");
        QTest::newRow("silent") << 0 << Result::NoAnswer;
        QTest::newRow("two of three") << 2 << Result::NoAnswer;
        QTest::newRow("all three") << 3 << Result::Verified;
    }
    void waitsUntilTheDeadline()
    {
        QFETCH(int, answersBeforeDeadline);
        QFETCH(Result, expected);
        const auto t0 = VerifiedWrite::Clock::now();
        VerifiedWrite write(100ms);
        QCOMPARE(write.Start(link, Table(), t0), Result::Pending);
        const Answers kept = Kept();
        for (int i = 0; i < answersBeforeDeadline; ++i) {
            QCOMPARE(write.Step(link, t0 + 10ms * i), Result::Pending);
            script.QueueWaiting(kept[i]);
        }
        QCOMPARE(write.Step(link, t0 + 100ms), expected);
        if (expected == Result::NoAnswer) {
            // Too late: the answer is not taken as a confirmation any more.
            script.QueueWaiting(kept[2]);
            QCOMPARE(write.Step(link, t0 + 110ms), Result::NoAnswer);
            QCOMPARE(write.AnyAnswer(), answersBeforeDeadline > 0);
        }
    }

    // An empty table commits without reading back; a failed request ends the
    // write there, and a failed key is never followed by a commit.
    void endsWithoutReadingBack_data()
    {
        QTest::addColumn<int>("tableSize");
        QTest::addColumn<bool>("empty");
        QTest::addColumn<int>("writesThatSucceed");
        QTest::addColumn<Result>("expected");
        QTest::addColumn<int>("sent");
        QTest::newRow("empty table") << 3 << true << -1 << Result::CommittedOnly << 1;
        QTest::newRow("empty table, commit fails") << 3 << true << 0 << Result::NotSent << 1;
        QTest::newRow("second key fails") << 3 << false << 1 << Result::NotSent << 2;
        QTest::newRow("commit fails") << 3 << false << 3 << Result::NotSent << 4;
        QTest::newRow("read request fails") << 3 << false << 4 << Result::NoAnswer << 5;
        QTest::newRow("size 0") << 0 << false << -1 << Result::InvalidTable << 0;
        QTest::newRow("size 11") << 11 << false << -1 << Result::InvalidTable << 0;
    }
    void endsWithoutReadingBack()
    {
        QFETCH(int, tableSize);
        QFETCH(bool, empty);
        QFETCH(int, writesThatSucceed);
        QFETCH(Result, expected);
        QFETCH(int, sent);
        KeyTableWrite table = Table();
        table.tableSize = tableSize;
        if (empty)
            table.keyCodes = {};
        script.FailWritesAfter(writesThatSucceed);
        for (const auto& a : Kept())
            script.QueueAnswer(a);

        VerifiedWrite write;
        QCOMPARE(write.Start(link, table, VerifiedWrite::Clock::now()), expected);
        QCOMPARE(write.Step(link, VerifiedWrite::Clock::now()), expected);
        QCOMPARE(int(script.Writes().size()), sent);
        // Only a read request is preceded by a look for answers left over.
        QCOMPARE(script.CountOf("readData"), writesThatSucceed == 4 ? 1 : 0);
        if (expected == Result::NotSent && !empty)
            QCOMPARE(script.CountOf("writeData " + kCommit), int(writesThatSucceed == 3));
    }

    void aSecondStartWhilePendingSendsNothing()
    {
        VerifiedWrite write;
        const auto t0 = VerifiedWrite::Clock::now();
        QCOMPARE(write.Start(link, Table(), t0), Result::Pending);
        const auto sent = script.Writes();
        QCOMPARE(write.Start(link, Table(), t0), Result::Pending);
        QCOMPARE(script.Writes(), sent);
        for (const auto& a : Kept())
            script.QueueWaiting(a);
        QCOMPARE(write.Step(link, t0), Result::Verified);
        // Finished: a new write may start.
        QCOMPARE(write.Start(link, Table(), t0), Result::Pending);
        QCOMPARE(script.CountOf("writeData " + kCommit), 2);
        QCOMPARE(write.Step(link, t0 + 2s), Result::NoAnswer);
    }

    void disconnectedLinkNeverConfirms()
    {
        ReceiverLink closed; // never opened
        VerifiedWrite write;
        QCOMPARE(write.Start(closed, Table(), VerifiedWrite::Clock::now()), Result::NotConnected);
        QCOMPARE(script.Writes(), Strings{});

        // Gone while reading back: the zero buffer a closed link leaves is not
        // taken for an answer.
        VerifiedWrite other;
        QCOMPARE(other.Start(link, Table(), VerifiedWrite::Clock::now()), Result::Pending);
        link.Close();
        QCOMPARE(other.Step(link, VerifiedWrite::Clock::now()), Result::NotConnected);
        QVERIFY(!other.AnyAnswer());
        QCOMPARE(link.Open(0x0EBC, 0x2501, &window), 1);
    }

    // A receiver that never stops answering cannot hold a load's tick or a
    // read-back's step: both take a bounded number of answers each time.
    void floodingReceiverHoldsNoPollForLong()
    {
        for (int i = 0; i < 200; ++i)
            script.QueueWaiting(Answer(11, 1, 0, 0));
        KeyTableStore store;
        QCOMPARE(store.Tick(link), KeyTableStore::TickResult::Stored);
        QCOMPARE(script.CountOf("readData"), KeyTableStore::kMaxAnswersPerTick);

        VerifiedWrite write;
        const auto t0 = VerifiedWrite::Clock::now();
        QCOMPARE(write.Start(link, Table(), t0), Result::Pending);
        QCOMPARE(write.Step(link, t0), Result::Pending);
        QCOMPARE(script.CountOf("readData"), KeyTableStore::kMaxAnswersPerTick +
                                                 ReceiverLink::kMaxDiscardedAnswers +
                                                 VerifiedWrite::kMaxAnswersPerStep);
        QCOMPARE(write.Step(link, t0 + 1s), Result::NoAnswer);
    }

    // The synchronous form a command line uses: answers that are already
    // there return at once; a silent receiver ends after the timeout.
    void runBlocksAtMostTheTimeout()
    {
        for (const auto& a : Kept())
            script.QueueAnswer(a);
        KeyTableStore held;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(VerifiedWrite::Run(link, Table(), &held, 200ms), Result::Verified);
        QVERIFY(clock.elapsed() < 100);
        QCOMPARE(held.keyCodes[2], 0x06);

        clock.restart();
        QCOMPARE(VerifiedWrite::Run(link, Table(), &held, 200ms), Result::NoAnswer);
        QVERIFY(clock.elapsed() >= 200);
        QVERIFY(clock.elapsed() < 1000);
        QCOMPARE(held.receivedSize, 0);
    }
};

QTEST_GUILESS_MAIN(VerifiedWriteTest)
#include "tst_verified_write.moc"
