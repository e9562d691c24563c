#include "keys/KeyCaptureEdit.h"
#include "keys/KeyCodes.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <memory>

namespace {

// X11 keysyms, which the xcb platform reports as the native virtual key.
constexpr quint32 kXkSuperL = 0xffeb;
constexpr quint32 kXkSuperR = 0xffec;
constexpr quint32 kXkMetaL = 0xffe7;

using KeyPair = std::pair<int, int>;

KeyPair Key(const KeyCaptureEdit& edit)
{
    std::uint8_t modifiers = 0xEE;
    std::uint16_t vk = 0xEEEE;
    edit.GetKey(modifiers, vk);
    return {modifiers, vk};
}

// A dialog as the configuration dialogs build it: capture fields, another
// focusable widget, a default button and a shortcut.
struct Dialog
{
    QDialog dialog;
    KeyCaptureEdit* field = new KeyCaptureEdit(&dialog);
    KeyCaptureEdit* second = new KeyCaptureEdit(&dialog);
    QLineEdit* plain = new QLineEdit(&dialog);
    QPushButton* ok = new QPushButton("OK", &dialog);
    QShortcut* shortcut = new QShortcut(QKeySequence("Ctrl+S"), &dialog);

    Dialog()
    {
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(field);
        layout->addWidget(second);
        layout->addWidget(plain);
        layout->addWidget(ok);
        ok->setDefault(true);
        QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    }
};

} // namespace

class TestKeyCaptureEdit : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void KeysStayInTheField_data();
    void KeysStayInTheField();
    void NativeKeyTellsWindowsKeysApart();
    void AutoRepeat_data();
    void AutoRepeat();
    void TextCannotBeChangedExceptByCapture();
    void StaleModifiersAreResynchronisedOnFocusIn();
    void GrabIsHeldOnlyWhileFocusedAndActive();
    void GrabIsReleasedWhileAMouseButtonIsDown();
    void ModifierOnlyRemainderIsDropped_data();
    void ModifierOnlyRemainderIsDropped();
    void KeyboardReachesAndLeavesTheField_data();
    void KeyboardReachesAndLeavesTheField();

private:
    void PressNative(QEvent::Type type, Qt::Key key, Qt::KeyboardModifiers mods, quint32 native,
                     bool autoRepeat = false, quint32 scanCode = 0, quint64 timestamp = 0);

    std::unique_ptr<Dialog> d;
    QWindow* window = nullptr;
};

void TestKeyCaptureEdit::initTestCase()
{
    // Offscreen cannot grab the keyboard and says so at every grab; the grab
    // bookkeeping the tests check is Qt's own and works regardless.
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (!message.contains("does not support grabbing the keyboard"))
                previous(type, context, message);
        });
}

void TestKeyCaptureEdit::init()
{
    d = std::make_unique<Dialog>();
    d->dialog.show();
    d->dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&d->dialog));
    window = d->dialog.windowHandle();
    // Offscreen, the keyboard state that a field reads when it gains the
    // focus is the modifiers of the last key event; start from none.
    d->plain->setFocus();
    QTRY_VERIFY(d->plain->hasFocus());
    QTest::keyClick(window, Qt::Key_F35);
    QCOMPARE(QGuiApplication::queryKeyboardModifiers(), Qt::NoModifier);
    // As a click gives it.
    d->field->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(d->field->hasFocus());
}

void TestKeyCaptureEdit::cleanup()
{
    d.reset();
    QCOMPARE(QWidget::keyboardGrabber(), nullptr);
}

// Delivers a key event with a native key the way the platform does: the
// shortcut override first, then the event to the widget that takes keys.
void TestKeyCaptureEdit::PressNative(QEvent::Type type, Qt::Key key, Qt::KeyboardModifiers mods,
                                     quint32 native, bool autoRepeat, quint32 scanCode,
                                     quint64 timestamp)
{
    QWidget* target = QWidget::keyboardGrabber();
    if (!target)
        target = QApplication::focusWidget();
    QVERIFY(target);
    if (type == QEvent::KeyPress) {
        QKeyEvent override(QEvent::ShortcutOverride, key, mods, scanCode, native, 0, QString(),
                           autoRepeat);
        override.setTimestamp(timestamp);
        QApplication::sendEvent(target, &override);
    }
    QKeyEvent event(type, key, mods, scanCode, native, 0, QString(), autoRepeat);
    event.setTimestamp(timestamp);
    QApplication::sendEvent(target, &event);
}

