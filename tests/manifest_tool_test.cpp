// The publisher's manifest tool against the module itself: what it explains
// must be what EvaluateManifest decides on the real registry, and every trap
// must be reported in the section and key it is in.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "entry/test_version.h"
#include "explain.h"
#include "framework/debug_output.h"
#include "manifest_check.h"
#include "manifest_input.h"
#include "report.h"
#include "signing/manifest_signature.h"
#include "startup/module_context.h"
#include "support/debug_capture.h"
#include "support/process.h"
#include "support/registry.h"
#include "support/temp_folder.h"
#include "tool_error.h"
#include "signing/manifest_trust.h"
#include "update_check/evaluate_manifest.h"
#include "update_check/manifest_location.h"
#include "update_check/rollout.h"

using testing::ElementsAre;
using testing::HasSubstr;

namespace {

const char kUpdateKey[] = "Software\\Velnor\\Update";

std::string Fixture(const std::string& name) { return ProgramFolder() + "\\signing\\" + name; }

std::string Hex(const std::optional<framework::Sha256Digest>& digest)
{
    std::string text;
    if (digest)
        for (unsigned char byte : *digest)
            text += "0123456789abcdef"[byte >> 4], text += "0123456789abcdef"[byte & 15];
    return text;
}

// Random manifests over a few versions, so that ranges meet, overlap and
// leave gaps, with the defaults and odd texts the module must read alike.
class ManifestMaker {
public:
    explicit ManifestMaker(unsigned seed) : random_(seed) {}

    std::string Version()
    {
        static const char* versions[] = {"1.0.0.0", "1.5.0.0", "2.0.0.0", "2.0.0.1", "2.3.0.0",
                                         "2.3.0.17", "2.4.0.3", "3.0.0.0", "2.3",  "0.9.0.0"};
        return versions[Pick(10)];
    }
    std::string Manifest()
    {
        int packets = static_cast<int>(Pick(5));
        std::string text = "[Full]\r\nInfo=Info " + std::to_string(Pick(100)) + "\r\n";
        if (Pick(8))
            text += "Ver=" + Version() + "\r\n";
        text += "PacketCount=" + std::to_string(Pick(4) ? packets : packets + 1) + "\r\n" + Files("full");
        for (int n = 0; n < packets; ++n) {
            text += "[Packet" + std::to_string(n) + "]\r\nmin=" + Version() + "\r\n";
            if (Pick(6))
                text += "max=" + Version() + "\r\n";
            text += "force=" + std::to_string(Pick(2)) + "\r\nsilent=" + std::to_string(Pick(2)) + "\r\n" +
                    Files("p" + std::to_string(n));
        }
        return text;
    }
    unsigned Pick(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(random_); }

private:
    std::string Files(const std::string& name)
    {
        unsigned count = Pick(3);
        std::string text = "FileCount=" + std::to_string(count) + "\r\n";
        for (unsigned i = 0; i < count; ++i)
            text += "File" + std::to_string(i) + "=" + (Pick(5) ? Scheme() + "h/" + name + "/" + std::to_string(i) : "") + "\r\n";
        if (Pick(3) == 0)
            text += "sha256=" + std::string(64, "0a"[Pick(2)]) + "\r\nsize=" + std::to_string(Pick(9) + 1) + "\r\n";
        else if (Pick(8) == 0)
            text += "sha256=not hex\r\n";
        return text;
    }
    // Mostly plain http; https is fetched too, the others never.
    std::string Scheme()
    {
        static const char* schemes[] = {"https://", "ftp://", "http:/"};
        return Pick(6) ? "http://" : schemes[Pick(3)];
    }
    std::mt19937 random_;
};

class ManifestTool : public testing::Test {
protected:
    void SetUp() override { DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey); }
    void TearDown() override { DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey); }

    std::string Write(const std::string& text) { return folder.Write("m" + std::to_string(++count) + ".ini", text); }

    // The module's own evaluation, on the real registry, as a run makes it.
    struct Evaluation {
        bool result;
        int force;
        std::vector<std::string> urls;
        std::string info;
        RunParameters run;
        std::vector<std::string> trace;
    };
    Evaluation Evaluate(const std::string& manifest, const Installation& installation)
    {
        DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey);
        if (installation.recorded) {
            WriteRegDword(HKEY_CURRENT_USER, kUpdateKey, "HasUpdate", installation.recordedHasUpdate);
            WriteRegString(HKEY_CURRENT_USER, kUpdateKey, "UpdateVersion", *installation.recorded);
            WriteRegDword(HKEY_CURRENT_USER, kUpdateKey, "Silent", installation.recordedSilent);
        }
        if (installation.draw)
            StoreInstallationDraw(*installation.draw);
        Evaluation e{};
        e.run.installedVersion = installation.installed;
        e.run.testMode = installation.testMode;
        if (capture)
            Drain();
        std::optional<UpdateManifest> accepted = AcceptManifest(Write(manifest), "/m.ini", {});
        e.result = accepted &&
                   EvaluateManifest(ModuleContext{}, *accepted, e.run, e.force, e.urls, e.info);
        if (capture)
            e.trace = capture->Texts();
        return e;
    }

    // Clears the capture once every line written so far has arrived: the
    // listener takes a line after its writer has gone on.
    void Drain()
    {
        framework::DebugOutput("manifest_tool_test: drained");
        for (int i = 0; i < 5000; ++i) {
            std::vector<std::string> texts = capture->Texts();
            if (!texts.empty() && texts.back() == "manifest_tool_test: drained")
                break;
            Sleep(1);
        }
        capture->Clear();
    }

    void ExpectAgreement(const std::string& manifest, const Installation& installation)
    {
        if (!capture)
            capture.emplace();  // only where the trace lines are compared: it slows every line
        Explanation told = Explain(LoadManifest(Write(manifest)), installation);
        Evaluation made = Evaluate(manifest, installation);
        EXPECT_EQ(told.result, made.result);
        EXPECT_EQ(told.force, made.force);
        EXPECT_EQ(told.urls, made.urls);
        EXPECT_EQ(told.info, made.info);
        EXPECT_EQ(told.offeredVersion, made.run.offeredVersion);
        EXPECT_EQ(told.silent, made.run.silentUpdate);
        EXPECT_EQ(Hex(told.pin.digest), Hex(made.run.packagePin.digest));
        EXPECT_EQ(told.pin.size, made.run.packagePin.size);
        EXPECT_EQ(told.trace, made.trace);
        // The offer before the repeat check is what the module fetches, unless it is pending.
        if (!told.alreadyPending && !told.heldBack) {
            EXPECT_EQ(told.offer.offered, made.result);
            EXPECT_EQ(told.offer.urls, made.urls);
        }
        EXPECT_EQ(told.alreadyPending, installation.recorded && installation.recordedHasUpdate &&
                                           !told.heldBack && told.offer.offered && !made.result);
    }

    TempFolder folder;
    std::optional<DebugCapture> capture;
    int count = 0;
};

