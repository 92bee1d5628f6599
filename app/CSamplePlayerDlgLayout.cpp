// Controls, the two layouts (normal window and full screen) and the view state.
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSizeGrip>
#include <QTreeWidget>
#include <initializer_list>

#include "app/CSamplePlayerDlg.h"
#include "app/QtVideoArea.h"
#include "app/QtVideoClickFilter.h"
#include "app/Resource.h"
#include "controls/CBitmapButtonTrans.h"
#include "controls/CBitmapSlider.h"
#include "controls/CxSkinButton.h"
#include "res/SkinBitmaps.h"
#include "support/StringTable.h"
#include "telemetry/CGraphStatic.h"
#include "telemetry/CMapView.h"

namespace {

constexpr int kSizeGripPx = 14;
constexpr int kPositionSliderWidth = 410;  // normal window at 975 x 635
constexpr int kFullScreenPositionSliderWidth = 390;

struct Rect {
    int x, y, w, h;
};

// Normal-mode rectangles of the controls the layout moves.
struct NormalPlace {
    int id;
    Rect rect;
};
const NormalPlace kNormalPlaces[] = {
    {IDC_BUTTON_MINIMIZE, {892, 5, 25, 25}},      {IDC_BUTTON_CLOSE, {946, 5, 25, 25}},
    {IDC_BUTTON_FULLSCREEN, {919, 5, 25, 25}},    {IDC_BUTTON_CHANGEVIEW, {325, 39, 161, 24}},
    {IDC_BUTTON_MAPVIEW, {486, 39, 161, 24}},     {IDC_BUTTON_DRIVING, {649, 39, 65, 24}},
    {IDC_BUTTON_EVENT, {714, 39, 65, 24}},        {IDC_BUTTON_PARKING, {779, 39, 64, 24}},
    {IDC_BUTTON_USER, {843, 39, 64, 24}},         {IDC_BUTTON_ALL, {907, 39, 64, 24}},
    {IDC_CHECK_CAMSMALL, {649, 246, 161, 24}},    {IDC_CHECK_MAPSMALL, {810, 246, 161, 24}},
    {IDC_SLIDER_POS, {92, 432, 410, 16}},         {IDC_STATIC_CURTIME, {25, 433, 56, 14}},
    {IDC_STATIC_TOTALTIME, {495, 433, 56, 14}},   {IDC_STATIC_SPEED, {580, 433, 56, 14}},
    {IDC_BUTTON_OPEN, {28, 470, 30, 30}},         {IDC_BUTTON_STOP, {82, 470, 30, 30}},
    {IDC_BUTTON_PRE, {136, 470, 30, 30}},         {IDC_BUTTON_BACKWARD, {190, 470, 30, 30}},
    {IDC_BUTTON_PLAY, {244, 457, 54, 54}},        {IDC_BUTTON_PAUSE, {244, 457, 54, 54}},
    {IDC_BUTTON_FORWARD, {322, 470, 30, 30}},     {IDC_BUTTON_NEXT, {376, 470, 30, 30}},
    {IDC_BUTTON_ZOOM, {430, 470, 30, 30}},        {IDC_BUTTON_CAPTURE, {484, 470, 30, 30}},
    {IDC_BUTTON_SETTING, {538, 470, 30, 30}},     {IDC_CHECK_MIRROR, {592, 470, 30, 30}},
    {IDC_BUTTON_MUTE, {679, 470, 30, 30}},        {IDC_SLIDER_VOLUME, {719, 477, 81, 16}},
    {IDC_BUTTON_BRIGHT_ICON, {820, 470, 30, 30}}, {IDC_SLIDER_BRIGHT, {860, 477, 81, 16}},
    {IDC_STATIC_RATE, {552, 433, 27, 14}},
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
    {IDC_SLIDER_POS, 55, -50, 390, 16},          {IDC_STATIC_CURTIME, 55, -25, 60, 12},
    {IDC_STATIC_TOTALTIME, 370, -25, 60, 12},    {IDC_STATIC_SPEED, 470, -25, 60, 12},
    {IDC_BUTTON_OPEN, -50, -40, 30, 30},         {IDC_BUTTON_STOP, -398, -40, 30, 30},
    {IDC_BUTTON_PRE, -344, -40, 30, 30},         {IDC_BUTTON_BACKWARD, -290, -40, 30, 30},
    {IDC_BUTTON_PLAY, -236, -53, 54, 54},        {IDC_BUTTON_PAUSE, -236, -53, 54, 54},
    {IDC_BUTTON_FORWARD, -158, -40, 30, 30},     {IDC_BUTTON_NEXT, -104, -40, 30, 30},
    {IDC_BUTTON_MUTE, -366, -97, 30, 30},        {IDC_SLIDER_VOLUME, -306, -90, 81, 16},
    {IDC_BUTTON_BRIGHT_ICON, -205, -97, 30, 30}, {IDC_SLIDER_BRIGHT, -165, -90, 81, 16},
    {IDC_STATIC_RATE, 432, -25, 36, 12},
};

// Tooltips: each row of controls keeps its tips in one string-table pair, '|' between them,
// in the order below. The tips name the keys that do the same.
struct TipGroup {
    int koreanId, englishId;
    std::initializer_list<int> controls;
};
const TipGroup kTipGroups[] = {
    {550, 551, {IDC_BUTTON_MINIMIZE, IDC_BUTTON_CLOSE, IDC_BUTTON_FULLSCREEN, IDC_BUTTON_PREVSIZE}},
    {552,
     553,
     {IDC_BUTTON_CHANGEVIEW, IDC_BUTTON_MAPVIEW, IDC_CHECK_CAMSMALL, IDC_CHECK_MAPSMALL,
      IDC_CHECK_MIRROR}},
    {554,
     555,
     {IDC_BUTTON_DRIVING, IDC_BUTTON_EVENT, IDC_BUTTON_PARKING, IDC_BUTTON_USER, IDC_BUTTON_ALL}},
    {556,
     557,
     {IDC_BUTTON_OPEN, IDC_BUTTON_STOP, IDC_BUTTON_PRE, IDC_BUTTON_BACKWARD, IDC_BUTTON_PLAY,
      IDC_BUTTON_PAUSE, IDC_BUTTON_FORWARD, IDC_BUTTON_NEXT}},
    {558, 559, {IDC_BUTTON_ZOOM, IDC_BUTTON_CAPTURE, IDC_BUTTON_SETTING}},
    {560, 561, {IDC_BUTTON_MUTE, IDC_SLIDER_VOLUME, IDC_SLIDER_BRIGHT, IDC_SLIDER_POS}},
    {740, 741, {IDC_STATIC_RATE}},
};

// One notch of the mouse wheel: ten seconds on the position slider, five steps on the
// volume and brightness sliders.
constexpr int kPositionWheelStepSec = 10;
constexpr int kLevelWheelStep = 5;

}  // namespace

