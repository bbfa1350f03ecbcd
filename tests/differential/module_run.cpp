#include "module_run.h"

#include <algorithm>
#include <stdexcept>

#include "framework/path.h"
#include "framework/url.h"
#include "resources/resource.h"
#include "support/process.h"

namespace {

const char kUpdateKey[] = "Software\\Velnor\\Update";
const char kShellFolders[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kInternetSettings[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const char kServer[] = "http://update.velnor.example";
const char kDrained[] = "differential_test: drained";

// The files of the product in one folder that holds the component file, so
// that this folder is the install directory.
void LayOut(const TempFolder& install)
{
    for (const char* file : {"updatehost.exe", "productupdate.dll", "common.dll", "ZudEduzu.dll"})
        CopyFileTo(ProgramFolder() + "\\" + file, install / file);
    CreateDirectoryA((install / "languages").c_str(), nullptr);
    CopyFileTo(ProgramFolder() + "\\languages\\2052.lng", install / "languages\\2052.lng");
    install.Write("OrlithEWA.OCX", "");
}

// A keyed build holds the publisher's PEM as RCDATA IDR_UPDATE_KEY: the same
// resource, put into the copy as a keyed build of the project has it.
void EmbedKey(const std::string& module, const std::string& pem)
{
    HANDLE update = BeginUpdateResourceA(module.c_str(), FALSE);
    if (!update)
        throw std::runtime_error("cannot open " + module + " for its resources");
    BOOL put = UpdateResourceA(update, RT_RCDATA, MAKEINTRESOURCEA(IDR_UPDATE_KEY),
                               MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), const_cast<char*>(pem.data()),
                               static_cast<DWORD>(pem.size()));
    if (!EndUpdateResourceA(update, !put) || !put)
        throw std::runtime_error("cannot embed the key into " + module);
}

void DeleteFiles(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths)
        DeleteFileA(path.c_str());
}

std::vector<std::string> DownloadLeftovers()
{
    std::vector<std::string> paths;
    for (const char* name : {"VLNRUpdatePack.exe", "VLNRUpdatePackT.exe"})
        for (const char* suffix : {"", ".partial", ".resume", ".resume.new", ".args"})
            paths.push_back(framework::TempFolder() + name + suffix);
    return paths;
}

std::optional<DWORD> Dword(const char* name)
{
    std::optional<RegValue> value = ReadRegValue(HKEY_CURRENT_USER, kUpdateKey, name);
    if (!value)
        return std::nullopt;
    return value->dword();
}

std::optional<std::string> Text(const char* name)
{
    std::optional<RegValue> value = ReadRegValue(HKEY_CURRENT_USER, kUpdateKey, name);
    if (!value)
        return std::nullopt;
    return value->text();
}

}  // namespace

InstalledModule::InstalledModule()
    : commonAppData_(HKEY_LOCAL_MACHINE, kShellFolders, "Common AppData"),
      userAppData_(HKEY_CURRENT_USER, "Volatile Environment", "APPDATA"),
      proxyEnable_(HKEY_CURRENT_USER, kInternetSettings, "ProxyEnable"),
      proxyServer_(HKEY_CURRENT_USER, kInternetSettings, "ProxyServer")
{
    LayOut(plain_);
    LayOut(keyed_);
    EmbedKey(keyed_ / "productupdate.dll", ReadFileBytes(ProgramFolder() + "\\signing\\key-public.pem"));
    WriteRegString(HKEY_LOCAL_MACHINE, kShellFolders, "Common AppData", common_.path());
    WriteRegString(HKEY_CURRENT_USER, "Volatile Environment", "APPDATA", appData_.path());
    WriteRegDword(HKEY_CURRENT_USER, kInternetSettings, "ProxyEnable", 1);
    WriteRegString(HKEY_CURRENT_USER, kInternetSettings, "ProxyServer", "127.0.0.1:" + std::to_string(server_.port()));
    package_ = ReadFileBytes(ProgramFolder() + "\\record_args.exe");
}

InstalledModule::~InstalledModule()
{
    DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey);
    DeleteFiles(DownloadLeftovers());
}

std::optional<std::string> InstalledModule::ProxyTarget(const std::string& url)
{
    framework::ParsedUrl parsed;
    if (!framework::ParseUrl(url, parsed) || parsed.service != framework::InternetService::Http)
        return std::nullopt;
    return "http://" + parsed.server + (parsed.port == 80 ? "" : ":" + std::to_string(parsed.port)) + parsed.object;
}

