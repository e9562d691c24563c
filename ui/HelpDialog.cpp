#include "HelpDialog.h"

HelpDialog::HelpDialog(QWidget* parent) : SkinDialog(140, parent), okButton(this)
{
    ApplyTemplate({{1, &okButton}});
    connect(&okButton, &QAbstractButton::clicked, this, &QDialog::accept);
}

void HelpDialog::SetLanguage(const QString& language)
{
    this->language = language;
}

bool HelpDialog::OnInitDialog()
{
    if (language == QLatin1String("English"))
        LoadBackground(179);
    else if (language == QLatin1String("Korean"))
        LoadBackground(181);
    // The dark face is this button's normal face; the light one shows while it
    // has the focus, which it always has.
    okButton.LoadBitmaps(135, 135, 136);
    okButton.SizeToContent();
    return true;
}
