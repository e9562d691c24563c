// Binding failures: run once per library variant (TAVROLIN_EXPECT_MISSING
// names the entry point that variant lacks; "library" when there is none).
#include "AtUsbHid.h"
#include "ReceiverLink.h"
#include "ScriptedControl.h"

#include <QtTest>

#include <cstdio>
#include <unistd.h>

namespace {

// Runs fn with stderr sent to a temporary file and returns what it wrote.
template <typename Fn> QByteArray CaptureStderr(Fn fn)
{
    std::fflush(stderr);
    FILE* tmp = std::tmpfile();
    const int saved = dup(fileno(stderr));
    dup2(fileno(tmp), fileno(stderr));
    fn();
    std::fflush(stderr);
    dup2(saved, fileno(stderr));
    close(saved);
    std::rewind(tmp);
    QByteArray out;
    char chunk[256];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, tmp)) > 0)
        out.append(chunk, static_cast<qsizetype>(n));
    std::fclose(tmp);
    return out;
}

} // namespace

class BindingTest : public QObject
{
    Q_OBJECT

private slots:
    void incompleteLibraryIsRefused();
};

void BindingTest::incompleteLibraryIsRefused()
{
    const QByteArray missing = qgetenv("TAVROLIN_EXPECT_MISSING");
    QVERIFY(!missing.isEmpty());

    ReceiverLink link;
    int opened = -1;
    if (missing == "lastFindError") {
        // Optional: the library binds without it, and every failure to find
        // the receiver reads as "not found".
        ScriptedReceiver script;
        script.SetFindResult(0);
        script.SetFindError(ATUSBHID_FIND_NO_PERMISSION);
        const QByteArray err = CaptureStderr([&] { opened = link.Open(0x0EBC, 0x2501, nullptr); });
        QCOMPARE(opened, 1);
        QCOMPARE(err, QByteArray());
        QCOMPARE(script.CountOf("findHidDevice"), 1);
        QCOMPARE(link.LastFindError(), ATUSBHID_FIND_NOT_FOUND);
        script.SetFindResult(1);
        QCOMPARE(link.Open(0x0EBC, 0x2501, nullptr), 1);
        QCOMPARE(link.IsConnected(), 1);
        QCOMPARE(link.LastFindError(), ATUSBHID_FIND_OK);
        link.Release();
        return;
    }
    const QByteArray err = CaptureStderr([&] { opened = link.Open(0x0EBC, 0x2501, nullptr); });
    QCOMPARE(opened, 0);
    QCOMPARE(link.IsConnected(), 0);

    if (missing == "library") {
        QCOMPARE(err, QByteArray()); // a missing library is not reported
    } else {
        QCOMPARE(err, QByteArray("Error: Cannot get address of function.\n"));
        // The receiver is never looked for (the module stays loaded until Release).
        ScriptedReceiver peek(false);
        QVERIFY(peek.IsLoaded());
        QCOMPARE(peek.CountOf("findHidDevice"), 0);
    }

    // Whatever failed, nothing reaches a half-bound library afterwards.
    ReceiverReport buffer;
    QCOMPARE(link.Write(ReceiverReport::ReadRequest()), 0);
    QCOMPARE(link.Read(buffer), 0);
    AtUsbHidDeviceEvent event{0x0EBC, 0x2501, {}};
    QCOMPARE(link.ClassifyDeviceChange(0x8004, &event), ReceiverLink::kIgnored);
    CaptureStderr(
        [&] { QCOMPARE(link.ClassifyDeviceChange(0x8000, &event), ReceiverLink::kReopened); });
    QCOMPARE(link.IsConnected(), 0);
    link.Release();
    link.Release();
}

QTEST_GUILESS_MAIN(BindingTest)
#include "tst_binding.moc"
