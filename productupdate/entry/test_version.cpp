#include "test_version.h"

void DotTestVersion(std::string& version)
{
    size_t lastDot = version.rfind('.');
    std::string digits = lastDot == std::string::npos ? version : version.substr(lastDot + 1);
    std::string dotted;
    for (char c : digits) {
        if (c == ' ')
            continue;
        if (!dotted.empty())
            dotted += '.';
        dotted += c;
    }
    version = dotted;
}
