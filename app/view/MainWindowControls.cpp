// Making, skinning and placing the main window's controls (their places: ControlPlaces).
#include "app/view/MainWindowControls.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QSizeGrip>
#include <algorithm>

#include "app/panels/EventLegend.h"
#include "app/view/QtVideoArea.h"
#include "app/view/ViewerSettings.h"
#include "app/window/Resource.h"
#include "controls/CBitmapButtonTrans.h"
#include "controls/CBitmapSlider.h"
#include "controls/ColorRef.h"
#include "controls/CxSkinButton.h"
#include "support/StringTable.h"
#include "telemetry/CGraphStatic.h"

namespace {

constexpr int kSizeGripPx = 14;
constexpr int kPositionSliderWidth = 394;  // normal window at 975 x 635 (see ControlPlaces)
constexpr int kLabelFontPx = 11;
// One notch of the mouse wheel: ten seconds on the position slider, five steps on the
// volume and brightness sliders.
constexpr int kPositionWheelStepSec = 10;
constexpr int kLevelWheelStep = 5;
constexpr int kPageSizeVolume = 25;
constexpr int kBrightnessMin = -5;
constexpr int kBrightnessMax = 5;
using ControlPlaces::ControlPlace;
using ControlPlaces::kPlayPlace;

struct ButtonSkin {
    int id, normal, selected, focus, disabled;
};
const ButtonSkin kButtonSkins[] = {
    {IDC_BUTTON_MINIMIZE, IDB_MINIMIZE, IDB_MINIMIZE_DOWN, IDB_MINIMIZE, 0},
    {IDC_BUTTON_CLOSE, IDB_CLOSE, IDB_CLOSE_DOWN, IDB_CLOSE, 0},
    {IDC_BUTTON_FULLSCREEN, IDB_FULLSCREEN, IDB_FULLSCREEN_DOWN, IDB_FULLSCREEN, 0},
    {IDC_BUTTON_PREVSIZE, IDB_PREVSIZE, IDB_PREVSIZE_DOWN, IDB_PREVSIZE, 0},
    {IDC_BUTTON_CHANGEVIEW, IDB_CHANGEVIEW, IDB_CHANGEVIEW_DOWN, IDB_CHANGEVIEW,
     IDB_CHANGEVIEW_DISABLED},
    {IDC_BUTTON_MAPVIEW, IDB_MAPVIEW, IDB_MAPVIEW_DOWN, IDB_MAPVIEW, IDB_MAPVIEW_DISABLED},
    {IDC_BUTTON_DRIVING, IDB_DRIVING, IDB_DRIVING_DOWN, IDB_DRIVING, 0},
    {IDC_BUTTON_EVENT, IDB_EVENT, IDB_EVENT_DOWN, IDB_EVENT, 0},
    {IDC_BUTTON_PARKING, IDB_PARKING, IDB_PARKING_DOWN, IDB_PARKING, 0},
    {IDC_BUTTON_USER, IDB_USER, IDB_USER_DOWN, IDB_USER, 0},
    {IDC_BUTTON_ALL, IDB_ALL, IDB_ALL_DOWN, IDB_ALL, 0},
    {IDC_BUTTON_OPEN, IDB_OPEN, IDB_OPEN_DOWN, IDB_OPEN, 0},
    {IDC_BUTTON_STOP, IDB_STOP, IDB_STOP_DOWN, IDB_STOP, 0},
    {IDC_BUTTON_PRE, IDB_PRE, IDB_PRE_DOWN, IDB_PRE, 0},
    {IDC_BUTTON_BACKWARD, IDB_BACKWARD, IDB_BACKWARD_DOWN, IDB_BACKWARD, 0},
    {IDC_BUTTON_PLAY, IDB_PLAY, IDB_PLAY_DOWN, 0, 0},
    {IDC_BUTTON_PAUSE, IDB_PAUSE, 0, 0, 0},
    {IDC_BUTTON_FORWARD, IDB_FORWARD, IDB_FORWARD_DOWN, IDB_FORWARD, 0},
    {IDC_BUTTON_NEXT, IDB_NEXT, IDB_NEXT_DOWN, IDB_NEXT, 0},
    {IDC_BUTTON_ZOOM, IDB_ZOOM, IDB_ZOOM_DOWN, IDB_ZOOM, 0},
    {IDC_BUTTON_CAPTURE, IDB_CAPTURE, IDB_CAPTURE_DOWN, IDB_CAPTURE, 0},
    {IDC_BUTTON_SETTING, IDB_SETTING, IDB_SETTING_DOWN, IDB_SETTING, 0},
    {IDC_BUTTON_BRIGHT_ICON, IDB_BRIGHT_ICON, 0, 0, 0},
};

// Screen-reader names of the controls that have no action of their own.
struct ItemName {
    int id;
    TextId name;
};
const ItemName kItemNames[] = {
    {IDC_STATIC_FRONT, texts::kNameFront},     {IDC_STATIC_REAR, texts::kNameRear},
    {IDC_STATIC_CURTIME, texts::kNameCurtime}, {IDC_STATIC_TOTALTIME, texts::kNameTotaltime},
    {IDC_STATIC_SPEED, texts::kNameSpeed},     {IDC_STATIC_RATE, texts::kNameRate},
    {IDC_STATIC_CLOCK, texts::kClockName},     {IDC_STATIC_GRAPH, texts::kNameGraph},
    {IDC_SLIDER_POS, texts::kNamePosition},    {IDC_SLIDER_VOLUME, texts::kNameVolume},
    {IDC_SLIDER_BRIGHT, texts::kNameBright},   {IDC_BUTTON_BRIGHT_ICON, texts::kNameBright},
    {IDC_LIST_FILENAME, texts::kNameList},     {IDC_MAPVIEW, texts::kNameMap},
};

constexpr uint32_t kPlateColour = 0x3D342B;  // time and speed plates (0x00BBGGRR)
constexpr uint32_t kTimeTextColour = 0xFFFFFF;
// A light red: pure red on the plate reads at 3.2:1, this at 4.9:1.
constexpr uint32_t kSpeedTextColour = 0x6E78FF;

QString LabelStyle(uint32_t text, uint32_t plate) {
    return QStringLiteral("QLabel { color: %1; background-color: %2; }")
        .arg(ColorRefToQColor(text).name(), ColorRefToQColor(plate).name());
}

}  // namespace

