#include <QPainterPath>
#include <QtMath>

#include "SkinArt.h"

namespace skin {
namespace {

using K = FaceKind;
using S = State;

QColor IconColour(State state) {
    switch (state) {
        case S::Pressed:
            return kAccent;
        case S::Disabled:
            return kIconDim;
        default:
            return kIcon;
    }
}

void DrawTitleButton(QPainter& p, const FaceEntry& f) {
    const QRectF r(0, 0, f.at.width(), f.at.height());
    if (f.state == S::Pressed) Plate(p, r, 5, kPanelHigh, kHairline);
    DrawIcon(p, f.icon, QRectF(5, 5, 15, 15), IconColour(f.state), 1.7);
}

void DrawTransport(QPainter& p, const FaceEntry& f) {
    const QRectF r(0, 0, f.at.width(), f.at.height());
    const bool down = f.state == S::Pressed;
    Plate(p, r, 6, down ? kFaceDown : kFace, down ? kAccentDeep : kFaceBorder);
    if (!down) {
        // A faint top light gives the plate its lift.
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(255, 255, 255, 18), 1));
        p.drawLine(QPointF(6, 1.5), QPointF(r.width() - 6, 1.5));
        p.restore();
    }
    DrawIcon(p, f.icon, QRectF(5, 5, 20, 20), IconColour(f.state), 2.0);
}

void DrawSquare(QPainter& p, const FaceEntry& f) {
    const QRect r(0, 0, f.at.width(), f.at.height());
    const bool down = f.state == S::Pressed;
    p.fillRect(r, down ? kFaceDown : kFace);
    DrawIcon(p, f.icon, QRectF(5, 5, 20, 20), IconColour(f.state), 2.0);
}

void DrawRound(QPainter& p, const FaceEntry& f) {
    const QRectF r(0, 0, f.at.width(), f.at.height());
    const bool down = f.state == S::Pressed;
    const bool pause = f.icon == Icon::Pause;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient body(r.center() - QPointF(0, 8), 30);
    body.setColorAt(0, down ? kFaceDown.lighter(115) : kFace.lighter(118));
    body.setColorAt(1, down ? kFaceDown : kFace);
    p.setBrush(body);
    p.setPen(Qt::NoPen);
    p.drawEllipse(r.adjusted(1, 1, -1, -1));
    // The ring: amber while playing (Pause shown) or pressed, quiet otherwise.
    const QColor ring = (pause || down) ? kAccent : kFaceBorder.lighter(125);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(ring, 2));
    p.drawEllipse(r.adjusted(2, 2, -2, -2));
    p.restore();
    const QColor glyph = down ? kAccent : kIcon;
    const qreal shift = f.icon == Icon::Play ? 1.5 : 0;  // optical centre of the triangle
    DrawIcon(p, f.icon, QRectF(13 + shift, 13, 28, 28), glyph, 2.0);
}

void DrawLabel(QPainter& p, const QRectF& r, const QString& text, const QColor& colour, bool bold,
               int pixelSize) {
    p.save();
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont font = UiFont(pixelSize, bold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.4);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, text);
    p.restore();
}

// Icon and word centred together in the button.
void DrawIconAndWord(QPainter& p, const QRectF& r, Icon icon, const QString& word,
                     const QColor& colour, bool bold) {
    QFont font = UiFont(11, bold);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.4);
    const qreal textWidth = QFontMetricsF(font).horizontalAdvance(word);
    const qreal iconSize = 16, gap = 7;
    const qreal left = qRound(r.center().x() - (iconSize + gap + textWidth) / 2);
    DrawIcon(p, icon, QRectF(left, r.center().y() - iconSize / 2, iconSize, iconSize), colour, 1.6);
    DrawLabel(p, QRectF(left + iconSize + gap, r.top(), textWidth + 2, r.height()), word, colour,
              bold, 11);
}

void DrawViewButton(QPainter& p, const FaceEntry& f) {
    const QRectF r(0, 0, f.at.width(), f.at.height());
    const bool down = f.state == S::Pressed, off = f.state == S::Disabled;
    Plate(p, r.adjusted(1, 1, -1, -1), 5,
          down  ? kFaceDown
          : off ? kPanel
                : kFace,
          down  ? kAccentDeep
          : off ? kHairline
                : kFaceBorder);
    DrawIconAndWord(p, r, f.icon, f.label, IconColour(f.state), down);
}

