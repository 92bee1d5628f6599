// Set-up, the settings file, closing and the window's event plumbing.
#include "app/window/CSamplePlayerDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "app/dialogs/CExportDlg.h"
#include "app/dialogs/CZoomDlg.h"
#include "app/list/RecordingListView.h"
#include "app/view/QtVideoArea.h"
#include "app/window/Resource.h"
#include "controls/CBitmapSlider.h"
#include "res/SkinBitmaps.h"
#include "support/Profile.h"
#include "support/StringTable.h"
#include "support/Trace.h"
#include "telemetry/CGraphStatic.h"
#include "telemetry/CMapView.h"
#include "telemetry/TelemetryLogic.h"

namespace {

constexpr int kConfigValueChars = 10;  // value buffer, so nine characters are seen
constexpr int kWindowValueChars = 64;

// "x,y,width,height"; null for anything else.
QRect ParseWindowPlace(const char* text) {
    int x = 0, y = 0, w = 0, h = 0;
    char end = 0;
    if (std::sscanf(text, "%d,%d,%d,%d%c", &x, &y, &w, &h, &end) != 4 || w <= 0 || h <= 0)
        return QRect();
    return QRect(x, y, w, h);
}

}  // namespace

CSamplePlayerDlg::CSamplePlayerDlg(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowIcon(LoadSkinIcon(IDI_MAINFRAME));
    setAcceptDrops(true);  // a card folder or a recording dropped on the window opens
    OnInitDialog();
}

CSamplePlayerDlg::~CSamplePlayerDlg() {
    OnDestroy();
}

bool CSamplePlayerDlg::OnInitDialog() {
    // Before anything reads the settings (the map view reads its tile keys while the controls
    // are made).
    ImportLegacyConfig();
    InitUiLanguage();
    SetSkinKorean(IsKoreanUi());
    setWindowTitle(QString::fromStdString(FormatResourceString(IDS_TITLE)));
    CreateControls();
    CreateTelemetryAndCapture();
    CreateTimeline();
    InitControls();
    CreateRedaction();
    Layout().LayoutControls(ScreenMode());
    Layout().LoadBackground();
    m_telemetry->SetUpGraph();

    // The stored positions are applied only now that the sliders have their real ranges,
    // and handed to the sound output and the decoder, so the first recording already plays
    // at the volume and brightness the user left.
    InitConfig();
    m_navigator->Cards().ReadLastCard();
    ApplyVolume(m_sliderVolume->GetPos());
    ApplyBrightness(m_sliderBright->GetPos());

    ConnectPlayback();
    SetUpArchive();
    qApp->installEventFilter(this);
    return true;
}

void CSamplePlayerDlg::CreateTelemetryAndCapture() {
    const auto currentPath = [this]() -> const std::string& { return m_strCurrentPath; };
    m_telemetry = std::make_unique<TelemetryPanel>(
        *this, *m_ui, m_playback, m_textData,
        TelemetryPanel::Host{
            currentPath,
            [this] {
                m_nShownSecond = -1;
                OnPlaybackPosition(m_playback.Position());
            },
            [this](CGPSData* fix) { return m_pTimeline ? m_pTimeline->FixOnScreen(fix) : -1; }});
    // The unit picked in the speed box's menu is the viewer's from then on (events, export).
    m_telemetry->InstallSpeedUnitMenu([this](SpeedUnit) { SaveConfig(); });
    m_capture = std::make_unique<StillCapture>(static_cast<Host&>(*this), *this, m_playback);
    // A trip's walk is cut to the recording on screen.
    m_capture->SetTelemetrySource([this] { return m_pTimeline->PartOf(m_strCurrentPath); });
}

void CSamplePlayerDlg::InitControls() {
    m_bMapNavigated = false;
    Layout().HideVideoAreas();

    m_playback.Start(m_pFrontArea, m_pRearArea);
    m_player.SetTextCallback(&CSamplePlayerDlg::OnTextChunkThunk, this);

    m_bMapNavigated = Layout().CreateMapView(ConfigPath());
    m_telemetry->SetMapView(MapViewWidget(), m_bMapNavigated);

    m_listFilename->setGeometry(650, 65, 320, 178);
}

// ---- settings file ----

