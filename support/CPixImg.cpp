#include "support/CPixImg.h"

#include <turbojpeg.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "support/RegularFile.h"

namespace {

// Pictures larger than this are refused rather than allocated (16k x 16k).
constexpr int kMaxSidePx = 16384;

struct TjDeleter {
    void operator()(void* handle) const {
        if (handle) tjDestroy(static_cast<tjhandle>(handle));
    }
};
using TjHandle = std::unique_ptr<void, TjDeleter>;

struct TjBufferDeleter {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

struct FileCloser {
    void operator()(FILE* f) const {
        if (f) fclose(f);
    }
};

}  // namespace

CPixImgBase::CPixImgBase(int) {}

CPixImgBase::CPixImgBase(int width, int height, int channels, int) {
    Allocate(width, height, channels, false);
}

bool CPixImgBase::Allocate(int width, int height, int channels, bool keepIfSameSize) {
    if (width < 0 || height < 0 || width > kMaxSidePx || height > kMaxSidePx ||
        (channels != kChannels && channels != kRgb32Channels)) {
        return false;
    }
    if (keepIfSameSize && width == m_width && height == m_height && channels == m_channels &&
        !m_pixels.empty()) {
        return true;
    }
    m_width = width;
    m_height = height;
    m_channels = channels;
    m_stride = (width * channels + 3) & ~3;
    if (channels == kRgb32Channels) {
        // Opaque black: the fourth byte is what a window would take for alpha.
        constexpr uint32_t kOpaqueBlack = 0xFF000000u;
        m_pixels.resize(static_cast<size_t>(m_stride) * height + kSlackBytes);
        for (size_t i = 0; i + 4 <= m_pixels.size(); i += 4) {
            std::memcpy(m_pixels.data() + i, &kOpaqueBlack, 4);
        }
    } else {
        m_pixels.assign(static_cast<size_t>(m_stride) * height, 0);
    }
    return true;
}

void CPixImgBase::Release() {
    m_width = m_height = m_stride = 0;
    m_pixels.clear();
    m_pixels.shrink_to_fit();
}

void CPixImgBase::MirrorRows() {
    for (int y = 0; y < m_height; ++y) {
        uint8_t* row = Row(y);
        for (int j = 0; j < (m_width + 1) / 2; ++j) {
            uint8_t* a = row + j * m_channels;
            uint8_t* b = row + (m_width - 1 - j) * m_channels;
            for (int c = 0; c < m_channels; ++c) std::swap(a[c], b[c]);
        }
    }
}

CPixImgBase CPixImgBase::ToBgr() const {
    if (m_channels == kChannels) return *this;
    CPixImgBase bgr(m_width, m_height);
    for (int y = 0; y < m_height; ++y) {
        const uint8_t* src = Row(y);
        uint8_t* dst = bgr.Row(y);
        for (int x = 0; x < m_width; ++x, src += m_channels, dst += kChannels) {
            std::memcpy(dst, src, kChannels);
        }
    }
    return bgr;
}

bool CPixImgBase::SaveImage(const std::string& path, int quality) const {
    if (IsEmpty() || path.empty()) return false;
    TjHandle tj(tjInitCompress());
    if (!tj) return false;
    unsigned char* raw = nullptr;
    unsigned long size = 0;
    // The encoder reads either layout itself, so a 32-bit picture needs no copy for the file.
    const int format = m_channels == kRgb32Channels ? TJPF_BGRX : TJPF_BGR;
    int rc = tjCompress2(static_cast<tjhandle>(tj.get()), Pixels(), m_width, m_stride, m_height,
                         format, &raw, &size, TJSAMP_420, quality, TJFLAG_ACCURATEDCT);
    std::unique_ptr<unsigned char, TjBufferDeleter> jpeg(raw);
    if (rc != 0 || !jpeg) return false;

    std::unique_ptr<FILE, FileCloser> f(fopen(path.c_str(), "wb"));
    if (!f) return false;
    bool ok = fwrite(jpeg.get(), 1, size, f.get()) == size;
    ok = (fflush(f.get()) == 0) && ok;
    ok = (fclose(f.release()) == 0) && ok;
    if (!ok) std::remove(path.c_str());
    return ok;
}

bool CPixImgBase::LoadImage(const std::string& path) {
    std::unique_ptr<FILE, FileCloser> f(OpenRegularFileStream(path));
    if (!f) return false;
    std::vector<unsigned char> data;
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f.get())) > 0) data.insert(data.end(), buf, buf + n);
    if (data.empty()) return false;

    TjHandle tj(tjInitDecompress());
    if (!tj) return false;
    int w = 0, h = 0, subsamp = 0, colorspace = 0;
    if (tjDecompressHeader3(static_cast<tjhandle>(tj.get()), data.data(), data.size(), &w, &h,
                            &subsamp, &colorspace) != 0) {
        return false;
    }
    if (!Allocate(w, h, kChannels, false)) return false;
    return tjDecompress2(static_cast<tjhandle>(tj.get()), data.data(), data.size(), Pixels(), w,
                         m_stride, h, TJPF_BGR, TJFLAG_ACCURATEDCT) == 0;
}
