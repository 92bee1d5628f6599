#pragma once
// Where the player's worker draws a camera's pictures.
//
// Size() is the area's current size in pixels, 0 x 0 while nobody can see the area (hidden by
// the view, the window minimised); the decoder converts each picture to that size and
// converts none for 0 x 0. Present() hands over a picture of that size, normally 32-bit RGB
// (CPixImgBase::kRgb32Channels), that nobody writes to any more: the window keeps the
// reference for as long as it shows the picture, and the picture goes back to the decoder's
// pool when the window lets go of it.
//
// PresentUnseen() stands for a picture that was decoded while the size was 0 x 0: nothing
// was converted, but the frame counts as shown (a window without a screen counts it).
//
// BeginPair() and EndPair() bracket the pictures of one moment (a front frame and the rear
// frame recorded with it, or the front alone). A window that would repaint once per picture
// may hold its repaint until EndPair(), so both cameras reach the screen in one repaint.
// Pictures presented outside a bracket are shown as they come.
//
// All of these are called from the player's worker thread while the window's own thread may
// be resizing or hiding the area, so implementations guard their state themselves.

#include <memory>

#include "support/CPixImg.h"

struct VideoSize {
    int width = 0;
    int height = 0;
};

class VideoWindow {
public:
    virtual ~VideoWindow() = default;
    virtual VideoSize Size() const = 0;
    virtual void Present(std::shared_ptr<const CPixImgBase> picture) = 0;
    virtual void PresentUnseen() {}
    virtual void BeginPair() {}
    virtual void EndPair() {}

    // Presents a copy of image (for callers that keep writing their own image).
    void PresentCopy(const CPixImgBase& image) { Present(std::make_shared<CPixImgBase>(image)); }
};
