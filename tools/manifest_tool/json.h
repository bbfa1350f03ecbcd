// Just enough JSON for the tool's --json output: objects and arrays built as
// text, strings escaped so that any manifest byte gives valid JSON.
#pragma once

#include <string>
#include <vector>

// Manifest text, of no known code page: bytes above ASCII are given as the
// Latin-1 characters of the same number.
std::string JsonString(const std::string& text);
// Text of the tool's own (names as the publisher typed them, messages): UTF-8,
// with any byte that is not part of a UTF-8 character taken as Latin-1.
std::string JsonUtf8(const std::string& text);
std::string JsonArray(const std::vector<std::string>& items);  // items are JSON already
std::string JsonStrings(const std::vector<std::string>& texts);

class JsonObject {
public:
    JsonObject& Text(const char* key, const std::string& value) { return Raw(key, JsonString(value)); }
    JsonObject& Number(const char* key, long long value) { return Raw(key, std::to_string(value)); }
    JsonObject& Fraction(const char* key, double value);  // 0 up to 1
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
