#include "evidence/PacketProof.h"

#include <memory>

extern "C" {
#include <libavformat/avformat.h>
}

#include "media/AviChunk.h"
#include "media/CAVIExtractor.h"
#include "media/MediaInfo.h"

namespace {

constexpr uint32_t kLargestChunk = 16u << 20;  // no picture of a recording comes near this

using Units = std::vector<std::pair<const uint8_t*, size_t>>;

size_t TrimZeros(const uint8_t* data, size_t size) {
    while (size > 0 && data[size - 1] == 0) --size;
    return size;
}

// The NAL units of an Annex B picture (start codes of three or four bytes).
Units AnnexBUnits(const uint8_t* data, size_t size) {
    Units units;
    size_t start = SIZE_MAX;
    for (size_t i = 0; i + 2 < size; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1) continue;
        if (start != SIZE_MAX) units.emplace_back(data + start, TrimZeros(data + start, i - start));
        start = i + 3;
        i += 2;
    }
    if (start != SIZE_MAX && start < size)
        units.emplace_back(data + start, TrimZeros(data + start, size - start));
    return units;
}

// The NAL units of an MP4 sample with four-byte lengths; empty when the lengths do not fit.
Units LengthPrefixedUnits(const uint8_t* data, size_t size) {
    Units units;
    size_t at = 0;
    while (at + 4 <= size) {
        const size_t length = (size_t{data[at]} << 24) | (size_t{data[at + 1]} << 16) |
                              (size_t{data[at + 2]} << 8) | data[at + 3];
        at += 4;
        if (length > size - at) return {};
        units.emplace_back(data + at, TrimZeros(data + at, length));
        at += length;
    }
    return at == size ? units : Units{};
}

bool SameUnits(const Units& a, const Units& b) {
    if (a.size() != b.size() || a.empty()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].second != b[i].second || std::memcmp(a[i].first, b[i].first, a[i].second) != 0)
            return false;
    return true;
}

// One camera's video chunks through the recordings, in order.
class ChunkCursor {
public:
    ChunkCursor(const std::vector<std::string>& paths, int camera)
        : m_paths(paths), m_camera(camera) {}

    // The next chunk's payload; false at the end of the last recording or on a read error
    // (then *error is set).
    bool Next(std::vector<uint8_t>* payload, std::string* error) {
        for (;;) {
            if (!m_open) {
                if (m_file >= m_paths.size()) return false;
                if (m_reader.OpenFile(m_paths[m_file].c_str(), nullptr) == 0) {
                    *error = "cannot read " + m_paths[m_file];
                    return false;
                }
                m_open = true;
                m_chunk = -1;
            }
            char id[4];
            uint32_t size = 0;
            const int64_t position = m_reader.SkipChunk(id, &size);
            if (position < 0) {
                m_reader.CloseFile();
                m_open = false;
                ++m_file;
                continue;
            }
            const AviChunkKind kind = ClassifyChunk(id);
            const bool mine =
                kind == (m_camera == 0 ? AviChunkKind::FrontVideo : AviChunkKind::RearVideo);
            if (!mine) continue;
            ++m_chunk;
            // Room for the pad byte a chunk of odd size carries.
            payload->resize(std::min(size, kLargestChunk) + 1);
            m_reader.Seek(position, 0);
            int32_t length = static_cast<int32_t>(payload->size());
            if (size > kLargestChunk || m_reader.ParseMedia(id, payload->data(), &length) < 0) {
                // Unreadable: it can equal no packet. Read on after it.
                length = 0;
                m_reader.Seek(position, 0);
                m_reader.SkipChunk(id, &size);
            }
            payload->resize(static_cast<size_t>(std::max(length, 0)));
            return true;
        }
    }
    const std::string& Path() const { return m_paths[std::min(m_file, m_paths.size() - 1)]; }
    int64_t Chunk() const { return m_chunk; }

private:
    const std::vector<std::string>& m_paths;
    int m_camera;
    CAVIExtractor m_reader;
    bool m_open = false;
    size_t m_file = 0;
    int64_t m_chunk = -1;
};

struct FormatCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

struct TrackState {
    TrackProof proof;
    std::unique_ptr<ChunkCursor> cursor;
    std::vector<uint8_t> chunk;
};

// Packet `packet` of a track against the cursor: the first one is looked for, every later one
// must be the next chunk.
bool Compare(TrackState& t, const uint8_t* data, size_t size, std::string* error) {
    TrackProof& p = t.proof;
    ++p.packets;
    if (!p.mismatch.empty()) return true;
    const Units sample = LengthPrefixedUnits(data, size);
    for (;;) {
        if (!t.cursor->Next(&t.chunk, error)) {
            if (!error->empty()) return false;
            p.mismatch = "packet " + std::to_string(p.packets - 1) +
                         (p.compared == 0 ? " matches no chunk of the recordings"
                                          : " has no chunk left after the recordings' end");
            return true;
        }
        const bool same = SameUnits(sample, AnnexBUnits(t.chunk.data(), t.chunk.size()));
        if (same) {
            if (p.compared == 0) {
                p.firstSource = t.cursor->Path();
                p.firstChunk = t.cursor->Chunk();
            }
            ++p.compared;
            return true;
        }
        if (p.compared > 0) {
            p.mismatch = "packet " + std::to_string(p.packets - 1) + " differs from chunk " +
                         std::to_string(t.cursor->Chunk()) + " of " + t.cursor->Path();
            return true;
        }
    }
}

}  // namespace

bool ProveClip(const std::string& clipPath, const std::vector<std::string>& recordings,
               std::vector<TrackProof>* tracks, std::string* error) {
    tracks->clear();
    error->clear();
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, clipPath.c_str(), nullptr, nullptr) < 0) {
        *error = "cannot read the clip " + clipPath;
        return false;
    }
    std::unique_ptr<AVFormatContext, FormatCloser> format(raw);
    if (avformat_find_stream_info(format.get(), nullptr) < 0) {
        *error = "cannot read the clip " + clipPath;
        return false;
    }
    // Video tracks in file order: the front camera, then the rear one.
    std::vector<int> cameraOfStream(format->nb_streams, -1);
    std::vector<TrackState> states;
    for (unsigned s = 0; s < format->nb_streams && states.size() < 2; ++s) {
        if (format->streams[s]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
        cameraOfStream[s] = static_cast<int>(states.size());
        TrackState state;
        state.proof.camera = cameraOfStream[s];
        state.cursor = std::make_unique<ChunkCursor>(recordings, cameraOfStream[s]);
        states.push_back(std::move(state));
    }
    if (states.empty()) {
        *error = "the clip " + clipPath + " has no video";
        return false;
    }
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    int result = 0;
    while ((result = av_read_frame(format.get(), packet.get())) >= 0) {
        const int camera = packet->stream_index < static_cast<int>(cameraOfStream.size())
                               ? cameraOfStream[static_cast<size_t>(packet->stream_index)]
                               : -1;
        const bool ok = camera < 0 || Compare(states[static_cast<size_t>(camera)], packet->data,
                                              static_cast<size_t>(packet->size), error);
        av_packet_unref(packet.get());
        if (!ok) return false;
    }
    if (result != AVERROR_EOF) {
        *error = "cannot read the clip " + clipPath + " to its end";
        return false;
    }
    for (TrackState& t : states) tracks->push_back(t.proof);
    return true;
}
