#pragma once
// Where the player's worker draws a camera's pictures.
//
// Size() is the area's current size in pixels, 0 x 0 while the area is hidden; the decoder
// converts each picture to that size. Present() hands over a picture of exactly that size;
// the implementation copies what it needs before returning, so the caller reuses its image.
//
// Both are called from the player's worker thread while the window's own thread may be
// resizing or hiding the area, so implementations guard their state themselves.

#include "support/CPixImg.h"

struct VideoSize {
    int width = 0;
    int height = 0;
};

class VideoWindow {
public:
    virtual ~VideoWindow() = default;
    virtual VideoSize Size() const = 0;
    virtual void Present(const CPixImgBase& image) = 0;
};
