#pragma once
// A number plate that drives across the front picture of a generated recording: white with
// dark characters, in the free band below the frame pattern, going left to right and back
// while it drifts up and down. Its box in every frame is known exactly, so the tracker and the
// blur can be checked against it.

#include <cstdint>

struct AVFrame;

struct PlateBox {
    int x = 0, y = 0, width = 0, height = 0;
};

class MovingPlate {
public:
    // The plate for a picture of width x height at frameRate frames a second.
    MovingPlate(int width, int height, int frameRate);

    // Where the plate is in frame frameIndex (even coordinates and sizes, inside the picture).
    PlateBox BoxAt(int frameIndex) const;
    // Draws the plate of frame frameIndex into a YUV 4:2:0 frame of the given size.
    void Draw(AVFrame* frame, int frameIndex) const;

private:
    void DrawCharacters(AVFrame* frame, const PlateBox& box) const;

    int m_width;
    int m_height;
    int m_frameRate;
    int m_plateWidth;
    int m_plateHeight;
    int m_bandTop;  // first line below the frame pattern
};
