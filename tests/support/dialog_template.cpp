#include "dialog_template.h"

#include <cstring>

namespace {

class Reader {
public:
    explicit Reader(const BYTE* data) : start_(data), at_(data) {}

    template <typename T>
    T Take()
    {
        T value;
        memcpy(&value, at_, sizeof value);
        at_ += sizeof value;
        return value;
    }
    std::wstring TakeText()
    {
        std::wstring text;
        for (wchar_t c; (c = Take<wchar_t>()) != 0;)
            text += c;
        return text;
    }
    // A name or a resource ordinal, as the templates write them.
    std::string TakeNameOrOrdinal()
    {
        WORD first = Take<WORD>();
        if (first == 0)
            return {};
        if (first == 0xFFFF)
            return "#" + std::to_string(Take<WORD>());
        at_ -= sizeof(WORD);
        return Utf8(TakeText());
    }
    void AlignToDword()
    {
        while ((at_ - start_) % 4)
            ++at_;
    }
    void Skip(size_t n) { at_ += n; }

private:
    const BYTE* start_;
    const BYTE* at_;
};

std::string ClassName(const std::string& name)
{
    static const char* const kPredefined[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar",
                                              "ComboBox"};
    if (name.size() > 1 && name[0] == '#') {
        int atom = std::stoi(name.substr(1));
        if (atom >= 0x80 && atom <= 0x85)
            return kPredefined[atom - 0x80];
    }
    return name;
}

}  // namespace

std::string Utf8(const std::wstring& text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::optional<DialogTemplate> LoadDialogTemplate(HMODULE module, int id)
{
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));
    if (!resource)
        return std::nullopt;
    Reader in(static_cast<const BYTE*>(LockResource(LoadResource(module, resource))));

    DialogTemplate dialog;
    WORD version = in.Take<WORD>();
    WORD signature = in.Take<WORD>();
    dialog.extended = version == 1 && signature == 0xFFFF;
    int count;
    if (dialog.extended) {
        in.Take<DWORD>();  // help id
        dialog.exStyle = in.Take<DWORD>();
        dialog.style = in.Take<DWORD>();
    } else {
        dialog.style = MAKELONG(version, signature);
        dialog.exStyle = in.Take<DWORD>();
    }
    count = in.Take<WORD>();
    dialog.x = in.Take<short>();
    dialog.y = in.Take<short>();
    dialog.cx = in.Take<short>();
    dialog.cy = in.Take<short>();
    in.TakeNameOrOrdinal();  // menu
    in.TakeNameOrOrdinal();  // class
    dialog.title = Utf8(in.TakeText());
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = in.Take<WORD>();
        if (dialog.extended)
            in.Skip(sizeof(WORD) + 2);  // weight, italic, character set
        dialog.font = Utf8(in.TakeText());
    }

    for (int i = 0; i < count; ++i) {
        in.AlignToDword();
        DialogItem item;
        if (dialog.extended) {
            in.Take<DWORD>();  // help id
            item.exStyle = in.Take<DWORD>();
            item.style = in.Take<DWORD>();
        } else {
            item.style = in.Take<DWORD>();
            item.exStyle = in.Take<DWORD>();
        }
        item.x = in.Take<short>();
        item.y = in.Take<short>();
        item.cx = in.Take<short>();
        item.cy = in.Take<short>();
        item.id = dialog.extended ? static_cast<int>(in.Take<DWORD>())
                                  : static_cast<short>(in.Take<WORD>());
        item.className = ClassName(in.TakeNameOrOrdinal());
        item.text = in.TakeNameOrOrdinal();
        in.Skip(in.Take<WORD>());  // creation data
        dialog.items.push_back(item);
    }
    return dialog;
}
