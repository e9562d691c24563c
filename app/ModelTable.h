// The program's fixed knowledge of the presenter models: the model text is the
// key, compared byte for byte with these literals.
#pragma once

#include <QString>

#include <array>
#include <memory>

class ConfigDialog;
class QWidget;

enum class ConfigDialogClass
{
    TwoKey, // template 129
    Lt61p,  // template 131
    Rv80,   // template 132
    Qn      // template 130
};

struct ModelEntry
{
    const char* text;
    int listPosition; // -1: handled but not offered in the model list
    int pictureControlId;
    int pictureBitmapId;
    ConfigDialogClass dialogClass;
};

inline constexpr std::array<ModelEntry, 8> kModels{{
    {"LT-61", 0, 1038, 158, ConfigDialogClass::TwoKey},
    {"LT-61P", 1, 1039, 159, ConfigDialogClass::Lt61p},
    {"LT-65", 2, 1040, 160, ConfigDialogClass::Lt61p},
    {"RV-80", 3, 1041, 161, ConfigDialogClass::Rv80},
    {"RV-80G", 4, 1043, 176, ConfigDialogClass::Rv80},
    {"QN-70 Vela", 5, 1042, 162, ConfigDialogClass::Qn},
    {"QN-95 Vela", 6, 1036, 144, ConfigDialogClass::Qn},
    {"QN-90", -1, 1045, 180, ConfigDialogClass::Qn},
}};

// nullptr when the text names no model (an empty text included).
const ModelEntry* FindModel(const QString& modelText);

// A new, parentless-or-owned configuration dialog of that class.
std::unique_ptr<ConfigDialog> CreateConfigDialog(ConfigDialogClass dialogClass,
                                                 QWidget* owner = nullptr);

// The hand-over every configuration dialog gets before it runs, in this order.
template <class Dialog>
void HandOver(Dialog& dialog, const QString& modelName, const QString& language, int vendorId,
              int productId)
{
    dialog.SetModelName(modelName);
    dialog.SetLanguage(language);
    dialog.SetDeviceIds(vendorId, productId);
}
