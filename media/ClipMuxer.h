#pragma once
// The MP4 file of an exported clip: the front and the rear camera as two video tracks copied
// as recorded (no re-encoding), and the sound encoded to AAC with FFmpeg's own encoder.
//
// Video packets arrive as the dashcam stores them (Annex B, parameter sets in front of every
// key frame); the MP4 writer turns them into length-prefixed samples and takes the track's
// parameter sets from its first packet, which must be a key frame. Times are frame numbers
// counted from the clip's first frame, sound times sample numbers.
//
// Threads: one caller at a time (the exporter's thread). The muxer writes the file it is
// given (the exporter gives it a temporary, see PendingFile) and never renames or removes it.
// A failed call leaves its cause in Error(): what failed and why, with FFmpeg's or the
// system's own words ("cannot write clip.mp4: No space left on device").

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "media/FFmpegPtr.h"
#include "media/VClipSink.h"
#include "media/VideoCodec.h"

struct ClipVideoTrack {
    int width = 0;
    int height = 0;
    int frameRate = 0;
    // Shown by players as the track's name (title, handler name); the front track is the
    // default one, so a player that shows one track shows the front camera.
    std::string title;
    VideoCodec codec = VideoCodec::H264;
};

struct ClipLayout {
    ClipVideoTrack front;
    bool hasRear = false;
    ClipVideoTrack rear;
    int audioRate = 0;  // 16-bit mono PCM in; 0: no sound track
    // The file's creation_time: "YYYY-MM-DDTHH:MM:SS.mmmZ" in UTC, or without the Z a local
    // time; empty: none.
    std::string creationTime;
};

class ClipMuxer : public VClipSink {
public:
    static constexpr int kAacBitRate = 32000;

    ClipMuxer() = default;
    ~ClipMuxer() override;
    ClipMuxer(const ClipMuxer&) = delete;
    ClipMuxer& operator=(const ClipMuxer&) = delete;

    // path: the file to write; name: how messages call it (the target the user chose).
    bool Open(const std::string& path, const std::string& name, const ClipLayout& layout,
              std::string* error);
    // camera 0 front, 1 rear; frame counts from the clip's first frame of that camera's rate.
    bool WriteVideo(int camera, const uint8_t* data, size_t size, int64_t frame, bool key) override;
    // The same for an encoder's output, whose decoding order differs from its presentation
    // order (B-frames): pts and dts in frames.
    bool WriteCoded(int camera, const uint8_t* data, size_t size, int64_t pts, int64_t dts,
                    bool key);
    // Mono 16-bit samples, in order; the first one plays at the clip's start.
    bool WriteAudio(const int16_t* samples, size_t count) override;
    // Flushes the encoder, writes the index and closes the file.
    bool Finish(std::string* error) override;
    // Why the last call failed.
    const std::string& Error() const override { return m_error; }

private:
    struct FormatContextDeleter {
        void operator()(AVFormatContext* c) const;
    };
    bool AddVideoTracks(const ClipLayout& layout, std::string* error);
    bool AddSoundTrack(int rate, std::string* error);
    bool EncodeAudioFrame(bool flush);
    bool Drain();
    bool WriteFailed(int code);
    bool EncoderFailed(int code);

    std::unique_ptr<AVFormatContext, FormatContextDeleter> m_format;
    AVCodecContextPtr m_aac;
    AVFramePtr m_audioFrame;
    AVPacketPtr m_packet;
    AVStream* m_video[2] = {nullptr, nullptr};  // owned by m_format
    AVStream* m_audio = nullptr;
    int m_frameRate[2] = {0, 0};
    std::vector<float> m_pending;  // samples waiting for a whole AAC frame
    int64_t m_audioPts = 0;
    std::string m_name;
    std::string m_error;
    bool m_headerWritten = false;
};
