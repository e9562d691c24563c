// The hidapi receiver library as users run it: loaded by plain name through
// ReceiverLink, over the real hidapi and libudev, against receivers emulated
// at the kernel boundary (sysfs, hidraw nodes, ioctls, uevents).
#include "DeviceChangeSink.h"
#include "EmulatedReceivers.h"
#include "ReceiverLink.h"

#include <QProcess>
#include <QtTest>

#include <linux/hidraw.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <chrono>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <unistd.h>

namespace {

constexpr unsigned kVendor = 0x0EBC, kProduct = 0x2501;
const std::string kReadRequest = "00 FC 00 00 00 00 00 00 00";

int CountEntries(const char* dir)
{
    int n = 0;
    if (DIR* d = opendir(dir)) {
        while (dirent* e = readdir(d))
            n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

// A link with what a dialog gives it: the library's notifications, handed
// over to this thread and classified here in the order they came.
class Dialog
{
public:
    Dialog()
        : sink(
              [this](std::function<void()> call) {
                  std::lock_guard lock(mutex);
                  queued.push_back(std::move(call));
              },
              [this](unsigned type, AtUsbHidDeviceEvent* event) {
                  results.push_back(link.ClassifyDeviceChange(type, event));
              })
    {}
    ~Dialog() { link.Release(); }

    void Open() { link.Open(kVendor, kProduct, sink.Window()); }
    // Handles what has come in until `count` notifications are classified.
    bool WaitForResults(std::size_t count, int ms = 5000)
    {
        QElapsedTimer clock;
        clock.start();
        while (results.size() < count && clock.elapsed() < ms) {
            std::deque<std::function<void()>> now;
            {
                std::lock_guard lock(mutex);
                now.swap(queued);
            }
            for (auto& call : now)
                call();
            if (results.size() < count)
                QTest::qWait(10);
        }
        return results.size() >= count;
    }
    // The table's answers as the dialog's timer collects them.
    std::vector<ReceiverReport> ReadAnswers(std::size_t count, int ms = 3000)
    {
        std::vector<ReceiverReport> answers;
        QElapsedTimer clock;
        clock.start();
        while (answers.size() < count && clock.elapsed() < ms) {
            ReceiverReport buffer;
            if (link.Read(buffer) == -1)
                QTest::qWait(2);
            else
                answers.push_back(buffer);
        }
        return answers;
    }

    ReceiverLink link;
    std::vector<int> results;

private:
    std::mutex mutex;
    std::deque<std::function<void()>> queued;
    DeviceChangeSink sink;
};

} // namespace

class RealReceiverTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(EmulatedReceivers::InMockEnvironment(),
                 "run with libumockdev-preload.so in LD_PRELOAD");
    }

    void vendorInterfaceWhateverTheOrder_data()
    {
        QTest::addColumn<bool>("vendorFirst");
        QTest::newRow("keyboard first") << false;
        QTest::newRow("vendor first") << true;
    }

