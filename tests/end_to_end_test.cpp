// Whole update runs: updatehost.exe started as a process of its own under
// Wine, against the scripted server, with a prepared installation. The
// registry, the files and the trace lines are checked afterwards.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>
#include <regex>
#include <sstream>

#include "support/debug_capture.h"
#include "framework/path.h"
#include "support/http_test_server.h"
#include "support/notice_window.h"
#include "support/process.h"
#include "support/registry.h"
#include "support/temp_folder.h"
#include "support/url_cache.h"

using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;

namespace {

std::string TempPath() { return framework::TempFolder(); }

const char kUpdateKey[] = "Software\\Velnor\\Update";
const char kShellFolders[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const char kServer[] = "http://update.velnor.example";

std::string Manifest(const std::string& version, const std::string& packageUrl)
{
    return "[Full]\r\nVer=" + version + "\r\nPacketCount=1\r\n"
           "[Packet0]\r\nmin=1.0.0.0\r\nmax=2.0.0.0\r\nforce=0\r\nsilent=1\r\nFileCount=1\r\n"
           "File0=" + packageUrl + "\r\n";
}

// An installation as the product lays it out: the host, the module and its
// companions in one folder that holds the component file, so that folder is
// the install directory; VLNR.INI in the common data folder; the user's
// application data; and the user's proxy pointing at the scripted server,
// which thereby answers for the update server's own host name.
class EndToEnd : public testing::Test {
protected:
    void SetUp() override
    {
        DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey);
        for (const char* file : {"updatehost.exe", "productupdate.dll", "common.dll", "ZudEduzu.dll"})
            CopyFileTo(ProgramFolder() + "\\" + file, install / file);
        CreateDirectoryA((install / "languages").c_str(), nullptr);
        CopyFileTo(ProgramFolder() + "\\languages\\2052.lng", install / "languages\\2052.lng");
        install.Write("OrlithEWA.OCX", "");
        WriteRegString(HKEY_LOCAL_MACHINE, kShellFolders, "Common AppData", common.path());
        WriteRegString(HKEY_CURRENT_USER, "Volatile Environment", "APPDATA", appData.path());
        WriteRegDword(HKEY_CURRENT_USER, kInternetSettings, "ProxyEnable", 1);
        WriteRegString(HKEY_CURRENT_USER, kInternetSettings, "ProxyServer",
                       "127.0.0.1:" + std::to_string(server.port()));
        common.Write("Velnor\\VLNR.INI", "[Version]\r\npacket=1.0.0.5\r\ncompany=acme\r\n");
        package = ReadFileBytes(ProgramFolder() + "\\record_args.exe");
    }
    void TearDown() override { DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey); }

    void OfferUpdate(const std::string& manifestTarget)
    {
        server.Serve(manifestTarget, Response(200, Manifest("1.0.0.6", std::string(kServer) + "/pack.exe")));
        server.Serve(std::string(kServer) + "/pack.exe", Response(200, package));
    }
    std::unique_ptr<ChildProcess> StartHost(const std::string& arguments)
    {
        std::string command = "\"" + (install / "updatehost.exe") + "\"";
        if (!arguments.empty())
            command += " " + arguments;
        return std::make_unique<ChildProcess>(command, install.path());
    }
    // Runs the host to its end; its trace lines are then in traces.
    DWORD RunHost(const std::string& arguments)
    {
        auto host = StartHost(arguments);
        DWORD exitCode = host->Wait().exitCode;
        traces = capture.Texts(host->id());
        return exitCode;
    }
    // What a hidden normal run traces when it finds an update and no record.
    std::vector<std::string> UpdateRunTraces() const
    {
        return {"RD_XXXX", "IniFilePath", common / "Velnor\\VLNR.INI",
                "Open \\\\HKEY_CURRENT_USER\\Software\\Velnor\\Update Failed",
                "strRegVersion= lpLocalVersion=1.0.0.5 szVersion=1.0.0.6 hasRegVersion=0",
                "Start Downloading", "BeforeFileUpdate", "FileUpdate", "Do FileUpdate",
                "Etadpu: http://update.velnor.example/vlnr/acme/mu/acme_mu.txt"};
    }
    RegValue Recorded(const char* name)
    {
        return ReadRegValue(HKEY_CURRENT_USER, kUpdateKey, name).value_or(RegValue{});
    }

