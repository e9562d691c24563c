#include "HyperLinkStatic.h"

#include "MessageBox.h"

#include <QCursor>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Opened
{
    QString address;
    int showCommand = -1;
};

} // namespace

class TestHyperLinkStatic : public QObject
{
    Q_OBJECT

    QStringList messages;
    AppMessageBox::Handler previousHandler;

    // A dialog-like window with a "LINK" label, as a template would make it.
    struct Window
    {
        QWidget parent;
        HyperLinkStatic* link;
        Window()
        {
            parent.resize(300, 200);
            link = new HyperLinkStatic(&parent);
            link->setText("LINK");
            link->setGeometry(20, 20, 84, 28);
        }
        bool Show()
        {
            parent.show();
            return QTest::qWaitForWindowExposed(&parent);
        }
    };

    static void MoveOnto(HyperLinkStatic& link, QPoint point = QPoint(5, 5))
    {
        QCursor::setPos(link.mapToGlobal(point));
        QMouseEvent move(QEvent::MouseMove, QPointF(point), QPointF(link.mapToGlobal(point)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&link, &move);
    }
    static void MoveAway(HyperLinkStatic& link)
    {
        QCursor::setPos(link.mapToGlobal(QPoint(200, 150)));
    }
    static void Click(HyperLinkStatic& link)
    {
        QTest::mouseClick(&link, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setApplicationName("Tavrolin");
        previousHandler = AppMessageBox::SetHandler(
            [this](QWidget*, const QString& text, AppMessageBox::Buttons buttons) {
                messages << text;
                return buttons == AppMessageBox::Buttons::Ok ? int(AppMessageBox::IdOk)
                                                             : int(AppMessageBox::IdNo);
            });
    }
    void cleanupTestCase()
    {
        AppMessageBox::SetHandler(previousHandler);
        HyperLinkStatic::SetOpener({});
    }
    void init() { messages.clear(); }
    void cleanup() { HyperLinkStatic::SetOpener({}); }

    void attachTakesTextAsAddress()
    {
        Window w;
        HyperLinkStatic& link = *w.link;
        link.Attach();
        QCOMPARE(link.Url(), QString("LINK"));
        QCOMPARE(link.toolTip(), QString("LINK"));
        QCOMPARE(link.UnderlineMode(), -1);
        QCOMPARE(link.TextColour(), QColor(70, 70, 78));
        QCOMPARE(link.palette().color(QPalette::WindowText), QColor(70, 70, 78));
        QCOMPARE(link.cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(!link.autoFillBackground());

        link.SetUrl("https://www.example.com/en/download");
        QCOMPARE(link.Url(), QString("https://www.example.com/en/download"));
        QCOMPARE(link.toolTip(), QString("https://www.example.com/en/download"));
        QCOMPARE(link.text(), QString("LINK"));

        // The fonts: the label's own, and bold underlined 11 px for hovering.
        QCOMPARE(link.PlainFont(), link.font());
        QVERIFY(link.UnderlineFont().bold());
        QVERIFY(link.UnderlineFont().underline());
        QCOMPARE(link.UnderlineFont().pixelSize(), 11);
        QCOMPARE(link.UnderlineFont().family(), link.font().family());
    }

    void addressSetBeforeAttachWins()
    {
        Window w;
        w.link->SetUrl("https://a.example/");
        QCOMPARE(w.link->toolTip(), QString());
        w.link->Attach();
        QCOMPARE(w.link->Url(), QString("https://a.example/"));
        QCOMPARE(w.link->toolTip(), QString("https://a.example/"));
        QCOMPARE(w.link->text(), QString("LINK"));

        Window empty;
        empty.link->setText(QString());
        empty.link->SetUrl("https://b.example/");
        empty.link->Attach();
        QCOMPARE(empty.link->text(), QString("https://b.example/"));
    }

    void hoverSwitchesFontAndColour_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("underlinedWhileHovering");
        QTest::addColumn<bool>("plainAfterLeaving");
        QTest::newRow("-1") << -1 << true << true;
        QTest::newRow("0") << 0 << false << true;
        QTest::newRow("1") << 1 << false << false;
    }
    void hoverSwitchesFontAndColour()
    {
        QFETCH(int, mode);
        QFETCH(bool, underlinedWhileHovering);
        QFETCH(bool, plainAfterLeaving);
        Window w;
        HyperLinkStatic& link = *w.link;
        link.Attach();
        link.SetUnderlineMode(mode);
        QVERIFY(w.Show());
        // A font of the owner's choosing, set after attaching, shows which
        // modes put the plain font back.
        QFont owners = link.font();
        owners.setItalic(true);
        link.setFont(owners);

        MoveOnto(link);
        QVERIFY(link.Hovering());
        QVERIFY(link.HoverTimerActive());
        QCOMPARE(link.TextColour(), QColor(255, 0, 0));
        QCOMPARE(link.palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(link.font() == link.UnderlineFont(), underlinedWhileHovering);
        if (!underlinedWhileHovering)
            QCOMPARE(link.font(), owners);

        // Further moves change nothing; the check keeps the hover while the
        // cursor stays on the label.
        MoveOnto(link, QPoint(10, 10));
        QTest::qWait(250);
        QVERIFY(link.Hovering());

        MoveAway(link);
        QTRY_VERIFY_WITH_TIMEOUT(!link.Hovering(), 1000);
        QVERIFY(!link.HoverTimerActive());
        QCOMPARE(link.TextColour(), QColor(70, 70, 78));
        QCOMPARE(link.font(), plainAfterLeaving ? link.PlainFont() : owners);
    }

    void clickOpensAndRemembersTheResult()
    {
        Window w;
        HyperLinkStatic& link = *w.link;
        link.Attach();
        link.SetUrl("https://www.example.com/en/download");
        QVERIFY(w.Show());

        QList<Opened> opened;
        int answer = 33;
        HyperLinkStatic::SetOpener([&](const QString& address, int show) {
            opened << Opened{address, show};
            return answer;
        });

        MoveOnto(link);
        Click(link);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened[0].address, QString("https://www.example.com/en/download"));
        QCOMPARE(opened[0].showCommand, 5);
        QVERIFY(link.Visited());
        QVERIFY(!link.Hovering());
        QCOMPARE(link.TextColour(), QColor(85, 26, 139));
        QVERIFY(messages.isEmpty());

        // 32 is a failure: the earlier visit is forgotten and the user told.
        answer = 32;
        Click(link);
        QVERIFY(!link.Visited());
        QCOMPARE(link.TextColour(), QColor(70, 70, 78));
        QCOMPARE(messages, QStringList{"Unable to open hyperlink:\n\n"
                                       "The specified dynamic-link library was not found."});

        messages.clear();
        answer = 2;
        Click(link);
        QCOMPARE(messages,
                 QStringList{"Unable to open hyperlink:\n\nThe specified file was not found."});

        // A press elsewhere released on the label is no click.
        messages.clear();
        answer = 33;
        QTest::mouseRelease(&link, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QCOMPARE(opened.size(), 3);
        QVERIFY(!link.Visited());
    }

    void errorTexts()
    {
        const QString heading = "Unable to open hyperlink:\n\n";
        QCOMPARE(HyperLinkStatic::ErrorMessage(26), heading + "A sharing violation occurred. ");
        QCOMPARE(HyperLinkStatic::ErrorMessage(4), heading + "Unknown Error (4) occurred.");
        QCOMPARE(HyperLinkStatic::ErrorMessage(-1), heading + "Unknown Error (-1) occurred.");
        QCOMPARE(HyperLinkStatic::ErrorMessage(33), heading + "Unknown Error (33) occurred.");
        QCOMPARE(HyperLinkStatic::ErrorMessage(0),
                 heading + "The operating system is out\nof memory or resources.");
        QCOMPARE(HyperLinkStatic::ErrorMessage(31),
                 heading +
                     "There is no application associated\nwith the given filename extension.");
    }

    void fallbackCommandLineCutsAtPlaceholder_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("line");
        const QString a = "https://www.example.com/en/download";
        QTest::newRow("quoted at end")
            << "\"C:\\Program Files\\Browser\\browser.exe\" -nohome \"%1\""
            << "\"C:\\Program Files\\Browser\\browser.exe\" -nohome  " + a;
        QTest::newRow("bare, with more after it") << "C:\\browser.exe %1 -new"
                                                  << "C:\\browser.exe  " + a;
        QTest::newRow("quoted wins over an earlier bare one") << "b.exe %1 \"%1\" tail"
                                                              << "b.exe %1  " + a;
        QTest::newRow("no placeholder") << "\"C:\\b.exe\" -url"
                                        << "\"C:\\b.exe\" -url " + a;
        QTest::newRow("empty") << ""
                               << " " + a;
    }
    void fallbackCommandLineCutsAtPlaceholder()
    {
        QFETCH(QString, command);
        QFETCH(QString, line);
        QCOMPARE(
            HyperLinkStatic::FallbackCommandLine(command, "https://www.example.com/en/download"),
            line);
    }

    void browserArguments_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QStringList>("arguments");
        const QString a = "https://www.example.com/en/download";
        QTest::newRow("desktop %u") << "firefox-esr %u" << a << QStringList{"firefox-esr", a};
        QTest::newRow("quoted program, %U")
            << "\"/opt/My Browser/browser\" --new-window %U" << a
            << QStringList{"/opt/My Browser/browser", "--new-window", a};
        QTest::newRow("no field code") << "x-www-browser" << a << QStringList{"x-www-browser", a};
        QTest::newRow("code inside an argument, second code dropped")
            << "browser --app=%u --x %F" << a << QStringList{"browser", "--app=" + a, "--x"};
        QTest::newRow("other codes dropped, %% kept")
            << "browser %i --name=100%% %c %u %k" << a << QStringList{"browser", "--name=100%", a};
        QTest::newRow("$BROWSER %s")
            << "lynx -accept_all_cookies %s" << a << QStringList{"lynx", "-accept_all_cookies", a};
        QTest::newRow("\"%1\" handler")
            << "browser --private \"%1\" --ignored" << a << QStringList{"browser", "--private", a};
        const QString hostile = "https://x.example/a b\"c';rm -rf ~ %u $(id)";
        QTest::newRow("address stays one argument")
            << "browser %u" << hostile << QStringList{"browser", hostile};
        QTest::newRow("address appended as one argument")
            << "browser" << hostile << QStringList{"browser", hostile};
        QTest::newRow("empty") << "  " << a << QStringList{};
    }
    void browserArguments()
    {
        QFETCH(QString, command);
        QFETCH(QString, address);
        QFETCH(QStringList, arguments);
        QCOMPARE(HyperLinkStatic::BrowserArguments(command, address), arguments);
    }

    // The real opener, with the handlers it may find replaced by files of our
    // own: nothing outside the temporary directory is ever started.
    void openerFallsBackToTheRegisteredBrowser()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray savedPath = qgetenv("PATH");
        qputenv("PATH", dir.path().toLocal8Bit());
        qunsetenv("BROWSER");
        qunsetenv("DEFAULT_BROWSER");
        auto restore = qScopeGuard([&] {
            qputenv("PATH", savedPath);
            qunsetenv("BROWSER");
        });

        const QString address = "https://www.example.com/en/download?a=1&b=2";
        QCOMPARE(HyperLinkStatic::OpenUrl(address), HyperLinkStatic::kNoAssociation);

        qputenv("BROWSER", "no-such-browser");
        QCOMPARE(HyperLinkStatic::OpenUrl(address), HyperLinkStatic::kFileNotFound);

        const QString plainFile = dir.filePath("not-executable");
        QFile(plainFile).open(QIODevice::WriteOnly);
        qputenv("BROWSER", plainFile.toLocal8Bit());
        QCOMPARE(HyperLinkStatic::OpenUrl(address), HyperLinkStatic::kAccessDenied);

        const QString browser = dir.filePath("browser");
        {
            QFile script(browser);
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write(
                "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.args\"\n");
        }
        QFile::setPermissions(browser, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("BROWSER", browser.toLocal8Bit());

        // What the browser got, one argument a line; empty if it never ran.
        auto argumentsSeen = [&] {
            QFile args(browser + ".args");
            if (!QTest::qWaitFor([&] { return args.exists() && args.size() > 0; }, 5000) ||
                !args.open(QIODevice::ReadOnly))
                return QString();
            const QString seen = QString::fromUtf8(args.readAll());
            args.close();
            args.remove();
            return seen;
        };
        QCOMPARE(HyperLinkStatic::OpenUrl(address), HyperLinkStatic::kOpened);
        QCOMPARE(argumentsSeen(), address + "\n");

        // Not a URL the desktop takes: the browser gets it as it is, in one piece.
        const QString odd = "www.example.com/a b\"c;id";
        QCOMPARE(HyperLinkStatic::OpenUrl(odd), HyperLinkStatic::kOpened);
        QCOMPARE(argumentsSeen(), odd + "\n");
    }
};

QTEST_MAIN(TestHyperLinkStatic)
#include "tst_HyperLinkStatic.moc"
