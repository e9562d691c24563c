// The hidapi receiver library against a fake device world: what goes out to
// hidapi, which interface is opened, and what udev events become.
#include "AtUsbHid.h"
#include "HidIds.h"
#include "HidPlatform.h"
#include "HidapiReceiver.h"

#include <QtTest>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <unistd.h>

namespace {

struct FakeInterface
{
    std::string path;
    unsigned short vendorId, productId, usagePage;
};

// hidapi calls come from the test thread only; the udev ones also from the
// library's watcher thread, hence the lock.
struct World
{
    std::vector<FakeInterface> interfaces;
    std::vector<std::string> opened;
    int closes = 0;
    std::vector<QByteArray> writes, features;
    int writeResult = -100; // -100: everything written
    std::deque<QByteArray> answers;
    bool gone = false;
    std::vector<int> readTimeouts;
    // While set, writes hang like a transfer to a stalled receiver.
    std::mutex stallLock;
    std::condition_variable stallEnded;
    bool stalled = false;
    std::atomic<int> closesDone{0};

    std::mutex lock;
    int pipeFds[2] = {-1, -1};
    std::deque<HidrawEvent> events;
    std::vector<HidrawNode> present;
    std::set<std::string> openable;
    int probes = 0;
    int openErrno = 0; // nonzero: opening any node fails with it
    bool monitorFails = false;
    int monitorOpens = 0, monitorCloses = 0;

    void Push(HidrawEvent::Kind kind, HidrawNode node)
    {
        std::lock_guard g(lock);
        events.push_back({kind, std::move(node)});
        const char byte = 1;
        [[maybe_unused]] auto n = ::write(pipeFds[1], &byte, 1);
    }
    void SetOpenable(const std::string& node)
    {
        std::lock_guard g(lock);
        openable.insert(node);
    }
};

World* world = nullptr;
char deviceToken;

hid_device_info* Enumerate(unsigned short, unsigned short)
{
    // Everything, whatever ids were asked for: the library must filter.
    hid_device_info* head = nullptr;
    for (auto it = world->interfaces.rbegin(); it != world->interfaces.rend(); ++it) {
        auto* info = new hid_device_info{};
        info->path = strdup(it->path.c_str());
        info->vendor_id = it->vendorId;
        info->product_id = it->productId;
        info->usage_page = it->usagePage;
        info->next = head;
        head = info;
    }
    return head;
}

void FreeEnumeration(hid_device_info* d)
{
    while (d) {
        hid_device_info* next = d->next;
        free(d->path);
        delete d;
        d = next;
    }
}

int Send(std::vector<QByteArray>& to, const unsigned char* data, std::size_t length)
{
    {
        std::unique_lock g(world->stallLock);
        world->stallEnded.wait(g, [] { return !world->stalled; });
    }
    to.push_back(QByteArray(reinterpret_cast<const char*>(data), int(length)));
    return world->writeResult == -100 ? int(length) : world->writeResult;
}

int ReadTimeout(hid_device*, unsigned char* data, std::size_t length, int ms)
{
    world->readTimeouts.push_back(ms);
    if (world->gone)
        return -1;
    if (world->answers.empty())
        return 0;
    const QByteArray a = world->answers.front();
    world->answers.pop_front();
    const std::size_t n = std::min(length, std::size_t(a.size()));
    std::memcpy(data, a.constData(), n);
    return int(n);
}

void* MonitorOpen(int* fd)
{
    std::lock_guard g(world->lock);
    if (world->monitorFails)
        return nullptr;
    ++world->monitorOpens;
    *fd = world->pipeFds[0];
    return world;
}

bool MonitorReceive(void*, HidrawEvent* event)
{
    std::lock_guard g(world->lock);
    char byte;
    if (::read(world->pipeFds[0], &byte, 1) != 1 || world->events.empty())
        return false;
    *event = world->events.front();
    world->events.pop_front();
    return true;
}

const HidPlatform kFake = {
    [] { return 0; },
    [] { return 0; },
    &Enumerate,
    &FreeEnumeration,
    [](const char* path) {
        if (world->openErrno)
            return static_cast<hid_device*>(nullptr);
        world->opened.push_back(path);
        return reinterpret_cast<hid_device*>(&deviceToken);
    },
    [](hid_device*) {
        ++world->closes;
        ++world->closesDone;
    },
    [](hid_device*, const unsigned char* d, std::size_t n) { return Send(world->writes, d, n); },
    &ReadTimeout,
    [](hid_device*, const unsigned char* d, std::size_t n) { return Send(world->features, d, n); },
    &MonitorOpen,
    &MonitorReceive,
    [](void*) {
        std::lock_guard g(world->lock);
        ++world->monitorCloses;
    },
    [] {
        std::lock_guard g(world->lock);
        return world->present;
    },
    [](const char* devnode) {
        std::lock_guard g(world->lock);
        ++world->probes;
        if (world->openErrno)
            return world->openErrno;
        return world->openable.count(devnode) > 0 ? 0 : EACCES;
    }};

struct Heard
{
    unsigned int type;
    AtUsbHidDeviceEvent event;
};

// A sink that records what it hears, from whatever thread.
struct Recorder
{
    std::mutex lock;
    std::vector<Heard> heard;
    std::atomic<int> sleepMs{0};
    std::atomic<bool> inCall{false};
    AtUsbHidNotifySink sink{&Recorder::Call, this};

