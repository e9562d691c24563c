#include "HyperLinkStatic.h"

#include "MessageBox.h"

#include <QCursor>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QtTest>

const QString kHostile = "https://x.example/a b\"c';rm -rf ~ %u $(id)";
const QColor kLinkColour(70, 70, 78);

// A dialog-like window with a "LINK" label, as a template would make it.
struct Window
{
    QWidget parent;
    HyperLinkStatic* link = new HyperLinkStatic(&parent);
    Window()
    {
        parent.resize(300, 200);
        link->setText("LINK");
        link->setGeometry(20, 20, 84, 28);
    }
    bool Show()
    {
        parent.show();
        return QTest::qWaitForWindowExposed(&parent);
    }
    QColor Colour() const { return link->palette().color(QPalette::WindowText); }
    void MoveOnto(QPoint point = QPoint(5, 5))
    {
        QCursor::setPos(link->mapToGlobal(point));
        QMouseEvent move(QEvent::MouseMove, QPointF(point), QPointF(link->mapToGlobal(point)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(link, &move);
    }
    void Click() { QTest::mouseClick(link, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5)); }
};

class TestHyperLinkStatic : public QObject
{
    Q_OBJECT

    QStringList messages;
    AppMessageBox::Handler previousHandler;

private slots:
    void initTestCase()
    {
        previousHandler = AppMessageBox::SetHandler([this](QWidget*, const QString& text, auto) {
            messages << text;
            return int(AppMessageBox::IdOk);
        });
    }
    void cleanupTestCase() { AppMessageBox::SetHandler(previousHandler); }
    void init() { messages.clear(); }
    void cleanup() { HyperLinkStatic::SetOpener({}); }

    // The text is the address unless one was set before; an empty text
    // shows the address.
    void attachMakesTheLabelALink()
    {
        Window w;
        HyperLinkStatic& link = *w.link;
        link.Attach();
        QCOMPARE(link.Url(), QString("LINK"));
        QCOMPARE(link.toolTip(), QString("LINK"));
        QCOMPARE(link.UnderlineMode(), -1);
        QCOMPARE(w.Colour(), kLinkColour);
        QCOMPARE(link.cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(!link.autoFillBackground());
        // The fonts: the label's own, and bold underlined 11 px for hovering.
        QCOMPARE(link.PlainFont(), link.font());
        QVERIFY(link.UnderlineFont().bold() && link.UnderlineFont().underline());
        QCOMPARE(link.UnderlineFont().pixelSize(), 11);
        QCOMPARE(link.UnderlineFont().family(), link.font().family());

        Window set;
        set.link->SetUrl("https://a.example/");
        set.link->Attach();
        QCOMPARE(set.link->toolTip(), QString("https://a.example/"));
        QCOMPARE(set.link->text(), QString("LINK"));
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

        w.MoveOnto();
        QVERIFY(link.Hovering() && link.HoverTimerActive());
        QCOMPARE(w.Colour(), QColor(255, 0, 0));
        QCOMPARE(link.font() == link.UnderlineFont(), underlinedWhileHovering);
        if (!underlinedWhileHovering)
            QCOMPARE(link.font(), owners);

        // Further moves change nothing; the check keeps the hover while the
        // cursor stays on the label.
        w.MoveOnto(QPoint(10, 10));
        QTest::qWait(250);
        QVERIFY(link.Hovering());

        QCursor::setPos(link.mapToGlobal(QPoint(200, 150)));
        QTRY_VERIFY_WITH_TIMEOUT(!link.Hovering(), 1000);
        QVERIFY(!link.HoverTimerActive());
        QCOMPARE(w.Colour(), kLinkColour);
        QCOMPARE(link.font(), plainAfterLeaving ? link.PlainFont() : owners);
    }

    // A result above 32 is a visit; any other is a failure: the earlier
    // visit is forgotten and the user told.
    void clickOpensAndRemembersTheResult()
    {
        Window w;
        HyperLinkStatic& link = *w.link;
        link.Attach();
        link.SetUrl("https://www.example.com/en/download");
        QVERIFY(w.Show());
        QStringList opened;
        int answer = 33;
        HyperLinkStatic::SetOpener([&](const QString& address, int show) {
            opened << QString("%1 %2").arg(address).arg(show);
            return answer;
        });

        w.MoveOnto();
        w.Click();
        QCOMPARE(opened, QStringList{"https://www.example.com/en/download 5"});
        QVERIFY(link.Visited() && !link.Hovering());
        QCOMPARE(w.Colour(), QColor(85, 26, 139));
        QVERIFY(messages.isEmpty());

        const QString heading = "Unable to open hyperlink:\n\n";
        answer = 32;
        w.Click();
        QVERIFY(!link.Visited());
        QCOMPARE(w.Colour(), kLinkColour);
        answer = -1;
        w.Click();
        QCOMPARE(messages,
                 (QStringList{heading + "The specified dynamic-link library was not found.",
                              heading + "Unknown Error (-1) occurred."}));

        // A press elsewhere released on the label is no click.
        answer = 33;
        QTest::mouseRelease(&link, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QCOMPARE(opened.size(), 3);
        QVERIFY(!link.Visited());
    }

    // The "%1" handler of the registered browser: cut at the quoted
    // placeholder, else at the bare one, else kept whole; then the address.
    void fallbackCommandLineCutsAtPlaceholder_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("kept");
        const char* rows[][2] = {{R"("C:\Program Files\Browser\browser.exe" -nohome "%1")",
                                  R"("C:\Program Files\Browser\browser.exe" -nohome  )"},
                                 {R"(C:\browser.exe %1 -new)", R"(C:\browser.exe  )"},
                                 {R"(b.exe %1 "%1" tail)", R"(b.exe %1  )"},
                                 {R"("C:\b.exe" -url)", R"("C:\b.exe" -url )"},
                                 {"", " "}};
        for (const auto& row : rows)
            QTest::newRow(row[0]) << QString(row[0]) << QString(row[1]);
    }
    void fallbackCommandLineCutsAtPlaceholder()
    {
        QFETCH(QString, command);
        QFETCH(QString, kept);
        const QString address = "https://www.example.com/en/download";
        QCOMPARE(HyperLinkStatic::FallbackCommandLine(command, address), kept + address);
    }

    // The address, however hostile, is one argument of its own and never
    // parsed: it takes a placeholder argument's place or goes last. A command
    // that would make it the program, an option or part of an argument is
    // refused (no arguments: nothing runs).
    void browserArguments_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QStringList>("arguments");
        const QString a = kHostile;
        QTest::newRow("%u") << "firefox-esr %u" << a << QStringList{"firefox-esr", a};
        QTest::newRow("quoted program, %U")
            << "\"/opt/My Browser/browser\" --new-window %U" << a
            << QStringList{"/opt/My Browser/browser", "--new-window", a};
        QTest::newRow("no placeholder") << "x-www-browser" << a << QStringList{"x-www-browser", a};
        QTest::newRow("$BROWSER %s, %% kept")
            << "lynx --name=100%% %s" << a << QStringList{"lynx", "--name=100%", a};
        QTest::newRow("\"%1\", second placeholder dropped")
            << "browser --private \"%1\" --x %u" << a
            << QStringList{"browser", "--private", a, "--x"};
        QTest::newRow("inside a shell command") << "sh -c \"firefox %u\"" << a << QStringList{};
        QTest::newRow("inside an option") << "browser --app=%u" << a << QStringList{};
        QTest::newRow("as the program") << "%u --new-window" << a << QStringList{};
        QTest::newRow("unknown code") << "browser %i %u" << a << QStringList{};
        QTest::newRow("address like an option") << "browser %u"
                                                << "--user-data-dir=/tmp/x" << QStringList{};
        QTest::newRow("empty address") << "browser"
                                       << "" << QStringList{};
        QTest::newRow("empty") << "  " << a << QStringList{};
    }
    void browserArguments()
    {
        QFETCH(QString, command);
        QFETCH(QString, address);
        QFETCH(QStringList, arguments);
        QCOMPARE(HyperLinkStatic::BrowserArguments(command, address), arguments);
    }

