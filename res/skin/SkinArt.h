#pragma once
// The skin's pictures: the window background and every face bitmap by resource id.

#include <QImage>
#include <QRect>
#include <QString>
#include <vector>

#include "Icons.h"
#include "SkinStyle.h"

namespace skin {

constexpr int kBackgroundId = 421;
constexpr int kIconId = 143;
constexpr int kWindowWidth = 975, kWindowHeight = 635;

enum class FaceKind {
    TitleButton,    // 25 x 25 icon, plate only when pressed
    Transport,      // 30 x 30 plate with a line icon
    IconOnly,       // an icon with no plate (the brightness mark)
    Round,          // PLAY and Pause, 54 x 54, filled
    ViewButton,     // 161 x 24 pill with icon and word
    Tab,            // category tab, part of one segmented bar
    Toggle,         // 161 x 24 on/off with a lamp (opaque)
    Square,         // 30 x 30 opaque toggle (the control adds a 3-D edge)
    Channel,        // slider track
    ChannelActive,  // slider track, filled part
    Thumb,          // slider knob
};

struct FaceEntry {
    int id;
    FaceKind kind;
    State state;
    QRect at;  // where the face sits in the normal window; its size is the bitmap's size
    Icon icon = Icon::Lens;
    QString label;
    bool keyed = true;     // black is the transparent key colour
    bool onBlack = false;  // shown only over the plain black full-screen ground
    int segment = 0;       // tabs: -1 first, 1 last, 0 between
};

const std::vector<FaceEntry>& FaceTable();

// The skin's words in Korean (the same word when it has none): the Korean set of bitmaps is
// drawn with them, and the window picks that set in a Korean session.
QString KoreanWord(const QString& english);

QImage RenderBackground(bool korean = false);
// The face composited over the ground it sits on; keyed faces keep (0,0,0) exactly where the
// art leaves the ground visible and nowhere else.
QImage RenderFace(const FaceEntry& entry, const QImage& background);
QImage RenderAppIcon(int size);

}  // namespace skin