void DrawToggle(QPainter& p, const FaceEntry& f) {
    const QRectF r(0, 0, f.at.width(), f.at.height());
    const bool on = f.state == S::Pressed, off = f.state == S::Disabled;
    p.fillRect(r, kPanel);
    Plate(p, r.adjusted(1, 1, -1, -1), 5,
          on    ? kFaceDown
          : off ? kPanel
                : kFace,
          on    ? kAccentDeep
          : off ? kHairline
                : kFaceBorder);
    // The lamp at the left: lit amber when on.
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF lamp(14, r.center().y());
    if (on) {
        QRadialGradient glow(lamp, 7);
        glow.setColorAt(0, QColor(245, 165, 36, 110));
        glow.setColorAt(1, QColor(245, 165, 36, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(lamp, 7, 7);
        p.setBrush(kAccent);
        p.drawEllipse(lamp, 3.2, 3.2);
    } else {
        p.setPen(QPen(off ? kHairline : kIconDim, 1.2));
        p.setBrush(kFaceDown);
        p.drawEllipse(lamp, 3.2, 3.2);
    }
    p.restore();
    const QColor ink = on ? QColor(236, 240, 244) : off ? kIconDim : kIcon;
    DrawIconAndWord(p, r.adjusted(12, 0, 0, 0), f.icon, f.label, on ? kAccent : ink, on);
}

void DrawTab(QPainter& p, const FaceEntry& f) {
    const qreal w = f.at.width(), h = f.at.height();
    const bool down = f.state == S::Pressed;
    // One segmented bar: each tab draws its left edge, the last one also its right edge, and
    // only the two ends are rounded.
    QPainterPath shape;
    const qreal rl = f.segment < 0 ? 5 : 0, rr = f.segment > 0 ? 5 : 0;
    const qreal right = f.segment > 0 ? w - 0.5 : w + 0.5;
    shape.moveTo(0.5 + rl, 0.5);
    shape.lineTo(right - rr, 0.5);
    if (rr > 0) shape.quadTo(right, 0.5, right, 0.5 + rr);
    shape.lineTo(right, h - 0.5 - rr);
    if (rr > 0) shape.quadTo(right, h - 0.5, right - rr, h - 0.5);
    shape.lineTo(0.5 + rl, h - 0.5);
    if (rl > 0) shape.quadTo(0.5, h - 0.5, 0.5, h - 0.5 - rl);
    shape.lineTo(0.5, 0.5 + rl);
    if (rl > 0) shape.quadTo(0.5, 0.5, 0.5 + rl, 0.5);
    shape.closeSubpath();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setClipRect(QRectF(0, 0, w, h));
    p.setPen(QPen(kFaceBorder, 1));
    p.setBrush(down ? kFaceDown : kFace);
    p.drawPath(shape);
    if (down) {
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawRoundedRect(QRectF(8, h - 4, w - 16, 2), 1, 1);
    }
    p.restore();
    DrawLabel(p, QRectF(0, down ? -1 : 0, w, h), f.label, down ? kAccent : kTextQuiet.lighter(118),
              down, 10);
}

// Track shape shared by the channel and its filled part, so the two meet without a step.
void DrawTrack(QPainter& p, const FaceEntry& f, bool active) {
    const qreal w = f.at.width(), h = f.at.height();
    // The track spans exactly the thumb centre's travel (half a thumb in from either end).
    const QRectF track(7, h / 2 - 2, w - 16, 4);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    if (active) {
        QLinearGradient fill(0, track.top(), 0, track.bottom());
        fill.setColorAt(0, kAccent.lighter(108));
        fill.setColorAt(1, kAccent.darker(112));
        p.setBrush(fill);
    } else {
        p.setBrush(QColor(14, 17, 21));
        p.drawRoundedRect(track.adjusted(-0.5, -0.5, 0.5, 0.5), 2.5, 2.5);
        p.setBrush(QColor(56, 64, 75));
    }
    p.drawRoundedRect(track, 2, 2);
    p.restore();
}

void DrawThumb(QPainter& p, const FaceEntry& f) {
    const QRectF r(0, 0, f.at.width(), f.at.height());
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(12, 14, 18, 200), 1));
    QLinearGradient body(0, 1, 0, r.height() - 1);
    body.setColorAt(0, QColor(236, 240, 244));
    body.setColorAt(1, QColor(176, 184, 194));
    p.setBrush(body);
    p.drawEllipse(r.center(), 6.6, 6.6);
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawEllipse(r.center(), 2.2, 2.2);
    p.restore();
}

