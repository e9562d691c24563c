// The four presenter families. Each dialog class is only its family's table
// handed to the shared engine.
#include "ConfigFamily.h"
#include "Lt61pConfigDialog.h"
#include "QnConfigDialog.h"
#include "Rv80ConfigDialog.h"
#include "TwoKeyConfigDialog.h"

#include <algorithm>

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
    return std::find(factoryTableSizes.begin(), factoryTableSizes.end(), receivedSize) !=
           factoryTableSizes.end();
}

// Factory key codes are the receiver's (USB HID usages): 0x4B Page Up,
// 0x4E Page Down, 0x3E F5, 0x29 Esc, 0x2B Tab, 0x37 full stop, 0x51 Down, 0x52 Up.

const ConfigFamily& TwoKeyFamily()
{
    static const ConfigFamily family = [] {
        ConfigFamily f;
        f.templateId = 129;
        f.okId = 1;
        f.cancelId = 1008;
        f.resetId = 1010;
        f.loadId = 1009;
        f.tableSize = 2;
        f.fieldIds = {1002, 1003};
        f.factoryModifiers = {0x00, 0x00};
        f.factoryKeyCodes = {0x4B, 0x4E};
        f.anyModelBackground = 163;
        f.factoryTableSizes = {0, 4, 5, 7};
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
        f.tableSize = 5;
        f.fieldIds = {1011, 1012, 1013, 1014, 1033};
        f.factoryModifiers = {0x00, 0x00, 0x04, 0x00, 0x00};
        f.factoryKeyCodes = {0x3E, 0x29, 0x2B, 0x4B, 0x4E};
        f.modelBackgrounds = {{"QN-90", 175}, {"QN-70 Vela", 173}, {"QN-95 Vela", 172}};
        f.factoryTableSizes = {0, 2, 4, 7};
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
        f.tableSize = 5;
        f.fieldIds = {1018, 1019, 1020, 1021, 1022};
        f.factoryModifiers = {0x00, 0x00, 0x00, 0x00, 0x00};
        f.factoryKeyCodes = {0x4B, 0x4E, 0x37, 0x3E, 0x29};
        f.modelBackgrounds = {{"LT-61P", 164}, {"LT-65", 165}};
        f.factoryTableSizes = {0, 2, 4, 7};
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
        f.tableSize = 7;
        f.fieldIds = {1026, 1027, 1028, 1029, 1030, 1031, 1032};
        f.factoryModifiers = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
        f.factoryKeyCodes = {0x37, 0x51, 0x52, 0x3E, 0x29, 0x4B, 0x4E};
        f.modelBackgrounds = {{"RV-80", 170}, {"RV-80G", 174}};
        f.factoryTableSizes = {0, 2, 4, 5};
        return f;
    }();
    return family;
}

TwoKeyConfigDialog::TwoKeyConfigDialog(QWidget* parent) : ConfigDialog(TwoKeyFamily(), parent) {}

QnConfigDialog::QnConfigDialog(QWidget* parent) : ConfigDialog(QnFamily(), parent) {}

Lt61pConfigDialog::Lt61pConfigDialog(QWidget* parent) : ConfigDialog(Lt61pFamily(), parent) {}

Rv80ConfigDialog::Rv80ConfigDialog(QWidget* parent) : ConfigDialog(Rv80Family(), parent) {}
