#pragma once
// Lays a masks file's regions over decoded camera pictures: every box of the picture's camera
// and frame is blurred (PictureRedactor.h). Counts what it blurred, for the report.
//
// Threads: one caller at a time.

#include <cstdint>
#include <string>

#include "redact/MaskFile.h"

struct AVFrame;

class MaskPainter {
public:
    // set must outlive the painter.
    explicit MaskPainter(const MaskSet& set) : m_set(set) {}
    explicit MaskPainter(MaskSet&&) = delete;

    // False when the picture is not of its camera's size or of a format the blur takes; the
    // picture must then not leave.
    bool Paint(int camera, int64_t frame, AVFrame* picture);
    // The same for a saved picture (a still, BGR): the JPEG at jpegPath is blurred and
    // written back. False, with the cause in *why, when it cannot be read, is of another size,
    // a box leaves it, or it cannot be written.
    bool PaintJpeg(int camera, int64_t frame, const std::string& jpegPath,
                   std::string* why = nullptr);
    int64_t BoxesPainted() const { return m_painted; }

private:
    const MaskSet& m_set;
    int64_t m_painted = 0;
};
