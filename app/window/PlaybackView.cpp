#include "app/window/PlaybackView.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <algorithm>
#include <filesystem>
#include <utility>

#include "app/list/RecordingListView.h"
#include "app/panels/TimelinePanel.h"
#include "app/view/QtVideoArea.h"
#include "app/window/CSamplePlayerDlg.h"
#include "app/window/Resource.h"
#include "controls/CBitmapSlider.h"
#include "controls/CxSkinButton.h"
#include "library/CardRoot.h"
#include "support/QtText.h"
#include "support/StringTable.h"

namespace {

constexpr int64_t kMsPerSec = 1000;
constexpr int64_t kSeekStepSec = 10;  // ← and →
constexpr int64_t kBackMinimumMs = 11000;
constexpr int64_t kForwardMinimumMs = 10000;
constexpr double kVolumePerStep = 655.35;  // slider 0..99 onto the 16-bit channel volume

uint32_t ChannelVolumeWord(int sliderValue) {
    const uint32_t channel = static_cast<uint32_t>(sliderValue * kVolumePerStep) & 0xFFFF;
    return channel | (channel << 16);
}

}  // namespace

PlaybackView::PlaybackView(CSamplePlayerDlg& window, PlaybackController& playback,
                           WindowDialogs& dialogs)
    : m_window(window), m_playback(playback), m_dialogs(dialogs) {}

PlaybackView::~PlaybackView() = default;

void PlaybackView::CreatePanels(std::function<int(CGPSData*)> fixOnScreen) {
    m_telemetry = std::make_unique<TelemetryPanel>(
        m_window, m_window.Controls(), m_playback, m_playback.TextData(),
        TelemetryPanel::Host{[this]() -> const std::string& { return m_strCurrentPath; },
                             [this] { ShowMomentAgain(); }, std::move(fixOnScreen)});
    m_capture = std::make_unique<StillCapture>(static_cast<StillCapture::Host&>(*this), m_dialogs,
                                               m_window, m_playback);
}

const std::string& PlaybackView::DrivePath() const {
    return m_window.DrivePath();
}

void PlaybackView::Connect() {
    // The sliders the user let go of: the place the hand left the position thumb, the sound
    // and the pictures' brightness at once.
    const MainWindowControls& ui = m_window.Controls();
    connect(ui.position, &CBitmapSlider::moved, this,
            [this](int second) { SeekOnTimeline(int64_t{second} * kMsPerSec); });
    connect(ui.volume, &CBitmapSlider::moved, this, [this](int value) { ApplyVolume(value); });
    connect(ui.bright, &CBitmapSlider::moved, this, [this](int level) {
        m_window.Settings().SetBrightness(level);
        m_playback.SetBrightness(level);
    });
    PlaybackController* playback = &m_playback;
    connect(playback, &PlaybackController::positionChanged, this,
            [this](qint64 ms) { OnPlaybackPosition(ms); });
    connect(playback, &PlaybackController::stateChanged, this,
            [this](PlaybackState state) { OnPlaybackState(state); });
    connect(playback, &PlaybackController::recordingChanged, this,
            [this](const QString& path) { OnPlaybackRecording(path); });
    connect(playback, &PlaybackController::durationChanged, this,
            [this](qint64 ms) { OnPlaybackLength(ms); });
    connect(playback, &PlaybackController::rateChanged, this, [this] { Telemetry().ShowRate(); });
    connect(playback, &PlaybackController::cutShort, this, [this](const QString& path, qint64 ms) {
        m_window.List()->Model()->MarkCutShort(path, ms, QFileInfo(path).size());
        if (path.toStdString() == m_strCurrentPath)
            m_dialogs.ShowNote(RecordingListModel::CutShortText(ms), true);
    });
    connect(playback, &PlaybackController::ended, this, [this] { OnPlaybackEnded(); });
    connect(playback, &PlaybackController::opened, this,
            [this](const QString& path) { ShowOpened(path.toStdString()); });
    connect(playback, &PlaybackController::failed, this,
            [this](const QString& path) { OnPlaybackFailed(path); });
    connect(playback, &PlaybackController::droppingFrames, this,
            [this] { m_dialogs.ShowNote(Tr(texts::kDroppingFrames)); });
}

