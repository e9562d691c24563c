// The tavrolinctl program against the simulated receiver, process to
// process, as a user or a script runs it.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Result
{
    int status = -1;
    QString out, err;
};

} // namespace

class TestCtlSimulator : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void RoundTripsForEveryFamily_data();
    void RoundTripsForEveryFamily();
    void RefusalsLeaveTheReceiverAlone_data();
    void RefusalsLeaveTheReceiverAlone();
    void WriteNotVerified();
    void ExportFollowsNothingPlanted();
    void ImportReadsOnlyRegularFilesOrStandardInput();
    void LostOutputIsAFailure();
    void NeverLoadsALibraryFromTheWorkingDirectory();
    void HelpVersionAndUnknownOptions_data();
    void HelpVersionAndUnknownOptions();
    void JsonForEveryCommand_data();
    void JsonForEveryCommand();
    void WatchTheEmulatedReceiver_data();
    void WatchTheEmulatedReceiver();

private:
    // Run in the test's folder; `output` takes standard output instead of the test.
    Result Ctl(const QStringList& args, const QByteArray& input = {},
               const QStringList& environment = {}, const QString& output = {});
    bool Simulator(const QStringList& args);
    QByteArray State();
    QString File(const QString& name) const { return dir.filePath(name); }
    void Write(const QString& name, const QByteArray& text);

    QTemporaryDir dir;
    bool simulatorLibrary = true;
};

void TestCtlSimulator::initTestCase()
{
    QVERIFY(dir.isValid());
}

Result TestCtlSimulator::Ctl(const QStringList& args, const QByteArray& input,
                             const QStringList& environment, const QString& output)
{
    QProcess process;
    if (!output.isEmpty())
        process.setStandardOutputFile(output);
    process.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& pair : environment)
        env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    simulatorLibrary ? env.insert("LD_LIBRARY_PATH", SIMULATOR_LIBRARY_DIR)
                     : env.remove("LD_LIBRARY_PATH");
    env.insert(QStringLiteral("TAVROLIN_SIMULATOR_STATE"), File(QStringLiteral("receiver.state")));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(TAVROLINCTL), args);
    process.write(input);
    process.closeWriteChannel();
    Result r;
    if (!process.waitForFinished(15000)) {
        process.kill();
        process.waitForFinished();
        return r;
    }
    r.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = QString::fromUtf8(process.readAllStandardOutput());
    r.err = QString::fromUtf8(process.readAllStandardError());
    return r;
}

bool TestCtlSimulator::Simulator(const QStringList& args)
{
    QProcess tool;
    tool.start(QStringLiteral(SIMULATOR_TOOL),
               QStringList{QStringLiteral("--state"), File(QStringLiteral("receiver.state"))} +
                   args);
    return tool.waitForFinished(10000) && tool.exitStatus() == QProcess::NormalExit &&
           tool.exitCode() == 0;
}

QByteArray TestCtlSimulator::State()
{
    QFile state(File(QStringLiteral("receiver.state")));
    return state.open(QIODevice::ReadOnly) ? state.readAll() : QByteArray();
}

void TestCtlSimulator::Write(const QString& name, const QByteArray& text)
{
    QFile file(File(name));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

void TestCtlSimulator::RoundTripsForEveryFamily_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("lastSlot");
    QTest::addColumn<QString>("factoryKey"); // of the last slot
    QTest::newRow("LT-61") << "LT-61"
                           << "LT-61 family" << 2 << "Page Down";
    QTest::newRow("QN") << "QN-70 Vela"
                        << "QN family" << 5 << "Page Down";
    QTest::newRow("LT-61P/LT-65") << "LT-65"
                                  << "LT-61P/LT-65 family" << 5 << "Esc";
    QTest::newRow("RV-80") << "RV-80G"
                           << "RV-80 family" << 7 << "Page Down";
}

