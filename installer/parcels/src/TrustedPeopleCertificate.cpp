#include "parcels/TrustedPeopleCertificate.h"

#include <shlwapi.h>
#include <wincrypt.h>

namespace {

// The context CryptQueryObject hands out: a certificate, CRL or CTL by the
// content's type, each freed by its own call.
class QueriedContext {
public:
    QueriedContext() = default;
    ~QueriedContext()
    {
        if (!m_context)
            return;
        switch (m_content) {
        case CERT_QUERY_CONTENT_CERT:
        case CERT_QUERY_CONTENT_SERIALIZED_CERT:
            CertFreeCertificateContext(static_cast<PCCERT_CONTEXT>(m_context));
            break;
        case CERT_QUERY_CONTENT_CRL:
        case CERT_QUERY_CONTENT_SERIALIZED_CRL:
            CertFreeCRLContext(static_cast<PCCRL_CONTEXT>(m_context));
            break;
        case CERT_QUERY_CONTENT_CTL:
        case CERT_QUERY_CONTENT_SERIALIZED_CTL:
            CertFreeCTLContext(static_cast<PCCTL_CONTEXT>(m_context));
            break;
        default:
            break;
        }
    }
    QueriedContext(const QueriedContext&) = delete;
    QueriedContext& operator=(const QueriedContext&) = delete;
    const void** Address() noexcept { return &m_context; }
    DWORD* Content() noexcept { return &m_content; }
    // The certificate, when that is what the file held.
    PCCERT_CONTEXT Certificate() const noexcept
    {
        const bool certificate =
            m_content == CERT_QUERY_CONTENT_CERT || m_content == CERT_QUERY_CONTENT_SERIALIZED_CERT;
        return certificate ? static_cast<PCCERT_CONTEXT>(m_context) : nullptr;
    }

private:
    const void* m_context = nullptr;
    DWORD m_content = 0;
};

class StoreHolder {
public:
    explicit StoreHolder(HCERTSTORE store) noexcept : m_store(store) {}
    ~StoreHolder()
    {
        if (m_store)
            CertCloseStore(m_store, 0);
    }
    StoreHolder(const StoreHolder&) = delete;
    StoreHolder& operator=(const StoreHolder&) = delete;
    HCERTSTORE Get() const noexcept { return m_store; }

private:
    HCERTSTORE m_store;
};

constexpr DWORD kAllContentTypes = 0x3FFE;
constexpr DWORD kAllFormatTypes = 0xE;

// A failure whose last error was not set must not read as success.
DWORD LastError() noexcept
{
    const DWORD error = GetLastError();
    return error ? error : static_cast<DWORD>(E_FAIL);
}

} // namespace

DWORD ImportTrustedPeopleCertificate(const _stringx& path)
{
    if (path.empty())
        return ERROR_INVALID_PARAMETER;
    if (!PathFileExistsW(path.c_str()))
        return ERROR_FILE_NOT_FOUND;
    DWORD encoding = 0;
    QueriedContext queried;
    if (!CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(), kAllContentTypes, kAllFormatTypes, 0, &encoding,
                          queried.Content(), nullptr, nullptr, nullptr, queried.Address()))
        return LastError();
    const PCCERT_CONTEXT certificate = queried.Certificate();
    if (!certificate)
        return ERROR_NOT_SUPPORTED;
    StoreHolder store(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, encoding, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE,
                                    L"TrustedPeople"));
    if (!store.Get())
        return LastError();
    if (!CertAddEncodedCertificateToStore(store.Get(), certificate->dwCertEncodingType, certificate->pbCertEncoded,
                                          certificate->cbCertEncoded, CERT_STORE_ADD_REPLACE_EXISTING, nullptr))
        return LastError();
    return 0;
}