// ---- controls ----

CBitmapButtonTrans* CSamplePlayerDlg::AddBitmapButton(int id, void (CSamplePlayerDlg::*handler)()) {
    auto* button = new CBitmapButtonTrans(this, id);
    button->setFocusPolicy(Qt::NoFocus);
    if (handler)
        connect(button, &QAbstractButton::clicked, this, [this, handler] { (this->*handler)(); });
    m_controls[id] = button;
    return button;
}

CxSkinButton* CSamplePlayerDlg::AddSkinButton(int id, void (CSamplePlayerDlg::*handler)()) {
    auto* button = new CxSkinButton(this, id, CxSkinButton::kCheckBox);
    button->setFocusPolicy(Qt::NoFocus);
    if (handler)
        connect(button, &QAbstractButton::clicked, this, [this, handler] { (this->*handler)(); });
    m_controls[id] = button;
    return button;
}

CBitmapSlider* CSamplePlayerDlg::AddSlider(int id) {
    auto* slider = new CBitmapSlider(this, id);
    m_controls[id] = slider;
    return slider;
}

QLabel* CSamplePlayerDlg::AddLabel(int id) {
    auto* label = new QLabel(this);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont font = label->font();
    font.setPixelSize(11);
    label->setFont(font);
    m_controls[id] = label;
    ApplyLabelColours(label);  // empty: the black control ground
    return label;
}