    SavedRegValue commonAppData{HKEY_LOCAL_MACHINE, kShellFolders, "Common AppData"};
    SavedRegValue userAppData{HKEY_CURRENT_USER, "Volatile Environment", "APPDATA"};
    SavedRegValue proxyEnable{HKEY_CURRENT_USER, kInternetSettings, "ProxyEnable"};
    SavedRegValue proxyServer{HKEY_CURRENT_USER, kInternetSettings, "ProxyServer"};
    HttpTestServer server;
    DebugCapture capture;
    TempFolder install, common, appData;
    std::string package;
    std::vector<std::string> traces;
};

TEST_F(EndToEnd, AHiddenNormalRunRecordsTheUpdateAndHandsOnTheFileList)
{
    OfferUpdate(std::string(kServer) + "/vlnr/acme/all/acme_all.ini");
    EXPECT_EQ(RunHost(""), 0u);

    std::string copy = appData / "Velnor\\VLNRUpdate\\VLNRUpdate.exe";
    EXPECT_EQ(ReadFileBytes(copy), package);
    EXPECT_FALSE(InUrlCache(std::string(kServer) + "/pack.exe")) << "no third copy of the package";
    EXPECT_EQ(Recorded("HasUpdate").dword(), 1u);
    EXPECT_EQ(Recorded("UpdateVersion").text(), "1.0.0.6");
    EXPECT_EQ(Recorded("UpdatePath").text(), copy);
    EXPECT_EQ(Recorded("force").dword(), 0u);
    EXPECT_EQ(Recorded("Silent").dword(), 1u);
    EXPECT_THAT(traces, ElementsAreArray(UpdateRunTraces()));
}

// The product's own language library is ordinary C++: the run must reach
// its lookups in the platform's member convention and go on to the end. Its
// Initialize waits for a thread it starts, which never ends under the loader
// lock: the host gets through only when the module's start-up runs outside
// it, and still sees the library's start-up once, before the run.
TEST_F(EndToEnd, AHiddenRunUsesTheProductsKindOfLanguageLibrary)
{
    CopyFileTo(ProgramFolder() + "\\plain-language\\common.dll", install / "common.dll");
    OfferUpdate(std::string(kServer) + "/vlnr/acme/all/acme_all.ini");
    EXPECT_EQ(RunHost(""), 0u);
    ASSERT_GE(traces.size(), 2u);
    EXPECT_EQ(traces[0], "plain Initialize");
    EXPECT_EQ(traces[1], "RD_XXXX");
    EXPECT_EQ(std::count(traces.begin(), traces.end(), "plain Initialize"), 1);
    for (const char* key : {"IDC_NEXT", "IDC_BEFORE", "IDOK", "IDCANCEL", "IDC_WELCOMETIP"})
        EXPECT_THAT(traces, testing::Contains(std::string("lookup 2052 Frame ") + key));
    EXPECT_EQ(Recorded("UpdateVersion").text(), "1.0.0.6");
}

TEST_F(EndToEnd, TheUrlSwitchNamesTheManifest)
{
    WriteRegDword(HKEY_CURRENT_USER, kInternetSettings, "ProxyEnable", 0);
    server.Serve("/elsewhere/m.ini", Response(200, Manifest("1.0.0.6", server.Url("/pack.exe"))));
    server.Serve("/pack.exe", Response(200, package));
    // Unquoted: a quoted value without a blank keeps its closing quote.
    EXPECT_EQ(RunHost("/URL " + server.Url("/elsewhere/m.ini")), 0u);
    EXPECT_THAT(server.Targets(), ElementsAre("/elsewhere/m.ini", "/pack.exe"));
    EXPECT_EQ(Recorded("UpdateVersion").text(), "1.0.0.6");
}

TEST_F(EndToEnd, TestModeReadsTheVersionBesideTheHostAndStartsThePackage)
{
    install.Write("VLNRTEST.VLT", "[VLTest]\r\nVersion=1000\r\n");
    server.Serve(std::string(kServer) + "/vlnr/testnet/test.ini",
                 Response(200, Manifest("1.0.0.0", std::string(kServer) + "/pack.exe")));
    server.Serve(std::string(kServer) + "/pack.exe", Response(200, package));
    EXPECT_EQ(RunHost("/S 1 /T 1"), 0u);

    std::string started = TempPath() + "VLNRUpdatePackT.exe";
    ASSERT_TRUE(PumpUntil([&] { return FileExists(started + ".args"); }, 20000));
    EXPECT_EQ(ReadFileBytes(started + ".args"), "\"" + started + "\" /Velnor");
    EXPECT_FALSE(Recorded("HasUpdate").data.size());
    EXPECT_THAT(traces, testing::Contains(
        "strRegVersion= lpLocalVersion=1.0.0.0 szVersion=1.0.0.0 hasRegVersion=0"));
    EXPECT_EQ(traces.back(), "Etadpu: http://update.velnor.example/vlnr/acme/mu/acme_mu.txt");
    DeleteFileA((started + ".args").c_str());
}

