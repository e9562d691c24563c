#include "Json.h"

#include "KeyNames.h"

#include <cstdio>

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

JsonObject& JsonObject::Member(const std::string& name, const std::string& json)
{
    members += (members.empty() ? "" : ", ") + JsonString(name) + ": " + json;
    return *this;
}

JsonObject& JsonObject::Text(const std::string& name, const std::string& value)
{
    return Member(name, JsonString(value));
}

JsonObject& JsonObject::Number(const std::string& name, long long value)
{
    return Member(name, std::to_string(value));
}

JsonObject& JsonObject::Bool(const std::string& name, bool value)
{
    return Member(name, value ? "true" : "false");
}

JsonObject& JsonObject::Null(const std::string& name)
{
    return Member(name, "null");
}

JsonObject& JsonObject::Raw(const std::string& name, const std::string& json)
{
    return Member(name, json);
}

std::string JsonArray(const std::vector<std::string>& values)
{
    std::string out = "[";
    for (std::size_t i = 0; i < values.size(); ++i)
        out += (i ? ", " : "") + values[i];
    return out + "]";
}

std::string ModelsJson()
{
    std::vector<std::string> models;
    for (const PresenterModel& model : kPresenterModels) {
        const PresenterFamily& family = FamilyData(model.family);
        std::vector<std::string> buttons;
        for (int slot = 1; slot <= family.tableSize; ++slot)
            buttons.push_back(JsonObject()
                                  .Number("slot", slot)
                                  .Text("button", family.buttonNames[slot - 1])
                                  .Str());
        models.push_back(JsonObject()
                             .Text("model", model.text)
                             .Text("family", family.name)
                             .Raw("buttons", JsonArray(buttons))
                             .Str());
    }
    return JsonArray(models) + "\n";
}

namespace {

std::string KeyJson(KeyAssignment key)
{
    return JsonObject()
        .Text("key", AssignmentText(key))
        .Number("modifiers", key.modifiers)
        .Number("keyCode", key.keyCode)
        .Str();
}

} // namespace

std::string WriteOutcomeJson(const std::string& command, const PresenterModel* model,
                             const PresenterFamily* family, const std::vector<KeyAssignment>& keys,
                             const ReceiverSession::Written& written)
{
    JsonObject o;
    o.Text("command", command);
    if (model)
        o.Text("model", model->text);
    else
        o.Null("model");
    if (family)
        o.Text("family", family->name);
    else
        o.Null("family");
    std::vector<std::string> slots;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        JsonObject slot;
        slot.Number("slot", static_cast<long long>(i + 1));
        if (family && static_cast<int>(i) < family->tableSize)
            slot.Text("button", family->buttonNames[i]);
        slots.push_back(slot.Raw("wanted", KeyJson(keys[i])).Str());
    }
    o.Raw("slots", JsonArray(slots));
    // Every outcome the session has is one case here; a new one is one more.
    switch (written.result) {
    case ReceiverSession::Written::Verified:
        o.Text("result", "verified").Bool("written", true).Bool("verified", true);
        break;
    case ReceiverSession::Written::NotSent:
        o.Text("result", "not-sent").Bool("written", false).Bool("verified", false);
        break;
    case ReceiverSession::Written::NoReadback:
        o.Text("result", "no-read-back").Bool("written", true).Bool("verified", false);
        break;
    case ReceiverSession::Written::NotVerified:
        o.Text("result", "not-verified").Bool("written", true).Bool("verified", false);
        if (written.slot == 0) {
            o.Number("receivedSize", written.receivedSize);
        } else {
            o.Raw("differs", JsonObject()
                                 .Number("slot", written.slot)
                                 .Raw("wanted", KeyJson(written.wanted))
                                 .Raw("found", KeyJson(written.found))
                                 .Str());
        }
        break;
    }
    return o.Str() + "\n";
}