// Nothing of an earlier pair remains: no record, no serial, no copy, no kept bytes.
void InstalledModule::Prepare(const DiffCase& c)
{
    const DiffInstallation& in = c.installation;
    DeleteRegTree(HKEY_CURRENT_USER, kUpdateKey);
    DeleteFiles(DownloadLeftovers());
    DeleteFileA((appData_ / "Velnor\\VLNRUpdate\\VLNRUpdate.exe").c_str());
    const TempFolder& install = in.keyed ? keyed_ : plain_;
    common_.Write("Velnor\\VLNR.INI", "[Version]\r\npacket=" + (in.testMode ? "1.0.0.0" : in.installed) + "\r\n" +
                                          (in.company.empty() ? "" : "company=" + in.company + "\r\n"));
    if (in.testMode)
        install.Write("VLNRTEST.VLT", "[VLTest]\r\nVersion=" + in.installed + "\r\n");
    else
        DeleteFileA((install / "VLNRTEST.VLT").c_str());
    if (in.record) {
        WriteRegDword(HKEY_CURRENT_USER, kUpdateKey, "HasUpdate", in.record->hasUpdate);
        WriteRegString(HKEY_CURRENT_USER, kUpdateKey, "UpdateVersion", in.record->version);
        WriteRegDword(HKEY_CURRENT_USER, kUpdateKey, "Silent", in.record->silent);
    }
    if (in.acceptedSerial)
        WriteRegString(HKEY_CURRENT_USER, std::string(kUpdateKey) + "\\ManifestSerials", in.Channel().c_str(),
                       std::to_string(*in.acceptedSerial));
    WriteRegString(HKEY_CURRENT_USER, kUpdateKey, "RolloutDraw", in.DrawText());

    server_.Serve(kServer + in.Channel(), Response(200, c.manifest));
}

// Every line the host wrote has arrived once a line written after its end has.
std::vector<std::string> InstalledModule::DrainedTrace(DWORD processId)
{
    OutputDebugStringA(kDrained);
    for (int i = 0; i < 10000; ++i) {
        std::vector<std::string> own = capture_.Texts();
        if (!own.empty() && own.back() == kDrained)
            break;
        Sleep(1);
    }
    std::vector<std::string> trace = capture_.Texts(processId);
    capture_.Clear();
    return trace;
}

ModuleOutcome InstalledModule::Run(const DiffCase& c)
{
    Prepare(c);
    // Every URL the module can fetch serves the package; the others are never asked for.
    for (size_t at = 0; (at = c.manifest.find('=', at)) != std::string::npos;) {
        size_t end = std::min(c.manifest.find_first_of("\r\n", at), c.manifest.size());
        if (std::optional<std::string> target = ProxyTarget(c.manifest.substr(at + 1, end - at - 1)))
            server_.Serve(*target, Response(200, package_));
        at = end;
    }
    size_t before = server_.Targets().size();
    const TempFolder& install = c.installation.keyed ? keyed_ : plain_;
    ChildProcess host("\"" + (install / "updatehost.exe") + "\"" + (c.installation.testMode ? " /T 1" : ""),
                      install.path());
    host.Wait(120000);

    ModuleOutcome out;
    out.trace = DrainedTrace(host.id());
    std::vector<std::string> targets = server_.Targets();
    const std::string manifestTarget = kServer + c.installation.Channel();
    for (size_t i = before; i < targets.size(); ++i) {
        if (targets[i] == manifestTarget)
            out.manifestRequested = true;
        else
            out.packageRequests.push_back(targets[i]);
    }
    out.hasUpdate = Dword("HasUpdate");
    out.updateVersion = Text("UpdateVersion");
    out.force = Dword("force");
    out.silent = Dword("Silent");
    out.recorded = Text("UpdatePath").has_value();
    out.copied = FileExists(appData_ / "Velnor\\VLNRUpdate\\VLNRUpdate.exe");
    if (c.installation.testMode && !out.packageRequests.empty()) {
        // The started package writes its command line beside itself; it may
        // still be starting when the host has ended.
        std::string args = framework::TempFolder() + "VLNRUpdatePackT.exe.args";
        for (int i = 0; i < 1500 && !FileExists(args); ++i)
            Sleep(10);
        out.started = FileExists(args);
    }
    return out;
}
