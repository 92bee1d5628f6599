#pragma once
// SHA-256 of bytes fed in pieces, as `sha256sum` prints it (64 lower-case hex digits).

#include <cstddef>
#include <memory>
#include <string>

class Sha256Digest {
public:
    Sha256Digest();
    ~Sha256Digest();
    void Add(const void* data, size_t length);
    // The digest of everything added; the object is spent afterwards.
    std::string Hex();

private:
    struct Context;
    std::unique_ptr<Context> m_context;
};
