#include "facts.h"

#include <cstdlib>
#include <cstring>

std::string CompanyManifestPath(const std::string& company)
{
    return kCompanyFolders + company + "/all/" + company + "_all.ini";
}

std::string CompanyFileListPath(const std::string& company)
{
    return kCompanyFolders + company + "/mu/" + company + "_mu.txt";
}

bool IsIndexedName(const std::string& name, const char* prefix)
{
    size_t length = strlen(prefix);
    return name.size() > length && _strnicmp(name.c_str(), prefix, length) == 0 &&
           name.find_first_not_of("0123456789", length) == std::string::npos;
}

std::optional<int> ReadIndex(const std::string& name, const char* prefix, int count)
{
    if (!IsIndexedName(name, prefix))
        return std::nullopt;
    std::string digits = name.substr(strlen(prefix));
    if (digits.size() > 10 || (digits.size() > 1 && digits[0] == '0'))
        return std::nullopt;
    long long n = std::atoll(digits.c_str());
    if (n >= count)
        return std::nullopt;
    return static_cast<int>(n);
}

std::string HeldBackTrace(const std::optional<unsigned>& share, const std::string& rollout,
                          unsigned place)
{
    std::string given = share ? std::to_string(*share) + "%" : "'" + rollout + "' unreadable";
    return "Update held back: rollout " + given + ", place " + std::to_string(place);
}

std::string WithdrawnTrace(const std::string& version, bool copyKept)
{
    return "Update " + version + " withdrawn" + (copyKept ? "; its copy could not be deleted" : "");
}
