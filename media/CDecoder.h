#pragma once
// The two cameras' decoders behind VMediaDecoder: camera 0 is the front camera, camera 1 the
// rear. Each packet is decoded; a picture it yields is converted to 32-bit RGB at the
// window's current size, mirrored when asked, and presented. A hidden window (0 x 0) gets
// its packets decoded but no conversion.
//
// Threads: see VMediaDecoder.h. Each camera's decode lock is held around its decode call
// only, so the two cameras may decode at once on two threads; the mirror flags are atomics
// read once per frame.

#include <atomic>
#include <memory>

#include "media/CFFMH264_Decoder.h"
#include "media/VMediaDecoder.h"
#include "support/CSync.h"

class CDecoder : public VMediaDecoder {
public:
    static constexpr int kCameraCount = 2;
    static constexpr float kContrastMin = 0.01f;
    static constexpr float kContrastMax = 2.0f;

    CDecoder() = default;
    virtual ~CDecoder() = default;
    CDecoder(const CDecoder&) = delete;
    CDecoder& operator=(const CDecoder&) = delete;

    bool Initialize() override;
    void Shutdown() override;
    bool SetCodec(int camera, VideoCodec codec, int width, int height) override;
    bool DecodeFrame(int camera, VideoWindow* window, const uint8_t* data, int32_t size,
                     const VideoPacketOrder& order = {}) override;
    void SetContrast(int camera, int level) override;
    void SetBrightness(int camera, int level) override;
    void SetMirror(int camera, bool on) override;
    bool SaveCapture(int camera, const char* path) override;
    bool DecodeOnly(int camera, const uint8_t* data, int32_t size,
                    const VideoPacketOrder& order = {}) override;
    // The front camera takes packets ahead when it decodes on frame threads.
    bool TakesPacketAhead(int camera) const override;
    void TakeAhead(int camera, const uint8_t* data, int32_t size, int64_t key) override;
    void Finish(int camera) override;
    bool Represent(int camera, VideoWindow* window) override;
    // The camera's last decoded picture as 32-bit RGB at its own size, mirrored as it is
    // shown; null before the first picture. Any thread: it waits for a decode under way.
    std::shared_ptr<CPixImgBase> CopyPicture(int camera) override;
    std::shared_ptr<CPixImgBase> CopyStill(int camera) override;

    // level / 10 + 1 limited to 0.01 ... 2.0; level / 10 without a limit.
    static float ContrastForLevel(int level);
    static float BrightnessForLevel(int level);

    // For tests: the camera's decoder.
    CFFMH264_Decoder& CameraDecoder(int camera) { return m_decoders[ClampCamera(camera)]; }

private:
    // The camera's last decoded picture at its own size, under its decode lock.
    std::shared_ptr<CPixImgBase> CopyConverted(int camera, bool mirror);
    static int ClampCamera(int camera) { return camera < 0 ? 0 : (camera > 1 ? 1 : camera); }

    CFFMH264_Decoder m_decoders[kCameraCount];  // see CFFMH264_Decoder for its threads
    std::atomic<bool> m_mirror[kCameraCount] = {false, false};  // any thread
    CSync m_decodeLock[kCameraCount];  // each held around its camera's decode call
};
