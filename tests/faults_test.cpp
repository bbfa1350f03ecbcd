// Whatever the server, the disk or another program does, a run ends, leaves
// no partial file and writes no half-true record. Each case is a hidden run
// of the wizard against the scripted server, with an earlier update record in
// the registry that must stay as it was unless a package arrived whole.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "framework/handles.h"
#include "framework/path.h"
#include "package/held_package.h"
#include "package/update_record.h"
#include "support/http_test_server.h"
#include "support/process.h"
#include "support/registry.h"
#include "support/temp_folder.h"
#include "support/wizard_run.h"

namespace {

const char kUpdateKey[] = "Software\\Velnor\\Update";

std::string Manifest(const std::string& packageUrl)
{
    return "[Full]\r\nVer=1.0.0.6\r\nPacketCount=1\r\n"
           "[Packet0]\r\nmin=1.0.0.0\r\nmax=2.0.0.0\r\nforce=1\r\nsilent=0\r\nFileCount=1\r\n"
           "File0=" + packageUrl + "\r\n";
}

std::string Bytes(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + i / 251);
    return bytes;
}

ScriptedResponse CutAt(ScriptedResponse response, size_t bytes)
{
    response.closeAfter = bytes;
    return response;
}

ScriptedResponse Head(const std::string& head, const std::string& body)
{
    return RawResponse(head + "Connection: close\r\n", body);
}

// The server-side faults, each for the manifest and for the package. The last
// one is no fault: a large header block is fine when the body comes whole.
std::vector<std::pair<std::string, ScriptedResponse>> ServerFaults(const std::string& body,
                                                                   const std::string& redirect)
{
    std::string length = "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return {
        {"closed at half", CutAt(Response(200, body), body.size() / 2)},
        {"body shorter than declared", Head("HTTP/1.1 200 OK\r\nContent-Length: " +
                                                std::to_string(body.size() + 100) + "\r\n", body)},
        {"length 0", Head("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n", body)},
        {"negative length", Head("HTTP/1.1 200 OK\r\nContent-Length: -1\r\n", body)},
        {"length not a number", Head("HTTP/1.1 200 OK\r\nContent-Length: many\r\n", body)},
        {"length of gigabytes", Head("HTTP/1.1 200 OK\r\nContent-Length: 5368709120\r\n", body)},
        {"two lengths", Head("HTTP/1.1 200 OK\r\n" + length + "Content-Length: 7\r\n", body)},
        {"404", Response(404, body)},
        {"503", Response(503, body)},
        {"redirect without Location", Response(302, "")},
        {"redirect to ftp", Response(302, "", "Location: ftp://127.0.0.1/pack.exe\r\n")},
        {"redirect to https", Response(301, "", "Location: https://127.0.0.1/pack.exe\r\n")},
        {"redirect to a redirect", Response(302, "", "Location: " + redirect + "\r\n")},
        {"status not a number", Head("HTTP/1.1 abc Fine\r\n" + length, body)},
        {"no status line", Head("Content-Type: text/plain\r\n" + length, body)},
        {"garbage head", RawResponse(std::string("\x01\x02\xFF\xFE garbage\r\n\r\n", 16), body)},
        {"header without colon", Head("HTTP/1.1 200 OK\r\nContent-Length " +
                                          std::to_string(body.size()) + "\r\n", body)},
        {"one megabyte of headers", Head("HTTP/1.1 200 OK\r\nX-Pad: " + std::string(1 << 20, 'p') +
                                             "\r\n" + length, body)},
    };
}

// A manifest's body may end with its connection, as its size is capped
// anyway; a package's only against its pin.
bool ArrivesWhole(const std::string& fault, bool manifest = false)
{
    return fault == "one megabyte of headers" || (manifest && fault == "header without colon");
}