void TestKeyCaptureEdit::KeysStayInTheField_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("mods");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("vk");
    const int keypad = Qt::KeypadModifier;
    const int shift = Qt::ShiftModifier;
    QTest::newRow("Tab") << int(Qt::Key_Tab) << 0 << "Tab" << 0 << int(VK_TAB);
    QTest::newRow("Shift+Tab") << int(Qt::Key_Backtab) << shift << "Shift+Tab" << 0x02
                               << int(VK_TAB);
    QTest::newRow("Enter") << int(Qt::Key_Return) << 0 << "Enter" << 0 << int(VK_RETURN);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << keypad << "Enter" << 0 << int(VK_RETURN);
    QTest::newRow("Esc") << int(Qt::Key_Escape) << 0 << "Esc" << 0 << int(VK_ESCAPE);
    QTest::newRow("Alt+F4") << int(Qt::Key_F4) << int(Qt::AltModifier) << "Alt+F4" << 0x04
                            << int(VK_F4);
    QTest::newRow("Ctrl+S, a shortcut")
        << int(Qt::Key_S) << int(Qt::ControlModifier) << "Ctrl+S" << 0x01 << 0x53;
    QTest::newRow("Backspace") << int(Qt::Key_Backspace) << 0 << "Backspace" << 0 << int(VK_BACK);
    QTest::newRow("Delete") << int(Qt::Key_Delete) << 0 << "Del" << 0 << int(VK_DELETE);
    QTest::newRow("Print Screen") << int(Qt::Key_Print) << 0 << "Print Screen" << 0
                                  << int(VK_SNAPSHOT);
    QTest::newRow("1") << int(Qt::Key_1) << 0 << "1" << 0 << 0x31;
    QTest::newRow("Num 1") << int(Qt::Key_1) << keypad << "Num 1" << 0 << int(VK_NUMPAD1);
    QTest::newRow("-") << int(Qt::Key_Minus) << 0 << "-" << 0 << int(VK_OEM_MINUS);
    QTest::newRow("Num -") << int(Qt::Key_Minus) << keypad << "Num -" << 0 << int(VK_SUBTRACT);
    QTest::newRow("Num .") << int(Qt::Key_Period) << keypad << "Num ." << 0 << int(VK_DECIMAL);
    QTest::newRow("keypad Home, Num Lock off")
        << int(Qt::Key_Home) << keypad << "Home" << 0 << int(VK_HOME);
    QTest::newRow("Shift+!") << int(Qt::Key_Exclam) << shift << "Shift+1" << 0x02 << 0x31;
    QTest::newRow("Shift+~") << int(Qt::Key_AsciiTilde) << shift << "Shift+~" << 0x02
                             << int(VK_OEM_3);
    QTest::newRow("Shift+*") << int(Qt::Key_Asterisk) << shift << "Shift+8" << 0x02 << 0x38;
}

void TestKeyCaptureEdit::KeysStayInTheField()
{
    QFETCH(int, key);
    QFETCH(int, mods);
    QFETCH(QString, text);
    QFETCH(int, modifiers);
    QFETCH(int, vk);
    QSignalSpy clicked(d->ok, &QPushButton::clicked);
    QSignalSpy finished(&d->dialog, &QDialog::finished);
    QSignalSpy shortcut(d->shortcut, &QShortcut::activated);
    d->field->SetKey(0x01, 0x41);
    QTest::keyClick(window, Qt::Key(key), Qt::KeyboardModifiers(mods));
    QCOMPARE(d->field->text(), text);
    QCOMPARE(Key(*d->field), KeyPair(modifiers, vk));
    QVERIFY(d->field->hasFocus());
    QVERIFY(d->dialog.isVisible());
    QCOMPARE(clicked.count(), 0);
    QCOMPARE(finished.count(), 0);
    QCOMPARE(shortcut.count(), 0);
}

