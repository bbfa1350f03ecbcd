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
#include "update_check/evaluate_manifest.h"
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
        return accepted && EvaluateManifest(*accepted, run, force, urls, info);
    }
    void RecordPending(const std::string& version, DWORD silent)
    {
        WriteRegDword(HKEY_CURRENT_USER, kUpdateKey, "HasUpdate", 1);
        WriteRegString(HKEY_CURRENT_USER, kUpdateKey, "UpdateVersion", version);
        WriteRegDword(HKEY_CURRENT_USER, kUpdateKey, "Silent", silent);
    }

    TempFolder folder;
    DebugCapture capture;
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

}  // namespace
