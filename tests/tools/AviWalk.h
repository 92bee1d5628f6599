#pragma once
// Walks a generated recording byte by byte, independently of the writer, so the tests check
// the layout against the format rather than against the code that wrote it.

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace avi_walk {

inline uint32_t U32(const std::vector<uint8_t>& d, size_t at) {
    return at + 4 <= d.size() ? uint32_t(d[at]) | uint32_t(d[at + 1]) << 8 |
                                    uint32_t(d[at + 2]) << 16 | uint32_t(d[at + 3]) << 24
                              : 0;
}
inline uint16_t U16(const std::vector<uint8_t>& d, size_t at) {
    return at + 2 <= d.size() ? uint16_t(d[at] | d[at + 1] << 8) : 0;
}
inline std::string FourCC(const std::vector<uint8_t>& d, size_t at) {
    return at + 4 <= d.size() ? std::string(reinterpret_cast<const char*>(&d[at]), 4)
                              : std::string();
}

struct Chunk {
    std::string id;
    size_t header = 0;  // file position of the chunk's identifier
    uint32_t size = 0;
    const uint8_t* payload = nullptr;
};

struct StreamList {
    std::string type;                   // fccType of strh
    std::vector<uint8_t> streamHeader;  // the 56 bytes
    std::vector<uint8_t> format;        // strf payload
    uint32_t streamHeaderSize = 0;
    bool extraChunks = false;  // anything after strf
};

struct IndexEntry {
    std::string id;
    uint32_t flags = 0;
    uint32_t offset = 0;
    uint32_t size = 0;
};

struct AviFile {
    std::vector<uint8_t> bytes;
    std::string problem;  // empty when the walk found the expected structure
    uint32_t riffSize = 0;
    uint32_t mainHeaderSize = 0;
    std::vector<uint8_t> mainHeader;
    std::vector<StreamList> streams;
    size_t moviFourcc = 0;  // position of "movi"
    uint32_t moviSize = 0;
    std::vector<Chunk> chunks;
    std::vector<uint8_t> padBytes;  // the pad byte of every odd chunk
    bool hasIndex = false;
    std::vector<IndexEntry> index;
    size_t endOfMovi = 0;
};

inline AviFile Walk(const std::string& path) {
    AviFile f;
    std::ifstream in(path, std::ios::binary);
    f.bytes.assign(std::istreambuf_iterator<char>(in), {});
    const auto& d = f.bytes;
    auto fail = [&](const std::string& why) {
        f.problem = why;
        return f;
    };
    if (FourCC(d, 0) != "RIFF" || FourCC(d, 8) != "AVI ") return fail("no RIFF AVI header");
    f.riffSize = U32(d, 4);
    if (FourCC(d, 12) != "LIST" || FourCC(d, 20) != "hdrl") return fail("no hdrl list first");
    const size_t hdrlEnd = 20 + U32(d, 16);
    size_t p = 24;
    if (FourCC(d, p) != "avih") return fail("no avih");
    f.mainHeaderSize = U32(d, p + 4);
    f.mainHeader.assign(d.begin() + p + 8, d.begin() + p + 8 + f.mainHeaderSize);
    p += 8 + f.mainHeaderSize;
    while (p < hdrlEnd) {
        if (FourCC(d, p) != "LIST" || FourCC(d, p + 8) != "strl")
            return fail("header item not a strl");
        const size_t end = p + 8 + U32(d, p + 4);
        StreamList s;
        size_t q = p + 12;
        if (FourCC(d, q) != "strh") return fail("strl without strh");
        s.streamHeaderSize = U32(d, q + 4);
        s.streamHeader.assign(d.begin() + q + 8, d.begin() + q + 8 + s.streamHeaderSize);
        s.type = FourCC(d, q + 8);
        q += 8 + s.streamHeaderSize;
        if (FourCC(d, q) != "strf") return fail("strl without strf");
        const uint32_t n = U32(d, q + 4);
        s.format.assign(d.begin() + q + 8, d.begin() + q + 8 + n);
        q += 8 + n + (n & 1);
        s.extraChunks = q != end;
        f.streams.push_back(s);
        p = end;
    }
    if (p != hdrlEnd) return fail("header list size does not match its items");
    if (FourCC(d, p) != "LIST" || FourCC(d, p + 8) != "movi")
        return fail("movi list not right after hdrl");
    f.moviSize = U32(d, p + 4);
    f.moviFourcc = p + 8;
    f.endOfMovi = f.moviFourcc + f.moviSize;
    if (f.endOfMovi > d.size()) return fail("movi list runs past the end of the file");
    p = f.moviFourcc + 4;
    while (p < f.endOfMovi) {
        Chunk c;
        c.id = FourCC(d, p);
        c.header = p;
        c.size = U32(d, p + 4);
        if (p + 8 + c.size > f.endOfMovi) return fail("chunk runs past the movi list");
        c.payload = &d[p + 8];
        if (c.size & 1) f.padBytes.push_back(d[p + 8 + c.size]);
        f.chunks.push_back(c);
        p += 8 + c.size + (c.size & 1);
    }
    if (p != f.endOfMovi) return fail("chunks do not end where the movi list ends");
    if (p < d.size()) {
        if (FourCC(d, p) != "idx1") return fail("something other than idx1 after movi");
        const uint32_t n = U32(d, p + 4);
        if (p + 8 + n != d.size()) return fail("idx1 size does not reach the end of the file");
        f.hasIndex = true;
        for (size_t e = p + 8; e + 16 <= p + 8 + n; e += 16)
            f.index.push_back({FourCC(d, e), U32(d, e + 4), U32(d, e + 8), U32(d, e + 12)});
    }
    return f;
}

}  // namespace avi_walk
