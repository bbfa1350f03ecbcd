// The wizard run by its own modal loop on this thread, with real dialogs,
// against the scripted server; the UI read and clicked through window
// messages from a timer inside that loop.
#include <algorithm>
#include <functional>
#include <iterator>
#include <utility>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "companions/common/language_resource.h"
#include "framework/dialog.h"
#include "framework/path.h"
#include "framework/trace_log.h"
#include "i18n/language.h"
#include "wizard/download_page.h"
#include "resources/resource.h"
#include "support/debug_capture.h"
#include "support/http_test_server.h"
#include "support/notice_window.h"
#include "support/registry.h"
#include "support/temp_folder.h"
#include "support/wizard_run.h"
#include "support/ui_script.h"
#include "wizard/query_page.h"
#include "wizard/wizard_frame.h"
#include "wizard/wizard_page.h"

namespace {

const char kUpdateKey[] = "Software\\Velnor\\Update";
const char kSearchError[] = "\xB2\xE9\xD1\xAF\xB8\xFC\xD0\xC2\xB3\xF6\xB4\xED\xA3\xA1";  // 查询更新出错！

std::string Manifest(const std::string& version, const std::string& packageUrl, int force = 1,
                     int silent = 0)
{
    return "[Full]\r\nInfo=Better playback\r\nVer=" + version + "\r\nPacketCount=1\r\n"
           "[Packet0]\r\nmin=1.0.0.0\r\nmax=1.0.0.6\r\nforce=" + std::to_string(force) +
           "\r\nsilent=" + std::to_string(silent) + "\r\nFileCount=1\r\nFile0=" + packageUrl + "\r\n";
}

int CurrentTemplate(const WizardFrame& frame)
{
    return frame.CurrentPage() ? static_cast<int>(frame.CurrentPage()->templateId()) : 0;
}

HWND PageWindow(const WizardFrame& frame)
{
    return frame.CurrentPage() ? frame.CurrentPage()->hwnd() : nullptr;
}

// A script step: once the frame shows, Next on the welcome page.
std::function<bool()> NextOnceShown(const WizardFrame& frame)
{
    return [&frame] {
        if (!IsWindowVisible(frame.hwnd()))
            return false;
        Click(frame.hwnd(), IDC_NEXT);
        return true;
    };
}

int BarPosition(HWND page)
{
    return static_cast<int>(SendMessageA(GetDlgItem(page, IDC_PROGRESS), PBM_GETPOS, 0, 0));
}

class Wizard : public testing::Test {
protected:
    void SetUp() override
    {
        DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey);
        context.userDataDirectory = folder / "UserData";
        CreateDirectoryA(context.userDataDirectory.c_str(), nullptr);
        package = ReadFileBytes(ProgramFolder() + "\\record_args.exe");
        for (const char* name : {"VLNRUpdatePack.exe", "VLNRUpdatePackT.exe", "VLNRUpdatePackT.exe.args"})
            DeleteFileA((framework::TempFolder() + name).c_str());
    }
    void TearDown() override
    {
        DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey);
    }

    void OfferUpdate(int force = 1, int silent = 0)
    {
        server.Serve("/manifest.ini", Response(200, Manifest("1.0.0.6", server.Url("/pack.exe"), force, silent)));
        server.Serve("/pack.exe", Response(200, package));
    }
    // Runs the frame with the script; a stuck script ends the run.
    int Run(WizardFrame& frame, UiScript& script)
    {
        script.Start([&] { frame.EndDialog(IDABORT); });
        int result = frame.DoModal();
        EXPECT_TRUE(script.Finished()) << "stuck at: " << script.Pending();
        return result;
    }
    // The frame's buttons as each page leaves them, written out here rather
    // than taken from the table the frame applies.
    void ExpectButtons(const WizardFrame& frame, PageKind page)
    {
        enum Look { Hidden, Enabled, Disabled };
        struct Row {
            PageKind page;
            Look back, next, ok, cancel;
        } const rows[] = {
            {PageKind::Welcome, Hidden, Enabled, Hidden, Enabled},
            {PageKind::Query, Hidden, Hidden, Disabled, Enabled},
            {PageKind::Error, Hidden, Hidden, Disabled, Enabled},
            {PageKind::DownloadError, Hidden, Hidden, Enabled, Enabled},
            {PageKind::UpToDate, Hidden, Hidden, Disabled, Enabled},
            {PageKind::Download, Hidden, Hidden, Disabled, Enabled},
        };
        const Row* row = std::find_if(std::begin(rows), std::end(rows),
                                      [&](const Row& r) { return r.page == page; });
        ASSERT_NE(row, std::end(rows));
        const std::pair<int, Look> buttons[] = {
            {IDC_BEFORE, row->back}, {IDC_NEXT, row->next}, {IDOK, row->ok}, {IDCANCEL, row->cancel}};
        for (const auto& [id, look] : buttons) {
            SCOPED_TRACE("button " + std::to_string(id));
            EXPECT_EQ(IsShown(frame.hwnd(), id), look != Hidden);
            if (look != Hidden) {
                EXPECT_EQ(IsEnabled(frame.hwnd(), id), look == Enabled);
            }
        }
    }
    bool NothingRecorded() { return !ReadRegValue(HKEY_CURRENT_USER, kUpdateKey, "HasUpdate"); }
    // A value of the update record; an empty one when it is missing.
    RegValue Recorded(const char* name)
    {
        return ReadRegValue(HKEY_CURRENT_USER, kUpdateKey, name).value_or(RegValue{});
    }

    // A hidden run of this test's installation against its server.
    WizardRun NewRun()
    {
        return WizardRun(context, folder / "VLNR.INI", server.Url("/manifest.ini"));
    }

    ModuleContext context;
    HttpTestServer server;
    TempFolder folder;
    std::string package;
    std::string temp = framework::TempFolder();
};