void TestCtlSimulator::RoundTripsForEveryFamily()
{
    QFETCH(QString, model);
    QFETCH(QString, family);
    QFETCH(int, lastSlot);
    QFETCH(QString, factoryKey);
    QVERIFY(Simulator({QStringLiteral("model"), model}));
    const QString last = QString::number(lastSlot);
    const QString table = File(QStringLiteral("table.txt"));

    Result r = Ctl({QStringLiteral("show")});
    QCOMPARE(r.status, 0);
    QVERIFY2(r.out.contains(family), qPrintable(r.out));

    r = Ctl({QStringLiteral("set"), QStringLiteral("--model"), model, QStringLiteral("1"),
             QStringLiteral("ctrl+shift+f5"), last, QStringLiteral("L_Wnd+D")});
    QCOMPARE(r.status, 0);
    r = Ctl({QStringLiteral("export"), QStringLiteral("--model"), model, table});
    QCOMPARE(r.status, 0);

    r = Ctl({QStringLiteral("reset"), QStringLiteral("--yes")});
    QCOMPARE(r.status, 0);
    r = Ctl({QStringLiteral("show"), QStringLiteral("--model"), model});
    QVERIFY2(
        r.out.contains(QRegularExpression(QStringLiteral("\\n%1 .* %2 ").arg(last, factoryKey))),
        qPrintable(r.out));

    r = Ctl({QStringLiteral("import"), table});
    QCOMPARE(r.status, 0);
    r = Ctl({QStringLiteral("show"), QStringLiteral("--json"), QStringLiteral("--model"), model});
    QCOMPARE(r.status, 0);
    QVERIFY2(r.out.contains(QStringLiteral("\"slot\": 1, ")) &&
                 r.out.contains(QStringLiteral("\"key\": \"Shift+Ctrl+F5\"")) &&
                 r.out.contains(QStringLiteral("\"key\": \"R_Wnd+L_Wnd+D\"")),
             qPrintable(r.out));
}

void TestCtlSimulator::RefusalsLeaveTheReceiverAlone_data()
{
    QTest::addColumn<QString>("receiverModel");
    QTest::addColumn<QByteArray>("file"); // written to bad.txt
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    const QByteArray rv = "format = 1\nmodel = RV-80\n1 = .\n2 = Down\n3 = Up\n4 = F5\n5 = Esc\n"
                          "6 = Page Up\n7 = Page Down\n";
    const QStringList import{QStringLiteral("import"), QStringLiteral("bad.txt")};
    QTest::newRow("file for another family")
        << "QN-90" << rv << import << 1
        << "bad.txt is for RV-80 of the RV-80 family, but the receiver holds a QN family table.";
    QByteArray badKey = rv;
    badKey.replace("4 = F5", "4 = Shift+F5+");
    QTest::newRow("bad key on line 6")
        << "RV-80" << badKey << import << 1 << "bad.txt:6: 'Shift+F5+' is no key name";
    QTest::newRow("missing slot") << "RV-80" << QByteArray(rv).replace("7 = Page Down\n", "")
                                  << import << 1 << "no line for slot 7";
    QTest::newRow("no such file") << "RV-80" << QByteArray() << QStringList{"import", "nofile"} << 1
                                  << "nofile: cannot be read";
    QTest::newRow("wrong model") << "LT-61" << QByteArray()
                                 << QStringList{"set", "--model", "LT-65", "1", "F5"} << 1
                                 << "it is no LT-65 receiver";
    QTest::newRow("bad key name") << "LT-61" << QByteArray()
                                  << QStringList{"set", "--model", "LT-61", "2", "Pgae Down"} << 1
                                  << "nearest: Page Down";
    QTest::newRow("unplugged") << "unplug" << QByteArray()
                               << QStringList{"set", "--model", "LT-61", "1", "F5"} << 2
                               << "The receiver is not connected.";
    QTest::newRow("no permission")
        << "access" << QByteArray() << QStringList{"show"} << 2 << "may not open it";
    // Not even the read request goes out.
    QTest::newRow("writes fail") << "writes" << QByteArray()
                                 << QStringList{"set", "--model", "LT-61", "1", "F5"} << 2
                                 << "did not send its key table";
}

