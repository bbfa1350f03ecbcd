// The rules of a transfer that need no network: status classes, the redirect
// target, the declared length and the percentage.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "framework/url.h"
#include "framework/win.h"

// The request headers added to every request: 45 bytes, with the ideographic
// space of code page 936 (A1 A1) after "User-Agent:".
extern const char kHeaderBlock[];

// The parts of a URL the module fetches: plain http:// with a server and a
// valid port. Anything else (https://, ftp://, a malformed text) fails its
// transfer, whoever names it: a manifest, a redirect.
std::optional<framework::ParsedUrl> FetchableUrl(const std::string& url);

inline bool IsRedirectStatus(DWORD status) { return status == 301 || status == 302 || status == 303; }
inline bool IsSuccessStatus(DWORD status) { return status >= 200 && status <= 299; }

// The text after the first "Location: " of the raw header block, up to the
// end of its line; nothing when the block has none.
std::optional<std::string> FindRedirectLocation(const std::string& rawHeaders);

// A Content-Length value: decimal digits only, blanks around them allowed.
// Nothing for any other text, which cannot tell whether a body arrived whole.
std::optional<std::uint64_t> ParseContentLength(const std::string& text);

// How long one transfer may take in all, from its request to its last byte,
// for the declared length of its body: floorMs plus one second for every
// 4 KiB declared, at most a day. Generous for any real line; it only ends a
// server that drips its body to hold a run (and its mutex) for ever.
constexpr std::uint64_t kTransferDeadlineFloorMs = 10 * 60 * 1000;
std::uint64_t TransferDeadlineMs(std::uint64_t declaredLength,
                                 std::uint64_t floorMs = kTransferDeadlineFloorMs);

// received × 100 ÷ total, truncated, without overflow for any size; 100
// for a declared length of 0.
UINT ProgressPercent(std::uint64_t received, std::uint64_t total);
