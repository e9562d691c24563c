// Renders each dialog as the program shows it when it opens: the real skinned
// dialog with its template applied, key capture fields showing the receivers'
// factory keys, bitmap buttons with their faces, and the background bitmap
// compiled into the program.
//
//   tavrolin-render-dialogs <out-dir>     writes <out-dir>/dialog-<background>.png

#include "BitmapButton.h"
#include "HelpDialog.h"
#include "KeyCaptureEdit.h"
#include "SkinDialog.h"
#include "keys/KeyCodes.h"
#include "res/DialogTemplates.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPixmap>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

namespace {

[[noreturn]] void Fail(const QString& what)
{
    std::fprintf(stderr, "tavrolin-render-dialogs: %s\n", qPrintable(what));
    std::exit(1);
}

struct FactoryKey
{
    std::uint8_t modifiers;
    std::uint8_t keyCode; // the receiver's code (a USB HID usage)
};

// What each key field shows once a receiver with its factory table is read.
const std::map<int, FactoryKey>& FactoryKeys()
{
    static const std::map<int, FactoryKey> keys = {
        // Two-key dialog: Page Up, Page Down.
        {1002, {0, 0x4B}},
        {1003, {0, 0x4E}},
        // QN family: F5, Esc, Alt+Tab, Page Up, Page Down.
        {1011, {0, 0x3E}},
        {1012, {0, 0x29}},
        {1013, {0x04, 0x2B}},
        {1014, {0, 0x4B}},
        {1033, {0, 0x4E}},
        // LT-61P / LT-65: Page Up, Page Down, full stop, F5, Esc.
        {1018, {0, 0x4B}},
        {1019, {0, 0x4E}},
        {1020, {0, 0x37}},
        {1021, {0, 0x3E}},
        {1022, {0, 0x29}},
        // RV-80 family: full stop, Down, Up, F5, Esc, Page Up, Page Down.
        {1026, {0, 0x37}},
        {1027, {0, 0x51}},
        {1028, {0, 0x52}},
        {1029, {0, 0x3E}},
        {1030, {0, 0x29}},
        {1031, {0, 0x4B}},
        {1032, {0, 0x4E}},
    };
    return keys;
}

struct Faces
{
    int normal;
    int pressed;
    int focused;
};

// Button faces by the template's caption, as the dialogs load them.
Faces FacesOf(int templateId, const QString& caption)
{
    static const std::map<QString, Faces> faces = {
        {QStringLiteral("OK"), {136, 135, 136}},    {QStringLiteral("Cancel"), {178, 177, 178}},
        {QStringLiteral("RESET"), {146, 145, 146}}, {QStringLiteral("LOAD"), {148, 147, 148}},
        {QStringLiteral("Exit"), {138, 137, 138}},  {QStringLiteral("Config"), {136, 135, 136}},
        {QStringLiteral("HELP"), {143, 142, 143}},
    };
    const auto found = faces.find(caption);
    if (found == faces.end())
        Fail(QStringLiteral("template %1: no faces for the button \"%2\"")
                 .arg(templateId)
                 .arg(caption));
    return found->second;
}

// A skinned dialog built from its template alone: a capture field for every edit
// control, a bitmap button for every button; the rest as the template applier makes it.
class TemplateDialog : public SkinDialog
{
public:
    TemplateDialog(int templateId, int background) : SkinDialog(templateId), background(background)
    {}

protected:
    bool OnInitDialog() override
    {
        const DialogTemplate* dialog = FindDialogTemplate(TemplateId());
        if (!dialog)
            Fail(QStringLiteral("there is no dialog template %1").arg(TemplateId()));
        std::map<int, QWidget*> members;
        std::map<BitmapButton*, Faces> buttons;
        for (const ControlTemplate& control : dialog->controls) {
            if (control.cls == ControlClass::Edit) {
                if (FactoryKeys().find(control.id) == FactoryKeys().end())
                    Fail(QStringLiteral("template %1: no key for field %2")
                             .arg(TemplateId())
                             .arg(control.id));
                auto* field = new KeyCaptureEdit(this);
                fields[control.id] = field;
                members[control.id] = field;
            } else if (control.cls == ControlClass::Button) {
                auto* button = new BitmapButton(this);
                buttons[button] = FacesOf(TemplateId(), QString::fromUtf8(control.text));
                members[control.id] = button;
            }
        }
        ApplyTemplate(members);
        if (!LoadBackground(background))
            Fail(QStringLiteral("there is no bitmap %1").arg(background));
        for (const auto& [button, faces] : buttons) {
            if (!button->LoadBitmaps(faces.normal, faces.pressed, faces.focused))
                Fail(QStringLiteral("template %1: missing button faces").arg(TemplateId()));
            button->SizeToContent();
        }
        return true;
    }

public:
    // The keys arrive from the receiver once the dialog is up, so a focused field
    // shows its key without a selection, as in the program.
    void FillKeys()
    {
        for (const auto& [id, field] : fields) {
            const FactoryKey key = FactoryKeys().at(id);
            field->SetKey(key.modifiers, KeyCodeToVirtualKey(key.keyCode));
        }
    }

private:
    int background;
    std::map<int, KeyCaptureEdit*> fields;
};

// The main window as it opens: the first model chosen and its picture shown.
class MainWindowDialog : public TemplateDialog
{
public:
    MainWindowDialog() : TemplateDialog(102, 134) {}

protected:
    bool OnInitDialog() override
    {
        TemplateDialog::OnInitDialog();
        for (int list : {1000, 1056}) {
            auto* combo = qobject_cast<QComboBox*>(TemplateControl(list));
            if (!combo)
                Fail(QStringLiteral("template 102: control %1 is no list").arg(list));
            combo->setEditable(false);
            combo->setCurrentIndex(0);
        }
        const DialogTemplate* dialog = FindDialogTemplate(102);
        for (const ControlTemplate& control : dialog->controls) {
            if (control.cls == ControlClass::Static && (control.style & SS_TYPEMASK) == SS_BITMAP)
                TemplateControl(control.id)->setVisible(control.id == 1038);
        }
        return true;
    }
};

void Render(SkinDialog& dialog, const QString& out, int background)
{
    // In the order DoModal takes: initialised, then shown.
    dialog.InitDialog();
    dialog.show();
    QApplication::processEvents();
    if (auto* templated = dynamic_cast<TemplateDialog*>(&dialog)) {
        templated->FillKeys();
        QApplication::processEvents();
    }
    if (dialog.BackgroundId() != background)
        Fail(QStringLiteral("dialog %1 has background %2, not %3")
                 .arg(dialog.TemplateId())
                 .arg(dialog.BackgroundId())
                 .arg(background));
    const QString path = QStringLiteral("%1/dialog-%2.png").arg(out).arg(background);
    if (!dialog.grab().save(path, "PNG"))
        Fail(QStringLiteral("cannot write %1").arg(path));
    dialog.hide();
}

// The offscreen platform remarks on every keyboard grab and size hint it cannot pass
// on; nothing of that changes the picture.
QtMessageHandler standardHandler = nullptr;

void QuietPlatform(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    standardHandler(type, context, message);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    standardHandler = qInstallMessageHandler(QuietPlatform);
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 1 || args[0].startsWith(QLatin1Char('-'))) {
        std::fprintf(stderr, "usage: tavrolin-render-dialogs <out-dir>\n");
        return 2;
    }
    const QString out = args[0];
    if (!QDir().mkpath(out))
        Fail(QStringLiteral("cannot create %1").arg(out));

    const struct
    {
        int background;
        int templateId;
    } configDialogs[] = {{163, 129}, {164, 131}, {165, 131}, {170, 132},
                         {172, 130}, {173, 130}, {174, 132}, {175, 130}};
    for (const auto& d : configDialogs) {
        TemplateDialog dialog(d.templateId, d.background);
        Render(dialog, out, d.background);
    }
    {
        MainWindowDialog dialog;
        Render(dialog, out, 134);
    }
    for (const auto& [language, page] :
         {std::pair{QStringLiteral("English"), 179}, std::pair{QStringLiteral("Korean"), 181}}) {
        HelpDialog dialog;
        dialog.SetLanguage(language);
        Render(dialog, out, page);
    }
    return 0;
}