TEST_F(EndToEnd, ASecondRunOfTheSameModeSweepsAndReturnsWhileTheFirstHoldsTheMutex)
{
    ScriptedResponse slow = Response(200, Manifest("1.0.0.6", std::string(kServer) + "/pack.exe"));
    slow.pauseAfter = 0;
    server.Serve(std::string(kServer) + "/vlnr/acme/all/acme_all.ini", slow);
    server.Serve(std::string(kServer) + "/pack.exe", Response(200, package));
    auto first = StartHost("");
    ASSERT_TRUE(PumpUntil([&] { return !server.Requests().empty(); }, 30000));

    std::string old = install.Write("sub\\left.(old)", "x");
    EXPECT_EQ(RunHost("/S 1"), 0u);
    EXPECT_FALSE(FileExists(old)) << "the sweep runs before the single-instance check";
    EXPECT_THAT(traces, ElementsAre("RD_XXXX", "IniFilePath", common / "Velnor\\VLNR.INI",
                                    "RD_XXXX return because of ERROR_ALREADY_EXISTS"));

    // Test mode has a mutex of its own: it runs alongside.
    EXPECT_EQ(RunHost("/T 1"), 0u);
    EXPECT_THAT(traces, testing::Contains("BeforeFileUpdate"));

    server.Resume();
    EXPECT_EQ(first->Wait().exitCode, 0u);
    EXPECT_EQ(Recorded("HasUpdate").dword(), 1u);
}

TEST_F(EndToEnd, WithoutTheFileUpdaterTheRunEndsNormally)
{
    DeleteFileA((install / "ZudEduzu.dll").c_str());
    OfferUpdate(std::string(kServer) + "/vlnr/acme/all/acme_all.ini");
    EXPECT_EQ(RunHost(""), 0u);
    ASSERT_FALSE(traces.empty());
    EXPECT_EQ(traces.back(), "FileUpdate");
    EXPECT_EQ(Recorded("HasUpdate").dword(), 1u);
}

TEST_F(EndToEnd, ANoUpdateRunWritesNothingAndStillHandsOn)
{
    common.Write("Velnor\\VLNR.INI", "[Version]\r\npacket=1.0.0.6\r\n");
    OfferUpdate(std::string(kServer) + "/vlnr/self/all/self_all.ini");
    EXPECT_EQ(RunHost("/S 0"), 0u);
    EXPECT_FALSE(Recorded("HasUpdate").data.size());
    EXPECT_EQ(traces.back(), "Etadpu: http://update.velnor.example/vlnr/self/mu/self_mu.txt");
}

TEST_F(EndToEnd, TwoRunsStartedTogetherMakeOneUpdate)
{
    ScriptedResponse slow = Response(200, Manifest("1.0.0.6", std::string(kServer) + "/pack.exe"));
    slow.pauseAfter = 0;
    server.Serve(std::string(kServer) + "/vlnr/acme/all/acme_all.ini", slow);
    server.Serve(std::string(kServer) + "/pack.exe", Response(200, package));
    auto first = StartHost("");
    auto second = StartHost("");
    HANDLE both[] = {first->handle(), second->handle()};
    ASSERT_EQ(WaitForMultipleObjects(2, both, FALSE, 60000) - WAIT_OBJECT_0 < 2, true)
        << "one run returns while the other waits for its manifest";
    server.Resume();
    EXPECT_EQ(first->Wait().exitCode, 0u);
    EXPECT_EQ(second->Wait().exitCode, 0u);

    const char kRefusal[] = "RD_XXXX return because of ERROR_ALREADY_EXISTS";
    std::vector<std::string> a = capture.Texts(first->id()), b = capture.Texts(second->id());
    ASSERT_FALSE(a.empty() || b.empty());
    EXPECT_EQ((a.back() == kRefusal) + (b.back() == kRefusal), 1);
    std::vector<std::string> targets = server.Targets();
    EXPECT_EQ(std::count(targets.begin(), targets.end(), std::string(kServer) + "/pack.exe"), 1);
    EXPECT_EQ(Recorded("HasUpdate").dword(), 1u);
}

