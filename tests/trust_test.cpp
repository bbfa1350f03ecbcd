// Whole hidden runs of a keyed module (the publisher's key set as the start-up
// sets it) and of one without a key, against manifests and packages made and
// signed by stock OpenSSL, served through the user's proxy as the update
// server's own. What must not be used records nothing, leaves no file and
// says why in one trace line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>

#include "framework/handles.h"
#include "framework/path.h"
#include "signing/manifest_signature.h"
#include "signing/manifest_trust.h"
#include "update_check/manifest_location.h"
#include "support/debug_capture.h"
#include "support/http_test_server.h"
#include "support/registry.h"
#include "support/temp_folder.h"
#include "support/wizard_run.h"

namespace {

using testing::Contains;

const char kUpdateKey[] = "Software\\Velnor\\Update";
const char kSerials[] = "Software\\Velnor\\Update\\ManifestSerials";
const char kSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const char kManifest[] = "http://update.velnor.example/m.ini";
const char kPackage[] = "http://update.velnor.example/pack.exe";

std::string Fixture(const std::string& name) { return ReadFileBytes(ProgramFolder() + "\\signing\\" + name); }

class Trust : public testing::Test {
protected:
    void SetUp() override
    {
        DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey);
        WriteRegDword(HKEY_CURRENT_USER, kSettings, "ProxyEnable", 1);
        WriteRegString(HKEY_CURRENT_USER, kSettings, "ProxyServer", "127.0.0.1:" + std::to_string(server.port()));
        context.userDataDirectory = folder / "UserData";
        CreateDirectoryA(context.userDataDirectory.c_str(), nullptr);
        context.updateKeys = {*PublicKeyFromPem(Fixture("key-public.pem"))};
        DeleteFileA(download.c_str());
    }
    void TearDown() override
    {
        DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey);
    }

    // A hidden run of installed 1.0.0.5 against this manifest and package,
    // served at the URL the run fetches (manifestUrl, the URL switch's, unless cleared).
    void Run(const std::string& manifest, const std::string& package, const std::string& url = kManifest)
    {
        server.Serve(url, Response(200, manifest));
        server.Serve(kPackage, Response(200, package));
        capture.Clear();
        size_t before = server.Targets().size();
        WizardRun frame(context, folder / "VLNR.INI", manifestUrl);
        frame.installedVersion = "1.0.0.5";
        frame.DoModal();
        Sleep(100);  // the worker's last trace line
        traces = capture.Texts();
        std::vector<std::string> all = server.Targets();
        targets.assign(all.begin() + static_cast<long>(before), all.end());
    }
    // As if no run had recorded anything before.
    void Forget()
    {
        DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey);
        DeleteFileA((context.userDataDirectory + "\\VLNRUpdate\\VLNRUpdate.exe").c_str());
    }
    bool Recorded() const { return ReadRegValue(HKEY_CURRENT_USER, kUpdateKey, "HasUpdate").has_value(); }
    void ExpectRefused(const std::string& why)
    {
        EXPECT_THAT(traces, Contains(why));
        EXPECT_FALSE(Recorded()) << why;
        EXPECT_FALSE(FileExists(download)) << why << ": no partial file";
        EXPECT_FALSE(FileExists(context.userDataDirectory + "\\VLNRUpdate\\VLNRUpdate.exe")) << why;
    }

    ModuleContext context;
    std::string manifestUrl = kManifest;
    SavedRegValue proxyEnable{HKEY_CURRENT_USER, kSettings, "ProxyEnable"};
    SavedRegValue proxyServer{HKEY_CURRENT_USER, kSettings, "ProxyServer"};
    HttpTestServer server;
    DebugCapture capture;
    TempFolder folder;
    std::string download = framework::TempFolder() + "VLNRUpdatePack.exe";
    std::string package = Fixture("package.bin");
    std::vector<std::string> traces;
    std::vector<std::string> targets;  // of the last run
};

TEST_F(Trust, ASignedManifestAndItsPinnedPackageAreRecorded)
{
    Run(Fixture("run-signed.ini"), package);
    EXPECT_THAT(traces, Contains("Manifest signature verified"));
    EXPECT_THAT(traces, Contains("Package digest verified"));
    EXPECT_TRUE(Recorded());
    EXPECT_EQ(ReadFileBytes(context.userDataDirectory + "\\VLNRUpdate\\VLNRUpdate.exe"), package);
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kSerials, "/m.ini")->text(), "5") << "kept for the channel";
}

