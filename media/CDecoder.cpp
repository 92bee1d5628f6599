#include "media/CDecoder.h"

#include <algorithm>

#include "support/VideoWindow.h"

bool CDecoder::Initialize() {
    // A camera whose decoder fails to open simply never gets a picture.
    for (CFFMH264_Decoder& decoder : m_decoders) decoder.Open();
    return true;
}

void CDecoder::Shutdown() {
    CSyncLock lock(m_decodeLock);
    for (CFFMH264_Decoder& decoder : m_decoders) decoder.Close();
}

bool CDecoder::DecodeFrame(int camera, VideoWindow* window, const uint8_t* data, int32_t size) {
    if (camera != 0 && camera != 1) return false;
    if (!window) return false;
    const VideoSize area = window->Size();
    if (area.width <= 0 || area.height <= 0) return false;

    CPixImage& image = m_display[camera];
    {
        CSyncLock lock(m_decodeLock);
        if (!image.Allocate(area.width, area.height)) return false;
        image._CopyBeforeWrite();
        const bool produced = m_decoders[camera].DecodePacket(data, size);
        if (produced) {
            m_decoders[camera].ConvertPicture(image.Pixels(), image.Stride(), image.Width(),
                                              image.Height());
            if (m_mirror[camera].load(std::memory_order_relaxed)) image.MirrorRows();
        }
    }
    // Outside the lock: a window's presentation callback may ask for a capture.
    window->Present(image);
    return true;
}

float CDecoder::ContrastForLevel(int level) {
    return std::clamp(level / 10.0f + 1.0f, kContrastMin, kContrastMax);
}

float CDecoder::BrightnessForLevel(int level) {
    return level / 10.0f;
}

void CDecoder::SetContrast(int camera, int level) {
    m_decoders[ClampCamera(camera)].SetContrast(ContrastForLevel(level));
}

void CDecoder::SetBrightness(int camera, int level) {
    m_decoders[ClampCamera(camera)].SetBrightness(BrightnessForLevel(level));
}

void CDecoder::SetMirror(int camera, bool on) {
    m_mirror[ClampCamera(camera)].store(on, std::memory_order_relaxed);
}

bool CDecoder::SaveCapture(int camera, const char* path) {
    if (!path) return false;
    CSyncLock lock(m_decodeLock);
    CFFMH264_Decoder& decoder = m_decoders[ClampCamera(camera)];
    int width = 0, height = 0;
    decoder.GetPictureSize(&width, &height);
    if (width == 0 || height == 0) return false;
    CPixImage still(width, height);
    // Rebuilds the scaler for the decoded size; the next displayed frame rebuilds it for the
    // window again.
    decoder.ConvertPicture(still.Pixels(), still.Stride(), width, height);
    return still.SaveImage(path);
}

bool CDecoder::DecodeOnly(int camera, const uint8_t* data, int32_t size) {
    if (camera != 0 && camera != 1) return false;
    CSyncLock lock(m_decodeLock);
    m_decoders[camera].DecodePacket(data, size);
    return true;
}

bool CDecoder::Represent(int camera, VideoWindow* window) {
    if ((camera != 0 && camera != 1) || !window) return false;
    const VideoSize area = window->Size();
    if (area.width <= 0 || area.height <= 0) return false;
    CPixImage& image = m_display[camera];
    {
        CSyncLock lock(m_decodeLock);
        CFFMH264_Decoder& decoder = m_decoders[camera];
        if (!decoder.HasPicture()) return false;
        if (!image.Allocate(area.width, area.height)) return false;
        image._CopyBeforeWrite();
        decoder.ConvertPicture(image.Pixels(), image.Stride(), image.Width(), image.Height());
        if (m_mirror[camera].load(std::memory_order_relaxed)) image.MirrorRows();
    }
    window->Present(image);
    return true;
}