std::string CSamplePlayerDlg::ConfigPath() {
    // An unset, empty or relative XDG_CONFIG_HOME means ~/.config (XDG base directories).
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        base = std::filesystem::path(home) / ".config";
    } else {
        base = std::filesystem::path(QDir::homePath().toStdString()) / ".config";
    }
    return (base / "tarvex" / "config.cfg").string();
}

namespace {

// The settings folder is made when the file is first written.
void MakeConfigFolder(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
}

}  // namespace

bool CSamplePlayerDlg::ImportLegacyConfig() {
    const std::string path = ConfigPath();
    std::error_code error;
    if (std::filesystem::exists(path, error) ||
        !std::filesystem::is_regular_file(kLegacyConfigPath, error)) {
        return false;
    }
    MakeConfigFolder(path);
    // The old file stays where it is: another copy of an older viewer may still use it.
    if (!std::filesystem::copy_file(kLegacyConfigPath, path, error)) return false;
    Trace("ImportConfig %s\n", path.c_str());
    return true;
}

void CSamplePlayerDlg::InitConfig() {
    const std::string path = ConfigPath();
    ProfileDocument existing;
    bool existed = false;
    if (!LoadProfileDocument(path, existing, &existed)) {
        // Write-only, not ours, a FIFO: whatever the user keeps there stays as it is, and this
        // session runs on the defaults without ever writing it.
        m_bConfigUnreadable = true;
        Trace("InitConfig: %s cannot be read; defaults used, the file is left alone\n",
              path.c_str());
    } else if (!existed) {
        MakeConfigFolder(path);
        WriteFileWhole(path, {});
    }
    Trace("InitConfig\n");
    char text[kConfigValueChars] = {};
    GetPrivateProfileString("config", "brightness", "-200", text, sizeof text, path.c_str());
    int value = std::atoi(text);
    Trace("Brightness => %d\n", value);
    m_sliderBright->SetPos(value == kMissingConfigValue ? kDefaultBrightness : value);

    GetPrivateProfileString("config", "volume", "-200", text, sizeof text, path.c_str());
    value = std::atoi(text);
    Trace("Volume => %d\n", value);
    m_sliderVolume->SetPos(value == kMissingConfigValue ? kDefaultVolume : value);

    GetPrivateProfileString("config", kStillsPositionKey, "1", text, sizeof text, path.c_str());
    m_capture->SetStillsPosition(std::atoi(text) != 0);
    GetPrivateProfileString("config", kSpeedUnitKey, "kmh", text, sizeof text, path.c_str());
    m_telemetry->SetSpeedUnit(ParseSpeedUnit(text));
    m_telemetry->SetUnitsPerG(ReadEventThresholds(path).unitsPerG);
    char place[kWindowValueChars] = {};
    GetPrivateProfileString("config", kWindowKey, "", place, sizeof place, path.c_str());
    Layout().Frame().PlaceRemembered(ParseWindowPlace(place));
}

void CSamplePlayerDlg::SaveConfig() {
    if (m_bConfigUnreadable) return;
    const std::string path = ConfigPath();
    MakeConfigFolder(path);
    Trace("SaveConfig\n");
    char text[16];
    std::snprintf(text, sizeof text, "%d", m_sliderBright->GetPos());
    Trace("Brightness => %d\n", m_sliderBright->GetPos());
    WritePrivateProfileString("config", "brightness", text, path.c_str());
    std::snprintf(text, sizeof text, "%d", m_sliderVolume->GetPos());
    Trace("Volume => %d\n", m_sliderVolume->GetPos());
    WritePrivateProfileString("config", "volume", text, path.c_str());
    WritePrivateProfileString("config", kSpeedUnitKey, SpeedUnitName(m_telemetry->GetSpeedUnit()),
                              path.c_str());
    const QRect place = Layout().Frame().NormalGeometry();
    char placeText[kWindowValueChars];
    std::snprintf(placeText, sizeof placeText, "%d,%d,%d,%d", place.x(), place.y(), place.width(),
                  place.height());
    WritePrivateProfileString("config", kWindowKey, placeText, path.c_str());
    m_navigator->Cards().SaveLastCard();
}

// ---- closing ----

void CSamplePlayerDlg::OnBnClickedButtonClose() {
    // Saved on every press, whatever the answer.
    SaveConfig();
    const QString text =
        QString::fromStdString(FormatResourceString(PickStringId(IDS_QUIT_KO, IDS_QUIT_EN)));
    const QString caption = QString::fromStdString(
        FormatResourceString(PickStringId(IDS_QUIT_CAPTION_KO, IDS_QUIT_CAPTION_EN)));
    // "No" leaves everything as it was: the recording is only closed once the answer is Yes.
    if (AskQuit(text, caption)) CloseDown();
}

