// What tells one presenter family's configuration dialog from another. The
// configuration cycle itself exists once, in ConfigDialog.
#pragma once

#include "KeyTableStore.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

struct PresenterFamily;

struct ConfigFamily
{
    struct ModelBackground
    {
        const char* model; // compared byte for byte with the model text
        int bitmapId;
    };

    int templateId = 0;
    int okId = 0;
    int cancelId = 0;
    int resetId = 0;
    int loadId = 0;
    // The receiver's table size for this family; also the number of key fields.
    int tableSize = 0;
    // Key field control ids in slot order: slot 1 first.
    std::array<int, KeyTableStore::kCapacity> fieldIds{};
    std::array<std::uint8_t, KeyTableStore::kCapacity> factoryModifiers{};
    std::array<std::uint8_t, KeyTableStore::kCapacity> factoryKeyCodes{};
    // Background used whatever the model (0: chosen by the model text alone).
    int anyModelBackground = 0;
    std::vector<ModelBackground> modelBackgrounds;
    // The family's plain facts, which also decide which received sizes show
    // the factory table.
    const PresenterFamily* data = nullptr;

    int BackgroundFor(std::string_view model) const;
    // "No table" or another family's table: the fields then show this
    // family's factory table.
    bool ShowsFactoryTable(int receivedSize) const;
};

const ConfigFamily& TwoKeyFamily();
const ConfigFamily& QnFamily();
const ConfigFamily& Lt61pFamily();
const ConfigFamily& Rv80Family();
