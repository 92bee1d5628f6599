#include "media/CAVIExtractor.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "media/AviChunk.h"
#include "support/Trace.h"

namespace {

constexpr uint32_t kMainHeaderBytes = 56;
constexpr size_t kMainHeaderTotalFramesOffset = 16;  // dwTotalFrames
constexpr uint32_t kStreamHeaderBytes = 56;
constexpr uint32_t kVideoFormatBytes = 40;   // BITMAPINFOHEADER
constexpr uint32_t kAudioFormatBytes = 16;   // PCM WAVEFORMAT
constexpr int kStreamTypeOffset = 0;         // fccType in the stream header
constexpr int kStreamHandlerOffset = 4;      // fccHandler in the stream header
constexpr int kStreamRateOffset = 24;        // dwRate in the stream header
constexpr int kVideoCompressionOffset = 16;  // biCompression
constexpr int kVideoWidthOffset = 4;         // biWidth
constexpr int kVideoHeightOffset = 8;        // biHeight
constexpr int kAudioRateOffset = 4;          // nSamplesPerSec
constexpr int kAudioBitsOffset = 14;         // wBitsPerSample
// The recorder writes dwScale 1000, so dwRate is frames per 1000 seconds.
constexpr uint32_t kRateScale = 1000;
constexpr int32_t kMaxReportedFrameRate = 30;
// Larger than any camera picture; a header claiming more is damaged.
constexpr int32_t kMaxVideoDimension = 16384;
// hdrl > strl > (odml and the like): deeper nesting only comes from damaged files.
constexpr int kMaxListDepth = 4;
constexpr int kChunkHeaderBytes = 8;

// Until a recording with sound has been opened the slot holds the format the player's output
// starts with (16-bit mono 8000 Hz), so a silent first recording does not reopen the output.
void SetDefaultAudioFormat(uint8_t* slot) {
    const uint8_t kDefault[kAudioFormatBytes] = {
        1,    0,           // PCM
        1,    0,           // mono
        0x40, 0x1F, 0, 0,  // 8000 samples a second
        0x80, 0x3E, 0, 0,  // 16000 bytes a second
        2,    0,           // block align
        16,   0,           // bits per sample
    };
    std::memcpy(slot, kDefault, sizeof kDefault);
}

}  // namespace

CAVIExtractor::CAVIExtractor() {
    SetDefaultAudioFormat(m_audioFormat);
}

CAVIExtractor::~CAVIExtractor() {
    CloseFile();
}

int32_t CAVIExtractor::OpenFile(const char* path, MediaInfo* info) {
    m_videoStreamCount = 0;
    m_videoStreams[0] = VideoStream{};
    m_videoStreams[1] = VideoStream{};
    m_hasAudioStream = false;
    m_openError.clear();
    m_movieSize = 0;
    m_moviPos = -1;
    m_movieSizeWritten = false;
    CloseFile();
    if (info != nullptr) {
        // Asked for an index: a refused file must not leave the previous file's in place.
        m_index = MediaInfo{};
        m_indexSource = AviIndexSource::None;
    }
    if (!m_file.Open(path)) return 0;
    const int32_t movieSize = ParseHeader();
    if (movieSize == 0) {
        // A rejected file is closed rather than left open at the point of failure.
        m_file.Close();
        m_movieSize = 0;
        m_moviPos = -1;
        m_movieSizeWritten = false;
        return 0;
    }
    if (info != nullptr) {
        BuildIndexOfOpenFile();
        *info = m_index;
        if (m_file.Seek(m_moviPos + 4, 0) != 0) {
            m_file.Close();
            return 0;
        }
    }
    return movieSize;
}

void CAVIExtractor::CloseFile() {
    m_file.Close();
}