class Faults : public testing::Test {
protected:
    void SetUp() override
    {
        RecordEarlierUpdate();
        context.userDataDirectory = folder / "UserData";
        CreateDirectoryA(context.userDataDirectory.c_str(), nullptr);
        server.Serve("/redirect", Response(302, "", "Location: " + server.Url("/pack.exe") + "\r\n"));
        DeleteFileA(Package().c_str());
    }
    void TearDown() override
    {
        DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey);
        DeleteFileA(Package().c_str());
        RemoveDirectoryA(Package().c_str());
    }

    void RecordEarlierUpdate()
    {
        DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey);
        WriteRegDword(HKEY_CURRENT_USER, kUpdateKey, "HasUpdate", 1);
        WriteRegString(HKEY_CURRENT_USER, kUpdateKey, "UpdateVersion", "1.0.0.1");
        WriteRegString(HKEY_CURRENT_USER, kUpdateKey, "UpdatePath", "C:\\earlier\\VLNRUpdate.exe");
        WriteRegDword(HKEY_CURRENT_USER, kUpdateKey, "force", 0);
        WriteRegDword(HKEY_CURRENT_USER, kUpdateKey, "Silent", 1);
        earlier = Record();
    }

    std::string Package() const { return framework::TempFolder() + "VLNRUpdatePack.exe"; }
    std::string Manifest() const { return framework::TempFolder() + "VLNRUpdate.ini"; }
    std::string Copy() const { return folder / "UserData\\VLNRUpdate\\VLNRUpdate.exe"; }

    std::vector<std::string> Record() const
    {
        std::vector<std::string> values;
        for (const char* name : {"HasUpdate", "UpdateVersion", "UpdatePath", "force", "Silent"}) {
            auto value = ReadRegValue(HKEY_CURRENT_USER, kUpdateKey, name);
            values.push_back(value ? std::string(value->data.begin(), value->data.end()) : "-");
        }
        return values;
    }

    // A hidden run with a watchdog: false when the run did not end on its own.
    bool RunEnds(DWORD limitMs = 120000)
    {
        WizardRun frame(context, folder / "VLNR.INI", server.Url("/manifest.ini"));
        frame.installedVersion = "1.0.0.5";
        static WizardFrame* watched;
        watched = &frame;
        UINT_PTR timer = SetTimer(nullptr, 0, limitMs, [](HWND, UINT, UINT_PTR, DWORD) CALLBACK {
            watched->EndDialog(IDABORT);
        });
        int result = frame.DoModal();
        KillTimer(nullptr, timer);
        return result != IDABORT;
    }

    ModuleContext context;
    HttpTestServer server;
    TempFolder folder;
    std::vector<std::string> earlier;
    std::string package = Bytes(300000);
};

TEST_F(Faults, ABrokenManifestTransferEndsTheRunWithNothingLeftOrWritten)
{
    std::string manifest = ::Manifest(server.Url("/pack.exe"));
    server.Serve("/pack.exe", Response(200, package));
    for (auto& [name, response] : ServerFaults(manifest, server.Url("/redirect"))) {
        SCOPED_TRACE(name);
        RecordEarlierUpdate();
        server.Serve("/manifest.ini", response);
        EXPECT_TRUE(RunEnds());
        EXPECT_FALSE(FileExists(Manifest()));
        EXPECT_EQ(Record() == earlier, !ArrivesWhole(name, true));
    }
}

TEST_F(Faults, ABrokenPackageTransferEndsTheRunWithNothingLeftOrWritten)
{
    server.Serve("/manifest.ini", Response(200, ::Manifest(server.Url("/pack.exe"))));
    for (auto& [name, response] : ServerFaults(package, server.Url("/redirect"))) {
        SCOPED_TRACE(name);
        RecordEarlierUpdate();
        DeleteFileA(Copy().c_str());
        server.Serve("/pack.exe", response);
        EXPECT_TRUE(RunEnds());
        EXPECT_EQ(FileExists(Package()), ArrivesWhole(name));
        EXPECT_EQ(FileExists(Copy()), ArrivesWhole(name));
        EXPECT_EQ(Record() == earlier, !ArrivesWhole(name));
    }
    // The same run with the package whole does record it.
    server.Serve("/pack.exe", Response(200, package));
    EXPECT_TRUE(RunEnds());
    EXPECT_EQ(ReadFileBytes(Copy()), package);
    EXPECT_NE(Record(), earlier);
}