void TestCtlSimulator::RefusalsLeaveTheReceiverAlone()
{
    QFETCH(QString, receiverModel);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, message);
    // Not a model: the receiver is an LT-61 one with that fault.
    const QStringList faults{QStringLiteral("unplug"), QStringLiteral("writes"),
                             QStringLiteral("access")};
    const bool fault = faults.contains(receiverModel);
    QVERIFY(Simulator({QStringLiteral("model"), fault ? QStringLiteral("LT-61") : receiverModel}));
    QVERIFY(Simulator({QStringLiteral("fault"), QStringLiteral("clear")}));
    if (receiverModel == QLatin1String("unplug"))
        QVERIFY(Simulator({QStringLiteral("unplug")}));
    else if (fault)
        QVERIFY(Simulator({QStringLiteral("fault"), receiverModel, QStringLiteral("on")}));
    if (!file.isEmpty())
        Write(QStringLiteral("bad.txt"), file);
    const QByteArray before = State();

    // The file names are relative to the test's folder.
    const QString here = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const Result r = Ctl(args);
    QDir::setCurrent(here);
    QCOMPARE(r.status, status);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QCOMPARE(State(), before);
    QVERIFY(Simulator({QStringLiteral("fault"), QStringLiteral("clear")}));
    QVERIFY(Simulator({QStringLiteral("plug")}));
}

void TestCtlSimulator::WriteNotVerified()
{
    QVERIFY(Simulator({QStringLiteral("model"), QStringLiteral("RV-80")}));
    if (!Simulator({QStringLiteral("fault"), QStringLiteral("keep"), QStringLiteral("on")}))
        QSKIP("this simulated receiver has no 'fault keep'");
    const Result r = Ctl({QStringLiteral("set"), QStringLiteral("--model"), QStringLiteral("RV-80"),
                          QStringLiteral("3"), QStringLiteral("Ctrl+Up")});
    QVERIFY(Simulator({QStringLiteral("fault"), QStringLiteral("clear")}));
    QCOMPARE(r.status, 3);
    QVERIFY2(r.err.contains(QStringLiteral("Slot 3 reads Up, not Ctrl+Up")), qPrintable(r.err));
}

// Nothing planted beside the file is followed, replaced or waited on, an
// empty name is refused, and the file gets the user's umask.
void TestCtlSimulator::ExportFollowsNothingPlanted()
{
    QVERIFY(Simulator({"model", "LT-61"}));
    Write(".tmp", "mine");
    QVERIFY(QFile::link(File("victim"), File("a.tmp")) &&
            !::mkfifo(qPrintable(File("b.tmp")), 0600));
    const mode_t mask = ::umask(027);
    const QList<int> status{Ctl({"export", "--model", "LT-61", "a"}).status,
                            Ctl({"export", "--model", "LT-61", "b"}).status,
                            Ctl({"export", "--model", "LT-61", ""}).status};
    ::umask(mask);
    QCOMPARE(status, QList<int>({0, 0, 1}));
    QCOMPARE(int(QFileInfo(File("a")).permissions() & 0x0777), 0x0640);
    QVERIFY(!QFileInfo(File("a")).isSymLink() && QFileInfo(File("a.tmp")).isSymLink());
    QVERIFY(!QFile::exists(File("victim")) && QFile::exists(File(".tmp")));
}

// A FIFO is refused at once, never waited on; "-" is standard input.
void TestCtlSimulator::ImportReadsOnlyRegularFilesOrStandardInput()
{
    QVERIFY(Simulator({"model", "LT-61"}));
    QVERIFY(!::mkfifo(qPrintable(File("fifo")), 0600));
    QElapsedTimer clock;
    clock.start();
    const Result r = Ctl({"import", "fifo"});
    QVERIFY(clock.elapsed() < 1000 && r.status == 1 && r.err.contains("not a regular file"));
    QCOMPARE(Ctl({"import", "-"}, "format = 1\nmodel = LT-61\n1 = Ctrl+none\n2 = F5\n").status, 0);
}

