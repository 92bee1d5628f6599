#include "evidence/Sha256.h"

#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "support/RegularFile.h"

namespace {

constexpr size_t kBlockBytes = 1 << 20;
constexpr size_t kSha256HexChars = 64;

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

FileStamp StampOf(const struct stat& st) {
    FileStamp s;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = static_cast<uint64_t>(st.st_size);
    s.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return s;
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
            total += n;
            if (!write(block.data(), n, total)) return false;
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

// The source still is what was opened: the same stamp through its descriptor and through
// its name, and every byte of it read.
bool SourceHeld(FILE* in, const std::string& source, const FileStamp& opened, uint64_t read,
                std::string* error) {
    struct stat now, named;
    if (::fstat(fileno(in), &now) != 0 || ::stat(source.c_str(), &named) != 0) {
        *error = source + " went away while it was copied";
        return false;
    }
    if (read != opened.size || !(StampOf(now) == opened) || !(StampOf(named) == opened)) {
        *error = source + " changed while it was copied";
        return false;
    }
    return true;
}

bool CopyBlocks(FILE* in, FILE* out, const std::string& source, const std::string& target,
                const FileStamp& opened, const CopyProgress& progress, CopiedFile* copied,
                std::string* error) {
    uint64_t bytes = 0;
    const bool read = HashStream(
        in, source,
        [&](const unsigned char* data, size_t n, uint64_t done) {
            if (std::fwrite(data, 1, n, out) != n) {
                *error = Why("write", target);
                return false;
            }
            return !progress || progress(done, opened.size);
        },
        &copied->sha256, &bytes, error);
    if (!read || !SourceHeld(in, source, opened, bytes, error)) return false;
    if (std::fflush(out) != 0 || ::fsync(fileno(out)) != 0) {
        *error = Why("write", target);
        return false;
    }
    copied->stamp = opened;
    return true;
}

}  // namespace

bool Sha256OfFile(const std::string& path, std::string* hex, std::string* error) {
    std::string why;
    File in(OpenRegularFileStream(path, &why));
    if (!in) {
        *error = "cannot read " + why;
        return false;
    }
    return HashStream(
        in.get(), path, [](const unsigned char*, size_t, uint64_t) { return true; }, hex, nullptr,
        error);
}

bool Sha256OfDescriptor(int fd, const std::string& name, std::string* hex, uint64_t* bytes,
                        std::string* error) {
    const int own = ::dup(fd);
    File in(own >= 0 ? ::fdopen(own, "rb") : nullptr);
    if (!in) {
        if (own >= 0) ::close(own);
        *error = Why("read", name);
        return false;
    }
    return HashStream(
        in.get(), name, [](const unsigned char*, size_t, uint64_t) { return true; }, hex, bytes,
        error);
}

std::string Sha256OfBytes(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    return Hex(digest, length);
}

bool StampOfFile(const std::string& path, FileStamp* stamp, std::string* error) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        *error = Why("read", path);
        return false;
    }
    *stamp = StampOf(st);
    return true;
}

bool CopyAndHash(const std::string& source, const std::string& target, const FileStamp* expected,
                 const CopyProgress& progress, CopiedFile* copied, std::string* error) {
    std::string why;
    File in(OpenRegularFileStream(source, &why));
    if (!in) {
        *error = "cannot read " + why;
        return false;
    }
    struct stat st;
    if (::fstat(fileno(in.get()), &st) != 0) {
        *error = Why("read", source);
        return false;
    }
    const FileStamp opened = StampOf(st);
    if (expected && !(opened == *expected)) {
        *error = source + " changed while it was read";
        return false;
    }
    File out(std::fopen(target.c_str(), "wbx"));
    if (!out) {
        *error = Why("write", target);
        return false;
    }
    bool written = CopyBlocks(in.get(), out.get(), source, target, opened, progress, copied, error);
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

std::string Sha256SumsLine(const std::string& hex, const std::string& rel) {
    std::string name;
    bool escaped = false;
    for (const char c : rel) {
        const char* escape = c == '\\' ? "\\\\" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : nullptr;
        escaped = escaped || escape;
        if (escape)
            name += escape;
        else
            name += c;
    }
    return (escaped ? "\\" : "") + hex + "  " + name + "\n";
}

bool ParseSha256SumsLine(const std::string& line, std::string* hex, std::string* rel) {
    const bool escaped = !line.empty() && line[0] == '\\';
    const size_t at = escaped ? 1 : 0;
    // The hash, a space, then a space (text) or a star (binary) before the name.
    const size_t nameAt = at + kSha256HexChars + 2;
    if (line.size() <= nameAt || line[nameAt - 2] != ' ' ||
        (line[nameAt - 1] != ' ' && line[nameAt - 1] != '*'))
        return false;
    *hex = line.substr(at, kSha256HexChars);
    if (hex->find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
    rel->clear();
    for (size_t i = nameAt; i < line.size(); ++i) {
        if (!escaped || line[i] != '\\') {
            *rel += line[i];
            continue;
        }
        if (++i == line.size()) return false;
        const char c = line[i];
        if (c != '\\' && c != 'n' && c != 'r') return false;
        *rel += c == 'n' ? '\n' : c == 'r' ? '\r' : '\\';
    }
    return true;
}