    void vendorInterfaceWhateverTheOrder()
    {
        QFETCH(bool, vendorFirst);
        EmulatedReceivers usb;
        EmulatedReceiverOptions options;
        options.vendorFirst = vendorFirst;
        const int r = usb.Plug(options);
        Dialog dialog;
        dialog.Open();
        QCOMPARE(dialog.link.IsConnected(), 1);
        QCOMPARE(dialog.link.LastFindError(), ATUSBHID_FIND_OK);

        QCOMPARE(dialog.link.Write(ReceiverReport::ReadRequest()), 1);
        QCOMPARE(usb.Writes(r, HidInterface::Vendor), std::vector<std::string>{kReadRequest});
        QVERIFY(usb.Writes(r, HidInterface::Keyboard).empty());
        const std::vector<ReceiverReport> answers = dialog.ReadAnswers(7);
        QCOMPARE(answers.size(), std::size_t(7));
        const KeyTable& factory = FactoryTable(ReceiverFamily::Rv);
        for (std::size_t i = 0; i < answers.size(); ++i) {
            QCOMPARE(int(answers[i].bytes[0]), 7);
            QCOMPARE(int(answers[i].bytes[1]), int(i + 1));
            QCOMPARE(answers[i].bytes[3], factory[i].modifier);
            QCOMPARE(answers[i].bytes[4], factory[i].keyCode);
        }

        // Written and committed on the device itself.
        QCOMPARE(dialog.link.Write(ReceiverReport::WriteKeyRequest(7, 1, 0x37, 0x01, 0x3E)), 1);
        QCOMPARE(dialog.link.Write(ReceiverReport::CommitRequest()), 1);
        QCOMPARE(usb.Writes(r, HidInterface::Vendor).back(),
                 std::string("00 FE 00 00 00 00 00 00 00"));
        QCOMPARE(usb.Table(r)[0], (KeyEntry{0x01, 0x3E}));

        // Feature reports go out through HIDIOCSFEATURE, with the same leading 0.
        unsigned char feature[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        QCOMPARE(AtUsbHidTable().setFeature(feature), 1);
        QCOMPARE(usb.Features(r, HidInterface::Vendor),
                 std::vector<std::string>{"00 01 02 03 04 05 06 07 08"});
    }

    // What hidapi does not ask today but a kernel's hidraw node answers.
    void nodesAnswerAsHidrawDoes()
    {
        EmulatedReceivers usb;
        const int r = usb.Plug();
        for (const HidInterface which : {HidInterface::Keyboard, HidInterface::Vendor}) {
            const int fd = ::open(usb.DevNode(r, which).c_str(), O_RDWR | O_CLOEXEC);
            QVERIFY(fd >= 0);
            hidraw_devinfo info{};
            QCOMPARE(::ioctl(fd, HIDIOCGRAWINFO, &info), 0);
            QCOMPARE(info.bustype, 3u);
            QCOMPARE(quint16(info.vendor), quint16(kVendor));
            QCOMPARE(quint16(info.product), quint16(kProduct));
            hidraw_report_descriptor descriptor{};
            QCOMPARE(::ioctl(fd, HIDIOCGRDESCSIZE, &descriptor.size), 0);
            QVERIFY(descriptor.size > 3);
            QCOMPARE(::ioctl(fd, HIDIOCGRDESC, &descriptor), 0);
            // Usage page 0xFF00, or 0x01 (generic desktop) for the keyboard.
            const QByteArray start(reinterpret_cast<const char*>(descriptor.value), 3);
            QCOMPARE(start.toHex(), which == HidInterface::Vendor ? "0600ff" : "050109");
            unsigned char buffer[8];
            errno = 0;
            QCOMPARE(::read(fd, buffer, sizeof buffer), ssize_t(-1));
            QCOMPARE(errno, EAGAIN);
            ::close(fd);
        }
        const int fd = ::open(usb.DevNode(r, HidInterface::Vendor).c_str(), O_RDWR | O_CLOEXEC);
        usb.RemoveNode(r, HidInterface::Vendor);
        const unsigned char request[9] = {0, 0xFC};
        errno = 0;
        QCOMPARE(::write(fd, request, sizeof request), ssize_t(-1));
        QCOMPARE(errno, ENODEV);
        ::close(fd);
    }

    void removalMidLoad_data()
    {
        QTest::addColumn<HidInterface>("first");
        QTest::newRow("vendor node first") << HidInterface::Vendor;
        QTest::newRow("keyboard node first") << HidInterface::Keyboard;
    }

    void removalMidLoad()
    {
        QFETCH(HidInterface, first);
        EmulatedReceivers usb;
        const int r = usb.Plug();
        Dialog dialog;
        dialog.Open();
        QCOMPARE(dialog.link.Write(ReceiverReport::ReadRequest()), 1);
        QCOMPARE(dialog.ReadAnswers(2).size(), std::size_t(2));

        usb.Unplug(r, first);
        // Before the notification is handled the node already answers nothing.
        ReceiverReport buffer;
        QCOMPARE(dialog.link.Read(buffer), -1);
        QVERIFY(dialog.WaitForResults(2));
        QTest::qWait(100);
        QCOMPARE(dialog.results.size(), std::size_t(2));
        // One removal message, for the node held open, whichever left first.
        QCOMPARE(std::count(dialog.results.begin(), dialog.results.end(), ReceiverLink::kRemoved),
                 1);
        QCOMPARE(std::count(dialog.results.begin(), dialog.results.end(), ReceiverLink::kIgnored),
                 1);
        QCOMPARE(dialog.link.IsConnected(), 0);
        QCOMPARE(dialog.link.Read(buffer), 0);
        QTRY_COMPARE(usb.OpenCount(r, HidInterface::Vendor), 0);
    }

    void replugEndsOnTheVendorInterface_data()
    {
        QTest::addColumn<HidInterface>("arrivesFirst");
        QTest::newRow("keyboard node first") << HidInterface::Keyboard;
        QTest::newRow("vendor node first") << HidInterface::Vendor;
    }

    void replugEndsOnTheVendorInterface()
    {
        QFETCH(HidInterface, arrivesFirst);
        const HidInterface second =
            arrivesFirst == HidInterface::Vendor ? HidInterface::Keyboard : HidInterface::Vendor;
        EmulatedReceivers usb;
        const int before = usb.Plug();
        Dialog dialog;
        dialog.Open();
        usb.Unplug(before);
        QVERIFY(dialog.WaitForResults(2));

        // The nodes arrive one by one, each handled before the next.
        const int r = usb.AddReceiver();
        usb.AddNode(r, arrivesFirst);
        QVERIFY(dialog.WaitForResults(3));
        QCOMPARE(dialog.results.back(), ReceiverLink::kReopened);
        QCOMPARE(dialog.link.IsConnected(), 1);
        usb.AddNode(r, second);
        QVERIFY(dialog.WaitForResults(4));
        QCOMPARE(dialog.link.IsConnected(), 1);

        QTRY_COMPARE(usb.OpenCount(r, HidInterface::Keyboard), 0);
        QCOMPARE(usb.OpenCount(r, HidInterface::Vendor), 1);
        QCOMPARE(dialog.link.Write(ReceiverReport::ReadRequest()), 1);
        QCOMPARE(usb.Writes(r, HidInterface::Vendor), std::vector<std::string>{kReadRequest});
        QCOMPARE(dialog.ReadAnswers(7).size(), std::size_t(7));
    }

    void otherReceiversComeAndGoWithoutDisturbingOurs()
    {
        EmulatedReceivers usb;
        const int ours = usb.Plug();
        const int twin = usb.Plug();
        Dialog dialog;
        dialog.Open();
        QCOMPARE(dialog.link.Write(ReceiverReport::ReadRequest()), 1);
        QCOMPARE(usb.Writes(ours, HidInterface::Vendor), std::vector<std::string>{kReadRequest});
        QCOMPARE(dialog.ReadAnswers(3).size(), std::size_t(3));

        // A third identical receiver arrives mid-load: the link looks again,
        // stays where it is and loses none of the answers on their way.
        const int third = usb.Plug();
        QVERIFY(dialog.WaitForResults(2));
        QCOMPARE(dialog.link.IsConnected(), 1);
        QCOMPARE(dialog.ReadAnswers(4).size(), std::size_t(4));

        // Another maker's device: its nodes are never opened to look at them.
        EmulatedReceiverOptions stranger;
        stranger.vendorId = 0x046D;
        stranger.productId = 0xC52B;
        const int other = usb.Plug(stranger);
        QVERIFY(dialog.WaitForResults(4));

        // The twin leaves, node by node: none of it is ours.
        usb.Unplug(twin);
        usb.Unplug(other, HidInterface::Keyboard);
        QVERIFY(dialog.WaitForResults(8));
        QTest::qWait(100);
        QCOMPARE(std::vector<int>(dialog.results.begin() + 4, dialog.results.end()),
                 std::vector<int>(4, ReceiverLink::kIgnored));
        QCOMPARE(dialog.link.IsConnected(), 1);
        QCOMPARE(dialog.link.Write(ReceiverReport::CommitRequest()), 1);
        QCOMPARE(usb.Writes(ours, HidInterface::Vendor).size(), std::size_t(2));
        for (const int r : {twin, third})
            QVERIFY(usb.Writes(r, HidInterface::Vendor).empty());
        QCOMPARE(usb.OpenedEver(other, HidInterface::Vendor), 0);
        QCOMPARE(usb.OpenedEver(other, HidInterface::Keyboard), 0);
    }

    void openCloseCyclesLeaveNothingBehind()
    {
        EmulatedReceivers usb;
        const int r = usb.Plug();
        Dialog dialog;
        // The whole link: library bound, receiver opened, watcher started,
        // one request; then closed and the watcher stopped.
        auto linkCycle = [&] {
            dialog.Open();
            const bool sent = dialog.link.Write(ReceiverReport::ReadRequest()) == 1;
            dialog.link.Close();
            return dialog.link.IsConnected() == 0 && sent;
        };
        // The library's own opening and closing of the receiver, as often as
        // a long session might.
        AtUsbHidEntryPoints& library = AtUsbHidTable();
        unsigned char request[8] = {0xFC};
        auto deviceCycle = [&] {
            const bool found = library.findHidDevice(kVendor, kProduct) == 1;
            const bool sent = library.writeData(request) == 1;
            library.closeDevice();
            return found && sent;
        };
        QVERIFY(linkCycle()); // loads the library and starts what it keeps
        // umockdev's end of each descriptor closes a moment after ours.
        QTest::qWait(100);
        const int fds = CountEntries("/proc/self/fd");
        const int threads = CountEntries("/proc/self/task");
        for (int i = 0; i < 50; ++i)
            QVERIFY2(linkCycle(), qPrintable(QString::number(i)));
        dialog.Open();
        for (int i = 0; i < 1000; ++i)
            QVERIFY2(deviceCycle(), qPrintable(QString::number(i)));
        dialog.link.Close();
        QCOMPARE(usb.Writes(r, HidInterface::Vendor).size(), std::size_t(1051));
        QTRY_VERIFY(CountEntries("/proc/self/fd") <= fds);
        QCOMPARE(CountEntries("/proc/self/task"), threads);
        QCOMPARE(usb.OpenCount(r, HidInterface::Vendor), 0);
        dialog.link.Release();
        // Unloaded, the library leaves no thread running.
        QVERIFY(CountEntries("/proc/self/task") < threads);
    }

    void stalledReceiverCostsAtMostASecond()
    {
        EmulatedReceivers usb;
        const int r = usb.Plug();
        Dialog dialog;
        dialog.Open();
        usb.StallWrites(true);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(dialog.link.Write(ReceiverReport::ReadRequest()), 0);
        const qint64 first = clock.restart();
        QVERIFY2(first >= 900 && first < 2000, qPrintable(QString::number(first)));
        // While it hangs, everything else fails at once.
        QCOMPARE(dialog.link.Write(ReceiverReport::CommitRequest()), 0);
        ReceiverReport buffer;
        QCOMPARE(dialog.link.Read(buffer), -1);
        dialog.link.Close();
        QVERIFY2(clock.elapsed() < 300, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(usb.OpenCount(r, HidInterface::Vendor), 1); // closed once it comes back

        usb.StallWrites(false);
        QTRY_COMPARE(usb.OpenCount(r, HidInterface::Vendor), 0);
        dialog.Open();
        QCOMPARE(dialog.link.Write(ReceiverReport::ReadRequest()), 1);
        QCOMPARE(dialog.ReadAnswers(7).size(), std::size_t(7));
    }

    void permissionIsToldFromAbsence_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("may open") << "allow" << QByteArray("connected=1 cause=0");
        QTest::newRow("may not open") << "deny" << QByteArray("connected=0 cause=2");
        QTest::newRow("absent") << "absent" << QByteArray("connected=0 cause=1");
    }

    void permissionIsToldFromAbsence()
    {
        QFETCH(QString, mode);
        QFETCH(QByteArray, expected);
        // Root may open anything: the probe drops to an ordinary user first.
        QStringList command{QStringLiteral(PERMISSION_PROBE), mode};
        if (geteuid() == 0)
            command =
                QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", "--"} + command;
        QProcess probe;
        probe.start(geteuid() == 0 ? "setpriv" : command.takeFirst(), command);
        QVERIFY(probe.waitForFinished(20000));
        const QByteArray out = probe.readAllStandardOutput().trimmed();
        QVERIFY2(out == expected, probe.readAllStandardError().constData());
        QCOMPARE(probe.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(RealReceiverTest)
#include "tst_real_receiver.moc"