TEST_F(ManifestTool, ExplainsWhatTheModuleDecidesOnEveryGeneratedManifest)
{
    ManifestMaker maker(20261208);
    for (int i = 0; i < 200; ++i) {
        std::string manifest = maker.Manifest();
        Installation installation;
        installation.installed = maker.Version();
        if (maker.Pick(3) == 0) {
            installation.recorded = maker.Version();
            installation.recordedSilent = static_cast<int>(maker.Pick(2));
            installation.recordedHasUpdate = maker.Pick(4) ? 1 : 0;
        }
        installation.testMode = maker.Pick(4) == 0;
        SCOPED_TRACE(manifest + "installed " + installation.installed + " recorded " +
                     installation.recorded.value_or("none") + " HasUpdate " +
                     std::to_string(installation.recordedHasUpdate) + (installation.testMode ? " test" : ""));
        ExpectAgreement(manifest, installation);
        if (HasFailure())
            return;
    }
}

// The same, with staged rollouts and withdrawals: random shares (some of
// them unreadable), withdrawal lists that often hold the recorded version,
// and installations with their own draws.
TEST_F(ManifestTool, ExplainsRolloutsAndWithdrawalsAsTheModuleDecides)
{
    ManifestMaker maker(20261209);
    std::mt19937_64 draws(42);
    const char* shares[] = {"0", "1", "25", "50", "99", "100", "10%", "", "-1"};
    int held = 0, withdrawn = 0;
    for (int i = 0; i < 120; ++i) {
        Installation installation;
        installation.installed = maker.Version();
        if (maker.Pick(2) == 0)
            installation.recorded = maker.Version();
        installation.testMode = maker.Pick(6) == 0;
        installation.draw = draws();
        std::string keys;
        if (maker.Pick(4))
            keys += "Rollout=" + std::string(shares[maker.Pick(9)]) + "\r\n";
        if (maker.Pick(2))
            keys += "Withdrawn=" + maker.Version() + " , " +
                    (installation.recorded && maker.Pick(2) ? *installation.recorded : maker.Version()) + "\r\n";
        std::string manifest = maker.Manifest();
        manifest.insert(std::string("[Full]\r\n").size(), keys);
        SCOPED_TRACE(manifest + "installed " + installation.installed + " recorded " +
                     installation.recorded.value_or("none") + (installation.testMode ? " test" : ""));
        ExpectAgreement(manifest, installation);
        Explanation told = Explain(LoadManifest(Write(manifest)), installation);
        held += told.heldBack;
        withdrawn += told.withdrawn;
        if (HasFailure())
            return;
    }
    EXPECT_GT(held, 5) << "the cases reach the rollout";
    EXPECT_GT(withdrawn, 5) << "the cases reach the withdrawal";
}

// Every range of the coverage table gets, at any version in it, what the
// module decides for that version.
TEST_F(ManifestTool, CoverageRowsHoldForEveryVersionInTheirRange)
{
    ManifestMaker maker(7);
    for (int i = 0; i < 60; ++i) {
        std::string manifest = maker.Manifest();
        std::string path = Write(manifest);
        UpdateManifest read = ReadUpdateManifest(path);
        bool test = maker.Pick(4) == 0;
        std::vector<CoverageRow> rows = Coverage(Boundaries(read), read, test, false);
        for (const CoverageRow& row : rows) {
            // Its first, its last and the tried version lie in the range.
            std::vector<std::string> inside{row.tried, VersionText(row.from)};
            if (row.to) {
                VersionFields last = *row.to;
                for (int f = 3; f >= 0 && last[f]-- == 0; --f) {
                }
                inside.push_back(VersionText(last));
            }
            for (const std::string& version : inside) {
                SCOPED_TRACE(manifest + "installed " + version);
                Installation installation{version, std::nullopt, 0, test, {}, std::nullopt, std::nullopt};
                Evaluation made = Evaluate(manifest, installation);
                EXPECT_EQ(row.offer.offered, made.result);
                EXPECT_EQ(row.offer.urls, made.urls);
                if (made.result) {
                    EXPECT_EQ(row.offer.force, made.force);
                    EXPECT_EQ(row.offer.silent, made.run.silentUpdate);
                }
            }
        }
        if (HasFailure())
            return;
    }
}

TEST_F(ManifestTool, CoverageOfTheGuidesExampleNamesEachRangesPacket)
{
    std::string path = ProgramFolder() + "\\demo_all.ini";
    UpdateManifest read = ReadUpdateManifest(path);
    std::vector<CoverageRow> rows = Coverage(Boundaries(read), read, false, false);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].tried, "1.4294967295.4294967295.4294967295");
    EXPECT_EQ(DescribeOffer(rows[0].offer, false), "[Full] list, 1 URL, force 0, silent 1");
    EXPECT_EQ(DescribeOffer(rows[1].offer, false), "[Packet1], 1 URL, force 1, silent 0");
    EXPECT_EQ(DescribeOffer(rows[2].offer, false), "[Packet0], 2 URLs, force 0, silent 1");
    EXPECT_EQ(VersionText(rows[3].from), "2.4.0.3");
    EXPECT_EQ(DescribeOffer(rows[3].offer, false), "nothing: up to date");
    EXPECT_FALSE(rows[3].to);
}

std::string Describe(const std::vector<Finding>& findings)
{
    return CheckText("manifest", findings);
}

bool Reports(const std::vector<Finding>& findings, Severity severity, const std::string& section,
             const std::string& key)
{
    for (const Finding& f : findings)
        if (f.severity == severity && f.section == section && f.key == key)
            return true;
    return false;
}

struct Trap {
    const char* name;
    std::string manifest;
    Severity severity;
    const char* section;
    const char* key;
};

Installation plain_installation() { return {"2.3.0.17", std::nullopt, 0, false, {}, std::nullopt, std::nullopt}; }

std::string Full(int packets)
{
    return "[Full]\r\nVer=2.4.0.3\r\nPacketCount=" + std::to_string(packets) +
           "\r\nFileCount=1\r\nFile0=http://h/full\r\n";
}
const std::string kFull = Full(2);
std::string Packet(int n, const std::string& body) { return "[Packet" + std::to_string(n) + "]\r\n" + body; }
const std::string kOneFile = "FileCount=1\r\nFile0=http://h/p\r\n";

