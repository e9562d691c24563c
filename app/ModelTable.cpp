#include "ModelTable.h"

#include "Lt61pConfigDialog.h"
#include "QnConfigDialog.h"
#include "Rv80ConfigDialog.h"
#include "TwoKeyConfigDialog.h"

#include <QByteArray>

#include <cstring>

const ModelEntry* FindModel(const QString& modelText)
{
    const QByteArray bytes = modelText.toUtf8();
    for (const ModelEntry& model : kModels) {
        if (bytes == QByteArray(model.text, static_cast<qsizetype>(std::strlen(model.text))))
            return &model;
    }
    return nullptr;
}

std::unique_ptr<ConfigDialog> CreateConfigDialog(ConfigDialogClass dialogClass, QWidget* owner)
{
    switch (dialogClass) {
    case ConfigDialogClass::TwoKey:
        return std::make_unique<TwoKeyConfigDialog>(owner);
    case ConfigDialogClass::Lt61p:
        return std::make_unique<Lt61pConfigDialog>(owner);
    case ConfigDialogClass::Rv80:
        return std::make_unique<Rv80ConfigDialog>(owner);
    case ConfigDialogClass::Qn:
        return std::make_unique<QnConfigDialog>(owner);
    }
    return nullptr;
}
