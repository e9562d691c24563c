// How long each family's dialog takes from construction to its last key
// field filled, how long OK takes from the click to its message (write,
// commit and read-back), and what CPU time a loaded dialog uses while it
// sits idle, against the simulated receiver.
//
//   bench_config_load [IDLE_SECONDS=10] [RUNS=20]
#include "ConfigTestSupport.h"
#include "SimulatorSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace config_test;

namespace {

double CpuMs(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    auto ms = [](const timeval& t) {
        return t.tv_sec * 1000.0 + t.tv_usec / 1000.0;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

class TimerEventCounter : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Timer)
            ++count;
        return false;
    }
};

// Milliseconds from construction until the last field shows the last answer;
// negative when the load did not finish within 5 s.
double TimeOneLoad(const QString& family, std::unique_ptr<ConfigDialog>* keep = nullptr)
{
    QElapsedTimer clock;
    clock.start();
    auto dialog = MakeDialog(family);
    const int lastSlot = dialog->Family().tableSize;
    QEventLoop loop;
    double elapsed = -1;
    QObject::connect(dialog->KeyField(lastSlot), &QLineEdit::textChanged, &loop, [&] {
        if (!dialog->IsTimerRunning() && !dialog->KeyField(lastSlot)->text().isEmpty()) {
            elapsed = clock.nsecsElapsed() / 1e6;
            loop.quit();
        }
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    dialog->show(); // initialises the dialog, which starts the load
    if (dialog->IsTimerRunning())
        loop.exec();
    if (keep)
        *keep = std::move(dialog);
    return elapsed;
}

// Milliseconds from OK until its message; negative when none came within 5 s
// or it was not the completion message.
double TimeOneOk(ConfigDialog& dialog)
{
    QEventLoop loop;
    double elapsed = -1;
    QElapsedTimer clock;
    const auto previous =
        AppMessageBox::SetHandler([&](QWidget*, const QString& text, AppMessageBox::Buttons) {
            if (text == QLatin1String("Setting has been completed."))
                elapsed = clock.nsecsElapsed() / 1e6;
            loop.quit();
            return int(AppMessageBox::IdOk);
        });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    clock.start();
    dialog.OnOK();
    if (elapsed < 0 && dialog.IsVerifying())
        loop.exec();
    AppMessageBox::SetHandler(previous);
    return elapsed;
}

struct Spread
{
    double min = -1, median = -1, max = -1;
};

Spread SpreadOf(std::vector<double> times)
{
    if (times.empty())
        return {};
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2], times.back()};
}

} // namespace

int main(int argc, char** argv)
{
    // The offscreen platform's remarks would bury the figures.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg && type != QtInfoMsg && type != QtWarningMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;

    SimulatedReceiverState receiver;
    MessageRecorder messages;
    int failures = 0;

    std::printf("%-7s %5s %20s %20s %9s   %s\n", "family", "slots", "load min/median/max",
                "OK min/median/max", "N x 10ms", "idle CPU (process / UI thread), timer events");
    for (const QString& family : Families()) {
        if (!receiver.Run({QStringLiteral("model"), ModelOf(family)})) {
            std::fprintf(stderr, "cannot set the simulated receiver to %s\n",
                         qPrintable(ModelOf(family)));
            return 2;
        }
        std::vector<double> loads;
        for (int run = 0; run < runs; ++run) {
            const double ms = TimeOneLoad(family);
            if (ms < 0)
                ++failures;
            else
                loads.push_back(ms);
        }

        // OK with the loaded (factory) keys: every slot is written and read back.
        std::unique_ptr<ConfigDialog> dialog;
        TimeOneLoad(family, &dialog);
        std::vector<double> oks;
        for (int run = 0; run < runs; ++run) {
            const double ms = TimeOneOk(*dialog);
            if (ms < 0)
                ++failures;
            else
                oks.push_back(ms);
        }

        const int slotCount = dialog->Family().tableSize;
        TimerEventCounter timerEvents;
        dialog->installEventFilter(&timerEvents);
        const double processBefore = CpuMs(RUSAGE_SELF);
        const double threadBefore = CpuMs(RUSAGE_THREAD);
        QEventLoop idle;
        QTimer::singleShot(idleSeconds * 1000, &idle, &QEventLoop::quit);
        idle.exec();
        const double processCpu = CpuMs(RUSAGE_SELF) - processBefore;
        const double threadCpu = CpuMs(RUSAGE_THREAD) - threadBefore;
        const bool timerStopped = !dialog->IsTimerRunning();
        dialog.reset();
        if (!timerStopped)
            ++failures;

        const Spread load = SpreadOf(loads);
        const Spread ok = SpreadOf(oks);
        std::printf("%-7s %5d %6.1f/%6.1f/%6.1f %6.1f/%6.1f/%6.1f %9d   %.1f ms / %.1f ms in %d s, "
                    "%d%s\n",
                    qPrintable(family), slotCount, load.min, load.median, load.max, ok.min,
                    ok.median, ok.max, slotCount * 10, processCpu, threadCpu, idleSeconds,
                    timerEvents.count, timerStopped ? "" : " (timer 1 still running)");
    }
    if (!messages.texts.isEmpty()) {
        std::fprintf(stderr, "unexpected messages: %s\n", qPrintable(messages.texts.join("; ")));
        ++failures;
    }
    return failures ? 1 : 0;
}
