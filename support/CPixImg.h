#pragma once
// The engine's picture: 3-channel, 8-bit, blue-green-red rows with a stride.
//
// Allocate keeps the pixels when the size does not change, so a display image that is
// reused from frame to frame costs no allocation. SaveImage writes a JPEG file.
//
// An image is not shared between threads without an outside lock.

#include <cstdint>
#include <string>
#include <vector>

class CPixImgBase {
public:
    static constexpr int kChannels = 3;
    static constexpr int kDepthBits = 8;
    static constexpr int kJpegQuality = 92;

    explicit CPixImgBase(int depth = kDepthBits);
    CPixImgBase(int width, int height, int channels = kChannels, int depth = kDepthBits);
    virtual ~CPixImgBase() = default;

    CPixImgBase(const CPixImgBase&) = default;
    CPixImgBase& operator=(const CPixImgBase&) = default;
    CPixImgBase(CPixImgBase&&) noexcept = default;
    CPixImgBase& operator=(CPixImgBase&&) noexcept = default;

    // (Re)allocates for width x height; returns false for a negative or absurd size. New
    // pixels are only allocated when the size changes; they start black.
    bool Allocate(int width, int height, int channels = kChannels, bool keepIfSameSize = true);
    void Release();
    // Pixels are owned outright, so there is never a shared buffer to detach from.
    void _CopyBeforeWrite() {}

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Stride() const { return m_stride; }
    bool IsEmpty() const { return m_width == 0 || m_height == 0; }
    uint8_t* Pixels() { return m_pixels.empty() ? nullptr : m_pixels.data(); }
    const uint8_t* Pixels() const { return m_pixels.empty() ? nullptr : m_pixels.data(); }
    uint8_t* Row(int y) { return Pixels() + static_cast<size_t>(y) * m_stride; }
    const uint8_t* Row(int y) const { return Pixels() + static_cast<size_t>(y) * m_stride; }

    // Mirrors every row left to right in place.
    void MirrorRows();

    // Writes the picture as a JPEG file; false when there is no picture or the file
    // cannot be written completely (a partial file is removed).
    bool SaveImage(const std::string& path, int quality = kJpegQuality) const;
    // Reads a JPEG file into this image (BGR); false when it cannot be decoded.
    bool LoadImage(const std::string& path);

private:
    int m_width = 0;
    int m_height = 0;
    int m_stride = 0;  // bytes per row, a multiple of 4
    std::vector<uint8_t> m_pixels;
};

template <class T, int Depth>
class CPixImgTempl : public CPixImgBase {
    static_assert(sizeof(T) * 8 == Depth, "pixel type and depth must agree");

public:
    CPixImgTempl() : CPixImgBase(Depth) {}
    CPixImgTempl(int width, int height, int channels = kChannels)
        : CPixImgBase(width, height, channels, Depth) {}
};

using CPixImage = CPixImgTempl<unsigned char, 8>;
