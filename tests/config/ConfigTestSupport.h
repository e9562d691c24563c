// Shared by the configuration dialog tests and the load benchmark.
#pragma once

#include "ConfigDialog.h"
#include "KeyCaptureEdit.h"
#include "Lt61pConfigDialog.h"
#include "MessageBox.h"
#include "QnConfigDialog.h"
#include "Rv80ConfigDialog.h"
#include "TwoKeyConfigDialog.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTest>

#include <cstdint>
#include <memory>

namespace config_test {

inline QStringList Families()
{
    return {"TwoKey", "Qn", "Lt61p", "Rv80"};
}

// A model text that opens the family's dialog in the main window.
inline QString ModelOf(const QString& family)
{
    return family == "TwoKey"  ? "LT-61"
           : family == "Qn"    ? "QN-95 Vela"
           : family == "Lt61p" ? "LT-61P"
                               : "RV-80";
}

// Built and handed over as the main window does.
inline std::unique_ptr<ConfigDialog> MakeDialog(const QString& family,
                                                const QString& language = "English",
                                                const QString& model = QString())
{
    std::unique_ptr<ConfigDialog> dialog;
    if (family == "TwoKey")
        dialog = std::make_unique<TwoKeyConfigDialog>();
    else if (family == "Qn")
        dialog = std::make_unique<QnConfigDialog>();
    else if (family == "Lt61p")
        dialog = std::make_unique<Lt61pConfigDialog>();
    else
        dialog = std::make_unique<Rv80ConfigDialog>();
    dialog->SetModelName(model.isNull() ? ModelOf(family) : model);
    dialog->SetLanguage(language);
    dialog->SetDeviceIds(0x0EBC, 0x2501);
    return dialog;
}

// What a field holds, as GetKey gives it.
struct FieldKey
{
    std::uint8_t modifiers = 0;
    std::uint16_t virtualKey = 0;
    bool operator==(const FieldKey&) const = default;
};

inline FieldKey KeyOf(const ConfigDialog& dialog, int slot)
{
    FieldKey key;
    dialog.KeyField(slot)->GetKey(key.modifiers, key.virtualKey);
    return key;
}

// Types Ctrl+F5 into the slot's field of the shown dialog with real key events.
inline bool CaptureCtrlF5(ConfigDialog& dialog, int slot)
{
    dialog.show();
    KeyCaptureEdit* field = dialog.KeyField(slot);
    dialog.activateWindow();
    if (!QTest::qWaitForWindowActive(&dialog))
        return false;
    QTest::mouseClick(field, Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return field->IsCapturing(); }))
        return false;
    QTest::keyPress(field, Qt::Key_Control);
    QTest::keyClick(field, Qt::Key_F5, Qt::ControlModifier);
    QTest::keyRelease(field, Qt::Key_Control);
    return field->text() == "Ctrl+F5";
}

// Replaces the message box while it lives: records every message and answers
// Yes/No questions from `answers` (No when it runs dry).
struct MessageRecorder
{
    QStringList texts;
    QList<AppMessageBox::Buttons> buttons;
    QList<int> answers;
    AppMessageBox::Handler previous = AppMessageBox::SetHandler(
        [this](QWidget*, const QString& text, AppMessageBox::Buttons shown) {
            texts << text;
            buttons << shown;
            if (shown == AppMessageBox::Buttons::Ok)
                return int(AppMessageBox::IdOk);
            return answers.isEmpty() ? int(AppMessageBox::IdNo) : answers.takeFirst();
        });
    ~MessageRecorder() { AppMessageBox::SetHandler(previous); }
    void Clear() { texts.clear(), buttons.clear(), answers.clear(); }
};

} // namespace config_test
