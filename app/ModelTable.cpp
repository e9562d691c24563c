#include "ModelTable.h"

#include "PresenterFamilies.h"

#include "Lt61pConfigDialog.h"
#include "QnConfigDialog.h"
#include "Rv80ConfigDialog.h"
#include "TwoKeyConfigDialog.h"

#include <QByteArray>

#include <cstring>
#include <string_view>

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

namespace {

// The command line knows the models from the receiver's family table; both
// must name the same models with the same dialogs.
constexpr bool SameFamily(ConfigDialogClass dialog, PresenterFamilyId family)
{
    switch (dialog) {
    case ConfigDialogClass::TwoKey:
        return family == PresenterFamilyId::TwoKey;
    case ConfigDialogClass::Lt61p:
        return family == PresenterFamilyId::Lt61p;
    case ConfigDialogClass::Rv80:
        return family == PresenterFamilyId::Rv80;
    case ConfigDialogClass::Qn:
        return family == PresenterFamilyId::Qn;
    }
    return false;
}

constexpr bool ModelTablesAgree()
{
    for (std::size_t i = 0; i < kModels.size(); ++i) {
        if (std::string_view(kModels[i].text) != kPresenterModels[i].text ||
            !SameFamily(kModels[i].dialogClass, kPresenterModels[i].family) ||
            (kModels[i].listPosition >= 0) != kPresenterModels[i].listed)
            return false;
    }
    return kModels.size() == kPresenterModels.size();
}
static_assert(ModelTablesAgree());

} // namespace