void CSamplePlayerDlg::QuitNow() {
    if (m_bQuitConfirmed) return;
    SaveConfig();
    CloseDown();
}

void CSamplePlayerDlg::CloseDown() {
    m_strCurrentPath.clear();
    m_playback.Stop();
    m_bQuitConfirmed = true;
    // A dialog of ours may be open (a question, the settings, a chooser, an export); its own
    // loop has to end before the window's can. An export's Cancel keeps its dialog up to show
    // how it ended, so that one is abandoned instead.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget == this || !widget->isVisible()) continue;
        if (auto* exportDialog = qobject_cast<CExportDlg*>(widget)) {
            exportDialog->Abandon();
        } else if (auto* dialog = qobject_cast<QDialog*>(widget)) {
            dialog->reject();
        } else if (widget != Layout().ZoomDialog()) {
            widget->close();
        }
    }
    close();
}

void CSamplePlayerDlg::closeEvent(QCloseEvent* event) {
    if (m_bQuitConfirmed) {
        QDialog::closeEvent(event);
        return;
    }
    // The window manager's close (Alt+F4, the task bar, wmctrl -c) takes the close button's
    // road; asked from the event loop, not from inside this event.
    event->ignore();
    QTimer::singleShot(0, this, [this] { OnBnClickedButtonClose(); });
}

void CSamplePlayerDlg::OnBnClickedButtonMinimize() {
    showMinimized();
}

void CSamplePlayerDlg::OnDestroy() {
    if (m_bDestroyed) return;
    m_bDestroyed = true;
    qApp->removeEventFilter(this);
    if (m_layout) m_layout->DestroyViews();
    m_telemetry->SetMapView(nullptr, false);
    if (m_pTimeline) m_pTimeline->Stop();
    // The worker presents into the video areas and calls back into m_textData: it must be
    // gone before either of them.
    m_playback.Shutdown();
}

bool CSamplePlayerDlg::AskQuit(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No, this);
    box.setIconPixmap(LoadSkinIcon(IDI_MAINFRAME).pixmap(48, 48));
    return box.exec() == QMessageBox::Yes;
}

void CSamplePlayerDlg::ShowMessage(const QString& text) {
    QMessageBox::information(this, windowTitle(), text);
}

// ---- plumbing ----

void CSamplePlayerDlg::OnTextChunkThunk(void* user, const uint8_t* payload, int32_t length,
                                        int32_t positionMs) {
    auto* self = static_cast<CSamplePlayerDlg*>(user);
    // The first chunk of a recording opened, or handed over to: the telemetry shown so far
    // belongs to the one before.
    const uint64_t recording = (static_cast<uint64_t>(self->m_player.GetOpenSerial()) << 32) |
                               static_cast<uint32_t>(self->m_player.GetHandOvers());
    if (self->m_nTextRecording.exchange(recording) != recording) self->m_textData.RemoveAll();
    OnTextChunk(self->m_textData, payload, length, positionMs);
}

bool CSamplePlayerDlg::IsPlayerActive() const {
    const PlaybackState state = m_playback.State();
    return state == PlaybackState::Playing || state == PlaybackState::Paused;
}

bool CSamplePlayerDlg::CanSeek() const {
    // Played out, the recording is still open and any of its pictures can be shown; one
    // opening takes the seek once it is open.
    if (m_playback.State() == PlaybackState::Loading) return !m_playback.Path().isEmpty();
    return m_playback.HasMedia() && !m_strCurrentPath.empty();
}

std::string CSamplePlayerDlg::OpenRecordingPath() const {
    // The file opened last, also when the list was rebuilt under it or it has no row.
    return IsPlayerActive() ? m_strCurrentPath : std::string();
}

bool CSamplePlayerDlg::event(QEvent* event) {
    if (event->type() == SliderNotifyEvent::MovedType()) {
        auto* notice = static_cast<SliderNotifyEvent*>(event);
        OnSliderMoved(notice->controlId(), notice->position());
        return true;
    }
    if (event->type() == SliderNotifyEvent::MovingType()) return true;  // not acted on
    return QDialog::event(event);
}
