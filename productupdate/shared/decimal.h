// Plain decimal numbers as the module's own texts hold them: a pin's size,
// a manifest's Serial and Expires fields, a Rollout share, a kept transfer's
// lengths.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Decimal digits only, at most 19 of them; nullopt for any other text.
std::optional<std::uint64_t> ParseDecimal(const std::string& text);
