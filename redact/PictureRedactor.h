#pragma once
// Makes the inside of a region unreadable: the box, grown by a tenth on every side so that an
// edge the tracker cut short is still covered, is divided into blocks at least an eighth of
// the box's longer side, each filled with its mean, and the blocks are then softened by a box
// blur inside the grown box. Pixels outside the grown box are never read into it nor changed.
//
// Works on one 8-bit plane at a time, so planar YUV pictures (luma at full size, chroma at
// half) and packed pictures treated plane by plane take the same path.

#include <cstdint>

struct RedactRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// The box grown by 10 % on every side, clipped to a picture of width x height.
RedactRect GrownRedactBox(const RedactRect& box, int width, int height);

// Blurs rect (already grown and clipped) of a plane of width x height bytes at stride;
// pixelStep is the distance between a pixel's samples (1 for a plane, 3 for one channel of
// packed BGR). block is the block side in this plane's pixels.
void RedactPlane(uint8_t* plane, int stride, int pixelStep, const RedactRect& rect, int block);

// The block side for a box in full-size pixels: at least an eighth of its longer side.
int RedactBlockSide(const RedactRect& box);

struct AVFrame;
// Blurs the box (in the picture's own pixels) in a decoded planar 8-bit 4:2:0 or 4:4:4
// picture; false when the picture is of another format, so a caller never passes it on
// unblurred.
bool RedactPicture(AVFrame* picture, const RedactRect& box);
