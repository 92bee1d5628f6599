#include "recover/Sha256Digest.h"

#include <openssl/evp.h>

struct Sha256Digest::Context {
    struct Free {
        void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
    };
    std::unique_ptr<EVP_MD_CTX, Free> md{EVP_MD_CTX_new()};
};

Sha256Digest::Sha256Digest() : m_context(std::make_unique<Context>()) {
    if (m_context->md) EVP_DigestInit_ex(m_context->md.get(), EVP_sha256(), nullptr);
}

Sha256Digest::~Sha256Digest() = default;

void Sha256Digest::Add(const void* data, size_t length) {
    if (m_context->md) EVP_DigestUpdate(m_context->md.get(), data, length);
}

std::string Sha256Digest::Hex() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!m_context->md || EVP_DigestFinal_ex(m_context->md.get(), digest, &length) != 1) return "";
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}
