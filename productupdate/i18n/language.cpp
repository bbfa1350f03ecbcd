#include "language.h"

#include <vector>

#include "companions/common/language_resource.h"
#include "framework/app.h"
#include "framework/handles.h"
#include "framework/path.h"

namespace {
const char kSection[] = "Frame";
}

LanguageResource* LoadLanguageLibrary(const char* directory, HMODULE* library)
{
    std::string path = directory
        ? std::string(directory)
        : framework::RemoveFileSpec(framework::ModuleFileName(framework::ModuleInstance()));
    // Only a full path keeps the loader's search order, which starts with the
    // current folder, from handing us a planted copy.
    if (!framework::IsAbsolutePath(path))
        return nullptr;
    if (!framework::AppendPath(path, "common.dll"))
        return nullptr;  // a cut path would load some other file
    framework::Library loaded(LoadLibraryA(path.c_str()));
    if (!loaded)
        return nullptr;
    auto get = reinterpret_cast<GetLanguageResAProc>(
        reinterpret_cast<void*>(GetProcAddress(loaded.get(), "GetLanguageResA")));
    if (!get)
        return nullptr;
    HMODULE kept = loaded.release();
    if (library)
        *library = kept;
    return get();
}

std::string LoadModuleString(UINT id)
{
    return LoadStringResource(framework::ModuleInstance(), id);
}

std::string LoadStringResource(HINSTANCE module, UINT id)
{
    // The table holds UTF-16; the wizard's texts are narrow, in the ANSI code page.
    const wchar_t* text = nullptr;
    int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text)
        return {};
    int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, narrow.data(), size, nullptr, nullptr);
    return narrow;
}

std::string LookupLanguageText(const Language& language, const char* key)
{
    std::string text;
    if (language.resource) {
        const char* found = language.resource->LookupText(language.id, kSection, key, &text);
        if (found)
            text = found;
    }
    return text;
}

std::string LoadLocalizedString(const Language& language, const char* key, UINT fallbackId)
{
    std::string text = LookupLanguageText(language, key);
    if (text.empty())
        text = LoadModuleString(fallbackId);
    return text;
}

void SetLocalizedItemText(const Language& language, HWND dialog, int controlId, const char* key)
{
    SetDlgItemTextA(dialog, controlId,
                    LoadLocalizedString(language, key, static_cast<UINT>(controlId)).c_str());
}
