// Runs under a Wayland compositor: shows a dialog with one key field holding
// Ctrl+D and starts the command given on the command line (which waits, then
// types keys); once the dialog is active it clicks the field into capturing and
// waits for the compositor's answer to the shortcut inhibition; once the
// command is done it prints that answer and what the field shows and holds:
//
//   state=Active|Refused|... text=<field text> key=<modifiers>:<virtual key> told=<n>
#include "keys/KeyCaptureEdit.h"
#include "keys/ShortcutInhibitor.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QProcess>
#include <QTest>
#include <QVBoxLayout>

#include <cstdio>

namespace {

const char* StateName(ShortcutInhibitor::State state)
{
    switch (state) {
    case ShortcutInhibitor::State::Idle:
        return "Idle";
    case ShortcutInhibitor::State::NotNeeded:
        return "NotNeeded";
    case ShortcutInhibitor::State::Pending:
        return "Pending";
    case ShortcutInhibitor::State::Active:
        return "Active";
    case ShortcutInhibitor::State::Refused:
        return "Refused";
    }
    return "?";
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList command = app.arguments().mid(1);
    if (command.isEmpty()) {
        std::fprintf(stderr, "usage: wayland_capture_probe COMMAND [ARG...]\n");
        return 2;
    }

    QDialog dialog;
    auto* field = new KeyCaptureEdit(&dialog);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(field);
    field->SetKey(0x01, 'D');
    int told = 0;
    QObject::connect(field, &KeyCaptureEdit::DesktopKeepsShortcuts, [&told] { ++told; });

    dialog.show();
    // The command starts at once: a seat without a keyboard gives no window
    // the focus, so it must first wait a moment with its keyboard there.
    QProcess typing;
    typing.setProcessChannelMode(QProcess::ForwardedChannels);
    typing.start(command.first(), command.mid(1));
    QDeadlineTimer deadline(5000);
    while (!dialog.isActiveWindow() && !deadline.hasExpired())
        QTest::qWait(20);
    if (!dialog.isActiveWindow()) {
        std::fprintf(stderr, "the dialog never became active\n");
        return 1;
    }
    field->setFocus(Qt::MouseFocusReason); // as a click gives it
    const auto answered = [field] {
        const auto state = field->Inhibitor().CurrentState();
        return state == ShortcutInhibitor::State::Active ||
               state == ShortcutInhibitor::State::Refused;
    };
    deadline.setRemainingTime(2 * ShortcutInhibitor::kAnswerTimeoutMs);
    while (!answered() && !deadline.hasExpired())
        QTest::qWait(20);
    const ShortcutInhibitor::State answer = field->Inhibitor().CurrentState();

    if (!typing.waitForFinished(10000) || typing.exitCode() != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(command.first()));
        return 1;
    }
    // The keys arrive through the event loop; a refusal is told on its next turn.
    QTest::qWait(800);

    std::uint8_t modifiers = 0;
    std::uint16_t key = 0;
    field->GetKey(modifiers, key);
    std::printf("state=%s text=%s key=%02X:%04X told=%d\n", StateName(answer),
                qPrintable(field->text()), modifiers, key, told);
    return 0;
}
