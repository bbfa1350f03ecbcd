// The kept bytes of a cut package transfer on disk, beside the package's
// own name (which never holds a partial file): "<target>.partial" holds the
// bytes received, "<target>.resume" the record of the transfer they belong
// to. The record is written as soon as a response's headers have arrived,
// so a host that is killed mid-body leaves both, recognisable by the next run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "kept_transfer.h"

std::string KeptBytesPath(const std::string& target);
std::string KeptRecordPath(const std::string& target);

// The record beside the target, when there is a readable one.
std::optional<KeptTransfer> ReadKeptRecord(const std::string& target);
// Replaces the record whole (through a new file renamed over it), so that
// it is never found half written. False when it cannot be written.
bool WriteKeptRecord(const std::string& target, const KeptTransfer& kept);
void DeleteKeptRecord(const std::string& target);
// The length of the kept bytes; nothing when there are none.
std::optional<std::uint64_t> KeptLength(const std::string& target);
// Deletes the kept bytes and their record.
void DiscardKept(const std::string& target);
