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

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace config_test {

// A model text that opens each family's dialog in the main window.
inline QString ModelOf(const QString& family)
{
    if (family == QLatin1String("TwoKey"))
        return QStringLiteral("LT-61");
    if (family == QLatin1String("Qn"))
        return QStringLiteral("QN-95 Vela");
    if (family == QLatin1String("Lt61p"))
        return QStringLiteral("LT-61P");
    return QStringLiteral("RV-80");
}

inline QStringList Families()
{
    return {QStringLiteral("TwoKey"), QStringLiteral("Qn"), QStringLiteral("Lt61p"),
            QStringLiteral("Rv80")};
}

// Built and handed over as the main window does.
inline std::unique_ptr<ConfigDialog> MakeDialog(const QString& family,
                                                const QString& language = QStringLiteral("English"),
                                                const QString& model = QString())
{
    std::unique_ptr<ConfigDialog> dialog;
    if (family == QLatin1String("TwoKey"))
        dialog = std::make_unique<TwoKeyConfigDialog>();
    else if (family == QLatin1String("Qn"))
        dialog = std::make_unique<QnConfigDialog>();
    else if (family == QLatin1String("Lt61p"))
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

inline std::string Hex(std::initializer_list<int> bytes)
{
    std::string text;
    char item[4];
    for (int b : bytes) {
        std::snprintf(item, sizeof item, "%02X", b & 0xFF);
        text += (text.empty() ? "" : " ") + std::string(item);
    }
    return text;
}

// Replaces the message box for the test's lifetime: records every message
// and answers Yes/No questions from a script (No when it runs dry).
class MessageRecorder
{
public:
    MessageRecorder()
    {
        previous = AppMessageBox::SetHandler(
            [this](QWidget*, const QString& text, AppMessageBox::Buttons buttons) {
                texts << text;
                this->buttons << buttons;
                if (buttons == AppMessageBox::Buttons::Ok)
                    return int(AppMessageBox::IdOk);
                return answers.isEmpty() ? int(AppMessageBox::IdNo) : answers.takeFirst();
            });
    }
    ~MessageRecorder() { AppMessageBox::SetHandler(previous); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    void Clear()
    {
        texts.clear();
        buttons.clear();
        answers.clear();
    }

    QStringList texts;
    QList<AppMessageBox::Buttons> buttons;
    QList<int> answers;

private:
    AppMessageBox::Handler previous;
};

} // namespace config_test
