#include "HyperLinkStatic.h"

#include "MessageBox.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QTimerEvent>

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>

#include <string>
#else
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#endif

namespace {

HyperLinkStatic::Opener& CurrentOpener()
{
    static HyperLinkStatic::Opener opener;
    return opener;
}

#ifdef _WIN32

// Default value of a key under HKEY_CLASSES_ROOT; false when the key does not open.
bool ReadClassesRootDefault(const char* key, char* value, DWORD size)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS)
        return false;
    value[0] = '\0';
    LONG length = static_cast<LONG>(size);
    // A key whose default value cannot be read counts as not opened.
    const bool read = RegQueryValueA(handle, nullptr, value, &length) == ERROR_SUCCESS;
    RegCloseKey(handle);
    return read;
}

int OpenWithSystem(const QString& address, int showCommand)
{
    const QByteArray file = address.toLocal8Bit();
    const auto shellResult = static_cast<int>(reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", file.constData(), nullptr, nullptr, showCommand)));
    if (static_cast<unsigned>(shellResult) > HyperLinkStatic::kLastFailureCode)
        return shellResult;

    char handlerClass[MAX_PATH] = {};
    if (!ReadClassesRootDefault(".htm", handlerClass, sizeof handlerClass))
        return shellResult;
    const std::string commandKey = std::string(handlerClass) + "\\shell\\open\\command";
    char command[MAX_PATH * 2] = {};
    if (!ReadClassesRootDefault(commandKey.c_str(), command, sizeof command))
        return shellResult;
    const QByteArray line =
        HyperLinkStatic::FallbackCommandLine(QString::fromLocal8Bit(command), address)
            .toLocal8Bit();
    return static_cast<int>(WinExec(line.constData(), showCommand));
}

#else

int StartBrowser(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return HyperLinkStatic::kNoAssociation;
    const QString& program = arguments.first();
    QString resolved;
    if (program.contains(QLatin1Char('/'))) {
        if (!QFileInfo::exists(program))
            return HyperLinkStatic::kFileNotFound;
        resolved = program;
    } else {
        resolved = QStandardPaths::findExecutable(program);
        if (resolved.isEmpty())
            return HyperLinkStatic::kFileNotFound;
    }
    const QFileInfo info(resolved);
    if (!info.isFile() || !info.isExecutable())
        return HyperLinkStatic::kAccessDenied;
    if (!QProcess::startDetached(resolved, arguments.mid(1)))
        return HyperLinkStatic::kUnknownFailure;
    return HyperLinkStatic::kOpened;
}

// The desktop's handler (xdg-open or the portal, through Qt) first; without
// one, $BROWSER (its first entry), else x-www-browser. Never through a shell.
int OpenWithSystem(const QString& address, int /*showCommand*/)
{
    const QUrl target(address, QUrl::StrictMode);
    if (target.isValid() && !target.isRelative() && QDesktopServices::openUrl(target))
        return HyperLinkStatic::kOpened;
    QString command = qEnvironmentVariable("BROWSER").section(QLatin1Char(':'), 0, 0);
    if (command.trimmed().isEmpty())
        command = QStandardPaths::findExecutable(QStringLiteral("x-www-browser"));
    if (command.trimmed().isEmpty())
        return HyperLinkStatic::kNoAssociation;
    const QStringList arguments = HyperLinkStatic::BrowserArguments(command, address);
    return arguments.isEmpty() ? HyperLinkStatic::kAssociationIncomplete : StartBrowser(arguments);
}

#endif

// Splits a command as a shell would a simple one: blanks separate arguments,
// double quotes group, and inside them a backslash escapes the next character.
QStringList SplitCommand(const QString& command)
{
    QStringList parts;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    for (int i = 0; i < command.size(); ++i) {
        const QChar c = command[i];
        if (quoted) {
            if (c == QLatin1Char('"'))
                quoted = false;
            else if (c == QLatin1Char('\\') && i + 1 < command.size())
                current += command[++i];
            else
                current += c;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            inArgument = true;
        } else if (c.isSpace()) {
            if (inArgument)
                parts << current;
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument)
        parts << current;
    return parts;
}

// The part of a handler command before its "%1" placeholder (the whole
// command when it has none).
QString CutAtPlaceholder(const QString& handlerCommand)
{
    int cut = handlerCommand.indexOf(QLatin1String("\"%1\""));
    if (cut < 0)
        cut = handlerCommand.indexOf(QLatin1String("%1"));
    return cut < 0 ? handlerCommand : handlerCommand.left(cut);
}

} // namespace

HyperLinkStatic::HyperLinkStatic(QWidget* parent) : QLabel(parent) {}

HyperLinkStatic::~HyperLinkStatic()
{
    hoverTimer.stop();
}

void HyperLinkStatic::Attach()
{
    // Clicks and mouse moves without a button must reach the label.
    setMouseTracking(true);

    if (url.isEmpty())
        url = text();
    if (text().isEmpty())
        setText(url);

    // A widget always has a font (its own or the application's), so there is
    // no stock-font fallback to make.
    plainFont = font();
    underlineFont = plainFont;
    underlineFont.setPixelSize(11);
    underlineFont.setBold(true);
    underlineFont.setUnderline(true);

    setCursor(Qt::PointingHandCursor);
    underlineMode = -1;
    setToolTip(url);
    attached = true;
    UpdateColour();
}

void HyperLinkStatic::SetUrl(const QString& address)
{
    url = address;
    if (attached)
        setToolTip(url);
}

void HyperLinkStatic::SetVisited(bool visitedNow)
{
    visited = visitedNow;
    UpdateColour();
}

void HyperLinkStatic::SetUnderlineMode(int mode)
{
    if (underlineMode != mode)
        underlineMode = mode;
}

QColor HyperLinkStatic::TextColour() const
{
    if (hovering)
        return hoverColour;
    return visited ? visitedColour : linkColour;
}

void HyperLinkStatic::UpdateColour()
{
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, TextColour());
    setPalette(colours);
    update();
}

