#include "guarded_text.h"

#include <cstring>
#include <stdexcept>

#include "framework/win.h"

GuardedText::GuardedText(const std::string& text)
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    size_t page = system.dwPageSize;
    size_t readable = (text.size() + 1 + page - 1) / page * page;
    block_ = VirtualAlloc(nullptr, readable + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!block_)
        throw std::runtime_error("cannot allocate a guarded text");
    DWORD old;
    if (!VirtualProtect(static_cast<char*>(block_) + readable, page, PAGE_NOACCESS, &old)) {
        VirtualFree(block_, 0, MEM_RELEASE);
        throw std::runtime_error("cannot set up a guard page");
    }
    text_ = static_cast<char*>(block_) + readable - (text.size() + 1);
    std::memcpy(text_, text.c_str(), text.size() + 1);
}

GuardedText::~GuardedText() { VirtualFree(block_, 0, MEM_RELEASE); }
