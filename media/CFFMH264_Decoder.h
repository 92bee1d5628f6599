#pragma once
// One camera's H.264 decoder: decodes Annex B access units with libavcodec and converts the
// decoded picture to BGR24 at a requested size: libswscale's fast bilinear scaler resizes it,
// and an unscaled conversion, which carries brightness and contrast, turns it into BGR24.
//
// Threads: DecodePacket and ConvertPicture run on the player's worker (or, for a capture, on
// the UI thread under the player lock, so never at the same time). SetBrightness and
// SetContrast may come from the UI thread at any time; they and ConvertPicture share
// m_scaleLock, so the scaler is never changed under a running conversion.

#include <cstdint>
#include <mutex>
#include <vector>

#include "media/FFmpegPtr.h"

class CFFMH264_Decoder {
public:
    static constexpr float kDefaultBrightness = 0.0f;
    static constexpr float kDefaultContrast = 1.0f;

    CFFMH264_Decoder() = default;
    virtual ~CFFMH264_Decoder();
    CFFMH264_Decoder(const CFFMH264_Decoder&) = delete;
    CFFMH264_Decoder& operator=(const CFFMH264_Decoder&) = delete;

    bool Open();
    void Close();
    bool IsOpen() const { return m_context != nullptr; }

    // True when the packet produced a picture. A packet that starts with a JPEG start-of-image
    // marker is not H.264 and is skipped without touching the decoder.
    bool DecodePacket(const uint8_t* data, int32_t size);
    // Size of the last decoded picture; 0 x 0 before the first one.
    void GetPictureSize(int* width, int* height) const;
    bool HasPicture() const;
    // Converts the last decoded picture into dst (BGR24 rows of stride bytes) at width x
    // height. Does nothing when there is no picture yet.
    void ConvertPicture(uint8_t* dst, int stride, int width, int height);

    void SetBrightness(float brightness);
    void SetContrast(float contrast);
    float Brightness() const;
    float Contrast() const;

private:
    void ApplyColour();                          // caller holds m_scaleLock
    bool BuildConverters(AVPixelFormat source);  // caller holds m_scaleLock

    AVPacketPtr m_packet;              // worker only (reused for every decode)
    const AVCodec* m_codec = nullptr;  // set by Open
    AVCodecContextPtr m_context;       // worker only
    AVFramePtr m_frame;  // worker only (UI thread for captures, under the player lock)
    AVFramePtr m_spare;  // worker only; receives the next picture, then swaps places

    mutable std::mutex m_scaleLock;
    SwsContextPtr m_scaler;     // guarded by m_scaleLock; resizes in YUV (fast bilinear)
    AVFramePtr m_scaled;        // guarded by m_scaleLock; the resized YUV picture
    SwsContextPtr m_converter;  // guarded by m_scaleLock; YUV to BGR24, carries the colour
    static constexpr int kBgrPadBytes = 64;
    std::vector<uint8_t> m_bgr;  // guarded by m_scaleLock; the converter's padded output
    int m_bgrStride = 0;         // guarded by m_scaleLock
    float m_brightness = kDefaultBrightness;  // guarded by m_scaleLock
    float m_contrast = kDefaultContrast;      // guarded by m_scaleLock
    int m_targetWidth = 0;                    // guarded by m_scaleLock
    int m_targetHeight = 0;                   // guarded by m_scaleLock
    int m_sourceWidth = 0;                    // guarded by m_scaleLock
    int m_sourceHeight = 0;                   // guarded by m_scaleLock
    int m_sourceFormat = -1;                  // guarded by m_scaleLock
};