void HyperLinkStatic::mouseMoveEvent(QMouseEvent* event)
{
    HoverStart();
    QLabel::mouseMoveEvent(event);
}

void HyperLinkStatic::HoverStart()
{
    if (hovering)
        return;
    hovering = true;
    if (underlineMode == -1)
        setFont(underlineFont);
    UpdateColour();
    hoverTimer.start(kHoverCheckMs, this);
}

void HyperLinkStatic::timerEvent(QTimerEvent* event)
{
    HoverCheck();
    QLabel::timerEvent(event);
}

void HyperLinkStatic::HoverCheck()
{
    if (rect().contains(mapFromGlobal(QCursor::pos())))
        return;
    hovering = false;
    hoverTimer.stop();
    if (underlineMode != 1)
        setFont(plainFont);
    UpdateColour();
}

void HyperLinkStatic::mousePressEvent(QMouseEvent* event)
{
    // Taken here, so that the skinned dialog behind does not start a drag.
    pressedInside = event->button() == Qt::LeftButton;
    event->setAccepted(pressedInside);
}

void HyperLinkStatic::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = pressedInside && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    const bool pressed = pressedInside;
    pressedInside = false;
    event->setAccepted(pressed);
    if (click)
        Click();
}

void HyperLinkStatic::Click()
{
    hovering = false;
    const int result = OpenUrl(url, kShowCommand);
    visited = result > kLastFailureCode;
    if (visited) {
        SetVisited(true);
        return;
    }
    UpdateColour();
    QApplication::beep();
    AppMessageBox::Show(this, ErrorMessage(result), AppMessageBox::Buttons::Ok);
}

HyperLinkStatic::Opener HyperLinkStatic::SetOpener(Opener opener)
{
    Opener previous = std::move(CurrentOpener());
    CurrentOpener() = std::move(opener);
    return previous;
}

int HyperLinkStatic::OpenUrl(const QString& address, int showCommand)
{
    if (const Opener& opener = CurrentOpener())
        return opener(address, showCommand);
    return OpenWithSystem(address, showCommand);
}

QString HyperLinkStatic::ErrorMessage(int resultCode)
{
    QString reason;
    switch (resultCode) {
    case 0:
        reason = QStringLiteral("The operating system is out\nof memory or resources.");
        break;
    case 2:
        reason = QStringLiteral("The specified file was not found.");
        break;
    case 3:
        reason = QStringLiteral("The specified path was not found.");
        break;
    case 5:
        reason = QStringLiteral("The operating system denied\naccess to the specified file.");
        break;
    case 8:
        reason = QStringLiteral("There was not enough memory to complete the operation.");
        break;
    case 11:
        reason =
            QStringLiteral("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
        break;
    case 26:
        reason = QStringLiteral("A sharing violation occurred. ");
        break;
    case 27:
        reason = QStringLiteral("The filename association is\nincomplete or invalid.");
        break;
    case 28:
        reason = QStringLiteral(
            "The DDE transaction could not\nbe completed because the request timed out.");
        break;
    case 29:
        reason = QStringLiteral("The DDE transaction failed.");
        break;
    case 30:
        reason = QStringLiteral("The DDE transaction could not\nbe completed because other DDE "
                                "transactions\nwere being processed.");
        break;
    case 31:
        reason = QStringLiteral(
            "There is no application associated\nwith the given filename extension.");
        break;
    case 32:
        reason = QStringLiteral("The specified dynamic-link library was not found.");
        break;
    default:
        reason = QStringLiteral("Unknown Error (%1) occurred.").arg(resultCode);
        break;
    }
    return QStringLiteral("Unable to open hyperlink:\n\n") + reason;
}

QString HyperLinkStatic::FallbackCommandLine(const QString& handlerCommand, const QString& address)
{
    return CutAtPlaceholder(handlerCommand) + QLatin1Char(' ') + address;
}

QStringList HyperLinkStatic::BrowserArguments(const QString& browserCommand, const QString& address)
{
    // Read as an option, or as nothing at all.
    if (address.isEmpty() || address.startsWith(QLatin1Char('-')))
        return {};
    static const QStringList placeholders = {QStringLiteral("%s"), QStringLiteral("%u"),
                                             QStringLiteral("%U"), QStringLiteral("%f"),
                                             QStringLiteral("%F"), QStringLiteral("%1")};
    QStringList arguments;
    bool addressPlaced = false;
    for (const QString& part : SplitCommand(browserCommand)) {
        if (placeholders.contains(part)) {
            // The program itself is never the address; a second placeholder
            // would open the page twice.
            if (arguments.isEmpty())
                return {};
            if (!addressPlaced)
                arguments << address;
            addressPlaced = true;
            continue;
        }
        // Any other % code would put the address inside an argument (as in
        // sh -c "browser %u") or mean something unknown: not a command to run.
        QString argument = part;
        argument.replace(QLatin1String("%%"), QString());
        if (argument.contains(QLatin1Char('%')))
            return {};
        arguments << QString(part).replace(QLatin1String("%%"), QLatin1String("%"));
    }
    if (arguments.isEmpty())
        return {};
    if (!addressPlaced)
        arguments << address;
    return arguments;
}