TEST_F(ManifestTool, CheckReportsEachTrapInItsSectionAndKey)
{
    const Trap traps[] = {
        {"no max", kFull + Packet(0, "min=2.0.0.0\r\n" + kOneFile), Severity::Error, "Packet0", "max"},
        {"min not below max", kFull + Packet(0, "min=2.3.0.0\r\nmax=2.3.0.0\r\n" + kOneFile), Severity::Error, "Packet0", "min"},
        {"hidden by earlier", kFull + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\n" + kOneFile) + Packet(1, "min=2.1.0.0\r\nmax=2.2.0.0\r\n" + kOneFile), Severity::Error, "Packet1", ""},
        {"hidden by two", Full(3) + Packet(0, "min=2.0.0.0\r\nmax=2.2.0.0\r\n" + kOneFile) + Packet(1, "min=2.2.0.0\r\nmax=2.4.0.3\r\n" + kOneFile) + Packet(2, "min=2.1.0.0\r\nmax=2.3.0.0\r\n" + kOneFile), Severity::Error, "Packet2", ""},
        {"partly hidden", kFull + Packet(0, "min=2.0.0.0\r\nmax=2.2.0.0\r\n" + kOneFile) + Packet(1, "min=2.1.0.0\r\nmax=2.4.0.3\r\n" + kOneFile), Severity::Warning, "Packet1", "min"},
        {"applies without files", kFull + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\nFileCount=0\r\n"), Severity::Warning, "Packet0", "FileCount"},
        {"never newer", kFull + Packet(0, "min=2.4.0.3\r\nmax=2.5.0.0\r\n" + kOneFile), Severity::Error, "Packet0", "min"},
        {"max above Ver", kFull + Packet(0, "min=2.0.0.0\r\nmax=2.5.0.0\r\n" + kOneFile), Severity::Warning, "Packet0", "max"},
        {"max is exclusive", kFull + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.2\r\n" + kOneFile), Severity::Warning, "Packet0", "max"},
        {"File beyond FileCount", "[Full]\r\nVer=2.4.0.3\r\nFileCount=1\r\nFile0=http://h/a\r\nFile1=http://h/b\r\n", Severity::Error, "Full", "File1"},
        {"File name not read", "[Full]\r\nVer=2.4.0.3\r\nFileCount=2\r\nFile0=http://h/a\r\nFile01=http://h/b\r\n", Severity::Error, "Full", "File01"},
        {"FileCount above the Files", "[Full]\r\nVer=2.4.0.3\r\nFileCount=3\r\nFile0=http://h/a\r\n", Severity::Warning, "Full", "FileCount"},
        {"no Ver", "[Full]\r\nFileCount=1\r\nFile0=http://h/a\r\n", Severity::Error, "Full", "Ver"},
        {"Ver not four numbers", "[Full]\r\nVer=2.4\r\nFileCount=1\r\nFile0=http://h/a\r\n", Severity::Error, "Full", "Ver"},
        {"min not four numbers", kFull + Packet(0, "min=2.x\r\nmax=2.4.0.3\r\n" + kOneFile), Severity::Error, "Packet0", "min"},
        {"not http", kFull + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\nFileCount=1\r\nFile0=ftp://h/p\r\n"), Severity::Error, "Packet0", "File0"},
        {"packet beyond PacketCount", kFull + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\n" + kOneFile) + Packet(2, "min=1.0.0.0\r\nmax=2.0.0.0\r\n" + kOneFile), Severity::Error, "Packet2", ""},
        {"packets missing", kFull + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\n" + kOneFile), Severity::Warning, "Full", "PacketCount"},
        {"no [Full]", Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\n" + kOneFile), Severity::Error, "Full", ""},
        {"bad sha256", kFull + "sha256=abc\r\nsize=10\r\n", Severity::Error, "Full", "sha256"},
        {"bad size", kFull + "sha256=" + std::string(64, 'a') + "\r\nsize=ten\r\n", Severity::Error, "Full", "size"},
        {"one URL pinned two ways", "[Full]\r\nVer=2.4.0.3\r\nPacketCount=1\r\nFileCount=1\r\nFile0=http://h/p\r\nsha256=" + std::string(64, 'a') + "\r\nsize=10\r\n" + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\nFileCount=1\r\nFile0=http://h/p\r\nsha256=" + std::string(64, 'b') + "\r\nsize=10\r\n"), Severity::Error, "Full", "sha256"},
        {"expired", kFull + "Expires=2020-01-01T00:00:00Z\r\n", Severity::Error, "Full", "Expires"},
        {"unreadable Expires", kFull + "Expires=next week\r\n", Severity::Error, "Full", "Expires"},
        {"unreadable Serial", kFull + "Serial=7a\r\n", Severity::Error, "Full", "Serial"},
        {"offered to nobody", "[Full]\r\nVer=2.4.0.3\r\nPacketCount=0\r\nFileCount=0\r\n", Severity::Error, "Full", "Ver"},
        {"Rollout no percentage", kFull + "Rollout=10%\r\n", Severity::Error, "Full", "Rollout"},
        {"Rollout above 100", kFull + "Rollout=101\r\n", Severity::Error, "Full", "Rollout"},
        {"Rollout 0", kFull + "Rollout=0\r\n", Severity::Warning, "Full", "Rollout"},
        {"Rollout unknown to older modules", kFull + "Rollout=25\r\n", Severity::Note, "Full", "Rollout"},
        {"Ver withdrawn", kFull + "Withdrawn=2.4.0.2, 2.4.0.3\r\n", Severity::Error, "Full", "Withdrawn"},
        {"Withdrawn not four numbers", kFull + "Withdrawn=2.4.0.x\r\n", Severity::Warning, "Full", "Withdrawn"},
        {"nothing below the lowest packet", "[Full]\r\nVer=2.4.0.3\r\nPacketCount=1\r\n" + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\n" + kOneFile), Severity::Warning, "Full", ""},
        {"nothing between packets", "[Full]\r\nVer=2.4.0.3\r\nPacketCount=2\r\n" + Packet(0, "min=0.0.0.0\r\nmax=2.0.0.0\r\n" + kOneFile) + Packet(1, "min=2.2.0.0\r\nmax=2.4.0.3\r\n" + kOneFile), Severity::Warning, "Full", ""},
        {"hidden by an earlier packet and Ver", "[Full]\r\nVer=2.4.0.0\r\nPacketCount=2\r\n" + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.0\r\n" + kOneFile) + Packet(1, "min=2.3.0.0\r\nmax=2.6.0.0\r\n" + kOneFile), Severity::Error, "Packet1", ""},
        {"section twice", kFull + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\n" + kOneFile) + Packet(0, "min=1.0.0.0\r\n"), Severity::Warning, "Packet0", ""},
        {"key twice", kFull + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\nmax=2.5.0.0\r\n" + kOneFile), Severity::Warning, "Packet0", "max"},
        {"near miss of FileCount", kFull + "Filecount0=2\r\n", Severity::Warning, "Full", "Filecount0"},
        {"near miss of max", kFull + Packet(0, "min=2.0.0.0\r\nMx=2.4.0.3\r\n" + kOneFile), Severity::Warning, "Packet0", "Mx"},
        {"unknown key", kFull + "Colour=blue\r\n", Severity::Note, "Full", "Colour"},
        {"hex count", "[Full]\r\nVer=2.4.0.3\r\nFileCount=0x2\r\nFile0=http://h/a\r\nFile1=http://h/b\r\n", Severity::Warning, "Full", "FileCount"},
        {"count beyond 32 bits", "[Full]\r\nVer=2.4.0.3\r\nFileCount=99999999999\r\nFile0=http://h/a\r\n", Severity::Warning, "Full", "FileCount"},
    };
    CheckOptions options;
    options.now = 1800000000;  // 2027-01-15
    for (const Trap& trap : traps) {
        std::vector<Finding> findings = CheckManifest(LoadManifest(Write(trap.manifest)), options);
        EXPECT_TRUE(Reports(findings, trap.severity, trap.section, trap.key))
            << trap.name << ": expected " << SeverityName(trap.severity) << " in [" << trap.section << "] "
            << trap.key << "\n" << Describe(findings);
    }
}

// The texts say what the module makes of the file, in its own terms.
TEST_F(ManifestTool, CheckSaysWhatTheModuleMakesOfEachTrap)
{
    struct {
        std::string manifest;
        const char* message;
    } cases[] = {
        {"[Full]\r\nVer=2.4\r\nFileCount=1\r\nFile0=http://h/a\r\n", "\"2.4\" is not written as four numbers a.b.c.d: the module takes it for 2.4.0.0"},
        {kFull + Packet(0, "min=\r\nmax=2.4.0.3\r\n" + kOneFile), "[Packet0] min: is empty: the module takes it for 0.0.0.0"},
        {kFull + Packet(0, "min=2.4.0.3\r\nmax=\r\n" + kOneFile), "(2.4.0.3 up to (empty: 0.0.0.0))"},
        {kFull + Packet(2, "max=2.0.0.0\r\n") + "[Packet01]\r\nmax=2.0.0.0\r\n", "without leading zeros (Packet1, not Packet01)"},
        {"[Full]\r\nVer=2.4.0.3\r\nFileCount=2\r\nFile0=http://h/a\r\nFile01=http://h/b\r\n", "(File1, not File01)"},
        {"[Full]\r\nVer=2.4.0.3\r\nFileCount=99999999999\r\nFile0=http://h/a\r\n", "the module reads it as 1215752191"},
        {"[Full]\r\nVer=2.4.0.3\r\nFileCount=0x2\r\nFile0=http://h/a\r\n", "\"0x2\" is no plain decimal number: the module reads it as"},
        {kFull + Packet(0, "min=2.0.0.0\r\nMx=2.4.0.3\r\n" + kOneFile), "is it max? The module reads max as missing"},
        {kFull + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\nmax=2.5.0.0\r\n" + kOneFile), "the module reads only the first, \"2.4.0.3\""},
        {"[Full]\r\nVer=2.4.0.3\r\nPacketCount=2\r\n" + Packet(0, "min=1.0.0.0\r\nmax=2.0.0.0\r\n" + kOneFile) + Packet(1, "min=2.2.0.0\r\nmax=2.3.0.0\r\n" + kOneFile),
         "installed versions below 1.0.0.0, 2.0.0.0 up to 2.2.0.0, 2.3.0.0 up to 2.4.0.3 get nothing: no packet applies and [Full] lists no file"},
    };
    EXPECT_THAT(DescribeOffer(Explain(LoadManifest(Write(kFull + "sha256=abc\r\n")), plain_installation()).offer, false),
                HasSubstr("unreadable, which every module since pinning refuses, keyed or not"));
    for (const auto& c : cases) {
        std::string found = Describe(CheckManifest(LoadManifest(Write(c.manifest)), {}));
        EXPECT_THAT(found, HasSubstr(c.message)) << c.manifest;
    }
}

// A test-channel manifest as test runs read it: every installed version
// takes the packets whatever Ver says, and there is no fallback.
TEST_F(ManifestTool, CheckInTestModeJudgesWhatTestRunsRead)
{
    auto packets = [](const std::string& full) {
        return "[Full]\r\nPacketCount=1\r\nChannel=/vlnr/testnet/test.ini\r\n" + full +
               Packet(0, "min=0.0.0.0\r\nmax=9.0.0.0\r\n" + kOneFile);
    };
    struct {
        std::string manifest;
        bool errorsInNormalMode;
        Severity severity;  // in test mode
        const char* section;
        const char* key;
    } cases[] = {
        {packets(""), true, Severity::Note, "Full", "Ver"},
        {packets("Ver=1000\r\n"), true, Severity::Note, "Full", "Ver"},
        {"[Full]\r\nVer=1.0.0.0\r\nFileCount=1\r\nFile0=http://h/a\r\n", false, Severity::Error, "Full", "Ver"},
        {packets("FileCount=1\r\nFile0=http://h/a\r\n"), true, Severity::Warning, "Full", "FileCount"},
        {"[Full]\r\nVer=1.0.0.0\r\nPacketCount=1\r\n" + Packet(0, "min=2.0.0.0\r\nmax=9.0.0.0\r\n" + kOneFile), true, Severity::Warning, "Full", ""},
    };
    for (const auto& c : cases) {
        ManifestInput input = LoadManifest(Write(c.manifest));
        CheckOptions normal, test;
        test.testMode = true;
        std::vector<Finding> inNormal = CheckManifest(input, normal), inTest = CheckManifest(input, test);
        auto hasError = [](const std::vector<Finding>& findings) {
            return std::any_of(findings.begin(), findings.end(), [](const Finding& f) { return f.severity == Severity::Error; });
        };
        EXPECT_EQ(hasError(inNormal), c.errorsInNormalMode) << c.manifest << Describe(inNormal);
        EXPECT_EQ(hasError(inTest), c.severity == Severity::Error) << c.manifest << Describe(inTest);
        EXPECT_TRUE(Reports(inTest, c.severity, c.section, c.key)) << c.manifest << Describe(inTest);
    }
}

// An unreadable pin: refused by modules with and without a key, which the
// check says along with what older modules do (docs/publishing.md, "Upgrade notes").
TEST_F(ManifestTool, CheckSaysWhoRefusesAnUnreadablePin)
{
    for (const std::string& pin : {std::string("sha256=abc\r\nsize=10\r\n"),
                                   "sha256=" + std::string(64, 'a') + "\r\nsize=ten\r\n"}) {
        std::vector<Finding> findings = CheckManifest(LoadManifest(Write(kFull + pin)), {});
        bool said = false;
        for (const Finding& f : findings)
            said = said || (f.severity == Severity::Error &&
                            f.message.find("keyed or not") != std::string::npos &&
                            f.message.find("older ones fetch it unchecked") != std::string::npos);
        EXPECT_TRUE(said) << Describe(findings);
    }
}

TEST_F(ManifestTool, CheckHoldsAManifestToTheOnePublishedBefore)
{
    CheckOptions options;
    options.now = 1800000000;
    std::string previous = kFull + "Serial=8\r\n" + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\n" + kOneFile);
    options.previous = ReadUpdateManifest(Write(previous));
    options.previousSerial = 8;
    auto check = [&](const std::string& manifest) { return CheckManifest(LoadManifest(Write(manifest)), options); };

    auto same = check(previous);
    EXPECT_TRUE(Reports(same, Severity::Error, "Full", "Serial")) << "a Serial must go up\n" << Describe(same);
    EXPECT_FALSE(Reports(same, Severity::Error, "Full", "Ver")) << "the same offers under the same Ver";

    auto newPackage = check(kFull + "Serial=9\r\n" + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\nFileCount=1\r\nFile0=http://h/new\r\n"));
    EXPECT_TRUE(Reports(newPackage, Severity::Error, "Full", "Ver")) << Describe(newPackage);
    EXPECT_FALSE(Reports(newPackage, Severity::Error, "Full", "Serial"));

    auto lower = check("[Full]\r\nVer=2.4.0.2\r\nSerial=9\r\nFileCount=1\r\nFile0=http://h/full\r\n");
    EXPECT_TRUE(Reports(lower, Severity::Error, "Full", "Ver")) << Describe(lower);

    auto raised = check("[Full]\r\nVer=2.4.0.4\r\nSerial=9\r\nFileCount=1\r\nFile0=http://h/full\r\n");
    EXPECT_FALSE(Reports(raised, Severity::Error, "Full", "Ver")) << Describe(raised);
}

TEST_F(ManifestTool, CheckWithTheKeyVerifiesSignatureAndPins)
{
    CheckOptions options;
    options.now = 1800000000;
    options.keys = {*PublicKeyFromPem(ReadFileBytes(Fixture("key-public.pem")))};
    auto findings = [&](const std::string& name) { return CheckManifest(LoadManifest(Fixture(name)), options); };

    for (const Finding& f : findings("run-signed.ini"))
        EXPECT_NE(f.severity, Severity::Error) << Describe(findings("run-signed.ini"));
    EXPECT_TRUE(Reports(findings("run.ini"), Severity::Error, "", "signature"));
    EXPECT_TRUE(Reports(findings("run-other-key.ini"), Severity::Error, "", "signature"));
    EXPECT_TRUE(Reports(findings("run-unpinned-signed.ini"), Severity::Error, "Packet0", "sha256"));
    EXPECT_TRUE(Reports(findings("run-expired-signed.ini"), Severity::Error, "Full", "Expires"));
    options.previousSerial = 6;
    EXPECT_TRUE(Reports(findings("run-signed.ini"), Severity::Error, "Full", "Serial"));

    options.keys.clear();
    options.previousSerial.reset();
    auto unkeyed = findings("run-unpinned.ini");
    EXPECT_TRUE(Reports(unkeyed, Severity::Note, "Packet0", "sha256")) << Describe(unkeyed);
    EXPECT_FALSE(Reports(unkeyed, Severity::Error, "", "signature"));
}

// What a keyed module refuses, the check with the key reports as an error
// in its section and key: no Channel, Expires or Serial, and what bears on
// trust given twice. Without the key a repeat is a warning.
TEST_F(ManifestTool, CheckWithTheKeyReportsWhatTiesAndDatesTheManifest)
{
    CheckOptions options;
    options.now = 1800000000;
    options.keys = {*PublicKeyFromPem(ReadFileBytes(Fixture("key-public.pem")))};
    struct Case {
        const char* fixture;
        const char* section;
        const char* key;
    };
    const Case cases[] = {
        {"run-no-channel-signed.ini", "Full", "Channel"},
        {"run-no-expires-signed.ini", "Full", "Expires"},
        {"run-no-serial-signed.ini", "Full", "Serial"},
        {"run-two-full-signed.ini", "Full", ""},
        {"run-two-serial-signed.ini", "Full", "Serial"},
        {"run-two-expires-signed.ini", "Full", "Expires"},
        {"run-two-channel-signed.ini", "Full", "Channel"},
        {"run-two-sha256-signed.ini", "Packet0", "sha256"},
        {"run-two-size-signed.ini", "Packet0", "size"},
        {"run-two-packet-signed.ini", "Packet0", ""},
    };
    for (const Case& c : cases) {
        std::vector<Finding> findings = CheckManifest(LoadManifest(Fixture(c.fixture)), options);
        EXPECT_TRUE(Reports(findings, Severity::Error, c.section, c.key))
            << c.fixture << ": expected an error in [" << c.section << "] " << c.key << "\n" << Describe(findings);
    }
    std::vector<Finding> good = CheckManifest(LoadManifest(Fixture("run-signed.ini")), options);
    EXPECT_TRUE(Reports(good, Severity::Note, "Full", "Channel")) << Describe(good);
    std::vector<Finding> bad = CheckManifest(LoadManifest(Write(kFull + "Channel=vlnr/demo/all/demo_all.ini\r\n")), options);
    EXPECT_TRUE(Reports(bad, Severity::Error, "Full", "Channel")) << Describe(bad);

    options.keys.clear();
    std::vector<Finding> unkeyed = CheckManifest(LoadManifest(Fixture("run-two-serial-signed.ini")), options);
    EXPECT_TRUE(Reports(unkeyed, Severity::Warning, "Full", "Serial")) << Describe(unkeyed);
    EXPECT_FALSE(Reports(CheckManifest(LoadManifest(Fixture("run-no-channel.ini")), options), Severity::Error,
                         "Full", "Channel"))
        << "only keyed modules need a Channel";
}

// A Channel that a run asks for is a note that says which runs; one that no
// run asks for (a path typed with ./, // or .., which servers and clients
// normalise) is a warning with the key, so that --strict refuses it.
TEST_F(ManifestTool, CheckWithTheKeyWarnsOfAChannelNoRunAsksFor)
{
    CheckOptions options;
    options.now = 1800000000;
    options.keys = {*PublicKeyFromPem(ReadFileBytes(Fixture("key-public.pem")))};
    struct Case {
        std::string channel;
        Severity severity;
        const char* says;
    };
    const Case cases[] = {
        {ChooseManifest(false, "", "acme").channel, Severity::Note, "the company \"acme\""},
        {ChooseManifest(false, "", "all").channel, Severity::Note, "the company \"all\""},
        {ChooseManifest(false, "", "a/all/b").channel, Severity::Note, "the company \"a/all/b\""},
        {ChooseManifest(true, "", "acme").channel, Severity::Note, "the test manifest"},
        {ChooseManifest(false, "http://h:8080/x/m.ini?v=2&p=../a//b", "acme").channel, Severity::Note, "URL switch"},
        {ChooseManifest(false, "http://h", "acme").channel, Severity::Note, "URL switch"},
        {"/vlnr/acme/all/", Severity::Note, "URL switch"},
        {"/./vlnr/acme/all/acme_all.ini", Severity::Warning, "no run asks for"},
        {"//vlnr/acme/all/acme_all.ini", Severity::Warning, "no run asks for"},
        {"/vlnr//acme/all/acme_all.ini", Severity::Warning, "no run asks for"},
        {"/vlnr/x/../acme/all/acme_all.ini", Severity::Warning, "no run asks for"},
        {"/../vlnr/acme/all/acme_all.ini", Severity::Warning, "no run asks for"},
        {"/vlnr/acme/all/.", Severity::Warning, "no run asks for"},
        {"/vlnr\\acme\\all\\acme_all.ini", Severity::Warning, "no run asks for"},
        {"vlnr/acme/all/acme_all.ini", Severity::Error, "not a manifest path"},
    };
    for (const Case& c : cases) {
        std::vector<Finding> findings = CheckManifest(LoadManifest(Write(kFull + "Channel=" + c.channel + "\r\n")), options);
        auto found = std::find_if(findings.begin(), findings.end(),
                                  [](const Finding& f) { return f.section == "Full" && f.key == "Channel"; });
        ASSERT_NE(found, findings.end()) << c.channel << "\n" << Describe(findings);
        EXPECT_EQ(found->severity, c.severity) << c.channel << "\n" << Describe(findings);
        EXPECT_THAT(found->message, HasSubstr(c.says)) << c.channel;
    }
    options.keys.clear();
    std::vector<Finding> unkeyed = CheckManifest(LoadManifest(Write(kFull + "Channel=/./m.ini\r\n")), options);
    EXPECT_TRUE(Reports(unkeyed, Severity::Note, "Full", "Channel")) << "only keyed modules read Channel\n"
                                                                     << Describe(unkeyed);
}

TEST_F(ManifestTool, ExplainTakesTheInstallationsChannel)
{
    Installation installation{"1.0.0.5", std::nullopt, 0, false, {}, std::nullopt};
    installation.keys = {*PublicKeyFromPem(ReadFileBytes(Fixture("key-public.pem")))};
    Explanation own = Explain(LoadManifest(Fixture("run-signed.ini")), installation);
    EXPECT_TRUE(own.trusted) << "by default the manifest is fetched where its Channel says";
    EXPECT_EQ(own.channel, "/m.ini");
    installation.channel = "/vlnr/demo/all/demo_all.ini";
    Explanation other = Explain(LoadManifest(Fixture("run-signed.ini")), installation);
    EXPECT_THAT(other.trace, ElementsAre("Manifest channel mismatch"));
    EXPECT_THAT(Verdict(other, installation), HasSubstr("refused"));
}

TEST_F(ManifestTool, TheDemoManifestIsClean)
{
    for (const Finding& f : CheckManifest(LoadManifest(ProgramFolder() + "\\demo_all.ini"), {}))
        EXPECT_EQ(f.severity, Severity::Note) << f.section << " " << f.key << ": " << f.message;
}

TEST_F(ManifestTool, ExplainsAKeyedModuleRefusingOrTakingASignedManifest)
{
    Installation installation{"1.0.0.5", std::nullopt, 0, false, {}, std::nullopt, std::nullopt};
    installation.keys = {*PublicKeyFromPem(ReadFileBytes(Fixture("key-public.pem")))};
    Explanation signedOne = Explain(LoadManifest(Fixture("run-signed.ini")), installation);
    EXPECT_TRUE(signedOne.trusted);
    EXPECT_EQ(signedOne.trace.front(), "Manifest signature verified");

    Explanation other = Explain(LoadManifest(Fixture("run-other-key.ini")), installation);
    EXPECT_FALSE(other.trusted);
    EXPECT_FALSE(other.result);
    EXPECT_THAT(other.trace, ElementsAre("Manifest signature invalid"));

    installation.acceptedSerial = 6;
    Explanation rolledBack = Explain(LoadManifest(Fixture("run-signed.ini")), installation);
    EXPECT_THAT(rolledBack.trace, ElementsAre("Manifest serial rolled back"));
    EXPECT_THAT(Verdict(rolledBack, installation), HasSubstr("refused"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kUpdateKey)) << "the user's own registry is untouched";
}


TEST_F(ManifestTool, BadInputIsRefusedClearlyOrAnsweredRight)
{
    auto refusal = [&](const std::string& path) {
        try {
            LoadManifest(path);
        } catch (const ToolError& error) {
            return std::string(error.what());
        }
        return std::string("accepted");
    };
    EXPECT_THAT(refusal(folder / "missing.ini"), HasSubstr("cannot be read"));
    EXPECT_THAT(refusal(folder.path()), HasSubstr("is a folder"));
    EXPECT_THAT(refusal(Write("")), HasSubstr("is empty"));
    for (const char* device : {"nul.ini", "aux.ini", "con.ini", "COM1.ini", "prn.ini", "lpt1.ini", "nul"})
        EXPECT_THAT(refusal(folder / device), HasSubstr("names a device")) << device;
    EXPECT_THAT(refusal(Write("[Full]\r\nVer=2.0.0.0\r\n" + std::string(8 << 20, ';'))), HasSubstr("1 MiB"));
    std::string many = "[Full]\r\nVer=2.0.0.0\r\nPacketCount=5000\r\n";
    for (int n = 0; n < 5000; ++n)
        many += "[Packet" + std::to_string(n) + "]\r\nmax=2.0.0.0\r\n";
    EXPECT_THAT(refusal(Write(many)), HasSubstr("sections"));

    // A recorded version too long for the module to read is no base version;
    // a force of -1 is shown as the registry holds it.
    Installation longRecord = plain_installation();
    longRecord.recorded = "2.4.0.3" + std::string(300, '0');
    ExpectAgreement(kFull + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\nforce=-1\r\n" + kOneFile), longRecord);
    Explanation forced = Explain(LoadManifest(Write(kFull + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\nforce=-1\r\n" + kOneFile))),
                                 plain_installation());
    EXPECT_THAT(ExplainText(forced, plain_installation()), HasSubstr("force 4294967295"));

    // Control bytes do not stop the module from reading a file: the tool
    // explains it as the module decides, and warns.
    Installation plain{"2.3.0.17", std::nullopt, 0, false, {}, std::nullopt, std::nullopt};
    for (char control : {'\x1A', '\x0C', '\0'}) {
        std::string withControl = kFull + ";" + std::string(1, control) + "\r\n" +
                                  Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\n" + kOneFile);
        ExpectAgreement(withControl, plain);
        Explanation told = Explain(LoadManifest(Write(withControl)), plain);
        EXPECT_TRUE(told.result) << int(control);
        ASSERT_EQ(told.warnings.size(), 1u) << int(control);
        EXPECT_THAT(told.warnings[0], HasSubstr("control byte"));
        EXPECT_TRUE(Reports(CheckManifest(LoadManifest(Write(withControl)), {}), Severity::Warning, "", ""));
    }

    // A UTF-16 manifest is read by the module as Windows reads it: so by the tool.
    std::string text = kFull + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\n" + kOneFile);
    std::string utf16 = "\xff\xfe";
    for (char c : text)
        utf16 += c, utf16 += '\0';
    Installation installation{"2.3.0.17", std::nullopt, 0, false, {}, std::nullopt, std::nullopt};
    ExpectAgreement(utf16, installation);
    EXPECT_TRUE(Explain(LoadManifest(Write(utf16)), installation).result);

    // Counts beyond what exists cost only what is present; 2^31 reads as a
    // negative count, which reads no packet at all.
    std::string declared = "[Full]\r\nVer=2.4.0.3\r\nPacketCount=2147483647\r\nFileCount=0\r\n" +
                           Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\nFileCount=2147483647\r\nFile0=http://h/p\r\n");
    ExpectAgreement(declared, installation);
    auto findings = CheckManifest(LoadManifest(Write(declared)), {});
    EXPECT_TRUE(Reports(findings, Severity::Warning, "Full", "PacketCount")) << Describe(findings);
    EXPECT_TRUE(Reports(findings, Severity::Warning, "Packet0", "FileCount")) << Describe(findings);
    std::string wrapped = "[Full]\r\nVer=2.4.0.3\r\nPacketCount=2147483648\r\nFileCount=0\r\n" +
                          Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\n" + kOneFile);
    ExpectAgreement(wrapped, installation);
    findings = CheckManifest(LoadManifest(Write(wrapped)), {});
    EXPECT_TRUE(Reports(findings, Severity::Error, "Packet0", "")) << Describe(findings);
}

// The program itself: its verbs, exit codes and JSON, against the same
// functions called here.
class ManifestToolProgram : public ManifestTool {
protected:
    ProcessResult Run(const std::string& arguments)
    {
        return RunProcess("\"" + ProgramFolder() + "\\manifest-tool.exe\" " + arguments, folder.path());
    }
    static std::string Quote(const std::string& path) { return "\"" + path + "\""; }
};

TEST_F(ManifestToolProgram, ExplainJsonIsTheExplanation)
{
    ManifestMaker maker(99);
    for (int i = 0; i < 12; ++i) {
        std::string path = Write(maker.Manifest());
        Installation installation{maker.Version(), std::nullopt, 0, i % 3 == 0, {}, std::nullopt, std::nullopt};
        std::string arguments = "explain " + Quote(path) + " --installed " + installation.installed + " --json";
        if (i % 2) {
            installation.recorded = maker.Version();
            installation.recordedSilent = i % 4 == 1;
            arguments += " --recorded " + *installation.recorded + " --recorded-silent " +
                         std::to_string(installation.recordedSilent);
        }
        if (installation.testMode) {
            arguments += " --test";
            DotTestVersion(installation.installed);  // as the module reads VLNRTEST.VLT
        }
        ProcessResult result = Run(arguments);
        EXPECT_EQ(result.exitCode, 0u) << result.errorOutput;
        EXPECT_EQ(result.output, ExplainJson(Explain(LoadManifest(path), installation), installation));
    }
}

TEST_F(ManifestToolProgram, CheckExitsOnErrorsAndWithStrictOnWarnings)
{
    std::string clean = Write(Full(1) + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\n" + kOneFile));
    std::string warned = Write(kFull + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\n" + kOneFile));
    std::string wrong = Write(kFull + Packet(0, "min=2.0.0.0\r\n" + kOneFile));
    EXPECT_EQ(Run("check " + Quote(clean) + " --strict").exitCode, 0u);
    EXPECT_EQ(Run("check " + Quote(warned)).exitCode, 0u);
    EXPECT_EQ(Run("check " + Quote(warned) + " --strict").exitCode, 1u);
    ProcessResult result = Run("check " + Quote(wrong));
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_THAT(result.output, HasSubstr("error: [Packet0] max: is missing"));
    EXPECT_THAT(Run("check " + Quote(wrong) + " --json").output,
                HasSubstr(R"({"severity":"error","section":"Packet0","key":"max",)"));

    std::string test = Write("[Full]\r\nPacketCount=1\r\n" + Packet(0, "min=0.0.0.0\r\nmax=9.0.0.0\r\n" + kOneFile));
    EXPECT_EQ(Run("check " + Quote(test)).exitCode, 1u) << "no Ver, outside test mode";
    EXPECT_EQ(Run("check " + Quote(test) + " --test").exitCode, 0u);

    ProcessResult missing = Run("check " + Quote(folder / "none.ini"));
    EXPECT_EQ(missing.exitCode, 2u);
    EXPECT_THAT(missing.errorOutput, HasSubstr("cannot be read"));
    EXPECT_EQ(Run("explain " + Quote(clean)).exitCode, 2u) << "explain needs --installed";
    EXPECT_EQ(Run("frobnicate").exitCode, 2u);
}

TEST_F(ManifestToolProgram, DiffNamesOnlyTheRangesWhoseOfferChanged)
{
    std::string old = Write(kFull + Packet(0, "min=2.3.0.0\r\nmax=2.4.0.3\r\n" + kOneFile) +
                            Packet(1, "min=2.0.0.0\r\nmax=2.3.0.0\r\nforce=1\r\n" + kOneFile));
    std::string fresh = Write(kFull + Packet(0, "min=2.3.0.0\r\nmax=2.4.0.3\r\n" + kOneFile) +
                              Packet(1, "min=2.0.0.0\r\nmax=2.3.0.0\r\nforce=0\r\n" + kOneFile));
    ProcessResult result = Run("diff " + Quote(old) + " " + Quote(fresh));
    EXPECT_EQ(result.exitCode, 0u) << result.errorOutput;
    EXPECT_EQ(result.output,
              "2.0.0.0 up to 2.3.0.0:\n"
              "  old: [Packet1], 1 URL, force 1, silent 0\n"
              "       http://h/p\n"
              "  new: [Packet1], 1 URL, force 0, silent 0\n"
              "       http://h/p\n");
    EXPECT_EQ(Run("diff " + Quote(old) + " " + Quote(old)).output,
              "every installed version gets the same offer\n");
}

TEST_F(ManifestToolProgram, RolloutsAreShownAndDecidedForAGivenDraw)
{
    const std::string draw = "0123456789abcdef";
    unsigned place = RolloutPlace(0x0123456789abcdefull, "2.4.0.3");
    auto manifest = [&](const std::string& rollout) {
        return Write(Full(1) + "Rollout=" + rollout + "\r\n" + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\n" + kOneFile));
    };
    struct {
        std::string rollout;
        bool held;
    } cases[] = {{std::to_string(place), true}, {std::to_string(place + 1), false}, {"100", false}, {"ten", true}};
    for (const auto& c : cases) {
        ProcessResult result = Run("explain " + Quote(manifest(c.rollout)) + " --installed 2.3.0.0 --draw " + draw);
        EXPECT_EQ(result.exitCode, 0u) << result.errorOutput;
        EXPECT_EQ(result.output.find("held back by the rollout") != std::string::npos, c.held)
            << c.rollout << "\n" << result.output;
        EXPECT_THAT(result.output, HasSubstr("rollout place  " + std::to_string(place) + "\n")) << result.output;
    }
    EXPECT_EQ(Run("explain " + Quote(manifest("5")) + " --installed 2.3.0.0 --draw 12").exitCode, 2u);

    EXPECT_THAT(Run("coverage " + Quote(manifest("25"))).output,
                HasSubstr("[Packet0], 1 URL, force 0, silent 0, to 25% of installations (Rollout)"));
    ProcessResult diff = Run("diff " + Quote(manifest("5")) + " " + Quote(manifest("25")));
    EXPECT_THAT(diff.output, HasSubstr("2.0.0.0 up to 2.4.0.3:\n  old: [Packet0], 1 URL, force 0, silent 0, to 5%"));
    EXPECT_THAT(diff.output, HasSubstr("  new: [Packet0], 1 URL, force 0, silent 0, to 25%"));
    std::string withdrawing = Write(Full(0) + "Withdrawn=2.4.0.1,2.4.0.2\r\n");
    EXPECT_THAT(Run("diff " + Quote(Write(Full(0))) + " " + Quote(withdrawing)).output,
                HasSubstr("Withdrawn: (none) -> 2.4.0.1, 2.4.0.2\n"));
}

TEST_F(ManifestToolProgram, BadArgumentsGetATrueMessageAndExitTwo)
{
    std::string manifest = Quote(Write(Full(1) + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\n" + kOneFile)));
    struct {
        std::string arguments;
        const char* message;
    } cases[] = {
        {"explain " + manifest + " --installed \"\"", "is no version"},
        {"explain " + manifest + " --installed \"not a version\"", "is no version"},
        {"explain " + manifest + " --installed 2.3.0.17 --recorded v2", "is no version"},
        {"check " + manifest + " --key " + Quote(folder / "missing.pem"), "cannot be read"},
        {"check " + manifest + " --previous abc", "neither a Serial"},
        {"check " + Quote(folder.path()), "is a folder"},
        {"coverage " + Quote(Write("")), "is empty"},
    };
    for (const auto& c : cases) {
        ProcessResult result = Run(c.arguments);
        EXPECT_EQ(result.exitCode, 2u) << c.arguments;
        EXPECT_THAT(result.errorOutput, HasSubstr(c.message)) << c.arguments;
        ProcessResult json = Run(c.arguments + " --json");
        EXPECT_EQ(json.exitCode, 2u) << c.arguments;
        EXPECT_THAT(json.output, testing::StartsWith("{\"error\":\"")) << c.arguments;
        EXPECT_THAT(json.output, HasSubstr(c.message)) << c.arguments;
    }
    // A test version is read as the module reads VLNRTEST.VLT: 1000 is 1.0.0.0.
    EXPECT_THAT(Run("explain " + manifest + " --test --installed 1000").output, HasSubstr("base version  1.0.0.0 (installed)"));
}

// A run fetches one URL of its list, picked at random, and only http or https.
TEST_F(ManifestToolProgram, UrlsTheModuleCannotFetchFailTheirShareOfRuns)
{
    struct {
        std::vector<std::string> urls;
        const char* share;
        const char* verdict;
    } cases[] = {
        {{"http://h/a"}, "0", "[Full] list, 1 URL, force 0, silent 1\n"},
        {{"http://h/a", "https://h/b"}, "0", "[Full] list, 2 URLs, force 0, silent 1\n"},
        {{"http://h/a", "ftp://h/b"}, "0.5", "but 1 of 2 runs fail"},
        {{"ftp://h/a", "http://h/b", "http://h/c"}, "0.333333", "but 1 of 3 runs fail"},
        {{"file://h/a"}, "1", "but every run fails"},
        {{"http://h:0/a", "h/b"}, "1", "but every run fails"},
    };
    for (const auto& c : cases) {
        std::string manifest = "[Full]\r\nVer=2.4.0.3\r\nFileCount=" + std::to_string(c.urls.size()) + "\r\n";
        for (size_t i = 0; i < c.urls.size(); ++i)
            manifest += "File" + std::to_string(i) + "=" + c.urls[i] + "\r\n";
        std::string path = Quote(Write(manifest));
        ProcessResult json = Run("explain " + path + " --installed 2.3.0.0 --json");
        EXPECT_THAT(json.output, HasSubstr(std::string("\"failShare\":") + c.share + ",\"force\"")) << json.output;
        EXPECT_THAT(Run("explain " + path + " --installed 2.3.0.0").output, HasSubstr(c.verdict));
        EXPECT_THAT(Run("coverage " + path).output, HasSubstr(c.verdict));
        bool failing = std::string(c.share) != "0";
        EXPECT_EQ(Run("check " + path).exitCode, failing ? 1u : 0u) << c.share;
    }
}

// HasUpdate 0 claims nothing pending, yet the module compares Ver with the
// UpdateVersion left beside it.
TEST_F(ManifestToolProgram, ARecordWithoutHasUpdateIsDecidedAsTheModuleDoes)
{
    struct {
        const char* recorded;
        int hasUpdate;
        bool result;
        const char* verdict;
    } cases[] = {
        {"2.4.0.3", 1, false, "Ver 2.4.0.3 is not above the base version 2.4.0.3"},
        {"2.4.0.3", 0, false, "Ver 2.4.0.3 is not above the base version 2.4.0.3"},
        {"2.4.0.0", 1, true, "[Packet0], 1 URL"},
        {"2.4.0.0", 0, true, "[Packet0], 1 URL"},
    };
    std::string manifest = Full(1) + Packet(0, "min=2.0.0.0\r\nmax=2.4.0.3\r\nsilent=1\r\n" + kOneFile);
    for (const auto& c : cases) {
        Installation installation = plain_installation();
        installation.recorded = c.recorded;
        installation.recordedSilent = 1;
        installation.recordedHasUpdate = c.hasUpdate;
        ExpectAgreement(manifest, installation);
        Explanation told = Explain(LoadManifest(Write(manifest)), installation);
        EXPECT_EQ(told.result, c.result) << c.recorded << " " << c.hasUpdate;
        EXPECT_THAT(Verdict(told, installation), HasSubstr(c.verdict));
    }
    // In test mode the repeat check decides: only HasUpdate 1 holds an offer back.
    for (int hasUpdate : {0, 1}) {
        Installation installation = plain_installation();
        installation.testMode = true;
        installation.recorded = "2.4.0.3";
        installation.recordedSilent = 1;
        installation.recordedHasUpdate = hasUpdate;
        ExpectAgreement(manifest, installation);
        EXPECT_EQ(Explain(LoadManifest(Write(manifest)), installation).alreadyPending, hasUpdate == 1);
    }
    EXPECT_THAT(Run("explain " + Quote(Write(manifest)) + " --installed 2.3.0.0 --recorded 2.4.0.0 --has-update 0")
                    .output,
                HasSubstr("HasUpdate 0"));
}

// coverage and diff with --key: a manifest a keyed module refuses offers
// nothing to anyone, as explain says.
TEST_F(ManifestToolProgram, EveryVerbAppliesTheKeyedModulesTrustRules)
{
    std::string key = " --key " + Quote(Fixture("key-public.pem"));
    struct {
        const char* fixture;
        bool refused;
    } cases[] = {
        {"run-signed.ini", false},          {"run.ini", true},
        {"run-other-key.ini", true},        {"run-expired-signed.ini", true},
        {"run-no-serial-signed.ini", true}, {"run-two-serial-signed.ini", true},
        {"run-no-channel-signed.ini", true},
    };
    for (const auto& c : cases) {
        std::string manifest = Quote(Fixture(c.fixture));
        std::string coverage = Run("coverage " + manifest + key).output;
        EXPECT_EQ(coverage.find("refuses the manifest") != std::string::npos, c.refused) << c.fixture << coverage;
        EXPECT_EQ(coverage.find(" URL") == std::string::npos, c.refused) << c.fixture << coverage;
        std::string explain = Run("explain " + manifest + " --installed 1.0.0.5" + key).output;
        EXPECT_EQ(explain.find("refused") != std::string::npos, c.refused) << c.fixture << explain;
        std::string diff = Run("diff " + Quote(Fixture("run-signed.ini")) + " " + manifest + key).output;
        EXPECT_EQ(diff.find("every installed version gets the same offer") == std::string::npos, c.refused)
            << c.fixture << diff;
    }
}

// Publishers of a Chinese product name files in Chinese: the names reach the
// tool whole, in any code page, and come back in UTF-8.
TEST_F(ManifestToolProgram, ChineseNamesAreReadAndShown)
{
    const std::string folderName = "\xe5\x8f\x91\xe5\xb8\x83";     // 发布
    const std::string manifestName = "\xe6\xb8\x85\xe5\x8d\x95";   // 清单
    const std::string keyName = "\xe5\xaf\x86\xe9\x92\xa5.pem";    // 密钥.pem
    std::string base = folder.path() + "\\" + folderName;
    Write("");  // makes the folder
    auto wide = [](const std::string& utf8) {
        std::wstring text(utf8.size() + 1, L'\0');
        text.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, text.data(),
                                                            static_cast<int>(text.size())) - 1));
        return text;
    };
    ASSERT_TRUE(CreateDirectoryW(wide(base).c_str(), nullptr)) << GetLastError() << " " << base;
    std::string manifest = base + "\\" + manifestName + ".ini";
    ASSERT_TRUE(CopyFileW(wide(Fixture("run-signed.ini")).c_str(), wide(manifest).c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(wide(Fixture("key-public.pem")).c_str(), wide(base + "\\" + keyName).c_str(), FALSE));
    auto run = [&](const std::string& arguments) {
        return RunProcess("\"" + ProgramFolder() + "\\manifest-tool.exe\" " + arguments, folder.path(), true);
    };
    std::string key = " --key " + Quote(base + "\\" + keyName);
    ProcessResult check = run("check " + Quote(manifest) + key);
    EXPECT_EQ(check.exitCode, 0u) << check.errorOutput << check.output;
    EXPECT_THAT(check.output, HasSubstr(manifest + ": 0 errors"));
    ProcessResult json = run("check " + Quote(manifest) + key + " --json");
    EXPECT_THAT(json.output, HasSubstr("\\u53d1\\u5e03\\\\\\u6e05\\u5355.ini")) << json.output;
    ProcessResult explain = run("explain " + Quote(manifest) + " --installed 1.0.0.5" + key);
    EXPECT_EQ(explain.exitCode, 0u) << explain.errorOutput;
    EXPECT_THAT(explain.output, HasSubstr("Manifest signature verified"));
    ProcessResult missing = run("coverage " + Quote(base + "\\" + manifestName + "2.ini") + " --json");
    EXPECT_EQ(missing.exitCode, 2u);
    EXPECT_THAT(missing.errorOutput, HasSubstr(manifestName + "2.ini: cannot be read"));
    EXPECT_THAT(missing.output, HasSubstr("\\u6e05\\u5355" "2.ini: cannot be read"));
}

}  // namespace
