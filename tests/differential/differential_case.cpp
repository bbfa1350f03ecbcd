#include "differential_case.h"

#include <cstdio>

#include "manifest_signer.h"
#include "support/temp_folder.h"

std::string DiffInstallation::Channel() const
{
    if (testMode)
        return "/vlnr/testnet/test.ini";
    std::string name = company.empty() ? "self" : company;
    return "/vlnr/" + name + "/all/" + name + "_all.ini";
}

std::string DiffInstallation::DrawText() const
{
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(draw));
    return text;
}

namespace {

std::string Printable(const std::string& bytes)
{
    std::string out = "    ";
    for (size_t i = 0; i < bytes.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            out += "\n    ";
            ++i;
        } else if (c < 0x20 || c >= 0x7f || c == '\\') {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace

std::string DiffCase::Describe() const
{
    const DiffInstallation& in = installation;
    std::string out = "case " + std::to_string(index) + " of seed " + std::to_string(seed) + " [";
    for (const std::string& feature : features)
        out += (out.back() == '[' ? "" : ", ") + feature;
    out += "]\n  manifest served at http://update.velnor.example" + in.Channel() +
           " (CR LF line ends; \\xNN is a byte):\n" + Printable(manifest) + "\n  installation: ";
    out += in.testMode ? "test mode (/T 1), VLNRTEST.VLT Version=" + in.installed
                       : "VLNR.INI packet=" + in.installed;
    out += in.company.empty() ? ", no company" : ", company=" + in.company;
    out += in.keyed ? ", keyed module (signing/key-public.pem)" : ", module without a key";
    if (in.record)
        out += ", record HasUpdate=" + std::to_string(in.record->hasUpdate) + " UpdateVersion=" +
               (in.record->version.size() > 40 ? in.record->version.substr(0, 12) + "...(" +
                                                      std::to_string(in.record->version.size()) + " bytes)"
                                                : in.record->version) +
               " Silent=" + std::to_string(in.record->silent);
    else
        out += ", no record";
    if (in.acceptedSerial)
        out += ", ManifestSerials " + in.Channel() + "=" + std::to_string(*in.acceptedSerial);
    out += ", RolloutDraw=" + in.DrawText() + "\n";
    return out;
}

DiffCase ReadCase(const std::string& folder, const ManifestSigner& key)
{
    std::string ini = folder + "\\installation.ini";
    auto text = [&](const char* name) {
        char value[1024] = {};
        GetPrivateProfileStringA("Installation", name, "", value, sizeof value, ini.c_str());
        return std::string(value);
    };
    DiffCase c;
    c.features.insert("replayed from " + folder);
    c.manifest = ReadFileBytes(folder + "\\manifest.ini");
    DiffInstallation& in = c.installation;
    in.installed = text("installed");
    in.company = text("company");
    in.testMode = text("test") == "1";
    in.keyed = text("keyed") == "1";
    if (text("sign") == "1")
        c.manifest = key.Sign(c.manifest);
    if (!text("serial").empty())
        in.acceptedSerial = std::stoull(text("serial"));
    if (!text("draw").empty())
        in.draw = std::stoull(text("draw"), nullptr, 16);
    if (!text("version").empty())
        in.record = PendingRecord{static_cast<DWORD>(std::stoul("0" + text("hasUpdate"))), text("version"),
                                  static_cast<DWORD>(std::stoul("0" + text("silent")))};
    return c;
}
