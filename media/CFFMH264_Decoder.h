#pragma once
// One camera's video decoder (H.264 or H.265): decodes Annex B access units with libavcodec and
// converts the decoded picture, on request, to 32-bit RGB at any size (CPictureConverter), into
// pictures from a small pool that a window may hold while it paints them.
//
// Threads: in the player one thread at a time decodes a camera and converts its pictures: the
// worker, or for the rear camera of a picture above 1080p its decode lane (DecodeLane), the two
// taking turns (the worker waits for the lane before it touches the camera again; CDecoder
// holds a per-camera lock around each decode call); libavcodec's slice or frame threads work
// inside a decode call only. ConvertInto runs on the worker too, for a still, a capture or a
// published picture (CDecoder::CopyStill, SaveCapture, CopyPicture); no window thread calls
// in here. SetBrightness and SetContrast may come from the UI thread at any
// time; they and the conversions share m_scaleLock, so the colour never changes under a
// running conversion and two conversions never share the converter at once.

#include <cstdint>
#include <memory>
#include <mutex>

#include "media/CPictureConverter.h"
#include "media/FFmpegPtr.h"
#include "media/VideoCodec.h"
#include "support/CPixImagePool.h"

class CFFMH264_Decoder {
public:
    static constexpr float kDefaultBrightness = 0.0f;
    static constexpr float kDefaultContrast = 1.0f;

    CFFMH264_Decoder() = default;
    virtual ~CFFMH264_Decoder();
    CFFMH264_Decoder(const CFFMH264_Decoder&) = delete;
    CFFMH264_Decoder& operator=(const CFFMH264_Decoder&) = delete;

    static constexpr int64_t kFullHdPixels = 1920 * 1080;
    static constexpr int kSliceThreads = 2;
    // Two frame threads: a packet's picture comes out once the one packet after it has gone
    // in (the order below takes exactly one packet ahead).
    static constexpr int kFrameThreads = 2;

    using PacketOrder = VideoPacketOrder;

    // width, height: the stream's declared picture size (0 when unknown), which chooses the
    // threads (see UsesSliceThreads and UsesFrameThreads); allowFrameThreads: the caller
    // gives each packet's order (see DecodePacket).
    bool Open(VideoCodec codec = VideoCodec::H264, int width = 0, int height = 0,
              bool allowFrameThreads = false);
    // Pictures larger than 1080p decode on kSliceThreads slice threads, smaller ones on the
    // worker alone (a second thread costs more than it gains there).
    static bool UsesSliceThreads(VideoCodec codec, int width, int height);
    // Pictures larger than 1080p decode on kFrameThreads frame threads where the caller
    // allows it: two frames at once keep two cores busier than two threads on one frame (an
    // H.264 camera writes one slice a picture; H.265 rows wait on the row above). Measured
    // on a 4K front: about 20 % faster than slice threads or none. TARVEX_FRAME_THREADS=1
    // takes them for any size (to try the order on small recordings), =0 never.
    static bool UsesFrameThreads(VideoCodec codec, int width, int height);
    bool OnFrameThreads() const { return m_frameThreads; }
    // Whether the last Open allowed frame threads.
    bool AllowsFrameThreads() const { return m_allowFrameThreads; }
    void Close();
    bool IsOpen() const { return m_context != nullptr; }
    // The codec the decoder was opened for.
    VideoCodec Codec() const { return m_codecId; }
    int OpenWidth() const { return m_width; }
    int OpenHeight() const { return m_height; }

    // True when the packet produced a picture. A packet that starts with a JPEG start-of-image
    // marker is not video and is skipped without touching the decoder. On frame threads the
    // order says which packet follows (see PacketOrder); a packet that went in ahead is not
    // sent again when it comes with its key, and one that comes after another was taken
    // ahead starts afresh (the caller jumped).
    bool DecodePacket(const uint8_t* data, int32_t size, const PacketOrder& order = {});
    // Frame threads: takes in the packet after the one last decoded, so its picture comes
    // out (a seek's target, once the packet after it is read). True when a picture came out.
    bool TakeAhead(const uint8_t* data, int32_t size, int64_t key);
    // Frame threads: brings out every picture still in flight (no packet follows).
    bool Finish();
    // Size of the last decoded picture; 0 x 0 before the first one.
    void GetPictureSize(int* width, int* height) const;
    bool HasPicture() const;
    // The last decoded picture (null before the first one), for tests.
    const AVFrame* Picture() const { return HasPicture() ? m_frame.get() : nullptr; }

    // The last decoded picture as 32-bit RGB at width x height, mirrored left to right when
    // asked, with the brightness and contrast set, in a picture of this camera's pool that
    // nobody else holds. Null when there is no picture yet or the size is refused. Each call
    // converts again, so it also serves to show the current picture once more (a colour or
    // mirror change while paused, an area shown again).
    std::shared_ptr<const CPixImgBase> ConvertPicture(int width, int height, bool mirror = false);
    // Converts the last decoded picture into image at the image's size (4 channels); false
    // when there is no picture. For stills, which are not kept in the pool.
    bool ConvertInto(CPixImgBase& image, bool mirror = false);

    void SetBrightness(float brightness);
    void SetContrast(float contrast);
    float Brightness() const;
    float Contrast() const;

private:
    bool Send(const uint8_t* data, int32_t size);
    bool ReceiveAll();
    bool Drain();

    // "Decoding thread" below: the worker, or the decode lane for a rear camera above 1080p,
    // one at a time under CDecoder's decode lock (see Threads above).
    AVPacketPtr m_packet;                     // decoding thread (reused for every decode)
    const AVCodec* m_codec = nullptr;         // set by Open
    VideoCodec m_codecId = VideoCodec::H264;  // set by Open
    int m_width = 0;                          // set by Open
    int m_height = 0;                         // set by Open
    AVCodecContextPtr m_context;              // decoding thread
    AVFramePtr m_frame;  // decoding thread (converted for stills there too)
    AVFramePtr m_spare;  // decoding thread; receives the next picture, then swaps places
    bool m_frameThreads = false;       // set by Open
    bool m_allowFrameThreads = false;  // set by Open
    // Frame threads, decoding thread: the key of the packet taken ahead (-1: none), whether
    // packets are in flight whose pictures have not come out, and whether the last call
    // left its picture in flight on purpose.
    int64_t m_aheadKey = -1;
    bool m_inFlight = false;
    bool m_continuing = false;

    mutable std::mutex m_scaleLock;
    CPictureConverter m_converter;            // guarded by m_scaleLock
    float m_brightness = kDefaultBrightness;  // guarded by m_scaleLock
    float m_contrast = kDefaultContrast;      // guarded by m_scaleLock
    CPixImagePool m_pictures;                 // thread-safe itself
};