TEST_F(EndToEnd, AHostEndedHardMidDownloadLeavesNoMutexBehind)
{
    ScriptedResponse slow = Response(200, package);
    slow.pauseAfter = package.size() / 2;
    server.Serve(std::string(kServer) + "/vlnr/acme/all/acme_all.ini",
                 Response(200, Manifest("1.0.0.6", std::string(kServer) + "/pack.exe")));
    server.Serve(std::string(kServer) + "/pack.exe", slow);
    auto killed = StartHost("");
    ASSERT_TRUE(PumpUntil([&] { return server.Targets().size() == 2; }, 30000));
    Sleep(300);
    killed->Kill();
    EXPECT_FALSE(Recorded("HasUpdate").data.size());

    server.Serve(std::string(kServer) + "/pack.exe", Response(200, package));
    EXPECT_EQ(RunHost(""), 0u);
    EXPECT_THAT(traces, testing::Contains("BeforeFileUpdate")) << "the mutex went with the process";
    EXPECT_EQ(ReadFileBytes(appData / "Velnor\\VLNRUpdate\\VLNRUpdate.exe"), package);
    server.Resume();
}

// The bytes of a cut package transfer, as they lie beside the package in
// the temporary folder between runs.
struct KeptPackage {
    std::string target = TempPath() + "VLNRUpdatePack.exe";
    std::string bytes = target + ".partial", record = target + ".resume";

    void Discard() const
    {
        for (const std::string& file : {target, bytes, record})
            DeleteFileA(file.c_str());
    }
    bool Kept() const { return FileExists(bytes) && FileExists(record); }
    // Read from the folder: the running transfer shares its file with nobody.
    size_t Length() const
    {
        WIN32_FILE_ATTRIBUTE_DATA data;
        return GetFileAttributesExA(bytes.c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0;
    }
};

// A run whose package transfer ends early leaves what the next run needs to
// fetch only the rest: whether it was cut or its host was killed mid-body.
TEST_F(EndToEnd, TheNextRunFetchesOnlyTheRestOfACutPackage)
{
    const std::string manifest = std::string(kServer) + "/vlnr/acme/all/acme_all.ini";
    const std::string packageUrl = std::string(kServer) + "/pack.exe";
    server.Serve(manifest, Response(200, Manifest("1.0.0.6", packageUrl)));
    KeptPackage kept;
    struct Case {
        const char* name;
        bool kill;  // else the server closes the connection mid-body
    } cases[] = {{"the connection closed mid-body", false}, {"the host killed mid-body", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kept.Discard();
        DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey);
        ScriptedResponse first = RangedFile(package, "ETag: \"p1\"");
        (c.kill ? first.pauseAfter : first.closeAfter) = package.size() / 2;
        server.Serve(packageUrl, first);
        if (c.kill) {
            auto killed = StartHost("");
            ASSERT_TRUE(PumpUntil([&] { return kept.Kept() && kept.Length() >= 65536; }, 60000));
            killed->Kill();
        } else {
            EXPECT_EQ(RunHost(""), 0u);
            EXPECT_THAT(traces, testing::Contains(testing::StartsWith("Package transfer cut at byte ")));
        }
        EXPECT_FALSE(Recorded("HasUpdate").data.size());
        EXPECT_FALSE(FileExists(kept.target)) << "never a partial file at the package's own name";
        ASSERT_TRUE(kept.Kept());
        size_t length = kept.Length();
        EXPECT_EQ(ReadFileBytes(kept.bytes), package.substr(0, length));

        server.Serve(packageUrl, RangedFile(package, "ETag: \"p1\""));
        EXPECT_EQ(RunHost(""), 0u);
        EXPECT_THAT(server.Requests().back(),
                    testing::HasSubstr("\r\nRange: bytes=" + std::to_string(length) + "-\r\n"));
        EXPECT_THAT(traces, testing::Contains("Package transfer resumes from byte " + std::to_string(length)));
        EXPECT_EQ(ReadFileBytes(appData / "Velnor\\VLNRUpdate\\VLNRUpdate.exe"), package);
        EXPECT_EQ(Recorded("HasUpdate").dword(), 1u);
        EXPECT_FALSE(FileExists(kept.bytes) || FileExists(kept.record)) << "nothing kept once whole";
        server.Resume();
    }
    kept.Discard();
}

// Kept bytes of an offer that is no longer made go with the next run: it
// offers another package, or nothing at all.
TEST_F(EndToEnd, KeptBytesOfAnOfferNoLongerMadeAreDeleted)
{
    const std::string manifest = std::string(kServer) + "/vlnr/acme/all/acme_all.ini";
    const std::string packageUrl = std::string(kServer) + "/pack.exe";
    const std::string otherUrl = std::string(kServer) + "/other.exe";
    KeptPackage kept;
    struct Case {
        const char* name;
        std::string secondManifest;
        const char* trace;
        bool records;
    } cases[] = {
        {"another package offered", Manifest("1.0.0.7", otherUrl),
         "Package transfer starts over: the kept bytes are of another offer", true},
        {"no update offered", Manifest("1.0.0.5", packageUrl),
         "Kept package bytes deleted: their offer is no longer made", false},
    };
    server.Serve(otherUrl, RangedFile(package, "ETag: \"o1\""));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kept.Discard();
        DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey);
        ScriptedResponse cut = RangedFile(package, "ETag: \"p1\"");
        cut.closeAfter = package.size() / 2;
        server.Serve(manifest, Response(200, Manifest("1.0.0.6", packageUrl)));
        server.Serve(packageUrl, cut);
        EXPECT_EQ(RunHost(""), 0u);
        ASSERT_TRUE(kept.Kept());