TEST_F(Trust, AManifestThatIsNotTheSignedOneIsRefused)
{
    const std::string good = Fixture("run-signed.ini");
    auto split = SplitSignature(good);
    ASSERT_TRUE(split);
    std::string body(split->signedBytes), signature(split->signature);

    std::string flippedBody = good;
    flippedBody[12] ^= 1;
    std::string flippedSignature = signature;
    flippedSignature[10] = flippedSignature[10] == 'A' ? 'B' : 'A';
    auto second = SplitSignature(Fixture("second-signed.ini"));
    ASSERT_TRUE(second);

    for (const auto& [name, manifest] : std::vector<std::pair<const char*, std::string>>{
             {"one byte of the manifest", flippedBody},
             {"one character of the signature", body + ";signature=" + flippedSignature + "\r\n"},
             {"another key", Fixture("run-other-key.ini")},
             {"no signature line", Fixture("run.ini")},
             {"another manifest's signature", body + ";signature=" + std::string(second->signature) + "\r\n"}}) {
        SCOPED_TRACE(name);
        Run(manifest, package);
        ExpectRefused("Manifest signature invalid");
        EXPECT_THAT(targets, testing::Not(Contains(kPackage)));
    }
}

TEST_F(Trust, StaleAndRolledBackManifestsAreRefused)
{
    Run(Fixture("run-expired-signed.ini"), package);
    ExpectRefused("Manifest expired");

    WriteRegString(HKEY_CURRENT_USER, kSerials, "/m.ini", "6");
    Run(Fixture("run-signed.ini"), package);
    ExpectRefused("Manifest serial rolled back");
}

// Another company's manifest, or the test channel's, served where this run
// looks, is refused; each channel keeps its own highest Serial.
TEST_F(Trust, ASignedManifestIsTakenOnlyForItsOwnChannel)
{
    for (const auto& [name, fixture, trace] : std::vector<std::tuple<const char*, const char*, const char*>>{
             {"another channel", "run-other-channel-signed.ini", "Manifest channel mismatch"},
             {"no channel", "run-no-channel-signed.ini", "Manifest incomplete"},
             {"another company's, at this URL", "run-channel-a-signed.ini", "Manifest channel mismatch"}}) {
        SCOPED_TRACE(name);
        Run(Fixture(fixture), package);
        ExpectRefused(trace);
        EXPECT_THAT(targets, testing::Not(Contains(kPackage)));
        EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, kSerials)) << "no Serial kept for a refused manifest";
    }

    // Without the URL switch the channel is the company's manifest path.
    manifestUrl.clear();
    folder.Write("VLNR.INI", "[Version]\r\ncompany=a\r\n");
    const char kCompanyA[] = "http://update.velnor.example/vlnr/a/all/a_all.ini";
    Run(Fixture("run-other-channel-signed.ini"), package, kCompanyA);
    ExpectRefused("Manifest channel mismatch");
    Run(Fixture("run-channel-a-signed.ini"), package, kCompanyA);
    EXPECT_THAT(traces, Contains("Manifest signature verified"));
    EXPECT_TRUE(Recorded());
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kSerials, "/vlnr/a/all/a_all.ini")->text(), "9");

    // Company b's Serial 5 is below a's 9, and is b's own: it is taken. The
    // one value that modules before channels kept is no longer read.
    Forget();
    WriteRegString(HKEY_CURRENT_USER, kSerials, "/vlnr/a/all/a_all.ini", "9");
    WriteRegString(HKEY_CURRENT_USER, kUpdateKey, "ManifestSerial", "99");
    folder.Write("VLNR.INI", "[Version]\r\ncompany=b\r\n");
    Run(Fixture("run-channel-b-signed.ini"), package, "http://update.velnor.example/vlnr/b/all/b_all.ini");
    EXPECT_THAT(traces, Contains("Manifest signature verified"));
    EXPECT_TRUE(Recorded());
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kSerials, "/vlnr/b/all/b_all.ini")->text(), "5");
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kSerials, "/vlnr/a/all/a_all.ini")->text(), "9");
}