void PlaybackView::OnPlaybackPosition(int64_t timelineMs) {
    if (m_bOpening || m_strCurrentPath.empty()) return;
    const int64_t positionSec = std::max<int64_t>(timelineMs / kMsPerSec, 0);
    const int64_t sliderSec = m_window.Controls().position->GetPos();
    // A thumb the hand holds stays where the hand put it.
    if (!m_window.Controls().position->IsDragging())
        m_window.Controls().position->SetPos(static_cast<int>(positionSec));
    Telemetry().ShowMoment(timelineMs, sliderSec);
    if (positionSec != m_nShownSecond) {
        m_nShownSecond = positionSec;
        CheckRecordingStillThere();
    }
}

void PlaybackView::OnPlaybackState(PlaybackState state) {
    if (state == PlaybackState::Loading) return;
    m_window.Controls().ShowPlayButton(state != PlaybackState::Playing);
    // The times gain or lose their tenths with the state.
    if (state == PlaybackState::Paused || state == PlaybackState::Playing)
        OnPlaybackPosition(m_playback.Position());
}

void PlaybackView::OnPlaybackLength(int64_t ms) {
    if (m_bOpening || m_strCurrentPath.empty()) return;
    const int64_t total = ms / kMsPerSec;
    m_window.Controls().position->SetRange(0, static_cast<int>(total), false);
    Telemetry().ShowTotalTime(std::max<int64_t>(total, m_window.Controls().position->GetPos()));
    m_window.Timeline().ShowTimelineMarks();
}

void PlaybackView::OnPlaybackRecording(const QString& path) {
    const std::string recording = path.toStdString();
    if (m_bOpening || recording.empty() || recording == m_strCurrentPath) return;
    emit recordingEnded(QString::fromStdString(m_strCurrentPath));
    // The telemetry of the new recording is already being collected; only what was drawn
    // from the old one goes.
    Telemetry().ForgetRecording();
    ShowRecording(recording, true);
    OnPlaybackPosition(m_playback.Position());
}

// The controller ends only once the last frame it could read was shown: the recording has
// been seen to its end (or to where a damaged or cut file ends), so the window moves on to
// the next newer row. The newest one holds its last picture and the whole length on screen
// (often the moment just after an incident) until PLAY starts it again or a seek shows
// another of its pictures.
void PlaybackView::OnPlaybackEnded() {
    if (m_strCurrentPath.empty() || !CheckRecordingStillThere()) return;
    const int64_t positionSec = m_playback.Position() / kMsPerSec;
    m_window.Controls().position->SetPos(static_cast<int>(positionSec));
    Telemetry().ShowEnd();
    emit recordingEnded(QString::fromStdString(m_strCurrentPath));
    if (!IsNewestPlaying()) m_window.Navigator().PlayNewer();
}

void PlaybackView::OnPlaybackFailed(const QString& path) {
    // A refusal given while the window asks is handled where it asked.
    if (m_bOpening) return;
    ForgetOpened();
    LeaveUnplayable(path.toStdString());
}

void PlaybackView::LeaveUnplayable(const std::string& path) {
    m_strCurrentPath.clear();
    m_window.Navigator().LeaveUnplayable(path);
}

bool PlaybackView::IsNewestPlaying() const {
    const qsizetype trip = m_playback.TripPaths().size();
    const bool tripGoesOn = trip > 0 && static_cast<qsizetype>(TripIndex()) + 1 < trip;
    return !tripGoesOn && m_window.CurIndex() <= 0;
}

bool PlaybackView::CheckRecordingStillThere() {
    if (m_strCurrentPath.empty()) return true;
    std::error_code error;
    if (std::filesystem::exists(m_strCurrentPath, error)) return true;
    const std::string root = CardRoot(m_window.DrivePath());
    if (root.empty() || std::filesystem::is_directory(root, error)) {
        // Only this file went away: say so and move on as for a recording that fails.
        const std::string gone = m_strCurrentPath;
        m_strCurrentPath.clear();
        m_playback.Stop();
        LeaveUnplayable(gone);
        return false;
    }
    // The card itself is gone. Its folder is kept, so OPEN and the category buttons find it
    // again when it comes back.
    Stop();
    m_window.Navigator().Cards().LoseCard();
    m_dialogs.ShowNote(Tr(texts::kCardRemoved));
    return false;
}

bool PlaybackView::Open(const std::string& path, int tripIndex) {
    if (TryOpen(path, tripIndex)) return true;
    if (m_window.Navigator().OnOpenFailed(path)) m_window.update();
    return false;
}

bool PlaybackView::TryOpen(const std::string& path, int tripIndex) {
    m_strCurrentPath.clear();
    m_playback.TextData().RemoveAll();
    m_whenOpened = nullptr;
    m_bOpening = true;
    const bool asked = tripIndex >= 0 ? m_playback.PlayTripAt(tripIndex)
                                      : m_playback.PlayRecording(QString::fromStdString(path));
    m_bOpening = false;
    if (!asked) ForgetOpened();
    // Shown once the controller says it is open (ShowOpened), or moved on from if it fails.
    return asked;
}

