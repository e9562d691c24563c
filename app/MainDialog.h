// The main window: the model and language lists, the model's picture, and the
// way into the configuration dialog of the model's family and the help page.
#pragma once

#include "BitmapButton.h"
#include "HyperLinkStatic.h"
#include "SkinDialog.h"

#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QString>

#include <functional>
#include <memory>

class BitmapPrefetch;

class MainDialog : public SkinDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplateId = 102;
    static constexpr int kVendorId = 0x0EBC;
    static constexpr int kProductId = 0x2501;
    static constexpr const char* kDownloadUrl = "https://www.example.com/en/download";

    explicit MainDialog(QWidget* parent = nullptr);
    ~MainDialog() override;

    // How "Config" and "HELP" run their dialog once it is set up; modal
    // (DoModal) unless a test puts something else here. Returns the previous.
    using DialogRunner = std::function<int(SkinDialog& dialog)>;
    DialogRunner SetDialogRunner(DialogRunner runner);

    // The handlers of "Config", "HELP", "Exit" and a new model selection.
    void OnConfig();
    void OnHelp();
    void OnExit();
    void OnSelchangeModel();

    // The selected entry's text; empty when nothing is selected. Typed text
    // never counts.
    QString SelectedModel() const;
    QString SelectedLanguage() const;

    QComboBox& ModelList() { return modelList; }
    QComboBox& LanguageList() { return languageList; }
    BitmapButton& ConfigButton() { return configButton; }
    BitmapButton& HelpButton() { return helpButton; }
    BitmapButton& ExitButton() { return exitButton; }
    HyperLinkStatic& DownloadLink() { return downloadLink; }
    // The picture statics by control id; nullptr for any other id.
    QLabel* Picture(int controlId);
    int VendorId() const { return vendorId; }
    int ProductId() const { return productId; }

protected:
    bool OnInitDialog() override;

private:
    void ShowPicture(int controlId);
    int Run(SkinDialog& dialog);

    // First, so that the pictures unpack while the controls are built.
    std::unique_ptr<BitmapPrefetch> art;
    // Declared in the order the controls are bound.
    QLabel pictureRv80g;
    QLabel pictureQn90;
    QLabel pictureQn70Vela;
    QLabel pictureRv80;
    QLabel pictureLt65;
    QLabel pictureLt61p;
    QLabel pictureLt61;
    HyperLinkStatic downloadLink;
    QLabel pictureQn95Vela;
    BitmapButton helpButton;
    BitmapButton exitButton;
    BitmapButton configButton;
    QComboBox modelList;
    QComboBox languageList;
    QIcon icon;
    int vendorId = kVendorId;
    int productId = kProductId;
    DialogRunner runner;
};