void CSamplePlayerDlg::CreateControls() {
    // Created back to front: what is created later stacks above.
    m_pFrontArea = new QtVideoArea(this);
    m_pRearArea = new QtVideoArea(this);
    // The player presents both cameras' pictures of a moment together: one repaint for both.
    m_pRearArea->RepaintWith(m_pFrontArea);
    m_controls[IDC_STATIC_FRONT] = m_pFrontArea;
    m_controls[IDC_STATIC_REAR] = m_pRearArea;
    // A click on a picture pauses or resumes, a double click enters or leaves full screen.
    m_pVideoClicks = new QtVideoClickFilter(this);
    m_pVideoClicks->Watch(m_pFrontArea);
    m_pVideoClicks->Watch(m_pRearArea);
    connect(m_pVideoClicks, &QtVideoClickFilter::clicked, this, &CSamplePlayerDlg::OnVideoClicked);
    connect(m_pVideoClicks, &QtVideoClickFilter::doubleClicked, this,
            &CSamplePlayerDlg::OnVideoDoubleClicked);

    AddBitmapButton(IDC_BUTTON_MINIMIZE, &CSamplePlayerDlg::OnBnClickedButtonMinimize);
    AddBitmapButton(IDC_BUTTON_CLOSE, &CSamplePlayerDlg::OnBnClickedButtonClose);
    AddBitmapButton(IDC_BUTTON_FULLSCREEN, &CSamplePlayerDlg::OnBnClickedButtonFullScreen);
    AddBitmapButton(IDC_BUTTON_PREVSIZE, &CSamplePlayerDlg::OnBnClickedButtonPrevSize);
    AddBitmapButton(IDC_BUTTON_CHANGEVIEW, &CSamplePlayerDlg::OnBnClickedButtonChangeView);
    AddBitmapButton(IDC_BUTTON_MAPVIEW, &CSamplePlayerDlg::OnBnClickedButtonMapLarge);
    AddBitmapButton(IDC_BUTTON_DRIVING, &CSamplePlayerDlg::OnBnClickedButtonDriving);
    AddBitmapButton(IDC_BUTTON_EVENT, &CSamplePlayerDlg::OnBnClickedButtonEvent);
    AddBitmapButton(IDC_BUTTON_PARKING, &CSamplePlayerDlg::OnBnClickedButtonParking);
    AddBitmapButton(IDC_BUTTON_USER, &CSamplePlayerDlg::OnBnClickedButtonUser);
    AddBitmapButton(IDC_BUTTON_ALL, &CSamplePlayerDlg::OnBnClickedButtonAll);

    m_listFilename = new QTreeWidget(this);
    m_controls[IDC_LIST_FILENAME] = m_listFilename;
    connect(m_listFilename, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) {
                OnListDoubleClick(m_listFilename->indexOfTopLevelItem(item));
            });

    AddSkinButton(IDC_CHECK_CAMSMALL, &CSamplePlayerDlg::OnBnClickedButtonSubCamera);
    AddSkinButton(IDC_CHECK_MAPSMALL, &CSamplePlayerDlg::OnBnClickedButtonMapSmall);

    m_sliderPos = AddSlider(IDC_SLIDER_POS);
    m_pCurTime = AddLabel(IDC_STATIC_CURTIME);
    m_pTotalTime = AddLabel(IDC_STATIC_TOTALTIME);
    m_pSpeed = AddLabel(IDC_STATIC_SPEED);
    SetLabelText(m_pCurTime, "00:00:00");
    SetLabelText(m_pTotalTime, "00:00:00");
    SetLabelText(m_pSpeed, "");
    m_pRate = AddLabel(IDC_STATIC_RATE);
    m_pRate->setAlignment(Qt::AlignCenter);
    ApplyLabelColours(m_pRate);  // now known as the rate label: clear while empty

    AddBitmapButton(IDC_BUTTON_OPEN, &CSamplePlayerDlg::OnBnClickedButtonOpen);
    AddBitmapButton(IDC_BUTTON_STOP, &CSamplePlayerDlg::OnBnClickedButtonStop);
    AddBitmapButton(IDC_BUTTON_PRE, &CSamplePlayerDlg::OnBnClickedButtonPre);
    AddBitmapButton(IDC_BUTTON_BACKWARD, &CSamplePlayerDlg::OnBnClickedButtonBackward);
    AddBitmapButton(IDC_BUTTON_PLAY, &CSamplePlayerDlg::OnBnClickedButtonPlay);
    AddBitmapButton(IDC_BUTTON_PAUSE, &CSamplePlayerDlg::OnBnClickedButtonPause);
    AddBitmapButton(IDC_BUTTON_FORWARD, &CSamplePlayerDlg::OnBnClickedButtonForward);
    AddBitmapButton(IDC_BUTTON_NEXT, &CSamplePlayerDlg::OnBnClickedButtonNext);
    AddBitmapButton(IDC_BUTTON_ZOOM, &CSamplePlayerDlg::OnBnClickedButtonZoom);
    AddBitmapButton(IDC_BUTTON_CAPTURE, &CSamplePlayerDlg::OnBnClickedButtonCapture);
    AddBitmapButton(IDC_BUTTON_SETTING, &CSamplePlayerDlg::OnBnClickedButtonSetting);
    AddSkinButton(IDC_CHECK_MIRROR, &CSamplePlayerDlg::OnBnClickedCheckMirror);
    AddSkinButton(IDC_BUTTON_MUTE, &CSamplePlayerDlg::OnBnClickedButtonMute);
    m_sliderVolume = AddSlider(IDC_SLIDER_VOLUME);
    AddBitmapButton(IDC_BUTTON_BRIGHT_ICON, nullptr)->setEnabled(false);
    m_sliderBright = AddSlider(IDC_SLIDER_BRIGHT);

    m_pGraph = new CGraphStatic(this);
    m_controls[IDC_STATIC_GRAPH] = m_pGraph;
    m_pGraph->setGeometry(kGraphArea);

    // The window has no frame of its own: the corner grip (and the right and bottom edges,
    // Paint.cpp) enlarge it.
    m_pSizeGrip = new QSizeGrip(this);
    m_pSizeGrip->resize(kSizeGripPx, kSizeGripPx);
    setMouseTracking(true);  // the resize cursor over the right and bottom edges

    m_sliderPos->SetWheelStep(kPositionWheelStepSec);
    m_sliderVolume->SetWheelStep(kLevelWheelStep);
    m_sliderBright->SetWheelStep(kLevelWheelStep);
    SetToolTips();
}