MainWindowControls::MainWindowControls(QWidget* window) : m_pWindow(window) {
    // Created back to front: what is created later stacks above.
    front = new QtVideoArea(window);
    rear = new QtVideoArea(window);
    // The player presents both cameras' pictures of a moment together: one repaint for both.
    rear->RepaintWith(front);
    Register(IDC_STATIC_FRONT, front);
    Register(IDC_STATIC_REAR, rear);
    CreateTopRows();
    CreateTransport();

    graph = new CGraphStatic(window);
    Register(IDC_STATIC_GRAPH, graph);
    graph->setGeometry(kGraphArea);
    eventLegend = new EventLegend(window);
    eventLegend->setGeometry(ControlPlaces::kEventLegendArea);
    // The window has no frame of its own: the corner grip (and the right and bottom edges)
    // enlarge it.
    sizeGrip = new QSizeGrip(window);
    sizeGrip->resize(kSizeGripPx, kSizeGripPx);

    SkinButtons();
    SkinSliders();
}

void MainWindowControls::CreateTopRows() {
    minimize = AddButton(IDC_BUTTON_MINIMIZE);
    close = AddButton(IDC_BUTTON_CLOSE);
    fullScreen = AddButton(IDC_BUTTON_FULLSCREEN);
    prevSize = AddButton(IDC_BUTTON_PREVSIZE);
    changeView = AddButton(IDC_BUTTON_CHANGEVIEW);
    mapView = AddButton(IDC_BUTTON_MAPVIEW);
    driving = AddButton(IDC_BUTTON_DRIVING);
    event = AddButton(IDC_BUTTON_EVENT);
    parking = AddButton(IDC_BUTTON_PARKING);
    user = AddButton(IDC_BUTTON_USER);
    all = AddButton(IDC_BUTTON_ALL);
}