int32_t CAVIExtractor::ParseHeader() {
    char id[4];
    if (!m_file.ReadFourCC(id) || !IsFourCC(id, "RIFF")) return 0;
    if (!m_file.ReadU32(&m_riffSize)) return 0;
    if (!m_file.ReadFourCC(m_formType) || !IsFourCC(m_formType, "AVI ")) return 0;
    m_formType[4] = '\0';
    char headerListId[4];
    uint32_t headerListSize = 0;
    if (!m_file.ReadFourCC(headerListId) || !m_file.ReadU32(&headerListSize)) return 0;
    int64_t remaining = headerListSize;
    if (remaining > m_file.Remaining()) return 0;

    // The first item is the header list's type ("hdrl"), the rest are its chunks and lists.
    bool atListType = true;
    while (remaining > 0) {
        if (!ParseItem(remaining, atListType, 0)) return 0;
        atListType = false;
    }
    return FindMovieList();
}

bool CAVIExtractor::ParseItem(int64_t& remaining, bool atListType, int depth) {
    char id[4];
    if (!m_file.ReadFourCC(id)) return false;
    remaining -= 4;
    if (IsFourCC(id, "LIST")) {
        if (depth >= kMaxListDepth) return false;
        uint32_t size = 0;
        if (!m_file.ReadU32(&size)) return false;
        remaining -= 4 + PaddedChunkSize(size);
        int64_t inner = size;
        return ParseList(inner, depth + 1) && ((size & 1) == 0 || m_file.Skip(1));
    }
    if (IsFourCC(id, "hdrl")) return ParseMainHeader(remaining);
    if (IsFourCC(id, "strl")) return ParseStreamList(remaining);
    if (atListType) {
        // A list of a kind the reader has no use for (odml, INFO): skip it whole.
        if (remaining > 0 && !m_file.Skip(remaining)) return false;
        remaining = 0;
        return true;
    }
    // Any other chunk (JUNK, strn, vprp) is stepped over by its own size.
    uint32_t size = 0;
    if (!m_file.ReadU32(&size)) return false;
    remaining -= 4 + PaddedChunkSize(size);
    return m_file.Skip(PaddedChunkSize(size));
}

bool CAVIExtractor::ParseList(int64_t& remaining, int depth) {
    if (!ParseItem(remaining, true, depth)) return false;
    // Whatever follows the parts the reader uses (strn or vprp after a stream's format) is
    // skipped, so the walk goes on at the next item of the enclosing list.
    if (remaining > 0 && !m_file.Skip(remaining)) return false;
    remaining = 0;
    return true;
}

bool CAVIExtractor::ReadChunkHeader(int64_t& remaining, uint32_t* size) {
    char id[4];
    if (!m_file.ReadFourCC(id) || !m_file.ReadU32(size)) return false;
    remaining -= kChunkHeaderBytes;
    return true;
}

bool CAVIExtractor::ParseMainHeader(int64_t& remaining) {
    uint32_t size = 0;
    if (!ReadChunkHeader(remaining, &size) || size != kMainHeaderBytes) return false;
    if (!m_file.ReadExact(m_mainHeader, kMainHeaderBytes)) return false;
    remaining -= kMainHeaderBytes;
    return true;
}

bool CAVIExtractor::ParseFormatChunk(int64_t& remaining, uint32_t expectedSize, uint8_t* slot) {
    uint32_t size = 0;
    if (!ReadChunkHeader(remaining, &size) || size != expectedSize) return false;
    // Read aside first: a short read must not leave half a record in a slot that outlives
    // this file (the audio format is kept across files).
    uint8_t record[kVideoFormatBytes];
    if (expectedSize > sizeof record || !m_file.ReadExact(record, expectedSize)) return false;
    std::memcpy(slot, record, expectedSize);
    remaining -= expectedSize;
    return true;
}

