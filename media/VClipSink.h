#pragma once
// Where the clip exporter's walk over the recordings puts what it reads: the MP4 writer for a
// lossless clip (ClipMuxer), the composer for a clip of both cameras in one picture
// (ClipComposer).
//
// Threads: one caller at a time, the exporter's thread.

#include <cstddef>
#include <cstdint>
#include <string>

class VClipSink {
public:
    virtual ~VClipSink() = default;
    // One H.264 access unit as recorded (Annex B); camera 0 front, 1 rear; frame counts from
    // the clip's first frame at that camera's rate.
    virtual bool WriteVideo(int camera, const uint8_t* data, size_t size, int64_t frame,
                            bool key) = 0;
    // Mono 16-bit samples, in order; the first one plays at the clip's start.
    virtual bool WriteAudio(const int16_t* samples, size_t count) = 0;
    // Writes what is still held back, the index, and closes the file.
    virtual bool Finish(std::string* error) = 0;
    // Why the last call failed.
    virtual const std::string& Error() const = 0;
};
