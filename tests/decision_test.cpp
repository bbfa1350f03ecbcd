// The update decision on real manifest files, with the update record in the
// real registry and the trace lines read from the debug output.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "support/debug_capture.h"
#include "support/guarded_text.h"
#include "support/long_runs.h"
#include "support/registry.h"
#include "support/temp_folder.h"
#include "signing/manifest_trust.h"
#include "startup/module_context.h"
#include "update_check/evaluate_manifest.h"
#include "update_check/rollout.h"
#include "update_check/version_compare.h"

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

const char kUpdateKey[] = "Software\\Velnor\\Update";

TEST(CompareVersions, IsNumericFieldByField)
{
    EXPECT_TRUE(CompareVersions("1.9.0.0", "1.10.0.0"));
    EXPECT_FALSE(CompareVersions("1.10.0.0", "1.9.0.0"));
    EXPECT_FALSE(CompareVersions("1.0.0.0", "1.0.0.0"));
    EXPECT_TRUE(CompareVersions("1.0.0.5", "1.0.0.6"));
    EXPECT_TRUE(CompareVersions("1-0_0,5", "1.0.0.6")) << "any single separator";
    EXPECT_FALSE(CompareVersions("2.0.0.0", "1.99.99.99"));
    EXPECT_FALSE(CompareVersions("1.0.0.0.9", "1.0.0.0")) << "a fifth field is not read";
}

TEST(CompareVersions, NeverReadsPastTheEndAndTreatsMissingFieldsAsZero)
{
    for (const char* text : {"", "1", "1.", "1.2", "1.2.3", "1.2.3.", "..", "1..2"}) {
        GuardedText edge(text);
        SCOPED_TRACE(text);
        CompareVersions(edge.c_str(), "1.2.3.4");
        CompareVersions("1.2.3.4", edge.c_str());
    }
    EXPECT_FALSE(CompareVersions(GuardedText("1.2").c_str(), GuardedText("1.2.0.0").c_str()));
    EXPECT_TRUE(CompareVersions(GuardedText("1.2").c_str(), GuardedText("1.2.0.1").c_str()));
    EXPECT_FALSE(CompareVersions(nullptr, ""));
}

TEST(CompareVersions, FieldsBeyond32BitsReadAsTheMaximum)
{
    EXPECT_FALSE(CompareVersions("99999999999.0.0.0", "4294967295.0.0.0"));
    EXPECT_FALSE(CompareVersions("4294967295.0.0.0", "99999999999.0.0.0"));
    EXPECT_TRUE(CompareVersions("4294967294.0.0.0", "99999999999.0.0.0"));
}

TEST(CompareVersions, IsAStrictOrderOnFourFieldVersions)
{
    std::mt19937 random(20261208);
    std::uniform_int_distribution<unsigned> field(0, 3);
    auto make = [&] {
        return std::to_string(field(random)) + "." + std::to_string(field(random)) + "." +
               std::to_string(field(random)) + "." + std::to_string(field(random));
    };
    for (int i = 0; i < 2000; ++i) {
        std::string a = make(), b = make(), c = make();
        EXPECT_FALSE(CompareVersions(a.c_str(), a.c_str())) << a;
        EXPECT_FALSE(CompareVersions(a.c_str(), b.c_str()) && CompareVersions(b.c_str(), a.c_str()));
        if (CompareVersions(a.c_str(), b.c_str()) && CompareVersions(b.c_str(), c.c_str())) {
            EXPECT_TRUE(CompareVersions(a.c_str(), c.c_str())) << a << " " << b << " " << c;
        }
        if (a != b) {
            EXPECT_TRUE(CompareVersions(a.c_str(), b.c_str()) || CompareVersions(b.c_str(), a.c_str()));
        }
    }
}