bool CAVIExtractor::ParseStreamList(int64_t& remaining) {
    uint32_t size = 0;
    if (!ReadChunkHeader(remaining, &size) || size != kStreamHeaderBytes) return false;
    if (!m_file.ReadExact(m_streamHeader, kStreamHeaderBytes)) return false;
    remaining -= kStreamHeaderBytes;
    const char* type = reinterpret_cast<const char*>(m_streamHeader + kStreamTypeOffset);

    if (IsFourCC(type, "vids")) {
        if (!ParseFormatChunk(remaining, kVideoFormatBytes, m_videoFormat)) return false;
        const int32_t width = static_cast<int32_t>(ReadLe32(m_videoFormat + kVideoWidthOffset));
        const int32_t height = static_cast<int32_t>(ReadLe32(m_videoFormat + kVideoHeightOffset));
        if (width < 0 || height < 0 || width > kMaxVideoDimension || height > kMaxVideoDimension) {
            return false;
        }
        // A third video stream overwrites the rear camera's entry.
        VideoStream& entry = m_videoStreams[std::min(m_videoStreamCount, 1)];
        entry.width = width;
        entry.height = height;
        entry.frameRate =
            static_cast<int32_t>(ReadLe32(m_streamHeader + kStreamRateOffset) / kRateScale);
        const char* handler = reinterpret_cast<const char*>(m_streamHeader + kStreamHandlerOffset);
        const char* compression =
            reinterpret_cast<const char*>(m_videoFormat + kVideoCompressionOffset);
        entry.codec = VideoCodecFromAviCodes(handler, compression);
        ++m_videoStreamCount;
        if (entry.codec == VideoCodec::Unknown) {
            // Refused here rather than left to the decoder, which would show nothing.
            m_openError = "the video is in a codec the viewer cannot play (" +
                          AviCodecCode(handler, compression) + ")";
            Trace("CAVIExtractor: %s\n", m_openError.c_str());
            return false;
        }
        return true;
    }
    if (IsFourCC(type, "auds")) {
        m_hasAudioStream = true;
        return ParseFormatChunk(remaining, kAudioFormatBytes, m_audioFormat);
    }
    // The text stream and anything else: nothing to learn from the rest of the list.
    if (remaining > 0 && !m_file.Skip(remaining)) return false;
    remaining = 0;
    return true;
}

int32_t CAVIExtractor::FindMovieList() {
    // Normally the movie list follows the header list directly; writers may put JUNK (or
    // an INFO list) between them.
    for (;;) {
        const int64_t pos = m_file.Tell();
        char id[4];
        uint32_t size = 0;
        if (pos < 0 || !m_file.ReadFourCC(id) || !m_file.ReadU32(&size)) return 0;
        if (!IsFourCC(id, "LIST")) {
            if (!m_file.Skip(PaddedChunkSize(size))) return 0;
            continue;
        }
        char type[4];
        if (!m_file.ReadFourCC(type)) return 0;
        if (IsFourCC(type, "movi")) {
            m_moviPos = pos + kChunkHeaderBytes;
            // Cameras write this size when they close the file; after a power cut it reads 0
            // (or whatever was reserved, beyond the end). The list then runs to the end.
            const int64_t toEnd = m_file.Size() - m_moviPos;
            m_movieSizeWritten = size >= 4 && size <= toEnd;
            m_movieSize = m_movieSizeWritten ? size : toEnd;
            return static_cast<int32_t>(std::min<int64_t>(m_movieSize, INT32_MAX));
        }
        if (size < 4 || !m_file.Skip(PaddedChunkSize(size) - 4)) return 0;
    }
}

bool CAVIExtractor::ReadMediaHeader(char id[4], uint32_t* size, int64_t* position) {
    if (!m_file.IsOpen()) return false;
    *position = m_file.Tell();
    // Past the last chunk a cut-off recording holds zeros (or the torn start of a chunk):
    // that ends the data, as it ends the index rebuild.
    return *position >= 0 && m_file.ReadFourCC(id) && IsPrintableFourCC(id) && m_file.ReadU32(size);
}