TEST_F(Faults, AServerThatStallsAfterItsHeadersStillEndsTheRun)
{
    server.Serve("/manifest.ini", Response(200, ::Manifest(server.Url("/pack.exe"))));
    ScriptedResponse stall = Response(200, package);
    stall.pauseAfter = 5000;
    server.Serve("/pack.exe", stall);
    DWORD start = GetTickCount();
    EXPECT_TRUE(RunEnds(240000));
    std::printf("a stalled package transfer ended after %lu ms\n", GetTickCount() - start);
    EXPECT_GE(GetTickCount() - start, 29000u) << "the network timeout, not an early give-up";
    EXPECT_FALSE(FileExists(Package()));
    EXPECT_EQ(Record(), earlier);
    server.Resume();
}

TEST_F(Faults, APackageTargetThatCannotBeWrittenRecordsNothing)
{
    server.Serve("/manifest.ini", Response(200, ::Manifest(server.Url("/pack.exe"))));
    server.Serve("/pack.exe", Response(200, package));

    CreateDirectoryA(Package().c_str(), nullptr);  // a folder of that name
    EXPECT_TRUE(RunEnds());
    EXPECT_EQ(Record(), earlier);
    RemoveDirectoryA(Package().c_str());

    ChildProcess holder("\"" + ProgramFolder() + "\\hold_file.exe\" \"" + Package() + "\" 60",
                        folder.path());
    for (int waited = 0; waited < 200 && !FileExists(Package()); ++waited)
        Sleep(50);
    ASSERT_TRUE(FileExists(Package())) << "the other program holds the file";
    EXPECT_TRUE(RunEnds());
    EXPECT_EQ(Record(), earlier);
    EXPECT_FALSE(FileExists(Copy()));
    holder.Kill();
}

// The disks come from scripts/test, where the machine lets it mount them.
TEST_F(Faults, AFullOrReadOnlyDiskFailsTheDownloadAndRecordsNothing)
{
    server.Serve("/manifest.ini", Response(200, ::Manifest(server.Url("/pack.exe"))));
    server.Serve("/pack.exe", Response(200, package));
    int tried = 0;
    for (const char* variable : {"VELNOR_FULL_DISK", "VELNOR_READONLY_DISK"}) {
        const char* mounted = std::getenv(variable);
        if (!mounted)
            continue;
        SCOPED_TRACE(variable);
        ++tried;
        std::string folder = "Z:" + std::string(mounted);
        std::replace(folder.begin(), folder.end(), '/', '\\');
        ScopedEnv tmp("TMP", folder.c_str());
        ScopedEnv temp("TEMP", folder.c_str());
        ASSERT_EQ(framework::TempFolder(), folder + "\\");
        EXPECT_TRUE(RunEnds());
        EXPECT_FALSE(FileExists(Package()));
        EXPECT_EQ(Record(), earlier);
    }
    if (tried == 0)
        GTEST_SKIP() << "this machine mounts no small or read-only disk";
}

TEST_F(Faults, AFailedCopyToTheUserDataFolderRecordsNothing)
{
    server.Serve("/manifest.ini", Response(200, ::Manifest(server.Url("/pack.exe"))));
    server.Serve("/pack.exe", Response(200, package));
    folder.Write("UserData\\VLNRUpdate", "a file where the folder belongs");
    EXPECT_TRUE(RunEnds());
    EXPECT_EQ(Record(), earlier);

    context.userDataDirectory = "Q:\\no such drive";
    EXPECT_TRUE(RunEnds());
    EXPECT_EQ(Record(), earlier);
}