// Output lost to a full disk fails; a long key name keeps its column.
void TestCtlSimulator::LostOutputIsAFailure()
{
    QVERIFY(Simulator({"model", "LT-61"}));
    for (const QStringList& args :
         {QStringList{"export", "--model", "LT-61", "-"}, {"show", "--json"}}) {
        const Result r = Ctl(args, {}, {}, "/dev/full");
        QVERIFY(r.status == 1 && r.err.contains("could not be written"));
    }
    QCOMPARE(Ctl({"set", "--model", "LT-61", "1", "Shift+Ctrl+Alt+Num ."}).status, 0);
    QVERIFY(Ctl({"show"}).out.contains("Shift+Ctrl+Alt+Num . 4B 07 63"));
}

// The build tree's program never loads a library left in the directory it
// starts in (here the simulated one): it finds the build's own.
void TestCtlSimulator::NeverLoadsALibraryFromTheWorkingDirectory()
{
    QVERIFY(Simulator({"model", "LT-61"}));
    QVERIFY(QFile::copy(SIMULATOR_LIBRARY_DIR "/libAtUsbHid.so", File("libAtUsbHid.so")));
    simulatorLibrary = false;
    const Result r = Ctl({"show"});
    simulatorLibrary = true;
    QVERIFY2(r.status == 2 && !r.out.contains("LT-61"), qPrintable(r.out));
}

void TestCtlSimulator::HelpVersionAndUnknownOptions_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output"); // on standard output, or error when status != 0
    const QString ctl = QStringLiteral(TAVROLINCTL);
    const QString gui = QStringLiteral(TAVROLIN);
    QTest::newRow("ctl --help") << ctl << QStringList{"--help"} << 0 << "Usage: tavrolinctl";
    QTest::newRow("ctl --version") << ctl << QStringList{"--version"} << 0 << "tavrolinctl 0.";
    QTest::newRow("ctl no command") << ctl << QStringList{} << 1 << "Usage: tavrolinctl";
    QTest::newRow("ctl unknown command") << ctl << QStringList{"shwo"} << 1 << "unknown command";
    QTest::newRow("ctl unknown option, Korean")
        << ctl << QStringList{"--lang", "ko", "show", "-x"} << 1 << "알 수 없는 옵션입니다: '-x'";
    QTest::newRow("ctl models") << ctl << QStringList{"models"} << 0 << "QN-90       QN family";
    QTest::newRow("ctl set --help")
        << ctl << QStringList{"set", "--help"} << 0 << "Usage: tavrolinctl set --model M SLOT KEY";
    QTest::newRow("ctl help watch") << ctl << QStringList{"help", "watch"} << 0 << "--count N";
    QTest::newRow("ctl help of no command")
        << ctl << QStringList{"help", "shwo"} << 1 << "unknown command 'shwo'";
    QTest::newRow("ctl option of another command")
        << ctl << QStringList{"show", "--count", "2"} << 1 << "'show' has no option --count";
    QTest::newRow("ctl watch --count 0")
        << ctl << QStringList{"watch", "--count", "0"} << 1 << "number greater than 0";
    // Completed from the file bash-completion loads, by the program itself.
    QTest::newRow("bash completion of a model")
        << QStringLiteral("bash")
        << QStringList{"-c", QStringLiteral(". %1; COMP_WORDS=(%2 set --model R); COMP_CWORD=3; "
                                            "_tavrolinctl; echo \"${COMPREPLY[*]}\"")
                                 .arg(QStringLiteral(COMPLETION), ctl)}
        << 0 << "RV-80 RV-80G\n";
    QTest::newRow("bash completion of a key")
        << QStringLiteral("bash")
        << QStringList{"-c", QStringLiteral(". %1; COMP_WORDS=(%2 set --model LT-61 1 Page); "
                                            "COMP_CWORD=5; _tavrolinctl; printf '%s|' "
                                            "\"${COMPREPLY[@]}\"")
                                 .arg(QStringLiteral(COMPLETION), ctl)}
        << 0 << "Page\\ Up|Page\\ Down|";
    QTest::newRow("gui --help") << gui << QStringList{"--help"} << 0 << "--version";
    QTest::newRow("gui --version") << gui << QStringList{"--version"} << 0 << "tavrolin 0.";
    QTest::newRow("gui unknown option")
        << gui << QStringList{"-platform", "offscreen", "--bogus"} << 1 << "Unknown option 'bogus'";
    QTest::newRow("gui argument") << gui << QStringList{"file.txt"} << 1
                                  << "unknown argument 'file.txt'";
}