TEST_F(Wizard, HiddenRunWithAnUpdateDownloadsCopiesAndRecordsWithoutAWindow)
{
    OfferUpdate(1, 0);
    WizardRun frame = NewRun();
    frame.installedVersion = "1.0.0.5";
    ShowWatch watch;
    EXPECT_EQ(frame.DoModal(), IDOK);
    EXPECT_EQ(watch.shows(), 0) << "no window is ever shown";

    std::string copy = folder / "UserData\\VLNRUpdate\\VLNRUpdate.exe";
    EXPECT_EQ(ReadFileBytes(temp + "VLNRUpdatePack.exe"), package) << "the package stays in the temporary folder";
    EXPECT_EQ(ReadFileBytes(copy), package);
    EXPECT_EQ(Recorded("HasUpdate").dword(), 1u);
    EXPECT_EQ(Recorded("UpdateVersion").text(), "1.0.0.6");
    EXPECT_EQ(Recorded("UpdatePath").text(), copy);
    EXPECT_EQ(Recorded("force").dword(), 1u);
    EXPECT_EQ(Recorded("Silent").dword(), 0u);
    Sleep(300);
    EXPECT_FALSE(FileExists(temp + "VLNRUpdatePack.exe.args")) << "normal mode never starts the package";
    EXPECT_FALSE(FileExists(copy + ".args"));

    // The window and its last page outlive the modal run, hidden.
    EXPECT_TRUE(IsWindow(frame.hwnd()));
    EXPECT_FALSE(IsWindowVisible(frame.hwnd()));
    EXPECT_EQ(CurrentTemplate(frame), DownloadPage::IDD);
    EXPECT_TRUE(IsWindow(PageWindow(frame)));
}

TEST_F(Wizard, HiddenRunsWithoutAnUpdateOrWithoutAManifestEndQuietly)
{
    server.Serve("/manifest.ini", Response(200, Manifest("1.0.0.6", server.Url("/pack.exe"))));
    {
        WizardRun frame = NewRun();
        frame.installedVersion = "1.0.0.6";
        ShowWatch watch;
        EXPECT_EQ(frame.DoModal(), IDOK);
        EXPECT_EQ(watch.shows(), 0);
        EXPECT_EQ(frame.runFinished, 1);
        EXPECT_EQ(CurrentTemplate(frame), QueryPage::IDD);
    }
    server.Serve("/manifest.ini", Response(404, "gone"));
    {
        WizardRun frame = NewRun();
        frame.installedVersion = "1.0.0.5";
        ShowWatch watch;
        EXPECT_EQ(frame.DoModal(), IDOK);
        EXPECT_EQ(watch.shows(), 0);
        EXPECT_EQ(frame.runFinished, 0);
    }
    EXPECT_TRUE(NothingRecorded());
    EXPECT_FALSE(FileExists(temp + "VLNRUpdatePack.exe"));
}

