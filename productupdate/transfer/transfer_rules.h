// The rules of a transfer that need no network: which URLs are fetched,
// which statuses redirect and where to, the declared length, the body's
// encoding and the percentage.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "framework/url.h"
#include "framework/win.h"

// The request headers added to every request: 45 bytes, with the ideographic
// space of code page 936 (A1 A1) after "User-Agent:".
extern const char kHeaderBlock[];

// The request headers that ask every cache on the way to pass the request
// on to the origin server.
extern const char kNoCacheHeaders[];

// The parts of a URL the module fetches: http:// or https:// with a server
// and a valid port. Anything else (ftp://, a malformed text) fails its
// transfer, whoever names it: a manifest, a redirect.
std::optional<framework::ParsedUrl> FetchableUrl(const std::string& url);

// Redirects are followed as browsers follow them, at most this many in one
// transfer; the next one fails it.
constexpr int kMaxRedirects = 5;

inline bool IsRedirectStatus(DWORD status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}
inline bool IsSuccessStatus(DWORD status) { return status >= 200 && status <= 299; }

// The URL a Location value names, read against the URL that answered with
// it: an absolute URL as it stands; a network-path, absolute-path or
// relative reference merged with the base, its "." and ".." segments
// removed. Nothing for an empty value or a base that is no URL.
std::optional<std::string> ResolveLocation(const std::string& base, const std::string& location);

// Why a redirect from one fetchable URL to another is not followed (https
// is never left for plain http); nothing when it may be.
std::optional<std::string> RedirectRefusal(const framework::ParsedUrl& from,
                                           const framework::ParsedUrl& to);

// A Content-Length value: decimal digits only, blanks around them allowed.
// Nothing for any other text, which cannot tell whether a body arrived whole.
std::optional<std::uint64_t> ParseContentLength(const std::string& text);

// Whether the raw header block holds a header line after its status line.
// The platform reads an answer without a status line (HTTP/0.9, or bytes
// that are not HTTP at all) as "HTTP/1.0 200 OK" with no header: such an
// answer has no end but the connection's, and is never taken for a file.
bool HasHeaderLines(const std::string& rawHeaders);

// Whether a Content-Encoding value leaves the body as the server holds it:
// none, or "identity". The module asks for no other, and a body it cannot
// read as the file must never be taken for one.
bool IsIdentityEncoding(const std::string& contentEncoding);

// How long one transfer may take in all, from its request to its last byte,
// for the declared length of its body: floorMs plus one second for every
// 4 KiB declared, at most a day. Generous for any real line; it only ends a
// server that drips its head or body to hold a run (and its mutex) for ever.
constexpr std::uint64_t kTransferDeadlineFloorMs = 10 * 60 * 1000;
std::uint64_t TransferDeadlineMs(std::uint64_t declaredLength,
                                 std::uint64_t floorMs = kTransferDeadlineFloorMs);

// received × 100 ÷ total, truncated, without overflow for any size; 100
// for a declared length of 0.
UINT ProgressPercent(std::uint64_t received, std::uint64_t total);
