#include "redact/MaskPainter.h"

extern "C" {
#include <libavutil/frame.h>
}

#include "redact/PictureRedactor.h"
#include "support/CPixImg.h"

bool MaskPainter::Paint(int camera, int64_t frame, AVFrame* picture) {
    const MaskCamera* shape = m_set.Camera(camera);
    bool checked = false;
    for (const MaskRegion& region : m_set.regions) {
        if (region.camera != camera) continue;
        const MaskBox* box = region.BoxAt(frame);
        if (!box) continue;
        // Boxes are in the picture's own pixels; a picture of another size is not the one the
        // regions were drawn on.
        if (!checked &&
            (!shape || picture->width != shape->width || picture->height != shape->height))
            return false;
        checked = true;
        if (!RedactPicture(picture, {box->x, box->y, box->width, box->height})) return false;
        ++m_painted;
    }
    return true;
}

bool MaskPainter::PaintJpeg(int camera, int64_t frame, const std::string& jpegPath,
                            std::string* why) {
    const MaskCamera* shape = m_set.Camera(camera);
    CPixImage image;
    bool loaded = false;
    auto fail = [why](const std::string& cause) {
        if (why) *why = cause;
        return false;
    };
    for (const MaskRegion& region : m_set.regions) {
        const MaskBox* box = region.camera == camera ? region.BoxAt(frame) : nullptr;
        if (!box) continue;
        if (!loaded) {
            if (!shape) return fail(MaskRegionName(region) + " is on a camera the file lacks");
            if (!image.LoadImage(jpegPath)) return fail("the saved picture cannot be read");
            if (image.Width() != shape->width || image.Height() != shape->height)
                return fail("the picture is " + std::to_string(image.Width()) + "x" +
                            std::to_string(image.Height()) + ", the regions were drawn on " +
                            std::to_string(shape->width) + "x" + std::to_string(shape->height));
        }
        loaded = true;
        const RedactRect rect{box->x, box->y, box->width, box->height};
        if (box->x < 0 || box->y < 0 || box->width <= 0 || box->height <= 0 ||
            box->x + box->width > image.Width() || box->y + box->height > image.Height())
            return fail(MaskRegionName(region) + "'s box at frame " + std::to_string(frame) +
                        " lies outside the picture");
        const RedactRect grown = GrownRedactBox(rect, image.Width(), image.Height());
        const int block = RedactBlockSide(rect);
        for (int channel = 0; channel < 3; ++channel)
            RedactPlane(image.Pixels() + channel, image.Stride(), 3, grown, block);
        ++m_painted;
    }
    if (loaded && !image.SaveImage(jpegPath)) return fail("the blurred picture cannot be saved");
    return true;
}
