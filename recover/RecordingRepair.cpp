#include "recover/RecordingRepair.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "media/AviChunk.h"
#include "media/ExportTargets.h"
#include "recover/ClusterStream.h"
#include "recover/RecordingWalk.h"
#include "recover/Sha256Digest.h"
#include "support/PendingFile.h"
#include "support/RegularFile.h"

namespace {

constexpr uint32_t kAviHasIndex = 0x10;
constexpr uint32_t kKeyFrameFlag = 0x10;
constexpr size_t kKeyProbeBytes = 4096;
constexpr size_t kCopyBlockBytes = 1 << 20;
// Field offsets within the avih and strh chunks, counted from the chunk's header.
constexpr uint64_t kAvihFlags = 8 + 12;
constexpr uint64_t kAvihTotalFrames = 8 + 16;
constexpr uint64_t kAvihBufferSize = 8 + 28;
constexpr uint64_t kStrhLength = 8 + 32;
constexpr uint64_t kStrhBufferSize = 8 + 36;

struct IndexedChunk {
    char id[4];
    uint64_t offset;  // of its header in the file
    uint32_t size;
    uint32_t flags;
    int stream;
};

// True when the access unit starts a picture that decodes on its own (H.264 IDR, H.265 IRAP).
bool IsKeyPicture(const uint8_t* p, size_t n, bool hevc) {
    for (size_t i = 0; i + 3 < n; ++i) {
        if (p[i] != 0 || p[i + 1] != 0 || p[i + 2] != 1) continue;
        const uint8_t header = p[i + 3];
        if (hevc) {
            const int type = (header >> 1) & 0x3F;
            if (type >= 16 && type <= 23) return true;
            if (type <= 9) return false;
        } else {
            const int type = header & 0x1F;
            if (type == 5) return true;
            if (type >= 1 && type <= 4) return false;
        }
    }
    return false;
}

class Patcher {
public:
    Patcher(std::vector<uint8_t>& header, RepairReport& report)
        : m_header(header), m_report(report) {}
    void Set(uint64_t offset, const std::string& field, uint32_t value) {
        if (offset + 4 > m_header.size()) return;
        const uint32_t before = ReadLe32(m_header.data() + offset);
        if (before == value) return;
        for (int i = 0; i < 4; ++i) m_header[offset + i] = static_cast<uint8_t>(value >> (8 * i));
        m_report.changes.push_back({offset, field, before, value});
    }
    uint32_t Get(uint64_t offset) const {
        return offset + 4 <= m_header.size() ? ReadLe32(m_header.data() + offset) : 0;
    }

private:
    std::vector<uint8_t>& m_header;
    RepairReport& m_report;
};

void PatchHeader(std::vector<uint8_t>& header, const RecordingWalk& walk, uint64_t total,
                 RepairReport& report) {
    Patcher p(header, report);
    p.Set(4, "riff_size", static_cast<uint32_t>(total - 8));
    p.Set(walk.moviAt - 4, "movi_size", static_cast<uint32_t>(walk.moviEnd - walk.moviAt));
    uint32_t largest = 0;
    for (size_t i = 0; i < walk.streams.size(); ++i) {
        const WalkStream& s = walk.streams[i];
        const std::string name = "strh[" + std::to_string(i) + "].";
        uint64_t length = s.chunks;
        if (s.kind == WalkStreamKind::Audio) length = s.bytes / std::max<uint32_t>(1, s.blockAlign);
        p.Set(s.headerAt + kStrhLength, name + "length", static_cast<uint32_t>(length));
        if (p.Get(s.headerAt + kStrhBufferSize) < s.largest)
            p.Set(s.headerAt + kStrhBufferSize, name + "suggested_buffer_size", s.largest);
        largest = std::max(largest, s.largest);
    }
    const uint64_t avih = walk.mainHeaderAt;
    p.Set(avih + kAvihFlags, "avih.flags", p.Get(avih + kAvihFlags) | kAviHasIndex);
    p.Set(avih + kAvihTotalFrames, "avih.total_frames", walk.frontFrames);
    if (p.Get(avih + kAvihBufferSize) < largest + 8)
        p.Set(avih + kAvihBufferSize, "avih.suggested_buffer_size", largest + 8);
}

// Checks the output may be written; false with the reason otherwise.
bool CheckTarget(const std::string& input, const std::string& out, std::string* error) {
    struct stat in {
    }, st{};
    if (stat(input.c_str(), &in) != 0) {
        *error = input + ": " + strerror(errno);
        return false;
    }
    if (stat(out.c_str(), &st) != 0) return true;
    if (st.st_dev == in.st_dev && st.st_ino == in.st_ino) {
        *error = out + ": is the recording being repaired";
        return false;
    }
    if (S_ISDIR(st.st_mode) || IsRecordingTarget(out)) {
        *error =
            out + ": " + (S_ISDIR(st.st_mode) ? "is a folder" : "is a recording; not replaced");
        return false;
    }
    return true;
}

// Marks each video chunk as a key picture or not, now that the streams' codecs are known.
void MarkKeyPictures(FileBytes& bytes, const RecordingWalk& walk, std::vector<IndexedChunk>& index) {
    std::vector<uint8_t> probe(kKeyProbeBytes);
    for (IndexedChunk& e : index) {
        const WalkStream& s = walk.streams[e.stream];
        if (s.kind != WalkStreamKind::Video) continue;
        const size_t n =
            bytes.ReadAt(e.offset + 8, probe.data(), std::min<size_t>(e.size, probe.size()));
        e.flags = IsKeyPicture(probe.data(), n, s.hevc) ? kKeyFrameFlag : 0;
    }
}

// The idx1 chunk: one 16-byte entry per chunk, offsets from the movie list's type.
std::vector<uint8_t> IndexChunk(const std::vector<IndexedChunk>& index, uint64_t moviAt) {
    const uint64_t indexBytes = 8 + index.size() * 16;
    std::vector<uint8_t> idx(indexBytes);
    std::memcpy(idx.data(), "idx1", 4);
    for (int i = 0; i < 4; ++i) idx[4 + i] = static_cast<uint8_t>((indexBytes - 8) >> (8 * i));
    for (size_t i = 0; i < index.size(); ++i) {
        uint8_t* p = idx.data() + 8 + i * 16;
        std::memcpy(p, index[i].id, 4);
        const uint32_t fields[3] = {index[i].flags, static_cast<uint32_t>(index[i].offset - moviAt),
                                    index[i].size};
        for (int f = 0; f < 3; ++f)
            for (int b = 0; b < 4; ++b)
                p[4 + f * 4 + b] = static_cast<uint8_t>(fields[f] >> (8 * b));
    }
    return idx;
}

// Writes the patched header, the movie list as it is and the new index; the digest of all.
bool WriteRepaired(FileBytes& bytes, const std::string& input, const std::vector<uint8_t>& header,
                   uint64_t moviEnd, const std::vector<uint8_t>& idx, PendingFile& file,
                   Sha256Digest& digest, std::string* error) {
    auto put = [&](const void* data, size_t n) {
        digest.Add(data, n);
        return file.WriteAll(std::string(static_cast<const char*>(data), n), error);
    };
    if (!put(header.data(), header.size())) return false;
    std::vector<uint8_t> block(kCopyBlockBytes);
    for (uint64_t at = header.size(); at < moviEnd;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(block.size(), moviEnd - at));
        if (bytes.ReadAt(at, block.data(), want) != want) {
            *error = input + ": changed while it was read";
            return false;
        }
        if (!put(block.data(), want)) return false;
        at += want;
    }
    return put(idx.data(), idx.size());
}

}  // namespace

