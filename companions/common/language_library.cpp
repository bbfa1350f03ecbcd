// The product's language library: hands out one language object whose texts
// come from languages\<language id>.lng beside this library. A language file
// is UTF-8, in INI form ([section], key=value), with \n, \r, \t and \\ escapes
// in values; the texts are handed out in the ANSI code page.
#include <fstream>
#include <map>
#include <mutex>
#include <string>

#include "framework/app.h"
#include "framework/path.h"
#include "language_resource.h"

namespace {

struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const
    {
        return _stricmp(a.c_str(), b.c_str()) < 0;
    }
};

// section -> key -> text
using LanguageTable = std::map<std::string, std::map<std::string, std::string, NoCase>, NoCase>;

std::string Trim(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t\r");
    size_t last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

std::string Unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char next = text[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
    }
    return out;
}

std::string Utf8ToAnsi(const std::string& utf8)
{
    int wide = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), wide);
    int narrow = WideCharToMultiByte(CP_ACP, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(narrow), '\0');
    WideCharToMultiByte(CP_ACP, 0, w.data(), wide, out.data(), narrow, nullptr, nullptr);
    return out;
}

LanguageTable ParseLanguageFile(std::istream& in)
{
    LanguageTable table;
    std::string line, section;
    bool first = true;
    while (std::getline(in, line)) {
        if (first && line.compare(0, 3, "\xEF\xBB\xBF") == 0)
            line.erase(0, 3);
        first = false;
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            section = Trim(line.substr(1, line.size() - 2));
            continue;
        }
        size_t equals = line.find('=');
        if (equals == std::string::npos || section.empty())
            continue;
        table[section][Trim(line.substr(0, equals))] =
            Utf8ToAnsi(Unescape(Trim(line.substr(equals + 1))));
    }
    return table;
}

class FileLanguageResource : public LanguageResource {
public:
    void Reserved1() override {}
    int Initialize() override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        FindFolder();
        return 1;
    }
    void Reserved3() override {}
    void Reserved4() override {}
    void Reserved5() override {}
    void Reserved6() override {}

    const char* LookupText(int languageId, const char* section, const char* key, void*) override
    {
        if (!section || !key)
            return nullptr;
        std::lock_guard<std::mutex> lock(mutex_);
        const LanguageTable& table = Language(languageId);
        auto s = table.find(section);
        if (s == table.end())
            return nullptr;
        auto k = s->second.find(key);
        // The tables are never changed once loaded, so the text stays where it is.
        return k == s->second.end() ? nullptr : k->second.c_str();
    }

private:
    void FindFolder()
    {
        if (!folder_.empty())
            return;
        folder_ = framework::RemoveFileSpec(framework::ModuleFileName(framework::ModuleInstance()));
        framework::AppendPath(folder_, "languages");
    }

    const LanguageTable& Language(int languageId)
    {
        FindFolder();
        auto found = languages_.find(languageId);
        if (found != languages_.end())
            return found->second;
        std::string path = folder_;
        LanguageTable table;
        if (framework::AppendPath(path, (std::to_string(languageId) + ".lng").c_str())) {
            std::ifstream in(path, std::ios::binary);
            if (in)
                table = ParseLanguageFile(in);
        }
        return languages_.emplace(languageId, std::move(table)).first->second;
    }

    std::mutex mutex_;
    std::string folder_;
    std::map<int, LanguageTable> languages_;
};

}  // namespace

extern "C" LanguageResource* __stdcall GetLanguageResA()
{
    static FileLanguageResource resource;
    return &resource;
}