    static void Call(void* context, unsigned int type, const void* data)
    {
        auto* self = static_cast<Recorder*>(context);
        self->inCall = true;
        QThread::msleep(self->sleepMs);
        std::lock_guard g(self->lock);
        self->heard.push_back({type, *static_cast<const AtUsbHidDeviceEvent*>(data)});
        self->inCall = false;
    }
    std::size_t Count()
    {
        std::lock_guard g(lock);
        return heard.size();
    }
    Heard At(std::size_t i)
    {
        std::lock_guard g(lock);
        return heard.at(i);
    }
};

constexpr unsigned kVendor = 0x0EBC, kProduct = 0x2501;
const char* const kHidId = "0003:00000EBC:00002501";

} // namespace

class HidapiReceiverTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        w = std::make_unique<World>();
        QVERIFY(::pipe2(w->pipeFds, O_NONBLOCK | O_CLOEXEC) == 0);
        world = w.get();
        SetHidPlatform(&kFake);
        w->interfaces = {{"/dev/hidraw1", kVendor, kProduct, 0xFF00}};
    }

    void cleanup()
    {
        HidapiReceiver::Shutdown();
        SetHidPlatform(nullptr);
        world = nullptr;
        ::close(w->pipeFds[0]);
        ::close(w->pipeFds[1]);
    }

    void reportsGoOutWithALeadingZeroAndComeInAsEight()
    {
        QCOMPARE(findHidDevice(kVendor, kProduct), 1);
        unsigned char report[8] = {0xFF, 0x05, 0x03, 0x2B, 0x01, 0x06, 0x00, 0x00};
        QCOMPARE(writeData(report), 1);
        QCOMPARE(w->writes.size(), std::size_t(1));
        QCOMPARE(w->writes[0], QByteArray::fromHex("00FF05032B01060000"));
        QCOMPARE(setFeature(report), 1);
        QCOMPARE(w->features[0], w->writes[0]);
        QCOMPARE(report[0], 0xFF);
        // Some backends count the report id, some do not; fewer bytes is a failure.
        w->writeResult = 8;
        QCOMPARE(writeData(report), 1);
        w->writeResult = 5;
        QCOMPARE(writeData(report), 0);
        w->writeResult = -1;
        QCOMPARE(writeData(report), 0);

        unsigned char buffer[8] = {};
        QCOMPARE(readData(buffer), 0);
        w->answers = {QByteArray::fromHex("0701370037AA00FF"), QByteArray::fromHex("070203"),
                      QByteArray(12, '\x11'), QByteArray::fromHex("0703520052AA0000")};
        QCOMPARE(readData(buffer), 1);
        QCOMPARE(QByteArray(reinterpret_cast<char*>(buffer), 8),
                 QByteArray::fromHex("0701370037AA00FF"));
        // A short or overlong answer is no answer, and leaves the buffer alone.
        std::memset(buffer, 0x5A, 8);
        QCOMPARE(readData(buffer), 0);
        QCOMPARE(readData(buffer), 0);
        QCOMPARE(buffer[0], 0x5A);
        QCOMPARE(readData(buffer), 1);
        QCOMPARE(buffer[1], 3);
        // Never waits.
        for (int ms : w->readTimeouts)
            QCOMPARE(ms, 0);
        w->gone = true;
        QCOMPARE(readData(buffer), 0);
    }

    void nothingOpenOrNullAnswersZero()
    {
        unsigned char report[8] = {0xFC};
        QCOMPARE(writeData(report), 0);
        QCOMPARE(readData(report), 0);
        QCOMPARE(setFeature(report), 0);

        QCOMPARE(findHidDevice(kVendor, kProduct), 1);
        QCOMPARE(writeData(nullptr), 0);
        QCOMPARE(readData(nullptr), 0);
        QCOMPARE(setFeature(nullptr), 0);
        QCOMPARE(isMyDeviceNotification(nullptr), 0);
        QVERIFY(w->writes.empty());

        // Finding the node held open again keeps it (answers on their way
        // stay readable); finding nothing closes it.
        QCOMPARE(findHidDevice(kVendor, kProduct), 1);
        QCOMPARE(w->closes, 0);
        QCOMPARE(w->opened.size(), std::size_t(1));
        w->interfaces.clear();
        QCOMPARE(findHidDevice(kVendor, kProduct), 0);
        QCOMPARE(w->closes, 1);
        QCOMPARE(writeData(report), 0);
        closeDevice();
        QCOMPARE(w->closes, 1);
    }

    void choosesTheVendorDefinedInterface()
    {
        w->interfaces = {{"/dev/hidraw5", 0x046D, 0xC52B, 0xFF00}, // someone else's
                         {"/dev/hidraw1", kVendor, kProduct, 0x0001},
                         {"/dev/hidraw2", kVendor, kProduct, 0x000C},
                         {"/dev/hidraw3", kVendor, kProduct, 0xFF01}};
        QCOMPARE(findHidDevice(kVendor, kProduct), 1);
        QCOMPARE(w->opened, std::vector<std::string>{"/dev/hidraw3"});

        // No vendor-defined one: the first of the receiver's.
        w->interfaces.pop_back();
        QCOMPARE(findHidDevice(kVendor, kProduct), 1);
        QCOMPARE(w->opened.back(), std::string("/dev/hidraw1"));

        // Only other devices, or ids that cannot be USB ids: nothing is opened.
        const std::size_t opens = w->opened.size();
        w->interfaces.resize(1);
        QCOMPARE(findHidDevice(kVendor, kProduct), 0);
        QCOMPARE(findHidDevice(0, 0), 0);
        QCOMPARE(findHidDevice(0x10EBC, kProduct), 0);
        QCOMPARE(w->opened.size(), opens);

        // Of two receivers, the one held open stays chosen.
        w->interfaces = {{"/dev/hidraw4", kVendor, kProduct, 0xFF00},
                         {"/dev/hidraw6", kVendor, kProduct, 0xFF00}};
        QCOMPARE(findHidDevice(kVendor, kProduct), 1);
        QCOMPARE(w->opened.back(), std::string("/dev/hidraw4"));
        std::swap(w->interfaces[0], w->interfaces[1]);
        QCOMPARE(findHidDevice(kVendor, kProduct), 1);
        QCOMPARE(w->opened.back(), std::string("/dev/hidraw4"));
        QCOMPARE(w->opened.size(), opens + 1);
    }

    void onlyTheNodeHeldOpenIsOurs()
    {
        w->interfaces = {{"/dev/hidraw1", kVendor, kProduct, 0x0001},
                         {"/dev/hidraw2", kVendor, kProduct, 0xFF00}};
        AtUsbHidDeviceEvent held{kVendor, kProduct, "/dev/hidraw2"};
        AtUsbHidDeviceEvent keyboard{kVendor, kProduct, "/dev/hidraw1"};
        AtUsbHidDeviceEvent twin{kVendor, kProduct, "/dev/hidraw7"};
        QCOMPARE(isMyDeviceNotification(&held), 0); // nothing open yet
        QCOMPARE(findHidDevice(kVendor, kProduct), 1);
        QCOMPARE(isMyDeviceNotification(&held), 1);
        QCOMPARE(isMyDeviceNotification(&keyboard), 0);
        QCOMPARE(isMyDeviceNotification(&twin), 0);
        // The path decides, not ids an event may lack on removal.
        AtUsbHidDeviceEvent bare{0, 0, "/dev/hidraw2"};
        QCOMPARE(isMyDeviceNotification(&bare), 1);
        AtUsbHidDeviceEvent unterminated{kVendor, kProduct, {}};
        std::memset(unterminated.path, 'x', sizeof unterminated.path);
        QCOMPARE(isMyDeviceNotification(&unterminated), 0);
        closeDevice();
        QCOMPARE(isMyDeviceNotification(&held), 0);
    }

    void findErrorSaysWhy_data()
    {
        QTest::addColumn<int>("openErrno");
        QTest::addColumn<bool>("present");
        QTest::addColumn<int>("expected");
        QTest::newRow("found") << 0 << true << ATUSBHID_FIND_OK;
        QTest::newRow("absent") << 0 << false << ATUSBHID_FIND_NOT_FOUND;
        QTest::newRow("no access") << EACCES << true << ATUSBHID_FIND_NO_PERMISSION;
        QTest::newRow("not permitted") << EPERM << true << ATUSBHID_FIND_NO_PERMISSION;
        QTest::newRow("gone meanwhile") << ENODEV << true << ATUSBHID_FIND_NOT_FOUND;
        QTest::newRow("busy") << EBUSY << true << ATUSBHID_FIND_OTHER;
    }

    void findErrorSaysWhy()
    {
        QFETCH(int, openErrno);
        QFETCH(bool, present);
        QFETCH(int, expected);
        QCOMPARE(lastFindError(), ATUSBHID_FIND_NOT_FOUND); // nothing looked for yet
        if (!present)
            w->interfaces.clear();
        w->openErrno = openErrno;
        QCOMPARE(findHidDevice(kVendor, kProduct), expected == ATUSBHID_FIND_OK ? 1 : 0);
        QCOMPARE(lastFindError(), expected);
        // Each look replaces the cause of the one before.
        w->openErrno = 0;
        w->interfaces = {{"/dev/hidraw1", kVendor, kProduct, 0xFF00}};
        QCOMPARE(findHidDevice(kVendor, kProduct), 1);
        QCOMPARE(lastFindError(), ATUSBHID_FIND_OK);
    }

    void idsAreReadFromUdevNames()
    {
        UsbIds ids;
        QVERIFY(ParseHidId(kHidId, ids));
        QCOMPARE(ids.vendorId, kVendor);
        QCOMPARE(ids.productId, kProduct);
        for (const char* bad : {"0003:00000EBC", "0003:0001FFFF0:00002501", ""})
            QVERIFY2(!ParseHidId(bad, ids), bad);
        for (const char* bad : {"/sys/devices/virtual/misc/uhid/hidraw/hidraw4",
                                "/sys/devices/0003:0EBC:25.1/hidraw/hidraw4", ""})
            QVERIFY2(!ParseHidSyspath(bad, ids), bad);
    }

    void arrivalWaitsUntilTheNodeCanBeOpened()
    {
        Recorder r;
        w->interfaces.clear();
        findHidDevice(kVendor, kProduct); // the receiver's ids, nothing found
        QCOMPARE(hidRegisterDeviceNotification(&r.sink), 1);
        // Another device's node is reported at once and never opened.
        w->Push(HidrawEvent::Kind::Add,
                {"/dev/hidraw3", "/sys/x/0003:046D:C52B.0003/hidraw/hidraw3", ""});
        QTRY_COMPARE_WITH_TIMEOUT(r.Count(), std::size_t(1), 1000);
        QCOMPARE(w->probes, 0);
        w->Push(HidrawEvent::Kind::Add,
                {"/dev/hidraw7", "/sys/x/0003:0EBC:2501.0007/hidraw/hidraw7", kHidId});
        QTest::qWait(150);
        QCOMPARE(r.Count(), std::size_t(1)); // permissions not there yet
        QVERIFY(w->probes > 0);
        w->SetOpenable("/dev/hidraw7");
        QTRY_COMPARE_WITH_TIMEOUT(r.Count(), std::size_t(2), 1000);
        const Heard h = r.At(1);
        QCOMPARE(h.type, ATUSBHID_DEVICE_ARRIVAL);
        QCOMPARE(h.event.vendorId, kVendor);
        QCOMPARE(h.event.productId, kProduct);
        QCOMPARE(QByteArray(h.event.path), QByteArray("/dev/hidraw7"));

        // Events that are neither arrival nor removal say nothing.
        w->Push(HidrawEvent::Kind::Other, {"/dev/hidraw7", "", ""});
        QTest::qWait(100);
        QCOMPARE(r.Count(), std::size_t(2));
        hidUnregisterDeviceNotification(&r.sink);
    }

    void removalUsesIdsKnownFromBefore()
    {
        // Present before registering: known from the enumeration.
        w->present = {{"/dev/hidraw2", "/sys/x/0003:0EBC:2501.0002/hidraw/hidraw2", kHidId}};
        Recorder r;
        QCOMPARE(hidRegisterDeviceNotification(&r.sink), 1);
        // Arrived while watching, with HID_ID only (its sysfs path says nothing).
        w->SetOpenable("/dev/hidraw9");
        w->Push(HidrawEvent::Kind::Add,
                {"/dev/hidraw9", "/sys/odd/hidraw9", "0003:0000046D:0000C52B"});
        QTRY_COMPARE(r.Count(), std::size_t(1));

        // On removal the parent is gone: no HID_ID, no ids in the path.
        w->Push(HidrawEvent::Kind::Remove, {"/dev/hidraw2", "/sys/gone/hidraw2", ""});
        w->Push(HidrawEvent::Kind::Remove, {"/dev/hidraw9", "/sys/odd/hidraw9", ""});
        // Never seen: the path is all there is.
        w->Push(
            HidrawEvent::Kind::Remove,
            {"/dev/hidraw4", "/sys/devices/usb1/1-2:1.1/0003:0EBC:2501.0004/hidraw/hidraw4", ""});
        QTRY_COMPARE(r.Count(), std::size_t(4));
        for (std::size_t i = 1; i < 4; ++i)
            QCOMPARE(r.At(i).type, ATUSBHID_DEVICE_REMOVE_COMPLETE);
        QCOMPARE(r.At(1).event.productId, kProduct);
        QCOMPARE(r.At(2).event.vendorId, 0x046Du);
        QCOMPARE(r.At(2).event.productId, 0xC52Bu);
        QCOMPARE(r.At(3).event.vendorId, kVendor);
        QCOMPARE(r.At(3).event.productId, kProduct);
        QCOMPARE(QByteArray(r.At(3).event.path), QByteArray("/dev/hidraw4"));
        hidUnregisterDeviceNotification(&r.sink);
    }

    void oneWatcherForAllSinksAndNoCallAfterUnregistering()
    {
        Recorder a, b;
        w->monitorFails = true;
        QCOMPARE(hidRegisterDeviceNotification(&a.sink), 0);
        w->monitorFails = false;
        QCOMPARE(hidRegisterDeviceNotification(&a.sink), 1);
        QCOMPARE(hidRegisterDeviceNotification(&a.sink), 1);
        QCOMPARE(hidRegisterDeviceNotification(&b.sink), 1);
        QCOMPARE(w->monitorOpens, 1);
        w->SetOpenable("/dev/hidraw1");
        w->Push(HidrawEvent::Kind::Add, {"/dev/hidraw1", "", kHidId});
        QTRY_COMPARE(a.Count(), std::size_t(1));
        QTRY_COMPARE(b.Count(), std::size_t(1));

        hidUnregisterDeviceNotification(&a.sink);
        w->Push(HidrawEvent::Kind::Remove, {"/dev/hidraw1", "", ""});
        QTRY_COMPARE(b.Count(), std::size_t(2));
        QCOMPARE(a.Count(), std::size_t(1));

        hidUnregisterDeviceNotification(&b.sink);
        QCOMPARE(w->monitorCloses, 1);            // the thread is gone with the last sink
        hidUnregisterDeviceNotification(&b.sink); // unknown by now: nothing happens

        // And it starts again for a new registration.
        QCOMPARE(hidRegisterDeviceNotification(&a.sink), 1);
        QCOMPARE(w->monitorOpens, 2);
        QCOMPARE(hidRegisterDeviceNotification(nullptr), 0);
        hidUnregisterDeviceNotification(nullptr);
        hidUnregisterDeviceNotification(&a.sink);
    }

    // A request that hangs fails after a second; everything after it fails at
    // once until it comes back, and the device it hangs on is closed then.
    // Unloading the library (a dialog closing) does not wait for it.
    void hangingRequestFailsInASecond()
    {
        QCOMPARE(findHidDevice(kVendor, kProduct), 1);
        unsigned char report[8] = {0xFC};
        {
            std::lock_guard g(w->stallLock);
            w->stalled = true;
        }
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(writeData(report), 0);
        const qint64 waited = clock.restart();
        QVERIFY2(waited >= 900 && waited < 2000, qPrintable(QString::number(waited)));
        QCOMPARE(setFeature(report), 0);
        unsigned char buffer[8];
        w->answers = {QByteArray(8, '\x07')};
        QCOMPARE(readData(buffer), 0);
        closeDevice();
        QCOMPARE(w->closesDone.load(), 0);
        std::thread release([this] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            std::lock_guard g(w->stallLock);
            w->stalled = false;
            w->stallEnded.notify_all();
        });
        HidapiReceiver::Shutdown();
        const qint64 closing = clock.elapsed();
        release.join();
        QVERIFY2(closing < 300, qPrintable(QString::number(closing)));
        QTRY_COMPARE(w->closesDone.load(), 1);
        QCOMPARE(findHidDevice(kVendor, kProduct), 1);
        QCOMPARE(writeData(report), 1);
        QCOMPARE(w->writes.size(), std::size_t(2));
    }

    void unregisterWaitsForACallInProgress()
    {
        Recorder r;
        r.sleepMs = 200;
        QCOMPARE(hidRegisterDeviceNotification(&r.sink), 1);
        w->SetOpenable("/dev/hidraw1");
        w->Push(HidrawEvent::Kind::Add, {"/dev/hidraw1", "", ""});
        QTRY_VERIFY(r.inCall);
        hidUnregisterDeviceNotification(&r.sink);
        QVERIFY(!r.inCall);
        QCOMPARE(r.Count(), std::size_t(1));
    }

private:
    std::unique_ptr<World> w;
};

QTEST_GUILESS_MAIN(HidapiReceiverTest)
#include "tst_hidapi_receiver.moc"
