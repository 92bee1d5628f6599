#pragma once
// The container reader the player reads a recording through.
//
// Lifecycle: Initialize when the player starts; OpenFile / ParseMedia ... / CloseFile for
// each recording; Shutdown when the player's threads stop.
//
// Threads: no lock of its own. The player's worker calls ParseMedia and SeekToSecond while
// holding the player lock; the UI thread opens files through the player (same lock) and
// calls BuildIndex directly on its own instance or through the player.

#include <cstddef>
#include <cstdint>

#include "media/MediaInfo.h"

struct VideoSizeRec {
    int32_t width = 0;
    int32_t height = 0;
};

class VMediaParser {
public:
    virtual ~VMediaParser() = default;

    virtual bool Initialize() = 0;
    virtual void Shutdown() = 0;
    // Builds the index into info when given, then parses the header. Returns the movie
    // list size, or 0 when the file is rejected. On success the file stays open at the
    // first media chunk.
    virtual int32_t OpenFile(const char* path, MediaInfo* info) = 0;
    virtual void CloseFile() = 0;
    // Reads the next chunk and classifies it: 0 front video, 1 rear video, 2 audio, 3 text,
    // 5 anything else or a failed read. size: in capacity, out payload size.
    virtual int32_t ReadPacket(uint8_t* buffer, int32_t* size) = 0;
    // Reads the next chunk: id receives its four identifier bytes, buffer its payload (plus
    // the pad byte of an odd size); size: in capacity, out payload size. Returns the file
    // position of the chunk header, or -1.
    virtual int64_t ParseMedia(char id[4], uint8_t* buffer, int32_t* size) = 0;
    virtual bool BuildIndex(const char* path, MediaInfo* info) = 0;
    virtual VideoSizeRec GetVideoSize(VideoSizeRec* out, int stream) = 0;
    // Frame rate of video stream 0 or 1, values above 30 reported as 30.
    virtual int32_t GetFrameRate(int stream) = 0;
    // The stream's real frame rate (dwRate / 1000), not capped.
    virtual int32_t GetNativeFrameRate(int stream) = 0;
    virtual void GetAudioFormat(int32_t* bits, int32_t* rate) = 0;
    virtual size_t Read(void* buffer, size_t length) = 0;
    // origin: 0 start, 1 current, 2 end. Returns 0 on success.
    virtual int Seek(int64_t offset, int origin) = 0;
    virtual int64_t Tell() = 0;
    // Positions the file at the front frame that starts the given second; -1 when there is
    // no such frame.
    virtual int32_t SeekToSecond(int32_t second) = 0;
};