void MainWindowControls::CreateTransport() {
    camSmall = AddCheck(IDC_CHECK_CAMSMALL);
    mapSmall = AddCheck(IDC_CHECK_MAPSMALL);
    position = AddSlider(IDC_SLIDER_POS);
    curTime = AddLabel(IDC_STATIC_CURTIME);
    totalTime = AddLabel(IDC_STATIC_TOTALTIME);
    speed = AddLabel(IDC_STATIC_SPEED);
    SetLabelText(curTime, QStringLiteral("00:00:00"));
    SetLabelText(totalTime, QStringLiteral("00:00:00"));
    rate = AddLabel(IDC_STATIC_RATE);
    rate->setAlignment(Qt::AlignCenter);
    ApplyLabelColours(rate);  // now known as the rate label: clear while empty
    clock = AddLabel(IDC_STATIC_CLOCK);
    clock->setAlignment(Qt::AlignCenter);

    open = AddButton(IDC_BUTTON_OPEN);
    stop = AddButton(IDC_BUTTON_STOP);
    pre = AddButton(IDC_BUTTON_PRE);
    backward = AddButton(IDC_BUTTON_BACKWARD);
    play = AddButton(IDC_BUTTON_PLAY);
    pause = AddButton(IDC_BUTTON_PAUSE);
    forward = AddButton(IDC_BUTTON_FORWARD);
    next = AddButton(IDC_BUTTON_NEXT);
    zoom = AddButton(IDC_BUTTON_ZOOM);
    capture = AddButton(IDC_BUTTON_CAPTURE);
    setting = AddButton(IDC_BUTTON_SETTING);
    mirror = AddCheck(IDC_CHECK_MIRROR);
    mute = AddCheck(IDC_BUTTON_MUTE);
    volume = AddSlider(IDC_SLIDER_VOLUME);
    brightIcon = AddButton(IDC_BUTTON_BRIGHT_ICON);
    brightIcon->setEnabled(false);
    bright = AddSlider(IDC_SLIDER_BRIGHT);
}

CBitmapButtonTrans* MainWindowControls::AddButton(int id) {
    auto* button = new CBitmapButtonTrans(m_pWindow, id);
    button->setFocusPolicy(Qt::NoFocus);
    Register(id, button);
    return button;
}

CxSkinButton* MainWindowControls::AddCheck(int id) {
    auto* button = new CxSkinButton(m_pWindow, id, CxSkinButton::kCheckBox);
    button->setFocusPolicy(Qt::NoFocus);
    Register(id, button);
    return button;
}

CBitmapSlider* MainWindowControls::AddSlider(int id) {
    auto* slider = new CBitmapSlider(m_pWindow, id);
    Register(id, slider);
    return slider;
}

QLabel* MainWindowControls::AddLabel(int id) {
    auto* label = new QLabel(m_pWindow);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont font = label->font();
    font.setPixelSize(kLabelFontPx);
    label->setFont(font);
    Register(id, label);
    ApplyLabelColours(label);  // empty: the black control ground
    return label;
}

void MainWindowControls::SkinButtons() {
    for (const ButtonSkin& skin : kButtonSkins) {
        auto* button = static_cast<CBitmapButtonTrans*>(Item(skin.id));
        button->SetTransparentColor(0x000000);
        button->LoadBitmaps(skin.normal, skin.selected, skin.focus, skin.disabled);
        button->SizeToContent();
    }
    play->setGeometry(kPlayPlace);
    pause->setGeometry(kPlayPlace);
    ShowPlayButton(true);
    mapSmall->SetSkin(IDB_MAPSMALL, IDB_MAPSMALL_DOWN, 0, IDB_MAPSMALL_DISABLED, 0, 0, 0, 0, 0);
    camSmall->SetSkin(IDB_CAMSMALL, IDB_CAMSMALL_DOWN, 0, IDB_CAMSMALL_DISABLED, 0, 0, 0, 0, 0);
    mirror->SetSkin(IDB_MIRROR, IDB_MIRROR_DOWN, 0, 0, 0, 0, 0, 1, 0);
    mute->SetSkin(IDB_MUTE, IDB_MUTE_DOWN, 0, 0, 0, 0, 0, 1, 0);
}

void MainWindowControls::SkinSliders() {
    position->SetBitmapChannel(IDB_POS_CHANNEL, IDB_POS_CHANNEL_ACTIVE, true, kColorFromPixel, 0,
                               0);
    position->SetBitmapThumb(IDB_THUMB, IDB_THUMB, true, kColorFromPixel, 0, 0);
    for (CBitmapSlider* slider : {volume, bright}) {
        slider->SetBitmapChannel(IDB_SMALL_CHANNEL, IDB_SMALL_CHANNEL_ACTIVE, true, kColorFromPixel,
                                 0, 0);
        slider->SetBitmapThumb(IDB_THUMB, IDB_THUMB, true, kColorFromPixel, 0, 0);
    }
    volume->SetPageSize(kPageSizeVolume);
    volume->SetRange(0, ViewerSettings::kVolumeMax, false);
    bright->SetRange(kBrightnessMin, kBrightnessMax, false);
    for (CBitmapSlider* slider : {position, volume, bright}) slider->SetDrawFocusRect(false, false);
    position->SetWheelStep(kPositionWheelStepSec);
    volume->SetWheelStep(kLevelWheelStep);
    bright->SetWheelStep(kLevelWheelStep);
}

void MainWindowControls::AdoptList(QWidget* listWidget) {
    list = listWidget;
    Register(IDC_LIST_FILENAME, listWidget);
}

