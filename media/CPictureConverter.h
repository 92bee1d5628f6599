#pragma once
// Turns a decoded picture into the 32-bit RGB picture a window paints as it is (bytes blue,
// green, red, 0xFF), at any size: libyuv resizes in YUV (bilinear), mirrors, and converts
// straight into the target's rows.
//
// Brightness and contrast are swscale's colour settings, as they always were: every channel
// becomes contrast x (its value + brightness x 256 luma steps) before it is clipped. libyuv
// cannot scale its coefficients that far and 8-bit YUV has no room for the lifted values, so
// while either is not neutral the last step is swscale's unscaled conversion with those
// settings instead (writing straight into the target as well).
//
// Not thread-safe: its owner serialises the calls.

#include <cstdint>
#include <vector>

#include "media/FFmpegPtr.h"
#include "support/CPixImg.h"

class CPictureConverter {
public:
    static constexpr float kNeutralBrightness = 0.0f;
    static constexpr float kNeutralContrast = 1.0f;

    void SetColour(float brightness, float contrast);

    // Converts the frame into out (4 channels) at out's size, mirrored left to right when
    // asked. False when the frame holds no picture or its layout cannot be converted.
    bool Convert(const AVFrame& frame, CPixImgBase& out, bool mirror);

private:
    // Three 8-bit 4:2:0 planes, either borrowed from a frame or held in a work buffer (four
    // entries, as swscale reads four).
    struct Planes {
        const uint8_t* data[4] = {};
        int stride[4] = {};
        int width = 0;
        int height = 0;
    };
    struct WorkPlanes {
        std::vector<uint8_t> bytes;
        uint8_t* data[4] = {};
        int stride[4] = {};
        void Allocate(int width, int height);
        Planes View(int width, int height) const;
    };

    bool SourcePlanes(const AVFrame& frame, int width, int height, Planes& planes);
    bool ConvertWithColour(const Planes& planes, CPixImgBase& out);

    float m_brightness = kNeutralBrightness;
    float m_contrast = kNeutralContrast;

    // The conversion that carries brightness and contrast, for the target size it was made for.
    SwsContextPtr m_colourConverter;
    int m_colourWidth = 0;
    int m_colourHeight = 0;
    bool m_colourApplied = false;  // the settings reached m_colourConverter

    // Decoded layouts other than 8-bit 4:2:0 go through swscale to 4:2:0 at the target size.
    SwsContextPtr m_toI420;
    int m_toI420Key[5] = {};  // source width, height, format; target width, height

    WorkPlanes m_scaled;    // the picture at the target size
    WorkPlanes m_mirrored;  // ... flipped left to right
};
