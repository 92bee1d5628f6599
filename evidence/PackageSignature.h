#pragma once
// The signature of a package: a detached CMS (PKCS #7) signature of its SHA256SUMS, made with
// the signer's key and certificate, stored as SHA256SUMS.p7s in DER. Anyone can check it
// without this program:
//   openssl cms -verify -binary -content SHA256SUMS -inform DER -in SHA256SUMS.p7s
//       -CAfile CA.pem -out /dev/null       (one line)
// SHA256SUMS names every other file with its hash, so the signature covers the package.
// The signing time is the signer's own clock, stated in the signature.
//
// No Qt. Runs on the caller's thread.

#include <memory>
#include <string>

struct evp_pkey_st;
struct x509_st;

class PackageSigner {
public:
    PackageSigner();
    ~PackageSigner();
    PackageSigner(const PackageSigner&) = delete;
    PackageSigner& operator=(const PackageSigner&) = delete;

    // Reads a PEM private key and certificate; false with a sentence naming the file when
    // either cannot be read (an encrypted key included: nothing here asks for a pass phrase)
    // or the key is not the certificate's.
    bool Load(const std::string& keyPath, const std::string& certPath, std::string* error);
    bool Loaded() const { return m_key && m_cert; }
    // The certificate's subject, as a person reads it (RFC 2253).
    std::string Subject() const;
    // The DER signature of data; false with the cause in *error.
    bool Sign(const std::string& data, std::string* der, std::string* error) const;

private:
    struct KeyFree {
        void operator()(evp_pkey_st* key) const;
    };
    struct CertFree {
        void operator()(x509_st* cert) const;
    };
    std::unique_ptr<evp_pkey_st, KeyFree> m_key;
    std::unique_ptr<x509_st, CertFree> m_cert;
};

struct SignatureCheck {
    bool valid = false;         // the signature holds for the data
    bool chainChecked = false;  // and the signer's certificate leads to the CA given
    std::string signer;         // the signer's subject
    std::string signedAt;       // UTC, "YYYY-MM-DDTHH:MM:SSZ"; empty when the signature has none
    std::string problem;        // why it does not hold
};

// Checks a detached signature (DER or PEM) of data. With a CA file the signer's certificate
// must lead to it; without one only the signature itself is checked.
SignatureCheck CheckSignature(const std::string& data, const std::string& signature,
                              const std::string& caPath);