class Decision : public testing::Test {
protected:
    void SetUp() override
    {
        DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey);
        run.installedVersion = "1.0.0.5";
    }
    void TearDown() override { DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey); }

    bool Evaluate(const std::string& manifest)
    {
        std::string path = folder.Write("VLNRUpdate" + std::to_string(++count) + ".ini", manifest);
        capture.Clear();
        force = -1;
        urls.clear();
        info = "stale";
        std::optional<UpdateManifest> accepted = AcceptManifest(path, "/m.ini", {});
        EXPECT_FALSE(FileExists(path)) << "the manifest is deleted whatever the outcome";
        EXPECT_TRUE(accepted) << "a module without a key takes any manifest it can read";
        return accepted && EvaluateManifest(context, *accepted, run, force, urls, info);
    }
    void RecordPending(const std::string& version, DWORD silent)
    {
        WriteRegDword(HKEY_CURRENT_USER, kUpdateKey, "HasUpdate", 1);
        WriteRegString(HKEY_CURRENT_USER, kUpdateKey, "UpdateVersion", version);
        WriteRegDword(HKEY_CURRENT_USER, kUpdateKey, "Silent", silent);
    }

    TempFolder folder;
    DebugCapture capture;
    ModuleContext context;
    RunParameters run;
    int force = -1;
    std::vector<std::string> urls;
    std::string info;
    int count = 0;
};

const char kOnePacket[] =
    "[Full]\r\nInfo=Fixes\r\nVer=1.0.0.6\r\nPacketCount=1\r\nFileCount=1\r\nFile0=http://full/0\r\n"
    "[Packet0]\r\nmin=1.0.0.0\r\nmax=1.0.0.6\r\nforce=1\r\nsilent=0\r\nFileCount=1\r\n"
    "File0=http://p0/0\r\n";

TEST_F(Decision, OffersTheNewerVersionWithTheApplyingPacket)
{
    EXPECT_TRUE(Evaluate(kOnePacket));
    EXPECT_EQ(force, 1);
    EXPECT_EQ(run.silentUpdate, 0);
    EXPECT_EQ(run.offeredVersion, "1.0.0.6");
    EXPECT_THAT(urls, ElementsAre("http://p0/0"));
    EXPECT_EQ(info, "Fixes");
    EXPECT_THAT(capture.Texts(),
                ElementsAre("Open \\\\HKEY_CURRENT_USER\\Software\\Velnor\\Update Failed",
                            "strRegVersion= lpLocalVersion=1.0.0.5 szVersion=1.0.0.6 hasRegVersion=0",
                            "Start Downloading"));
}

TEST_F(Decision, NothingNewerIsNoUpdate)
{
    run.installedVersion = "1.0.0.6";
    EXPECT_FALSE(Evaluate(kOnePacket));
    EXPECT_THAT(urls, IsEmpty());
    EXPECT_EQ(force, 0);
    EXPECT_EQ(run.offeredVersion, "");
    EXPECT_EQ(info, "Fixes");

    EXPECT_FALSE(Evaluate("")) << "an empty manifest offers version 0.0.0.0";
    EXPECT_FALSE(Evaluate(std::string("\x00\xFF\xFE garbage \x01\x02", 14)));
}

TEST_F(Decision, TheRecordedVersionOfAFetchedPackageIsTheBase)
{
    WriteRegString(HKEY_CURRENT_USER, kUpdateKey, "UpdateVersion", "1.0.0.6");
    EXPECT_FALSE(Evaluate(kOnePacket));
    EXPECT_THAT(capture.Texts(),
                ElementsAre("Open \\\\HKEY_CURRENT_USER\\Software\\Velnor\\Update Succed",
                            "QueryValue UpdateVersion Succed",
                            "strRegVersion=1.0.0.6 lpLocalVersion=1.0.0.5 szVersion=1.0.0.6 hasRegVersion=1"));

    DeleteRegValue(HKEY_CURRENT_USER, kUpdateKey, "UpdateVersion");
    EXPECT_TRUE(Evaluate(kOnePacket));
    EXPECT_THAT(capture.Texts(),
                ElementsAre("Open \\\\HKEY_CURRENT_USER\\Software\\Velnor\\Update Succed",
                            "QueryValue UpdateVersion Failed",
                            "strRegVersion= lpLocalVersion=1.0.0.5 szVersion=1.0.0.6 hasRegVersion=0",
                            "Start Downloading"));
}

