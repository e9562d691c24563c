// Both receiver libraries offer exactly the eight entry points, and the
// hidapi one binds through the program's loading path.
#include "AtUsbHid.h"
#include "ReceiverLink.h"

#include <QProcess>
#include <QtTest>

#include <chrono>
#include <dlfcn.h>

class ReceiverLibrariesTest : public QObject
{
    Q_OBJECT

private slots:
    void exportOnlyTheEntryPoints_data();
    void exportOnlyTheEntryPoints();
    void hidapiLibraryBinds();
    void hidapiWatcherStopsPromptly();
};

void ReceiverLibrariesTest::exportOnlyTheEntryPoints_data()
{
    QTest::addColumn<QString>("library");
    QTest::newRow("hidapi") << QStringLiteral(HIDAPI_LIBRARY);
    QTest::newRow("simulator") << QStringLiteral(SIMULATOR_LIBRARY);
}

void ReceiverLibrariesTest::exportOnlyTheEntryPoints()
{
    QFETCH(QString, library);
    QVERIFY2(library.endsWith("/libAtUsbHid.so"), qPrintable(library));
    QProcess nm;
    nm.start("nm", {"-D", "--defined-only", library});
    QVERIFY(nm.waitForFinished(10000));
    QCOMPARE(nm.exitCode(), 0);
    QStringList names;
    for (const QByteArray& line : nm.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() == 3)
            names << QString::fromLatin1(parts[2]);
    }
    names.sort();
    QCOMPARE(names, QStringList({"closeDevice", "findHidDevice", "hidRegisterDeviceNotification",
                                 "hidUnregisterDeviceNotification", "isMyDeviceNotification",
                                 "readData", "setFeature", "writeData"}));

    QProcess readelf;
    readelf.start("readelf", {"-d", library});
    QVERIFY(readelf.waitForFinished(10000));
    const QByteArray dynamic = readelf.readAllStandardOutput();
    QVERIFY(!dynamic.contains("SONAME"));
    QCOMPARE(dynamic.contains("libhidapi-hidraw"), library == HIDAPI_LIBRARY);
    QVERIFY(!dynamic.contains("libhidapi-libusb"));
}

void ReceiverLibrariesTest::hidapiLibraryBinds()
{
    // Whether a receiver is plugged in here is not for this test to say.
    ReceiverLink link;
    QCOMPARE(link.Open(0x0EBC, 0x2501, nullptr), 1);
    ReceiverReport report = ReceiverReport::ReadRequest();
    if (!link.IsConnected()) {
        QCOMPARE(link.Write(report), 0);
        QCOMPARE(link.Read(report), 0);
    }
    link.Release();
}

void ReceiverLibrariesTest::hidapiWatcherStopsPromptly()
{
    void* library = dlopen(HIDAPI_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    QVERIFY2(library, dlerror());
    auto reg = reinterpret_cast<int (*)(void*)>(dlsym(library, "hidRegisterDeviceNotification"));
    auto unreg =
        reinterpret_cast<void (*)(void*)>(dlsym(library, "hidUnregisterDeviceNotification"));
    QVERIFY(reg && unreg);
    AtUsbHidNotifySink sink{[](void*, unsigned int, const void*) {}, nullptr};
    // Without udev's netlink socket there is nothing to watch, and 0 says so.
    const int registered = reg(&sink);
    QVERIFY(registered == 0 || registered == 1);
    const auto start = std::chrono::steady_clock::now();
    unreg(&sink);
    QVERIFY(std::chrono::steady_clock::now() - start < std::chrono::seconds(1));
    // Unloading with a sink still registered stops the thread too.
    reg(&sink);
    dlclose(library);
}

QTEST_GUILESS_MAIN(ReceiverLibrariesTest)
#include "tst_ReceiverLibraries.moc"
