// The simulated receiver through the program's own path: ReceiverLink loads
// libAtUsbHid.so by plain name and LD_LIBRARY_PATH points it at the simulator.
#include "AtUsbHid.h"
#include "DeviceChangeSink.h"
#include "KeyTableStore.h"
#include "ReceiverLink.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QtTest>

#include <cstdio>
#include <dlfcn.h>
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

// The optional entry point, from the same library ReceiverLink loads.
int LastFindError()
{
    static auto fn = [] {
        void* library = dlopen("libAtUsbHid.so", RTLD_NOW | RTLD_LOCAL);
        return library ? reinterpret_cast<int (*)()>(dlsym(library, "lastFindError")) : nullptr;
    }();
    return fn ? fn() : -1;
}

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
    }

    void init()
    {
        WriteState("model=RV-80\nplugged=yes\ngeneration=1\n"
                   "table=00:37 00:51 00:52 00:3E 00:29 00:4B 00:4E\n");
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
        QVERIFY2(clock.elapsed() < 1000, QByteArray::number(clock.elapsed()).constData());
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
        WriteState("model=QN-90\nplugged=yes\ntable=01:02 03:04\n");
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
        QCOMPARE(ReadState(), before);

        QCOMPARE(RunTool({"model", "qn-95 vela"}), 0); // case is forgiven on the command line
        QVERIFY(ReadState().contains("model=QN-95 Vela"));
    }
};

QTEST_GUILESS_MAIN(SimulatedReceiverTest)
#include "tst_SimulatedReceiver.moc"
