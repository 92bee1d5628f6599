// libFuzzer target for the recording reader: the input is a whole file. It is opened with an
// index record and read chunk by chunk to the end as the player reads it (a 1 MiB buffer,
// grown when the reader asks for more), walked once more by chunk headers as the listings
// and the GPS export walk it, its index rebuilt from the chunk headers, sought to a few
// seconds, and indexed again. Besides crashes it stops on a broken promise of the reader: a
// walk that goes backwards or does not end, a chunk outside the file, an index entry that is
// not a chunk header the walk met.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/FuzzMemoryFile.h"
#include "media/AviChunk.h"
#include "media/AviIndex.h"
#include "media/CAVIExtractor.h"
#include "support/Trace.h"

namespace {

constexpr int32_t kPlayerCapacity = 1 << 20;  // the player's usual read buffer
// The walk's starting buffer: far below the player's, so that inputs of a few kilobytes
// reach the path of a chunk larger than the buffer.
constexpr int32_t kWalkCapacity = 512;
constexpr int kMaxChunks = 100000;
constexpr int64_t kChunkHeaderBytes = 8;

void Require(bool promise) {
    if (!promise) __builtin_trap();
}

// Reads to the end as the player does, growing the buffer when asked. Returns the positions of the
// chunks handed out.
std::vector<int64_t> ReadAsPlayer(CAVIExtractor& reader, std::vector<uint8_t>& buffer,
                                  int64_t fileSize) {
    std::vector<int64_t> positions;
    // Every chunk takes at least its header, so the walk ends within this many reads.
    const int64_t limit = fileSize / kChunkHeaderBytes + 2;
    for (int64_t n = 0; n < limit; ++n) {
        char id[4];
        int32_t size = kWalkCapacity;
        int64_t pos = reader.ParseMedia(id, buffer.data(), &size);
        if (pos == CAVIExtractor::kChunkTooLarge) {
            Require(size > kWalkCapacity && size <= CAVIExtractor::kMaxChunkBytes);
            Require(IsVideoChunk(ClassifyChunk(id)) || ClassifyChunk(id) == AviChunkKind::Audio);
            pos = reader.ParseMedia(id, buffer.data(), &size);
            Require(pos != CAVIExtractor::kChunkTooLarge);
        }
        if (pos < 0) return positions;
        Require(positions.empty() || pos > positions.back());
        Require(size >= 0 && pos + kChunkHeaderBytes + size <= fileSize);
        positions.push_back(pos);
    }
    Require(false);  // the walk did not end
    return positions;
}

void WalkHeaders(CAVIExtractor& reader, int64_t fileSize) {
    char id[4];
    uint32_t size = 0;
    int64_t last = -1;
    for (int64_t n = 0; n < fileSize / kChunkHeaderBytes + 2; ++n) {
        const int64_t pos = reader.SkipChunk(id, &size);
        if (pos < 0) return;
        Require(pos > last && pos + kChunkHeaderBytes + size <= fileSize);
        last = pos;
    }
    Require(false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzMemoryFile file("fuzz_avi");
    static std::vector<uint8_t> buffer(CAVIExtractor::kMaxChunkBytes);
    static bool quiet = [] {
        SetTraceSink([](const std::string&) {});
        return true;
    }();
    (void)quiet;
    if (!file.Fill(data, size)) return 0;
    const int64_t fileSize = static_cast<int64_t>(size);

    CAVIExtractor reader;
    MediaInfo info;
    if (reader.OpenFile(file.Path(), &info) != 0) {
        const int64_t moviPos = reader.GetMovieListPosition();
        Require(moviPos > 0 && reader.GetMovieSize() >= 4 &&
                moviPos + reader.GetMovieSize() <= fileSize);
        Require(info.frontFrameCount == static_cast<int32_t>(info.frontFramePositions.size()));
        for (int64_t pos : info.frontFramePositions) {
            Require(pos > moviPos && pos + kChunkHeaderBytes <= fileSize);
        }
        int32_t bits = 0, rate = 0;
        reader.GetAudioFormat(&bits, &rate);
        reader.GetVideoSize(nullptr, 0);
        reader.GetFrameRate(1);

        const std::vector<int64_t> read = ReadAsPlayer(reader, buffer, fileSize);
        // A rebuilt index lists front chunks the player's walk meets (the walk may go on
        // past the movie list; the rebuild stops at its end).
        if (reader.GetIndexSource() == AviIndexSource::Rebuilt) {
            for (int64_t pos : info.frontFramePositions) {
                Require(std::binary_search(read.begin(), read.end(), pos));
            }
        }

        // Mixed capacities through the classifying entry point, which steps over what it
        // cannot hand out.
        reader.Seek(moviPos + 4, 0);
        for (int n = 0; n < kMaxChunks; ++n) {
            int32_t capacity = n % 3 == 0 ? 64 : kPlayerCapacity;
            if (reader.ReadPacket(buffer.data(), &capacity) == 5 && reader.Tell() >= 0 &&
                reader.Tell() >= fileSize) {
                break;
            }
        }
        for (int32_t second : {0, 1, 2, 59, -1, 1 << 30}) {
            if (reader.SeekToSecond(second) == 0) {
                char id[4];
                int32_t capacity = kPlayerCapacity;
                reader.ParseMedia(id, buffer.data(), &capacity);
            }
        }
        reader.Seek(moviPos + 4, 0);
        WalkHeaders(reader, fileSize);

        // The rebuild over the whole movie list, whatever index the file carries.
        AviFile raw;
        if (raw.Open(file.Path())) {
            const AviFrameIndex rebuilt = RebuildFrameIndex(raw, moviPos, reader.GetMovieSize());
            Require(rebuilt.frontCount == static_cast<int32_t>(rebuilt.frontPositions.size()));
            Require(std::is_sorted(rebuilt.frontPositions.begin(), rebuilt.frontPositions.end()));
        }
    }
    reader.BuildIndex(file.Path(), &info);
    return 0;
}
