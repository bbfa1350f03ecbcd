#include "case_maker.h"

namespace {

const char kServer[] = "http://update.velnor.example";

const char* const kVersions[] = {"1.0.0.0", "2.0.0.0", "2.3.0.0", "2.3.0.17", "2.4.0.3", "3.0.0.0", "2.3", "2.4"};
// Test mode reads "1000" style: every character is a field.
const char* const kTestVersions[] = {"1000", "2000", "2300", "2304", "2403", "2404", "3000", "0000", "24"};

// http URLs that the module cannot split or will not fetch as written.
const char* const kMalformed[] = {"http://", "http:/update.velnor.example/m/x.exe", "http//update.velnor.example/m/x.exe",
                                  "http://update.velnor.example:0/m/x.exe",
                                  "http://update.velnor.example:99999/m/x.exe", "htp://update.velnor.example/m/x.exe",
                                  "update.velnor.example/m/x.exe"};

// The last field one up or down; "2.3" is two fields, so its second moves.
std::string Step(const std::string& version, int by)
{
    size_t dot = version.rfind('.');
    std::string head = dot == std::string::npos ? "" : version.substr(0, dot + 1);
    long last = std::stol(version.substr(dot == std::string::npos ? 0 : dot + 1)) + by;
    return head + std::to_string(last < 0 ? 0 : last);
}

}  // namespace

CaseMaker::CaseMaker(unsigned seed, ServedPackage package, const ManifestSigner& key,
                     const ManifestSigner& otherKey, std::set<std::string> avoided)
    : seed_(seed), random_(seed), package_(std::move(package)), key_(key), otherKey_(otherKey),
      avoided_(std::move(avoided))
{
}

bool CaseMaker::Maybe(const char* feature, unsigned oneIn)
{
    if (avoided_.count(feature) || Pick(oneIn) != 0)
        return false;
    features_.insert(feature);
    return true;
}

std::string CaseMaker::Version()
{
    std::string version = Any(kVersions);
    versions_.push_back(version);
    return version;
}

// A version the manifest names, one below or above it, or the lowest of all.
std::string CaseMaker::Around(const std::string& version)
{
    switch (Pick(5)) {
    case 0: return Step(version, -1);
    case 1: return Step(version, 1);
    case 2: return Pick(4) ? version : "0.0.0.0";
    default: return version;
    }
}

std::string CaseMaker::Count(size_t given, const std::string& key)
{
    std::string text = std::to_string(given);
    if (Maybe("count above the entries given", 8))
        text = std::to_string(given + 1 + Pick(2));
    else if (Maybe("odd count", 12))
        text = std::string(Pick(2) ? "0x" : "") + (Pick(2) ? "2" : "99999999999");
    return key + "=" + text + "\r\n";
}

std::string CaseMaker::Url(const std::string& name)
{
    std::string path = "/pk/" + name + ".exe";
    if (Maybe("file URL", 10))
        return "file://update.velnor.example" + path;
    if (Maybe("ftp URL", 14))
        return "ftp://update.velnor.example" + path;
    if (Maybe("malformed URL", 14))
        return Any(kMalformed);
    if (Maybe("empty File entry", 14))
        return "";
    if (Maybe("upper-case scheme", 20))
        return "HTTP://update.velnor.example" + path;
    if (Maybe("port in URL", 20))
        return "http://update.velnor.example:8080" + path;
    if (Pick(6) == 0)
        return "http://mirror.velnor.example" + path;
    return kServer + path;
}

std::string CaseMaker::Pin(bool keyed)
{
    // A list without a pin in half the cases of a module without a key,
    // and once in eight of a keyed one.
    bool pinned = keyed ? Pick(8) != 0 : Pick(2) == 0;
    if (!pinned) {
        features_.insert("unpinned list");
        return "";
    }
    std::string sha256 = package_.sha256, size = package_.size;
    if (Maybe("malformed pin", 10)) {
        if (Pick(2))
            sha256 = "not hex";
        else
            size = size + "x";
    } else if (Maybe("pin of one key only", 14)) {
        return Pick(2) ? "sha256=" + sha256 + "\r\n" : "size=" + size + "\r\n";
    } else if (Maybe("upper-case digest", 14)) {
        for (char& c : sha256)
            c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    }
    return "sha256=" + sha256 + "\r\nsize=" + size + "\r\n";
}

std::string CaseMaker::Files(const std::string& name, bool keyed)
{
    size_t count = Pick(4);
    if (Maybe("empty file list", 6))
        count = 0;
    std::string text = Count(count, "FileCount");
    for (size_t i = 0; i < count; ++i)
        text += "File" + std::to_string(i) + "=" + Url(name + "-" + std::to_string(i)) + "\r\n";
    if (count && Maybe("duplicate File key", 20))
        text += "File0=" + Url(name + "-dup") + "\r\n";
    return text + Pin(keyed);
}

std::string CaseMaker::Packet(int n, bool keyed)
{
    std::string text = "[Packet" + std::to_string(n) + "]\r\n";
    if (!Maybe("packet without min", 10))
        text += "min=" + Version() + "\r\n";
    if (!Maybe("packet without max", 8))
        text += "max=" + Version() + "\r\n";
    text += "force=" + std::to_string(Pick(3) ? Pick(2) : 2) + "\r\nsilent=" + std::to_string(Pick(2)) + "\r\n";
    return text + Files("p" + std::to_string(n), keyed);
}

