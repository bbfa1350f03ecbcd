// What a manifest pins of the package of a URL list: its SHA-256 and its
// size in bytes. Every URL of a list is a copy of the same file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "framework/crypto.h"

struct PackagePin {
    std::optional<framework::Sha256Digest> digest;
    std::optional<std::uint64_t> size;
    bool readable = true;  // false when a field is present but malformed

    bool complete() const { return readable && digest && size; }
};

// Reads the "sha256" (64 hex digits) and "size" (decimal bytes) texts of a
// list; an empty text is an absent field.
PackagePin ReadPackagePin(const std::string& sha256, const std::string& size);
