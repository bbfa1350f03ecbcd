#include "root_store.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <vector>

#include "framework/win.h"

namespace {

// The common name with which with-real-servers starts each authority it makes.
const char kTestAuthorityName[] = "Velnor test authority";

struct StoreCloser {
    void operator()(HCERTSTORE store) const { CertCloseStore(store, 0); }
};
using Store = std::unique_ptr<void, StoreCloser>;

// The registry store itself, not the system store over it: Wine's system
// store takes a deletion without passing it on to the registry.
Store OpenRoot()
{
    return Store(CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_A, 0, 0,
                               CERT_SYSTEM_STORE_LOCAL_MACHINE, "ROOT"));
}

bool IsExpiredTestAuthority(PCCERT_CONTEXT certificate)
{
    char name[256] = {};
    CertGetNameStringA(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, sizeof name);
    if (std::string(name).rfind(kTestAuthorityName, 0) != 0)
        return false;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return CompareFileTime(&certificate->pCertInfo->NotAfter, &now) < 0;
}

void RemoveExpiredTestAuthorities(HCERTSTORE store)
{
    std::vector<PCCERT_CONTEXT> expired;
    for (PCCERT_CONTEXT c = nullptr; (c = CertEnumCertificatesInStore(store, c)) != nullptr;)
        if (IsExpiredTestAuthority(c))
            expired.push_back(CertDuplicateCertificateContext(c));
    for (PCCERT_CONTEXT c : expired)
        CertDeleteCertificateFromStore(c);  // frees the context too
}

}  // namespace

bool AddTrustedRoot(const std::string& der)
{
    Store store = OpenRoot();
    if (!store)
        return false;
    RemoveExpiredTestAuthorities(store.get());
    return CertAddEncodedCertificateToStore(
        store.get(), X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
        static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
}

bool RemoveTrustedRoot(const std::string& der)
{
    Store store = OpenRoot();
    if (!store)
        return false;
    PCCERT_CONTEXT wanted = CertCreateCertificateContext(
        X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()));
    if (!wanted)
        return false;
    BYTE hash[20];
    DWORD size = sizeof hash;
    bool hashed = CertGetCertificateContextProperty(wanted, CERT_SHA1_HASH_PROP_ID, hash, &size);
    CertFreeCertificateContext(wanted);
    if (!hashed)
        return false;
    CRYPT_HASH_BLOB blob = {size, hash};
    PCCERT_CONTEXT found = CertFindCertificateInStore(store.get(), X509_ASN_ENCODING, 0,
                                                      CERT_FIND_SHA1_HASH, &blob, nullptr);
    return !found || CertDeleteCertificateFromStore(found);
}

TrustedRoot::TrustedRoot(const std::string& derPath)
{
    std::ifstream in(derPath, std::ios::binary);
    der_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (der_.empty())
        throw std::runtime_error("cannot read the authority " + derPath);
    if (!AddTrustedRoot(der_))
        throw std::runtime_error("the Root store refuses the authority " + derPath + ", error " +
                                 std::to_string(GetLastError()));
}

TrustedRoot::~TrustedRoot() { RemoveTrustedRoot(der_); }