void TestKeyCaptureEdit::NativeKeyTellsWindowsKeysApart()
{
    KeyCaptureEdit* f = d->field;
    // A Super whose key-down the compositor took before it passed its
    // shortcuts on still counts: the key's own modifiers say it is held.
    PressNative(QEvent::KeyPress, Qt::Key_H, Qt::MetaModifier, 'h');
    PressNative(QEvent::KeyRelease, Qt::Key_H, Qt::MetaModifier, 'h');
    PressNative(QEvent::KeyRelease, Qt::Key_Meta, Qt::MetaModifier, kXkSuperL);
    QCOMPARE(f->text(), "L_Wnd+H");
    QCOMPARE(Key(*f), KeyPair(0x08, 'H'));
    // Both may arrive as Key_Meta; X11 keysyms or Windows virtual keys decide.
    PressNative(QEvent::KeyPress, Qt::Key_Meta, Qt::NoModifier, kXkSuperR);
    PressNative(QEvent::KeyPress, Qt::Key_Meta, Qt::MetaModifier, kXkSuperL);
    QCOMPARE(f->text(), "Windows+Windows+");
    PressNative(QEvent::KeyRelease, Qt::Key_Meta, Qt::MetaModifier, kXkSuperL);
    QCOMPARE(f->text(), "Windows+Windows");
    PressNative(QEvent::KeyPress, Qt::Key_Tab, Qt::MetaModifier, 0xff09);
    PressNative(QEvent::KeyRelease, Qt::Key_Tab, Qt::MetaModifier, 0xff09);
    QCOMPARE(f->text(), "R_Wnd+Tab");
    QCOMPARE(Key(*f), KeyPair(0x08, VK_TAB));
    PressNative(QEvent::KeyRelease, Qt::Key_Meta, Qt::MetaModifier, VK_RWIN);
    PressNative(QEvent::KeyPress, Qt::Key_Meta, Qt::NoModifier, VK_LWIN);
    QCOMPARE(f->text(), "Windows+");
    // The Windows key alone is no key: the finished combination stays.
    PressNative(QEvent::KeyRelease, Qt::Key_Meta, Qt::MetaModifier, VK_LWIN);
    QCOMPARE(f->text(), "R_Wnd+Tab");
    QCOMPARE(Key(*f), KeyPair(0x08, VK_TAB));

    // X11 reports Shift+Alt as Meta.
    PressNative(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier, 0xffe1);
    PressNative(QEvent::KeyPress, Qt::Key_Meta, Qt::ShiftModifier, kXkMetaL);
    QCOMPARE(f->text(), "Shift+Alt+");
    PressNative(QEvent::KeyRelease, Qt::Key_Meta, Qt::ShiftModifier | Qt::MetaModifier, kXkMetaL);
    QCOMPARE(f->text(), "Shift+");
}

void TestKeyCaptureEdit::AutoRepeat_data()
{
    QTest::addColumn<bool>("flagged");
    QTest::newRow("flagged") << true;
    // Qt on X11 does not always flag it: a repeat step is then a key-up and
    // a key-down of the same key with the same time stamp.
    QTest::newRow("unflagged") << false;
}

void TestKeyCaptureEdit::AutoRepeat()
{
    QFETCH(bool, flagged);
    KeyCaptureEdit* f = d->field;
    constexpr quint32 scanA = 38;
    // Hold Ctrl and A, let A repeat, release Ctrl first: the combination is
    // finished only by A's real release, without Ctrl.
    PressNative(QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier, 0xffe3, false, 37, 1000);
    PressNative(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, 'a', false, scanA, 1010);
    for (quint64 t = 1500; t < 1700; t += 40) {
        PressNative(QEvent::KeyRelease, Qt::Key_A, Qt::ControlModifier, 'a', flagged, scanA, t);
        PressNative(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, 'a', flagged, scanA,
                    flagged ? t + 5 : t);
        QCOMPARE(f->text(), "Ctrl+A");
        QCOMPARE(Key(*f), KeyPair(0, 0));
    }
    PressNative(QEvent::KeyRelease, Qt::Key_Control, Qt::ControlModifier, 0xffe3, false, 37, 1750);
    QTRY_COMPARE(f->text(), "");
    PressNative(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, 'a', false, scanA, 1800);
    QTRY_COMPARE(f->text(), "A");
    QCOMPARE(Key(*f), KeyPair(0, 0x41));

    // A key-up followed by another key is applied before that key.
    PressNative(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, 'b', false, 56, 2000);
    PressNative(QEvent::KeyRelease, Qt::Key_B, Qt::NoModifier, 'b', false, 56, 2100);
    PressNative(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier, 0xffe1, false, 50, 2100);
    QTest::qWait(60); // past the wait for a repeat pair
    QCOMPARE(f->text(), "Shift+");
    QCOMPARE(Key(*f), KeyPair(0, 0x42));
}

