#include "manifest_trust.h"

#include <algorithm>

#include "framework/debug_output.h"
#include "framework/registry.h"
#include "manifest_signature.h"
#include "resources/resource.h"
#include "shared/decimal.h"
#include "shared/facts.h"
#include "update_check/update_manifest.h"

namespace {

// One value per channel, named by the channel's path, beside the update record.
std::string SerialsKey() { return std::string(kRecordKey) + "\\" + kSerialsSubkey; }

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

std::uint64_t HighestSerial(const std::string& channel)
{
    framework::RegKey key = framework::OpenRegKey(HKEY_CURRENT_USER, SerialsKey().c_str(), KEY_READ);
    std::string text;
    if (!key || !framework::QueryRegString(key.get(), channel.c_str(), text))
        return 0;
    return ParseDecimal(text).value_or(0);
}

void StoreHighestSerial(const std::string& channel, std::uint64_t serial)
{
    framework::RegKey owned =
        framework::CreateRegKey(HKEY_CURRENT_USER, SerialsKey().c_str(), KEY_SET_VALUE);
    if (!owned)
        return;
    std::string text = std::to_string(serial);
    RegSetValueExA(owned.get(), channel.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
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

bool SignedByOneOf(std::string_view bytes, const std::vector<framework::EcPoint>& keys)
{
    return std::any_of(keys.begin(), keys.end(),
                       [&](const framework::EcPoint& key) { return ManifestSignatureHolds(bytes, key); });
}

ManifestVerdict JudgeSignedManifest(const UpdateManifest& manifest, const std::string& channel,
                                    std::uint64_t nowSeconds, std::uint64_t highestSerial)
{
    if (!manifest.duplicates.empty())
        return ManifestVerdict::Ambiguous;
    if (manifest.channel.empty() || manifest.expires.empty() || manifest.serial.empty())
        return ManifestVerdict::Incomplete;
    if (manifest.channel != channel)
        return ManifestVerdict::ChannelMismatch;
    auto expires = ParseUtcTime(manifest.expires);
    if (!expires || *expires <= nowSeconds)
        return ManifestVerdict::Expired;
    // A Serial that does not read as a number is older than all.
    std::optional<std::uint64_t> serial = ParseDecimal(manifest.serial);
    if (!serial || *serial < highestSerial)
        return ManifestVerdict::SerialRolledBack;
    return ManifestVerdict::Trusted;
}

const char* VerdictTrace(ManifestVerdict verdict)
{
    switch (verdict) {
    case ManifestVerdict::SignatureInvalid: return "Manifest signature invalid";
    case ManifestVerdict::Ambiguous: return "Manifest ambiguous";
    case ManifestVerdict::Incomplete: return "Manifest incomplete";
    case ManifestVerdict::ChannelMismatch: return "Manifest channel mismatch";
    case ManifestVerdict::Expired: return "Manifest expired";
    case ManifestVerdict::SerialRolledBack: return "Manifest serial rolled back";
    case ManifestVerdict::Trusted: break;
    }
    return "Manifest signature verified";
}

namespace {

// Every byte of the file through its handle, or nullopt when it cannot be
// read or holds more than the limit.
std::optional<std::string> ReadAll(HANDLE file, bool& tooLarge)
{
    std::string bytes;
    char block[65536];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, block, sizeof block, &read, nullptr))
            return std::nullopt;
        if (read == 0)
            return bytes;
        if (bytes.size() + read > kMaxManifestBytes) {
            tooLarge = true;
            return std::nullopt;
        }
        bytes.append(block, read);
    }
}

// The judged manifest while its file is held, or nullopt after its trace line.
std::optional<UpdateManifest> ReadHeldManifest(const std::string& path, const std::string& channel,
                                               const std::vector<framework::EcPoint>& keys)
{
    // A module without a key reads the file as it always did.
    if (keys.empty())
        return ReadUpdateManifest(path);
    // Nobody may write, rename or delete the file from the read of its bytes
    // to the end of their parse: what is verified is what is read.
    framework::FileHandle held(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    bool tooLarge = false;
    std::optional<std::string> bytes = held ? ReadAll(held.get(), tooLarge) : std::nullopt;
    if (!bytes) {
        framework::DebugOutput(tooLarge ? kTraceManifestTooLarge : kTraceManifestUnreadable);
        return std::nullopt;
    }
    // The signature first: nothing of an unsigned text is parsed.
    if (!SignedByOneOf(*bytes, keys)) {
        framework::DebugOutput(VerdictTrace(ManifestVerdict::SignatureInvalid));
        return std::nullopt;
    }
    UpdateManifest manifest = ReadUpdateManifest(path);  // the held, verified bytes
    std::uint64_t highest = HighestSerial(channel);
    ManifestVerdict verdict = JudgeSignedManifest(manifest, channel, NowSeconds(), highest);
    framework::DebugOutput(VerdictTrace(verdict));
    if (verdict != ManifestVerdict::Trusted)
        return std::nullopt;
    std::uint64_t serial = ParseDecimal(manifest.serial).value_or(0);
    if (serial > highest)
        StoreHighestSerial(channel, serial);
    return manifest;
}

}  // namespace

std::optional<UpdateManifest> AcceptManifest(const std::string& path, const std::string& channel,
                                             const std::vector<framework::EcPoint>& keys)
{
    std::optional<UpdateManifest> manifest = ReadHeldManifest(path, channel, keys);
    DeleteFileA(path.c_str());
    return manifest;
}

bool PinAllowsFetch(const PackagePin& pin, bool keyed)
{
    if (!pin.readable) {
        framework::DebugOutput(kTracePinInvalid);
        return false;
    }
    if (keyed && !pin.complete()) {
        framework::DebugOutput(kTracePinMissing);
        return false;
    }
    return true;
}
