// CRYPT32 may be a delayed import: the calls must go through its import thunks,
// which the linker keeps only for calls that are not declared dllimport.
#define WINIMPM

#include "kr/signer.h"

#include <windows.h>
#include <wincrypt.h>

#include <memory>

namespace kr {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// The signer certificate of a file's embedded signature, with the store and
// message it came from; everything is released with the object.
class signer_certificate {
public:
    explicit signer_certificate(const _stringx& path)
    {
        DWORD encoding = 0;
        DWORD content = 0;
        DWORD format = 0;
        if (!CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                              CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &content, &format, &store_, &message_,
                              nullptr))
            return;
        DWORD size = 0;
        if (!CryptMsgGetParam(message_, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size) || size == 0)
            return;
        signer_info_.reset(new BYTE[size]());
        if (!CryptMsgGetParam(message_, CMSG_SIGNER_INFO_PARAM, 0, signer_info_.get(), &size))
            return;
        const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(signer_info_.get());
        CERT_INFO wanted = {};
        wanted.Issuer = signer->Issuer;
        wanted.SerialNumber = signer->SerialNumber;
        certificate_ = CertFindCertificateInStore(store_, kEncoding, 0, CERT_FIND_SUBJECT_CERT, &wanted, nullptr);
    }

    ~signer_certificate()
    {
        if (certificate_)
            CertFreeCertificateContext(certificate_);
        if (store_)
            CertCloseStore(store_, 0);
        if (message_)
            CryptMsgClose(message_);
    }

    signer_certificate(const signer_certificate&) = delete;
    signer_certificate& operator=(const signer_certificate&) = delete;

    PCCERT_CONTEXT get() const noexcept { return certificate_; }

private:
    HCERTSTORE store_ = nullptr;
    HCRYPTMSG message_ = nullptr;
    std::unique_ptr<BYTE[]> signer_info_;
    PCCERT_CONTEXT certificate_ = nullptr;
};

} // namespace

bool same_signer(const _stringx& first, const _stringx& second)
{
    const signer_certificate one(first);
    if (!one.get())
        return false;
    const signer_certificate two(second);
    if (!two.get())
        return false;
    return CertCompareCertificate(X509_ASN_ENCODING, one.get()->pCertInfo, two.get()->pCertInfo) != FALSE;
}

} // namespace kr
