#include "redact/MaskPainter.h"

extern "C" {
#include <libavutil/frame.h>
}

#include "redact/PictureRedactor.h"

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