        server.Serve(manifest, Response(200, c.secondManifest));
        EXPECT_EQ(RunHost(""), 0u);
        EXPECT_THAT(traces, testing::Contains(c.trace));
        EXPECT_FALSE(FileExists(kept.bytes) || FileExists(kept.record));
        EXPECT_THAT(server.Requests().back(), testing::Not(testing::HasSubstr("Range:")));
        EXPECT_EQ(Recorded("HasUpdate").data.size() != 0, c.records);
    }
    kept.Discard();
}

TEST_F(EndToEnd, FiftyRunsInOneHostHoldNoMoreHandlesOrMemory)
{
    server.Serve(std::string(kServer) + "/vlnr/acme/all/acme_all.ini",
                 Response(200, Manifest("1.0.0.5", std::string(kServer) + "/pack.exe")));
    ProcessResult result = ChildProcess("\"" + ProgramFolder() + "\\loop_host.exe\" \"" +
                                            (install / "productupdate.dll") + "\" 50 \"/S 0\"",
                                        install.path())
                               .Wait(300000);
    ASSERT_EQ(result.exitCode, 0u) << result.errorOutput;
    std::vector<std::pair<unsigned long, unsigned long>> after;  // handle slot, private bytes
    std::istringstream lines(result.errorOutput);
    for (int run; lines >> run;) {
        unsigned long handles, memory;
        lines >> handles >> memory;
        after.emplace_back(handles, memory);
    }
    ASSERT_EQ(after.size(), 50u);
    std::printf("after run 10: handle slot %lu, %lu KiB; after run 50: handle slot %lu, %lu KiB\n",
                after[9].first, after[9].second / 1024, after[49].first, after[49].second / 1024);
    EXPECT_LE(after[49].first, after[9].first + 2);
    EXPECT_LE(after[49].second, after[9].second + 512 * 1024);
}

TEST_F(EndToEnd, APlantedFileUpdaterIsNeverLoaded)
{
    DeleteFileA((install / "ZudEduzu.dll").c_str());
    TempFolder planted;
    CopyFileTo(ProgramFolder() + "\\ZudEduzu.dll", planted / "ZudEduzu.dll");
    ScopedEnv path("PATH", (planted.path() + ";" + std::string(std::getenv("PATH"))).c_str());
    server.Serve(std::string(kServer) + "/vlnr/acme/all/acme_all.ini", Response(404, ""));

    // Neither from the current folder nor from the PATH.
    auto host = std::make_unique<ChildProcess>("\"" + (install / "updatehost.exe") + "\"", planted.path());
    EXPECT_EQ(host->Wait().exitCode, 0u);
    std::vector<std::string> lines = capture.Texts(host->id());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "FileUpdate");
}

// The host of several threads: a call that its mode's mutex refuses changes
// nothing of the run that holds it.
TEST_F(EndToEnd, ARefusedCallLeavesTheRunningRunsManifest)
{
    std::string ours = std::string(kServer) + "/ours.ini";
    std::string theirs = std::string(kServer) + "/theirs.ini";
    CopyFileTo(ProgramFolder() + "\\thread_host.exe", install / "thread_host.exe");
    ChildProcess host("\"" + (install / "thread_host.exe") + "\" \"" + (install / "productupdate.dll") +
                          "\" race \"/S 1 /URL " + ours + "\" \"/URL " + theirs + "\"",
                      install.path());
    EXPECT_EQ(host.Wait().exitCode, 0u);
    std::vector<std::string> texts = capture.Texts(host.id());
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "RD_XXXX return because of ERROR_ALREADY_EXISTS"), 1);
    EXPECT_THAT(server.Targets(), ElementsAre(ours)) << "the running run asks for its own manifest";
}

