#include "internet_error.h"

namespace framework {

namespace {

struct KnownError {
    DWORD number;
    const char* name;
    const char* meaning;  // what a reader of the trace needs beyond the name; may be empty
};

// The errors a transfer meets, and the checks that refuse a server by name.
const KnownError kKnownErrors[] = {
    {ERROR_ACCESS_DENIED, "ERROR_ACCESS_DENIED", ""},
    {ERROR_INVALID_HANDLE, "ERROR_INVALID_HANDLE", ""},
    {ERROR_NOT_ENOUGH_MEMORY, "ERROR_NOT_ENOUGH_MEMORY", ""},
    {ERROR_WRITE_FAULT, "ERROR_WRITE_FAULT", ""},
    {ERROR_HANDLE_DISK_FULL, "ERROR_HANDLE_DISK_FULL", "the disk is full"},
    {ERROR_DISK_FULL, "ERROR_DISK_FULL", "the disk is full"},
    {ERROR_WRITE_PROTECT, "ERROR_WRITE_PROTECT", ""},
    {ERROR_INTERNET_OUT_OF_HANDLES, "ERROR_INTERNET_OUT_OF_HANDLES", ""},
    {ERROR_INTERNET_TIMEOUT, "ERROR_INTERNET_TIMEOUT", "the server went silent"},
    {ERROR_INTERNET_INTERNAL_ERROR, "ERROR_INTERNET_INTERNAL_ERROR", ""},
    {ERROR_INTERNET_INVALID_URL, "ERROR_INTERNET_INVALID_URL", ""},
    {ERROR_INTERNET_UNRECOGNIZED_SCHEME, "ERROR_INTERNET_UNRECOGNIZED_SCHEME", ""},
    {ERROR_INTERNET_NAME_NOT_RESOLVED, "ERROR_INTERNET_NAME_NOT_RESOLVED",
     "the server's name does not resolve"},
    {ERROR_INTERNET_SHUTDOWN, "ERROR_INTERNET_SHUTDOWN", ""},
    {ERROR_INTERNET_OPERATION_CANCELLED, "ERROR_INTERNET_OPERATION_CANCELLED", ""},
    {ERROR_INTERNET_INCORRECT_HANDLE_TYPE, "ERROR_INTERNET_INCORRECT_HANDLE_TYPE", ""},
    {ERROR_INTERNET_INCORRECT_HANDLE_STATE, "ERROR_INTERNET_INCORRECT_HANDLE_STATE", ""},
    {ERROR_INTERNET_CANNOT_CONNECT, "ERROR_INTERNET_CANNOT_CONNECT", "no connection to the server"},
    {ERROR_INTERNET_CONNECTION_ABORTED, "ERROR_INTERNET_CONNECTION_ABORTED", ""},
    {ERROR_INTERNET_CONNECTION_RESET, "ERROR_INTERNET_CONNECTION_RESET", ""},
    {ERROR_INTERNET_SEC_CERT_DATE_INVALID, "ERROR_INTERNET_SEC_CERT_DATE_INVALID",
     "the server's certificate has expired or is not yet valid"},
    {ERROR_INTERNET_SEC_CERT_CN_INVALID, "ERROR_INTERNET_SEC_CERT_CN_INVALID",
     "the server's certificate is for another host name"},
    {ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED, "ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED",
     "the server asks for a client certificate"},
    {ERROR_INTERNET_INVALID_CA, "ERROR_INTERNET_INVALID_CA",
     "the server's certificate is not issued by a trusted authority"},
    {ERROR_INTERNET_SEC_CERT_REV_FAILED, "ERROR_INTERNET_SEC_CERT_REV_FAILED",
     "the revocation of the server's certificate cannot be checked"},
    {ERROR_HTTP_HEADER_NOT_FOUND, "ERROR_HTTP_HEADER_NOT_FOUND", ""},
    {ERROR_HTTP_INVALID_SERVER_RESPONSE, "ERROR_HTTP_INVALID_SERVER_RESPONSE",
     "the server's answer is not HTTP"},
    {ERROR_INTERNET_SECURITY_CHANNEL_ERROR, "ERROR_INTERNET_SECURITY_CHANNEL_ERROR",
     "the TLS connection failed"},
    {ERROR_INTERNET_SEC_INVALID_CERT, "ERROR_INTERNET_SEC_INVALID_CERT",
     "the server's certificate is invalid"},
    {ERROR_INTERNET_SEC_CERT_REVOKED, "ERROR_INTERNET_SEC_CERT_REVOKED",
     "the server's certificate is revoked"},
};

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
