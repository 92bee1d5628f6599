// The timeline of what plays: driving events (slider and graph marks, jumps), in and out
// marks and clip export, the route on the map and seeking from the map and the graph.
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <algorithm>

#include "app/CExportDlg.h"
#include "app/CSamplePlayerDlg.h"
#include "app/RecordingListView.h"
#include "app/Resource.h"
#include "app/TimelineLoader.h"
#include "controls/CBitmapSlider.h"
#include "controls/ColorRef.h"
#include "library/CardRoot.h"
#include "library/TripCatalogue.h"
#include "media/ExportTargets.h"
#include "support/StringTable.h"
#include "telemetry/CGraphStatic.h"
#include "telemetry/CMapView.h"
#include "telemetry/CameraClock.h"
#include "telemetry/ClipGpx.h"

namespace {

constexpr int64_t kMsPerSec = 1000;
// An event this close ahead of the position is the one being watched: "next" skips it.
constexpr int64_t kNextEventLeadMs = 500;
// Seeks land on whole seconds, so "previous" looks this far back to get past the current one.
constexpr int64_t kPreviousEventLagMs = 1500;
constexpr int IDS_EXPORT_TITLE_KO = 630, IDS_EXPORT_TITLE_EN = 631;
constexpr int IDS_MARK_IN_KO = 632, IDS_MARK_IN_EN = 633;
constexpr int IDS_MARK_OUT_KO = 634, IDS_MARK_OUT_EN = 635;
constexpr int IDS_MP4_FILTER_KO = 648, IDS_MP4_FILTER_EN = 649;
constexpr int IDS_EXPORT_FAILED_KO = 640, IDS_EXPORT_FAILED_EN = 641;
// Numbered alternatives tried when the proposed clip name is taken.
constexpr int kProposalAttempts = 100;
constexpr int IDS_PREVIOUS_EVENT_KO = 658, IDS_PREVIOUS_EVENT_EN = 659;
constexpr int IDS_NEXT_EVENT_KO = 660, IDS_NEXT_EVENT_EN = 661;

QString Text(int ko, int en) {
    return QString::fromStdString(FormatResourceString(PickStringId(ko, en)));
}

// Event colours (0x00BBGGRR), apart from the three axis colours of the graph.
uint32_t EventColour(DrivingEventKind kind) {
    switch (kind) {
        case DrivingEventKind::HarshBraking:
            return MakeColorRef(229, 72, 77);
        case DrivingEventKind::HardAcceleration:
            return MakeColorRef(63, 185, 80);
        case DrivingEventKind::SharpTurn:
            return MakeColorRef(163, 113, 247);
        case DrivingEventKind::Impact:
            return MakeColorRef(255, 255, 255);
    }
    return MakeColorRef(255, 255, 255);
}

// Where the export dialog starts: a new file in the home folder named after the clip's start
// on the camera clock (the in point in the recording holding it; the first recording's name
// when that name carries no time), never a recording, an input or an existing file.
QString ProposedClipPath(const std::vector<std::string>& inputs,
                         const std::vector<int64_t>& startsMs, int64_t fromMs) {
    size_t index = 0;
    while (index + 1 < inputs.size() && index + 1 < startsMs.size() &&
           startsMs[index + 1] <= fromMs)
        ++index;
    const std::string& first = inputs.front();
    std::string stem = first.substr(first.find_last_of('/') + 1);
    stem = stem.substr(0, stem.find_last_of('.'));
    const int64_t offsetMs = index < startsMs.size() ? fromMs - startsMs[index] : fromMs;
    if (const std::optional<int64_t> start = RecordingStartSec(inputs[index]))
        stem = FormatClockStem(*start + std::max<int64_t>(0, offsetMs) / 1000);
    const std::string base = QDir::homePath().toStdString() + "/" + stem + "_clip";
    std::string path = base + ".mp4";
    for (int n = 2; n <= kProposalAttempts; ++n) {
        if (!QFileInfo::exists(QString::fromStdString(path)) &&
            CheckExportTargets(inputs, {path, ClipGpx::PathBeside(path)}, nullptr))
            break;
        path = base + "-" + std::to_string(n) + ".mp4";
    }
    return QString::fromStdString(path);
}

}  // namespace

// ---- what plays and its telemetry ----