void TestKeyCaptureEdit::TextCannotBeChangedExceptByCapture()
{
    KeyCaptureEdit* f = d->field;
    f->SetKey(0x01, 0x41);
    QSignalSpy changed(f, &QLineEdit::textChanged);
    QApplication::clipboard()->setText("Alt+Z");
    f->selectAll();
    std::unique_ptr<QMenu> menu(f->createStandardContextMenu());
    for (QAction* action : menu->actions())
        action->trigger();
    QCOMPARE(changed.count(), 0);

    QApplication::clipboard()->setText("Alt+Z");
    f->selectAll();
    f->paste();
    f->cut();
    f->insert("Alt+Z");
    f->del();
    f->undo();
    QCOMPARE(f->text(), "Ctrl+A");

    QMimeData mime;
    mime.setText("Alt+Z");
    QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f, &enter);
    QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f, &drop);
    QVERIFY(!enter.isAccepted() || !drop.isAccepted());
    QCOMPARE(f->text(), "Ctrl+A");
    QCOMPARE(Key(*f), KeyPair(0x01, 0x41));
}

void TestKeyCaptureEdit::StaleModifiersAreResynchronisedOnFocusIn()
{
    KeyCaptureEdit* f = d->field;
    QTest::keyPress(window, Qt::Key_Shift);
    QTest::keyPress(window, Qt::Key_Alt, Qt::ShiftModifier);
    QCOMPARE(f->text(), "Shift+Alt+");
    // The key-ups go to another widget.
    d->plain->setFocus();
    QTRY_VERIFY(d->plain->hasFocus());
    QTest::keyRelease(window, Qt::Key_Alt, Qt::ShiftModifier | Qt::AltModifier);
    QTest::keyRelease(window, Qt::Key_Shift, Qt::ShiftModifier);
    // Ctrl goes down elsewhere and is still held when the field gains the focus.
    QTest::keyPress(window, Qt::Key_Control, Qt::ControlModifier);
    f->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(f->hasFocus());
    PressNative(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, 'a');
    PressNative(QEvent::KeyRelease, Qt::Key_A, Qt::ControlModifier, 'a');
    QCOMPARE(f->text(), "Ctrl+A");
    QCOMPARE(Key(*f), KeyPair(0x01, 0x41));
    QTest::keyRelease(window, Qt::Key_Control);
}

void TestKeyCaptureEdit::GrabIsHeldOnlyWhileFocusedAndActive()
{
    QCOMPARE(QWidget::keyboardGrabber(), d->field);
    d->second->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(d->second->hasFocus());
    QCOMPARE(QWidget::keyboardGrabber(), d->second);
    d->plain->setFocus();
    QTRY_VERIFY(d->plain->hasFocus());
    QCOMPARE(QWidget::keyboardGrabber(), nullptr);
    d->field->setFocus(Qt::MouseFocusReason);
    QTRY_COMPARE(QWidget::keyboardGrabber(), d->field);

    // Another window becomes active.
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QCOMPARE(QWidget::keyboardGrabber(), nullptr);
    d->dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&d->dialog));
    QTRY_COMPARE(QWidget::keyboardGrabber(), d->field);

    d->dialog.hide();
    QCOMPARE(QWidget::keyboardGrabber(), nullptr);
}

