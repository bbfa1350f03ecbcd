// Just enough JSON for the tool's --json output: objects and arrays built as
// text, strings escaped so that any manifest byte gives valid JSON.
#pragma once

#include <string>
#include <vector>

std::string JsonString(const std::string& text);
std::string JsonArray(const std::vector<std::string>& items);  // items are JSON already
std::string JsonStrings(const std::vector<std::string>& texts);

class JsonObject {
public:
    JsonObject& Text(const char* key, const std::string& value) { return Raw(key, JsonString(value)); }
    JsonObject& Number(const char* key, long long value) { return Raw(key, std::to_string(value)); }
    JsonObject& Flag(const char* key, bool value) { return Raw(key, value ? "true" : "false"); }
    JsonObject& Null(const char* key) { return Raw(key, "null"); }
    JsonObject& Raw(const char* key, const std::string& json)
    {
        body_ += (body_.empty() ? "" : ",") + JsonString(key) + ":" + json;
        return *this;
    }
    std::string str() const { return "{" + body_ + "}"; }

private:
    std::string body_;
};
