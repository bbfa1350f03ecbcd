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

namespace {

// The length of the UTF-8 character at text[i], 0 when none starts there.
size_t Utf8Length(const std::string& text, size_t i, unsigned& code)
{
    unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t length = lead >= 0xf0 && lead < 0xf5 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc2 && lead < 0xe0 ? 2 : 0;
    if (lead >= 0xf5 || length == 0 || i + length > text.size())
        return 0;
    code = lead & (0x7f >> length);
    for (size_t k = 1; k < length; ++k) {
        unsigned char next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xc0) != 0x80)
            return 0;
        code = code << 6 | (next & 0x3f);
    }
    bool shortest = code >= (length == 2 ? 0x80u : length == 3 ? 0x800u : 0x10000u);
    return shortest && code <= 0x10ffff && (code < 0xd800 || code > 0xdfff) ? length : 0;
}

void Escape(std::string& out, unsigned unit)
{
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", unit);
    out += escape;
}

}  // namespace

std::string JsonUtf8(const std::string& text)
{
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        unsigned code = 0;
        size_t length = static_cast<unsigned char>(text[i]) >= 0x80 ? Utf8Length(text, i, code) : 0;
        if (length == 0) {
            std::string one = JsonString(text.substr(i, 1));
            out += one.substr(1, one.size() - 2);
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            Escape(out, 0xd800 + ((code - 0x10000) >> 10));
            Escape(out, 0xdc00 + ((code - 0x10000) & 0x3ff));
        } else {
            Escape(out, code);
        }
        i += length;
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

JsonObject& JsonObject::Fraction(const char* key, double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return Raw(key, text);
}