// A copy that runs out of room midway must not cost the update that is
// already pending: its file and its record stay as they were.
TEST_F(Faults, ACopyThatFillsTheDiskKeepsThePendingUpdate)
{
    const char* mounted = std::getenv("VELNOR_FULL_DISK");
    if (!mounted)
        GTEST_SKIP() << "this machine mounts no small disk";
    std::string disk = "Z:" + std::string(mounted);
    std::replace(disk.begin(), disk.end(), '/', '\\');
    TempFolder onDisk;  // only for its unique name
    std::string userData = disk + "\\" + onDisk.path().substr(onDisk.path().find_last_of('\\') + 1);
    std::string pending = userData + "\\VLNRUpdate\\VLNRUpdate.exe";
    std::string earlierPackage = Bytes(20000);
    CreateDirectoryA(userData.c_str(), nullptr);
    CreateDirectoryA((userData + "\\VLNRUpdate").c_str(), nullptr);
    {
        framework::FileHandle file(CreateFileA(pending.c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        ASSERT_TRUE(file && WriteFile(file.get(), earlierPackage.data(),
                                      static_cast<DWORD>(earlierPackage.size()), &written, nullptr));
    }
    WriteRegString(HKEY_CURRENT_USER, kUpdateKey, "UpdatePath", pending.c_str());
    earlier = Record();
    context.userDataDirectory = userData;

    server.Serve("/manifest.ini", Response(200, ::Manifest(server.Url("/pack.exe"))));
    server.Serve("/pack.exe", Response(200, Bytes(400000)));  // more than the disk holds
    EXPECT_TRUE(RunEnds());
    EXPECT_TRUE(ReadFileBytes(pending) == earlierPackage) << "the pending copy is whole";
    EXPECT_EQ(Record(), earlier);
    WIN32_FIND_DATAA found;
    int files = 0;
    framework::FindHandle search(FindFirstFileA((userData + "\\VLNRUpdate\\*").c_str(), &found));
    for (bool more = bool(search); more; more = FindNextFileA(search.get(), &found))
        files += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    EXPECT_EQ(files, 1) << "nothing left beside the pending copy";
    RemoveTree(userData);
}

// The registry store with one of its writes failing: no registry write of
// the record can be made to fail on cue under Wine, so the chosen write
// fails here and every other goes to the real registry.
class StoreFailingAt : public SettingsKeyStore {
public:
    explicit StoreFailingAt(int failing) : failing_(failing) { SetRegistryName("Velnor"); }
    bool WriteInt(const char* section, const char* entry, int value) const override
    {
        return ++writes_ != failing_ && SettingsKeyStore::WriteInt(section, entry, value);
    }
    bool WriteString(const char* section, const char* entry, const char* value) const override
    {
        return ++writes_ != failing_ && SettingsKeyStore::WriteString(section, entry, value);
    }

private:
    int failing_;
    mutable int writes_ = 0;
};

TEST_F(Faults, ARecordWithAFailedWriteClaimsNoUpdate)
{
    const UpdateRecord next{"1.0.0.6", "C:\\next\\VLNRUpdate.exe", 1, 0};
    for (int failing = 1; failing <= 5; ++failing) {
        SCOPED_TRACE("write " + std::to_string(failing) + " fails");
        RecordEarlierUpdate();
        WriteUpdateRecord(StoreFailingAt(failing), next);
        auto hasUpdate = ReadRegValue(HKEY_CURRENT_USER, kUpdateKey, "HasUpdate");
        EXPECT_TRUE(!hasUpdate || hasUpdate->dword() == 0) << "a record that names one package "
                                                               "and points at another";
        EXPECT_FALSE(ReadRegValue(HKEY_CURRENT_USER, kUpdateKey, "UpdateVersion"))
            << "a version left behind makes the next check take the update as fetched";
    }
    // With every write through, the record is the new one.
    RecordEarlierUpdate();
    WriteUpdateRecord(StoreFailingAt(0), next);
    auto value = [](const char* name) {
        return ReadRegValue(HKEY_CURRENT_USER, kUpdateKey, name).value_or(RegValue{});
    };
    EXPECT_EQ(value("HasUpdate").dword(), 1u);
    EXPECT_EQ(value("UpdateVersion").text(), next.version);
    EXPECT_EQ(value("UpdatePath").text(), next.path);
    EXPECT_EQ(value("force").dword(), 1u);
    EXPECT_EQ(value("Silent").dword(), 0u);
}

TEST_F(Faults, ManifestsOfEveryShapeEndTheRunAndAreDeleted)
{
    server.Serve("/pack.exe", Response(200, package));
    const std::string url = server.Url("/pack.exe");
    const std::string valid = ::Manifest(url);
    std::wstring wide(valid.begin(), valid.end());
    std::string utf16 = "\xFF\xFE" + std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    auto sections = [](int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += "[Section" + std::to_string(i) + "]\r\nkey=" + std::string(400, 'v') + "\r\n";
        return text;
    };
    struct Case {
        const char* name;
        std::string manifest;
        bool offers;
    } cases[] = {
        {"empty", "", false},
        {"binary", Bytes(5000), false},
        {"below a megabyte", sections(2000) + valid, true},
        {"eight megabytes, never fetched whole", sections(20000) + valid, false},
        {"UTF-16", utf16, true},
        {"duplicate sections", valid + "[Full]\r\nVer=9.0.0.0\r\n[Packet0]\r\nmax=0.0.0.1\r\n", true},
        {"negative and huge counts",
         "[Full]\r\nVer=1.0.0.6\r\nPacketCount=-5\r\nFileCount=2147483647\r\nFile0=" + url + "\r\n", true},
        {"fewer fields", "[Full]\r\nVer=2\r\nPacketCount=1\r\n[Packet0]\r\nmin=1\r\nmax=3\r\n"
                         "FileCount=1\r\nFile0=" + url + "\r\n", true},
        {"more fields", "[Full]\r\nVer=1.0.0.5.9\r\nFileCount=1\r\nFile0=" + url + "\r\n", false},
        {"fields beyond 32 bits", "[Full]\r\nVer=99999999999.0.0.0\r\nFileCount=1\r\nFile0=" + url + "\r\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey);
        server.Serve("/manifest.ini", Response(200, c.manifest));
        EXPECT_TRUE(RunEnds());
        EXPECT_FALSE(FileExists(Manifest()));
        EXPECT_EQ(ReadRegValue(HKEY_CURRENT_USER, kUpdateKey, "HasUpdate").has_value(), c.offers);
    }
}

// The package is checked again through the handle that then holds it, since
// it sat in the temporary folder after its transfer; while held, nobody can
// change, rename or delete it, but it can be copied and started.
TEST_F(Faults, APackageIsCheckedAgainAndCannotChangeWhileHeld)
{
    std::string bytes = ReadFileBytes(ProgramFolder() + "\\record_args.exe");
    PackagePin pin;
    pin.digest = framework::Sha256Of(bytes.data(), bytes.size());
    pin.size = bytes.size();
    std::string altered = bytes;
    altered[altered.size() / 2] ^= 1;
    struct Case {
        const char* name;
        std::string file;
        PackagePin pin;
        bool held;
    } cases[] = {
        {"as pinned", bytes, pin, true},
        {"unpinned", altered, {}, true},
        {"altered after its transfer", altered, pin, false},
        {"cut after its transfer", bytes.substr(0, 100), pin, false},
        {"empty", "", {}, false},
    };
    for (const Case& c : cases) {
        std::string path = folder.Write("VLNRUpdatePack.exe", c.file);
        framework::FileHandle held = HoldPackage(path, c.pin);
        EXPECT_EQ(bool(held), c.held) << c.name;
        if (!held)
            continue;
        EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr),
                  INVALID_HANDLE_VALUE)
            << c.name;
        EXPECT_FALSE(DeleteFileA(path.c_str())) << c.name;
        EXPECT_FALSE(MoveFileExA(path.c_str(), (folder / "moved.exe").c_str(), MOVEFILE_REPLACE_EXISTING))
            << c.name;
        EXPECT_TRUE(CopyFileA(path.c_str(), (folder / "copy.exe").c_str(), FALSE)) << c.name;
        EXPECT_EQ(ReadFileBytes(folder / "copy.exe"), c.file) << c.name;
        ChildProcess started("\"" + path + "\" /Velnor", folder.path());
        EXPECT_EQ(started.Wait().exitCode, 0u) << c.name;
        held.reset();
        EXPECT_TRUE(DeleteFileA(path.c_str())) << c.name;
    }
}

}  // namespace
