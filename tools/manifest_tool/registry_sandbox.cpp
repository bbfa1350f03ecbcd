#include "registry_sandbox.h"

#include "tool_error.h"

namespace {

const char kParent[] = "Software\\Velnor manifest-tool";

}  // namespace

RegistrySandbox::RegistrySandbox()
    : path_(std::string(kParent) + "\\" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount64()))
{
    RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    // Software exists under every user's key; the module's store opens it without creating it.
    framework::RegKey software;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        key_.put(), nullptr) != ERROR_SUCCESS ||
        RegCreateKeyExA(key_.get(), "Software", 0, nullptr, 0, KEY_READ, nullptr, software.put(),
                        nullptr) != ERROR_SUCCESS ||
        RegOverridePredefKey(HKEY_CURRENT_USER, key_.get()) != ERROR_SUCCESS)
        throw ToolError("cannot make a scratch registry key under HKEY_CURRENT_USER\\" + path_);
}

RegistrySandbox::~RegistrySandbox()
{
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    key_.reset();
    RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, kParent);  // fails, as it should, while another run uses it
}