void CSamplePlayerDlg::OnVideoClicked() {
    if (!IsPlayerActive()) return;
    if (m_playback.State() != PlaybackState::Playing) {
        OnBnClickedButtonPlay();
    } else {
        OnBnClickedButtonPause();
    }
}

void CSamplePlayerDlg::OnVideoDoubleClicked() {
    if (m_nScreenMode == kScreenNormal) {
        OnBnClickedButtonFullScreen();
    } else {
        OnBnClickedButtonPrevSize();
    }
}

void CSamplePlayerDlg::SetToolTips() {
    for (const TipGroup& group : kTipGroups) {
        const QStringList tips = QString::fromStdString(FormatResourceString(PickStringId(
                                                            group.koreanId, group.englishId)))
                                     .split(QLatin1Char('|'));
        int index = 0;
        for (int id : group.controls) {
            if (QWidget* item = GetDlgItem(id); item && index < tips.size())
                item->setToolTip(tips[index]);
            ++index;
        }
    }
}

QWidget* CSamplePlayerDlg::GetDlgItem(int controlId) const {
    auto found = m_controls.find(controlId);
    return found == m_controls.end() ? nullptr : found->second;
}

void CSamplePlayerDlg::Place(int id, int x, int y, int w, int h) {
    if (QWidget* item = GetDlgItem(id)) item->setGeometry(x, y, w, h);
}

