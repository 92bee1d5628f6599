#include "media/CFFMH264_Decoder.h"

#include <cstring>

CFFMH264_Decoder::~CFFMH264_Decoder() {
    Close();
}

bool CFFMH264_Decoder::Open() {
    Close();
    m_packet.reset(av_packet_alloc());
    m_codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (!m_packet || !m_codec) return false;
    AVCodecContextPtr context(avcodec_alloc_context3(m_codec));
    AVFramePtr frame(av_frame_alloc());
    AVFramePtr spare(av_frame_alloc());
    if (!context || !frame || !spare) return false;
    // Frame threading holds pictures back by one packet per thread; the player shows each
    // packet as it decodes it, so every packet must give its picture at once.
    context->thread_count = 1;
    context->flags |= AV_CODEC_FLAG_LOW_DELAY;
    if (avcodec_open2(context.get(), m_codec, nullptr) < 0) return false;
    m_context = std::move(context);
    m_frame = std::move(frame);
    m_spare = std::move(spare);
    return true;
}

void CFFMH264_Decoder::Close() {
    {
        std::lock_guard<std::mutex> lock(m_scaleLock);
        m_scaler.reset();
        m_converter.reset();
        m_scaled.reset();
        m_targetWidth = m_targetHeight = 0;
        m_sourceWidth = m_sourceHeight = 0;
        m_sourceFormat = -1;
    }
    m_context.reset();
    m_frame.reset();
    m_spare.reset();
    m_packet.reset();
}

bool CFFMH264_Decoder::DecodePacket(const uint8_t* data, int32_t size) {
    if (!m_context || !data || size <= 0) return false;
    // The recorder stores a JPEG thumbnail in a video chunk now and then.
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return false;

    m_packet->data = const_cast<uint8_t*>(data);
    m_packet->size = size;
    int sent = avcodec_send_packet(m_context.get(), m_packet.get());
    m_packet->data = nullptr;
    m_packet->size = 0;
    if (sent < 0 && sent != AVERROR(EAGAIN)) return false;

    // Keep the previous picture when this packet yields none, so a capture still finds it.
    bool produced = false;
    while (avcodec_receive_frame(m_context.get(), m_spare.get()) >= 0) {
        std::swap(m_frame, m_spare);
        produced = true;
    }
    return produced;
}

void CFFMH264_Decoder::GetPictureSize(int* width, int* height) const {
    int w = 0, h = 0;
    if (m_frame && m_frame->data[0]) {
        w = m_frame->width;
        h = m_frame->height;
    }
    if (width) *width = w;
    if (height) *height = h;
}

bool CFFMH264_Decoder::HasPicture() const {
    return m_frame && m_frame->data[0];
}

void CFFMH264_Decoder::ConvertPicture(uint8_t* dst, int stride, int width, int height) {
    if (!HasPicture() || !dst || width <= 0 || height <= 0) return;
    std::lock_guard<std::mutex> lock(m_scaleLock);
    const AVFrame* f = m_frame.get();
    // A new recording may have another picture size, so the source is checked as well.
    if (!m_converter || width != m_targetWidth || height != m_targetHeight ||
        f->width != m_sourceWidth || f->height != m_sourceHeight || f->format != m_sourceFormat) {
        m_targetWidth = width;
        m_targetHeight = height;
        m_sourceWidth = f->width;
        m_sourceHeight = f->height;
        m_sourceFormat = f->format;
        if (!BuildConverters(static_cast<AVPixelFormat>(f->format))) return;
    }
    // The vectorised conversion writes whole blocks of pixels, past the end of a row whose
    // width is not a multiple of the block, so it writes into a padded buffer of its own.
    uint8_t* planes[4] = {m_bgr.data(), nullptr, nullptr, nullptr};
    int strides[4] = {m_bgrStride, 0, 0, 0};
    if (!m_scaler) {
        sws_scale(m_converter.get(), f->data, f->linesize, 0, f->height, planes, strides);
    } else {
        sws_scale(m_scaler.get(), f->data, f->linesize, 0, f->height, m_scaled->data,
                  m_scaled->linesize);
        sws_scale(m_converter.get(), m_scaled->data, m_scaled->linesize, 0, height, planes,
                  strides);
    }
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    for (int y = 0; y < height; ++y) {
        std::memcpy(dst + static_cast<size_t>(y) * stride,
                    m_bgr.data() + static_cast<size_t>(y) * m_bgrStride, rowBytes);
    }
}

bool CFFMH264_Decoder::BuildConverters(AVPixelFormat source) {
    m_scaler.reset();
    m_converter.reset();
    m_scaled.reset();
    const int width = m_targetWidth, height = m_targetHeight;
    if (width == m_sourceWidth && height == m_sourceHeight) {
        m_converter.reset(sws_getContext(width, height, source, width, height, AV_PIX_FMT_BGR24,
                                         SWS_POINT, nullptr, nullptr, nullptr));
    } else {
        // Resizing stays in YUV with the fast bilinear scaler; the colour conversion then
        // runs unscaled at the window's size, where swscale has a vectorised path. Done in
        // one pass, the scaler converts every pixel with its generic code, which costs twice
        // as much as the two passes together.
        m_scaled.reset(av_frame_alloc());
        if (!m_scaled) return false;
        m_scaled->format = AV_PIX_FMT_YUV420P;
        m_scaled->width = width;
        m_scaled->height = height;
        if (av_frame_get_buffer(m_scaled.get(), 0) < 0) return false;
        m_scaler.reset(sws_getContext(m_sourceWidth, m_sourceHeight, source, width, height,
                                      AV_PIX_FMT_YUV420P, SWS_FAST_BILINEAR, nullptr, nullptr,
                                      nullptr));
        m_converter.reset(sws_getContext(width, height, AV_PIX_FMT_YUV420P, width, height,
                                         AV_PIX_FMT_BGR24, SWS_POINT, nullptr, nullptr, nullptr));
        if (!m_scaler) m_converter.reset();
    }
    if (!m_converter) return false;
    m_bgrStride = (width * 3 + kBgrPadBytes + 63) / 64 * 64;
    m_bgr.assign(static_cast<size_t>(m_bgrStride) * (height + 1), 0);
    // A converter made after a brightness or contrast change takes the stored values.
    ApplyColour();
    return true;
}

void CFFMH264_Decoder::SetBrightness(float brightness) {
    std::lock_guard<std::mutex> lock(m_scaleLock);
    m_brightness = brightness;
    ApplyColour();
}

void CFFMH264_Decoder::SetContrast(float contrast) {
    std::lock_guard<std::mutex> lock(m_scaleLock);
    m_contrast = contrast;
    ApplyColour();
}

float CFFMH264_Decoder::Brightness() const {
    std::lock_guard<std::mutex> lock(m_scaleLock);
    return m_brightness;
}

float CFFMH264_Decoder::Contrast() const {
    std::lock_guard<std::mutex> lock(m_scaleLock);
    return m_contrast;
}

void CFFMH264_Decoder::ApplyColour() {
    if (!m_converter) return;
    const int* table = sws_getCoefficients(SWS_CS_DEFAULT);
    constexpr int kOne = 1 << 16;  // 16.16 fixed point
    sws_setColorspaceDetails(m_converter.get(), table, 0, table, 0,
                             static_cast<int>(m_brightness * kOne),
                             static_cast<int>(m_contrast * kOne), kOne);
}
