#pragma once
// The engine's picture: 8-bit blue-green-red rows with a stride, either 3 bytes a pixel or 4
// (blue, green, red, 0xFF: the 32-bit RGB layout a window paints without converting).
//
// Allocate keeps the pixels when the size does not change, so a display image that is
// reused from frame to frame costs no allocation. SaveImage writes a JPEG file.
//
// An image is not shared between threads without an outside lock.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class CPixImgBase {
public:
    static constexpr int kChannels = 3;
    static constexpr int kRgb32Channels = 4;
    static constexpr int kDepthBits = 8;
    static constexpr int kJpegQuality = 92;
    // Bytes kept after the last row of a 4-channel picture: vectorised converters write whole
    // blocks of pixels, a little past the end of a row.
    static constexpr int kSlackBytes = 64;

    explicit CPixImgBase(int depth = kDepthBits);
    CPixImgBase(int width, int height, int channels = kChannels, int depth = kDepthBits);
    virtual ~CPixImgBase() = default;

    CPixImgBase(const CPixImgBase&) = default;
    CPixImgBase& operator=(const CPixImgBase&) = default;
    CPixImgBase(CPixImgBase&&) noexcept = default;
    CPixImgBase& operator=(CPixImgBase&&) noexcept = default;

    // (Re)allocates for width x height with 3 or 4 channels; returns false for a negative or
    // absurd size or another channel count. New pixels are only allocated when the size or
    // the channel count changes; they start black (opaque black with 4 channels).
    bool Allocate(int width, int height, int channels = kChannels, bool keepIfSameSize = true);
    void Release();
    // Pixels are owned outright, so there is never a shared buffer to detach from.
    void _CopyBeforeWrite() {}

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Stride() const { return m_stride; }
    int Channels() const { return m_channels; }
    bool IsEmpty() const { return m_width == 0 || m_height == 0; }
    uint8_t* Pixels() { return m_pixels.empty() ? nullptr : m_pixels.data(); }
    const uint8_t* Pixels() const { return m_pixels.empty() ? nullptr : m_pixels.data(); }
    uint8_t* Row(int y) { return Pixels() + static_cast<size_t>(y) * m_stride; }
    const uint8_t* Row(int y) const { return Pixels() + static_cast<size_t>(y) * m_stride; }

    // Mirrors every row left to right in place.
    void MirrorRows();
    // A 3-channel copy of this picture (the picture itself when it has 3 channels already).
    CPixImgBase ToBgr() const;

    // Writes the picture as a JPEG file; false when there is no picture or the file
    // cannot be written completely (a partial file is removed).
    bool SaveImage(const std::string& path, int quality = kJpegQuality) const;
    // Reads a JPEG file into this image (BGR); false when it cannot be decoded.
    bool LoadImage(const std::string& path);

private:
    int m_width = 0;
    int m_height = 0;
    int m_stride = 0;  // bytes per row, a multiple of 4
    int m_channels = kChannels;
    std::vector<uint8_t> m_pixels;
};

template <class T, int Depth>
class CPixImgTempl : public CPixImgBase {
    static_assert(sizeof(T) * 8 == Depth, "pixel type and depth must agree");

public:
    CPixImgTempl() : CPixImgBase(Depth) {}
    CPixImgTempl(int width, int height, int channels = kChannels)
        : CPixImgBase(width, height, channels, Depth) {}
    explicit CPixImgTempl(CPixImgBase image) : CPixImgBase(std::move(image)) {}
};

using CPixImage = CPixImgTempl<unsigned char, 8>;