bool CAVIExtractor::StepOverPayload(int64_t position, uint32_t size) {
    const int64_t payloadEnd = position + kChunkHeaderBytes + size;
    if (payloadEnd > m_file.Size()) {
        m_file.Seek(0, 2);
        return false;
    }
    // A missing pad byte after the last payload is forgiven.
    m_file.Seek(std::min(payloadEnd + (size & 1), m_file.Size()), 0);
    return true;
}

bool CAVIExtractor::IsWholeMediaChunk(const char id[4], uint32_t size, int64_t position) {
    const AviChunkKind kind = ClassifyChunk(id);
    if (!IsVideoChunk(kind) && kind != AviChunkKind::Audio) return false;
    return PaddedChunkSize(size) <= kMaxChunkBytes &&
           position + kChunkHeaderBytes + size <= m_file.Size();
}

int64_t CAVIExtractor::ParseMedia(char id[4], uint8_t* buffer, int32_t* size) {
    if (id == nullptr || buffer == nullptr || size == nullptr) return kReadEnd;
    for (;;) {
        int64_t position = -1;
        uint32_t payloadSize = 0;
        if (!ReadMediaHeader(id, &payloadSize, &position)) return kReadEnd;
        const int64_t padded = PaddedChunkSize(payloadSize);
        if (*size >= padded) {
            // A payload cut short by the end of the file is the end of the data, not a
            // chunk; a missing pad byte after a complete last payload is forgiven.
            if (m_file.Read(buffer, static_cast<size_t>(padded)) < payloadSize) return kReadEnd;
            *size = static_cast<int32_t>(payloadSize);
            return position;
        }
        Trace("Wrong Size %d < %d\n", *size, static_cast<int>(payloadSize));
        if (IsWholeMediaChunk(id, payloadSize, position)) {
            // Left unread at its header: a refused chunk must not make the next read start
            // inside its payload.
            if (m_file.Seek(position, 0) != 0) return kReadEnd;
            *size = static_cast<int32_t>(padded);
            return kChunkTooLarge;
        }
        // Not something the caller could use whole: step over it and hand out the next.
        if (!StepOverPayload(position, payloadSize)) return kReadEnd;
    }
}

int64_t CAVIExtractor::SkipChunk(char id[4], uint32_t* size) {
    if (id == nullptr || size == nullptr) return kReadEnd;
    int64_t position = -1;
    uint32_t payloadSize = 0;
    if (!ReadMediaHeader(id, &payloadSize, &position)) return kReadEnd;
    if (!StepOverPayload(position, payloadSize)) return kReadEnd;
    *size = payloadSize;
    return position;
}

int32_t CAVIExtractor::ReadPacket(uint8_t* buffer, int32_t* size) {
    char id[4];
    const int32_t capacity = size != nullptr ? *size : 0;
    const int64_t position = ParseMedia(id, buffer, size);
    if (position <= 0) {
        if (position == kChunkTooLarge) {
            // This entry point has no way to ask for a larger buffer: step over the chunk so
            // the next call goes on with the one after it.
            uint32_t skipped = 0;
            SkipChunk(id, &skipped);
            *size = capacity;
        }
        Trace("m_aviExtractor.ParseMedia failed\n");
        return static_cast<int32_t>(AviChunkKind::Other);
    }
    return static_cast<int32_t>(ClassifyChunk(id));
}

void CAVIExtractor::BuildIndexOfOpenFile() {
    m_index = MediaInfo{};
    m_index.frontFrameRate = GetFrameRate(0);
    m_index.rearFrameRate = GetFrameRate(1);
    AviFrameIndex index = LoadFrameIndex(m_file, m_moviPos, m_movieSize);
    m_index.frontFrameCount = index.frontCount;
    m_index.rearFrameCount = index.rearCount;
    m_index.audioChunkCount = index.audioCount;
    m_index.frontFramePositions = std::move(index.frontPositions);
    m_indexSource = index.source;
}

