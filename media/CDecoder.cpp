#include "media/CDecoder.h"

#include <algorithm>

#include "support/VideoWindow.h"

bool CDecoder::Initialize() {
    // A camera whose decoder fails to open simply never gets a picture.
    for (CFFMH264_Decoder& decoder : m_decoders) decoder.Open();
    return true;
}

void CDecoder::Shutdown() {
    for (int camera = 0; camera < kCameraCount; ++camera) {
        CSyncLock lock(m_decodeLock[camera]);
        m_decoders[camera].Close();
    }
}

bool CDecoder::SetCodec(int camera, VideoCodec codec, int width, int height) {
    if (camera != 0 && camera != 1) return false;
    CSyncLock lock(m_decodeLock[camera]);
    CFFMH264_Decoder& decoder = m_decoders[camera];
    // Reopened only when the codec or the thread plan changes, so the references carry over
    // from one recording to the next of the same kind. Only the front camera's packets come
    // with their order (the rear decodes beside it on the lane), so only it takes frame
    // threads.
    const bool frameThreads = camera == 0;
    const auto plan = [](bool allowFrame, VideoCodec c, int w, int h) {
        if (allowFrame && CFFMH264_Decoder::UsesFrameThreads(c, w, h)) return 2;
        return CFFMH264_Decoder::UsesSliceThreads(c, w, h) ? 1 : 0;
    };
    if (decoder.IsOpen() && decoder.Codec() == codec &&
        plan(decoder.AllowsFrameThreads(), codec, decoder.OpenWidth(), decoder.OpenHeight()) ==
            plan(frameThreads, codec, width, height))
        return true;
    return decoder.Open(codec, width, height, frameThreads);
}

bool CDecoder::TakesPacketAhead(int camera) const {
    return camera == 0 && m_decoders[0].OnFrameThreads();
}

void CDecoder::TakeAhead(int camera, const uint8_t* data, int32_t size, int64_t key) {
    if (camera != 0 && camera != 1) return;
    CSyncLock lock(m_decodeLock[camera]);
    m_decoders[camera].TakeAhead(data, size, key);
}

void CDecoder::Finish(int camera) {
    if (camera != 0 && camera != 1) return;
    CSyncLock lock(m_decodeLock[camera]);
    m_decoders[camera].Finish();
}

bool CDecoder::DecodeFrame(int camera, VideoWindow* window, const uint8_t* data, int32_t size,
                           const VideoPacketOrder& order) {
    if (camera != 0 && camera != 1) return false;
    if (!window) return false;

    bool produced;
    {
        CSyncLock lock(m_decodeLock[camera]);
        produced = m_decoders[camera].DecodePacket(data, size, order);
    }
    // A hidden area (0 x 0) still decodes, so the references stay whole and the area shows a
    // clean picture as soon as it is shown again; it only skips the conversion.
    const VideoSize area = window->Size();
    if (area.width <= 0 || area.height <= 0) {
        if (produced) window->PresentUnseen();
        return false;
    }
    if (produced) {
        const bool mirror = m_mirror[camera].load(std::memory_order_relaxed);
        if (auto picture = m_decoders[camera].ConvertPicture(area.width, area.height, mirror))
            window->Present(std::move(picture));
    }
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
    CFFMH264_Decoder& decoder = m_decoders[ClampCamera(camera)];
    int width = 0, height = 0;
    decoder.GetPictureSize(&width, &height);
    if (width == 0 || height == 0) return false;
    // Converted for the file only, at the decoded size, unmirrored.
    CPixImage still(width, height, CPixImgBase::kRgb32Channels);
    return decoder.ConvertInto(still) && still.SaveImage(path);
}

std::shared_ptr<CPixImgBase> CDecoder::CopyPicture(int camera) {
    if (camera != 0 && camera != 1) return nullptr;
    return CopyConverted(camera, m_mirror[camera].load(std::memory_order_relaxed));
}

std::shared_ptr<CPixImgBase> CDecoder::CopyStill(int camera) {
    if (camera != 0 && camera != 1) return nullptr;
    return CopyConverted(camera, false);
}

std::shared_ptr<CPixImgBase> CDecoder::CopyConverted(int camera, bool mirror) {
    // The decode lock keeps the picture (and an open or close) from changing under the copy;
    // the conversion itself shares the decoder's converter lock with the worker's.
    CSyncLock lock(m_decodeLock[camera]);
    CFFMH264_Decoder& decoder = m_decoders[camera];
    int width = 0, height = 0;
    decoder.GetPictureSize(&width, &height);
    if (width <= 0 || height <= 0) return nullptr;
    auto picture = std::make_shared<CPixImage>(width, height, CPixImgBase::kRgb32Channels);
    return decoder.ConvertInto(*picture, mirror) ? picture : nullptr;
}

bool CDecoder::DecodeOnly(int camera, const uint8_t* data, int32_t size,
                          const VideoPacketOrder& order) {
    if (camera != 0 && camera != 1) return false;
    CSyncLock lock(m_decodeLock[camera]);
    m_decoders[camera].DecodePacket(data, size, order);
    return true;
}

bool CDecoder::Represent(int camera, VideoWindow* window) {
    if ((camera != 0 && camera != 1) || !window) return false;
    const VideoSize area = window->Size();
    if (area.width <= 0 || area.height <= 0) return false;
    const bool mirror = m_mirror[camera].load(std::memory_order_relaxed);
    auto picture = m_decoders[camera].ConvertPicture(area.width, area.height, mirror);
    if (!picture) return false;
    window->Present(std::move(picture));
    return true;
}
