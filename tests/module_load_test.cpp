// The shipped DLL, loaded as a host loads it: its one export, and its
// start-up finding the install directory and loading the language library.
#include <gtest/gtest.h>

#include "framework/win.h"
#include "support/temp_folder.h"

namespace {

TEST(ModuleLoad, ExportsRdXxxxAndStartsUpAtLoad)
{
    // The component file beside the module makes the module's folder the install
    // directory, where common.dll lies.
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
    EXPECT_NE(GetModuleHandleA("common.dll"), nullptr) << "the start-up loads the language library";

    FreeLibrary(module);
    DeleteFileA(component.c_str());
}

}  // namespace
