// A staged rollout: [Full] Rollout=N offers the manifest's version to N
// percent of installations first. Each installation draws a random number
// once; its place in the rollout of a version comes from that draw and the
// version, so raising N only adds installations, and each version has other
// first ones.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The share of a Rollout text: nullopt (held back) for anything but a
// decimal from 0 to 100, since a typo must never release to everyone.
std::optional<unsigned> RolloutShare(const std::string& text);

// 0 to 99: the installation's place in the rollout of the version.
unsigned RolloutPlace(std::uint64_t draw, const std::string& version);

// The installation's draw, kept as "RolloutDraw" under the update record's
// key (16 lowercase hex digits); drawn from the system's generator and
// stored when there is none.
std::uint64_t InstallationDraw();
void StoreInstallationDraw(std::uint64_t draw);
// A draw as it is kept; nullopt for any other text.
std::optional<std::uint64_t> ParseDraw(const std::string& text);

// The versions of a Withdrawn text: comma-separated, blanks around the
// commas allowed, empty items left out.
std::vector<std::string> WithdrawnVersions(const std::string& text);