TEST_F(Decision, APacketAppliesFromItsMinUpToButNotIncludingItsMax)
{
    const std::string manifest =
        "[Full]\r\nVer=9.0.0.0\r\nPacketCount=3\r\n"
        "[Packet0]\r\nmin=1.0.0.0\r\nFileCount=1\r\nFile0=http://nomax\r\n"
        "[Packet1]\r\nmin=1.0.0.5\r\nmax=1.0.0.7\r\nFileCount=1\r\nFile0=http://first\r\n"
        "[Packet2]\r\nmin=1.0.0.0\r\nmax=2.0.0.0\r\nFileCount=1\r\nFile0=http://second\r\n";
    run.installedVersion = "1.0.0.5";
    EXPECT_TRUE(Evaluate(manifest));
    EXPECT_THAT(urls, ElementsAre("http://first")) << "equal to min applies; the first wins";

    run.installedVersion = "1.0.0.7";
    EXPECT_TRUE(Evaluate(manifest));
    EXPECT_THAT(urls, ElementsAre("http://second")) << "equal to max does not apply";
}

TEST_F(Decision, TheFullListIsTheFallbackOutsideTestMode)
{
    const std::string emptyPacket =
        "[Full]\r\nVer=1.0.0.6\r\nPacketCount=1\r\nFileCount=2\r\nFile0=\r\nFile1=http://full/1\r\n"
        "[Packet0]\r\nmin=1.0.0.0\r\nmax=2.0.0.0\r\nforce=1\r\nsilent=1\r\nFileCount=2\r\nFile0=\r\n";
    EXPECT_TRUE(Evaluate(emptyPacket));
    EXPECT_THAT(urls, ElementsAre("http://full/1"));
    EXPECT_EQ(force, 1) << "the packet applied, without URLs of its own";

    run.testMode = 1;
    EXPECT_FALSE(Evaluate(emptyPacket));

    run.testMode = 0;
    run.silentUpdate = 7;
    EXPECT_TRUE(Evaluate("[Full]\r\nVer=1.0.0.6\r\nPacketCount=1\r\nFileCount=1\r\nFile0=http://full/0\r\n"
                         "[Packet0]\r\nmin=3.0.0.0\r\nmax=4.0.0.0\r\n"));
    EXPECT_THAT(urls, ElementsAre("http://full/0"));
    EXPECT_EQ(force, 0);
    EXPECT_EQ(run.silentUpdate, 7) << "no packet applied: the field keeps its value";
}

TEST_F(Decision, TestModeGoesOnWithoutANewerVersionButNotToAPendingOffer)
{
    run.testMode = 1;
    run.installedVersion = "1.0.0.6";
    const std::string manifest =
        "[Full]\r\nVer=1.0.0.6\r\nPacketCount=1\r\n"
        "[Packet0]\r\nmin=1.0.0.0\r\nmax=2.0.0.0\r\nsilent=1\r\nFileCount=1\r\nFile0=http://t/0\r\n";
    EXPECT_TRUE(Evaluate(manifest));
    EXPECT_EQ(run.offeredVersion, "1.0.0.6");

    RecordPending("1.0.0.6", 1);
    EXPECT_FALSE(Evaluate(manifest)) << "the same offer in the same silent mode is pending";

    RecordPending("1.0.0.6", 0);
    EXPECT_TRUE(Evaluate(manifest)) << "pending, but not silent";
}

