#pragma once

#include "BitmapButton.h"
#include "SkinDialog.h"

#include <QString>

// One page of usage instructions, drawn as the background in the language
// chosen in the main window, and an OK button that closes it.
class HelpDialog : public SkinDialog
{
    Q_OBJECT
public:
    explicit HelpDialog(QWidget* parent = nullptr);

    // Must be called before the dialog runs.
    void SetLanguage(const QString& language);
    const QString& Language() const { return language; }

    BitmapButton& OkButton() { return okButton; }

protected:
    bool OnInitDialog() override;

private:
    BitmapButton okButton;
    QString language;
};