void TestKeyCaptureEdit::GrabIsReleasedWhileAMouseButtonIsDown()
{
    QCOMPARE(QWidget::keyboardGrabber(), d->field);
    // A press on the dialog's background starts a window move.
    const QPoint background(d->dialog.width() - 2, d->dialog.height() - 2);
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, background);
    QCOMPARE(QWidget::keyboardGrabber(), nullptr);
    QVERIFY(d->field->hasFocus());
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, background);
    QCOMPARE(QWidget::keyboardGrabber(), d->field);

    // A move that ends outside the program never delivers the release; the
    // next key in the field takes the grab again.
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, background);
    QCOMPARE(QWidget::keyboardGrabber(), nullptr);
    QTest::keyClick(d->field, Qt::Key_A);
    QCOMPARE(QWidget::keyboardGrabber(), d->field);
    QCOMPARE(d->field->text(), "A");
}

// A capture that ends with modifiers alone (pressed and let go, or the
// desktop took the rest and switched windows) leaves the finished combination
// in the field, Windows flag included, rather than show "Windows" or "Shift+"
// while OK writes something else.
void TestKeyCaptureEdit::ModifierOnlyRemainderIsDropped_data()
{
    QTest::addColumn<bool>("windowSwitch");
    QTest::newRow("keys let go") << false;
    QTest::newRow("another window took over") << true;
}

void TestKeyCaptureEdit::ModifierOnlyRemainderIsDropped()
{
    QFETCH(bool, windowSwitch);
    KeyCaptureEdit* f = d->field;
    PressNative(QEvent::KeyPress, Qt::Key_Super_L, Qt::NoModifier, kXkSuperL);
    PressNative(QEvent::KeyPress, Qt::Key_D, Qt::MetaModifier, 'd');
    PressNative(QEvent::KeyRelease, Qt::Key_D, Qt::MetaModifier, 'd');
    PressNative(QEvent::KeyRelease, Qt::Key_Super_L, Qt::MetaModifier, kXkSuperL);
    QCOMPARE(f->text(), "L_Wnd+D");

    PressNative(QEvent::KeyPress, Qt::Key_Super_L, Qt::NoModifier, kXkSuperL);
    PressNative(QEvent::KeyPress, Qt::Key_Shift, Qt::MetaModifier, 0xffe1);
    QCOMPARE(f->text(), "Shift+Windows+");
    if (windowSwitch) {
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QCOMPARE(f->text(), "L_Wnd+D");
        // The keys go up in the other window.
        QTest::keyRelease(&other, Qt::Key_Shift, Qt::MetaModifier);
        QTest::keyRelease(&other, Qt::Key_Super_L, Qt::NoModifier);
        d->dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d->dialog));
        QTRY_VERIFY(f->hasFocus());
        QVERIFY(f->IsCapturing());
    } else {
        PressNative(QEvent::KeyRelease, Qt::Key_Shift, Qt::MetaModifier | Qt::ShiftModifier,
                    0xffe1);
        QCOMPARE(f->text(), "Windows+");
        PressNative(QEvent::KeyRelease, Qt::Key_Super_L, Qt::MetaModifier, kXkSuperL);
    }
    QCOMPARE(f->text(), "L_Wnd+D");
    QCOMPARE(Key(*f), KeyPair(0x08, 'D'));
    // Still capturing as before.
    PressNative(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, 'b');
    PressNative(QEvent::KeyRelease, Qt::Key_B, Qt::NoModifier, 'b');
    QCOMPARE(f->text(), "B");
    QCOMPARE(Key(*f), KeyPair(0, 'B'));
}

