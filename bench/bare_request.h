// A GET request on bare WinINet, opened as the download session opens its
// own (same access type, request flags and cache rule), for the loops that
// measure the platform beneath the session.
#pragma once

#include <cstdint>
#include <string>

#include "framework/handles.h"

class BareRequest {
public:
    // Throws std::runtime_error when the request fails or its answer is not
    // a 200 with a declared length.
    explicit BareRequest(const std::string& url);

    std::uint64_t length() const { return length_; }
    // One InternetReadFile call; 0 at the end of the body. Throws on failure.
    DWORD Read(void* buffer, DWORD size);

private:
    framework::InternetHandle internet_;
    framework::InternetHandle connection_;
    framework::InternetHandle request_;
    std::uint64_t length_ = 0;
};