void DrawArt(QPainter& p, const FaceEntry& f) {
    switch (f.kind) {
        case K::TitleButton:
            DrawTitleButton(p, f);
            break;
        case K::Transport:
            DrawTransport(p, f);
            break;
        case K::IconOnly:
            DrawIcon(p, f.icon, QRectF(5, 5, 20, 20), kTextQuiet, 2.0);
            break;
        case K::Round:
            DrawRound(p, f);
            break;
        case K::ViewButton:
            DrawViewButton(p, f);
            break;
        case K::Tab:
            DrawTab(p, f);
            break;
        case K::Toggle:
            DrawToggle(p, f);
            break;
        case K::Square:
            DrawSquare(p, f);
            break;
        case K::Channel:
            DrawTrack(p, f, false);
            break;
        case K::ChannelActive:
            DrawTrack(p, f, true);
            break;
        case K::Thumb:
            DrawThumb(p, f);
            break;
    }
}

}  // namespace

QString KoreanWord(const QString& english) {
    static const struct {
        const char* english;
        const char* korean;
    } kWords[] = {
        {"SWAP CAMERAS", "카메라 전환"},
        {"MAP SIZE", "지도 크기"},
        {"DRIVING", "주행"},
        {"EVENT", "이벤트"},
        {"PARKING", "주차"},
        {"USER", "사용자"},
        {"ALL", "전체"},
        {"2ND CAMERA", "후방 카메라"},
        {"MAP", "지도"},
        {"PLAYBACK", "재생"},
        {"G-SENSOR", "G 센서"},
    };
    for (const auto& w : kWords)
        if (english == QLatin1String(w.english)) return QString::fromUtf8(w.korean);
    return english;
}

const std::vector<FaceEntry>& FaceTable() {
    static const std::vector<FaceEntry> entries = [] {
        std::vector<FaceEntry> v;
        auto add = [&v](FaceEntry f) { v.push_back(std::move(f)); };
        auto pair = [&](int up, int down, FaceKind kind, QRect at, Icon icon,
                        QString label = QString(), int segment = 0, bool onBlack = false) {
            add({up, kind, S::Released, at, icon, label, true, onBlack, segment});
            add({down, kind, S::Pressed, at, icon, label, true, onBlack, segment});
        };
        // Title bar
        pair(451, 452, K::TitleButton, {892, 5, 25, 25}, Icon::Minimize);
        pair(440, 441, K::TitleButton, {919, 5, 25, 25}, Icon::FullScreen);
        pair(434, 435, K::TitleButton, {946, 5, 25, 25}, Icon::Close);
        pair(502, 503, K::TitleButton, {919, 5, 25, 25}, Icon::PrevSize, {}, 0, true);
        // View row
        pair(431, 432, K::ViewButton, {325, 39, 161, 24}, Icon::Swap, "SWAP CAMERAS");
        add({433, K::ViewButton, S::Disabled, {325, 39, 161, 24}, Icon::Swap, "SWAP CAMERAS"});
        pair(428, 429, K::ViewButton, {486, 39, 161, 24}, Icon::MapSize, "MAP SIZE");
        add({430, K::ViewButton, S::Disabled, {486, 39, 161, 24}, Icon::MapSize, "MAP SIZE"});
        pair(463, 464, K::Tab, {649, 39, 65, 24}, Icon::Lens, "DRIVING", -1);
        pair(437, 438, K::Tab, {714, 39, 65, 24}, Icon::Lens, "EVENT");
        pair(457, 458, K::Tab, {779, 39, 64, 24}, Icon::Lens, "PARKING");
        pair(445, 446, K::Tab, {843, 39, 64, 24}, Icon::Lens, "USER");
        pair(417, 418, K::Tab, {907, 39, 64, 24}, Icon::Lens, "ALL", 1);
        // Small-area toggles (opaque: the skin button copies its faces)
        const QRect cam(649, 246, 161, 24), map(810, 246, 161, 24);
        add({475, K::Toggle, S::Released, cam, Icon::PictureInPicture, "2ND CAMERA", false});
        add({476, K::Toggle, S::Pressed, cam, Icon::PictureInPicture, "2ND CAMERA", false});
        add({477, K::Toggle, S::Disabled, cam, Icon::PictureInPicture, "2ND CAMERA", false});
        add({448, K::Toggle, S::Released, map, Icon::MapPin, "MAP", false});
        add({449, K::Toggle, S::Pressed, map, Icon::MapPin, "MAP", false});
        add({450, K::Toggle, S::Disabled, map, Icon::MapPin, "MAP", false});
        // Transport
        pair(466, 467, K::Transport, {28, 470, 30, 30}, Icon::Open);
        pair(489, 490, K::Transport, {82, 470, 30, 30}, Icon::Stop);
        pair(472, 473, K::Transport, {136, 470, 30, 30}, Icon::Prev);
        pair(478, 479, K::Transport, {190, 470, 30, 30}, Icon::Back10);
        pair(469, 470, K::Round, {244, 457, 54, 54}, Icon::Play);
        add({505, K::Round, S::Released, {244, 457, 54, 54}, Icon::Pause, QString()});
        pair(481, 482, K::Transport, {322, 470, 30, 30}, Icon::Forward10);
        pair(460, 461, K::Transport, {376, 470, 30, 30}, Icon::Next);
        pair(496, 497, K::Transport, {430, 470, 30, 30}, Icon::Zoom);
        pair(425, 426, K::Transport, {484, 470, 30, 30}, Icon::Capture);
        pair(484, 485, K::Transport, {538, 470, 30, 30}, Icon::Settings);
        add({454, K::Square, S::Released, {592, 470, 30, 30}, Icon::Mirror, QString(), false});
        add({455, K::Square, S::Pressed, {592, 470, 30, 30}, Icon::Mirror, QString(), false});
        add({495, K::Square, S::Released, {679, 470, 30, 30}, Icon::SoundOn, QString(), false});
        add({494, K::Square, S::Pressed, {679, 470, 30, 30}, Icon::SoundOff, QString(), false});
        add({424, K::IconOnly, S::Released, {820, 470, 30, 30}, Icon::Brightness, QString()});
        // Sliders: pixel (0,0) of each is the key colour.
        add({443, K::Channel, S::Released, {92, 432, 410, 16}, Icon::Lens, QString()});
        add({444, K::ChannelActive, S::Released, {92, 432, 410, 16}, Icon::Lens, QString()});
        add({422, K::Channel, S::Released, {719, 477, 81, 16}, Icon::Lens, QString()});
        add({423, K::ChannelActive, S::Released, {719, 477, 81, 16}, Icon::Lens, QString()});
        add({420, K::Thumb, S::Released, {719, 477, 16, 16}, Icon::Lens, QString()});
        return v;
    }();
    return entries;
}