TEST_F(Wizard, ShownRunGoesFromWelcomeThroughTheQueryToUpToDate)
{
    ScriptedResponse manifest = Response(200, std::string(2046, ';') + "\r\n" + Manifest("1.0.0.6", "http://x/"));
    manifest.pauseAfter = 1023;
    server.Serve("/manifest.ini", manifest);
    WizardRun frame = NewRun();
    frame.startHidden = 0;
    frame.interactive = 1;
    frame.installedVersion = "1.0.0.6";
    HWND welcome = nullptr;
    UiScript script;
    script
        .Step("the frame shows the welcome page",
              [&] {
                  if (!IsWindowVisible(frame.hwnd()))
                      return false;
                  EXPECT_EQ(CurrentTemplate(frame), 105);
                  ExpectButtons(frame, PageKind::Welcome);
                  welcome = PageWindow(frame);
                  RECT area, window;
                  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
                  GetWindowRect(frame.hwnd(), &window);
                  EXPECT_NEAR((window.left + window.right) / 2, (area.left + area.right) / 2, 1);
                  Click(frame.hwnd(), IDC_NEXT);
                  return true;
              })
        .Step("the query page waits with its bar moved",
              [&] {
                  if (CurrentTemplate(frame) != QueryPage::IDD || BarPosition(PageWindow(frame)) == 0)
                      return false;
                  EXPECT_FALSE(IsWindow(welcome)) << "the welcome page is gone";
                  ExpectButtons(frame, PageKind::Query);
                  EXPECT_EQ(BarPosition(PageWindow(frame)), 1023 * 100 / static_cast<int>(manifest.body.size()));
                  Click(frame.hwnd(), IDC_NEXT);  // hidden: nothing happens
                  Click(frame.hwnd(), IDOK);      // disabled: nothing happens
                  server.Resume();
                  return true;
              })
        .Step("no update: the up-to-date page",
              [&] {
                  if (CurrentTemplate(frame) != 9000)
                      return false;
                  ExpectButtons(frame, PageKind::UpToDate);
                  EXPECT_EQ(frame.runFinished, 1);
                  Click(frame.hwnd(), IDCANCEL);
                  return true;
              });
    EXPECT_EQ(Run(frame, script), IDCANCEL);
}

