#include "app/view/MainWindowCommands.h"

#include <QAbstractButton>
#include <QLabel>
#include <algorithm>
#include <functional>
#include <initializer_list>

#include "app/archive/ArchiveCommands.h"
#include "app/list/RecordingNavigator.h"
#include "app/panels/TimelinePanel.h"
#include "app/redaction/RedactionTool.h"
#include "app/view/MainWindowActions.h"
#include "app/view/ViewerSettings.h"
#include "app/window/CSamplePlayerDlg.h"
#include "app/window/Resource.h"
#include "controls/CBitmapButtonTrans.h"
#include "controls/CBitmapSlider.h"
#include "controls/CxSkinButton.h"

namespace {

using C = WindowCommand;

// The numbers the key press trace line has always shown for the keys that are not letters
// or digits (those show their character code).
struct TraceCode {
    int key, code;
};
constexpr TraceCode kTraceCodes[] = {
    {Qt::Key_Backspace, 0x08}, {Qt::Key_Tab, 0x09},      {Qt::Key_Backtab, 0x09},
    {Qt::Key_Return, 0x0D},    {Qt::Key_Enter, 0x0D},    {Qt::Key_Shift, 0x10},
    {Qt::Key_Control, 0x11},   {Qt::Key_Alt, 0x12},      {Qt::Key_Pause, 0x13},
    {Qt::Key_CapsLock, 0x14},  {Qt::Key_Escape, 0x1B},   {Qt::Key_Space, 0x20},
    {Qt::Key_PageUp, 0x21},    {Qt::Key_PageDown, 0x22}, {Qt::Key_End, 0x23},
    {Qt::Key_Home, 0x24},      {Qt::Key_Left, 0x25},     {Qt::Key_Up, 0x26},
    {Qt::Key_Right, 0x27},     {Qt::Key_Down, 0x28},     {Qt::Key_Insert, 0x2D},
    {Qt::Key_Delete, 0x2E},
};
constexpr int kTraceCodeF1 = 0x70;

// The window's commands: their keys (Qt keys, modifiers aside), the tooltip naming them and
// what they do.
using D = CSamplePlayerDlg;
using T = TimelinePanel;
// A command of the timeline's.
constexpr int kVolumeKeyStep = 5;

// Up and Down move the volume slider the way a drag would, so the sound follows at once.
void StepVolume(D& d, int step) {
    CBitmapSlider* volume = d.VolumeSlider();
    volume->SetPos(std::clamp(volume->GetPos() + step, 0, ViewerSettings::kVolumeMax));
    d.Shown().ApplyVolume(volume->GetPos());
}

// One frame forward or back; the controller pauses before it steps.
void StepFrame(D& d, int direction) {
    if (d.IsPlayerActive()) d.Playback().StepFrame(direction);
}

template <void (T::*command)()>
void On(D& d) {
    (d.Timeline().*command)();
}
using V = CatalogueView;
struct CommandRow {
    C command;
    std::initializer_list<int> keys;
    TextId tip;
    std::function<void(D&)> handler;
    const char* keyTrace = nullptr;  // see MainWindowActions::Row
    bool plainOnly = false;
};
const CommandRow kCommands[] = {
    {C::Minimize, {}, texts::kTipMinimize, &D::OnBnClickedButtonMinimize},
    {C::Close, {}, texts::kTipClose, &D::OnBnClickedButtonClose},
    {C::FullScreen,
     {Qt::Key_Return, Qt::Key_Enter},
     texts::kTipFullscreen,
     &D::OnBnClickedButtonFullScreen},
    // The title bar's middle button: maximised and back, as every window's.
    {C::Maximize, {}, texts::kTipMaximize, [](D& d) { d.Layout().ToggleMaximized(); }},
    // As in every player, Escape also leaves full screen (and does nothing else).
    {C::PrevSize,
     {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape},
     texts::kTipPrevsize,
     &D::OnBnClickedButtonPrevSize},
    {C::ChangeView, {}, texts::kTipChangeview, &D::OnBnClickedButtonChangeView},
    {C::MapLarge, {}, texts::kTipMapview, &D::OnBnClickedButtonMapLarge},
    {C::SubCamera, {}, texts::kTipCamsmall, &D::OnBnClickedButtonSubCamera},
    {C::MapSmall, {}, texts::kTipMapsmall, &D::OnBnClickedButtonMapSmall},
    {C::Mirror, {}, texts::kTipMirror, &D::OnBnClickedCheckMirror},
    {C::Driving,
     {},
     texts::kTipDriving,
     [](D& d) { d.Navigator().Cards().ShowCategory(V::Driving); }},
    {C::Event, {}, texts::kTipEvent, [](D& d) { d.Navigator().Cards().ShowCategory(V::Event); }},
    {C::Parking,
     {},
     texts::kTipParking,
     [](D& d) { d.Navigator().Cards().ShowCategory(V::Parking); }},
    {C::User, {}, texts::kTipUser, [](D& d) { d.Navigator().Cards().ShowCategory(V::User); }},
    {C::All, {}, texts::kTipAll, [](D& d) { d.Navigator().Cards().ShowCategory(V::All); }},
    {C::Open, {Qt::Key_F2}, texts::kTipOpen, &D::OnBnClickedButtonOpen},
    {C::Stop, {}, texts::kTipStop, &D::OnBnClickedButtonStop},
    // Page Down goes to the older recording, Page Up to the newer one.
    {C::Pre, {Qt::Key_PageDown}, texts::kTipPre, &D::OnBnClickedButtonPre},
    {C::Backward,
     {Qt::Key_Left},
     texts::kTipBackward,
     &D::OnBnClickedButtonBackward,
     "Press Button => VK_LEFT\n"},
    {C::Play, {Qt::Key_Space}, texts::kTipPlay, &D::OnBnClickedButtonPlay},
    {C::Pause, {Qt::Key_Space}, texts::kTipPause, &D::OnBnClickedButtonPause},
    {C::Forward,
     {Qt::Key_Right},
     texts::kTipForward,
     &D::OnBnClickedButtonForward,
     "Press Button => VK_RIGHT\n"},
    {C::Next, {Qt::Key_PageUp}, texts::kTipNext, &D::OnBnClickedButtonNext},
    {C::Zoom, {}, texts::kTipZoom, &D::OnBnClickedButtonZoom},
    {C::Capture, {}, texts::kTipCapture, &D::OnBnClickedButtonCapture},
    {C::Setting, {Qt::Key_F3}, texts::kTipSetting, &D::OnBnClickedButtonSetting},
    {C::Mute, {}, texts::kTipMute, &D::OnBnClickedButtonMute},
    {C::VolumeUp,
     {Qt::Key_Up},
     texts::kTipVolumeUp,
     [](D& d) { StepVolume(d, kVolumeKeyStep); },
     "Press Button => VK_UP\n"},
    {C::VolumeDown,
     {Qt::Key_Down},
     texts::kTipVolumeDown,
     [](D& d) { StepVolume(d, -kVolumeKeyStep); },
     "Press Button => VK_DOWN\n"},
    {C::StepBack, {Qt::Key_Comma}, texts::kTipStepBack, [](D& d) { StepFrame(d, -1); }},
    {C::StepForward, {Qt::Key_Period}, texts::kTipStepForward, [](D& d) { StepFrame(d, 1); }},
    {C::Slower, {Qt::Key_BracketLeft}, texts::kTipSlower, [](D& d) { d.Playback().StepRate(-1); }},
    {C::Faster, {Qt::Key_BracketRight}, texts::kTipFaster, [](D& d) { d.Playback().StepRate(1); }},
    {C::PreviousEvent, {Qt::Key_P}, texts::kTipPrevEvent, On<&T::OnPreviousEvent>, nullptr, true},
    {C::NextEvent, {Qt::Key_N}, texts::kTipNextEvent, On<&T::OnNextEvent>, nullptr, true},
    {C::MarkIn, {Qt::Key_I}, texts::kTipMarkIn, On<&T::OnMarkIn>, nullptr, true},
    {C::MarkOut, {Qt::Key_O}, texts::kTipMarkOut, On<&T::OnMarkOut>, nullptr, true},
    {C::ExportClip, {Qt::Key_X}, texts::kTipExport, On<&T::OnExportClip>, nullptr, true},
    {C::ToggleTrips,
     {Qt::Key_T},
     texts::kTipTrips,
     [](D& d) { d.Navigator().OnToggleTrips(); },
     nullptr,
     true},
    {C::Bookmark,
     {Qt::Key_B},
     texts::kTipBookmark,
     [](D& d) { d.Archive().Bookmark(); },
     nullptr,
     true},
    {C::Archive,
     {Qt::Key_H},
     texts::kTipArchive,
     [](D& d) { d.Archive().OpenView(); },
     nullptr,
     true},
    {C::Redact,
     {Qt::Key_R},
     texts::kTipRedact,
     [](D& d) { d.Redaction().Toggle(); },
     nullptr,
     true},
};

}  // namespace

