// The words of a failed WinINet or Win32 call, for a trace line: the error
// number with its name, and for the checks that refuse a server what the
// check found. Never the system's own message text, which comes in the
// user's language and code page.
#pragma once

#include <string>

#include "failure.h"
#include "win.h"

namespace framework {

// "WinINet error 12045 ERROR_INTERNET_INVALID_CA: the certificate's issuer
// is not trusted"; "Win32 error 112 ERROR_DISK_FULL"; "error N" for a number
// of neither table.
std::string ErrorText(DWORD error);

// The failure of the platform call that has just failed, from GetLastError.
Failure LastErrorFailure(FailureKind kind);

}  // namespace framework