bool CAVIExtractor::BuildIndex(const char* path, MediaInfo* info) {
    MediaInfo scratch;
    const bool accepted = OpenFile(path, info != nullptr ? info : &scratch) != 0;
    CloseFile();
    return accepted;
}

bool CAVIExtractor::GetMediaInfo(MediaInfo* info) {
    if (info == nullptr || m_indexSource == AviIndexSource::None) return false;
    *info = m_index;
    return true;
}

VideoSizeRec CAVIExtractor::GetVideoSize(VideoSizeRec* out, int stream) {
    VideoSizeRec size;
    if (stream == 0 || stream == 1) {
        size.width = m_videoStreams[stream].width;
        size.height = m_videoStreams[stream].height;
    }
    if (out != nullptr) *out = size;
    return size;
}

int32_t CAVIExtractor::GetFrameRate(int stream) {
    return std::min(GetNativeFrameRate(stream), kMaxReportedFrameRate);
}

VideoCodec CAVIExtractor::GetVideoCodec(int stream) {
    if (stream != 0 && stream != 1) return VideoCodec::Unknown;
    return m_videoStreams[stream].codec;
}

int32_t CAVIExtractor::GetNativeFrameRate(int stream) {
    if (stream != 0 && stream != 1) return 0;
    return m_videoStreams[stream].frameRate;
}

void CAVIExtractor::GetAudioFormat(int32_t* bits, int32_t* rate) {
    if (bits != nullptr) *bits = ReadLe16(m_audioFormat + kAudioBitsOffset);
    if (rate != nullptr) {
        *rate = static_cast<int32_t>(
            std::min<uint32_t>(ReadLe32(m_audioFormat + kAudioRateOffset), INT32_MAX));
    }
}

size_t CAVIExtractor::Read(void* buffer, size_t length) {
    return m_file.Read(buffer, length);
}

int CAVIExtractor::Seek(int64_t offset, int origin) {
    return m_file.Seek(offset, origin);
}

int64_t CAVIExtractor::Tell() {
    return m_file.Tell();
}

int32_t CAVIExtractor::SeekToSecond(int32_t second) {
    const std::vector<int64_t>& positions = m_index.frontFramePositions;
    if (positions.empty() || second < 0) return -1;
    // The table has one entry per front frame at the stream's real rate, so a 60 fps
    // recording needs 60 entries a second even though the player is told 30.
    const int64_t target = static_cast<int64_t>(second) * GetNativeFrameRate(0);
    if (target >= static_cast<int64_t>(positions.size())) return -1;
    return Seek(positions[static_cast<size_t>(target)], 0);
}

int32_t CAVIExtractor::GetHeaderFrameCount() const {
    if (m_moviPos < 0) return 0;
    const uint32_t frames = ReadLe32(m_mainHeader + kMainHeaderTotalFramesOffset);
    return static_cast<int32_t>(std::min<uint32_t>(frames, INT32_MAX));
}

std::optional<EarlyEnd> EarlyEndOf(const CAVIExtractor& reader, const MediaInfo& info) {
    const int32_t stated = reader.GetHeaderFrameCount();
    if (reader.GetIndexSource() != AviIndexSource::Rebuilt || info.frontFrameRate <= 0 ||
        stated <= info.frontFrameCount)
        return std::nullopt;
    const auto ms = [&info](int64_t frames) { return frames * 1000 / info.frontFrameRate; };
    return EarlyEnd{ms(info.frontFrameCount), ms(stated)};
}

std::optional<EarlyEnd> CheckEarlyEnd(const std::string& path) {
    CAVIExtractor reader;
    MediaInfo info;
    if (reader.OpenFile(path.c_str(), &info) == 0) return std::nullopt;
    std::optional<EarlyEnd> end = EarlyEndOf(reader, info);
    reader.CloseFile();
    return end;
}
