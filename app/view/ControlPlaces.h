#pragma once
// Where the main window's controls stand. The normal window's places are those of the
// background picture at 975 x 635; a larger window grows the picture areas and moves each
// control with the part of the window it belongs to, a smaller one (down to 780 x 540, so
// that an 800 x 600 screen with a panel holds it) shrinks the main picture, shortens the list
// and draws the transport closer together. Full screen counts its places from the screen's
// edges. Pure geometry, no widgets.

#include <QRect>
#include <QSize>
#include <vector>

#include "app/window/Resource.h"

namespace ControlPlaces {

constexpr int kNormalWidth = 975;  // the background picture's size
constexpr int kNormalHeight = 635;
constexpr int kMinWidth = 780;  // the smallest normal window
constexpr int kMinHeight = 540;
constexpr QRect kMainArea{4, 64, 640, 360};
constexpr QRect kSmallArea{650, 268, 320, 180};
constexpr QRect kGraphArea{30, 520, 760, 104};
// Right of the graph's axis legend, in the graph band.
constexpr QRect kEventLegendArea{876, 528, 96, 93};
constexpr QRect kPlayPlace{244, 457, 54, 54};  // PLAY and PAUSE share it

// Where the picture areas and the list go in a normal window of the given client size
// (never smaller than kMinWidth x kMinHeight): main and small area grow together keeping
// 16:9, the list takes the height left over; below 975 x 635 only the main area shrinks.
// dy is how far the bands below the pictures move down and dxRight how far the controls
// held to the right edge move right (both negative in a smaller window).
struct NormalAreas {
    QRect main, small, list;
    int column = 0;  // left edge of the list column
    int dy = 0;
    int dxRight = 0;
    // The gap between the transport's buttons (24 at 975 wide and more, less in a narrower
    // window) and whether the clock stands in the title bar (no room left in the view row).
    int transportGap = 24;
    bool clockInTitle = false;
};
NormalAreas NormalLayout(QSize client);
// The video rectangle of the full-screen layout for a client of w x h: as large as 16:9 goes,
// centred, moved clear of the control bands where the screen leaves room for them.
QRect FullScreenVideoRect(int w, int h);

struct ControlPlace {
    int id;  // control id
    QRect rect;
};
// The controls the layouts place, each where it goes (the list, the graph and the video
// areas are placed by their own rules).
std::vector<ControlPlace> NormalPlaces(const NormalAreas& areas);
std::vector<ControlPlace> FullScreenPlaces(QSize client);
// The full-screen position slider's width: the screen's width less the transport beside it.
int FullScreenSliderWidth(int clientWidth);
// The controls full screen shows over the picture (and hides while the mouse rests).
inline constexpr int kFullScreenSet[] = {
    IDC_BUTTON_MINIMIZE, IDC_BUTTON_CLOSE,       IDC_BUTTON_PREVSIZE,  IDC_BUTTON_CHANGEVIEW,
    IDC_SLIDER_POS,      IDC_STATIC_CURTIME,     IDC_STATIC_TOTALTIME, IDC_STATIC_SPEED,
    IDC_BUTTON_STOP,     IDC_BUTTON_PRE,         IDC_BUTTON_BACKWARD,  IDC_BUTTON_PLAY,
    IDC_BUTTON_PAUSE,    IDC_BUTTON_FORWARD,     IDC_BUTTON_NEXT,      IDC_BUTTON_MUTE,
    IDC_SLIDER_VOLUME,   IDC_BUTTON_BRIGHT_ICON, IDC_SLIDER_BRIGHT,    IDC_STATIC_RATE,
    IDC_STATIC_CLOCK,
};

// The controls only the normal window shows; full screen keeps the pictures and the
// transport.
inline constexpr int kNormalOnly[] = {
    IDC_LIST_FILENAME,     IDC_BUTTON_OPEN,    IDC_BUTTON_SETTING, IDC_BUTTON_CAPTURE,
    IDC_BUTTON_ZOOM,       IDC_CHECK_CAMSMALL, IDC_CHECK_MAPSMALL, IDC_BUTTON_MAPVIEW,
    IDC_BUTTON_FULLSCREEN, IDC_BUTTON_DRIVING, IDC_BUTTON_EVENT,   IDC_BUTTON_PARKING,
    IDC_BUTTON_USER,       IDC_BUTTON_ALL,     IDC_CHECK_MIRROR,
};

}  // namespace ControlPlaces
