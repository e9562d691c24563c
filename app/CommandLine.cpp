#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

void Print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

std::optional<int> HandleCommandLine(int argc, char** argv)
{
    // A core application only: asking for --help must not need a display.
    int coreArgc = argc;
    QCoreApplication core(coreArgc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavrolin"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TAVROLIN_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Configures the buttons of wireless USB presenters through their receiver.\n"
                       "See tavrolin(1); tavrolinctl(1) does the same from the command line."));
    // Qt's own options, which the application object takes later, spelt as
    // Qt spells them (-platform offscreen).
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin", "display",
                             "qwindowgeometry", "geometry", "qwindowicon", "qwindowtitle", "style",
                             "stylesheet", "session", "widgetcount"}) {
        QCommandLineOption qtOption(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtOption);
    }
    for (const char* name : {"reverse", "nograb", "dograb", "sync"}) {
        QCommandLineOption qtFlag(QString::fromLatin1(name));
        qtFlag.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtFlag);
    }

    const auto refuse = [](const QString& why) {
        Print(stderr, QStringLiteral("tavrolin: %1\nTry 'tavrolin --help'.\n").arg(why));
        return 1;
    };
    if (!parser.parse(QCoreApplication::arguments()))
        return refuse(parser.errorText());
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        Print(stdout, parser.helpText());
        return 0;
    }
    if (parser.isSet(version)) {
        Print(stdout, QStringLiteral("tavrolin %1\n").arg(QCoreApplication::applicationVersion()));
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return refuse(
            QStringLiteral("unknown argument '%1'").arg(parser.positionalArguments().constFirst()));
    return std::nullopt;
}
