#include "MainDialog.h"

#include "ConfigDialog.h"
#include "HelpDialog.h"
#include "ModelTable.h"
#include "res/DialogTemplates.h"
#include "res/Resources.h"

#include <QSignalBlocker>

#include <iterator>
#include <memory>

namespace {

constexpr int kBackgroundId = 134;
struct ButtonFaces
{
    int normal, pressed, focused;
};
// "Exit", "Config" and "HELP", in this order.
constexpr ButtonFaces kButtonFaces[] = {{138, 137, 138}, {136, 135, 136}, {143, 142, 143}};
// The picture shown until a model is chosen.
constexpr int kFirstPictureId = 1038;

// What the window shows first, to be unpacked while it is built.
std::vector<int> FirstArt()
{
    std::vector<int> ids{kBackgroundId};
    for (const ButtonFaces& faces : kButtonFaces)
        ids.insert(ids.end(), {faces.normal, faces.pressed});
    if (const DialogTemplate* main = FindDialogTemplate(MainDialog::kTemplateId)) {
        for (const ControlTemplate& control : main->controls) {
            if (control.id == kFirstPictureId)
                ids.push_back(control.bitmapId);
        }
    }
    return ids;
}

QString SelectedEntry(const QComboBox& list)
{
    const int index = list.currentIndex();
    return index < 0 ? QString() : list.itemText(index);
}

} // namespace

MainDialog::MainDialog(QWidget* parent)
    : SkinDialog(kTemplateId, parent),
      art(std::make_unique<BitmapPrefetch>(FirstArt(), devicePixelRatioF())), pictureRv80g(this),
      pictureQn90(this), pictureQn70Vela(this), pictureRv80(this), pictureLt65(this),
      pictureLt61p(this), pictureLt61(this), downloadLink(this), pictureQn95Vela(this),
      helpButton(this), exitButton(this), configButton(this), modelList(this), languageList(this),
      icon(ApplicationIcon())
{
    // The program's own window: a taskbar entry of its own, no frame.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    ApplyTemplate({{1043, &pictureRv80g},
                   {1045, &pictureQn90},
                   {1042, &pictureQn70Vela},
                   {1041, &pictureRv80},
                   {1040, &pictureLt65},
                   {1039, &pictureLt61p},
                   {1038, &pictureLt61},
                   {1037, &downloadLink},
                   {1036, &pictureQn95Vela},
                   {1035, &helpButton},
                   {1, &exitButton},
                   {1001, &configButton},
                   {1000, &modelList},
                   {1056, &languageList}},
                  // The template's lists are drop-downs with an edit field,
                  // but only the chosen entry ever counts; without the field
                  // no typed text can sit in the box looking like a choice it
                  // is not.
                  {1000, 1056});
    setWindowIcon(icon);
    // A picture is named after the model it shows.
    for (const ModelEntry& model : kModels)
        Picture(model.pictureControlId)->setAccessibleName(QString::fromUtf8(model.text));

    connect(&configButton, &QAbstractButton::clicked, this, &MainDialog::OnConfig);
    connect(&helpButton, &QAbstractButton::clicked, this, &MainDialog::OnHelp);
    connect(&exitButton, &QAbstractButton::clicked, this, &MainDialog::OnExit);
    connect(&modelList, &QComboBox::currentIndexChanged, this, &MainDialog::OnSelchangeModel);
}

MainDialog::~MainDialog() = default;

MainDialog::DialogRunner MainDialog::SetDialogRunner(DialogRunner newRunner)
{
    DialogRunner previous = std::move(runner);
    runner = std::move(newRunner);
    return previous;
}

bool MainDialog::OnInitDialog()
{
    downloadLink.Attach();

    LoadBackground(kBackgroundId);
    setWindowTitle(QStringLiteral("Tavrolin"));

    BitmapButton* const buttons[] = {&exitButton, &configButton, &helpButton};
    for (std::size_t i = 0; i < std::size(buttons); ++i) {
        const ButtonFaces& faces = kButtonFaces[i];
        buttons[i]->LoadBitmaps(faces.normal, faces.pressed, faces.focused);
        buttons[i]->SizeToContent();
    }

    {
        // Choosing the start entries is no user's selection change.
        const QSignalBlocker blockModels(modelList);
        modelList.setCurrentIndex(0);
        languageList.setCurrentIndex(0);
    }

    downloadLink.SetUrl(QString::fromLatin1(kDownloadUrl));
    downloadLink.SetUnderlineMode(1);

    ShowPicture(kFirstPictureId);
    // All it unpacked has been taken.
    art.reset();
    return true;
}

QString MainDialog::SelectedModel() const
{
    return SelectedEntry(modelList);
}

QString MainDialog::SelectedLanguage() const
{
    return SelectedEntry(languageList);
}

QLabel* MainDialog::Picture(int controlId)
{
    switch (controlId) {
    case 1043:
        return &pictureRv80g;
    case 1045:
        return &pictureQn90;
    case 1042:
        return &pictureQn70Vela;
    case 1041:
        return &pictureRv80;
    case 1040:
        return &pictureLt65;
    case 1039:
        return &pictureLt61p;
    case 1038:
        return &pictureLt61;
    case 1036:
        return &pictureQn95Vela;
    default:
        return nullptr;
    }
}

void MainDialog::ShowPicture(int controlId)
{
    Picture(controlId)->show();
    for (const ModelEntry& model : kModels) {
        if (model.pictureControlId != controlId)
            Picture(model.pictureControlId)->hide();
    }
}

void MainDialog::OnSelchangeModel()
{
    if (const ModelEntry* model = FindModel(SelectedModel()))
        ShowPicture(model->pictureControlId);
}

int MainDialog::Run(SkinDialog& dialog)
{
    return runner ? runner(dialog) : dialog.DoModal();
}

void MainDialog::OnConfig()
{
    const QString model = SelectedModel();
    const QString language = SelectedLanguage();
    const ModelEntry* entry = FindModel(model);
    if (!entry)
        return;
    // Owned by the main window, as the platform would make it: it stays on top
    // of it and the main window takes no input while it is open.
    std::unique_ptr<ConfigDialog> dialog = CreateConfigDialog(entry->dialogClass, this);
    HandOver(*dialog, model, language, vendorId, productId);
    Run(*dialog);
}

void MainDialog::OnHelp()
{
    HelpDialog dialog(this);
    dialog.SetLanguage(SelectedLanguage());
    Run(dialog);
}

void MainDialog::OnExit()
{
    EndDialog(QDialog::Accepted);
}
