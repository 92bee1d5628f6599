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

bool MaskPainter::PaintJpeg(int camera, int64_t frame, const std::string& jpegPath) {
    const MaskCamera* shape = m_set.Camera(camera);
    CPixImage image;
    bool loaded = false;
    for (const MaskRegion& region : m_set.regions) {
        const MaskBox* box = region.camera == camera ? region.BoxAt(frame) : nullptr;
        if (!box) continue;
        if (!loaded && (!image.LoadImage(jpegPath) || !shape || image.Width() != shape->width ||
                        image.Height() != shape->height))
            return false;
        loaded = true;
        const RedactRect grown = GrownRedactBox({box->x, box->y, box->width, box->height},
                                                image.Width(), image.Height());
        const int block = RedactBlockSide({box->x, box->y, box->width, box->height});
        for (int channel = 0; channel < 3; ++channel)
            RedactPlane(image.Pixels() + channel, image.Stride(), 3, grown, block);
        ++m_painted;
    }
    return !loaded || image.SaveImage(jpegPath);
}