void CSamplePlayerDlg::ShowItem(int id, bool show) {
    if (QWidget* item = GetDlgItem(id)) item->setVisible(show);
}

void CSamplePlayerDlg::EnableItem(int id, bool enable) {
    if (QWidget* item = GetDlgItem(id)) item->setEnabled(enable);
}

void CSamplePlayerDlg::SetCheck(int id, bool on) {
    if (auto* button = qobject_cast<CxSkinButton*>(GetDlgItem(id))) button->SetCheck(on ? 1 : 0);
}

bool CSamplePlayerDlg::IsItemVisible(int id) const {
    const QWidget* item = GetDlgItem(id);
    return item && !item->isHidden();
}

void CSamplePlayerDlg::ShowPlayButton(bool showPlay) {
    ShowItem(IDC_BUTTON_PLAY, showPlay);
    ShowItem(IDC_BUTTON_PAUSE, !showPlay);
}

// ---- layouts ----

CSamplePlayerDlg::NormalAreas CSamplePlayerDlg::NormalLayout(QSize client) {
    // The background's own layout at 975 x 635; a larger window scales both picture areas
    // by one factor (each a multiple of 16 x 9, so they stay exactly 16:9) as far as the
    // width and the height allow, keeps the bands below the pictures at the bottom and
    // gives what height is left to the list.
    constexpr int kAreasWidth = 960;  // main plus small area at 975 x 635
    constexpr int kSideMargins = kNormalWidth - kAreasWidth;
    constexpr int kAboveAndBelow = kNormalHeight - 360;
    constexpr int kStep = 16;  // areas grow in steps of 16 x 9
    const int w = std::max(client.width(), kNormalWidth);
    const int h = std::max(client.height(), kNormalHeight);
    const double scale = std::max(1.0, std::min(double(w - kSideMargins) / kAreasWidth,
                                                double(h - kAboveAndBelow) / kMainArea.height()));
    const int mainWidth = int(kMainArea.width() * scale) / kStep * kStep;
    const int smallWidth = int(kSmallArea.width() * scale) / kStep * kStep;

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
    return areas;
}

void CSamplePlayerDlg::PlaceNormalControls() {
    const NormalAreas areas = NormalLayout(size());
    m_rcMainArea = areas.main;
    m_rcSmallArea = areas.small;
    // Controls keep their places relative to the part of the window they belong to: the
    // title bar's buttons to the right edge, the view row and the list column to the main
    // area's right edge, the timeline, transport and graph to the bottom, the sound and
    // picture group also to the right edge.
    const int dxColumn = areas.column - kSmallArea.x();
    for (const NormalPlace& place : kNormalPlaces) {
        int x = place.rect.x, y = place.rect.y;
        switch (place.id) {
            case IDC_BUTTON_MINIMIZE:
            case IDC_BUTTON_CLOSE:
            case IDC_BUTTON_FULLSCREEN:
                x += areas.dxRight;
                break;
            case IDC_BUTTON_CHANGEVIEW:
            case IDC_BUTTON_MAPVIEW:
            case IDC_BUTTON_DRIVING:
            case IDC_BUTTON_EVENT:
            case IDC_BUTTON_PARKING:
            case IDC_BUTTON_USER:
            case IDC_BUTTON_ALL:
                x += dxColumn;
                break;
            case IDC_CHECK_CAMSMALL:
            case IDC_CHECK_MAPSMALL:
                x += dxColumn;
                y = areas.small.y() - (kSmallArea.y() - y);
                break;
            case IDC_BUTTON_MUTE:
            case IDC_SLIDER_VOLUME:
            case IDC_BUTTON_BRIGHT_ICON:
            case IDC_SLIDER_BRIGHT:
                x += areas.dxRight;
                y += areas.dy;
                break;
            case IDC_STATIC_TOTALTIME:
            case IDC_STATIC_RATE:
            case IDC_STATIC_SPEED:
                x += areas.main.width() - kMainArea.width();  // at the longer slider's end
                y += areas.dy;
                break;
            default:
                y += areas.dy;  // timeline and transport
                break;
        }
        Place(place.id, x, y, place.rect.w, place.rect.h);
    }
    Place(IDC_LIST_FILENAME, areas.list.x(), areas.list.y(), areas.list.width(),
          areas.list.height());
    // The position slider runs as long as the main picture is wide.
    m_sliderPos->SetChannelLength(kPositionSliderWidth + areas.main.width() - kMainArea.width());
    m_pGraph->setGeometry(kGraphArea.translated(0, areas.dy));
    if (m_pSizeGrip) {
        m_pSizeGrip->move(width() - m_pSizeGrip->width(), height() - m_pSizeGrip->height());
        m_pSizeGrip->raise();
    }
}

