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
#include <string>

#include "media/MediaInfo.h"
#include "media/VideoCodec.h"

struct VideoSizeRec {
    int32_t width = 0;
    int32_t height = 0;
};

class VMediaParser {
public:
    // ParseMedia results besides a chunk position.
    static constexpr int64_t kReadEnd = -1;        // no file, or the end of the readable data
    static constexpr int64_t kChunkTooLarge = -2;  // the next chunk needs a larger buffer
    // Largest video or sound chunk handed out whole, pad byte included. A key frame of a
    // high-bit-rate camera can pass 1 MiB; a stated size beyond this ceiling is damage, not
    // a picture, and such a chunk is stepped over.
    static constexpr int32_t kMaxChunkBytes = 16 * 1024 * 1024;

    virtual ~VMediaParser() = default;

    virtual bool Initialize() = 0;
    virtual void Shutdown() = 0;
    // Parses the header and, when info is given, builds the front frame index into it from
    // the same open file (one header walk, one index build per call). Returns the movie list
    // size (for a list whose size was never written, the bytes from its start to the end of
    // the file), or 0 when the file is rejected. On success the file stays open at the first
    // media chunk.
    virtual int32_t OpenFile(const char* path, MediaInfo* info) = 0;
    virtual void CloseFile() = 0;
    // Reads the next chunk and classifies it: 0 front video, 1 rear video, 2 audio, 3 text,
    // 5 anything else or a failed read. size: in capacity, out payload size.
    virtual int32_t ReadPacket(uint8_t* buffer, int32_t* size) = 0;
    // Reads the next chunk: id receives its four identifier bytes, buffer its payload (plus
    // the pad byte of an odd size); size: in capacity, out payload size. Returns the file
    // position of the chunk header, or:
    // - kReadEnd at the end of the data: the end of the file, a chunk cut short by it, or an
    //   identifier that is not four printable characters (the zeros a card holds after a
    //   power cut);
    // - kChunkTooLarge when the next chunk is a video or sound chunk that does not fit the
    //   capacity but is whole in the file and at most kMaxChunkBytes: size then holds the
    //   capacity it needs (payload and pad byte), and the file stays at the chunk's header,
    //   so the caller reads it with a larger buffer or steps over it with SkipChunk.
    // Any other chunk larger than the capacity is stepped over by its stated size (with a
    // "Wrong Size" trace line) and the chunk after it is read instead.
    virtual int64_t ParseMedia(char id[4], uint8_t* buffer, int32_t* size) = 0;
    // Reads the next chunk's header and steps over its payload. Returns the chunk's position
    // (id and size filled in) or kReadEnd, as ParseMedia.
    virtual int64_t SkipChunk(char id[4], uint32_t* size) = 0;
    // Opens the file, builds its index into info and closes it again.
    virtual bool BuildIndex(const char* path, MediaInfo* info) = 0;
    // Copies the index the last successful OpenFile with info, or BuildIndex, built (with the
    // rates of that file), without reading the file again. False when there is none.
    virtual bool GetMediaInfo(MediaInfo* info) = 0;
    virtual VideoSizeRec GetVideoSize(VideoSizeRec* out, int stream) = 0;
    // Frame rate of video stream 0 or 1, values above 30 reported as 30.
    virtual int32_t GetFrameRate(int stream) = 0;
    // The stream's real frame rate (dwRate / 1000), not capped.
    virtual int32_t GetNativeFrameRate(int stream) = 0;
    virtual void GetAudioFormat(int32_t* bits, int32_t* rate) = 0;
    // Codec of video stream 0 or 1 of the open file (Unknown without one). Readers that know
    // no other codec keep the default.
    virtual VideoCodec GetVideoCodec(int stream) {
        (void)stream;
        return VideoCodec::H264;
    }
    // Why the last OpenFile refused its file, when that is worth telling a person (a codec
    // the viewer cannot play); empty otherwise.
    virtual std::string GetOpenError() const { return {}; }
    virtual size_t Read(void* buffer, size_t length) = 0;
    // origin: 0 start, 1 current, 2 end. Returns 0 on success.
    virtual int Seek(int64_t offset, int origin) = 0;
    virtual int64_t Tell() = 0;
    // Positions the file at the front frame that starts the given second; -1 when there is
    // no such frame.
    virtual int32_t SeekToSecond(int32_t second) = 0;
};
