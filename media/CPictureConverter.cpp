#include "media/CPictureConverter.h"

#include <libyuv/convert_argb.h>
#include <libyuv/planar_functions.h>
#include <libyuv/scale.h>

#include <algorithm>

namespace {

constexpr int kRowAlignBytes = 64;

bool IsPlanar420(int format) {
    return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P;
}

bool IsFullRange(const AVFrame& frame) {
    return frame.format == AV_PIX_FMT_YUVJ420P || frame.color_range == AVCOL_RANGE_JPEG;
}

}  // namespace

void CPictureConverter::WorkPlanes::Allocate(int width, int height) {
    // Rows aligned and some slack at the end: the vectorised code reads and writes whole
    // blocks of samples.
    auto aligned = [](int bytes) {
        return (bytes + kRowAlignBytes - 1) / kRowAlignBytes * kRowAlignBytes;
    };
    stride[0] = aligned(width);
    stride[1] = stride[2] = aligned((width + 1) / 2);
    const size_t lumaBytes = static_cast<size_t>(stride[0]) * height;
    const size_t chromaBytes = static_cast<size_t>(stride[1]) * ((height + 1) / 2);
    bytes.resize(lumaBytes + 2 * chromaBytes + kRowAlignBytes);
    data[0] = bytes.data();
    data[1] = data[0] + lumaBytes;
    data[2] = data[1] + chromaBytes;
}

CPictureConverter::Planes CPictureConverter::WorkPlanes::View(int width, int height) const {
    Planes planes;
    for (int i = 0; i < 3; ++i) {
        planes.data[i] = data[i];
        planes.stride[i] = stride[i];
    }
    planes.width = width;
    planes.height = height;
    return planes;
}

void CPictureConverter::SetColour(float brightness, float contrast) {
    if (brightness == m_brightness && contrast == m_contrast) return;
    m_brightness = brightness;
    m_contrast = contrast;
    m_colourApplied = false;
}

bool CPictureConverter::ConvertWithColour(const Planes& planes, CPixImgBase& out) {
    const int width = out.Width(), height = out.Height();
    if (!m_colourConverter || width != m_colourWidth || height != m_colourHeight) {
        m_colourConverter.reset(sws_getContext(width, height, AV_PIX_FMT_YUV420P, width, height,
                                               AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr,
                                               nullptr));
        m_colourWidth = width;
        m_colourHeight = height;
        m_colourApplied = false;
        if (!m_colourConverter) return false;
    }
    if (!m_colourApplied) {
        const int* table = sws_getCoefficients(SWS_CS_DEFAULT);
        constexpr int kOne = 1 << 16;  // 16.16 fixed point
        sws_setColorspaceDetails(m_colourConverter.get(), table, 0, table, 0,
                                 static_cast<int>(m_brightness * kOne),
                                 static_cast<int>(m_contrast * kOne), kOne);
        m_colourApplied = true;
    }
    // The vectorised conversion may write a few pixels past a row's end: into the next row,
    // which is converted afterwards, or into the slack the image keeps after its last row.
    uint8_t* dst[4] = {out.Pixels(), nullptr, nullptr, nullptr};
    int dstStride[4] = {out.Stride(), 0, 0, 0};
    return sws_scale(m_colourConverter.get(), planes.data, planes.stride, 0, height, dst,
                     dstStride) == height;
}

bool CPictureConverter::SourcePlanes(const AVFrame& frame, int width, int height, Planes& planes) {
    if (IsPlanar420(frame.format)) {
        for (int i = 0; i < 3; ++i) {
            planes.data[i] = frame.data[i];
            planes.stride[i] = frame.linesize[i];
        }
        planes.width = frame.width;
        planes.height = frame.height;
        return true;
    }
    const int key[5] = {frame.width, frame.height, frame.format, width, height};
    if (!m_toI420 || !std::equal(key, key + 5, m_toI420Key)) {
        m_toI420.reset(sws_getContext(
            frame.width, frame.height, static_cast<AVPixelFormat>(frame.format), width, height,
            AV_PIX_FMT_YUV420P, SWS_FAST_BILINEAR, nullptr, nullptr, nullptr));
        std::copy(key, key + 5, m_toI420Key);
        if (!m_toI420) return false;
    }
    m_scaled.Allocate(width, height);
    sws_scale(m_toI420.get(), frame.data, frame.linesize, 0, frame.height, m_scaled.data,
              m_scaled.stride);
    planes = m_scaled.View(width, height);
    return true;
}

bool CPictureConverter::Convert(const AVFrame& frame, CPixImgBase& out, bool mirror) {
    const int width = out.Width(), height = out.Height();
    if (!frame.data[0] || width <= 0 || height <= 0 ||
        out.Channels() != CPixImgBase::kRgb32Channels) {
        return false;
    }
    Planes planes;
    if (!SourcePlanes(frame, width, height, planes)) return false;
    const bool fullRange = IsFullRange(frame);

    if (planes.width != width || planes.height != height) {
        m_scaled.Allocate(width, height);
        libyuv::I420Scale(planes.data[0], planes.stride[0], planes.data[1], planes.stride[1],
                          planes.data[2], planes.stride[2], planes.width, planes.height,
                          m_scaled.data[0], m_scaled.stride[0], m_scaled.data[1],
                          m_scaled.stride[1], m_scaled.data[2], m_scaled.stride[2], width, height,
                          libyuv::kFilterBilinear);
        planes = m_scaled.View(width, height);
    }
    if (mirror) {
        m_mirrored.Allocate(width, height);
        libyuv::I420Mirror(planes.data[0], planes.stride[0], planes.data[1], planes.stride[1],
                           planes.data[2], planes.stride[2], m_mirrored.data[0],
                           m_mirrored.stride[0], m_mirrored.data[1], m_mirrored.stride[1],
                           m_mirrored.data[2], m_mirrored.stride[2], width, height);
        planes = m_mirrored.View(width, height);
    }
    if (m_brightness != kNeutralBrightness || m_contrast != kNeutralContrast)
        return ConvertWithColour(planes, out);
    const libyuv::YuvConstants* matrix =
        fullRange ? &libyuv::kYuvJPEGConstants : &libyuv::kYuvI601Constants;
    return libyuv::I420ToARGBMatrix(planes.data[0], planes.stride[0], planes.data[1],
                                    planes.stride[1], planes.data[2], planes.stride[2],
                                    out.Pixels(), out.Stride(), matrix, width, height) == 0;
}
