// The companions of the module: the host process, run as the product runs it,
// and the file-by-file updater's export.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "companions/host/command_line.h"
#include "framework/win.h"
#include "support/debug_capture.h"
#include "support/process.h"
#include "support/temp_folder.h"

namespace {

class UpdateHost : public testing::Test {
protected:
    // updatehost.exe alone in a folder of its own; a path with a space, quoted.
    void SetUp() override
    {
        CreateDirectoryA(host.c_str(), nullptr);
        CopyFileTo(ProgramFolder() + "\\updatehost.exe", host + "\\updatehost.exe");
    }
    ProcessResult Run(const std::string& arguments)
    {
        return RunProcess("\"" + host + "\\updatehost.exe\" " + arguments, folder.path());
    }

    TempFolder folder;
    std::string host = folder / "the host";
};

TEST_F(UpdateHost, WithoutTheModuleItSaysSoAndEndsWith2)
{
    ProcessResult result = Run("/S 1");
    EXPECT_EQ(result.exitCode, 2u);
    EXPECT_NE(result.errorOutput.find("cannot load " + host + "\\productupdate.dll"),
              std::string::npos)
        << result.errorOutput;
    EXPECT_EQ(result.errorOutput.find('\n'), result.errorOutput.size() - 1) << "one line";
}

TEST_F(UpdateHost, AModuleWithoutTheEntryIsRefusedWith2)
{
    // A DLL that loads but does not export RD_XXXX.
    CopyFileTo(ProgramFolder() + "\\ZudEduzu.dll", host + "\\productupdate.dll");
    ProcessResult result = Run("/S 1");
    EXPECT_EQ(result.exitCode, 2u);
    EXPECT_NE(result.errorOutput.find("has no export RD_XXXX"), std::string::npos)
        << result.errorOutput;
}

TEST_F(UpdateHost, CallsTheModuleBesideItAndEndsWith0)
{
    CopyFileTo(ProgramFolder() + "\\productupdate.dll", host + "\\productupdate.dll");
    // A hidden run whose manifest cannot be fetched ends on its own.
    ProcessResult result = Run("/S 0 /URL http://127.0.0.1:1/x.ini");
    EXPECT_EQ(result.exitCode, 0u) << result.errorOutput;
    EXPECT_EQ(result.errorOutput, "");
}

TEST(HostCommandLine, TheArgumentsFollowTheProgramNameAsWritten)
{
    EXPECT_STREQ(SkipProgramName("\"C:\\a b\\updatehost.exe\" /S 1"), "/S 1");
    EXPECT_STREQ(SkipProgramName("\"C:\\a b\\updatehost.exe\"/S 1"), "/S 1");
    EXPECT_STREQ(SkipProgramName("updatehost.exe \t /URL \"a b\" "), "/URL \"a b\" ");
    EXPECT_STREQ(SkipProgramName("C:\\x\\updatehost.exe"), "");
    EXPECT_STREQ(SkipProgramName("\"C:\\x\\updatehost.exe\""), "");
    EXPECT_STREQ(SkipProgramName("\"C:\\no end /S 1"), "") << "a quote that never closes";
    EXPECT_STREQ(SkipProgramName(""), "");
}

TEST(FileUpdate, ExportsEtadpuUndecorated)
{
    HMODULE library = LoadLibraryA((ProgramFolder() + "\\ZudEduzu.dll").c_str());
    ASSERT_NE(library, nullptr) << GetLastError();
    auto etadpu = reinterpret_cast<void(__stdcall*)(const char*)>(
        reinterpret_cast<void*>(GetProcAddress(library, "Etadpu")));
    ASSERT_NE(etadpu, nullptr);
    EXPECT_EQ(GetProcAddress(library, "Etadpu@4"), nullptr);
    EXPECT_EQ(GetProcAddress(library, "_Etadpu@4"), nullptr);
    DebugCapture capture;
    etadpu("http://127.0.0.1/vlnr/1/mu/1_mu.txt");
    etadpu(nullptr);
    EXPECT_THAT(capture.Texts(),
                testing::ElementsAre("Etadpu: http://127.0.0.1/vlnr/1/mu/1_mu.txt", "Etadpu: "));
    FreeLibrary(library);
}

}  // namespace
