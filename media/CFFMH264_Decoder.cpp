#include "media/CFFMH264_Decoder.h"

CFFMH264_Decoder::~CFFMH264_Decoder() { Close(); }

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

bool CFFMH264_Decoder::HasPicture() const { return m_frame && m_frame->data[0]; }

void CFFMH264_Decoder::ConvertPicture(uint8_t* dst, int stride, int width, int height) {
    if (!HasPicture() || !dst || width <= 0 || height <= 0) return;
    std::lock_guard<std::mutex> lock(m_scaleLock);
    const AVFrame* f = m_frame.get();
    // A new recording may have another picture size, so the source is checked as well.
    if (!m_scaler || width != m_targetWidth || height != m_targetHeight ||
        f->width != m_sourceWidth || f->height != m_sourceHeight || f->format != m_sourceFormat) {
        m_scaler.reset(sws_getContext(f->width, f->height, static_cast<AVPixelFormat>(f->format),
                                      width, height, AV_PIX_FMT_BGR24, SWS_FAST_BILINEAR, nullptr,
                                      nullptr, nullptr));
        m_targetWidth = width;
        m_targetHeight = height;
        m_sourceWidth = f->width;
        m_sourceHeight = f->height;
        m_sourceFormat = f->format;
        if (!m_scaler) return;
        ApplyColour();
    }
    uint8_t* planes[4] = {dst, nullptr, nullptr, nullptr};
    int strides[4] = {stride, 0, 0, 0};
    sws_scale(m_scaler.get(), f->data, f->linesize, 0, f->height, planes, strides);
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
    if (!m_scaler) return;
    const int* table = sws_getCoefficients(SWS_CS_DEFAULT);
    constexpr int kOne = 1 << 16;  // 16.16 fixed point
    sws_setColorspaceDetails(m_scaler.get(), table, 0, table, 0,
                             static_cast<int>(m_brightness * kOne),
                             static_cast<int>(m_contrast * kOne), kOne);
}