TEST_F(Decision, CountsThatAreNegativeOrHugeCostOnlyTheEntriesThatExist)
{
    EXPECT_FALSE(Evaluate("[Full]\r\nVer=1.0.0.6\r\nPacketCount=-1\r\nFileCount=-3\r\nFile0=http://x\r\n"
                          "[Packet0]\r\nmin=1.0.0.0\r\nmax=2.0.0.0\r\nFileCount=1\r\nFile0=http://p\r\n"));

    DWORD start = GetTickCount();
    EXPECT_TRUE(Evaluate("[Full]\r\nVer=1.0.0.6\r\nPacketCount=2147483647\r\n"
                         "[Packet7]\r\nmin=1.0.0.0\r\nmax=2.0.0.0\r\nFileCount=2147483647\r\n"
                         "File3=http://p/3\r\nFile1=http://p/1\r\nfile02=http://not-an-index\r\n"));
    EXPECT_THAT(urls, ElementsAre("http://p/1", "http://p/3"));
    EXPECT_LT(GetTickCount() - start, 10000u) << "no loop over two billion sections";
}

TEST_F(Decision, SectionAndKeyNamesAreCaseInsensitive)
{
    EXPECT_TRUE(Evaluate("[full]\r\nver=1.0.0.6\r\npacketcount=1\r\n"
                         "[PACKET0]\r\nMIN=1.0.0.0\r\nMAX=2.0.0.0\r\nFILECOUNT=1\r\nFILE0=http://p/0\r\n"));
    EXPECT_THAT(urls, ElementsAre("http://p/0"));
}

// Valid manifests with lines dropped, replaced, added and bytes scribbled
// on: the decision never crashes, always deletes the file, and offers an
// update only with URLs.
TEST_F(Decision, MutatedManifestsNeverBreakTheDecision)
{
    const std::vector<std::string> valid = {
        "[Full]", "Ver=1.0.0.6", "PacketCount=2", "FileCount=1", "File0=http://full/0",
        "[Packet0]", "min=1.0.0.0", "max=1.0.0.6", "force=1", "silent=0", "FileCount=2",
        "File0=http://p0/0", "File1=http://p0/1",
        "[Packet1]", "min=0.0.0.0", "max=9.0.0.0", "FileCount=1", "File0=http://p1/0"};
    const std::vector<std::string> noise = {
        "[Full]", "[FULL]", "[Packet0]", "[Packet2147483647]", "[Packet-1]", "Ver=", "Ver=..",
        "Ver=99999999999.1", "Ver=1.0.0.6.7.8", "PacketCount=-1", "PacketCount=2147483647",
        "PacketCount=x", "FileCount=-7", "FileCount=4294967296", "File1=", "File2147483646=http://u/far",
        "min=", "max=1.0.0.5", "silent=-3", "=", "[", "]", "; comment", std::string(3000, 'x'),
        std::string("\xFF\xFE\x00\x01", 4)};
    std::mt19937 random(8121206);
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
    int offers = 0, runs = 400 * LongRunFactor();
    for (int i = 0; i < runs; ++i) {
        std::vector<std::string> lines = valid;
        for (size_t edits = pick(4); edits > 0; --edits) {
            size_t at = pick(lines.size());
            switch (pick(3)) {
            case 0: lines.erase(lines.begin() + static_cast<long>(at)); break;
            case 1: lines[at] = noise[pick(noise.size())]; break;
            default: lines.insert(lines.begin() + static_cast<long>(at), noise[pick(noise.size())]);
            }
        }
        std::string manifest;
        for (const std::string& line : lines)
            manifest += line + "\r\n";
        for (size_t flips = pick(3) / 2; flips > 0; --flips)
            manifest[pick(manifest.size())] = static_cast<char>(pick(256));
        run.testMode = static_cast<int>(pick(2));
        bool offered = Evaluate(manifest);  // asserts the file is gone
        if (offered) {
            ++offers;
            EXPECT_FALSE(urls.empty()) << manifest;
            for (const std::string& url : urls)
                EXPECT_FALSE(url.empty()) << manifest;
        }
    }
    std::printf("%d mutated manifests, %d offered an update\n", runs, offers);
}

