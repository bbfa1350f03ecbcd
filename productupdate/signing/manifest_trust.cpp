#include "manifest_trust.h"

#include <fstream>
#include <iterator>

#include "framework/debug_output.h"
#include "framework/registry.h"
#include "manifest_signature.h"
#include "resources/resource.h"
#include "update_check/update_manifest.h"

namespace {

const char kUpdateKey[] = "Software\\Velnor\\Update";
const char kSerialValue[] = "ManifestSerial";

// Days from 1970-01-01 to the date, in the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

std::optional<framework::EcPoint> KeyResource(HINSTANCE module, int id)
{
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), RT_RCDATA);
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const char* text = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (!text)
        return std::nullopt;
    return PublicKeyFromPem(std::string_view(text, SizeofResource(module, resource)));
}

bool HasKeyResource(HINSTANCE module, int id)
{
    return FindResourceA(module, MAKEINTRESOURCEA(id), RT_RCDATA) != nullptr;
}

}  // namespace

std::uint64_t NowSeconds()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks = {{now.dwLowDateTime, now.dwHighDateTime}};
    return ticks.QuadPart / 10000000ULL - 11644473600ULL;  // from 1601 to 1970
}

std::uint64_t HighestSerial()
{
    framework::RegKey key = framework::OpenRegKey(HKEY_CURRENT_USER, kUpdateKey, KEY_READ);
    std::string text;
    if (!key || !framework::QueryRegString(key.get(), kSerialValue, text))
        return 0;
    return ParseDecimal(text).value_or(0);
}

void StoreHighestSerial(std::uint64_t serial)
{
    framework::RegKey owned = framework::CreateRegKey(HKEY_CURRENT_USER, kUpdateKey, KEY_SET_VALUE);
    if (!owned)
        return;
    std::string text = std::to_string(serial);
    RegSetValueExA(owned.get(), kSerialValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
}

std::vector<framework::EcPoint> LoadUpdateKeys(HINSTANCE module)
{
    std::vector<framework::EcPoint> keys;
    for (int id : {IDR_UPDATE_KEY, IDR_UPDATE_NEXT_KEY})
        if (auto key = KeyResource(module, id))
            keys.push_back(*key);
    return keys;
}

bool HasUnreadableUpdateKey(HINSTANCE module)
{
    for (int id : {IDR_UPDATE_KEY, IDR_UPDATE_NEXT_KEY})
        if (HasKeyResource(module, id) && !KeyResource(module, id))
            return true;
    return false;
}

std::optional<std::uint64_t> ParseUtcTime(const std::string& text)
{
    // YYYY-MM-DDTHH:MM:SSZ, exactly.
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z')
        return std::nullopt;
    auto year = ParseDecimal(text.substr(0, 4)), month = ParseDecimal(text.substr(5, 2)),
         day = ParseDecimal(text.substr(8, 2)), hour = ParseDecimal(text.substr(11, 2)),
         minute = ParseDecimal(text.substr(14, 2)), second = ParseDecimal(text.substr(17, 2));
    if (!year || !month || !day || !hour || !minute || !second || *year < 1970 || *month < 1 ||
        *month > 12 || *hour > 23 || *minute > 59 || *second > 59)
        return std::nullopt;
    auto y = static_cast<std::int64_t>(*year);
    auto m = static_cast<unsigned>(*month);
    std::int64_t first = DaysFromCivil(y, m, 1);
    std::int64_t next = m == 12 ? DaysFromCivil(y + 1, 1, 1) : DaysFromCivil(y, m + 1, 1);
    if (*day < 1 || static_cast<std::int64_t>(*day) > next - first)
        return std::nullopt;  // a day the month does not have
    std::uint64_t days = static_cast<std::uint64_t>(first) + *day - 1;
    return days * 86400 + *hour * 3600 + *minute * 60 + *second;
}

ManifestVerdict JudgeManifest(std::string_view bytes, const Freshness& freshness,
                              const std::vector<framework::EcPoint>& keys, std::uint64_t nowSeconds,
                              std::uint64_t highestSerial)
{
    bool signedByOne = false;
    for (const framework::EcPoint& key : keys)
        signedByOne = signedByOne || ManifestSignatureHolds(bytes, key);
    if (!signedByOne)
        return ManifestVerdict::SignatureInvalid;
    if (!freshness.expires.empty()) {
        auto expires = ParseUtcTime(freshness.expires);
        if (!expires || *expires <= nowSeconds)
            return ManifestVerdict::Expired;
    }
    // A manifest without a Serial is older than any that had one; one that
    // does not read as a number is older than all.
    std::optional<std::uint64_t> serial =
        freshness.serial.empty() ? std::optional<std::uint64_t>(0) : ParseDecimal(freshness.serial);
    if (!serial || *serial < highestSerial)
        return ManifestVerdict::SerialRolledBack;
    return ManifestVerdict::Trusted;
}

bool AcceptManifest(const std::string& path, const std::vector<framework::EcPoint>& keys)
{
    if (keys.empty())
        return true;
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    UpdateManifest manifest = ReadUpdateManifest(path);
    std::uint64_t highest = HighestSerial();
    switch (JudgeManifest(bytes, {manifest.expires, manifest.serial}, keys, NowSeconds(), highest)) {
    case ManifestVerdict::SignatureInvalid:
        framework::DebugOutput("Manifest signature invalid");
        return false;
    case ManifestVerdict::Expired:
        framework::DebugOutput("Manifest expired");
        return false;
    case ManifestVerdict::SerialRolledBack:
        framework::DebugOutput("Manifest serial rolled back");
        return false;
    case ManifestVerdict::Trusted:
        break;
    }
    framework::DebugOutput("Manifest signature verified");
    std::uint64_t serial = ParseDecimal(manifest.serial).value_or(0);
    if (serial > highest)
        StoreHighestSerial(serial);
    return true;
}

bool PinAllowsFetch(const PackagePin& pin, bool keyed)
{
    if (!pin.readable) {
        framework::DebugOutput("Package digest invalid");
        return false;
    }
    if (keyed && !pin.complete()) {
        framework::DebugOutput("Package digest missing");
        return false;
    }
    return true;
}