TEST_F(Trust, TheChannelIsThePathTheRunAsksFor)
{
    EXPECT_EQ(ChooseManifest(false, "", "demo").channel, "/vlnr/demo/all/demo_all.ini");
    EXPECT_EQ(ChooseManifest(true, "", "").channel, "/vlnr/testnet/test.ini");
    EXPECT_EQ(ChooseManifest(true, "http://update.velnor.example/vlnr/demo/all/other.ini", "").channel,
              "/vlnr/demo/all/other.ini");
    EXPECT_EQ(ChooseManifest(false, "http://h:8080/x/m.ini?v=2", "demo").channel, "/x/m.ini?v=2");
    EXPECT_EQ(ChooseManifest(false, "http://h", "demo").channel, "/");
    EXPECT_EQ(ChooseManifest(false, "not a url", "demo").channel, "");
}

// No Expires, no Serial, or what bears on trust given twice (the module
// reads the first, another reader the second): refused.
TEST_F(Trust, IncompleteAndAmbiguousManifestsAreRefused)
{
    for (const auto& [fixture, trace] : std::vector<std::pair<const char*, const char*>>{
             {"run-no-expires-signed.ini", "Manifest incomplete"},
             {"run-no-serial-signed.ini", "Manifest incomplete"},
             {"run-two-full-signed.ini", "Manifest ambiguous"},
             {"run-two-serial-signed.ini", "Manifest ambiguous"},
             {"run-two-expires-signed.ini", "Manifest ambiguous"},
             {"run-two-channel-signed.ini", "Manifest ambiguous"},
             {"run-two-sha256-signed.ini", "Manifest ambiguous"},
             {"run-two-size-signed.ini", "Manifest ambiguous"},
             {"run-two-packet-signed.ini", "Manifest ambiguous"}}) {
        SCOPED_TRACE(fixture);
        Run(Fixture(fixture), package);
        ExpectRefused(trace);
        EXPECT_THAT(targets, testing::Not(Contains(kPackage)));
    }
}

// The manifest is read once: its file held against writers from the read of
// its bytes to the end of their parse, and no larger than 1 MiB.
class HeldManifest : public testing::Test {
protected:
    void SetUp() override { DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey); }
    void TearDown() override { DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey); }
    std::optional<UpdateManifest> Accept(const std::string& path)
    {
        capture.Clear();
        std::optional<UpdateManifest> manifest = AcceptManifest(path, "/m.ini", keys);
        traces = capture.Texts();
        return manifest;
    }
    std::vector<framework::EcPoint> keys{*PublicKeyFromPem(Fixture("key-public.pem"))};
    TempFolder folder;
    DebugCapture capture;
    std::vector<std::string> traces;
};

TEST_F(HeldManifest, TheVerifiedBytesAreTheParsedOnes)
{
    std::string path = folder.Write("VLNRUpdate.ini", Fixture("run-signed.ini"));
    std::optional<UpdateManifest> manifest = Accept(path);
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->channel, "/m.ini");
    EXPECT_EQ(manifest->serial, "5");
    ASSERT_EQ(manifest->packets.size(), 1u);
    EXPECT_TRUE(manifest->packets[0].pin.complete());
    EXPECT_THAT(traces, testing::ElementsAre("Manifest signature verified"));
    EXPECT_FALSE(FileExists(path)) << "deleted once read";
}

TEST_F(HeldManifest, AFileSomeoneCanWriteIsNotUsed)
{
    std::string path = folder.Write("VLNRUpdate.ini", Fixture("run-signed.ini"));
    framework::FileHandle writer(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer);
    EXPECT_FALSE(Accept(path)) << "another handle may write the file between verify and parse";
    EXPECT_THAT(traces, testing::ElementsAre("Manifest unreadable"));
}

TEST_F(HeldManifest, AtMostOneMebibyteIsRead)
{
    EXPECT_TRUE(Accept(folder.Write("a.ini", Fixture("run-1mib-signed.ini")))) << "1 MiB exactly";
    EXPECT_FALSE(Accept(folder.Write("b.ini", Fixture("run-large-signed.ini"))));
    EXPECT_THAT(traces, testing::ElementsAre("Manifest too large"));
}