    // A press on the link is the link's: the skinned dialog behind it never
    // sees it, so it cannot start dragging the window.
    void pressesStayWithTheLink()
    {
        struct Behind : QWidget
        {
            int presses = 0;
            void mousePressEvent(QMouseEvent*) override { ++presses; }
        } parent;
        parent.resize(300, 200);
        auto* link = new HyperLinkStatic(&parent);
        link->setText("LINK");
        link->setGeometry(20, 20, 84, 28);
        link->Attach();
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        int opened = 0;
        HyperLinkStatic::SetOpener([&](const QString&, int) { return ++opened, 33; });
        QTest::mouseClick(link, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
        QCOMPARE(opened, 1);
        QCOMPARE(parent.presses, 0);
        QTest::mousePress(&parent, Qt::LeftButton, Qt::NoModifier, QPoint(200, 150));
        QCOMPARE(parent.presses, 1);
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
            (void)QTest::qWaitFor([&] { return args.size() > 0; }, 5000);
            const QString seen = args.open(QIODevice::ReadOnly) ? args.readAll() : QString();
            args.remove();
            return seen;
        };
        QCOMPARE(HyperLinkStatic::OpenUrl(address), HyperLinkStatic::kOpened);
        QCOMPARE(argumentsSeen(), address + "\n");

        // Not a URL the desktop takes: the browser gets it as it is, in one piece.
        const QString odd = "www.example.com/a b\"c;id";
        QCOMPARE(HyperLinkStatic::OpenUrl(odd), HyperLinkStatic::kOpened);
        QCOMPARE(argumentsSeen(), odd + "\n");

        // A command that would run the address inside a shell line is refused
        // and counts as a failure; nothing is started.
        qputenv("BROWSER", ("sh -c \"" + browser + " %u\"").toLocal8Bit());
        QCOMPARE(HyperLinkStatic::OpenUrl(address), HyperLinkStatic::kAssociationIncomplete);
        QTest::qWait(200);
        QVERIFY(!QFile::exists(browser + ".args"));

        // Without $BROWSER: x-www-browser, with the address as its argument.
        qunsetenv("BROWSER");
        QVERIFY(QFile::copy(browser, dir.filePath("x-www-browser")));
        QCOMPARE(HyperLinkStatic::OpenUrl(address), HyperLinkStatic::kOpened);
        QFile args(dir.filePath("x-www-browser.args"));
        QVERIFY(QTest::qWaitFor([&] { return args.size() > 0; }, 5000));
        QVERIFY(args.open(QIODevice::ReadOnly));
        QCOMPARE(args.readAll(), (address + "\n").toUtf8());
    }
};

QTEST_MAIN(TestHyperLinkStatic)
#include "tst_hyperlink_static.moc"
