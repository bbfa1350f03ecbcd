// How a transfer says why it failed: a failure the session words itself
// carries its whole trace line; one of the framework's carries the cause
// (a WinINet or Win32 error), which the session puts in its own line.
#pragma once

#include <string>

#include "framework/failure.h"

class TransferFailure : public framework::Failure {
public:
    using framework::Failure::Failure;
};

// The answer broke a rule of the transfer: nothing received is kept.
[[noreturn]] inline void Refuse(std::string line)
{
    throw TransferFailure(framework::FailureKind::Refused, std::move(line));
}

// The network stopped short (a cut, the deadline): what arrived may be kept.
[[noreturn]] inline void Cut(std::string line)
{
    throw TransferFailure(framework::FailureKind::Network, std::move(line));
}

// The trace lines of a transfer that the module's readers know by heart.
constexpr char kDeadlinePassed[] = "Transfer deadline passed";
constexpr char kOverTheLimit[] = "Declared length over the limit";
constexpr char kSizeMismatch[] = "Package size mismatch";
constexpr char kDigestMismatch[] = "Package digest mismatch";
constexpr char kDigestVerified[] = "Package digest verified";
