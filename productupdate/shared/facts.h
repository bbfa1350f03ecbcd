// What the module, the publisher's manifest tool and the scripts must agree
// on, written once: where manifests live, how much of one is read, how its
// URL lists are read, the update record's names, and the trace lines of the
// update decision. A change here changes what installations do: the tool and
// the scripts follow it because they read it from here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// --- The manifest -----------------------------------------------------------

// Far beyond any real manifest, which is a few hundred bytes: a larger one is
// never fetched, let alone parsed, and the tool examines none.
constexpr std::uint64_t kMaxManifestBytes = 1u << 20;

// The manifest paths on the update server. Test mode fetches one manifest for
// all installations; normal mode one per company, which names its folder.
constexpr char kTestManifestPath[] = "/vlnr/testnet/test.ini";
constexpr char kCompanyFolders[] = "/vlnr/";
std::string CompanyManifestPath(const std::string& company);
// The file list that the file-by-file updater is handed, per company.
std::string CompanyFileListPath(const std::string& company);

// prefix + digits, read or not: "File0", "File02" and "File7" are File
// entries; "FileCount" and "File" are not.
bool IsIndexedName(const std::string& name, const char* prefix);
// The index n of a name prefix + "%d" that the module reads: the prefix in any
// case, then n in plain decimal without a leading zero, below count.
// "File02", "File-1" and "File3" of a count of 3 are never read.
std::optional<int> ReadIndex(const std::string& name, const char* prefix, int count);

// --- The update record (HKEY_CURRENT_USER) ----------------------------------

// Its key, as a path and as the settings store names it: the store's registry
// name under "software", then the section.
constexpr char kRecordKey[] = "Software\\Velnor\\Update";
constexpr char kRecordStoreName[] = "Velnor";
constexpr char kRecordSection[] = "Update";
// "force" has always been written with the section in lower case; the key is
// the same, since registry names do not depend on case.
constexpr char kRecordForceSection[] = "update";

constexpr char kHasUpdateValue[] = "HasUpdate";
constexpr char kUpdateVersionValue[] = "UpdateVersion";
constexpr char kUpdatePathValue[] = "UpdatePath";
constexpr char kForceValue[] = "force";
constexpr char kSilentValue[] = "Silent";
// Beside the record: the installation's rollout draw, and a subkey holding
// the highest Serial accepted per channel.
constexpr char kRolloutDrawValue[] = "RolloutDraw";
constexpr char kSerialsSubkey[] = "ManifestSerials";

// The module reads "UpdateVersion" into this many bytes, its terminating zero
// included: a longer value reads as no recorded version at all.
constexpr unsigned kRecordVersionBytes = 260;

// --- Trace lines of the decision --------------------------------------------

constexpr char kTraceRecordOpened[] = "Open \\\\HKEY_CURRENT_USER\\Software\\Velnor\\Update Succed";
constexpr char kTraceRecordNotOpened[] = "Open \\\\HKEY_CURRENT_USER\\Software\\Velnor\\Update Failed";
constexpr char kTraceRecordVersionRead[] = "QueryValue UpdateVersion Succed";
constexpr char kTraceRecordVersionNotRead[] = "QueryValue UpdateVersion Failed";
constexpr char kTraceVersionsFormat[] = "strRegVersion=%s lpLocalVersion=%s szVersion=%s hasRegVersion=%d";
constexpr char kTraceStartDownloading[] = "Start Downloading";
constexpr char kTraceUpdateKeyUnreadable[] = "Update key unreadable";
constexpr char kTraceManifestTooLarge[] = "Manifest too large";
constexpr char kTraceManifestUnreadable[] = "Manifest unreadable";
constexpr char kTracePinInvalid[] = "Package digest invalid";
constexpr char kTracePinMissing[] = "Package digest missing";

// "Update held back: rollout 5%, place 17", or with the Rollout text quoted
// and "unreadable" for one that is no share.
std::string HeldBackTrace(const std::optional<unsigned>& share, const std::string& rollout,
                          unsigned place);
// "Update 2.4.0.3 withdrawn", and why the copy stays when it could not go.
std::string WithdrawnTrace(const std::string& version, bool copyKept);
