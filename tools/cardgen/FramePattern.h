#pragma once
// The block pattern every generated frame carries: its frame index and its camera, drawn as
// large black and white blocks that survive H.264, scaling to any window size and JPEG.
// Front and rear frames are told apart by the pattern itself.

#include <cstdint>

#include "support/CPixImg.h"

struct FrameMark {
    int frameIndex = -1;  // -1: no readable pattern
    int camera = -1;      // 0 front, 1 rear
};

// Draws the pattern for (frameIndex, camera) into a planar YUV 4:2:0 picture.
void DrawFramePattern(uint8_t* y, int yStride, uint8_t* u, int uStride, uint8_t* v, int vStride,
                      int width, int height, int frameIndex, int camera);

// Reads the pattern back from a BGR picture of any size (as presented or saved).
FrameMark ReadFramePattern(const CPixImgBase& image);
// The same for a picture flipped left to right (a mirrored rear camera).
FrameMark ReadFramePatternMirrored(const CPixImgBase& image);