void AddWindowCommands(CSamplePlayerDlg& window, MainWindowActions& actions) {
    for (const CommandRow& row : kCommands) {
        actions.Add({row.command, row.keys, row.tip,
                     [&window, handler = row.handler] { handler(window); }, row.keyTrace,
                     row.plainOnly});
    }
}

int WindowKeyTraceCode(int key) {
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return key;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return kTraceCodeF1 + (key - Qt::Key_F1);
    for (const TraceCode& entry : kTraceCodes) {
        if (entry.key == key) return entry.code;
    }
    return 0;
}

void BindWindowButtons(MainWindowControls& ui, MainWindowActions& actions) {
    const std::pair<C, QAbstractButton*> buttons[] = {
        {C::Minimize, ui.minimize},
        {C::Close, ui.close},
        {C::Maximize, ui.fullScreen},
        {C::PrevSize, ui.prevSize},
        {C::ChangeView, ui.changeView},
        {C::MapLarge, ui.mapView},
        {C::SubCamera, ui.camSmall},
        {C::MapSmall, ui.mapSmall},
        {C::Mirror, ui.mirror},
        {C::Driving, ui.driving},
        {C::Event, ui.event},
        {C::Parking, ui.parking},
        {C::User, ui.user},
        {C::All, ui.all},
        {C::Open, ui.open},
        {C::Stop, ui.stop},
        {C::Pre, ui.pre},
        {C::Backward, ui.backward},
        {C::Play, ui.play},
        {C::Pause, ui.pause},
        {C::Forward, ui.forward},
        {C::Next, ui.next},
        {C::Zoom, ui.zoom},
        {C::Capture, ui.capture},
        {C::Setting, ui.setting},
        {C::Mute, ui.mute},
    };
    for (const auto& [command, button] : buttons) actions.Bind(command, button);
    // Enter goes full screen from the normal window only, as the maximise button shows there.
    actions.Gate(C::FullScreen, ui.fullScreen);
}

void SetWindowControlTips(MainWindowControls& ui, MainWindowActions& actions) {
    // The sliders and the rate label name the keys of the commands that move them.
    ui.volume->setToolTip(actions.TipWithKeys(texts::kTipVolume, {C::VolumeUp, C::VolumeDown}));
    ui.bright->setToolTip(actions.TipWithKeys(texts::kTipBright, {}));
    ui.position->setToolTip(actions.TipWithKeys(texts::kTipPosition, {C::Backward, C::Forward}));
    ui.rate->setToolTip(
        actions.TipWithKeys(texts::kTipRate, {C::Slower, C::Faster, C::StepBack, C::StepForward}));
}