QRect CSamplePlayerDlg::FullScreenVideoRect(int w, int h) {
    // The whole screen, as large as a 16:9 picture goes, centred; the controls lie over it.
    if (w <= 0 || h <= 0) return QRect(0, 0, std::max(w, 0), std::max(h, 0));
    int videoWidth = w, videoHeight = int(int64_t(w) * 9 / 16);
    if (videoHeight > h) {
        videoHeight = h;
        videoWidth = int(int64_t(h) * 16 / 9);
    }
    return QRect((w - videoWidth) / 2, (h - videoHeight) / 2, videoWidth, videoHeight);
}

int CSamplePlayerDlg::LayoutControls(int mode) {
    const bool playVisible = IsItemVisible(IDC_BUTTON_PLAY) || !IsItemVisible(IDC_BUTTON_PAUSE);
    if (mode == kScreenNormal) {
        m_pGraph->show();
        m_rcWindow = QRect(geometry().topLeft(), QSize(1020, 730));
        PlaceNormalControls();
        for (int id :
             {IDC_CHECK_MIRROR, IDC_CHECK_CAMSMALL, IDC_CHECK_MAPSMALL, IDC_BUTTON_SETTING,
              IDC_BUTTON_CAPTURE, IDC_BUTTON_ZOOM, IDC_BUTTON_CHANGEVIEW, IDC_BUTTON_MAPVIEW,
              IDC_BUTTON_FULLSCREEN, IDC_BUTTON_DRIVING, IDC_BUTTON_EVENT, IDC_BUTTON_PARKING,
              IDC_BUTTON_USER, IDC_BUTTON_ALL, IDC_BUTTON_OPEN, IDC_LIST_FILENAME}) {
            ShowItem(id, true);
        }
        ShowItem(IDC_BUTTON_PREVSIZE, false);
        if (m_pSizeGrip) m_pSizeGrip->show();
    } else {
        m_pGraph->hide();
        if (m_pSizeGrip) m_pSizeGrip->hide();
        const int w = width(), h = height();
        const QRect video = FullScreenVideoRect(w, h);
        m_pFrontArea->setGeometry(video);
        m_pRearArea->setGeometry(video);
        for (const FullPlace& place : kFullPlaces) {
            Place(place.id, place.x < 0 ? w + place.x : place.x,
                  place.y < 0 ? h + place.y : place.y, place.w, place.h);
        }
        // The channel as long as its place, so the thumb reaches the slider's end.
        m_sliderPos->SetChannelLength(kFullScreenPositionSliderWidth);
        for (int id : {IDC_LIST_FILENAME, IDC_BUTTON_OPEN, IDC_BUTTON_SETTING, IDC_BUTTON_CAPTURE,
                       IDC_BUTTON_ZOOM, IDC_CHECK_CAMSMALL, IDC_CHECK_MAPSMALL, IDC_BUTTON_MAPVIEW,
                       IDC_BUTTON_FULLSCREEN, IDC_BUTTON_DRIVING, IDC_BUTTON_EVENT,
                       IDC_BUTTON_PARKING, IDC_BUTTON_USER, IDC_BUTTON_ALL, IDC_CHECK_MIRROR}) {
            ShowItem(id, false);
        }
        ShowItem(IDC_BUTTON_PREVSIZE, true);
    }
    ShowPlayButton(playVisible);
    EnableViewButtons(false);  // UpdateView enables them as the open recording allows
    update();
    return 0;
}

