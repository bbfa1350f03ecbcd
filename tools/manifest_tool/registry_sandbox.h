// HKEY_CURRENT_USER of this process, pointed at a scratch key while the
// sandbox lives: the module's own registry code then reads and writes an
// installation made up for one question, never the user's real record.
#pragma once

#include <string>

#include "framework/handles.h"

class RegistrySandbox {
public:
    RegistrySandbox();  // throws ToolError when the scratch key cannot be made
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

private:
    std::string path_;  // under the real HKEY_CURRENT_USER
    framework::RegKey key_;
};
