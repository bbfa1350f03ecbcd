// What a cut package transfer keeps for the next run, and the rules for
// continuing it, as plain values: the record beside the kept bytes, the
// validator of a response, and the fit of a ranged answer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "package_pin.h"

// What identifies the kept bytes of one package: the URL they came from,
// the body's whole length, the response's validator, and the manifest's
// pin when there was one (a kept copy serves only the same pinned package).
struct KeptTransfer {
    std::string url;
    std::uint64_t total = 0;
    std::string etag;          // a strong entity tag, quotes included; or
    std::string lastModified;  // the Last-Modified date when there is none
    PackagePin pin;

    // The If-Range value of a continuation.
    const std::string& validator() const { return etag.empty() ? lastModified : etag; }
};

// The validator the bytes of a response may be kept under: a strong ETag,
// otherwise Last-Modified; nothing when the response has neither (a weak
// tag cannot vouch that two ranges belong to the same bytes).
struct Validator {
    std::string etag, lastModified;
};
std::optional<Validator> ChooseValidator(const std::string& etag, const std::string& lastModified);

// The record's text and its reading. Nothing is read from a record that is
// damaged, cut short or of another shape: those kept bytes are then dropped.
std::string FormatKeptRecord(const KeptTransfer& kept);
std::optional<KeptTransfer> ParseKeptRecord(const std::string& text);

// Whether kept bytes may serve the fetch of this URL with this pin.
bool KeptServes(const KeptTransfer& kept, const std::string& url, const PackagePin& pin);

// "bytes FIRST-LAST/TOTAL" of a Content-Range header.
struct ContentRange {
    std::uint64_t first, last, total;
};
std::optional<ContentRange> ParseContentRange(const std::string& text);

// A 206 continues kept bytes only when it is exactly the rest of the kept
// body: the range from the kept length to the end of the kept total, with
// a Content-Length of what that range holds.
bool RangeContinues(const std::optional<ContentRange>& range, std::uint64_t declaredLength,
                    std::uint64_t keptLength, std::uint64_t keptTotal);

// The request headers that ask for the rest of kept bytes.
std::string ResumeHeaders(std::uint64_t keptLength, const std::string& validator);

// The URL of the list that a run fetches: the kept bytes' URL when the list
// holds it (another mirror may serve the same file under another validator),
// else the one at the random index.
std::string ChoosePackageUrl(const std::vector<std::string>& urls, const std::string& keptUrl,
                             size_t randomIndex);

// Whether a 206 answered under the validator the kept bytes were kept
// under: their strong ETag, or else their Last-Modified date, repeated.
bool RepeatsValidator(const KeptTransfer& kept, const std::string& etag,
                      const std::string& lastModified);
