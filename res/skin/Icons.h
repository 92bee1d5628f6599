#pragma once
// The skin's line icons: one family drawn on a 24-unit grid with round ends and an even
// stroke, scaled into the box they are given.

#include <QColor>
#include <QPainter>
#include <QRectF>

namespace skin {

enum class Icon {
    Minimize,
    FullScreen,
    PrevSize,
    Close,
    Open,
    Stop,
    Prev,
    Back10,
    Forward10,
    Next,
    Zoom,
    Capture,
    Settings,
    Mirror,
    SoundOn,
    SoundOff,
    Brightness,
    Swap,
    MapSize,
    PictureInPicture,
    MapPin,
    Play,
    Pause,
    Lens,
};

// Draws the icon scaled from its 24-unit grid into box; stroke is the line width in pixels.
// Play and Pause are filled shapes; Lens is the product mark.
void DrawIcon(QPainter& p, Icon icon, const QRectF& box, const QColor& colour, qreal stroke);

}  // namespace skin
