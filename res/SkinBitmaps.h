#pragma once
// The skin: every bitmap of the main window by resource id, rendered at build time from the
// art in res/skin/ and compiled into the program. Face bitmaps use black (0,0,0) as their
// transparent key colour; pixel (0,0) of every slider bitmap holds the key colour.

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <vector>

namespace SkinId {
constexpr int kBackground = 421;  // 975 x 635 window background

// Title bar, 25 x 25
constexpr int kMinimize = 451, kMinimizeDown = 452;
constexpr int kClose = 434, kCloseDown = 435;
constexpr int kFullScreen = 440, kFullScreenDown = 441;
constexpr int kPrevSize = 502, kPrevSizeDown = 503;

// View row, 161 x 24
constexpr int kFrontRear = 431, kFrontRearDown = 432, kFrontRearDisabled = 433;
constexpr int kMapSize = 428, kMapSizeDown = 429, kMapSizeDisabled = 430;

// Category tabs, 24 high (DRIVING and EVENT 65 wide, the others 64)
constexpr int kTabDriving = 463, kTabDrivingDown = 464;
constexpr int kTabEvent = 437, kTabEventDown = 438;
constexpr int kTabParking = 457, kTabParkingDown = 458;
constexpr int kTabUser = 445, kTabUserDown = 446;
constexpr int kTabAll = 417, kTabAllDown = 418;

// Small-area toggles, 161 x 24 (normal, down, disabled)
constexpr int kSecondCamera = 475, kSecondCameraDown = 476, kSecondCameraDisabled = 477;
constexpr int kMapSmall = 448, kMapSmallDown = 449, kMapSmallDisabled = 450;

// Transport, 30 x 30 (PLAY and Pause 54 x 54)
constexpr int kOpen = 466, kOpenDown = 467;
constexpr int kStop = 489, kStopDown = 490;
constexpr int kPrev = 472, kPrevDown = 473;
constexpr int kBack10 = 478, kBack10Down = 479;
constexpr int kPlay = 469, kPlayDown = 470;
constexpr int kPause = 505;
constexpr int kForward10 = 481, kForward10Down = 482;
constexpr int kNext = 460, kNextDown = 461;
constexpr int kZoom = 496, kZoomDown = 497;
constexpr int kCapture = 425, kCaptureDown = 426;
constexpr int kSettings = 484, kSettingsDown = 485;
constexpr int kMirror = 454, kMirrorDown = 455;
constexpr int kMute = 495, kMuteDown = 494;  // normal 495 (sound on), down 494 (muted)
constexpr int kBrightnessIcon = 424;

// Sliders: position channel 410 x 16, volume/brightness channel 81 x 16, thumb 16 x 16
constexpr int kPositionChannel = 443, kPositionChannelActive = 444;
constexpr int kLevelChannel = 422, kLevelChannelActive = 423;
constexpr int kThumb = 420;

constexpr int kAppIcon = 143;  // 48 x 48 bitmap; the icon also has a 16 x 16 picture
}  // namespace SkinId

// Picks the Korean set (the skin's words in Korean) or the English one; set once at start,
// before the first bitmap is loaded, as the string table's language is.
void SetSkinKorean(bool korean);

// The bitmap with that id in the language picked, or a null pixmap for an unknown id.
// User-interface thread only (pixmaps belong to it).
QPixmap LoadSkinBitmap(int id);
// The size of a bitmap id (invalid size for an unknown id) without decoding it.
QSize SkinBitmapSize(int id);
// Every bitmap id of the skin, ascending.
std::vector<int> SkinBitmapIds();
// Icon 143 with its 16 and 48 px pictures (empty icon for another id).
QIcon LoadSkinIcon(int id);