// A shown run that cannot fetch the manifest, or the package, ends on the
// error page. After a failed download its OK opens the product's download
// page in the user's browser (the prefix's http handler, here a recorder).
TEST_F(Wizard, ShownRunsThatFailEndOnTheErrorPage)
{
    std::string browser = folder / "browser.exe";
    CopyFileTo(ProgramFolder() + "\\record_args.exe", browser);
    // Wine looks the protocol's handler up in the machine's classes only.
    const std::string kHandler = "Software\\Classes\\http\\shell\\open\\command";
    SavedRegValue handler(HKEY_LOCAL_MACHINE, kHandler, "");
    WriteRegString(HKEY_LOCAL_MACHINE, kHandler, "", "\"" + browser + "\" \"%1\"");
    std::string downloadError = LoadModuleString(IDS_DOWNLOAD_ERROR);
    for (size_t at = downloadError.find('\n'); at != std::string::npos; at = downloadError.find('\n', at + 2))
        downloadError.insert(at, "\r");
    struct Case {
        const char* name;
        ScriptedResponse manifest, package;
        std::string text;
        PageKind buttons;
        int click;
    } cases[] = {
        {"no manifest", Response(503, "busy"), Response(200, package), kSearchError, PageKind::Error,
         IDCANCEL},
        {"no package", Response(200, Manifest("1.0.0.6", server.Url("/pack.exe"))),
         Response(404, "gone"), downloadError, PageKind::DownloadError, IDOK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.Serve("/manifest.ini", c.manifest);
        server.Serve("/pack.exe", c.package);
        WizardRun frame = NewRun();
        frame.startHidden = 0;
        frame.interactive = 1;
        frame.installedVersion = "1.0.0.5";
        UiScript script;
        script
            .Step("welcome", NextOnceShown(frame))
            .Step("the error page says so", [&] {
                if (CurrentTemplate(frame) != 106)
                    return false;
                HWND page = PageWindow(frame);
                EXPECT_EQ(ItemText(page, IDC_ERRORTEXT), c.text);
                EXPECT_TRUE(GetWindowLongA(GetDlgItem(page, IDC_ERRORTEXT), GWL_STYLE) & ES_READONLY);
                ExpectButtons(frame, c.buttons);
                EXPECT_EQ(frame.runFinished, 1);
                Click(frame.hwnd(), c.click);
                return true;
            });
        EXPECT_EQ(Run(frame, script), c.click);
        EXPECT_TRUE(NothingRecorded());
    }
    EXPECT_TRUE(PumpUntil([&] { return FileExists(browser + ".args"); }));
    EXPECT_THAT(ReadFileBytes(browser + ".args"), testing::HasSubstr("\"http://www.velnor.example/\""));
}

TEST_F(Wizard, EnterAndEscapeDoNothingAnywhere)
{
    WizardRun frame = NewRun();
    frame.startHidden = 0;
    UiScript script;
    auto press = [](HWND target, WPARAM key) {
        PostMessageA(target, WM_KEYDOWN, key, 0);
        PostMessageA(target, WM_CHAR, key, 0);
        PostMessageA(target, WM_KEYUP, key, 0);
    };
    int ticks = 0;
    script
        .Step("keys pressed on the frame's buttons and on a page control", [&] {
            if (!IsWindowVisible(frame.hwnd()))
                return false;
            for (HWND target : {GetDlgItem(frame.hwnd(), IDC_NEXT), GetDlgItem(frame.hwnd(), IDCANCEL),
                                GetDlgItem(PageWindow(frame), IDC_UPDATEHELP), frame.hwnd()}) {
                press(target, VK_RETURN);
                press(target, VK_ESCAPE);
            }
            return true;
        })
        .Step("still on the welcome page", [&] {
            if (++ticks < 20)
                return false;
            EXPECT_EQ(CurrentTemplate(frame), 105);
            EXPECT_TRUE(frame.ContinueModal());
            Click(frame.hwnd(), IDCANCEL);
            return true;
        });
    EXPECT_EQ(Run(frame, script), IDCANCEL);
}

TEST_F(Wizard, CancelWhileDownloadingEndsAtOnceAndRecordsNothing)
{
    OfferUpdate();
    ScriptedResponse slow = Response(200, package);
    slow.pauseAfter = package.size() / 2;
    server.Serve("/pack.exe", slow);
    {
        WizardRun frame = NewRun();
        frame.startHidden = 0;
        frame.installedVersion = "1.0.0.5";
        UiScript script;
        script
            .Step("welcome", NextOnceShown(frame))
            .Step("the download page's bar at half", [&] {
                if (CurrentTemplate(frame) != DownloadPage::IDD || BarPosition(PageWindow(frame)) < 40)
                    return false;
                ExpectButtons(frame, PageKind::Download);
                EXPECT_EQ(frame.forceUpdate, 1);
                Click(frame.hwnd(), IDCANCEL);
                return true;
            });
        EXPECT_EQ(Run(frame, script), IDCANCEL);
    }
    server.Resume();
    ASSERT_TRUE(PumpUntil([&] { return FileExists(temp + "VLNRUpdatePack.exe"); }));
    Sleep(300);
    EXPECT_TRUE(NothingRecorded()) << "the page was gone when the package arrived";
}

TEST_F(Wizard, DestroyingTheFrameDestroysItsLastPageAndClosesTheMutex)
{
    server.Serve("/manifest.ini", Response(404, ""));
    const char kMutex[] = "VelnorWizardTestMutex";
    HWND page = nullptr;
    {
        WizardRun frame = NewRun();
        frame.instanceMutex.reset(CreateMutexA(nullptr, FALSE, kMutex));
        frame.DoModal();
        page = PageWindow(frame);
        EXPECT_TRUE(IsWindow(page));
        HANDLE other = OpenMutexA(SYNCHRONIZE, FALSE, kMutex);
        EXPECT_NE(other, nullptr) << "held after the modal run";
        CloseHandle(other);
    }
    EXPECT_FALSE(IsWindow(page));
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, kMutex), nullptr) << "closed with the frame";
}

