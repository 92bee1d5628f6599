#pragma once
// Streams a recording to disk in the dashcam's RIFF/AVI layout:
//
//   RIFF 'AVI '
//     LIST 'hdrl'  avih(56)  LIST 'strl' { strh(56) strf(40|16|4) } per stream
//     LIST 'movi'  one chunk per access unit / PCM packet / telemetry payload
//     idx1         16 bytes per chunk: id, flags (0x10 key), offset from 'movi', size
//
// Only the header sizes and counts are patched at the end; chunks go straight to the file,
// so memory stays flat however long the recording is (the index is 16 bytes per chunk).
// The file is written under a temporary name and renamed when complete, so a failure never
// leaves a half-written recording behind.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "media/VideoCodec.h"

struct AviVideoStream {
    int width = 0;
    int height = 0;
    int frameRate = 30;
};

struct AviLayout {
    std::vector<AviVideoStream> video;  // front first, then rear
    bool audio = true;
    int audioRate = 8000;  // 16-bit mono PCM
    bool text = true;
    VideoCodec codec = VideoCodec::H264;  // both video streams
};

class AviWriter {
public:
    static constexpr uint32_t kKeyFrameFlag = 0x10;
    static constexpr uint32_t kMainHeaderSize = 56;
    static constexpr uint32_t kStreamHeaderSize = 56;
    static constexpr uint32_t kBitmapInfoSize = 40;
    static constexpr uint32_t kWaveFormatSize = 16;
    static constexpr uint32_t kTextFormatSize = 4;

    AviWriter() = default;
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Opens the temporary file and writes the header with placeholder counts.
    bool Open(const std::string& path, const AviLayout& layout, std::string* error);

    // Chunk ids: video stream v is "%02ddc", then "wb" and "tx" with the next numbers.
    bool WriteVideo(int stream, const uint8_t* data, size_t size, bool keyFrame);
    bool WriteAudio(const uint8_t* data, size_t size);
    bool WriteText(const uint8_t* data, size_t size);

    // Patches the sizes, appends idx1 when asked, closes and renames into place.
    bool Finish(bool writeIndex, std::string* error);
    // Drops the temporary file (after a failure elsewhere).
    void Abandon();

private:
    struct StreamCount {
        uint32_t chunks = 0;
        uint64_t bytes = 0;
        uint32_t largest = 0;
    };

    bool WriteChunk(const char id[4], const uint8_t* data, size_t size, uint32_t flags,
                    StreamCount& count);
    void WriteHeader();
    void WriteMainHeader();
    bool Fail(const std::string& message, std::string* error);

    FILE* m_file = nullptr;
    std::string m_path;
    std::string m_tempPath;
    AviLayout m_layout;
    std::vector<uint8_t> m_header;  // the whole header up to and including 'movi'
    uint64_t m_moviFourccPos = 0;   // file position of the 'movi' list type
    uint64_t m_position = 0;        // current end of file
    std::vector<uint8_t> m_index;
    std::vector<StreamCount> m_counts;  // video streams, then audio, then text
    bool m_writeFailed = false;
};
