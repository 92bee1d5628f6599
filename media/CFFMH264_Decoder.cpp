#include "media/CFFMH264_Decoder.h"

#include <cstdlib>
#include <cstring>
#include <utility>

CFFMH264_Decoder::~CFFMH264_Decoder() {
    Close();
}

bool CFFMH264_Decoder::Open(VideoCodec codec, int width, int height, bool allowFrameThreads) {
    Close();
    m_codecId = codec;
    m_width = width;
    m_height = height;
    m_allowFrameThreads = allowFrameThreads;
    m_packet.reset(av_packet_alloc());
    m_codec = avcodec_find_decoder(AvCodecId(codec));
    if (!m_packet || !m_codec) return false;
    AVCodecContextPtr context(avcodec_alloc_context3(m_codec));
    AVFramePtr frame(av_frame_alloc());
    AVFramePtr spare(av_frame_alloc());
    if (!context || !frame || !spare) return false;
    const bool frameThreads = allowFrameThreads && UsesFrameThreads(codec, width, height);
    if (frameThreads) {
        // Low delay would turn frame threads off; the caller's packet order stands in for it.
        context->thread_count = kFrameThreads;
        context->thread_type = FF_THREAD_FRAME;
    } else {
        // Frame threading holds pictures back by one packet per thread, so without the
        // packet order every packet must give its picture at once. Slice threads give
        // pictures at once; they pay for pictures above 1080p whose rows decode in parallel
        // (H.265 with wavefronts, as cameras and x265 write it).
        context->thread_count = UsesSliceThreads(codec, width, height) ? kSliceThreads : 1;
        context->thread_type = FF_THREAD_SLICE;
        context->flags |= AV_CODEC_FLAG_LOW_DELAY;
    }
    if (avcodec_open2(context.get(), m_codec, nullptr) < 0) return false;
    m_frameThreads = frameThreads && (context->active_thread_type & FF_THREAD_FRAME) != 0;
    m_aheadKey = -1;
    m_inFlight = false;
    m_continuing = false;
    m_context = std::move(context);
    m_frame = std::move(frame);
    m_spare = std::move(spare);
    return true;
}

bool CFFMH264_Decoder::UsesSliceThreads(VideoCodec codec, int width, int height) {
    (void)codec;
    return static_cast<int64_t>(width) * height > kFullHdPixels;
}

bool CFFMH264_Decoder::UsesFrameThreads(VideoCodec codec, int width, int height) {
    if (const char* forced = std::getenv("TARVEX_FRAME_THREADS"); forced && *forced)
        return std::strcmp(forced, "0") != 0;
    (void)codec;
    return static_cast<int64_t>(width) * height > kFullHdPixels;
}

void CFFMH264_Decoder::Close() {
    {
        std::lock_guard<std::mutex> lock(m_scaleLock);
        m_converter = CPictureConverter();
        m_converter.SetColour(m_brightness, m_contrast);
    }
    m_context.reset();
    m_frameThreads = false;
    m_frame.reset();
    m_spare.reset();
    m_packet.reset();
}

namespace {
// The recorder stores a JPEG thumbnail in a video chunk now and then.
bool IsJpeg(const uint8_t* data, int32_t size) {
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}
}  // namespace

bool CFFMH264_Decoder::Send(const uint8_t* data, int32_t size) {
    m_packet->data = const_cast<uint8_t*>(data);
    m_packet->size = size;
    const int sent = avcodec_send_packet(m_context.get(), m_packet.get());
    m_packet->data = nullptr;
    m_packet->size = 0;
    return sent >= 0 || sent == AVERROR(EAGAIN);
}

bool CFFMH264_Decoder::ReceiveAll() {
    // Keep the previous picture when none comes out, so a capture still finds it.
    bool produced = false;
    while (avcodec_receive_frame(m_context.get(), m_spare.get()) >= 0) {
        std::swap(m_frame, m_spare);
        produced = true;
    }
    return produced;
}

bool CFFMH264_Decoder::Drain() {
    if (!m_inFlight) return false;
    avcodec_send_packet(m_context.get(), nullptr);
    const bool produced = ReceiveAll();
    avcodec_flush_buffers(m_context.get());
    m_inFlight = false;
    m_aheadKey = -1;
    m_continuing = false;
    return produced;
}

bool CFFMH264_Decoder::DecodePacket(const uint8_t* data, int32_t size, const PacketOrder& order) {
    if (!m_context || !data || size <= 0 || IsJpeg(data, size)) return false;
    if (!m_frameThreads) return Send(data, size) && ReceiveAll();

    const bool takenAhead = order.key >= 0 && order.key == m_aheadKey;
    m_aheadKey = -1;
    if (!takenAhead) {
        // Whatever is in flight belongs to a reading the caller left (a seek, a jump).
        if (m_inFlight && !m_continuing) avcodec_flush_buffers(m_context.get());
        m_inFlight = Send(data, size);
        if (!m_inFlight) return false;
    }
    m_continuing = !order.finish;
    bool produced;
    if (order.next && order.nextSize > 0 && !IsJpeg(order.next, order.nextSize) &&
        Send(order.next, order.nextSize)) {
        m_aheadKey = order.nextKey;
        m_continuing = false;
        produced = ReceiveAll();
    } else {
        produced = ReceiveAll();
        if (order.finish) produced = Drain() || produced;
    }
    // A stream that declares reordering holds its pictures back further than the one packet
    // taken ahead, so frame threads would show each picture late: such a stream decodes on
    // without them from this packet on (a key frame, as a recording starts, decodes whole).
    if (m_context->has_b_frames > 0) {
        if (!Open(m_codecId, m_width, m_height, false)) return false;
        return Send(data, size) && ReceiveAll();
    }
    return produced;
}

bool CFFMH264_Decoder::TakeAhead(const uint8_t* data, int32_t size, int64_t key) {
    if (!m_context || !m_frameThreads || !data || size <= 0 || IsJpeg(data, size)) return false;
    if (!Send(data, size)) return false;
    m_inFlight = true;
    m_aheadKey = key;
    m_continuing = false;
    return ReceiveAll();
}

bool CFFMH264_Decoder::Finish() {
    return m_context && m_frameThreads && Drain();
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

std::shared_ptr<const CPixImgBase> CFFMH264_Decoder::ConvertPicture(int width, int height,
                                                                    bool mirror) {
    if (!HasPicture() || width <= 0 || height <= 0) return nullptr;
    std::shared_ptr<CPixImgBase> picture = m_pictures.Acquire(width, height);
    if (!picture || !ConvertInto(*picture, mirror)) return nullptr;
    return picture;
}

bool CFFMH264_Decoder::ConvertInto(CPixImgBase& image, bool mirror) {
    if (!HasPicture()) return false;
    std::lock_guard<std::mutex> lock(m_scaleLock);
    return m_converter.Convert(*m_frame, image, mirror);
}

void CFFMH264_Decoder::SetBrightness(float brightness) {
    std::lock_guard<std::mutex> lock(m_scaleLock);
    m_brightness = brightness;
    m_converter.SetColour(m_brightness, m_contrast);
}

void CFFMH264_Decoder::SetContrast(float contrast) {
    std::lock_guard<std::mutex> lock(m_scaleLock);
    m_contrast = contrast;
    m_converter.SetColour(m_brightness, m_contrast);
}

float CFFMH264_Decoder::Brightness() const {
    std::lock_guard<std::mutex> lock(m_scaleLock);
    return m_brightness;
}

float CFFMH264_Decoder::Contrast() const {
    std::lock_guard<std::mutex> lock(m_scaleLock);
    return m_contrast;
}