QWidget* MainWindowControls::Item(int controlId) const {
    auto found = m_items.find(controlId);
    return found == m_items.end() ? nullptr : found->second;
}

void MainWindowControls::Register(int controlId, QWidget* widget) {
    m_items[controlId] = widget;
    // Controls without a command of their own are named here; buttons take their action's.
    for (const ItemName& name : kItemNames) {
        if (name.id == controlId)
            widget->setAccessibleName(QString::fromStdString(RawText(name.name)));
    }
}

void MainWindowControls::Forget(int controlId) {
    m_items.erase(controlId);
}

// ---- placing ----

MainWindowControls::NormalAreas MainWindowControls::PlaceNormal() {
    const NormalAreas areas = NormalLayout(m_pWindow->size());
    for (const ControlPlace& place : ControlPlaces::NormalPlaces(areas))
        Item(place.id)->setGeometry(place.rect);
    if (list) list->setGeometry(areas.list);
    // The position slider runs as long as the main picture is wide.
    position->SetChannelLength(kPositionSliderWidth + areas.main.width() - kMainArea.width());
    // The graph takes the width the window gained; its legends keep to the right edge.
    graph->setGeometry(kGraphArea.translated(0, areas.dy).adjusted(0, 0, areas.dxRight, 0));
    eventLegend->setGeometry(ControlPlaces::kEventLegendArea.translated(areas.dxRight, areas.dy));
    sizeGrip->move(m_pWindow->width() - sizeGrip->width(),
                   m_pWindow->height() - sizeGrip->height());
    sizeGrip->raise();
    return areas;
}

void MainWindowControls::PlaceFullScreen() {
    const int w = m_pWindow->width(), h = m_pWindow->height();
    const QRect video = FullScreenVideoRect(w, h);
    front->setGeometry(video);
    rear->setGeometry(video);
    for (const ControlPlace& place : ControlPlaces::FullScreenPlaces(QSize(w, h)))
        Item(place.id)->setGeometry(place.rect);
    // The channel as long as its place, so the thumb reaches the slider's end.
    position->SetChannelLength(ControlPlaces::FullScreenSliderWidth(w));
}

void MainWindowControls::ShowSet(bool normal) {
    for (int id : ControlPlaces::kNormalOnly) {
        if (QWidget* item = Item(id)) item->setVisible(normal);
    }
    graph->setVisible(normal);
    eventLegend->setVisible(normal);
    sizeGrip->setVisible(normal);
    prevSize->setVisible(!normal);
}

void MainWindowControls::ShowOverPicture(bool shown) {
    for (int id : ControlPlaces::kFullScreenSet) {
        QWidget* item = Item(id);
        if (!item) continue;
        item->setAttribute(Qt::WA_TransparentForMouseEvents, !shown);
        if (shown) {
            item->setGraphicsEffect(nullptr);
        } else {
            auto* clear = new QGraphicsOpacityEffect(item);
            clear->setOpacity(0);
            item->setGraphicsEffect(clear);
        }
    }
}

void MainWindowControls::ShowPlayButton(bool showPlay) {
    play->setVisible(showPlay);
    pause->setVisible(!showPlay);
}

bool MainWindowControls::IsPlayShown() const {
    return !play->isHidden();
}

void MainWindowControls::EnableViewButtons(bool enable) {
    for (QWidget* button : {static_cast<QWidget*>(changeView), static_cast<QWidget*>(mapView),
                            static_cast<QWidget*>(mapSmall), static_cast<QWidget*>(camSmall)}) {
        button->setEnabled(enable);
    }
}

// ---- labels ----

void MainWindowControls::SetLabelText(QLabel* label, const QString& text) {
    if (label->text() == text) return;
    label->setText(text);
    // The name says what the box is ("Speed"); a screen reader reads what it shows from here.
    label->setAccessibleDescription(text);
    ApplyLabelColours(label);
}

void MainWindowControls::ApplyLabelColours(QLabel* label) {
    // The rate label is empty at normal speed and then shows nothing at all, neither a box
    // between the plates in the window nor over the picture in full screen.
    QString style;
    if (label == rate) {
        style = label->text().isEmpty() ? QStringLiteral("QLabel { background: transparent; }")
                                        : LabelStyle(kTimeTextColour, kPlateColour);
    } else if (label->text().isEmpty()) {
        style = QStringLiteral("QLabel { background-color: #000000; }");
    } else if (label == speed) {
        style = LabelStyle(kSpeedTextColour, kPlateColour);
    } else {
        style = LabelStyle(kTimeTextColour, kPlateColour);
    }
    if (label->styleSheet() != style) label->setStyleSheet(style);
}
