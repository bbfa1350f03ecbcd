// The shipped DLL, loaded as a host loads it: its one export, and nothing of
// its start-up run under the loader lock; and the start-up that its first
// call runs instead.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "framework/app.h"
#include "framework/win.h"
#include "support/temp_folder.h"

namespace {

TEST(ModuleLoad, ExportsRdXxxxAndLoadsNothingAtLoad)
{
    // The component file beside the module makes the module's folder the install
    // directory, where common.dll lies: a start-up at load would load it.
    std::string component = ProgramFolder() + "\\OrlithEWA.OCX";
    {
        TempFolder scratch;
        CopyFileTo(scratch.Write("ocx", ""), component);
    }
    ASSERT_EQ(GetModuleHandleA("common.dll"), nullptr);

    HMODULE module = LoadLibraryA((ProgramFolder() + "\\productupdate.dll").c_str());
    ASSERT_NE(module, nullptr) << GetLastError();
    EXPECT_NE(GetProcAddress(module, "RD_XXXX"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "_RD_XXXX@16"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "RD_XXXX@16"), nullptr);
    EXPECT_EQ(GetModuleHandleA("common.dll"), nullptr) << "the start-up waits for the first call";

    FreeLibrary(module);
    DeleteFileA(component.c_str());
}

class CountedStartUp : public framework::App {
public:
    CountedStartUp(BOOL result, bool throws) : result_(result), throws_(throws) {}
    BOOL InitInstance() override
    {
        ++runs;
        Sleep(100);  // a second caller arrives meanwhile
        if (throws_)
            throw std::runtime_error("start-up failed");
        return result_;
    }
    std::atomic<int> runs{0};

private:
    BOOL result_;
    bool throws_;
};

// Two threads making the first call at once start the module once and both
// get its outcome; a failed start-up, thrown or returned, stays failed and
// nothing of it unwinds into the caller.
TEST(AppStart, RunsOnceForAllCallersAndKeepsItsOutcome)
{
    struct Case {
        const char* name;
        BOOL result;
        bool throws;
        bool started;
    } cases[] = {{"succeeds", TRUE, false, true}, {"returns FALSE", FALSE, false, false},
                 {"throws", TRUE, true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CountedStartUp app(c.result, c.throws);
        bool otherStarted = !c.started;
        std::thread other([&] { otherStarted = app.Start(); });
        EXPECT_EQ(app.Start(), c.started);
        other.join();
        EXPECT_EQ(otherStarted, c.started);
        EXPECT_EQ(app.Start(), c.started);
        EXPECT_EQ(app.runs, 1);
    }
}

}  // namespace
