#include "json.h"

#include <cstdio>

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7f) {
            // Manifests are ANSI text of no known code page: bytes above
            // ASCII are given as the Latin-1 characters of the same number.
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string JsonArray(const std::vector<std::string>& items)
{
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i)
        out += (i ? "," : "") + items[i];
    return out + "]";
}

std::string JsonStrings(const std::vector<std::string>& texts)
{
    std::vector<std::string> items;
    for (const std::string& text : texts)
        items.push_back(JsonString(text));
    return JsonArray(items);
}
