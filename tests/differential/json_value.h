// Just enough JSON to read what the manifest tool prints: objects, arrays,
// strings (with \uXXXX escapes of single bytes), numbers, true, false, null.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct JsonValue {
    enum class Kind { Null, Flag, Number, Text, Array, Object } kind = Kind::Null;
    bool flag = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::map<std::string, JsonValue> members;

    // The member of that name; null when there is none.
    const JsonValue& operator[](const std::string& name) const;
    bool Has(const std::string& name) const { return members.count(name) != 0; }
    std::vector<std::string> Texts() const;  // an array of strings
};

// nullopt when the text is not one JSON value (blank space around it allowed).
std::optional<JsonValue> ParseJson(const std::string& text);