void PlaybackView::ForgetOpened() {
    m_whenOpened = nullptr;
    Telemetry().ForgetRecording();
    m_window.setWindowTitle(Tr(texts::kTitle));
}

void PlaybackView::ShowOpened(const std::string& path) {
    Telemetry().ForgetRecording(false);
    ShowRecording(path);
    m_window.Controls().ShowPlayButton(m_playback.State() != PlaybackState::Playing);
    m_nShownSecond = -1;
    OnPlaybackPosition(m_playback.Position());
    m_window.Navigator().OnOpened();
    if (auto then = std::exchange(m_whenOpened, nullptr)) then();
    m_window.update();
}

void PlaybackView::ShowRecording(const std::string& path, bool keepLayout) {
    // A lasting note belongs to the recording it is about.
    if (path != m_strCurrentPath) m_dialogs.ClearPersistentNote();
    m_strCurrentPath = path;
    WatchRecording(path);
    m_window.Navigator().FollowTripRow(path);
    Telemetry().Clock().SetRecording(path);
    m_window.Timeline().ApplyClockFixes();
    Telemetry().ShowClock(m_playback.Position() - m_playback.RecordingStartMs());
    const int64_t total = m_playback.Duration() / kMsPerSec;
    m_window.Controls().position->SetRange(0, static_cast<int>(total), false);
    Telemetry().ShowTotalTime(total);

    m_window.Layout().OpenViews(keepLayout);
    m_window.Timeline().LoadTimeline(path);
    // A recording cut short by a power loss says where it ends, for as long as it is on screen.
    const QString early = m_window.List()->Model()->EndsEarlyNote(QString::fromStdString(path));
    if (!early.isEmpty()) m_dialogs.ShowNote(early, true);
}

// Play and pause only flip the player's run flag, which the worker samples at the top of
// each step, so the handlers return at once.
void PlaybackView::Play() {
    if (IsPlayerActive()) {
        m_playback.Play();
        return;
    }
    if (m_playback.State() == PlaybackState::Ended && !m_window.List()->HasSelection()) {
        // The recording held at its end plays again from its start.
        m_playback.Play();
        return;
    }
    if (m_window.Navigator().OpenSelected()) m_playback.Play();
}

void PlaybackView::Pause() {
    // Also while a recording opens: it then opens paused.
    m_playback.Pause();
}

void PlaybackView::WatchRecording(const std::string& path) {
    if (!m_pRecordingWatcher) {
        m_pRecordingWatcher = new QFileSystemWatcher(this);
        // A file removed, or its card unmounted, changes the file as far as the watch goes.
        connect(m_pRecordingWatcher, &QFileSystemWatcher::fileChanged, this,
                [this] { CheckRecordingStillThere(); });
    }
    if (const QStringList watched = m_pRecordingWatcher->files(); !watched.isEmpty())
        m_pRecordingWatcher->removePaths(watched);
    if (!path.empty()) m_pRecordingWatcher->addPath(QString::fromStdString(path));
}

void PlaybackView::Stop() {
    m_dialogs.ClearPersistentNote();
    m_strCurrentPath.clear();
    WatchRecording({});
    m_playback.Stop();
    m_window.Layout().HideVideoAreas();
    m_window.Controls().front->Clear();
    m_window.Controls().rear->Clear();
    m_window.Controls().position->SetPos(0);
    m_window.Navigator().SetCurIndex(-1);
    m_window.Controls().ShowPlayButton(true);
    m_window.Controls().camSmall->SetCheck(0);
    m_window.Controls().mapSmall->SetCheck(0);
    // The next recording's rear picture starts plain, as its button shows it.
    m_window.Layout().SetRearMirrored(false);
    m_window.Layout().CloseViews();
    // Nothing is shown any more, so nothing of it stays: speed, graph, the recording's name.
    Telemetry().Clear();
    // Nothing is open: the map leaves the screen with the pictures, and the view commands
    // wait for the next recording.
    m_window.Layout().PlaceMapView(ViewPlace::Hidden);
    m_window.Controls().EnableViewButtons(false);
    m_window.update();
}

// Closer to an end than a whole step, the step goes to that end: the first picture, or the
// last one (the trip's, in a trip).
void PlaybackView::Backward() {
    if (!CanSeek()) return;
    if (m_playback.Position() > kBackMinimumMs)
        SeekOnTimeline([this] { return m_playback.SeekBy(-kSeekStepSec * kMsPerSec); });
    else
        SeekOnTimeline(0);
}

