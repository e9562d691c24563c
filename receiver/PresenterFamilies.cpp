#include "PresenterFamilies.h"

#include <algorithm>

namespace {

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

} // namespace

const PresenterModel* FindPresenterModel(std::string_view text)
{
    for (const PresenterModel& model : kPresenterModels)
        if (text == model.text)
            return &model;
    return nullptr;
}

const PresenterModel* FindPresenterModelIgnoringCase(std::string_view text)
{
    if (const PresenterModel* exact = FindPresenterModel(text))
        return exact;
    for (const PresenterModel& model : kPresenterModels)
        if (EqualIgnoringCase(text, model.text))
            return &model;
    return nullptr;
}

bool ShowsFactoryTable(const PresenterFamily& family, int receivedSize)
{
    if (receivedSize == 0)
        return true;
    return receivedSize != family.tableSize &&
           std::find(kKnownTableSizes.begin(), kKnownTableSizes.end(), receivedSize) !=
               kKnownTableSizes.end();
}