std::string CaseMaker::TrustKeys(const DiffInstallation& in)
{
    std::string text;
    if (!Maybe("no Channel", 16)) {
        std::string channel = in.Channel();
        if (Maybe("another channel", 14))
            channel = in.testMode ? "/vlnr/acme/all/acme_all.ini" : "/vlnr/testnet/test.ini";
        else if (Maybe("channel in other case", 20))
            channel[1] = 'V';
        text += "Channel=" + channel + "\r\n";
    }
    if (!Maybe("no Expires", 16)) {
        std::string expires = "2099-01-01T00:00:00Z";
        if (Maybe("expired", 14))
            expires = "2020-01-01T00:00:00Z";
        else if (Maybe("unreadable Expires", 20))
            expires = "2099-02-30T00:00:00Z";
        text += "Expires=" + expires + "\r\n";
    }
    if (!Maybe("no Serial", 16))
        text += "Serial=" + std::string(Maybe("unreadable Serial", 20) ? "7a" : "7") + "\r\n";
    if (Maybe("trust key twice", 20))
        text += Pick(2) ? "SERIAL=8\r\n" : "channel=/elsewhere.ini\r\n";
    return text;
}

std::string CaseMaker::FullSection(const std::string& ver, int packets, const DiffInstallation& in)
{
    std::string text = "[Full]\r\nInfo=generated " + std::to_string(index_) + "\r\n";
    if (!ver.empty())
        text += "Ver=" + ver + "\r\n";
    if (Maybe("Ver twice", 20))
        text += "Ver=9.0.0.0\r\n";
    text += Count(static_cast<size_t>(packets), "PacketCount");
    if (in.keyed || Pick(4) == 0)
        text += TrustKeys(in);
    if (Maybe("rollout", 6)) {
        const char* shares[] = {"50", "0", "100", "10%", "", "-1"};
        text += "Rollout=" + std::string(Any(shares)) + "\r\n";
    }
    if (Maybe("withdrawn", 6)) {
        std::string withdrawn = in.record && Pick(2) ? in.record->version : Version();
        text += "Withdrawn=" + withdrawn + (Pick(2) ? ", 2.0.0.0" : "") + "\r\n";
    }
    return text + Files("full", in.keyed);
}

std::string CaseMaker::Sign(std::string text)
{
    if (Maybe("unsigned", 14))
        return text;
    if (Maybe("signed with another key", 14))
        return otherKey_.Sign(text);
    if (Maybe("malformed signature", 20))
        return text + ";signature=AAAA\r\n";
    std::string signedText = key_.Sign(text);
    if (Maybe("changed after signing", 20))
        signedText[9] ^= 1;  // in "Info=generated"
    return signedText;
}

std::string CaseMaker::ControlByte(std::string text)
{
    const char bytes[] = {'\x1a', '\x0c', '\0'};
    size_t at = Pick(static_cast<unsigned>(text.size()));
    text.insert(text.begin() + static_cast<long>(at), bytes[Pick(3)]);
    return text;
}

// What kind of installation, before the manifest is made for it.
DiffInstallation CaseMaker::InstallationKind()
{
    DiffInstallation in;
    in.testMode = Maybe("test mode", 5);
    in.keyed = Maybe("keyed", 3);
    in.company = Pick(5) ? "acme" : "";
    if (Pick(3) == 0) {
        PendingRecord record;
        record.silent = Pick(2);
        if (Maybe("HasUpdate 0", 5))
            record.hasUpdate = 0;
        in.record = record;
    }
    if (in.keyed && Pick(3) == 0) {
        const std::uint64_t serials[] = {3, 7, 9};
        in.acceptedSerial = Any(serials);
        if (*in.acceptedSerial == 9)
            features_.insert("Serial below the accepted one");
    }
    in.draw = (static_cast<std::uint64_t>(random_()) << 32) | random_();
    return in;
}

// The installed and recorded versions, on and around those the manifest names.
void CaseMaker::PlaceVersions(DiffInstallation& in)
{
    auto nearby = [&] { return Around(versions_.empty() ? std::string(Any(kVersions)) : versions_[Pick(versions_.size())]); };
    in.installed = in.testMode ? std::string(Any(kTestVersions)) : nearby();
    if (in.record) {
        in.record->version = nearby();
        if (Maybe("UpdateVersion of 260 bytes or more", 10))
            in.record->version = "3.0.0." + std::string(260 + Pick(3), '0');
    }
}

DiffCase CaseMaker::Next()
{
    features_.clear();
    versions_.clear();
    DiffCase c;
    c.seed = seed_;
    c.index = index_++;
    DiffInstallation& in = c.installation;
    in = InstallationKind();
    std::string ver = Maybe("no Ver", 12) ? "" : Version();
    int packets = static_cast<int>(Pick(4));
    std::string body;
    for (int n = 0; n < packets; ++n)
        body += Packet(n, in.keyed);
    if (packets && Maybe("duplicate section", 16))
        body += Pick(2) ? "[Packet0]\r\nmin=0.0.0.0\r\nmax=9.0.0.0\r\n" : "[FULL]\r\nVer=9.0.0.0\r\n";
    PlaceVersions(in);
    std::string text = FullSection(ver, packets, in) + body;
    if (Maybe("control byte", 14))
        text = ControlByte(text);
    c.manifest = in.keyed || Pick(6) == 0 ? Sign(text) : text;
    c.features = features_;
    return c;
}