void CSamplePlayerDlg::LoadTimeline(const std::string& path) {
    // The controller left the trip when anything but one of its recordings was opened.
    std::vector<std::string> paths = TripPaths();
    if (paths.empty()) paths.push_back(path);
    if (paths != m_timelinePaths) {
        // What belonged to the walk before goes now; the new walk fills it in when it arrives.
        m_timelinePaths = paths;
        m_eventThresholds = ReadEventThresholds(ConfigPath());
        m_timeline = {};
        m_events.clear();
        m_tripStartsMs.clear();
        m_nInMs = m_nOutMs = -1;
        m_nLastJumpMs = -1;
        ConnectTimelineViews();
        if (MapViewWidget()) MapViewWidget()->SetRoute({});
        if (!m_pTimelineLoader) {
            m_pTimelineLoader = new TimelineLoader(this);
            connect(m_pTimelineLoader, &TimelineLoader::loaded, this,
                    [this](const TimelineResult& result) { OnTimelineLoaded(result); });
        }
        m_pTimelineLoader->Start(std::move(paths), m_eventThresholds);
    }
    MarkTripRecordingInList();
    ShowTimelineMarks();
}

bool CSamplePlayerDlg::IsTimelineLoading() const {
    return m_pTimelineLoader && m_pTimelineLoader->IsPending();
}

void CSamplePlayerDlg::OnTimelineLoaded(const TimelineResult& result) {
    if (result.paths != m_timelinePaths) return;  // belongs to what was open before
    m_timeline = result.timeline;
    m_events = result.events;
    m_tripStartsMs = result.startsMs;
    ApplyClockFixes();
    if (MapViewWidget()) {
        std::vector<CMapView::RoutePoint> route;
        for (const TimedFix& f : m_timeline.fixes)
            if (f.fix.valid)
                route.push_back({f.fix.GetLatitude(), f.fix.GetLongitude(), f.fix.GetSpeed()});
        MapViewWidget()->SetRoute(std::move(route));
    }
    ShowTimelineMarks();
}

void CSamplePlayerDlg::ApplyClockFixes() {
    if (m_timelinePaths.empty() || m_timeline.fixes.empty()) return;
    const std::vector<std::string> trip = TripPaths();
    if (trip.empty()) {
        if (m_timelinePaths.front() == m_strCurrentPath)
            m_telemetry->Clock().SetFixes(m_timeline.fixes);
    } else if (m_timelinePaths == trip) {
        m_telemetry->Clock().SetTripFixes(m_timeline.fixes, m_tripStartsMs, TripIndex());
    }
    m_telemetry->ShowClock(m_playback.Position() - m_playback.RecordingStartMs());
}

int64_t CSamplePlayerDlg::TimelineOffsetMs() const {
    const size_t index = TripIndex();
    return (!m_playback.TripPaths().isEmpty() && index < m_tripStartsMs.size())
               ? m_tripStartsMs[index]
               : 0;
}

std::vector<std::string> CSamplePlayerDlg::TripPaths() const {
    std::vector<std::string> paths;
    for (const QString& p : m_playback.TripPaths()) paths.push_back(p.toStdString());
    return paths;
}

size_t CSamplePlayerDlg::TripIndex() const {
    // The recording the window shows: during a hand-over the controller is a step ahead.
    const QStringList& trip = m_playback.TripPaths();
    const qsizetype shown = trip.indexOf(QString::fromStdString(m_strCurrentPath));
    if (shown >= 0) return static_cast<size_t>(shown);
    return static_cast<size_t>(std::max(m_playback.TripIndex(), 0));
}

// Where the open recording starts on the timeline is known once the walk has arrived (at
// once for a single recording, which starts at 0).
bool CSamplePlayerDlg::IsTimelineOffsetKnown() const {
    return m_playback.TripPaths().isEmpty() || TripIndex() < m_tripStartsMs.size();
}

// The slider spans what plays: a trip's whole timeline once its lengths are known, the
// recording on screen until then.
void CSamplePlayerDlg::ShowTimelineMarks() {
    const int64_t offset = TimelineOffsetMs() - m_playback.RecordingStartMs();
    const int64_t length = m_playback.Duration();
    std::vector<CBitmapSlider::Mark> sliderMarks;
    std::vector<CGraphStatic::Mark> graphMarks;
    for (const DrivingEvent& e : m_events) {
        const int64_t ms = e.timeMs - offset;
        if (ms < 0 || ms >= length) continue;
        const int second = static_cast<int>(ms / kMsPerSec);
        sliderMarks.push_back({second, EventColour(e.kind)});
        // The graph holds one sample per second played, the first for second 1.
        if (second >= 1) graphMarks.push_back({second - 1, EventColour(e.kind)});
    }
    m_sliderPos->SetMarks(std::move(sliderMarks));
    m_pGraph->SetMarks(std::move(graphMarks));
    const auto onSlider = [&](int64_t ms) {
        return (ms >= offset && ms <= offset + length) ? static_cast<int>((ms - offset) / kMsPerSec)
                                                       : -1;
    };
    m_sliderPos->SetInOut(m_nInMs >= 0 ? onSlider(m_nInMs) : -1,
                          m_nOutMs >= 0 ? onSlider(m_nOutMs) : -1);
}