TEST(RolloutRules, ShareWithdrawnListAndPlaces)
{
    struct {
        const char* text;
        std::optional<unsigned> share;
    } shares[] = {{"0", 0u}, {"25", 25u}, {"100", 100u}, {"10%", std::nullopt}, {"-1", std::nullopt},
                  {"101", std::nullopt}, {"ten", std::nullopt}, {"", std::nullopt}, {" 5", std::nullopt}};
    for (const auto& c : shares)
        EXPECT_EQ(RolloutShare(c.text), c.share) << "'" << c.text << "'";

    EXPECT_THAT(WithdrawnVersions("1.0.0.6, 1.0.0.7 ,1.0.0.8"), ElementsAre("1.0.0.6", "1.0.0.7", "1.0.0.8"));
    EXPECT_THAT(WithdrawnVersions(" , ,"), IsEmpty());

    // A thousand installations: about a quarter take a 25% rollout, and the
    // first quarter of one version is not the first quarter of the next.
    std::mt19937_64 draws(20261209);
    int first = 0, both = 0;
    for (int i = 0; i < 1000; ++i) {
        std::uint64_t draw = draws();
        bool inSix = RolloutPlace(draw, "1.0.0.6") < 25;
        first += inSix;
        both += inSix && RolloutPlace(draw, "1.0.0.7") < 25;
    }
    EXPECT_GE(first, 220);
    EXPECT_LE(first, 280);
    EXPECT_LT(both, first / 2);
}

const char kRolloutDraw[] = "0123456789abcdef";

std::string WithFull(const std::string& lines, const std::string& version = "1.0.0.6")
{
    return "[Full]\r\nVer=" + version + "\r\n" + lines + "PacketCount=1\r\n"
           "[Packet0]\r\nmin=1.0.0.0\r\nmax=2.0.0.0\r\nFileCount=1\r\nFile0=http://p0/0\r\n";
}

TEST_F(Decision, ARolloutHoldsBackInstallationsAtOrAboveItsShare)
{
    unsigned place = RolloutPlace(0x0123456789abcdefull, "1.0.0.6");
    std::string p = std::to_string(place);
    std::string heldAt = "Update held back: rollout " + p + "%, place " + p;
    struct Case {
        std::string lines;
        bool testMode;
        bool offered;
        std::string trace;  // the last trace line
    } cases[] = {
        {"Rollout=" + p + "\r\n", false, false, heldAt},
        {"Rollout=" + std::to_string(place + 1) + "\r\n", false, true, "Start Downloading"},
        {"Rollout=0\r\n", false, false, "Update held back: rollout 0%, place " + p},
        {"Rollout=100\r\n", false, true, "Start Downloading"},
        {"Rollout=10%\r\n", false, false, "Update held back: rollout '10%' unreadable, place " + p},
        {"Rollout=\r\n", false, false, "Update held back: rollout '' unreadable, place " + p},
        {"Rollout=0\r\n", true, true, "Start Downloading"},
    };
    for (const Case& c : cases) {
        WriteRegString(HKEY_CURRENT_USER, kUpdateKey, "RolloutDraw", kRolloutDraw);
        run = {};
        run.installedVersion = "1.0.0.5";
        run.testMode = c.testMode;
        EXPECT_EQ(Evaluate(WithFull(c.lines)), c.offered) << c.lines;
        EXPECT_EQ(urls.empty(), !c.offered) << c.lines;
        EXPECT_EQ(run.offeredVersion, c.offered ? "1.0.0.6" : "") << c.lines;
        ASSERT_FALSE(capture.Texts().empty());
        EXPECT_EQ(capture.Texts().back(), c.trace) << c.lines;
    }

    // Without Rollout nothing is drawn; with one, the draw is made once and kept.
    DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey);
    run.testMode = 0;
    EXPECT_TRUE(Evaluate(WithFull("")));
    EXPECT_FALSE(ReadRegValue(HKEY_CURRENT_USER, kUpdateKey, "RolloutDraw"));
    Evaluate(WithFull("Rollout=50\r\n"));
    auto drawn = ReadRegValue(HKEY_CURRENT_USER, kUpdateKey, "RolloutDraw");
    ASSERT_TRUE(drawn);
    EXPECT_EQ(drawn->text().size(), 16u);
    std::vector<std::string> held = capture.Texts();
    Evaluate(WithFull("Rollout=50\r\n"));
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kUpdateKey, "RolloutDraw")->text(), drawn->text());
    EXPECT_EQ(capture.Texts(), held) << "the same place in every run";
}

