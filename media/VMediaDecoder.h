#pragma once
// The video decoder the player shows its frames through.
//
// Lifecycle: Initialize once when the player starts; DecodeFrame for every video packet in
// file order; Shutdown (optional) when nothing will be decoded any more.
//
// Threads: DecodeFrame runs on the player's worker with the player lock held; SaveCapture
// runs on the UI thread, also under the player lock, so the two never overlap. SetBrightness,
// SetContrast and SetMirror may be called from the UI thread at any time.

#include <cstdint>

class VideoWindow;

class VMediaDecoder {
public:
    virtual bool Initialize() = 0;
    virtual void Shutdown() = 0;
    // Decodes one access unit of camera 0 (front) or 1 (rear); a picture it yields is
    // converted to the window's size and presented. False for another camera or a missing
    // window (nothing decoded then) and for a window of zero size (decoded, not converted);
    // true otherwise, also when no new picture came out (nothing is presented then).
    virtual bool DecodeFrame(int camera, VideoWindow* window, const uint8_t* data,
                             int32_t size) = 0;
    virtual void SetContrast(int camera, int level) = 0;
    virtual void SetBrightness(int camera, int level) = 0;
    virtual void SetMirror(int camera, bool on) = 0;
    // Writes the camera's last decoded picture, at its decoded size, as a JPEG file.
    virtual bool SaveCapture(int camera, const char* path) = 0;

protected:
    ~VMediaDecoder() = default;
};
