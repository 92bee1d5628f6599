#include "media/AviIndex.h"

#include <algorithm>

#include "media/AviChunk.h"

namespace {

constexpr int64_t kIndexEntryBytes = 16;
constexpr int64_t kChunkHeaderBytes = 8;
// Entries are read in blocks so that a long recording's index never needs one large buffer.
constexpr int64_t kIndexEntriesPerBlock = 4096;
constexpr size_t kRebuildWindowBytes = 64 * 1024;

void CountChunk(AviFrameIndex* index, AviChunkKind kind, int64_t position) {
    if (kind == AviChunkKind::FrontVideo) {
        index->frontPositions.push_back(position);
        ++index->frontCount;
    } else if (kind == AviChunkKind::RearVideo) {
        ++index->rearCount;
    } else if (kind == AviChunkKind::Audio) {
        ++index->audioCount;
    }
}

// Finds the idx1 chunk that follows the movie list, stepping over anything a writer put
// between them. Returns its payload size, or -1 when there is none or it is cut short.
int64_t FindIdx1(AviFile& file, int64_t moviPos, int64_t movieSize) {
    int64_t pos = moviPos + PaddedChunkSize(movieSize);
    while (pos >= 0 && pos + kChunkHeaderBytes <= file.Size()) {
        char id[4];
        uint32_t size = 0;
        if (file.Seek(pos, 0) != 0 || !file.ReadFourCC(id) || !file.ReadU32(&size)) return -1;
        if (!IsPrintableFourCC(id)) return -1;
        const int64_t end = pos + kChunkHeaderBytes + size;
        if (end > file.Size()) return -1;
        if (IsFourCC(id, "idx1")) return size;
        pos = pos + kChunkHeaderBytes + PaddedChunkSize(size);
    }
    return -1;
}

}  // namespace

const char* AviIndexSourceName(AviIndexSource source) {
    switch (source) {
        case AviIndexSource::Idx1:
            return "idx1";
        case AviIndexSource::Rebuilt:
            return "rebuilt";
        case AviIndexSource::None:
            break;
    }
    return "none";
}

bool ReadIdx1Index(AviFile& file, int64_t moviPos, int64_t movieSize, AviFrameIndex* index) {
    *index = AviFrameIndex{};
    const int64_t size = FindIdx1(file, moviPos, movieSize);
    if (size < 0) return false;
    // The file position is now at the first entry. An entry's offset counts from the "movi"
    // type, so its chunk header sits at offset + moviPos. A video entry that points outside
    // the movie data means the index is damaged (torn by a power loss, or written with other
    // offsets); the chunk walk gives the right table in that case.
    const int64_t dataStart = moviPos + 4;
    const int64_t dataEnd = std::min<int64_t>(moviPos + movieSize, file.Size());
    int64_t entries = size / kIndexEntryBytes;
    std::vector<uint8_t> block(
        static_cast<size_t>(std::min(entries, kIndexEntriesPerBlock) * kIndexEntryBytes));
    while (entries > 0) {
        const int64_t count = std::min(entries, kIndexEntriesPerBlock);
        if (!file.ReadExact(block.data(), static_cast<size_t>(count * kIndexEntryBytes))) {
            return false;
        }
        for (int64_t i = 0; i < count; ++i) {
            const uint8_t* entry = block.data() + i * kIndexEntryBytes;
            const AviChunkKind kind = ClassifyChunk(reinterpret_cast<const char*>(entry));
            if (kind == AviChunkKind::Audio) ++index->audioCount;
            if (!IsVideoChunk(kind)) continue;
            const int64_t position = moviPos + ReadLe32(entry + 8);
            if (position < dataStart || position + kChunkHeaderBytes > dataEnd) return false;
            CountChunk(index, kind, position);
        }
        entries -= count;
    }
    index->source = AviIndexSource::Idx1;
    return true;
}

AviFrameIndex RebuildFrameIndex(AviFile& file, int64_t moviPos, int64_t movieSize) {
    AviFrameIndex index;
    index.source = AviIndexSource::Rebuilt;
    const int64_t listEnd = std::min<int64_t>(moviPos + movieSize, file.Size());
    int64_t pos = moviPos + 4;
    // Headers are picked out of a window of the file read in one call; most chunks are
    // smaller than the window, so a long recording costs a few hundred reads.
    std::vector<uint8_t> window(kRebuildWindowBytes);
    int64_t windowStart = 0;
    int64_t windowLength = 0;
    while (pos + kChunkHeaderBytes <= listEnd) {
        if (pos < windowStart || pos + kChunkHeaderBytes > windowStart + windowLength) {
            windowStart = pos;
            windowLength = static_cast<int64_t>(file.ReadAt(pos, window.data(), window.size()));
            if (windowLength < kChunkHeaderBytes) break;
        }
        const uint8_t* header = window.data() + (pos - windowStart);
        const char* id = reinterpret_cast<const char*>(header);
        const uint32_t size = ReadLe32(header + 4);
        // Past the last complete chunk a cut-off recording holds zeros or a partial chunk.
        if (!IsPrintableFourCC(id)) break;
        if (pos + kChunkHeaderBytes + size > file.Size()) break;
        CountChunk(&index, ClassifyChunk(id), pos);
        pos += kChunkHeaderBytes + PaddedChunkSize(size);
    }
    return index;
}

AviFrameIndex LoadFrameIndex(AviFile& file, int64_t moviPos, int64_t movieSize) {
    AviFrameIndex index;
    if (ReadIdx1Index(file, moviPos, movieSize, &index)) return index;
    return RebuildFrameIndex(file, moviPos, movieSize);
}
