#include "evidence/Sha256.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

constexpr size_t kBlockBytes = 1 << 20;

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;
struct DigestFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

std::string Hex(const unsigned char* digest, unsigned int length) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kDigits[digest[i] >> 4];
        hex += kDigits[digest[i] & 15];
    }
    return hex;
}

std::string Why(const std::string& what, const std::string& path) {
    return "cannot " + what + " " + path + ": " + std::strerror(errno);
}

// Reads source to its end, hashing it and handing each block to write (may be empty).
template <typename Write>
bool HashStream(FILE* in, const std::string& path, Write write, std::string* hex, uint64_t* bytes,
                std::string* error) {
    std::unique_ptr<EVP_MD_CTX, DigestFree> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        *error = "SHA-256 is not available";
        return false;
    }
    std::vector<unsigned char> block(kBlockBytes);
    uint64_t total = 0;
    for (;;) {
        const size_t n = std::fread(block.data(), 1, block.size(), in);
        if (n > 0) {
            EVP_DigestUpdate(context.get(), block.data(), n);
            if (!write(block.data(), n)) return false;
            total += n;
        }
        if (n < block.size()) {
            if (std::ferror(in)) {
                *error = Why("read", path);
                return false;
            }
            break;
        }
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context.get(), digest, &length);
    *hex = Hex(digest, length);
    if (bytes) *bytes = total;
    return true;
}

}  // namespace

bool Sha256OfFile(const std::string& path, std::string* hex, std::string* error) {
    File in(std::fopen(path.c_str(), "rb"));
    if (!in) {
        *error = Why("read", path);
        return false;
    }
    return HashStream(
        in.get(), path, [](const unsigned char*, size_t) { return true; }, hex, nullptr, error);
}

bool CopyAndHash(const std::string& source, const std::string& target, std::string* hex,
                 uint64_t* bytes, std::string* error) {
    File in(std::fopen(source.c_str(), "rb"));
    if (!in) {
        *error = Why("read", source);
        return false;
    }
    File out(std::fopen(target.c_str(), "wbx"));
    if (!out) {
        *error = Why("write", target);
        return false;
    }
    bool written = HashStream(
        in.get(), source,
        [&](const unsigned char* data, size_t n) {
            if (std::fwrite(data, 1, n, out.get()) == n) return true;
            *error = Why("write", target);
            return false;
        },
        hex, bytes, error);
    if (written && std::fflush(out.get()) != 0) {
        *error = Why("write", target);
        written = false;
    }
    if (std::fclose(out.release()) != 0 && written) {
        *error = Why("write", target);
        written = false;
    }
    if (!written) {
        std::error_code ec;
        std::filesystem::remove(target, ec);
    }
    return written;
}
