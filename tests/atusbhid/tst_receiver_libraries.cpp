// Both receiver libraries offer exactly the eight entry points, and the
// hidapi one runs on the real platform with no receiver and no udev daemon.
#include "AtUsbHid.h"

#include <QProcess>
#include <QtTest>

#include <chrono>
#include <dlfcn.h>

class ReceiverLibrariesTest : public QObject
{
    Q_OBJECT

private slots:
    void exportOnlyTheEntryPoints_data()
    {
        QTest::addColumn<QString>("library");
        QTest::addColumn<QStringList>("optional");
        QTest::newRow("hidapi") << QStringLiteral(HIDAPI_LIBRARY) << QStringList({"lastFindError"});
        QTest::newRow("simulator")
            << QStringLiteral(SIMULATOR_LIBRARY) << QStringList({"lastFindError"});
    }

    void exportOnlyTheEntryPoints()
    {
        QFETCH(QString, library);
        QFETCH(QStringList, optional);
        QVERIFY2(library.endsWith("/libAtUsbHid.so"), qPrintable(library));
        auto run = [](const QString& tool, const QStringList& args) {
            QProcess p;
            p.start(tool, args);
            return p.waitForFinished(10000) && p.exitCode() == 0 ? p.readAllStandardOutput()
                                                                 : QByteArray();
        };
        QStringList names;
        for (const QByteArray& line : run("nm", {"-D", "--defined-only", library}).split('\n')) {
            const QList<QByteArray> parts = line.simplified().split(' ');
            if (parts.size() == 3)
                names << QString::fromLatin1(parts[2]);
        }
        names.sort();
        QStringList expected = {"closeDevice",
                                "findHidDevice",
                                "hidRegisterDeviceNotification",
                                "hidUnregisterDeviceNotification",
                                "isMyDeviceNotification",
                                "readData",
                                "setFeature",
                                "writeData"};
        expected += optional;
        expected.sort();
        QCOMPARE(names, expected);

        const QByteArray dynamic = run("readelf", {"-d", library});
        QVERIFY(dynamic.contains("NEEDED"));
        QVERIFY(!dynamic.contains("SONAME"));
        QCOMPARE(dynamic.contains("libhidapi-hidraw"), library == HIDAPI_LIBRARY);
        QVERIFY(!dynamic.contains("libhidapi-libusb"));
    }

    void hidapiLibraryRunsAndItsWatcherStopsPromptly()
    {
        void* library = dlopen(HIDAPI_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        QVERIFY2(library, dlerror());
        auto find = reinterpret_cast<unsigned char (*)(unsigned, unsigned)>(
            dlsym(library, "findHidDevice"));
        auto reg =
            reinterpret_cast<int (*)(void*)>(dlsym(library, "hidRegisterDeviceNotification"));
        auto unreg =
            reinterpret_cast<void (*)(void*)>(dlsym(library, "hidUnregisterDeviceNotification"));
        QVERIFY(find && reg && unreg);
        // Whether a receiver is plugged in here is not for this test to say.
        find(0x0EBC, 0x2501);
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
};

QTEST_GUILESS_MAIN(ReceiverLibrariesTest)
#include "tst_receiver_libraries.moc"
