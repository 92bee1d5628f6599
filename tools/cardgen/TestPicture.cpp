#include "tools/cardgen/TestPicture.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/frame.h>
}

#include "tools/cardgen/FramePattern.h"

namespace {
constexpr uint8_t kBarLuma = 200;
constexpr int kBarCrossingSeconds = 2;
}  // namespace

void TestPicture::Prepare(int width, int height, int camera, int frameRate) {
    m_width = width;
    m_height = height;
    m_camera = camera;
    m_frameRate = frameRate > 0 ? frameRate : 30;
    m_lumaRow.resize(width);
    for (int x = 0; x < width; ++x)
        m_lumaRow[x] = static_cast<uint8_t>(60 + 120 * x / std::max(1, width - 1));
    // Front a cool blue, rear a warm amber, so a person tells them apart at a glance.
    m_u = camera == 0 ? 150 : 100;
    m_v = camera == 0 ? 110 : 150;
}

void TestPicture::Draw(AVFrame* frame, int frameIndex) const {
    const int top = FramePatternHeight(m_height) & ~1;
    const int barWidth = std::max(2, m_width / 16) & ~1;
    const int period = m_frameRate * kBarCrossingSeconds;
    const int barX = static_cast<int>(static_cast<int64_t>(m_width - barWidth) *
                                      (frameIndex % period) / period) &
                     ~1;
    for (int line = top; line < m_height; ++line) {
        uint8_t* row = frame->data[0] + static_cast<size_t>(line) * frame->linesize[0];
        std::memcpy(row, m_lumaRow.data(), m_width);
        std::memset(row + barX, kBarLuma, barWidth);
    }
    const int chromaWidth = (m_width + 1) / 2;
    for (int line = top / 2; line < (m_height + 1) / 2; ++line) {
        std::memset(frame->data[1] + static_cast<size_t>(line) * frame->linesize[1], m_u,
                    chromaWidth);
        std::memset(frame->data[2] + static_cast<size_t>(line) * frame->linesize[2], m_v,
                    chromaWidth);
    }
    DrawFramePattern(frame->data[0], frame->linesize[0], frame->data[1], frame->linesize[1],
                     frame->data[2], frame->linesize[2], m_width, m_height, frameIndex, m_camera);
}