QImage RenderFace(const FaceEntry& entry, const QImage& background) {
    const QSize size = entry.at.size();
    QImage ground(size, QImage::Format_RGB32);
    if (entry.onBlack)
        ground.fill(Qt::black);
    else if (entry.kind == K::Thumb)
        ground.fill(kPanel);  // it travels along the track
    else
        ground = background.copy(entry.at).convertToFormat(QImage::Format_RGB32);

    QImage art(size, QImage::Format_ARGB32_Premultiplied);
    art.fill(Qt::transparent);
    {
        QPainter p(&art);
        DrawArt(p, entry);
    }
    QImage out = ground;
    {
        QPainter p(&out);
        p.drawImage(0, 0, art);
    }
    if (!entry.keyed) return out;
    // Where the art left the ground bare the face takes the key colour; the art's own pixels
    // never do, even where they came out black.
    for (int y = 0; y < size.height(); ++y) {
        const QRgb* a = reinterpret_cast<const QRgb*>(art.constScanLine(y));
        QRgb* o = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            if (qAlpha(a[x]) == 0)
                o[x] = qRgb(0, 0, 0);
            else if ((o[x] & 0xFFFFFF) == 0)
                o[x] = qRgb(1, 1, 1);
        }
    }
    return out;
}

QImage RenderAppIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    p.setPen(Qt::NoPen);
    p.setBrush(kGround);
    p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.2, s * 0.2);
    if (size <= 16) {
        // At 16 px only the ring and the pupil survive.
        p.setPen(QPen(kAccent, 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(8, 8), 5.5, 5.5);
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawEllipse(QPointF(8, 8), 2, 2);
    } else {
        DrawIcon(p, Icon::Lens, QRectF(s * 0.1, s * 0.1, s * 0.8, s * 0.8), kAccent, s / 16);
    }
    return img;
}

}  // namespace skin
