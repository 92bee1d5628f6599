#include "redact/PictureRedactor.h"

#include <algorithm>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
}

namespace {

constexpr int kGrowthPercent = 10;
constexpr int kBlocksAcross = 8;

void Pixelate(uint8_t* plane, int stride, int step, const RedactRect& r, int block) {
    for (int by = r.y; by < r.y + r.height; by += block)
        for (int bx = r.x; bx < r.x + r.width; bx += block) {
            const int ey = std::min(by + block, r.y + r.height);
            const int ex = std::min(bx + block, r.x + r.width);
            int64_t sum = 0;
            for (int y = by; y < ey; ++y)
                for (int x = bx; x < ex; ++x) sum += plane[int64_t(y) * stride + int64_t(x) * step];
            const int64_t count = int64_t(ey - by) * (ex - bx);
            const uint8_t mean = static_cast<uint8_t>((sum + count / 2) / count);
            for (int y = by; y < ey; ++y)
                for (int x = bx; x < ex; ++x) plane[int64_t(y) * stride + int64_t(x) * step] = mean;
        }
}

// A running-sum box blur along one line of n samples, reading only the line itself (the
// window is cut at its ends).
void BlurLine(uint8_t* first, int64_t step, int n, int radius, std::vector<int>& line) {
    line.resize(static_cast<size_t>(n) + 1);
    line[0] = 0;
    for (int i = 0; i < n; ++i) line[i + 1] = line[i] + first[i * step];
    for (int i = 0; i < n; ++i) {
        const int lo = std::max(0, i - radius), hi = std::min(n, i + radius + 1);
        first[i * step] = static_cast<uint8_t>((line[hi] - line[lo] + (hi - lo) / 2) / (hi - lo));
    }
}

}  // namespace

RedactRect GrownRedactBox(const RedactRect& box, int width, int height) {
    const int dx = (box.width * kGrowthPercent + 99) / 100;
    const int dy = (box.height * kGrowthPercent + 99) / 100;
    const int x0 = std::clamp(box.x - dx, 0, width), y0 = std::clamp(box.y - dy, 0, height);
    const int x1 = std::clamp(box.x + box.width + dx, 0, width);
    const int y1 = std::clamp(box.y + box.height + dy, 0, height);
    return {x0, y0, x1 - x0, y1 - y0};
}

int RedactBlockSide(const RedactRect& box) {
    return std::max(2, (std::max(box.width, box.height) + kBlocksAcross - 1) / kBlocksAcross);
}

void RedactPlane(uint8_t* plane, int stride, int step, const RedactRect& r, int block) {
    if (r.width <= 0 || r.height <= 0 || block < 1) return;
    Pixelate(plane, stride, step, r, block);
    const int radius = std::max(1, block / 2);
    std::vector<int> line;
    for (int y = r.y; y < r.y + r.height; ++y)
        BlurLine(plane + int64_t(y) * stride + int64_t(r.x) * step, step, r.width, radius, line);
    for (int x = r.x; x < r.x + r.width; ++x)
        BlurLine(plane + int64_t(r.y) * stride + int64_t(x) * step, stride, r.height, radius, line);
}

bool RedactPicture(AVFrame* picture, const RedactRect& box) {
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(picture->format));
    if (!d || d->nb_components != 3 || !(d->flags & AV_PIX_FMT_FLAG_PLANAR) ||
        d->comp[0].depth != 8 || d->log2_chroma_w > 1 || d->log2_chroma_h > 1)
        return false;
    if (av_frame_make_writable(picture) < 0) return false;
    const RedactRect grown = GrownRedactBox(box, picture->width, picture->height);
    const int block = RedactBlockSide(box);
    RedactPlane(picture->data[0], picture->linesize[0], 1, grown, block);
    const int sw = d->log2_chroma_w, sh = d->log2_chroma_h;
    // Chroma samples that any grown-box pixel touches.
    RedactRect c;
    c.x = grown.x >> sw;
    c.y = grown.y >> sh;
    c.width = ((grown.x + grown.width + (1 << sw) - 1) >> sw) - c.x;
    c.height = ((grown.y + grown.height + (1 << sh) - 1) >> sh) - c.y;
    for (int plane = 1; plane <= 2; ++plane)
        RedactPlane(picture->data[plane], picture->linesize[plane], 1, c, std::max(1, block >> sw));
    return true;
}