// Reached by Tab, a field shows its key and lets Tab and Esc go by; Enter or
// Space starts a capture, which looks different, takes every key (Tab, Esc
// and shortcuts too) until one combination is finished and every key is up,
// and then lets Tab move on again.
void TestKeyCaptureEdit::KeyboardReachesAndLeavesTheField_data()
{
    QTest::addColumn<int>("armingKey");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("mods"); // pressed before the key, let go after it
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("vk");
    const int ctrl = Qt::ControlModifier;
    const int shiftAlt = Qt::ShiftModifier | Qt::AltModifier;
    QTest::newRow("Space, Tab") << int(Qt::Key_Space) << int(Qt::Key_Tab) << 0 << "Tab" << 0
                                << int(VK_TAB);
    QTest::newRow("Enter, Esc") << int(Qt::Key_Return) << int(Qt::Key_Escape) << 0 << "Esc" << 0
                                << int(VK_ESCAPE);
    QTest::newRow("keypad Enter, Enter")
        << int(Qt::Key_Enter) << int(Qt::Key_Return) << 0 << "Enter" << 0 << int(VK_RETURN);
    QTest::newRow("Space, Ctrl+S (a shortcut)")
        << int(Qt::Key_Space) << int(Qt::Key_S) << ctrl << "Ctrl+S" << 0x01 << 0x53;
    QTest::newRow("Enter, Shift+Alt+Tab") << int(Qt::Key_Return) << int(Qt::Key_Tab) << shiftAlt
                                          << "Shift+Alt+Tab" << 0x06 << int(VK_TAB);
}

void TestKeyCaptureEdit::KeyboardReachesAndLeavesTheField()
{
    QFETCH(int, armingKey);
    QFETCH(int, key);
    QFETCH(int, mods);
    QFETCH(QString, text);
    QFETCH(int, modifiers);
    QFETCH(int, vk);
    KeyCaptureEdit* f = d->field;
    QSignalSpy clicked(d->ok, &QPushButton::clicked);
    QSignalSpy finished(&d->dialog, &QDialog::finished);
    QSignalSpy shortcut(d->shortcut, &QShortcut::activated);
    f->SetKey(0x01, 0x41);

    // Shift+Tab back from the next field: not capturing.
    d->second->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(d->second->hasFocus());
    QTest::keyClick(window, Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_VERIFY(f->hasFocus());
    QVERIFY(!f->IsCapturing());
    QCOMPARE(QWidget::keyboardGrabber(), nullptr);
    const QColor idleBase = f->palette().color(QPalette::Base);
    QTest::keyClick(window, Qt::Key_Tab);
    QVERIFY(d->second->hasFocus());
    QCOMPARE(f->text(), "Ctrl+A");
    QTest::keyClick(window, Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_VERIFY(f->hasFocus());

    // The arming key itself, down and up, is no key of the combination.
    const auto armMods = armingKey == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
    QTest::keyPress(window, Qt::Key(armingKey), armMods);
    QVERIFY(f->IsCapturing());
    QTest::keyRelease(window, Qt::Key(armingKey), armMods);
    QVERIFY(f->IsCapturing());
    QCOMPARE(f->text(), "Ctrl+A");
    QCOMPARE(QWidget::keyboardGrabber(), f);
    QVERIFY(f->palette().color(QPalette::Base) != idleBase);

    // QTest presses the modifiers first; they go up one by one after the key.
    QTest::keyPress(window, Qt::Key(key), Qt::KeyboardModifiers(mods));
    auto held = Qt::KeyboardModifiers(mods);
    QTest::simulateEvent(window, false, key, held, QString(), false);
    for (const auto& [modifier, modifierKey] :
         {std::pair{Qt::AltModifier, Qt::Key_Alt}, std::pair{Qt::ControlModifier, Qt::Key_Control},
          std::pair{Qt::ShiftModifier, Qt::Key_Shift}}) {
        if (held & modifier) {
            QVERIFY(f->IsCapturing()); // until the last key is up
            QTest::simulateEvent(window, false, modifierKey, held, QString(), false);
            held &= ~modifier;
        }
    }
    QCOMPARE(f->text(), text);
    QCOMPARE(Key(*f), KeyPair(modifiers, vk));
    QVERIFY(!f->IsCapturing());
    QVERIFY(f->hasFocus());
    QCOMPARE(QWidget::keyboardGrabber(), nullptr);
    QCOMPARE(f->palette().color(QPalette::Base), idleBase);

    QTest::keyClick(window, Qt::Key_Tab);
    QVERIFY(d->second->hasFocus());
    QCOMPARE(f->text(), text);
    QCOMPARE(clicked.count(), 0);
    QCOMPARE(finished.count(), 0);
    QCOMPARE(shortcut.count(), 0);
}

QTEST_MAIN(TestKeyCaptureEdit)
#include "tst_capture_edit.moc"