// A mutex that cannot be had is one that another run holds: an object of
// another kind under its name makes the creation fail.
TEST_F(EndToEnd, AMutexThatCannotBeCreatedRefusesTheRun)
{
    framework::Handle squatter(CreateEventA(nullptr, TRUE, FALSE, "{9B1F5E73-2A8C-4D6E-B047-3C9D1E5A7F08}"));
    ASSERT_TRUE(squatter);
    OfferUpdate(std::string(kServer) + "/vlnr/acme/all/acme_all.ini");
    EXPECT_EQ(RunHost(""), 0u);
    EXPECT_THAT(traces, testing::Contains("RD_XXXX return because of ERROR_ALREADY_EXISTS"));
    EXPECT_THAT(server.Targets(), IsEmpty());
}

// A host may free the module as soon as RD_XXXX returns, while the worker of
// a cancelled download still runs.
TEST_F(EndToEnd, AWorkerOutlivesAHostThatFreesTheModule)
{
    ScriptedResponse slow = Response(200, package);
    slow.pauseAfter = 2000;
    server.Serve(std::string(kServer) + "/vlnr/acme/all/acme_all.ini",
                 Response(200, Manifest("1.0.0.6", std::string(kServer) + "/pack.exe")));
    server.Serve(std::string(kServer) + "/pack.exe", slow);
    CopyFileTo(ProgramFolder() + "\\thread_host.exe", install / "thread_host.exe");
    std::string marker = install / "freed";
    ChildProcess host("\"" + (install / "thread_host.exe") + "\" \"" + (install / "productupdate.dll") +
                          "\" unload \"/S 1\" \"" + marker + "\"",
                      install.path());
    for (int i = 0; i < 200 && !FileExists(marker); ++i)
        Sleep(50);
    ASSERT_TRUE(FileExists(marker)) << "the host did not get through its run";
    server.Resume();  // the worker wakes in a host that freed the module
    ProcessResult result = host.Wait();
    EXPECT_EQ(result.exitCode, 0u) << result.errorOutput;
    EXPECT_FALSE(Recorded("HasUpdate").dword()) << "a cancelled download records nothing";
}

// The run log in the user data folder, taken apart line by line.
struct LogLine {
    std::string stamp, mode;
    DWORD processId;
    std::string text;
};

// Every line of the text, which must all have the log's form and end whole.
std::vector<LogLine> LogLines(const std::string& text)
{
    static const std::regex form(R"((\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z) (\S+) (\d+) (.*))");
    std::vector<LogLine> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        std::smatch parts;
        std::string line = text.substr(start, end - start);
        if (!std::regex_match(line, parts, form)) {
            ADD_FAILURE() << "not a whole log line: " << line;
            continue;
        }
        lines.push_back({parts[1], parts[2], std::stoul(parts[3]), parts[4]});
    }
    EXPECT_EQ(start, text.size()) << "the log ends in part of a line";
    return lines;
}

// The lines of one process, which must carry one mode and rising stamps.
std::vector<std::string> LoggedTexts(const std::vector<LogLine>& lines, DWORD processId,
                                     const std::string& mode)
{
    std::vector<std::string> texts;
    std::string last;
    for (const LogLine& line : lines) {
        if (line.processId != processId)
            continue;
        EXPECT_EQ(line.mode, mode) << line.text;
        EXPECT_LE(last, line.stamp) << line.text;
        last = line.stamp;
        texts.push_back(line.text);
    }
    return texts;
}

// The module's own lines: those of the file-by-file updater, a library of
// its own, do not go to the module's log.
std::vector<std::string> ModuleTexts(std::vector<std::string> texts)
{
    texts.erase(std::remove_if(texts.begin(), texts.end(),
                               [](const std::string& text) { return text.rfind("Etadpu: ", 0) == 0; }),
                texts.end());
    return texts;
}

// Whole lines of exactly this many bytes (none, or more than a line end), as
// an earlier run leaves them.
std::string EarlierLog(size_t size)
{
    std::string line = "2020-01-01T00:00:00.000Z normal/hidden 1 an earlier run's line\r\n";
    std::string text;
    while (text.size() + 2 * line.size() <= size)
        text += line;
    return size == 0 ? text : text + std::string(size - text.size() - 2, '.') + "\r\n";
}

