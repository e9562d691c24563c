// The --json output of the commands: one JSON object per result, made by
// hand, since a tool without Qt prints only a handful of fields. Errors stay
// on standard error and never appear here.
#pragma once

#include "PresenterFamilies.h"
#include "ReceiverSession.h"

#include <string>
#include <vector>

std::string JsonString(const std::string& text);

// Members in the order they are added: {"name": value, ...}.
class JsonObject
{
public:
    JsonObject& Text(const std::string& name, const std::string& value);
    JsonObject& Number(const std::string& name, long long value);
    JsonObject& Bool(const std::string& name, bool value);
    JsonObject& Null(const std::string& name);
    // A value that is JSON already: an object, an array, or null.
    JsonObject& Raw(const std::string& name, const std::string& json);
    std::string Str() const { return "{" + members + "}"; }

private:
    JsonObject& Member(const std::string& name, const std::string& json);
    std::string members;
};

// [a, b, ...] of values that are JSON already.
std::string JsonArray(const std::vector<std::string>& values);

// models --json: every model with its family and buttons.
std::string ModelsJson();

// The outcome of set, import or reset for --json: what was to be written
// (`keys` empty when the command did not know it beforehand, as a reset
// without a model), whether it was sent and whether the receiver holds it.
std::string WriteOutcomeJson(const std::string& command, const PresenterModel* model,
                             const PresenterFamily* family, const std::vector<KeyAssignment>& keys,
                             const ReceiverSession::Written& written);
