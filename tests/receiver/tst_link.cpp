// ReceiverLink against the scripted library, loaded through the real
// dlopen-by-plain-name path.
#include "AtUsbHid.h"
#include "DeviceChangeSink.h"
#include "ReceiverLink.h"
#include "ScriptedControl.h"

#include <QtTest>

#include <dlfcn.h>

namespace {

constexpr unsigned kVendor = 0x0EBC;
constexpr unsigned kProduct = 0x2501;

bool LibraryStillLoaded()
{
    void* h = dlopen("libAtUsbHid.so", RTLD_NOW | RTLD_NOLOAD);
    if (!h)
        return false;
    dlclose(h);
    return true;
}

AtUsbHidDeviceEvent Event(unsigned vendor, unsigned product)
{
    AtUsbHidDeviceEvent e{};
    e.vendorId = vendor;
    e.productId = product;
    return e;
}

} // namespace

class ReceiverLinkTest : public QObject
{
    Q_OBJECT

private slots:
    void opensFindsAndRegisters();
    void receiverAbsentLeavesLinkUnconnected();
    void disconnectedLinkNeverReachesLibrary();
    void readReturnsByteSevenNeverMinusOne();
    void removalAndArrivalAreClassified();
    void otherDevicesDoNotCloseTheReceiver();
    void closeTwiceClosesOnce();
    void reopeningNeitherLeaksTheLibraryNorStacksRegistrations();
    void notificationsFromAnyThreadArriveOnTheOwnersThread();
    void findErrorTellsWhyNothingIsConnected_data();
    void findErrorTellsWhyNothingIsConnected();
};

void ReceiverLinkTest::opensFindsAndRegisters()
{
    ScriptedReceiver script;
    QVERIFY(script.IsLoaded());
    int window = 0;
    ReceiverLink link;
    QCOMPARE(link.Open(kVendor, kProduct, &window), 1);
    QCOMPARE(link.IsConnected(), 1);
    QCOMPARE(script.Calls(), (std::vector<std::string>{"findHidDevice 0EBC 2501",
                                                       "hidRegisterDeviceNotification"}));

    QCOMPARE(link.Write(ReceiverReport::WriteKeyRequest(5, 3, 0x2B, 0x01, 0x06)), 1);
    QCOMPARE(link.Write(ReceiverReport::CommitRequest()), 1);
    QCOMPARE(script.Writes(),
             (std::vector<std::string>{"FF 05 03 2B 01 06 00 00", "FE 00 00 00 00 00 00 00"}));

    script.FailWritesAfter(0);
    QCOMPARE(link.Write(ReceiverReport::ReadRequest()), 0);
}

void ReceiverLinkTest::receiverAbsentLeavesLinkUnconnected()
{
    ScriptedReceiver script;
    script.SetFindResult(0);
    ReceiverLink link;
    // Loaded and bound, so 1, yet nothing found: no registration either.
    QCOMPARE(link.Open(kVendor, kProduct, nullptr), 1);
    QCOMPARE(link.IsConnected(), 0);
    QCOMPARE(script.CountOf("hidRegisterDeviceNotification"), 0);
    link.Release();
    QCOMPARE(script.CountOf("closeDevice"), 0);
    QCOMPARE(script.CountOf("hidUnregisterDeviceNotification"), 0);
}

