#include "registry.h"

#include <vector>

namespace framework {

RegKey OpenRegKey(HKEY root, const char* path, REGSAM access)
{
    RegKey key;
    if (RegOpenKeyExA(root, path, 0, access, key.put()) != ERROR_SUCCESS)
        key.release();
    return key;
}

RegKey CreateRegKey(HKEY root, const char* path, REGSAM access)
{
    RegKey key;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, access, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS)
        key.release();
    return key;
}

bool QueryRegString(HKEY key, const char* name, std::string& value)
{
    DWORD size = 0;
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::vector<char> buffer(static_cast<size_t>(size) + 1);
        DWORD got = size;
        LONG status = RegQueryValueExA(key, name, nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(buffer.data()), &got);
        if (status == ERROR_SUCCESS && got <= size) {
            buffer[got] = '\0';
            value = buffer.data();  // up to the first zero byte
            return true;
        }
        if (status != ERROR_MORE_DATA && status != ERROR_SUCCESS)
            return false;
        size = got;  // too small for the value (it may have grown): again with room for it
    }
    return false;
}

}  // namespace framework
