// The in-process runs of the download benchmark. Each measures one transfer
// of the URL and reports what it saw; each throws std::runtime_error when the
// transfer cannot be made at all.
#pragma once

#include <string>

#include "measurement.h"
#include "transfer/package_pin.h"

// The platform's ceiling: 64 KiB reads from WinINet, nothing else.
TransferCount RunPlatformCeiling(const std::string& url, Sample& sample);

// The notice protocol's floor: 1023-byte reads on a worker, each followed by
// one synchronous notice to a window on this thread, nothing else.
TransferCount RunNoticeFloor(const std::string& url, Sample& sample);

// The download session itself, into the file, its notices received here; a
// package pinned as a manifest pins it when the pin is given (a cache on the
// way may then answer for it).
TransferCount RunSession(const std::string& url, const std::string& file, const PackagePin& pin,
                         Sample& sample);