TEST(DialogObjects, AreFoundByTheirWindowsWhileTheWindowsLiveAndForNoOtherWindow)
{
    framework::Dialog dialog(IDD_WIZARD_FRAME);
    ASSERT_TRUE(dialog.Create(nullptr));
    HWND window = dialog.hwnd();
    EXPECT_EQ(framework::Dialog::FromHandle(window), &dialog);

    HWND other = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(other, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&dialog));
    EXPECT_EQ(framework::Dialog::FromHandle(other), nullptr);
    DestroyWindow(other);

    DestroyWindow(window);
    EXPECT_EQ(dialog.hwnd(), nullptr);
    EXPECT_EQ(framework::Dialog::FromHandle(window), nullptr) << "gone with its window";
}

TEST_F(Wizard, TestModeStartsThePackageWithItsQuotedPathAndRecordsNothing)
{
    server.Serve("/manifest.ini", Response(200, Manifest("1.0.0.5", server.Url("/pack.exe"))));
    server.Serve("/pack.exe", Response(200, package));
    WizardRun frame = NewRun();
    frame.testMode = 1;
    frame.installedVersion = "1.0.0.5";  // test mode goes on without a newer version
    EXPECT_EQ(frame.DoModal(), IDOK);
    std::string started = temp + "VLNRUpdatePackT.exe";
    ASSERT_TRUE(PumpUntil([&] { return FileExists(started + ".args"); }));
    EXPECT_EQ(ReadFileBytes(started + ".args"), "\"" + started + "\" /Velnor");
    EXPECT_TRUE(NothingRecorded());
    EXPECT_FALSE(FileExists(folder / "UserData\\VLNRUpdate"));
}

TEST_F(Wizard, LabelsComeFromTheLanguageLibraryOrKeepTheirSenseWithoutIt)
{
    struct Labels {
        std::string next, back, ok, cancel, help;
    };
    auto labelsOf = [&](int languageId, bool library) {
        context.language.resource = library ? LoadLanguageLibrary(nullptr) : nullptr;
        if (context.language.resource)
            context.language.resource->Initialize();
        context.language.id = languageId;
        WizardRun frame = NewRun();
        frame.startHidden = 0;
        Labels labels;
        UiScript script;
        script.Step("read the labels", [&] {
            if (!IsWindowVisible(frame.hwnd()))
                return false;
            labels = {ItemText(frame.hwnd(), IDC_NEXT), ItemText(frame.hwnd(), IDC_BEFORE),
                      ItemText(frame.hwnd(), IDOK), ItemText(frame.hwnd(), IDCANCEL),
                      ItemText(PageWindow(frame), IDC_UPDATEHELP)};
            Click(frame.hwnd(), IDCANCEL);
            return true;
        });
        Run(frame, script);
        return labels;
    };
    Labels english = labelsOf(1033, true);
    EXPECT_EQ(english.next, "&Next >");
    EXPECT_EQ(english.back, "< &Back");
    EXPECT_EQ(english.ok, "&OK");
    EXPECT_EQ(english.cancel, "&Cancel");
    EXPECT_EQ(english.help, "This program helps you update Velnor.");

    Labels none = labelsOf(2052, false);
    EXPECT_EQ(none.next, "") << "no string 3002 exists";
    EXPECT_EQ(none.help, "");
    EXPECT_EQ(none.ok, "\xC8\xB7\xB6\xA8(&O)") << "the template's 确定(&O), not string 1";
    EXPECT_EQ(none.cancel, "\xC8\xA1\xCF\xFB(&C)") << "the template's 取消(&C), not string 2";
}

TEST_F(Wizard, TheTrayMessageShowsAndMinimisesAHiddenFrame)
{
    ScriptedResponse manifest = Response(200, Manifest("1.0.0.6", "http://x/"));
    manifest.pauseAfter = 0;
    server.Serve("/manifest.ini", manifest);
    WizardRun frame = NewRun();
    frame.installedVersion = "1.0.0.6";
    UiScript script;
    script
        .Step("right button: nothing", [&] {
            EXPECT_EQ(SendMessageA(frame.hwnd(), WM_FRAME_MOUSE_NOTIFY, 0, WM_RBUTTONUP), 1);
            EXPECT_FALSE(IsWindowVisible(frame.hwnd()));
            SendMessageA(frame.hwnd(), WM_FRAME_MOUSE_NOTIFY, 0, WM_LBUTTONDBLCLK);
            return true;
        })
        .Step("double click: shown", [&] {
            if (!IsWindowVisible(frame.hwnd()) || IsIconic(frame.hwnd()))
                return false;
            SendMessageA(frame.hwnd(), WM_FRAME_MOUSE_NOTIFY, 0, WM_LBUTTONDBLCLK);
            return true;
        })
        .Step("again: minimised", [&] {
            if (!IsIconic(frame.hwnd()))
                return false;
            server.Resume();
            return true;
        });
    Run(frame, script);
}

