#pragma once
// The two cameras' decoders behind VMediaDecoder: camera 0 is the front camera, camera 1 the
// rear. Each packet is decoded, converted to BGR24 at the window's current size, mirrored
// when asked, and presented.
//
// Threads: see VMediaDecoder.h. m_decodeLock is held around everything that touches a
// camera's decoded picture (decoding, converting, saving, closing), so a call that comes from
// another thread than the worker cannot meet a half-made picture; the colour setters use
// the camera decoder's own scaler lock, and the mirror flags are atomics read once per frame.

#include <atomic>

#include "media/CFFMH264_Decoder.h"
#include "media/VMediaDecoder.h"
#include "support/CPixImg.h"
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
    bool DecodeFrame(int camera, VideoWindow* window, const uint8_t* data, int32_t size) override;
    void SetContrast(int camera, int level) override;
    void SetBrightness(int camera, int level) override;
    void SetMirror(int camera, bool on) override;
    bool SaveCapture(int camera, const char* path) override;
    bool DecodeOnly(int camera, const uint8_t* data, int32_t size) override;
    bool Represent(int camera, VideoWindow* window) override;

    // level / 10 + 1 limited to 0.01 ... 2.0; level / 10 without a limit.
    static float ContrastForLevel(int level);
    static float BrightnessForLevel(int level);

    // For tests: the camera's decoder.
    CFFMH264_Decoder& CameraDecoder(int camera) { return m_decoders[ClampCamera(camera)]; }

private:
    static int ClampCamera(int camera) { return camera < 0 ? 0 : (camera > 1 ? 1 : camera); }

    CFFMH264_Decoder m_decoders[kCameraCount];  // see CFFMH264_Decoder for its threads
    std::atomic<bool> m_mirror[kCameraCount] = {false, false};  // any thread
    CPixImage m_display[kCameraCount];  // written under m_decodeLock; presented by the worker
    CSync m_decodeLock{"none"};
};
