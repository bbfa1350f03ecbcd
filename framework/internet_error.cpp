#include "internet_error.h"

namespace framework {

namespace {

struct KnownError {
    DWORD number;
    const char* name;
    const char* meaning;  // what a reader of the trace needs beyond the name; may be empty
};

// An error's name is its constant's own spelling.
#define KNOWN(error, meaning) {error, #error, meaning}

// The errors a transfer meets, and the checks that refuse a server by name.
const KnownError kKnownErrors[] = {
    KNOWN(ERROR_ACCESS_DENIED, ""),
    KNOWN(ERROR_INVALID_HANDLE, ""),
    KNOWN(ERROR_NOT_ENOUGH_MEMORY, ""),
    KNOWN(ERROR_WRITE_FAULT, ""),
    KNOWN(ERROR_HANDLE_DISK_FULL, "the disk is full"),
    KNOWN(ERROR_DISK_FULL, "the disk is full"),
    KNOWN(ERROR_WRITE_PROTECT, ""),
    KNOWN(ERROR_INTERNET_OUT_OF_HANDLES, ""),
    KNOWN(ERROR_INTERNET_TIMEOUT, "the server went silent"),
    KNOWN(ERROR_INTERNET_INTERNAL_ERROR, ""),
    KNOWN(ERROR_INTERNET_INVALID_URL, ""),
    KNOWN(ERROR_INTERNET_UNRECOGNIZED_SCHEME, ""),
    KNOWN(ERROR_INTERNET_NAME_NOT_RESOLVED, "the server's name does not resolve"),
    KNOWN(ERROR_INTERNET_SHUTDOWN, ""),
    KNOWN(ERROR_INTERNET_OPERATION_CANCELLED, ""),
    KNOWN(ERROR_INTERNET_INCORRECT_HANDLE_TYPE, ""),
    KNOWN(ERROR_INTERNET_INCORRECT_HANDLE_STATE, ""),
    KNOWN(ERROR_INTERNET_CANNOT_CONNECT, "no connection to the server"),
    KNOWN(ERROR_INTERNET_CONNECTION_ABORTED, ""),
    KNOWN(ERROR_INTERNET_CONNECTION_RESET, ""),
    KNOWN(ERROR_INTERNET_SEC_CERT_DATE_INVALID, "the server's certificate has expired or is not yet valid"),
    KNOWN(ERROR_INTERNET_SEC_CERT_CN_INVALID, "the server's certificate is for another host name"),
    KNOWN(ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED, "the server asks for a client certificate"),
    KNOWN(ERROR_INTERNET_INVALID_CA, "the server's certificate is not issued by a trusted authority"),
    KNOWN(ERROR_INTERNET_SEC_CERT_REV_FAILED, "the revocation of the server's certificate cannot be checked"),
    KNOWN(ERROR_HTTP_HEADER_NOT_FOUND, ""),
    KNOWN(ERROR_HTTP_INVALID_SERVER_RESPONSE, "the server's answer is not HTTP"),
    KNOWN(ERROR_INTERNET_SECURITY_CHANNEL_ERROR, "the TLS connection failed"),
    KNOWN(ERROR_INTERNET_SEC_INVALID_CERT, "the server's certificate is invalid"),
    KNOWN(ERROR_INTERNET_SEC_CERT_REVOKED, "the server's certificate is revoked"),
};

#undef KNOWN

}  // namespace

std::string ErrorText(DWORD error)
{
    bool internet = error >= INTERNET_ERROR_BASE && error <= INTERNET_ERROR_LAST;
    std::string text = (internet ? "WinINet error " : "Win32 error ") + std::to_string(error);
    for (const KnownError& known : kKnownErrors) {
        if (known.number != error)
            continue;
        text += std::string(" ") + known.name;
        if (*known.meaning)
            text += std::string(": ") + known.meaning;
    }
    return text;
}

Failure LastErrorFailure(FailureKind kind) { return Failure(kind, ErrorText(GetLastError())); }

}  // namespace framework