TEST_F(Wizard, TheManifestUrlIsBuiltFromTheCompanyAndGoesThroughTheUsersProxy)
{
    const std::string settings = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    SavedRegValue enable(HKEY_CURRENT_USER, settings, "ProxyEnable");
    SavedRegValue proxy(HKEY_CURRENT_USER, settings, "ProxyServer");
    WriteRegDword(HKEY_CURRENT_USER, settings, "ProxyEnable", 1);
    WriteRegString(HKEY_CURRENT_USER, settings, "ProxyServer", "127.0.0.1:" + std::to_string(server.port()));
    folder.Write("VLNR.INI", "[Version]\r\ncompany=acme\r\n");

    server.Serve("http://update.velnor.example/vlnr/acme/all/acme_all.ini",
                 Response(200, Manifest("1.0.0.6", "http://update.velnor.example/pack.exe")));
    server.Serve("http://update.velnor.example/pack.exe", Response(200, package));
    WizardRun frame = NewRun();
    frame.manifestUrlOverride.clear();
    frame.installedVersion = "1.0.0.5";
    frame.DoModal();
    EXPECT_THAT(server.Targets(), testing::ElementsAre("http://update.velnor.example/vlnr/acme/all/acme_all.ini",
                                                       "http://update.velnor.example/pack.exe"));
    EXPECT_EQ(Recorded("HasUpdate").dword(), 1u);
}

}  // namespace

// The whole run as the export makes it, on a context of the test's own: its
// host folder is swept and holds the test version, its user data folder gets
// the log and the pending copy, and the hand-off names the company of the
// data folder's VLNR.INI. Nothing comes from a module-wide state.
TEST_F(Wizard, ARunTakesItsFoldersFromTheContextItIsHanded)
{
    const char kShellFolders[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    SavedRegValue commonAppData(HKEY_LOCAL_MACHINE, kShellFolders, "Common AppData");
    WriteRegString(HKEY_LOCAL_MACHINE, kShellFolders, "Common AppData", folder / "Common");
    folder.Write("Common\\Velnor\\VLNR.INI", "[Version]\r\npacket=1.0.0.5\r\ncompany=acme\r\n");
    context.hostDirectory = folder / "Host";
    folder.Write("Host\\VLNRTEST.VLT", "[VLTest]\r\nVersion=1005\r\n");
    OfferUpdate();
    struct Case {
        const char* name;
        const char* switches;
        bool recorded;  // else started, as a test run does
    } const cases[] = {
        {"an automatic check", "/S 0 /URL ", true},
        {"a test run", "/T 1 /URL ", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey);
        std::string old = folder.Write("Host\\sub\\left.(old)", "x");
        DeleteFileA((folder / "UserData\\VLNRUpdate.log").c_str());
        DebugCapture capture;
        {
            framework::TraceLog log;
            UpdateRun run(context);
            WizardFrame frame(run);
            run.Run((c.switches + server.Url("/manifest.ini")).c_str(), log, frame);
            EXPECT_EQ(run.installedVersion, "1.0.0.5");
        }
        EXPECT_FALSE(FileExists(old)) << "the context's host folder is swept";
        EXPECT_TRUE(FileExists(folder / "UserData\\VLNRUpdate.log"));
        EXPECT_EQ(Recorded("UpdatePath").text(),
                  c.recorded ? folder / "UserData\\VLNRUpdate\\VLNRUpdate.exe" : "");
        if (!c.recorded) {
            EXPECT_TRUE(PumpUntil([&] { return FileExists(temp + "VLNRUpdatePackT.exe.args"); }));
        }
        const std::string handOff = "Etadpu: http://update.velnor.example/vlnr/acme/mu/acme_mu.txt";
        EXPECT_TRUE(PumpUntil([&] {
            std::vector<std::string> texts = capture.Texts();
            return std::find(texts.begin(), texts.end(), handOff) != texts.end();
        }));
    }
}
