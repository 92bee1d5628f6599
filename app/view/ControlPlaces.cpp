// Where the main window's controls stand, in the normal window and in full screen.
#include "app/view/ControlPlaces.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "app/window/Resource.h"

namespace ControlPlaces {
namespace {

// Which part of the window a control keeps its place to when the window grows.
enum class Anchor { Bottom, Right, Column, SmallArea, RightBottom, SliderEnd, Transport, Clock };

// The transport row: 30 x 30 buttons from x 28, PLAY and PAUSE 54 wide in slot 4; the gap
// between neighbours narrows in a narrower window, keeping clear of the sound group.
constexpr int kTransportLeft = 28, kTransportButtonPx = 30, kTransportWideGap = 24;
constexpr int kPlayExtraPx = 54 - kTransportButtonPx;
constexpr int kTransportSlots = 11;
constexpr int kSoundGroupLeft = 679;  // the mute button at 975 wide
constexpr int kSoundGroupClearance = 16;
// The clock's place in the title bar: left of the window buttons, centred on them.
constexpr int kTitleClockGap = 10, kTitleClockY = 9;
constexpr int kViewRowGap = 4;

struct NormalPlace {
    int id;
    QRect rect;
    Anchor anchor;
    int slot = -1;  // the transport's slot, left to right
};
const NormalPlace kNormalPlaces[] = {
    {IDC_BUTTON_MINIMIZE, {892, 5, 25, 25}, Anchor::Right},
    {IDC_BUTTON_CLOSE, {946, 5, 25, 25}, Anchor::Right},
    {IDC_BUTTON_FULLSCREEN, {919, 5, 25, 25}, Anchor::Right},
    {IDC_BUTTON_CHANGEVIEW, {325, 39, 161, 24}, Anchor::Column},
    {IDC_BUTTON_MAPVIEW, {486, 39, 161, 24}, Anchor::Column},
    {IDC_BUTTON_DRIVING, {649, 39, 65, 24}, Anchor::Column},
    {IDC_BUTTON_EVENT, {714, 39, 65, 24}, Anchor::Column},
    {IDC_BUTTON_PARKING, {779, 39, 64, 24}, Anchor::Column},
    {IDC_BUTTON_USER, {843, 39, 64, 24}, Anchor::Column},
    {IDC_BUTTON_ALL, {907, 39, 64, 24}, Anchor::Column},
    {IDC_CHECK_CAMSMALL, {649, 246, 161, 24}, Anchor::SmallArea},
    {IDC_CHECK_MAPSMALL, {810, 246, 161, 24}, Anchor::SmallArea},
    {IDC_SLIDER_POS, {92, 432, 394, 16}, Anchor::Bottom},     // ends before the total time
    {IDC_STATIC_CURTIME, {20, 433, 68, 14}, Anchor::Bottom},  // wide enough for tenths
    {IDC_STATIC_TOTALTIME, {487, 433, 56, 14}, Anchor::SliderEnd},
    {IDC_STATIC_SPEED, {580, 433, 56, 14}, Anchor::SliderEnd},
    {IDC_BUTTON_OPEN, {28, 470, 30, 30}, Anchor::Transport, 0},
    {IDC_BUTTON_STOP, {82, 470, 30, 30}, Anchor::Transport, 1},
    {IDC_BUTTON_PRE, {136, 470, 30, 30}, Anchor::Transport, 2},
    {IDC_BUTTON_BACKWARD, {190, 470, 30, 30}, Anchor::Transport, 3},
    {IDC_BUTTON_PLAY, kPlayPlace, Anchor::Transport, 4},
    {IDC_BUTTON_PAUSE, kPlayPlace, Anchor::Transport, 4},
    {IDC_BUTTON_FORWARD, {322, 470, 30, 30}, Anchor::Transport, 5},
    {IDC_BUTTON_NEXT, {376, 470, 30, 30}, Anchor::Transport, 6},
    {IDC_BUTTON_ZOOM, {430, 470, 30, 30}, Anchor::Transport, 7},
    {IDC_BUTTON_CAPTURE, {484, 470, 30, 30}, Anchor::Transport, 8},
    {IDC_BUTTON_SETTING, {538, 470, 30, 30}, Anchor::Transport, 9},
    {IDC_CHECK_MIRROR, {592, 470, 30, 30}, Anchor::Transport, 10},
    {IDC_BUTTON_MUTE, {679, 470, 30, 30}, Anchor::RightBottom},
    {IDC_SLIDER_VOLUME, {719, 477, 81, 16}, Anchor::RightBottom},
    {IDC_BUTTON_BRIGHT_ICON, {820, 470, 30, 30}, Anchor::RightBottom},
    {IDC_SLIDER_BRIGHT, {860, 477, 81, 16}, Anchor::RightBottom},
    {IDC_STATIC_RATE, {544, 433, 35, 14}, Anchor::SliderEnd},
    // The view row's left end, or the title bar where the view row has no room.
    {IDC_STATIC_CLOCK, {96, 42, 136, 16}, Anchor::Clock},
};

// Full-screen rectangles relative to the client's right (w) and bottom (h) edges: a negative
// coordinate is counted from that edge.
struct FullPlace {
    int id;
    int x;  // >= 0 from the left, < 0: w + x
    int y;  // >= 0 from the top, < 0: h + y
    int w, h;
};
const FullPlace kFullPlaces[] = {
    {IDC_BUTTON_MINIMIZE, -99, 10, 25, 25},      {IDC_BUTTON_CLOSE, -45, 10, 25, 25},
    {IDC_BUTTON_PREVSIZE, -72, 10, 25, 25},      {IDC_BUTTON_CHANGEVIEW, -300, 10, 161, 24},
    {IDC_STATIC_CURTIME, 50, -25, 68, 12},       {IDC_STATIC_SPEED, 165, -25, 60, 12},
    {IDC_BUTTON_OPEN, -50, -40, 30, 30},         {IDC_BUTTON_STOP, -398, -40, 30, 30},
    {IDC_BUTTON_PRE, -344, -40, 30, 30},         {IDC_BUTTON_BACKWARD, -290, -40, 30, 30},
    {IDC_BUTTON_PLAY, -236, -54, 54, 54},        {IDC_BUTTON_PAUSE, -236, -54, 54, 54},
    {IDC_BUTTON_FORWARD, -158, -40, 30, 30},     {IDC_BUTTON_NEXT, -104, -40, 30, 30},
    {IDC_BUTTON_MUTE, -366, -97, 30, 30},        {IDC_SLIDER_VOLUME, -306, -90, 81, 16},
    {IDC_BUTTON_BRIGHT_ICON, -205, -97, 30, 30}, {IDC_SLIDER_BRIGHT, -165, -90, 81, 16},
    {IDC_STATIC_RATE, 122, -25, 36, 12},
};
// The position slider runs from the left edge to the buttons on the right, its total time
// under its end; never shorter than in the smallest full screen.
constexpr int kFullSliderLeft = 55, kFullSliderRightGap = 420, kFullSliderMinWidth = 200;
constexpr int kFullTimeWidth = 60;
// The clock's label in the row under the slider, or above the slider's start where the row
// leaves it no room (screens narrower than about 900 pixels).
constexpr QRect kFullClockInRow(232, -25, 136, 12), kFullClockAbove(55, -70, 136, 12);
// Where the full-screen controls stand: the title row's buttons end at 35, the volume row
// starts 97 above the bottom.
constexpr int kFullTopBandPx = 38, kFullBottomBandPx = 99;
constexpr int kFullLabelGap = 7;

}  // namespace

namespace {

// The main and small areas' widths: at 975 x 635 and larger both scale by one factor (each a
// multiple of 16 x 9, so they stay exactly 16:9) as far as the width and the height allow;
// smaller, the main area takes what the width and the height leave, and the small area keeps
// its size (the category tabs above the list column need all of it) or fills a wider column.
std::pair<int, int> AreaWidths(int w, int h) {
    constexpr int kAreasWidth = 960;  // main plus small area at 975 x 635
    constexpr int kSideMargins = kNormalWidth - kAreasWidth;
    constexpr int kAboveAndBelow = kNormalHeight - kMainArea.height();
    constexpr int kStep = 16;  // areas change in steps of 16 x 9
    const double scale = std::min(double(w - kSideMargins) / kAreasWidth,
                                  double(h - kAboveAndBelow) / kMainArea.height());
    if (scale >= 1.0) {
        return {int(kMainArea.width() * scale) / kStep * kStep,
                int(kSmallArea.width() * scale) / kStep * kStep};
    }
    const int byWidth = w - (kNormalWidth - kMainArea.width());
    const int byHeight = (h - kAboveAndBelow) * 16 / 9;
    const int mainWidth = std::min({byWidth, byHeight, kMainArea.width()}) / kStep * kStep;
    // The small area fills a wider column as far as the list keeps four rows above it.
    constexpr int kBelowSmallPx = kNormalHeight - kSmallArea.bottom() - 1;
    constexpr int kListTopPx = 65, kListFourRowsPx = 83, kTogglesPx = 25;
    const int smallByHeight =
        (h - kBelowSmallPx - kTogglesPx - kListFourRowsPx - kListTopPx) * 16 / 9;
    const int smallWidth = std::min(w - kSideMargins - mainWidth, smallByHeight) / kStep * kStep;
    return {mainWidth, std::max(smallWidth, int(kSmallArea.width()))};
}

int TransportGap(int dxRight) {
    // The mirror button (slot 10) ends clear of the sound group.
    constexpr int lastSlot = kTransportSlots - 1;
    constexpr int mirrorRightAtNoGap =
        kTransportLeft + lastSlot * kTransportButtonPx + kPlayExtraPx + kTransportButtonPx;
    const int room = kSoundGroupLeft + dxRight - kSoundGroupClearance - mirrorRightAtNoGap;
    return std::clamp(room / lastSlot, 0, kTransportWideGap);
}

}  // namespace

NormalAreas NormalLayout(QSize client) {
    // The bands below the pictures keep to the bottom and the list takes the height left.
    const int w = std::max(client.width(), kMinWidth);
    const int h = std::max(client.height(), kMinHeight);
    const auto [mainWidth, smallWidth] = AreaWidths(w, h);

    NormalAreas areas;
    areas.dy = h - kNormalHeight;
    areas.main = QRect(kMainArea.x(), kMainArea.y(), mainWidth, mainWidth * 9 / 16);
    areas.column = kMainArea.x() + mainWidth + (kSmallArea.x() - kMainArea.right() - 1);
    areas.dxRight = w - kNormalWidth;
    const int columnWidth = w - (kNormalWidth - kSmallArea.right() - 1) - areas.column;
    const int smallHeight = smallWidth * 9 / 16;
    areas.small = QRect(areas.column, kSmallArea.bottom() + 1 + areas.dy - smallHeight, smallWidth,
                        smallHeight);
    const int listTop = 65, togglesAbove = 22, listGap = 3;
    areas.list = QRect(areas.column, listTop, columnWidth,
                       areas.small.y() - togglesAbove - listGap - listTop);
    areas.transportGap = TransportGap(areas.dxRight);
    constexpr int changeViewLeft = 325;  // the view row's first button at 975 wide
    constexpr QRect clockInRow{96, 42, 136, 16};
    areas.clockInTitle =
        clockInRow.right() + kViewRowGap >= changeViewLeft + areas.column - kSmallArea.x();
    return areas;
}

QRect FullScreenVideoRect(int w, int h) {
    // The controls lie over the picture where the screen has no room beside it; where the
    // bars above and below leave room for the control bands, the picture keeps clear of them.
    if (w <= 0 || h <= 0) return QRect(0, 0, std::max(w, 0), std::max(h, 0));
    int videoWidth = w, videoHeight = int(int64_t(w) * 9 / 16);
    if (videoHeight > h) {
        videoHeight = h;
        videoWidth = int(int64_t(h) * 16 / 9);
    }
    int y = (h - videoHeight) / 2;
    if (h - videoHeight >= kFullTopBandPx + kFullBottomBandPx)
        y = std::clamp(y, kFullTopBandPx, h - kFullBottomBandPx - videoHeight);
    return QRect((w - videoWidth) / 2, y, videoWidth, videoHeight);
}

std::vector<ControlPlace> NormalPlaces(const NormalAreas& areas) {
    // Controls keep their places relative to the part of the window they belong to: the
    // title bar's buttons to the right edge, the view row and the list column to the main
    // area's right edge, the timeline, transport and graph to the bottom, the sound and
    // picture group also to the right edge.
    const int dxColumn = areas.column - kSmallArea.x();
    std::vector<ControlPlace> places;
    for (const NormalPlace& place : kNormalPlaces) {
        QRect r = place.rect;
        switch (place.anchor) {
            case Anchor::Right:
                r.translate(areas.dxRight, 0);
                break;
            case Anchor::Column:
                r.translate(dxColumn, 0);
                break;
            case Anchor::SmallArea:  // just above the small area, below the list
                r.moveTo(r.x() + dxColumn, areas.small.y() - r.height());
                break;
            case Anchor::RightBottom:
                r.translate(areas.dxRight, areas.dy);
                break;
            case Anchor::SliderEnd:  // at the longer slider's end
                r.translate(areas.main.width() - kMainArea.width(), areas.dy);
                break;
            case Anchor::Bottom:
                r.translate(0, areas.dy);
                break;
            case Anchor::Transport:
                r.moveLeft(kTransportLeft + place.slot * (kTransportButtonPx + areas.transportGap) +
                           (place.slot > 4 ? kPlayExtraPx : 0));
                r.translate(0, areas.dy);
                break;
            case Anchor::Clock:
                if (areas.clockInTitle) {
                    constexpr int minimizeLeft = 892;
                    r.moveTo(minimizeLeft + areas.dxRight - kTitleClockGap - r.width(),
                             kTitleClockY);
                }
                break;
        }
        places.push_back({place.id, r});
    }
    return places;
}

int FullScreenSliderWidth(int clientWidth) {
    return std::max(kFullSliderMinWidth, clientWidth - kFullSliderLeft - kFullSliderRightGap);
}

std::vector<ControlPlace> FullScreenPlaces(QSize client) {
    const int w = client.width(), h = client.height();
    std::vector<ControlPlace> places;
    for (const FullPlace& place : kFullPlaces) {
        places.push_back({place.id, QRect(place.x < 0 ? w + place.x : place.x,
                                          place.y < 0 ? h + place.y : place.y, place.w, place.h)});
    }
    const int slider = FullScreenSliderWidth(w);
    places.push_back({IDC_SLIDER_POS, QRect(kFullSliderLeft, h - 50, slider, 16)});
    const int totalLeft = kFullSliderLeft + slider - kFullTimeWidth;
    places.push_back({IDC_STATIC_TOTALTIME, QRect(totalLeft, h - 25, kFullTimeWidth, 12)});
    const QRect clock =
        kFullClockInRow.right() + kFullLabelGap < totalLeft ? kFullClockInRow : kFullClockAbove;
    places.push_back({IDC_STATIC_CLOCK, clock.translated(0, h)});
    return places;
}

}  // namespace ControlPlaces
