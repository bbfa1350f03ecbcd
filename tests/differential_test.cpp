// The publisher's tool against real runs of the shipped module: for every
// generated pair of manifest and installation, what `manifest-tool explain`
// says the installation gets must be what updatehost.exe then fetched,
// recorded or started. The suite runs a sample; scripts/differential runs
// the whole set (VELNOR_DIFFERENTIAL_COUNT, VELNOR_DIFFERENTIAL_SEED, and
// VELNOR_DIFFERENTIAL_ALL=1 for every feature).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "differential/case_maker.h"
#include "differential/comparison.h"
#include "differential/module_run.h"
#include "differential/tool_run.h"
#include "framework/crypto.h"
#include "support/temp_folder.h"

namespace {

// Features that the tool does not yet decide as the module does. The sample
// leaves them out, so that the suite stays green while they are open; the
// whole set (scripts/differential) always puts them in. Empty this list as
// the tool learns them.
const std::set<std::string> kKnownOpen = {};

unsigned Setting(const char* name, unsigned fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? static_cast<unsigned>(std::strtoul(value, nullptr, 10)) : fallback;
}

std::string Hex(const framework::Sha256Digest& digest)
{
    std::string text;
    for (unsigned char byte : digest)
        text += "0123456789abcdef"[byte >> 4], text += "0123456789abcdef"[byte & 15];
    return text;
}

// Both sides of one pair; a disagreement is reported with the case.
bool Agree(InstalledModule& module, const DiffCase& pair, const TempFolder& scratch,
           std::map<std::string, unsigned>& categories)
{
    ToolAnswer told;
    ModuleOutcome did;
    try {
        ToolRun tool(pair, scratch);  // beside the module's run
        did = module.Run(pair);
        told = tool.Wait();
    } catch (const std::exception& error) {
        // One pair that cannot be run does not end the whole set.
        ADD_FAILURE() << "PAIR NOT RUN: " << error.what() << " (system error " << GetLastError() << ")\n"
                      << pair.Describe();
        ++categories["the pair could not be run"];
        return false;
    }
    std::vector<Disagreement> found = Compare(pair, told, did);
    if (found.empty())
        return true;
    std::string report = "DISAGREEMENT in " + pair.Describe();
    for (const Disagreement& d : found) {
        report += "  * " + d.category + (d.detail.empty() ? "" : ": " + d.detail) + "\n";
        ++categories[d.category];
    }
    ADD_FAILURE() << report << DescribeOutcome(told, did);
    return false;
}

std::string PackageDigest(const std::string& package)
{
    return Hex(framework::Sha256Of(package.data(), package.size()));
}

std::string Signing(const char* name) { return ReadFileBytes(ProgramFolder() + "\\signing\\" + name); }

TEST(Differential, TheToolExplainsWhatRealRunsOfTheModuleDo)
{
    const unsigned count = Setting("VELNOR_DIFFERENTIAL_COUNT", 40);
    const unsigned seed = Setting("VELNOR_DIFFERENTIAL_SEED", 20261211);
    const bool all = Setting("VELNOR_DIFFERENTIAL_ALL", 0) != 0;

    InstalledModule module;
    ManifestSigner key(Signing("key.pem")), otherKey(Signing("other.pem"));
    CaseMaker maker(seed, {PackageDigest(module.package()), std::to_string(module.package().size())}, key,
                    otherKey, all ? std::set<std::string>{} : kKnownOpen);
    TempFolder scratch;
    unsigned agreed = 0;
    std::map<std::string, unsigned> categories;
    for (unsigned i = 0; i < count; ++i)
        agreed += Agree(module, maker.Next(), scratch, categories);
    std::printf("agreement: %u of %u pairs (seed %u%s)\n", agreed, count, seed,
                all ? ", every feature" : ", the sample without the known-open features");
    for (const auto& [category, times] : categories)
        std::printf("  %4u  %s\n", times, category.c_str());
}

// One case written by hand (see ReadCase), named by VELNOR_DIFFERENTIAL_REPLAY.
TEST(Differential, ReplaysOneCaseWrittenByHand)
{
    const char* folder = std::getenv("VELNOR_DIFFERENTIAL_REPLAY");
    if (!folder || !*folder)
        GTEST_SKIP() << "VELNOR_DIFFERENTIAL_REPLAY names no case folder";
    InstalledModule module;
    ManifestSigner key(Signing("key.pem"));
    TempFolder scratch;
    std::map<std::string, unsigned> categories;
    DiffCase pair = ReadCase(folder, key);
    std::printf("agreement: %d of 1 pairs\n", Agree(module, pair, scratch, categories) ? 1 : 0);
}

}  // namespace
