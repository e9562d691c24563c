// The four presenter families. Each dialog class is only its family's table
// handed to the shared engine.
#include "ConfigFamily.h"
#include "Lt61pConfigDialog.h"
#include "PresenterFamilies.h"
#include "QnConfigDialog.h"
#include "Rv80ConfigDialog.h"
#include "TwoKeyConfigDialog.h"

int ConfigFamily::BackgroundFor(std::string_view model) const
{
    if (anyModelBackground)
        return anyModelBackground;
    for (const ModelBackground& entry : modelBackgrounds)
        if (model == entry.model)
            return entry.bitmapId;
    return 0;
}

bool ConfigFamily::ShowsFactoryTable(int receivedSize) const
{
    return data && ::ShowsFactoryTable(*data, receivedSize);
}

namespace {

// Table size and factory table come from the family data the command line
// shares; the rest of a ConfigFamily is the dialog's own.
void TakeFamilyData(ConfigFamily& f, PresenterFamilyId id)
{
    const PresenterFamily& data = FamilyData(id);
    f.tableSize = data.tableSize;
    f.factoryModifiers = data.factoryModifiers;
    f.factoryKeyCodes = data.factoryKeyCodes;
    f.data = &data;
}

} // namespace

const ConfigFamily& TwoKeyFamily()
{
    static const ConfigFamily family = [] {
        ConfigFamily f;
        f.templateId = 129;
        f.okId = 1;
        f.cancelId = 1008;
        f.resetId = 1010;
        f.loadId = 1009;
        TakeFamilyData(f, PresenterFamilyId::TwoKey);
        f.fieldIds = {1002, 1003};
        f.anyModelBackground = 163;
        return f;
    }();
    return family;
}

const ConfigFamily& QnFamily()
{
    static const ConfigFamily family = [] {
        ConfigFamily f;
        f.templateId = 130;
        f.okId = 1;
        f.cancelId = 2;
        f.resetId = 1015;
        f.loadId = 1016;
        TakeFamilyData(f, PresenterFamilyId::Qn);
        f.fieldIds = {1011, 1012, 1013, 1014, 1033};
        f.modelBackgrounds = {{"QN-90", 175}, {"QN-70 Vela", 173}, {"QN-95 Vela", 172}};
        return f;
    }();
    return family;
}

const ConfigFamily& Lt61pFamily()
{
    static const ConfigFamily family = [] {
        ConfigFamily f;
        f.templateId = 131;
        f.okId = 1;
        f.cancelId = 2;
        f.resetId = 1017;
        f.loadId = 1023;
        TakeFamilyData(f, PresenterFamilyId::Lt61p);
        f.fieldIds = {1018, 1019, 1020, 1021, 1022};
        f.modelBackgrounds = {{"LT-61P", 164}, {"LT-65", 165}};
        return f;
    }();
    return family;
}

const ConfigFamily& Rv80Family()
{
    static const ConfigFamily family = [] {
        ConfigFamily f;
        f.templateId = 132;
        f.okId = 1;
        f.cancelId = 2;
        f.resetId = 1024;
        f.loadId = 1025;
        TakeFamilyData(f, PresenterFamilyId::Rv80);
        f.fieldIds = {1026, 1027, 1028, 1029, 1030, 1031, 1032};
        f.modelBackgrounds = {{"RV-80", 170}, {"RV-80G", 174}};
        return f;
    }();
    return family;
}

TwoKeyConfigDialog::TwoKeyConfigDialog(QWidget* parent) : ConfigDialog(TwoKeyFamily(), parent) {}

QnConfigDialog::QnConfigDialog(QWidget* parent) : ConfigDialog(QnFamily(), parent) {}

Lt61pConfigDialog::Lt61pConfigDialog(QWidget* parent) : ConfigDialog(Lt61pFamily(), parent) {}

Rv80ConfigDialog::Rv80ConfigDialog(QWidget* parent) : ConfigDialog(Rv80Family(), parent) {}