void ReceiverLinkTest::disconnectedLinkNeverReachesLibrary()
{
    ScriptedReceiver script;
    script.SetFindResult(0);
    script.QueueAnswer({2, 1, 1, 0, 0x4B, 0xAA, 0, 9});
    ReceiverLink link;
    QCOMPARE(link.Write(ReceiverReport::ReadRequest()), 0); // never opened
    link.Open(kVendor, kProduct, nullptr);
    script.ClearCalls();

    QCOMPARE(link.Write(ReceiverReport::ReadRequest()), 0);
    ReceiverReport buffer;
    buffer.bytes = {1, 2, 3, 4, 5, 6, 7, 8};
    QCOMPARE(link.Read(buffer), 0);
    QCOMPARE(buffer.bytes, (std::array<std::uint8_t, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
    QVERIFY(script.Calls().empty());
}

void ReceiverLinkTest::readReturnsByteSevenNeverMinusOne()
{
    ScriptedReceiver script;
    script.QueueAnswer({7, 1, 1, 0, 0x37, 0xAA, 0, 0xFF});
    script.QueueNoAnswer();
    script.QueueAnswer({7, 2, 2, 0, 0x51, 0xAA, 0, 0x00});
    ReceiverLink link;
    link.Open(kVendor, kProduct, nullptr);
    QCOMPARE(link.Write(ReceiverReport::ReadRequest()), 1);

    ReceiverReport buffer;
    QCOMPARE(link.Read(buffer), 255);
    QCOMPARE(buffer[4], 0x37);
    QCOMPARE(link.Read(buffer), -1);
    QCOMPARE(link.Read(buffer), 0);
    QCOMPARE(buffer[4], 0x51);
    QCOMPARE(link.Read(buffer), -1); // nothing left
}

void ReceiverLinkTest::removalAndArrivalAreClassified()
{
    ScriptedReceiver script;
    ReceiverLink link;
    link.Open(kVendor, kProduct, nullptr);
    AtUsbHidDeviceEvent mine = Event(kVendor, kProduct);

    QCOMPARE(link.ClassifyDeviceChange(0x8000, &mine), ReceiverLink::kAlreadyOpen);
    QCOMPARE(link.ClassifyDeviceChange(0x0007, &mine), ReceiverLink::kIgnored);

    QCOMPARE(link.ClassifyDeviceChange(0x8004, &mine), ReceiverLink::kRemoved);
    QCOMPARE(link.IsConnected(), 0);
    QCOMPARE(script.CountOf("closeDevice"), 1);
    // A second removal report for a receiver already gone changes nothing.
    QCOMPARE(link.ClassifyDeviceChange(0x8004, &mine), ReceiverLink::kIgnored);

    script.SetFindResult(0);
    QCOMPARE(link.ClassifyDeviceChange(0x8000, &mine), ReceiverLink::kReopened);
    QCOMPARE(link.IsConnected(), 0);
    script.SetFindResult(1);
    QCOMPARE(link.ClassifyDeviceChange(0x8000, &mine), ReceiverLink::kReopened);
    QCOMPARE(link.IsConnected(), 1);
    QCOMPARE(script.CountOf("findHidDevice"), 3);
}

void ReceiverLinkTest::otherDevicesDoNotCloseTheReceiver()
{
    ScriptedReceiver script;
    ReceiverLink link;
    link.Open(kVendor, kProduct, nullptr);
    AtUsbHidDeviceEvent other = Event(0x046D, 0xC52B);

    QCOMPARE(link.ClassifyDeviceChange(0x8004, &other), ReceiverLink::kIgnored);
    QCOMPARE(link.IsConnected(), 1);
    QCOMPARE(script.CountOf("closeDevice"), 0);

    // Any other arrival re-runs the whole opening while the receiver is open.
    QCOMPARE(link.ClassifyDeviceChange(0x8000, &other), ReceiverLink::kReopened);
    QCOMPARE(link.IsConnected(), 1);
    QCOMPARE(script.CountOf("findHidDevice"), 2);
}

void ReceiverLinkTest::closeTwiceClosesOnce()
{
    ScriptedReceiver script;
    {
        ReceiverLink link;
        link.Open(kVendor, kProduct, nullptr);
        QCOMPARE(link.Close(), 1);
        QCOMPARE(link.Close(), 1);
        link.Release();
    } // and the destructor once more
    QCOMPARE(script.CountOf("closeDevice"), 1);
    QCOMPARE(script.CountOf("hidUnregisterDeviceNotification"), 1);
}

void ReceiverLinkTest::reopeningNeitherLeaksTheLibraryNorStacksRegistrations()
{
    // No ScriptedReceiver here: it would hold the library loaded itself.
    // (AddressSanitizer marks instrumented libraries never to be unloaded, so
    // only the plain build can see the unload.)
    {
        ScriptedReceiver fresh; // a clean log, then let go of the library again
    }
#ifndef __SANITIZE_ADDRESS__
    QVERIFY(!LibraryStillLoaded());
#endif
    AtUsbHidDeviceEvent mine = Event(kVendor, kProduct);
    int registrations = 0;
    {
        ReceiverLink link;
        link.Open(kVendor, kProduct, nullptr);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(link.ClassifyDeviceChange(0x8004, &mine), ReceiverLink::kRemoved);
            QCOMPARE(link.ClassifyDeviceChange(0x8000, &mine), ReceiverLink::kReopened);
            QCOMPARE(link.IsConnected(), 1);
        }
        ScriptedReceiver peek(false); // only now, to read the log
        registrations = peek.CountOf("hidRegisterDeviceNotification");
        link.Release();
    }
    QCOMPARE(registrations, 1);
#ifndef __SANITIZE_ADDRESS__
    QVERIFY2(!LibraryStillLoaded(), "every load must be balanced by the unload in Release");
#endif
}

void ReceiverLinkTest::notificationsFromAnyThreadArriveOnTheOwnersThread()
{
    ScriptedReceiver script;
    QObject owner;
    ReceiverLink link;
    std::vector<int> results;
    QThread* handledOn = nullptr;
    DeviceChangeSink sink(
        [&owner](std::function<void()> fn) {
            QMetaObject::invokeMethod(&owner, std::move(fn), Qt::QueuedConnection);
        },
        [&](unsigned type, AtUsbHidDeviceEvent* event) {
            handledOn = QThread::currentThread();
            results.push_back(link.ClassifyDeviceChange(type, event));
        });
    link.Open(kVendor, kProduct, sink.Window());
    QCOMPARE(script.RegisteredCount(), 1);

    // The library's event is gone when its call returns; the copy is handled later.
    QCOMPARE(script.FireDeviceChange(0x8004, kVendor, kProduct, true), 1);
    QVERIFY(results.empty());
    QTRY_COMPARE(results.size(), size_t(1));
    QCOMPARE(results[0], ReceiverLink::kRemoved);
    QCOMPARE(handledOn, QThread::currentThread());
    QCOMPARE(script.CountOf("isMyDeviceNotification 0EBC 2501"), 1);

    script.FireDeviceChange(0x8000, kVendor, kProduct, true);
    QTRY_COMPARE(results.size(), size_t(2));
    QCOMPARE(results[1], ReceiverLink::kReopened);
    QCOMPARE(link.IsConnected(), 1);

    link.Close();
    QCOMPARE(script.RegisteredCount(), 0);
}

void ReceiverLinkTest::findErrorTellsWhyNothingIsConnected_data()
{
    QTest::addColumn<int>("found");
    QTest::addColumn<int>("libraryCause");
    QTest::addColumn<int>("expected");
    QTest::newRow("found") << 1 << ATUSBHID_FIND_NO_PERMISSION << ATUSBHID_FIND_OK;
    QTest::newRow("absent") << 0 << ATUSBHID_FIND_NOT_FOUND << ATUSBHID_FIND_NOT_FOUND;
    QTest::newRow("no permission")
        << 0 << ATUSBHID_FIND_NO_PERMISSION << ATUSBHID_FIND_NO_PERMISSION;
    QTest::newRow("other") << 0 << ATUSBHID_FIND_OTHER << ATUSBHID_FIND_OTHER;
    // A library that contradicts itself or says something unknown: not found.
    QTest::newRow("says ok") << 0 << ATUSBHID_FIND_OK << ATUSBHID_FIND_NOT_FOUND;
    QTest::newRow("unknown") << 0 << 7 << ATUSBHID_FIND_NOT_FOUND;
    QTest::newRow("negative") << 0 << -2 << ATUSBHID_FIND_NOT_FOUND;
}

void ReceiverLinkTest::findErrorTellsWhyNothingIsConnected()
{
    QFETCH(int, found);
    QFETCH(int, libraryCause);
    QFETCH(int, expected);
    ScriptedReceiver script;
    script.SetFindResult(static_cast<unsigned char>(found));
    script.SetFindError(libraryCause);
    ReceiverLink link;
    QCOMPARE(link.LastFindError(), ATUSBHID_FIND_NOT_FOUND); // nothing looked for yet
    QCOMPARE(link.Open(kVendor, kProduct, nullptr), 1);
    QCOMPARE(link.LastFindError(), expected);

    // The cause follows every look: the next arrival, then the removal.
    script.SetFindResult(1);
    script.SetFindError(-1);
    AtUsbHidDeviceEvent mine = Event(kVendor, kProduct);
    link.ClassifyDeviceChange(0x8000, &mine);
    QCOMPARE(link.LastFindError(), ATUSBHID_FIND_OK);
    QCOMPARE(link.ClassifyDeviceChange(0x8004, &mine), ReceiverLink::kRemoved);
    QCOMPARE(link.LastFindError(), ATUSBHID_FIND_NOT_FOUND);
}

QTEST_GUILESS_MAIN(ReceiverLinkTest)
#include "tst_link.moc"
