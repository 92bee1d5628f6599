#pragma once
// The block pattern every generated frame carries: its frame index and its camera, drawn as
// large black and white blocks that survive H.264, scaling to any window size and JPEG.
// Front and rear frames are told apart by the pattern itself.

#include <cstdint>

#include "support/CPixImg.h"

// Layout: the top three fifths of the picture are a grid of 8 x 4 cells across the whole
// width. The four corner cells are references (top left and bottom right white, the other two
// black, so a flipped picture does not read as a plain one); the other 28 cells carry, in
// row order, the camera bit, 19 bits of the frame index (lowest first) and an 8-bit check.
constexpr int kFramePatternColumns = 8;
constexpr int kFramePatternRows = 4;
constexpr int kFramePatternIndexBits = 19;
constexpr int kFramePatternMaxIndex = (1 << kFramePatternIndexBits) - 1;
// Height of the pattern area for a picture of the given height; the rest is free.
int FramePatternHeight(int height);

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
