// The simulated receiver through the program's own path: ReceiverLink loads
// libAtUsbHid.so by plain name and LD_LIBRARY_PATH points it at the simulator.
#include "AtUsbHid.h"
#include "DeviceChangeSink.h"
#include "KeyTableStore.h"
#include "ReceiverLink.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QtTest>

#include <atomic>
#include <cstdio>
#include <dlfcn.h>
#include <fcntl.h>
#include <future>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr unsigned kVendor = 0x0EBC;
constexpr unsigned kProduct = 0x2501;

QString StatePath()
{
    return qEnvironmentVariable("TAVROLIN_SIMULATOR_STATE");
}

void WriteState(const QByteArray& text)
{
    QSaveFile f(StatePath());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
    QVERIFY(f.commit());
}

QByteArray ReadState()
{
    QFile f(StatePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int RunTool(const QStringList& args, QByteArray* output = nullptr)
{
    QProcess tool;
    tool.start(QStringLiteral(TAVROLIN_SIMULATOR_TOOL), args);
    if (!tool.waitForFinished(10000))
        return -1;
    if (output)
        *output = tool.readAllStandardOutput() + tool.readAllStandardError();
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

// Loads as the dialogs do: a read request, then one poll per tick. The table
// as modifier and key code bytes, slot after slot.
QByteArray LoadTable(ReceiverLink& link, int slotCount)
{
    KeyTableStore store;
    store.BeginLoad(slotCount);
    link.Write(ReceiverReport::ReadRequest());
    for (int tick = 0; tick < 50; ++tick) {
        const auto result = store.Tick(link);
        if (result == KeyTableStore::TickResult::Disconnected)
            return "disconnected";
        if (result != KeyTableStore::TickResult::Complete)
            continue;
        QByteArray t;
        for (int slot = 0; slot < store.receivedSize; ++slot)
            t.append(char(store.modifiers[slot])).append(char(store.keyCodes[slot]));
        return t;
    }
    return "incomplete";
}

// Through a freshly loaded library, as the program's next start would see it.
QByteArray LoadFresh(int slotCount)
{
    ReceiverLink link;
    if (link.Open(kVendor, kProduct, nullptr) != 1 || !link.IsConnected())
        return "not connected";
    return LoadTable(link, slotCount);
}

// The entry points straight from the library ReceiverLink loads, for what
// the link does not show (and for calls that must not hang the test).
template <typename F> F* EntryPoint(const char* name)
{
    static void* library = dlopen("libAtUsbHid.so", RTLD_NOW | RTLD_LOCAL);
    return library ? reinterpret_cast<F*>(dlsym(library, name)) : nullptr;
}

int LastFindError()
{
    auto fn = EntryPoint<int()>("lastFindError");
    return fn ? fn() : -1;
}

// Runs f on a thread of its own; false when it is still running after `ms`
// (it is then left behind, blocked, rather than hanging the test).
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

// Voluntary context switches of each thread of this process.
QMap<QString, long> ThreadWakeups()
{
    QMap<QString, long> result;
    for (const QString& task :
         QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status("/proc/self/task/" + task + "/status");
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:"))
                result[task] = line.mid(24).trimmed().toLong();
        }
    }
    return result;
}

const QByteArray kRvState("model=RV-80\nplugged=yes\ngeneration=1\n"
                          "table=00:37 00:51 00:52 00:3E 00:29 00:4B 00:4E\nend\n");

const QByteArray kTwoKeyFactory("\x00\x4B\x00\x4E", 4);
const QByteArray kQnFactory("\x00\x3E\x00\x29\x04\x2B\x00\x4B\x00\x4E", 10);
const QByteArray kLtFactory("\x00\x4B\x00\x4E\x00\x37\x00\x3E\x00\x29", 10);
const QByteArray kRvFactory("\x00\x37\x00\x51\x00\x52\x00\x3E\x00\x29\x00\x4B\x00\x4E", 14);

// Standard error of this process while it lives.
class StderrCapture
{
public:
    StderrCapture()
    {
        file.open();
        std::fflush(stderr);
        saved = dup(2);
        dup2(file.handle(), 2);
    }
    QByteArray Take()
    {
        std::fflush(stderr);
        dup2(saved, 2);
        close(saved);
        file.seek(0);
        return file.readAll();
    }

private:
    QTemporaryFile file;
    int saved = -1;
};

// A link whose device changes come back to this thread through the sink, as
// in a dialog; the link is destroyed (and unregistered) before the sink.
struct WatchedLink
{
    QObject context;
    QList<QPair<unsigned, int>> heard; // event type, classification
    DeviceChangeSink sink{[this](std::function<void()> f) {
                              QMetaObject::invokeMethod(&context, std::move(f),
                                                        Qt::QueuedConnection);
                          },
                          [this](unsigned type, AtUsbHidDeviceEvent* event) {
                              heard.append({type, link.ClassifyDeviceChange(type, event)});
                          }};
    ReceiverLink link;
};

} // namespace

class SimulatedReceiverTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!StatePath().isEmpty(), "TAVROLIN_SIMULATOR_STATE must name a scratch file");
        cleanup();
    }

    void init() { WriteState(kRvState); }

    void cleanup()
    {
        // Whatever a test left at the state path or beside it.
        for (const char* extra : {"", ".lock", ".bad"}) {
            const QString path = StatePath() + extra;
            if (QFileInfo info(path); info.isDir() && !info.isSymLink())
                QDir(path).removeRecursively();
            else
                QFile::remove(path);
        }
    }

    void committedTableOutlivesTheLibrary()
    {
        const QByteArray written("\x00\x37\x02\x51\x00\x52\x01\x3E\x00\x29\x00\x4B\x08\x07", 14);
        {
            ReceiverLink link;
            QCOMPARE(link.Open(kVendor, kProduct, nullptr), 1);
            QCOMPARE(link.IsConnected(), 1);
            // Staged but never committed: lost with the library.
            QCOMPARE(link.Write(ReceiverReport::WriteKeyRequest(7, 1, 0x37, 0x01, 0x06)), 1);
        }
        ReceiverLink link;
        QCOMPARE(link.Open(kVendor, kProduct, nullptr), 1);
        QCOMPARE(link.Write(ReceiverReport::CommitRequest()), 1);
        QCOMPARE(LoadTable(link, 7), kRvFactory);
        for (int slot = 1; slot <= 7; ++slot)
            QCOMPARE(link.Write(ReceiverReport::WriteKeyRequest(7, slot, kRvFactory[2 * slot - 1],
                                                                written[2 * slot - 2],
                                                                written[2 * slot - 1])),
                     1);
        QCOMPARE(link.Write(ReceiverReport::CommitRequest()), 1);
        QCOMPARE(LoadTable(link, 7), written);
        link.Release();
        QCOMPARE(LoadFresh(7), written);
        QByteArray shown;
        QCOMPARE(RunTool({"show"}, &shown), 0);
        QVERIFY2(shown.contains("Shift+Down") && shown.contains("Win+D"), shown.constData());
    }

    void factoryResetRestoresTheFamilyTable_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QByteArray>("factory");
        QTest::newRow("LT-61") << "LT-61" << kTwoKeyFactory;
        QTest::newRow("LT-61P") << "LT-61P" << kLtFactory;
        QTest::newRow("LT-65") << "LT-65" << kLtFactory;
        QTest::newRow("RV-80") << "RV-80" << kRvFactory;
        QTest::newRow("RV-80G") << "RV-80G" << kRvFactory;
        QTest::newRow("QN-70 Vela") << "QN-70 Vela" << kQnFactory;
        QTest::newRow("QN-95 Vela") << "QN-95 Vela" << kQnFactory;
        QTest::newRow("QN-90") << "QN-90" << kQnFactory;
    }

    void factoryResetRestoresTheFamilyTable()
    {
        QFETCH(QString, model);
        QFETCH(QByteArray, factory);
        const int size = factory.size() / 2;
        QCOMPARE(RunTool({"model", model}), 0);
        ReceiverLink link;
        link.Open(kVendor, kProduct, nullptr);
        QCOMPARE(LoadTable(link, size), factory);

        // Every slot changed and committed, then the factory reset.
        QByteArray changed;
        for (int slot = 1; slot <= size; ++slot) {
            link.Write(ReceiverReport::WriteKeyRequest(size, slot, factory[2 * slot - 1], 0x01,
                                                       0x04 + slot));
            changed.append('\x01').append(char(0x04 + slot));
        }
        link.Write(ReceiverReport::CommitRequest());
        QCOMPARE(LoadTable(link, size), changed);
        QCOMPARE(link.Write(ReceiverReport::FactoryResetRequest()), 1);
        QCOMPARE(LoadTable(link, size), factory);
        link.Release();
        QCOMPARE(LoadFresh(size), factory);
    }

    void opensOnlyAPluggedReceiverWithItsIds()
    {
        ReceiverLink link;
        for (auto [vendor, product] : {std::pair{0x046Du, kProduct}, std::pair{kVendor, 0x2502u}}) {
            QCOMPARE(link.Open(vendor, product, nullptr), 1);
            QCOMPARE(link.IsConnected(), 0);
        }
        QCOMPARE(RunTool({"unplug"}), 0);
        QCOMPARE(link.Open(kVendor, kProduct, nullptr), 1);
        QCOMPARE(link.IsConnected(), 0);
        QCOMPARE(LastFindError(), ATUSBHID_FIND_NOT_FOUND);
        QCOMPARE(RunTool({"plug"}), 0);
        QCOMPARE(link.Open(kVendor, kProduct, nullptr), 1);
        QCOMPARE(link.IsConnected(), 1);
        QCOMPARE(LastFindError(), ATUSBHID_FIND_OK);

        // There, but not ours to open; shown by the tool and cleared with the rest.
        QCOMPARE(RunTool({"fault", "access", "on"}), 0);
        QCOMPARE(link.Open(kVendor, kProduct, nullptr), 1);
        QCOMPARE(link.IsConnected(), 0);
        QCOMPARE(LastFindError(), ATUSBHID_FIND_NO_PERMISSION);
        QByteArray shown;
        QCOMPARE(RunTool({"show"}, &shown), 0);
        QVERIFY2(shown.contains("may not be opened"), shown.constData());
        QCOMPARE(RunTool({"fault", "clear"}), 0);
        QCOMPARE(link.Open(kVendor, kProduct, nullptr), 1);
        QCOMPARE(link.IsConnected(), 1);
        QCOMPARE(LastFindError(), ATUSBHID_FIND_OK);
    }

    void unplugAndPlugReachTheSink()
    {
        WatchedLink w;
        QCOMPARE(w.link.Open(kVendor, kProduct, w.sink.Window()), 1);
        QCOMPARE(w.link.IsConnected(), 1);

        // Pulled out by editing the state file.
        QByteArray state = ReadState();
        QVERIFY(state.contains("plugged=yes"));
        QElapsedTimer clock;
        clock.start();
        WriteState(state.replace("plugged=yes", "plugged=no"));
        QTRY_COMPARE_WITH_TIMEOUT(w.heard.size(), 1, 3000);
        QVERIFY2(clock.elapsed() < 300, QByteArray::number(clock.elapsed()).constData());
        QCOMPARE(w.heard[0], qMakePair(ATUSBHID_DEVICE_REMOVE_COMPLETE, ReceiverLink::kRemoved));
        QCOMPARE(w.link.IsConnected(), 0);

        // Plugged in again with the tool: the link re-opens and works.
        clock.restart();
        QCOMPARE(RunTool({"plug"}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(w.heard.size(), 2, 3000);
        QVERIFY2(clock.elapsed() < 1000, QByteArray::number(clock.elapsed()).constData());
        QCOMPARE(w.heard[1], qMakePair(ATUSBHID_DEVICE_ARRIVAL, ReceiverLink::kReopened));
        QCOMPARE(w.link.IsConnected(), 1);
        QCOMPARE(LoadTable(w.link, 7), kRvFactory);

        // Out and in faster than the watcher looks still counts as both.
        QCOMPARE(RunTool({"unplug"}), 0);
        QCOMPARE(RunTool({"plug"}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(w.heard.size(), 4, 3000);
        QCOMPARE(w.heard[2].first, ATUSBHID_DEVICE_REMOVE_COMPLETE);
        QCOMPARE(w.heard[3].first, ATUSBHID_DEVICE_ARRIVAL);
        QCOMPARE(w.link.IsConnected(), 1);

        // Another model is another receiver: out, then in with its own table.
        QCOMPARE(RunTool({"model", "LT-61"}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(w.heard.size(), 6, 3000);
        QCOMPARE(w.heard[4], qMakePair(ATUSBHID_DEVICE_REMOVE_COMPLETE, ReceiverLink::kRemoved));
        QCOMPARE(w.heard[5], qMakePair(ATUSBHID_DEVICE_ARRIVAL, ReceiverLink::kReopened));
        QCOMPARE(LoadTable(w.link, 2), kTwoKeyFactory);

        // Closed: nothing more is heard.
        w.link.Close();
        QCOMPARE(RunTool({"unplug"}), 0);
        QTest::qWait(400);
        QCOMPARE(w.heard.size(), 6);
    }

    void pulledOutInTheMiddleOfAWrite()
    {
        ReceiverLink link;
        link.Open(kVendor, kProduct, nullptr);
        QCOMPARE(link.Write(ReceiverReport::WriteKeyRequest(7, 1, 0x37, 0x01, 0x06)), 1);
        QCOMPARE(RunTool({"unplug"}), 0);
        // The link has not heard yet; the receiver is gone all the same.
        QCOMPARE(link.Write(ReceiverReport::WriteKeyRequest(7, 2, 0x51, 0x01, 0x07)), 0);
        QCOMPARE(link.Write(ReceiverReport::CommitRequest()), 0);
        ReceiverReport answer;
        QCOMPARE(link.Read(answer), -1);

        // Plugged in again, the old handle stays dead; a new one knows nothing
        // of the half-written table.
        QCOMPARE(RunTool({"plug"}), 0);
        QCOMPARE(link.Write(ReceiverReport::CommitRequest()), 0);
        link.Open(kVendor, kProduct, nullptr);
        QCOMPARE(link.Write(ReceiverReport::CommitRequest()), 1);
        QCOMPARE(LoadTable(link, 7), kRvFactory);
    }

    void faultsAndUnknownRequests()
    {
        ReceiverLink link;
        link.Open(kVendor, kProduct, nullptr);
        QCOMPARE(RunTool({"fault", "silent", "on"}), 0);
        QCOMPARE(LoadTable(link, 7), QByteArray("incomplete"));
        QCOMPARE(RunTool({"fault", "silent", "off"}), 0);
        QCOMPARE(LoadTable(link, 7), kRvFactory);
        // Answers for a table of another size, or none at all.
        QCOMPARE(RunTool({"fault", "size", "5"}), 0);
        QCOMPARE(LoadTable(link, 7), kRvFactory.left(10));
        QCOMPARE(RunTool({"fault", "size", "0"}), 0);
        QCOMPARE(LoadTable(link, 7), QByteArray());
        QCOMPARE(RunTool({"fault", "size", "11"}), 0);
        QCOMPARE(LoadTable(link, 7), QByteArray("incomplete"));

        QCOMPARE(RunTool({"fault", "clear"}), 0);
        QCOMPARE(RunTool({"fault", "writes", "on"}), 0);
        QCOMPARE(link.Write(ReceiverReport::WriteKeyRequest(7, 1, 0x37, 0x01, 0x06)), 0);
        QCOMPARE(link.Write(ReceiverReport::CommitRequest()), 0);
        QCOMPARE(RunTool({"fault", "writes", "off"}), 0);
        QCOMPARE(link.Write(ReceiverReport::CommitRequest()), 1);
        QCOMPARE(LoadTable(link, 7), kRvFactory);

        // Sent and taken in; the receiver makes nothing of it and does not answer.
        ReceiverReport unknown;
        unknown.bytes = {0x42, 0xFF, 0xFE, 0xFC, 0x00, 0x12, 0x34, 0x56};
        QCOMPARE(link.Write(unknown), 1);
        QCOMPARE(link.Read(unknown), -1);
        QCOMPARE(LoadTable(link, 7), kRvFactory);

        // Accepted, reported as done, and yet the table stays as it was.
        QCOMPARE(RunTool({"fault", "keep", "on"}), 0);
        QCOMPARE(link.Write(ReceiverReport::WriteKeyRequest(7, 1, 0x37, 0x01, 0x06)), 1);
        QCOMPARE(link.Write(ReceiverReport::CommitRequest()), 1);
        QCOMPARE(link.Write(ReceiverReport::FactoryResetRequest()), 1);
        QCOMPARE(LoadTable(link, 7), kRvFactory);
        QByteArray shown;
        QCOMPARE(RunTool({"show"}, &shown), 0);
        QVERIFY2(shown.contains("keep the old table") && !shown.contains("(changed)"),
                 shown.constData());
        QCOMPARE(RunTool({"fault", "clear"}), 0);
        QCOMPARE(link.Write(ReceiverReport::WriteKeyRequest(7, 1, 0x37, 0x01, 0x06)), 1);
        QCOMPARE(link.Write(ReceiverReport::CommitRequest()), 1);
        QCOMPARE(LoadTable(link, 7), QByteArray("\x01\x06") + kRvFactory.mid(2));
    }

    void missingOrCorruptStateStartsFromTheFactoryTable()
    {
        QFile::remove(StatePath());
        StderrCapture capture;
        QCOMPARE(LoadFresh(2), kTwoKeyFactory);
        QCOMPARE(LoadFresh(2), kTwoKeyFactory); // said once: the factory state is on file now
        WriteState(QByteArray("\x89PNG\r\n\x1a\n\0\0garbage", 18));
        QCOMPARE(LoadFresh(2), kTwoKeyFactory);
        WriteState("model=QN-90\nplugged=yes\ntable=01:02 03:04\nend\n");
        {
            ReceiverLink link;
            link.Open(kVendor, kProduct, nullptr);
            QCOMPARE(LoadTable(link, 5), kQnFactory);
            link.Write(ReceiverReport::WriteKeyRequest(5, 2, 0x29, 0x00, 0x05));
            link.Write(ReceiverReport::CommitRequest());
        }
        const QByteArray said = capture.Take();
        QCOMPARE(said.count("tavrolin-simulator:"), 3);
        QVERIFY2(said.contains("no state file"), said.constData());
        QVERIFY2(said.contains("unusable state file"), said.constData());
        QByteArray shown;
        QCOMPARE(RunTool({"show"}, &shown), 0);
        QVERIFY2(!shown.contains("unusable") && shown.contains("QN-90"), shown.constData());
        QVERIFY2(shown.contains("(changed)"), shown.constData());
    }

    // The tool and a program both change the table at once: each change made
    // is still there afterwards, none is overwritten with an older table.
    void noUpdateIsLostBetweenWriters()
    {
        constexpr int kRounds = 24;
        std::atomic<bool> toolDone{false};
        QList<int> seen; // slot 2's key after each of the program's commits
        std::thread program([&] {
            ReceiverLink link;
            link.Open(kVendor, kProduct, nullptr);
            for (int i = 0; !toolDone || i < kRounds; ++i) {
                link.Write(ReceiverReport::WriteKeyRequest(7, 1, 0x37, 0x00, 0x04 + i % 32));
                link.Write(ReceiverReport::CommitRequest());
                const QByteArray state = ReadState();
                const int at = state.indexOf("table=");
                seen.append(state.mid(at + 6 + 6 + 3, 2).toInt(nullptr, 16));
                // A program commits now and then, not back to back: the tool
                // must get a turn at the lock within its bounded wait.
                QThread::msleep(1);
            }
        });
        int failed = 0;
        for (int i = 1; i <= kRounds; ++i)
            failed += RunTool({"set", "2", QString::number(0x60 + i, 16)}) != 0;
        toolDone = true;
        program.join();
        QCOMPARE(failed, 0);
        for (int i = 1; i < seen.size(); ++i)
            QVERIFY2(seen[i] >= seen[i - 1], qPrintable(QString("slot 2 went back from %1 to %2")
                                                            .arg(seen[i - 1], 0, 16)
                                                            .arg(seen[i], 0, 16)));
        QVERIFY2(ReadState().contains(QByteArray("00:") +
                                      QByteArray::number(0x60 + kRounds, 16).toUpper()),
                 ReadState().constData());
    }

    // A FIFO, a directory or a link at the state path: no receiver, a clear
    // word from the tool, and nothing waits forever.
    void onlyARegularFileIsAState_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("directory") << "directory";
        QTest::newRow("link to a device") << "device";
    }

    void onlyARegularFileIsAState()
    {
        QFETCH(QString, kind);
        const QByteArray path = StatePath().toUtf8();
        QCOMPARE(LoadFresh(7), kRvFactory); // a sound file, so the next trouble is said again
        QFile::remove(StatePath());
        if (kind == "fifo")
            QCOMPARE(mkfifo(path, 0600), 0);
        else if (kind == "directory")
            QCOMPARE(mkdir(path, 0700), 0);
        else
            QCOMPARE(symlink("/dev/zero", path), 0);
        StderrCapture capture;
        QByteArray said;
        for (const char* command : {"show", "plug"}) {
            QCOMPARE(RunTool({command}, &said), 1);
            QVERIFY2(said.contains("cannot use the state file"), said.constData());
        }
        int found = -1, error = -1;
        QVERIFY(FinishesWithin(3000, [&] {
            found =
                EntryPoint<unsigned char(unsigned, unsigned)>("findHidDevice")(kVendor, kProduct);
            error = LastFindError();
            AtUsbHidNotifySink sink{[](void*, unsigned, const void*) {}, nullptr};
            EntryPoint<int(void*)>("hidRegisterDeviceNotification")(&sink);
            EntryPoint<void(void*)>("hidUnregisterDeviceNotification")(&sink);
        }));
        QCOMPARE(found, 0);
        QCOMPARE(error, ATUSBHID_FIND_OTHER);
        said = capture.Take();
        QVERIFY2(said.contains("no receiver"), said.constData());
    }

    // Links planted for the writer's temporary file in a shared directory
    // would have the victim's file overwritten.
    void plantedLinksAreNeverWrittenThrough()
    {
        QTemporaryFile victim;
        QVERIFY(victim.open());
        victim.write("precious\n");
        victim.close();
        const QString planted = StatePath() + ".tmp." + QString::number(getpid());
        QVERIFY(QFile::link(victim.fileName(), planted));
        ReceiverLink link;
        link.Open(kVendor, kProduct, nullptr);
        QCOMPARE(link.Write(ReceiverReport::WriteKeyRequest(7, 1, 0x37, 0x01, 0x06)), 1);
        QCOMPARE(link.Write(ReceiverReport::CommitRequest()), 1);
        QFile::remove(planted);
        QVERIFY(victim.open());
        QCOMPARE(victim.readAll(), QByteArray("precious\n"));
        QCOMPARE(LoadTable(link, 7), QByteArray("\x01\x06") + kRvFactory.mid(2));
    }

    // A lock held elsewhere delays a change a bounded time and then fails it;
    // a lock file that cannot be used fails it at once. Never written unlocked.
    void theLockIsWaitedForBoundedAndNeverSkipped()
    {
        const QByteArray lockPath = (StatePath() + ".lock").toUtf8();
        const int held = open(lockPath, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        QVERIFY(held >= 0 && flock(held, LOCK_EX) == 0);
        ReceiverLink link;
        link.Open(kVendor, kProduct, nullptr);
        QByteArray said;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(RunTool({"unplug"}, &said), 1);
        QVERIFY2(said.contains("locked"), said.constData());
        QVERIFY(clock.elapsed() < 5000);
        StderrCapture capture;
        int written = -1;
        QVERIFY(
            FinishesWithin(5000, [&] { written = link.Write(ReceiverReport::CommitRequest()); }));
        QCOMPARE(written, 0);
        capture.Take();
        QCOMPARE(ReadState(), kRvState);
        close(held);

        QFile::remove(StatePath() + ".lock");
        QCOMPARE(mkdir(lockPath, 0700), 0);
        QCOMPARE(RunTool({"unplug"}, &said), 1);
        QVERIFY2(said.contains("lock"), said.constData());
        QCOMPARE(ReadState(), kRvState);
        QVERIFY(QDir().rmdir(StatePath() + ".lock"));
        QCOMPARE(link.Write(ReceiverReport::CommitRequest()), 1);
    }

    // A file cut short is never taken for a table, and is kept as .bad before
    // it is replaced; a line it does not know costs nothing but a warning.
    void cutShortOrUnknownContent()
    {
        const QByteArray cut =
            kRvState.left(kRvState.indexOf("00:4E") + 4).replace("00:37", "01:04");
        WriteState(cut);
        QByteArray said;
        QCOMPARE(RunTool({"show"}, &said), 0);
        QVERIFY2(said.contains("unusable") && !said.contains("(changed)"), said.constData());
        QCOMPARE(RunTool({"plug"}, &said), 0);
        QVERIFY2(said.contains(".bad"), said.constData());
        QFile bad(StatePath() + ".bad");
        QVERIFY(bad.open(QIODevice::ReadOnly));
        QCOMPARE(bad.readAll(), cut);

        StderrCapture capture;
        WriteState(
            QByteArray(kRvState).replace("00:37", "01:04").replace("end\n", "colour=blue\nend\n"));
        QCOMPARE(LoadFresh(7), QByteArray("\x01\x04") + kRvFactory.mid(2));
        QCOMPARE(RunTool({"show"}, &said), 0);
        QVERIFY2(said.contains("colour") && said.contains("(changed)"), said.constData());
        QVERIFY(capture.Take().contains("colour"));
    }

    // At the top of its range the plug-in count wraps; the receiver and its
    // table survive, and an open dialog hears it come back.
    void generationWrapsWithoutLosingTheState()
    {
        WriteState(QByteArray(kRvState)
                       .replace("generation=1", "generation=2147483647")
                       .replace("00:37", "01:04"));
        WatchedLink w;
        QCOMPARE(w.link.Open(kVendor, kProduct, w.sink.Window()), 1);
        QCOMPARE(RunTool({"unplug"}), 0);
        QCOMPARE(RunTool({"plug"}), 0);
        QVERIFY2(ReadState().contains("generation=1\n"), ReadState().constData());
        QTRY_COMPARE_WITH_TIMEOUT(w.heard.size(), 2, 3000);
        QCOMPARE(w.heard[1].first, ATUSBHID_DEVICE_ARRIVAL);
        QCOMPARE(LoadTable(w.link, 7), QByteArray("\x01\x04") + kRvFactory.mid(2));
    }

    // The state's directory replaced under an open dialog (moved away, made
    // anew): unplugging is still heard.
    void watcherFollowsAReplacedDirectory()
    {
        const QByteArray saved = qgetenv("TAVROLIN_SIMULATOR_STATE");
        const auto restore = qScopeGuard([&] { qputenv("TAVROLIN_SIMULATOR_STATE", saved); });
        QTemporaryDir scratch;
        const QString dir = scratch.filePath("state");
        qputenv("TAVROLIN_SIMULATOR_STATE", QFile::encodeName(dir + "/receiver.state"));
        QVERIFY(QDir().mkdir(dir));
        WriteState(kRvState);
        WatchedLink w;
        QCOMPARE(w.link.Open(kVendor, kProduct, w.sink.Window()), 1);
        QTest::qWait(200); // the watcher is watching by now
        QVERIFY(QDir().rename(dir, dir + ".old") && QDir().mkdir(dir));
        QCOMPARE(RunTool({"unplug"}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(w.heard.size(), 1, 3000);
    }

    // An open dialog's watcher sleeps until the state file changes.
    void idleWatcherMakesNoWakeups()
    {
        const QMap<QString, long> before = ThreadWakeups();
        WatchedLink w;
        QCOMPARE(w.link.Open(kVendor, kProduct, w.sink.Window()), 1);
        QThread::msleep(200);
        QMap<QString, long> started = ThreadWakeups();
        for (const QString& task : before.keys())
            started.remove(task);
        QVERIFY(!started.isEmpty());
        QThread::msleep(1000);
        const QMap<QString, long> after = ThreadWakeups();
        for (auto it = started.cbegin(); it != started.cend(); ++it) {
            const long wakeups = after.value(it.key()) - it.value();
            QVERIFY2(wakeups <= 1, QByteArray::number(wakeups).constData());
        }
    }

    void toolRefusesBadInput()
    {
        const QByteArray before = ReadState();
        const QList<QStringList> bad = {{"model", "RV-81"},
                                        {"set", "8", "4B"},
                                        {"set", "1", "zz"},
                                        {"fault", "size", "256"},
                                        {"fault", "volume", "on"},
                                        {"plug", "twice"},
                                        {"frobnicate"}};
        for (const QStringList& args : bad)
            QVERIFY2(RunTool(args) == 2, qPrintable(args.join(' ')));
        QByteArray said;
        QCOMPARE(RunTool({"model", "\x1b]0;x\x07"}, &said), 2);
        QVERIFY2(!said.contains('\x1b') && said.contains("\"?]0;x?\""), said.constData());
        QCOMPARE(ReadState(), before);

        // Without a state file named or a runtime directory, a shared directory
        // somebody else prepared is refused, and the way out is named.
        QTemporaryDir shared;
        QVERIFY(QDir(shared.path()).mkdir(QString("tavrolin-simulator-%1").arg(geteuid())));
        QFile::setPermissions(shared.filePath(QString("tavrolin-simulator-%1").arg(geteuid())),
                              QFileDevice::Permissions(0x7777));
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("TAVROLIN_SIMULATOR_STATE");
        env.remove("XDG_RUNTIME_DIR");
        env.insert("TMPDIR", shared.path());
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral(TAVROLIN_SIMULATOR_TOOL), {"plug"});
        QVERIFY(tool.waitForFinished(10000));
        QCOMPARE(tool.exitCode(), 1);
        QVERIFY(tool.readAllStandardError().contains("TAVROLIN_SIMULATOR_STATE"));

        QCOMPARE(RunTool({"model", "qn-95 vela"}), 0); // case is forgiven on the command line
        QVERIFY(ReadState().contains("model=QN-95 Vela"));
    }
};

QTEST_GUILESS_MAIN(SimulatedReceiverTest)
#include "tst_simulated_receiver.moc"