void CSamplePlayerDlg::EnableViewButtons(bool enable) {
    for (int id :
         {IDC_BUTTON_CHANGEVIEW, IDC_BUTTON_MAPVIEW, IDC_CHECK_MAPSMALL, IDC_CHECK_CAMSMALL}) {
        EnableItem(id, enable);
    }
}

void CSamplePlayerDlg::CenterDefaultSize() {
    resize(kNormalWidth, kNormalHeight);
    if (const QScreen* screen =
            this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - QPoint(kNormalWidth / 2, kNormalHeight / 2));
    }
}

void CSamplePlayerDlg::LoadBackground() {
    m_bmpBackground = LoadSkinBitmap(IDB_BACKGROUND);
    m_bmpComposed = QPixmap();
    // The background's size is the smallest and the first size; the user may enlarge it.
    setMinimumSize(kNormalWidth, kNormalHeight);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (m_rcRestore.isValid()) {
        setGeometry(m_rcRestore);
        m_rcRestore = QRect();
    } else {
        CenterDefaultSize();
    }
}

void CSamplePlayerDlg::OnBnClickedButtonFullScreen() {
    m_rcWindow = geometry();
    m_rcRestore = geometry();
    m_nScreenMode = kScreenFull;
    m_bmpBackground = QPixmap();
    m_bmpComposed = QPixmap();
    // The map never shows in full screen: a camera takes the main area.
    if (m_nMapView == kViewMain) OnBnClickedButtonMapLarge();
    if (!IsPlayerActive()) {
        SetLabelText(m_pCurTime, "00:00:00");
        SetLabelText(m_pTotalTime, "00:00:00");
    }
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (const QScreen* screen =
            this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        // Without a window manager a full-screen request does nothing, so size the window too.
        setGeometry(screen->geometry());
    }
    showFullScreen();
    LayoutControls(kScreenFull);
    UpdateView();
}

void CSamplePlayerDlg::OnBnClickedButtonPrevSize() {
    showNormal();
    m_nScreenMode = kScreenNormal;
    if (!IsPlayerActive()) {
        SetLabelText(m_pCurTime, "00:00:00");
        SetLabelText(m_pTotalTime, "00:00:00");
    }
    // Back to the size and place the window had before full screen.
    LoadBackground();
    LayoutControls(kScreenNormal);
    UpdateView();
}

void CSamplePlayerDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (!m_pGraph) return;  // still being built
    if (m_nScreenMode == kScreenFull) {
        // The window manager may grant the full-screen size after the request returned.
        LayoutControls(kScreenFull);
    } else {
        m_bmpComposed = QPixmap();
        PlaceNormalControls();
    }
    UpdateView();
}

// ---- view state ----

void CSamplePlayerDlg::HideVideoAreas() {
    m_pFrontArea->setGeometry(m_rcMainArea.x(), m_rcMainArea.y(), 0, 0);
    m_pRearArea->setGeometry(m_rcSmallArea.x(), m_rcSmallArea.y(), 0, 0);
}

void CSamplePlayerDlg::PlaceArea(QWidget* area, int where) {
    const QRect target = where == kViewMain ? m_rcMainArea : m_rcSmallArea;
    area->setGeometry(target.x(), target.y(), 0, 0);
    area->setGeometry(target);
    area->show();
}

