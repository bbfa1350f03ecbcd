#include "switches.h"

#include <mbstring.h>

#include <cstring>

#include "framework/win.h"

namespace {

const char kSwitchCharacters[] = "-/";

// The multibyte functions of the C runtime take unsigned bytes. They follow
// the runtime's multibyte code page, which the runtime sets to the ANSI code
// page when it starts.
const unsigned char* Bytes(const char* text)
{
    return reinterpret_cast<const unsigned char*>(text);
}

// The length of the longest run of whole characters at the start of the text
// that fits in room bytes.
size_t WholeCharactersWithin(const char* text, size_t room)
{
    const char* end = text;
    for (const char* next = CharNextA(end); next != end && size_t(next - text) <= room;
         next = CharNextA(end))
        end = next;
    return size_t(end - text);
}

void StoreValue(const char* value, size_t length, char* buffer, size_t size)
{
    if (!buffer || size == 0)
        return;
    if (length >= size)
        length = WholeCharactersWithin(value, size - 1);
    std::memcpy(buffer, value, length);
    buffer[length] = '\0';
}

// The length of the value that starts at the text: up to the first space, or
// up to a double quote that stands beyond that space.
size_t ValueLength(const char* value)
{
    size_t space = _mbscspn(Bytes(value), Bytes(" "));
    size_t quote = _mbscspn(Bytes(value), Bytes("\""));
    return quote > space && value[quote] == '"' ? quote : space;
}

}  // namespace

const char* SkipPastAnyOf(const char* text, const char* set)
{
    if (!text || !set)
        return nullptr;
    for (const char* c = text; *c; c = CharNextA(c))
        for (const char* s = set; *s; s = CharNextA(s))
            if (*s == *c)
                return CharNextA(c);
    return nullptr;
}

int FindSwitchValue(const char* commandLine, const char* key, char* value, size_t size)
{
    if (!commandLine || !key)
        return 0;
    size_t keyLength = std::strlen(key);
    // The key is matched as a prefix of whatever follows a switch character.
    const char* p = SkipPastAnyOf(commandLine, kSwitchCharacters);
    while (p && _mbsnicmp(Bytes(p), Bytes(key), keyLength) != 0)
        p = SkipPastAnyOf(p, kSwitchCharacters);
    if (!p)
        return 0;

    const char* afterKey = p + keyLength;
    size_t separator = _mbsspn(Bytes(afterKey), Bytes("\" "));
    if (separator == 0) {
        // Directly followed by something else ("/S=1", "/Silent"): no value.
        StoreValue(afterKey, 0, value, size);
        return 1;
    }
    const char* start = afterKey + separator;
    StoreValue(start, ValueLength(start), value, size);
    return 1;
}