TEST_F(Trust, APackageUnlikeItsPinIsRefused)
{
    std::string flipped = package;
    flipped[3000] ^= 1;
    Run(Fixture("run-signed.ini"), flipped);
    ExpectRefused("Package digest mismatch");

    Run(Fixture("run-other-package-signed.ini"), package);
    ExpectRefused("Package digest mismatch");

    Run(Fixture("run-other-size-signed.ini"), package);
    ExpectRefused("Package size mismatch");

    Run(Fixture("run-unpinned-signed.ini"), package);
    ExpectRefused("Package digest missing");
    EXPECT_THAT(targets, testing::Not(Contains(kPackage))) << "an unpinned package is never fetched";
}

TEST_F(Trust, WithoutAKeyTheNetworkIsTrustedButAPinIsStillChecked)
{
    context.updateKeys.clear();
    Run(Fixture("run.ini"), package);
    EXPECT_TRUE(Recorded()) << "an unsigned manifest, as older modules took it";
    EXPECT_THAT(traces, testing::Not(Contains("Manifest signature verified")));

    Forget();
    Run(Fixture("run-unpinned.ini"), package);
    EXPECT_TRUE(Recorded()) << "no pin, no check";

    Forget();
    std::string flipped = package;
    flipped[0] ^= 1;
    Run(Fixture("run-signed.ini"), flipped);
    ExpectRefused("Package digest mismatch");
}

// A key resource that does not read is a build meant to check that cannot:
// it refuses every manifest, signed or not, instead of trusting the network.
TEST_F(Trust, AModuleWhoseKeyDoesNotReadRefusesEveryManifest)
{
    HMODULE junk = LoadLibraryExA((ProgramFolder() + "\\junk_key.dll").c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(junk, nullptr);
    EXPECT_TRUE(HasUnreadableUpdateKey(junk));
    EXPECT_TRUE(LoadUpdateKeys(junk).empty());
    FreeLibrary(junk);
    EXPECT_FALSE(HasUnreadableUpdateKey(GetModuleHandleA(nullptr))) << "no key at all is no broken key";

    context.updateKeys.clear();
    context.updateKeyUnreadable = true;
    for (const char* manifest : {"run.ini", "run-signed.ini"}) {
        Forget();
        Run(Fixture(manifest), package);
        ExpectRefused("Update key unreadable");
        EXPECT_THAT(targets, testing::Not(Contains(kPackage))) << manifest;
    }
}

// A manifest that a keyed module does not trust takes nothing back either.
TEST_F(Trust, AnUntrustedManifestWithdrawsNothing)
{
    std::string copy = context.userDataDirectory + "\\VLNRUpdate\\VLNRUpdate.exe";
    folder.Write("UserData\\VLNRUpdate\\VLNRUpdate.exe", "pending");
    WriteRegDword(HKEY_CURRENT_USER, kUpdateKey, "HasUpdate", 1);
    WriteRegString(HKEY_CURRENT_USER, kUpdateKey, "UpdateVersion", "1.0.0.6");
    WriteRegString(HKEY_CURRENT_USER, kUpdateKey, "UpdatePath", copy);
    Run("[Full]\r\nVer=1.0.0.7\r\nWithdrawn=1.0.0.6\r\nPacketCount=0\r\nFileCount=0\r\n", package);
    EXPECT_THAT(traces, Contains("Manifest signature invalid"));
    EXPECT_THAT(traces, testing::Not(Contains("Update 1.0.0.6 withdrawn")));
    EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kUpdateKey, "HasUpdate")->dword(), 1u);
    EXPECT_TRUE(FileExists(copy));
}

// The choice for a pin that does not read (see docs/publishing.md, "Upgrade notes"):
// a module without a key refuses the package as a keyed one does, rather
// than fetching it unchecked as modules from before pinning did.
TEST_F(Trust, WithoutAKeyAnUnreadablePinStillRefusesThePackage)
{
    context.updateKeys.clear();
    std::string run = Fixture("run.ini");
    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
             {"size=6000", "size=6000 bytes"}, {"sha256=", "sha256=z"}}) {
        SCOPED_TRACE(to);
        std::string manifest = run;
        manifest.replace(manifest.find(from), from.size(), to);
        Run(manifest, package);
        ExpectRefused("Package digest invalid");
        EXPECT_THAT(targets, testing::Not(Contains(kPackage)));
    }
}

}  // namespace