void CSamplePlayerDlg::ConnectTimelineViews() {
    if (!m_bGraphConnected) {
        m_bGraphConnected = true;
        connect(m_pGraph, &CGraphStatic::valueClicked, this,
                [this](int index) { OnGraphValueClicked(index); });
        m_sliderPos->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(m_sliderPos, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
            QMenu menu(this);
            menu.addAction(Text(IDS_MARK_IN_KO, IDS_MARK_IN_EN), this, [this] { OnMarkIn(); });
            menu.addAction(Text(IDS_MARK_OUT_KO, IDS_MARK_OUT_EN), this, [this] { OnMarkOut(); });
            menu.addAction(Text(IDS_EXPORT_TITLE_KO, IDS_EXPORT_TITLE_EN), this,
                           [this] { OnExportClip(); });
            menu.addSeparator();
            menu.addAction(Text(IDS_PREVIOUS_EVENT_KO, IDS_PREVIOUS_EVENT_EN), this,
                           [this] { OnPreviousEvent(); });
            menu.addAction(Text(IDS_NEXT_EVENT_KO, IDS_NEXT_EVENT_EN), this,
                           [this] { OnNextEvent(); });
            menu.exec(m_sliderPos->mapToGlobal(at));
        });
    }
    // The map view may be made (or made again) later than the window.
    if (MapViewWidget() && m_pConnectedMap != MapViewWidget()) {
        m_pConnectedMap = MapViewWidget();
        connect(MapViewWidget(), &CMapView::routeClicked, this,
                [this](double lat, double lon) { OnRouteClicked(lat, lon); });
    }
}

// ---- seeking ----

void CSamplePlayerDlg::SeekToRecordingMs(int64_t ms) {
    SeekOnTimeline(m_playback.RecordingStartMs() + std::max<int64_t>(ms, 0));
}

void CSamplePlayerDlg::SeekOnTimeline(int64_t timelineMs) {
    SeekOnTimeline([this, timelineMs] { return m_playback.SeekTo(timelineMs); });
}

void CSamplePlayerDlg::SeekOnTimeline(const std::function<bool()>& seek) {
    if (!CanSeek()) return;
    const QString before = m_playback.Path();
    m_bOpening = true;
    const bool landed = seek();
    m_bOpening = false;
    const std::string path = m_playback.Path().toStdString();
    if (!landed && m_playback.State() == PlaybackState::Failed)
        LeaveUnplayable(path);
    else if (m_playback.Path() != before)
        ShowOpened(path);
    else
        OnPlaybackPosition(m_playback.Position());
}

// A time on the timeline of what plays: another recording of the trip is opened first.
static size_t TripRecordingAt(const std::vector<int64_t>& starts, int64_t ms) {
    size_t index = 0;
    while (index + 1 < starts.size() && starts[index + 1] <= ms) ++index;
    return index;
}

void CSamplePlayerDlg::OnGraphValueClicked(int valueIndex) {
    if (valueIndex >= 0) SeekToRecordingMs((static_cast<int64_t>(valueIndex) + 1) * kMsPerSec);
}

void CSamplePlayerDlg::OnRouteClicked(double latitude, double longitude) {
    const int64_t nearest = NearestValidFixTo(m_timeline.fixes, latitude, longitude);
    if (nearest < 0 || m_timelinePaths.empty()) return;
    int64_t ms = m_timeline.fixes[static_cast<size_t>(nearest)].timeMs;
    const std::vector<std::string> trip = TripPaths();
    if (!trip.empty() && !m_tripStartsMs.empty()) {
        const size_t index = TripRecordingAt(m_tripStartsMs, ms);
        ms -= m_tripStartsMs[index];
        if (index != TripIndex() && !OpenRecording(trip[index], static_cast<int>(index))) return;
    }
    SeekToRecordingMs(ms);
}