void CSamplePlayerDlg::PlaceMapView(int where) {
    if (!m_pMapView) return;
    if (where == kViewHidden) {
        m_pMapView->setGeometry(m_rcSmallArea.x(), m_rcSmallArea.y(), 0, 0);
    } else {
        m_pMapView->setGeometry(where == kViewMain ? m_rcMainArea : m_rcSmallArea);
    }
}

void CSamplePlayerDlg::SetViewState(int front, int rear, int map) {
    m_nFrontView = front;
    m_nRearView = rear;
    m_nMapView = map;
    UpdateView();
}

void CSamplePlayerDlg::UpdateView() {
    const bool twoCameras = m_player.GetCameraCount() > 1;
    SetCheck(IDC_CHECK_MAPSMALL, false);
    EnableItem(IDC_CHECK_MAPSMALL, true);
    EnableItem(IDC_BUTTON_MAPVIEW, true);
    EnableItem(IDC_CHECK_CAMSMALL, true);
    if (!HasOpenView()) {
        EnableViewButtons(false);  // nothing open: nothing to move
    } else if (!twoCameras) {
        for (int id : {IDC_BUTTON_CHANGEVIEW, IDC_CHECK_CAMSMALL, IDC_CHECK_MAPSMALL})
            EnableItem(id, false);
    } else {
        EnableItem(IDC_BUTTON_CHANGEVIEW, true);
        if (m_nScreenMode == kScreenNormal) {
            for (int id : {IDC_CHECK_CAMSMALL, IDC_CHECK_MAPSMALL, IDC_BUTTON_MAPVIEW})
                EnableItem(id, true);
        }
    }

    if (m_nScreenMode == kScreenNormal) {
        if (m_nFrontView == kViewHidden) {
            m_pFrontArea->hide();
            SetCheck(IDC_CHECK_CAMSMALL, false);
        } else {
            PlaceArea(m_pFrontArea, m_nFrontView);
            if (m_nFrontView == kViewSmall) SetCheck(IDC_CHECK_CAMSMALL, true);
        }
        if (twoCameras) {
            if (m_nRearView == kViewHidden) {
                m_pRearArea->hide();
                PlaceMapView(kViewHidden);
                SetCheck(IDC_CHECK_CAMSMALL, false);
            } else {
                PlaceArea(m_pRearArea, m_nRearView);
            }
        } else {
            m_pRearArea->hide();
        }
        auto* mapButton = GetDlgItem(IDC_BUTTON_MAPVIEW);
        if (m_nMapView == kViewHidden) {
            PlaceMapView(kViewHidden);
            static_cast<QAbstractButton*>(mapButton)->setText(QString::fromUtf8(kMapLargeText));
            SetCheck(IDC_CHECK_MAPSMALL, false);
        } else if (m_nMapView == kViewMain) {
            PlaceMapView(kViewMain);
            if (m_nFrontView == kViewSmall) {
                SetCheck(IDC_CHECK_CAMSMALL, true);
                SetCheck(IDC_CHECK_MAPSMALL, false);
            } else if (m_nRearView == kViewSmall) {
                SetCheck(IDC_CHECK_CAMSMALL, false);
                SetCheck(IDC_CHECK_MAPSMALL, true);
            }
            static_cast<QAbstractButton*>(mapButton)->setText(QString::fromUtf8(kMapSmallText));
        } else {
            PlaceMapView(kViewSmall);
            SetCheck(IDC_CHECK_MAPSMALL, true);
            static_cast<QAbstractButton*>(mapButton)->setText(QString::fromUtf8(kMapLargeText));
        }
    } else {
        // STOP shrinks the areas to nothing; a recording opened in full screen needs the
        // video rectangle back.
        const QRect video = FullScreenVideoRect(width(), height());
        m_pFrontArea->setGeometry(video);
        m_pRearArea->setGeometry(video);
        m_pFrontArea->setVisible(m_nFrontView == kViewMain);
        m_pRearArea->setVisible(m_nRearView == kViewMain);
        PlaceMapView(kViewHidden);
    }
    update();
}