void TestCtlSimulator::HelpVersionAndUnknownOptions()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, output);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Without a display: none of these may need one, nor open a window.
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.start(program, args);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        QFAIL("still running: it opened its window");
    }
    QCOMPARE(process.exitCode(), status);
    const QString text =
        QString::fromUtf8(status == 0 && !(program == QLatin1String(TAVROLINCTL) && args.isEmpty())
                              ? process.readAllStandardOutput()
                              : process.readAllStandardError());
    QVERIFY2(text.contains(output), qPrintable(text));
}

void TestCtlSimulator::JsonForEveryCommand_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("member"); // of the one object (or array element)
    QTest::newRow("models") << QStringList{"models"} << "buttons";
    QTest::newRow("show") << QStringList{"show"} << "slots";
    QTest::newRow("diagnose") << QStringList{"diagnose"} << "tableRead";
    QTest::newRow("set") << QStringList{"set", "--model", "QN-90", "2", "Ctrl+\\"} << "verified";
    QTest::newRow("reset") << QStringList{"reset", "--yes"} << "verified";
    QTest::newRow("import") << QStringList{"import", File(QStringLiteral("qn.txt"))} << "slots";
}

void TestCtlSimulator::JsonForEveryCommand()
{
    QFETCH(QStringList, args);
    QFETCH(QString, member);
    QVERIFY(Simulator({QStringLiteral("model"), QStringLiteral("QN-90")}));
    Write(QStringLiteral("qn.txt"), "format = 1\nmodel = QN-90\n1 = F5\n2 = Esc\n3 = Alt+Tab\n"
                                    "4 = Page Up\n5 = Page Down\n");
    // Korean from the locale; what goes to standard output stays as it is.
    const Result r = Ctl(args + QStringList{QStringLiteral("--json")}, {},
                         {QStringLiteral("LC_ALL="), QStringLiteral("LANG=ko_KR.UTF-8")});
    QCOMPARE(r.status, 0);
    QJsonParseError error{};
    const QJsonDocument json = QJsonDocument::fromJson(r.out.toUtf8(), &error);
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString() + r.out));
    const QJsonObject object = json.isArray() ? json.array().first().toObject() : json.object();
    QVERIFY2(object.contains(member), qPrintable(r.out));
    if (args.first() == QLatin1String("set")) {
        QCOMPARE(object.value(QStringLiteral("slots")).toArray().at(1)["wanted"]["key"].toString(),
                 QStringLiteral("Ctrl+\\"));
        QVERIFY2(r.err.contains(QStringLiteral("설정이 완료되었습니다.")), qPrintable(r.err));
    }
}

void TestCtlSimulator::WatchTheEmulatedReceiver_data()
{
    QTest::addColumn<QStringList>("layout");
    QTest::addColumn<QString>("reports");
    QTest::addColumn<bool>("unplug"); // after the lines
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("lines"); // what each printed line starts with, after the time
    const QStringList ownInterface{"--model", "RV-80"};
    // F5, its release, then Down and Up in one report with Ctrl held.
    QTest::newRow("keyboard interface of its own")
        << ownInterface << "00003E0000000000,0000000000000000,0100515200000000,0000000000000000"
        << false << 0
        << QStringList{"F5                  usage 0x3E, modifiers 0x00  button 4 (START)",
                       "Ctrl+Down           usage 0x51, modifiers 0x01  in no slot",
                       "Ctrl+Up             usage 0x52, modifiers 0x01  in no slot"};
    // A vendor report (ID 2) between them is no key; right Shift is Shift.
    QTest::newRow("one interface, report IDs")
        << QStringList{"--one-interface"}
        << "01200037000000000000,020700000000000000,01000029380000000000,010000000000000000"
        << false << 0 << QStringList{"Shift+.             usage 0x37", "Esc ", "/ "};
    // With --json, as a line of JSON starting with "key" shows.
    QTest::newRow("removed while watched")
        << ownInterface << "00004E0000000000" << true << 2
        << QStringList{"\"key\": \"Page Down\", \"modifiers\": 0, \"keyCode\": 78, \"usage\": "
                       "\"0x4E\", \"slots\": [{\"slot\": 7, \"button\": \"NEXT\"}]}"};
    // Run as nobody, whom the nodes do not let in.
    QTest::newRow("no permission")
        << QStringList{"--deny-access"} << "" << false << 2 << QStringList{};
    // Nothing pressed; Ctrl+C reaches the command itself, which ends with 0
    // rather than dying of it (the host would say 130).
    QTest::newRow("Ctrl+C") << ownInterface << "" << false << 0 << QStringList{};
}