bool RepairRecording(const std::string& input, const std::string& out, RepairReport* report,
                     std::string* error) {
    *report = RepairReport{};
    if (!CheckTarget(input, out, error)) return false;
    const int fd = OpenRegularFile(input, error);
    if (fd < 0) return false;
    struct Closer {
        int fd;
        ~Closer() { close(fd); }
    } closer{fd};
    FileBytes bytes(fd);
    std::vector<IndexedChunk> index;
    const RecordingWalk walk = WalkRecording(bytes, [&](const WalkedChunk& c) {
        if (c.stream >= 0)
            index.push_back(
                {{c.id[0], c.id[1], c.id[2], c.id[3]}, c.offset, c.size, kKeyFrameFlag, c.stream});
    });
    if (!walk.recognised) {
        *error = input + ": not a recording (no RIFF AVI header naming its streams)";
        return false;
    }
    if (walk.moviEnd > UINT32_MAX) {
        *error = input + ": larger than a RIFF file can be";
        return false;
    }
    MarkKeyPictures(bytes, walk, index);
    struct stat st {};
    fstat(fd, &st);
    const std::vector<uint8_t> idx = IndexChunk(index, walk.moviAt);
    const uint64_t total = walk.moviEnd + idx.size();
    std::vector<uint8_t> header(walk.moviAt + 4);
    if (bytes.ReadAt(0, header.data(), header.size()) != header.size()) {
        *error = input + ": cannot read its header";
        return false;
    }
    PatchHeader(header, walk, total, *report);

    PendingFile file;
    Sha256Digest digest;
    if (!file.Create(out, error) ||
        !WriteRepaired(bytes, input, header, walk.moviEnd, idx, file, digest, error) ||
        !PendingFile::CommitAll({&file}, error))
        return false;
    report->keptBytes = walk.moviEnd;
    report->droppedBytes = static_cast<uint64_t>(st.st_size) - walk.moviEnd;
    report->indexEntries = index.size();
    report->bytes = total;
    report->frontFrames = walk.frontFrames;
    report->rearFrames = walk.rearFrames;
    report->sha256 = digest.Hex();
    return true;
}