// After a seek the player counts from a second before the second it landed on, so the time
// of the event jumped to stands for "now" until the position has passed it.
void CSamplePlayerDlg::OnNextEvent() {
    const int64_t now = std::max(TimelineOffsetMs() + m_player.GetPositionMs(), m_nLastJumpMs);
    for (const DrivingEvent& e : m_events) {
        if (e.timeMs <= now + kNextEventLeadMs) continue;
        const std::vector<std::string> trip = TripPaths();
        const size_t index = trip.empty() ? 0 : TripRecordingAt(m_tripStartsMs, e.timeMs);
        if (!trip.empty() && index != TripIndex() &&
            !OpenRecording(trip[index], static_cast<int>(index)))
            return;
        m_nLastJumpMs = e.timeMs;
        SeekToRecordingMs(e.timeMs - TimelineOffsetMs());
        return;
    }
}

void CSamplePlayerDlg::OnPreviousEvent() {
    const int64_t position = TimelineOffsetMs() + m_player.GetPositionMs();
    const int64_t now = m_nLastJumpMs > position ? m_nLastJumpMs : position;
    for (auto e = m_events.rbegin(); e != m_events.rend(); ++e) {
        if (e->timeMs >= now - kPreviousEventLagMs) continue;
        const std::vector<std::string> trip = TripPaths();
        const size_t index = trip.empty() ? 0 : TripRecordingAt(m_tripStartsMs, e->timeMs);
        if (!trip.empty() && index != TripIndex() &&
            !OpenRecording(trip[index], static_cast<int>(index)))
            return;
        m_nLastJumpMs = e->timeMs;
        SeekToRecordingMs(e->timeMs - TimelineOffsetMs());
        return;
    }
}

// ---- in and out marks, clip export ----

void CSamplePlayerDlg::OnMarkIn() {
    if (!IsPlayerActive() || !IsTimelineOffsetKnown()) return;
    m_nInMs = TimelineOffsetMs() + m_player.GetPositionMs();
    if (m_nOutMs >= 0 && m_nOutMs <= m_nInMs) m_nOutMs = -1;
    ShowTimelineMarks();
}

void CSamplePlayerDlg::OnMarkOut() {
    if (!IsPlayerActive() || !IsTimelineOffsetKnown()) return;
    m_nOutMs = TimelineOffsetMs() + m_player.GetPositionMs();
    if (m_nInMs >= 0 && m_nInMs >= m_nOutMs) m_nInMs = -1;
    ShowTimelineMarks();
}

QString CSamplePlayerDlg::RunExportPathDialog(const QString& proposedPath) {
    return QFileDialog::getSaveFileName(this, Text(IDS_EXPORT_TITLE_KO, IDS_EXPORT_TITLE_EN),
                                        proposedPath, Text(IDS_MP4_FILTER_KO, IDS_MP4_FILTER_EN));
}

bool CSamplePlayerDlg::RunExportOptionsDialog(CExportDlg::Choice* choice) {
    return CExportDlg::ChooseOptions(this, choice);
}

void CSamplePlayerDlg::RunExportDialog(CExportDlg& dialog) {
    dialog.exec();
}

void CSamplePlayerDlg::OnExportClip() {
    // The clip's span is measured on the walked timeline.
    if (m_timelinePaths.empty() || !IsPlayerActive() || IsTimelineLoading()) return;
    ClipRequest request;
    request.paths = m_timelinePaths;
    request.fromMs = m_nInMs >= 0 ? m_nInMs : 0;
    request.toMs = m_nOutMs > request.fromMs ? m_nOutMs : m_timeline.durationMs;
    const bool wasPlaying = m_playback.State() == PlaybackState::Playing;
    OnBnClickedButtonPause();
    CExportDlg::Choice choice = m_exportChoice;
    const QString chosen =
        RunExportOptionsDialog(&choice)
            ? RunExportPathDialog(ProposedClipPath(request.paths, m_tripStartsMs, request.fromMs))
            : QString();
    if (!chosen.isEmpty()) {
        request.outPath = chosen.toStdString();
        const std::string gpxPath = ClipGpx::PathBeside(request.outPath);
        // The file dialog's own "replace?" question knows nothing of recordings: a recording
        // chosen anyway is refused here, before anything is written.
        std::string refusal;
        if (CheckExportTargets(request.paths, {request.outPath, gpxPath}, &refusal)) {
            m_exportChoice = choice;
            choice.unitsPerG = m_eventThresholds.unitsPerG;
            CExportDlg dialog(this, request, gpxPath, choice);
            dialog.Start();
            RunExportDialog(dialog);
        } else {
            ShowMessage(QString::fromStdString(FormatResourceString(
                PickStringId(IDS_EXPORT_FAILED_KO, IDS_EXPORT_FAILED_EN), refusal.c_str())));
        }
    }
    // A quit during the export has closed the player for good.
    if (wasPlaying && !m_bQuitConfirmed) OnBnClickedButtonPlay();
}
