// Runs under a Wayland compositor: shows a dialog with one key field holding
// Ctrl+D while a holder command keeps a keyboard in the seat; once the dialog
// has the focus it clicks the field into capturing, waits for the compositor's
// answer to the shortcut inhibition, runs the typist command (which types
// keys), and prints the inhibition's state, what the field then shows and holds,
// and the layout's names of the keys at the US places of Y, [, 1, 2, Q and Z:
//
//   state=Active|Refused|... text=<field text> key=<modifiers>:<virtual key> told=<n>
//   names=<name>,...    (empty: as on a US keyboard)
#include "keys/KeyCaptureEdit.h"
#include "keys/KeyCodes.h"
#include "keys/KeyboardLayout.h"
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
    // HOLDER... -- TYPIST...
    // --before: the typist runs once before the click too (keys held since).
    QStringList arguments = app.arguments().mid(1);
    const bool before = arguments.value(0) == QStringLiteral("--before");
    if (before)
        arguments.removeFirst();
    const qsizetype split = arguments.indexOf(QStringLiteral("--"));
    const QStringList holder = arguments.mid(0, split);
    const QStringList typist = split < 0 ? QStringList() : arguments.mid(split + 1);
    if (holder.isEmpty() || typist.isEmpty()) {
        std::fprintf(
            stderr, "usage: wayland_capture_probe [--before] HOLDER [ARG...] -- TYPIST [ARG...]\n");
        return 2;
    }

    QDialog dialog;
    auto* field = new KeyCaptureEdit(&dialog);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(field);
    field->SetKey(0x01, 'D');
    int told = 0;
    QObject::connect(field, &KeyCaptureEdit::DesktopKeepsShortcuts, [&told] { ++told; });

    // A seat without a keyboard gives no window the focus: the holder keeps a
    // keyboard there while the test runs.
    QProcess holding;
    holding.start(holder.first(), holder.mid(1));
    dialog.show();
    QDeadlineTimer deadline(10000);
    const auto focused = [&dialog] {
        return dialog.isActiveWindow() && QGuiApplication::focusWindow() == dialog.windowHandle();
    };
    while (!focused() && !deadline.hasExpired())
        QTest::qWait(20);
    const auto type = [&typist] {
        QProcess typing;
        typing.setProcessChannelMode(QProcess::ForwardedChannels);
        typing.start(typist.first(), typist.mid(1));
        return typing.waitForFinished(10000) && typing.exitCode() == 0;
    };
    if (before && !type())
        return 1;
    QTest::mouseClick(field, Qt::LeftButton);
    while (!field->IsCapturing() && !deadline.hasExpired())
        QTest::qWait(20);
    if (!field->IsCapturing()) {
        std::fprintf(stderr, "the field does not capture: the dialog never got the focus\n");
        return 1;
    }
    const auto answered = [field] {
        const auto state = field->Inhibitor().CurrentState();
        return state == ShortcutInhibitor::State::Active ||
               state == ShortcutInhibitor::State::Refused;
    };
    deadline.setRemainingTime(3000);
    while (!answered() && !deadline.hasExpired())
        QTest::qWait(20);

    if (!type()) {
        std::fprintf(stderr, "%s failed\n", qPrintable(typist.first()));
        return 1;
    }
    // The keys arrive through the event loop; a refusal is told on its next turn.
    QTest::qWait(800);
    const ShortcutInhibitor::State answer = field->Inhibitor().CurrentState();
    holding.kill();
    holding.waitForFinished();

    std::uint8_t modifiers = 0;
    std::uint16_t key = 0;
    field->GetKey(modifiers, key);
    QStringList names;
    for (const std::uint16_t vk : {std::uint16_t('Y'), VK_OEM_4, std::uint16_t('1'),
                                   std::uint16_t('2'), std::uint16_t('Q'), std::uint16_t('Z')})
        names << LayoutKeyName(KeyboardLayout::Current(), vk);
    std::printf("state=%s text=%s key=%02X:%04X told=%d names=%s\n", StateName(answer),
                qPrintable(field->text()), modifiers, key, told, qPrintable(names.join(',')));
    return 0;
}
