#include "evidence/PackageSignature.h"

// pem.h first: cms.h declares its PEM readers only after it.
#include <openssl/pem.h>
// clang-format off
#include <openssl/bio.h>
#include <openssl/cms.h>
// clang-format on
#include <openssl/err.h>
#include <openssl/x509.h>

#include <ctime>

namespace {

struct BioFree {
    void operator()(BIO* b) const { BIO_free(b); }
};
struct CmsFree {
    void operator()(CMS_ContentInfo* c) const { CMS_ContentInfo_free(c); }
};
struct StoreFree {
    void operator()(X509_STORE* s) const { X509_STORE_free(s); }
};
struct SignersFree {
    void operator()(STACK_OF(X509) * s) const { sk_X509_free(s); }
};
using BioPtr = std::unique_ptr<BIO, BioFree>;
using CmsPtr = std::unique_ptr<CMS_ContentInfo, CmsFree>;

// OpenSSL's own words for the last failure, for the end of a message.
std::string OpenSslCause() {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) return "unknown cause";
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

bool Fail(std::string* error, const std::string& message) {
    *error = message;
    ERR_clear_error();
    return false;
}

BioPtr MemoryOf(const std::string& data) {
    return BioPtr(BIO_new_mem_buf(data.data(), static_cast<int>(data.size())));
}

// Never prompts: a key that needs a pass phrase is refused as unreadable.
int NoPassphrase(char*, int, int, void*) {
    return 0;
}

std::string NameText(const X509_NAME* name) {
    BioPtr out(BIO_new(BIO_s_mem()));
    if (!out || X509_NAME_print_ex(out.get(), name, 0, XN_FLAG_RFC2253) < 0) return {};
    char* data = nullptr;
    const long size = BIO_get_mem_data(out.get(), &data);
    return std::string(data, static_cast<size_t>(size));
}

std::string SigningTime(CMS_ContentInfo* cms) {
    STACK_OF(CMS_SignerInfo)* infos = CMS_get0_SignerInfos(cms);
    if (!infos || sk_CMS_SignerInfo_num(infos) < 1) return {};
    CMS_SignerInfo* si = sk_CMS_SignerInfo_value(infos, 0);
    const int at = CMS_signed_get_attr_by_NID(si, NID_pkcs9_signingTime, -1);
    X509_ATTRIBUTE* attribute = at >= 0 ? CMS_signed_get_attr(si, at) : nullptr;
    ASN1_TYPE* value = attribute ? X509_ATTRIBUTE_get0_type(attribute, 0) : nullptr;
    if (!value || (value->type != V_ASN1_UTCTIME && value->type != V_ASN1_GENERALIZEDTIME))
        return {};
    std::tm tm{};
    const ASN1_TIME* time =
        value->type == V_ASN1_UTCTIME ? value->value.utctime : value->value.generalizedtime;
    if (ASN1_TIME_to_tm(time, &tm) != 1) return {};
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

CmsPtr ReadSignature(const std::string& signature) {
    BioPtr in = MemoryOf(signature);
    CmsPtr cms(in ? d2i_CMS_bio(in.get(), nullptr) : nullptr);
    if (cms) return cms;
    in = MemoryOf(signature);
    return CmsPtr(in ? PEM_read_bio_CMS(in.get(), nullptr, nullptr, nullptr) : nullptr);
}

}  // namespace

void PackageSigner::KeyFree::operator()(evp_pkey_st* key) const {
    EVP_PKEY_free(key);
}
void PackageSigner::CertFree::operator()(x509_st* cert) const {
    X509_free(cert);
}

PackageSigner::PackageSigner() = default;
PackageSigner::~PackageSigner() = default;

bool PackageSigner::Load(const std::string& keyPath, const std::string& certPath,
                         std::string* error) {
    BioPtr key(BIO_new_file(keyPath.c_str(), "rb"));
    if (!key) return Fail(error, "cannot read the key " + keyPath + ": " + OpenSslCause());
    m_key.reset(PEM_read_bio_PrivateKey(key.get(), nullptr, NoPassphrase, nullptr));
    if (!m_key)
        return Fail(error,
                    keyPath + " holds no private key that can be read without a pass phrase");
    BioPtr cert(BIO_new_file(certPath.c_str(), "rb"));
    if (!cert)
        return Fail(error, "cannot read the certificate " + certPath + ": " + OpenSslCause());
    m_cert.reset(PEM_read_bio_X509(cert.get(), nullptr, NoPassphrase, nullptr));
    if (!m_cert) return Fail(error, certPath + " holds no PEM certificate");
    if (X509_check_private_key(m_cert.get(), m_key.get()) != 1) {
        m_key.reset();
        m_cert.reset();
        return Fail(error,
                    "the key " + keyPath + " does not belong to the certificate " + certPath);
    }
    return true;
}

std::string PackageSigner::Subject() const {
    return m_cert ? NameText(X509_get_subject_name(m_cert.get())) : std::string();
}

bool PackageSigner::Sign(const std::string& data, std::string* der, std::string* error) const {
    if (!Loaded()) return Fail(error, "no signing key loaded");
    BioPtr content = MemoryOf(data);
    // Binary: the bytes of SHA256SUMS are signed as they are, line ends untouched.
    CmsPtr cms(content ? CMS_sign(m_cert.get(), m_key.get(), nullptr, content.get(),
                                  CMS_DETACHED | CMS_BINARY)
                       : nullptr);
    if (!cms) return Fail(error, "cannot sign: " + OpenSslCause());
    BioPtr out(BIO_new(BIO_s_mem()));
    if (!out || i2d_CMS_bio(out.get(), cms.get()) != 1)
        return Fail(error, "cannot sign: " + OpenSslCause());
    char* bytes = nullptr;
    const long size = BIO_get_mem_data(out.get(), &bytes);
    der->assign(bytes, static_cast<size_t>(size));
    return true;
}

SignatureCheck CheckSignature(const std::string& data, const std::string& signature,
                              const std::string& caPath) {
    SignatureCheck check;
    CmsPtr cms = ReadSignature(signature);
    if (!cms) {
        check.problem = "it is not a CMS signature";
        ERR_clear_error();
        return check;
    }
    std::unique_ptr<X509_STORE, StoreFree> store(X509_STORE_new());
    if (!store) {
        check.problem = "out of memory";
        return check;
    }
    unsigned int flags = CMS_BINARY;
    if (caPath.empty()) {
        flags |= CMS_NO_SIGNER_CERT_VERIFY;
    } else if (X509_STORE_load_file(store.get(), caPath.c_str()) != 1) {
        check.problem = "cannot read the CA certificate " + caPath;
        ERR_clear_error();
        return check;
    }
    BioPtr content = MemoryOf(data);
    if (!content ||
        CMS_verify(cms.get(), nullptr, store.get(), content.get(), nullptr, flags) != 1) {
        check.problem = "it does not hold for SHA256SUMS: " + OpenSslCause();
        return check;
    }
    check.valid = true;
    check.chainChecked = !caPath.empty();
    std::unique_ptr<STACK_OF(X509), SignersFree> signers(CMS_get0_signers(cms.get()));
    if (signers && sk_X509_num(signers.get()) > 0)
        check.signer = NameText(X509_get_subject_name(sk_X509_value(signers.get(), 0)));
    check.signedAt = SigningTime(cms.get());
    return check;
}