void TestCtlSimulator::WatchTheEmulatedReceiver()
{
#ifndef EMULATED_HOST
    QSKIP("no umockdev, or a sanitizer build");
#else
    QFETCH(QStringList, layout);
    QFETCH(QString, reports);
    QFETCH(bool, unplug);
    QFETCH(int, status);
    QFETCH(QStringList, lines);
    const bool denied = layout.contains(QStringLiteral("--deny-access"));
    if (denied && (geteuid() != 0 || QStandardPaths::findExecutable("setpriv").isEmpty()))
        QSKIP("needs root and setpriv to become an ordinary user");
    QProcess host;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LD_LIBRARY_PATH"), QStringLiteral(HIDAPI_LIBRARY_DIR));
    host.setProcessEnvironment(env);
    const QStringList nobody{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    host.start(QStringLiteral(EMULATED_HOST),
               layout + QStringList{"--keys", reports, "--"} + (denied ? nobody : QStringList()) +
                   QStringList{TAVROLINCTL, "watch", "--count",
                               QString::number(lines.isEmpty() || unplug ? 9 : lines.size()),
                               "--timeout", "20"} +
                   (!lines.isEmpty() && lines.first().startsWith(QLatin1Char('"'))
                        ? QStringList{"--json"}
                        : QStringList()));
    if (denied) {
        // Told as diagnose tells it.
        QVERIFY(host.waitForFinished(15000));
        QCOMPARE(host.exitCode(), 2);
        const QString err = QString::fromUtf8(host.readAllStandardError());
        QVERIFY2(err.contains(QRegularExpression(QStringLiteral(
                     "^tavrolinctl: /dev/hidraw\\d+: this user may NOT open it: Permission denied "
                     "\\(not the owner, not in group root, and no access list entry"))),
                 qPrintable(err));
        return;
    }
    // The buttons are pressed once it watches, and the receiver leaves once
    // it has printed what it read.
    QString err;
    QTRY_VERIFY_WITH_TIMEOUT((err += QString::fromUtf8(host.readAllStandardError()))
                                 .contains(QStringLiteral("Watching /dev/hidraw")),
                             10000);
    ::kill(static_cast<pid_t>(host.processId()), SIGUSR1);
    if (lines.isEmpty()) {
        QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(host.processId()));
        QVERIFY(children.open(QIODevice::ReadOnly));
        ::kill(children.readAll().trimmed().toInt(), SIGINT);
    }
    QString out;
    QTRY_VERIFY_WITH_TIMEOUT(
        (out += QString::fromUtf8(host.readAllStandardOutput())).count(QLatin1Char('\n')) >=
            lines.size(),
        10000);
    if (unplug)
        ::kill(static_cast<pid_t>(host.processId()), SIGUSR2);
    QVERIFY(host.waitForFinished(10000));
    out += QString::fromUtf8(host.readAllStandardOutput());
    err += QString::fromUtf8(host.readAllStandardError());
    QCOMPARE(host.exitCode(), status);
    const QStringList printed = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(printed.size(), lines.size());
    for (int i = 0; i < lines.size(); ++i)
        QVERIFY2(printed[i].mid(14).startsWith(lines[i]) ||
                     (QJsonDocument::fromJson(printed[i].toUtf8()).isObject() &&
                      printed[i].endsWith(lines[i])),
                 qPrintable(out));
    if (unplug)
        QVERIFY2(err.contains(QStringLiteral("A receiver has been removed.")), qPrintable(err));
#endif
}

QTEST_GUILESS_MAIN(TestCtlSimulator)
#include "tst_simulator.moc"