const size_t kLogCap = 256 * 1024;

TEST_F(EndToEnd, RunsKeepTheirTraceLinesInALogInTheUserDataFolder)
{
    const std::string log = appData / "Velnor\\VLNRUpdate.log";
    const std::string older = appData / "Velnor\\VLNRUpdate.1.log";
    const std::string packageUrl = std::string(kServer) + "/pack.exe";
    KeptPackage kept;
    struct Case {
        const char* name;
        std::string switches;
        bool cutDownload;  // an offer whose package transfer is cut
        bool refused;      // another holds the normal mode's mutex
        size_t earlier;    // bytes of the log before the run
        const char* mode;
        bool rotates;
    } cases[] = {
        {"a hidden run, no log yet", "", true, false, 0, "normal/hidden", false},
        {"a test run after a short log", "/S 1 /T 1", false, false, 1000, "test/hidden", false},
        {"a refused shown run, the log at its cap", "/S 1", false, true, kLogCap, "normal/shown", true},
        {"a hidden run, the log above its cap", "", false, false, kLogCap + 900, "normal/hidden", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kept.Discard();
        DeleteFileA(log.c_str());
        const std::string before = EarlierLog(c.earlier);
        if (c.earlier)
            appData.Write("Velnor\\VLNRUpdate.log", before);
        appData.Write("Velnor\\VLNRUpdate.1.log", "the oldest lines\r\n");
        server.Serve(std::string(kServer) + "/vlnr/acme/all/acme_all.ini",
                     c.cutDownload ? Response(200, Manifest("1.0.0.6", packageUrl)) : Response(404, ""));
        ScriptedResponse cut = RangedFile(package, "ETag: \"p1\"");
        cut.closeAfter = package.size() / 2;
        server.Serve(packageUrl, cut);
        framework::Handle squatter;
        if (c.refused)
            squatter.reset(CreateMutexA(nullptr, FALSE, "{9B1F5E73-2A8C-4D6E-B047-3C9D1E5A7F08}"));

        auto host = StartHost(c.switches);
        ASSERT_EQ(host->Wait().exitCode, 0u);
        std::vector<std::string> traced = ModuleTexts(capture.Texts(host->id()));
        ASSERT_FALSE(traced.empty());
        if (c.cutDownload) {  // a line from the download's worker
            EXPECT_THAT(traced, testing::Contains(testing::StartsWith("Package transfer cut at byte ")));
        }
        if (c.refused) {
            EXPECT_EQ(traced.back(), "RD_XXXX return because of ERROR_ALREADY_EXISTS");
        }

        std::string text = ReadFileBytes(log);
        EXPECT_EQ(ReadFileBytes(older), c.rotates ? before : "the oldest lines\r\n");
        if (!c.rotates) {
            ASSERT_EQ(text.substr(0, before.size()), before) << "appended to what was there";
            text.erase(0, before.size());
        }
        EXPECT_EQ(LoggedTexts(LogLines(text), host->id(), c.mode), traced);
    }
    kept.Discard();

    // A normal run and a test run at once, in two processes, give whole lines.
    DeleteFileA(log.c_str());
    ScriptedResponse waiting = Response(200, Manifest("1.0.0.5", std::string(kServer) + "/none.exe"));
    waiting.pauseAfter = 0;
    server.Serve(std::string(kServer) + "/vlnr/acme/all/acme_all.ini", waiting);
    server.Serve(std::string(kServer) + "/vlnr/testnet/test.ini", waiting);
    const size_t asked = server.Requests().size();
    auto normal = StartHost(""), test = StartHost("/T 1");
    ASSERT_TRUE(PumpUntil([&] { return server.Requests().size() >= asked + 2; }, 60000));
    server.Resume();
    ASSERT_EQ(normal->Wait().exitCode, 0u);
    ASSERT_EQ(test->Wait().exitCode, 0u);
    std::vector<LogLine> lines = LogLines(ReadFileBytes(log));
    EXPECT_EQ(LoggedTexts(lines, normal->id(), "normal/hidden"), ModuleTexts(capture.Texts(normal->id())));
    EXPECT_EQ(LoggedTexts(lines, test->id(), "test/hidden"), ModuleTexts(capture.Texts(test->id())));
}

// The Windows path of a disk that scripts/test mounted, if it did.
std::optional<std::string> MountedDisk(const char* variable)
{
    const char* mounted = std::getenv(variable);
    if (!mounted)
        return std::nullopt;
    std::string path = "Z:" + std::string(mounted);
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Writes a file until the disk has no room left; returns its path.
std::string FillDisk(const std::string& folder)
{
    std::string path = folder + "\\filler";
    framework::FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    const std::string block(4096, 'f');
    DWORD written = 0;
    while (file && WriteFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &written,
                             nullptr) &&
           written == block.size()) {
    }
    return path;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes)
{
    framework::FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// A run whose log cannot be written runs as one whose log can: the same trace
// lines, the same outcome, and nothing shown.
TEST_F(EndToEnd, ARunWhoseLogCannotBeWrittenRunsAsBefore)
{
    OfferUpdate(std::string(kServer) + "/vlnr/acme/all/acme_all.ini");
    const std::string copy = "Velnor\\VLNRUpdate\\VLNRUpdate.exe";
    const std::string earlier = EarlierLog(2 * 4096 - 100);  // its last page all but full
    std::unique_ptr<ChildProcess> holder;
    std::string userData, filler;
    auto log = [&] { return userData + "\\Velnor\\VLNRUpdate.log"; };
    struct Case {
        const char* name;
        const char* disk;  // the variable that names a disk of scripts/test, or none
        std::function<void(const std::string& disk)> block;
        bool records;  // the user data folder takes the package's copy
    } cases[] = {
        {"a folder where the log belongs", nullptr,
         [&](const std::string&) { EXPECT_TRUE(CreateDirectoryA(log().c_str(), nullptr)); }, true},
        {"the log held by another program", nullptr,
         [&](const std::string&) {
             holder = std::make_unique<ChildProcess>(
                 "\"" + ProgramFolder() + "\\hold_file.exe\" \"" + log() + "\" 60", install.path());
             EXPECT_TRUE(PumpUntil([&] { return FileExists(log()); }, 20000));
         },
         true},
        {"the user data folder missing on a read-only disk", "VELNOR_READONLY_DISK",
         [&](const std::string& disk) { userData = disk; }, false},
        {"the log on a full disk", "VELNOR_FULL_DISK",
         [&](const std::string& disk) {
             userData = disk + "\\" + install.path().substr(install.path().find_last_of('\\') + 1);
             CreateDirectoryA(userData.c_str(), nullptr);
             CreateDirectoryA((userData + "\\Velnor").c_str(), nullptr);
             EXPECT_EQ(WriteWholeFile(log(), earlier), true);
             filler = FillDisk(disk);
         },
         false},
    };
    CreateDirectoryA((appData / "Velnor").c_str(), nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<std::string> disk = c.disk ? MountedDisk(c.disk) : std::string();
        if (!disk) {
            std::printf("skipped, this machine mounts no such disk: %s\n", c.name);
            continue;
        }
        DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey);
        userData = appData.path();
        DeleteFileA(log().c_str());
        DeleteFileA((userData + "\\" + copy).c_str());
        c.block(*disk);
        WriteRegString(HKEY_CURRENT_USER, "Volatile Environment", "APPDATA", userData);

        EXPECT_EQ(RunHost(""), 0u);
        EXPECT_THAT(traces, ElementsAreArray(UpdateRunTraces()));
        EXPECT_EQ(Recorded("HasUpdate").dword(), c.records ? 1u : 0u);
        EXPECT_EQ(ReadFileBytes(userData + "\\" + copy) == package, c.records);

        holder.reset();
        RemoveDirectoryA(log().c_str());
        WriteRegString(HKEY_CURRENT_USER, "Volatile Environment", "APPDATA", appData.path());
        if (!filler.empty()) {
            std::string kept = ReadFileBytes(log());
            DeleteFileA(filler.c_str());
            filler.clear();
            RemoveTree(userData);
            EXPECT_EQ(kept.substr(0, earlier.size()), earlier);
            LogLines(kept.substr(earlier.size()));  // what fitted, in whole lines
        }
    }
}

// Clients spread over the mirrors: separate processes do not all fetch the
// same copy (an unseeded generator gives every process the same first pick).
TEST(MirrorPick, SeparateProcessesPickDifferentMirrors)
{
    std::vector<int> picks(4);
    for (int run = 0; run < 24; ++run) {
        DWORD pick = RunProcess("\"" + ProgramFolder() + "\\pick_mirror.exe\" 4", ProgramFolder()).exitCode;
        ASSERT_LT(pick, 4u);
        ++picks[pick];
    }
    // 24 runs all on one mirror out of four: a chance of 4^-23 for a fair pick.
    EXPECT_LT(*std::max_element(picks.begin(), picks.end()), 24) << testing::PrintToString(picks);
}

}  // namespace
