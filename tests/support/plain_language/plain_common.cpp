// A language library written the way the product's own is: ordinary C++
// classes with the compiler's default conventions, declared here on their
// own rather than through the module's header, so that a mismatch between the
// module's view of the table and a real library's shows as it would in the
// product. Every lookup is traced as "lookup <language> <section> <key>" and
// answered with "plain <key>" once Initialize, traced as "plain Initialize",
// has run. Initialize prepares the texts on a thread of its own and waits for
// it, as ordinary C++ start-up code may: called under the loader lock, it
// never returns, since a new thread cannot start while another holds it.
#include <windows.h>

#include <map>
#include <string>
#include <thread>

namespace {

class TextSource {
public:
    virtual void Reset() {}
    virtual int Initialize()
    {
        std::thread prepare([this] { ready_ = true; });
        prepare.join();
        OutputDebugStringA("plain Initialize");
        return 1;
    }
    virtual int Language() const { return language_; }
    virtual void SetLanguage(int language) { language_ = language; }
    virtual bool Ready() const { return ready_; }
    virtual void Release() {}
    virtual const char* LookupText(int language, const char* section, const char* key, void*)
    {
        std::string line = "lookup " + std::to_string(language) + " " + section + " " + key;
        OutputDebugStringA(line.c_str());
        if (!ready_)
            return nullptr;
        std::string& text = texts_[key];
        text = std::string("plain ") + key;
        return text.c_str();
    }

private:
    bool ready_ = false;
    int language_ = 0;
    std::map<std::string, std::string> texts_;
};

}  // namespace

extern "C" __declspec(dllexport) void* GetLanguageResA()
{
    static TextSource source;
    return &source;
}
