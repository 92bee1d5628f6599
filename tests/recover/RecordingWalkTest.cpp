// The chunk walk on hand-made recordings: where it stops, and what it keeps, for each way a
// recording's bytes can stop fitting.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "recover/RecordingWalk.h"

namespace {

class MemoryBytes : public RecordingBytes {
public:
    MemoryBytes(std::string bytes, uint64_t granule)
        : m_bytes(std::move(bytes)), m_granule(granule) {}
    size_t ReadAt(uint64_t offset, void* buffer, size_t length) override {
        if (offset >= m_bytes.size()) return 0;
        const size_t n = std::min<size_t>(length, m_bytes.size() - offset);
        std::memcpy(buffer, m_bytes.data() + offset, n);
        return n;
    }
    uint64_t BreakGranule() const override { return m_granule; }

private:
    std::string m_bytes;
    uint64_t m_granule;
};

std::string U32(uint32_t v) {
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}
std::string Chunk(const std::string& id, const std::string& body) {
    return id + U32(static_cast<uint32_t>(body.size())) + body + (body.size() % 2 ? "\0" : "");
}
std::string List(const std::string& type, const std::string& body) {
    return "LIST" + U32(static_cast<uint32_t>(body.size() + 4)) + type + body;
}
// A 56-byte stream header of the given type whose chunks may be up to limit bytes.
std::string StreamHeader(const std::string& type, uint32_t limit) {
    std::string h = type + std::string(52, '\0');
    std::memcpy(h.data() + 36, U32(limit).data(), 4);
    return h;
}

struct Movie {
    std::string chunks;  // the movie data after "movi"
    bool sizesWritten = true;
};

// avih, a video stream (chunks up to 1000 bytes) and a 16-bit audio stream; then the movie
// list and an index of `indexBytes`.
std::string Recording(const Movie& movie, size_t indexBytes = 32) {
    std::string wave(16, '\0');
    wave[12] = 2;  // nBlockAlign
    const std::string header = List(
        "hdrl", Chunk("avih", std::string(56, '\0')) +
                    List("strl", Chunk("strh", StreamHeader("vids", 1000)) +
                                     Chunk("strf", std::string(40, '\0'))) +
                    List("strl", Chunk("strh", StreamHeader("auds", 0)) + Chunk("strf", wave)));
    std::string movi = List("movi", movie.chunks);
    std::string body = "AVI " + header + movi + Chunk("idx1", std::string(indexBytes, '\0'));
    std::string file = "RIFF" + U32(static_cast<uint32_t>(body.size())) + body;
    if (!movie.sizesWritten) {
        std::memset(file.data() + 4, 0, 4);
        std::memset(file.data() + 12 + header.size() + 4, 0, 4);
    }
    return file;
}

const std::string kFrame = Chunk("00dc", std::string(300, 'v'));
const std::string kSound = Chunk("01wb", std::string(320, 'a'));

TEST(RecordingWalkTest, StopsAtTheFirstChunkThatDoesNotFit) {
    const std::string whole = Recording({kFrame + kSound + kFrame});
    const size_t moviData = whole.find("movi") + 4;
    struct Case {
        const char* what;
        std::string bytes;
        uint64_t granule;
        bool whole;
        size_t length;  // expected, from the start
        uint32_t frames;
    } cases[] = {
        {"whole", whole, 0, true, whole.size(), 2},
        {"cut inside the last frame", whole.substr(0, whole.size() - 60), 0, false,
         moviData + kFrame.size() + kSound.size(), 1},
        {"a code no stream has", Recording({kFrame + Chunk("05dc", "x") + kFrame}), 0, false,
         moviData + kFrame.size(), 1},
        {"a frame larger than its stream allows",
         Recording({kFrame + Chunk("00dc", std::string(1002, 'v'))}), 0, false,
         moviData + kFrame.size(), 1},
        {"half a sound sample", Recording({kFrame + Chunk("01wb", "abc") + kFrame}), 0, false,
         moviData + kFrame.size(), 1},
        {"sizes never written: the movie ends at the index", Recording({kFrame + kSound, false}), 0,
         false, moviData + kFrame.size() + kSound.size(), 1},
        {"an index whose size is no whole entry", Recording({kFrame}, 30), 0, false,
         moviData + kFrame.size(), 1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        MemoryBytes bytes(k.bytes, k.granule);
        const RecordingWalk walk = WalkRecording(bytes);
        ASSERT_TRUE(walk.recognised);
        EXPECT_EQ(walk.whole, k.whole);
        EXPECT_EQ(walk.length, k.length);
        EXPECT_EQ(walk.frontFrames, k.frames);
    }
}

// Bytes that read well but stop fitting: the last chunk is kept only when it cannot hold the
// break, that is when it lies within one cluster.
TEST(RecordingWalkTest, ChunkThatMayHoldTheBreakIsLeftOut) {
    const std::string whole = Recording({kFrame + kSound + kFrame});
    const size_t soundAt = whole.find("01wb");
    const size_t soundEnd = soundAt + kSound.size();
    std::string broken = whole;
    std::memset(broken.data() + soundEnd, 'x', 8);  // the next header is foreign
    for (uint64_t granule : {uint64_t{0}, uint64_t{64}, uint64_t{1} << 16}) {
        SCOPED_TRACE(granule);
        MemoryBytes bytes(broken, granule);
        const RecordingWalk walk = WalkRecording(bytes);
        const bool straddles = granule != 0 && soundAt / granule != (soundEnd - 1) / granule;
        EXPECT_EQ(walk.length, straddles ? soundAt : soundEnd);
        EXPECT_FALSE(walk.whole);
    }
}

TEST(RecordingWalkTest, RefusesWhatIsNoRecording) {
    std::string noVideo = Recording({kSound});
    noVideo.replace(noVideo.find("vids"), 4, "txts");
    for (const std::string& bytes :
         {std::string("RIFF\0\0\0\0WAVE", 12), Recording({kFrame}).substr(0, 40), noVideo}) {
        MemoryBytes source(bytes, 0);
        EXPECT_FALSE(WalkRecording(source).recognised);
    }
}

}  // namespace