void PlaybackView::Forward() {
    if (!IsPlayerActive()) return;
    if (m_playback.Duration() - m_playback.Position() > kForwardMinimumMs)
        SeekOnTimeline([this] { return m_playback.SeekBy(kSeekStepSec * kMsPerSec); });
    else
        SeekOnTimeline(m_playback.Duration());
}

void PlaybackView::ApplyVolume(int value) {
    ViewerSettings& settings = m_window.Settings();
    settings.SetVolume(value);  // what the user leaves is kept
    // Turning the volume up brings the sound back; down to 0 is muting.
    settings.SetMuted(value == 0);
    ApplySound();
}

void PlaybackView::Mute() {
    ViewerSettings& settings = m_window.Settings();
    settings.SetMuted(!settings.Muted());
    ApplySound();
}

void PlaybackView::ApplySound() {
    const ViewerSettings& settings = m_window.Settings();
    const int heard = settings.HeardVolume();
    m_playback.SetVolume(heard > 0 ? ChannelVolumeWord(heard) : 0);
    // The mute button shows the state; a click has flipped its check already.
    m_window.Controls().mute->SetCheck(settings.Muted() ? 1 : 0);
}

const std::vector<std::string>& PlaybackView::TripPaths() const {
    // Lists that share their data compare at once; a new trip is converted once.
    if (m_tripView.trip != m_playback.TripPaths() ||
        m_tripView.paths.size() != size_t(m_playback.TripPaths().size())) {
        m_tripView.paths.clear();
        for (const QString& p : m_playback.TripPaths()) m_tripView.paths.push_back(p.toStdString());
        m_tripView.indexKnown = false;
    }
    m_tripView.trip = m_playback.TripPaths();
    return m_tripView.paths;
}

size_t PlaybackView::TripIndex() const {
    // The recording the window shows: during a hand-over the controller is a step ahead.
    const std::vector<std::string>& trip = TripPaths();
    if (!m_tripView.indexKnown || m_tripView.shown != m_strCurrentPath) {
        const auto at = std::find(trip.begin(), trip.end(), m_strCurrentPath);
        m_tripView.index = at == trip.end() ? -1 : at - trip.begin();
        m_tripView.shown = m_strCurrentPath;
        m_tripView.indexKnown = true;
    }
    if (m_tripView.index >= 0) return static_cast<size_t>(m_tripView.index);
    return static_cast<size_t>(std::max(m_playback.TripIndex(), 0));
}

// ---- seeking ----

void PlaybackView::SeekToRecordingMs(int64_t ms) {
    SeekOnTimeline(m_playback.RecordingStartMs() + std::max<int64_t>(ms, 0));
}

void PlaybackView::SeekOnTimeline(int64_t timelineMs) {
    SeekOnTimeline([this, timelineMs] { return m_playback.SeekTo(timelineMs); });
}

void PlaybackView::SeekOnTimeline(const std::function<bool()>& seek) {
    if (!CanSeek()) return;
    m_bOpening = true;
    const bool landed = seek();
    m_bOpening = false;
    if (!landed && m_playback.State() == PlaybackState::Failed)
        LeaveUnplayable(m_playback.Path().toStdString());
    else if (m_playback.State() != PlaybackState::Loading || !m_strCurrentPath.empty())
        OnPlaybackPosition(m_playback.Position());
    // Another recording opening shows itself when it is open (ShowOpened).
}

bool PlaybackView::IsPlayerActive() const {
    const PlaybackState state = m_playback.State();
    return state == PlaybackState::Playing || state == PlaybackState::Paused;
}

bool PlaybackView::CanSeek() const {
    // Played out, the recording is still open and any of its pictures can be shown; one
    // opening takes the seek once it is open.
    if (m_playback.State() == PlaybackState::Loading) return !m_playback.Path().isEmpty();
    return m_playback.HasMedia() && !m_strCurrentPath.empty();
}

std::string PlaybackView::OpenRecordingPath() const {
    // The file opened last, also when the list was rebuilt under it or it has no row.
    return IsPlayerActive() ? m_strCurrentPath : std::string();
}

void PlaybackView::ShowMomentAgain() {
    m_nShownSecond = -1;
    OnPlaybackPosition(m_playback.Position());
}

void PlaybackView::StopQuietly() {
    m_strCurrentPath.clear();
    m_playback.Stop();
}