TEST_F(Decision, AWithdrawnPendingUpdateIsTakenBackBeforeTheDecision)
{
    context.userDataDirectory = folder.path();
    std::string own = folder / "VLNRUpdate\\VLNRUpdate.exe";
    std::string elsewhere = folder / "elsewhere.exe";
    struct Case {
        const char* name;
        std::string withdrawn;
        DWORD hasUpdate;
        std::string path;
        bool testMode;
        bool heldOpen;
        bool taken;             // the record is gone
        const char* trace;      // the withdrawal's trace line, if any
    } cases[] = {
        {"withdrawn", "1.0.0.4, 1.0.0.6", 1, own, false, false, true, "Update 1.0.0.6 withdrawn"},
        {"another version", "1.0.0.4,1.0.0.7", 1, own, false, false, false, nullptr},
        {"a copy elsewhere", "1.0.0.6", 1, elsewhere, false, false, true, "Update 1.0.0.6 withdrawn"},
        {"a copy in use", "1.0.0.6", 1, own, false, true, true,
         "Update 1.0.0.6 withdrawn; its copy could not be deleted"},
        {"no pending update", "1.0.0.6", 0, own, false, false, false, nullptr},
        {"test mode", "1.0.0.6", 1, own, true, false, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey);
        folder.Write("VLNRUpdate\\VLNRUpdate.exe", "pending");
        folder.Write("elsewhere.exe", "pending");
        WriteRegDword(HKEY_CURRENT_USER, kUpdateKey, "HasUpdate", c.hasUpdate);
        WriteRegString(HKEY_CURRENT_USER, kUpdateKey, "UpdateVersion", "1.0.0.6");
        WriteRegString(HKEY_CURRENT_USER, kUpdateKey, "UpdatePath", c.path);
        WriteRegDword(HKEY_CURRENT_USER, kUpdateKey, "force", 0);
        WriteRegDword(HKEY_CURRENT_USER, kUpdateKey, "Silent", 1);
        framework::FileHandle inUse;
        if (c.heldOpen)
            inUse.reset(CreateFileA(own.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        run = {};
        run.installedVersion = "1.0.0.5";
        run.testMode = c.testMode;

        // The newer offer of the same manifest is decided as if nothing
        // had been recorded, in the same run.
        EXPECT_TRUE(Evaluate(WithFull("Withdrawn=" + c.withdrawn + "\r\n", "1.0.0.7")));
        EXPECT_THAT(capture.Texts(), testing::Contains(std::string(c.taken ? "strRegVersion= " : "strRegVersion=1.0.0.6 ") +
                                                       "lpLocalVersion=1.0.0.5 szVersion=1.0.0.7 hasRegVersion=" +
                                                       (c.taken ? "0" : "1")));
        for (const char* name : {"HasUpdate", "UpdateVersion", "UpdatePath", "force", "Silent"})
            EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kUpdateKey, name).has_value(), !c.taken) << name;
        EXPECT_EQ(FileExists(own), !c.taken || c.path != own || c.heldOpen);
        EXPECT_TRUE(FileExists(elsewhere)) << "never a file the record names elsewhere";
        std::vector<std::string> traces = capture.Texts();
        EXPECT_EQ(std::count(traces.begin(), traces.end(), std::string(c.trace ? c.trace : "")),
                  c.trace ? 1 : 0);
    }
}

}  // namespace
