#pragma once
// The picture of one generated frame: the frame pattern on top, below it a calm colour
// gradient with a bar that crosses the picture once every two seconds, so motion is visible
// to a person watching without making the picture expensive to encode.

#include <cstdint>
#include <vector>

struct AVFrame;

class TestPicture {
public:
    void Prepare(int width, int height, int camera, int frameRate);
    // Draws frame frameIndex into a YUV 4:2:0 frame of the prepared size.
    void Draw(AVFrame* frame, int frameIndex) const;

private:
    int m_width = 0;
    int m_height = 0;
    int m_camera = 0;
    int m_frameRate = 30;
    std::vector<uint8_t> m_lumaRow;  // the gradient, one luma line
    uint8_t m_u = 128;
    uint8_t m_v = 128;
};
