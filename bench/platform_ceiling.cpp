#include <vector>

#include "bare_request.h"
#include "runs.h"

TransferCount RunPlatformCeiling(const std::string& url, Sample& sample)
{
    Stopwatch watch;
    BareRequest request(url);
    std::vector<char> block(64 * 1024);
    TransferCount count;
    while (DWORD n = request.Read(block.data(), static_cast<DWORD>(block.size())))
        count.bytes += n;
    sample = watch.Stop();
    count.ok = count.bytes == request.length();
    return count;
}
