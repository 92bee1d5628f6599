// The timeline of what plays: driving events (slider and graph marks, jumps), in and out
// marks and clip export, the route on the map and seeking from the map and the graph, and the
// trips view of the list with playing a trip recording after recording.
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QTreeWidget>
#include <algorithm>

#include "app/CExportDlg.h"
#include "app/CSamplePlayerDlg.h"
#include "app/EventScanner.h"
#include "app/ListPathIndex.h"
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
constexpr int kTypeColumn = 1;
constexpr int kDateColumn = 2;
constexpr int kSizeColumn = 4;
constexpr int kPathColumn = 5;
constexpr int kColumnCount = 6;
// "2014.03.07 18:25:09": where the time of day starts.
constexpr size_t kTimeOfDayAt = 11;
constexpr int kTripPathsRole = Qt::UserRole + 1;
constexpr int kEventCountRole = Qt::UserRole + 2;
// The mark of a recording holding events: "!" on a red badge (the braking colour of the
// slider's marks), readable on the black rows and on the amber of the selected one.
constexpr int kEventMarkSize = 11;
const QColor kEventMarkBadge(229, 72, 77);
const QColor kEventMarkLine(255, 255, 255);

constexpr int IDS_EXPORT_TITLE_KO = 630, IDS_EXPORT_TITLE_EN = 631;
constexpr int IDS_MARK_IN_KO = 632, IDS_MARK_IN_EN = 633;
constexpr int IDS_MARK_OUT_KO = 634, IDS_MARK_OUT_EN = 635;
constexpr int IDS_MP4_FILTER_KO = 648, IDS_MP4_FILTER_EN = 649;
constexpr int IDS_EXPORT_FAILED_KO = 640, IDS_EXPORT_FAILED_EN = 641;
// Numbered alternatives tried when the proposed clip name is taken.
constexpr int kProposalAttempts = 100;
constexpr int IDS_TRIP_KO = 650, IDS_TRIP_EN = 651;
constexpr int IDS_EVENT_COUNT_KO = 652, IDS_EVENT_COUNT_EN = 653;
constexpr int IDS_SHOW_TRIPS_KO = 654, IDS_SHOW_TRIPS_EN = 655;
constexpr int IDS_SHOW_RECORDINGS_KO = 656, IDS_SHOW_RECORDINGS_EN = 657;
constexpr int IDS_PREVIOUS_EVENT_KO = 658, IDS_PREVIOUS_EVENT_EN = 659;
constexpr int IDS_NEXT_EVENT_KO = 660, IDS_NEXT_EVENT_EN = 661;
constexpr int IDS_ONE_EVENT_KO = 720, IDS_ONE_EVENT_EN = 721;

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

QIcon EventMarkIcon() {
    static const QIcon icon = [] {
        QIcon made;
        for (int scale : {1, 2}) {
            QPixmap pixmap(kEventMarkSize * scale, kEventMarkSize * scale);
            pixmap.setDevicePixelRatio(scale);
            pixmap.fill(Qt::transparent);
            QPainter painter(&pixmap);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(kEventMarkBadge);
            painter.drawEllipse(QRectF(0, 0, kEventMarkSize, kEventMarkSize));
            // An exclamation mark, drawn as a stroke and a dot.
            const double middle = kEventMarkSize / 2.0;
            QPen pen(kEventMarkLine, 1.7);
            pen.setCapStyle(Qt::RoundCap);
            painter.setPen(pen);
            painter.drawLine(QPointF(middle, 2.6), QPointF(middle, 6.0));
            painter.setPen(Qt::NoPen);
            painter.setBrush(kEventMarkLine);
            painter.drawEllipse(QPointF(middle, 8.4), 0.95, 0.95);
            painter.end();
            // The same face on the selected row: no tint over the amber.
            made.addPixmap(pixmap, QIcon::Normal);
            made.addPixmap(pixmap, QIcon::Selected);
        }
        return made;
    }();
    return icon;
}

CatalogueView ViewOfFolder(const std::string& folderPath) {
    const std::string name = folderPath.substr(folderPath.find_last_of('/') + 1);
    if (name == kEventFolder) return CatalogueView::Event;
    if (name == kParkingFolder) return CatalogueView::Parking;
    if (name == kUserFolder) return CatalogueView::User;
    return CatalogueView::Driving;
}

std::string FormatLength(int64_t ms) {
    const int64_t s = ms / kMsPerSec;
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                      static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(s / 60),
                      static_cast<long long>(s % 60));
    return text;
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
        if (m_pMapView) m_pMapView->SetRoute({});
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
    if (m_pMapView) {
        std::vector<CMapView::RoutePoint> route;
        for (const TimedFix& f : m_timeline.fixes)
            if (f.fix.valid)
                route.push_back({f.fix.GetLatitude(), f.fix.GetLongitude(), f.fix.GetSpeed()});
        m_pMapView->SetRoute(std::move(route));
    }
    ShowTimelineMarks();
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
    if (m_pMapView && m_pConnectedMap != m_pMapView) {
        m_pConnectedMap = m_pMapView;
        connect(m_pMapView, &CMapView::routeClicked, this,
                [this](double lat, double lon) { OnRouteClicked(lat, lon); });
    }
}

// The list's own hooks: its menu (recordings or trips) and double clicks on the recordings
// under a trip row (the list's handler takes the rows themselves).
void CSamplePlayerDlg::ConnectListHooks() {
    if (m_bListHooked) return;
    m_bListHooked = true;
    m_listFilename->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_listFilename, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        menu.addAction(m_bTripsView ? Text(IDS_SHOW_RECORDINGS_KO, IDS_SHOW_RECORDINGS_EN)
                                    : Text(IDS_SHOW_TRIPS_KO, IDS_SHOW_TRIPS_EN),
                       this, [this] { OnToggleTrips(); });
        menu.exec(m_listFilename->viewport()->mapToGlobal(at));
    });
    connect(m_listFilename, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) {
                if (item && item->parent()) OnTripRecordingDoubleClick(item);
            });
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

// ---- keys ----

bool CSamplePlayerDlg::HandleTimelineKey(QKeyEvent* event) {
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;
    switch (event->key()) {
        case Qt::Key_I:
            OnMarkIn();
            return true;
        case Qt::Key_O:
            OnMarkOut();
            return true;
        case Qt::Key_P:
            OnPreviousEvent();
            return true;
        case Qt::Key_N:
            OnNextEvent();
            return true;
        case Qt::Key_X:
            OnExportClip();
            return true;
        case Qt::Key_T:
            OnToggleTrips();
            return true;
        default:
            return false;
    }
}

// ---- the list: events per recording, trips ----

void CSamplePlayerDlg::StartEventScan() {
    m_bTripsView = false;
    SetListTreeMode(false);
    ConnectListHooks();
    if (!m_pEventScanner) {
        m_pEventScanner = new EventScanner(this);
        connect(m_pEventScanner, &EventScanner::found, this,
                [this](const QString& path, int count) { OnEventScanResult(path, count); });
    }
    std::vector<std::string> paths;
    for (int row = 0; row < m_listFilename->topLevelItemCount(); ++row)
        paths.push_back(PathCell(row));
    m_pEventScanner->Start(std::move(paths), ReadEventThresholds(ConfigPath()));
}

void CSamplePlayerDlg::OnEventScanResult(const QString& path, int count) {
    if (count <= 0 || m_bTripsView) return;
    // One result arrives per recording listed, so finding the row must not walk the list.
    QTreeWidgetItem* item = m_listFilename->topLevelItem(m_pListIndex->RowOf(path));
    if (!item) return;  // the list has changed since the scan started
    const QString tip = count == 1
                            ? Text(IDS_ONE_EVENT_KO, IDS_ONE_EVENT_EN)
                            : QString::fromStdString(FormatResourceString(
                                  PickStringId(IDS_EVENT_COUNT_KO, IDS_EVENT_COUNT_EN), count));
    item->setIcon(kTypeColumn, EventMarkIcon());
    item->setData(kTypeColumn, kEventCountRole, count);
    for (int column : {kTypeColumn, kDateColumn}) item->setToolTip(column, tip);
}

void CSamplePlayerDlg::OnToggleTrips() {
    if (m_strDrivePath.empty()) return;
    const CatalogueView view = ViewOfFolder(m_strFolderPath);
    if (m_bTripsView) {
        m_bTripsView = false;
        static const std::pair<CatalogueView, void (CSamplePlayerDlg::*)()> kCommands[] = {
            {CatalogueView::Driving, &CSamplePlayerDlg::OnBnClickedButtonDriving},
            {CatalogueView::Event, &CSamplePlayerDlg::OnBnClickedButtonEvent},
            {CatalogueView::Parking, &CSamplePlayerDlg::OnBnClickedButtonParking},
            {CatalogueView::User, &CSamplePlayerDlg::OnBnClickedButtonUser}};
        for (const auto& [v, command] : kCommands)
            if (v == view) (this->*command)();
        return;
    }
    FillTrips(view);
}

void CSamplePlayerDlg::FillTrips(CatalogueView view) {
    std::vector<Trip> trips;
    if (!ListTrips(CardRoot(m_strDrivePath), view, trips)) return;
    if (m_pEventScanner) m_pEventScanner->Stop();
    m_bTripsView = true;
    m_nCurIndex = -1;
    m_listFilename->clear();
    SetListTreeMode(true);
    ConnectListHooks();
    const QString type = Text(IDS_TRIP_KO, IDS_TRIP_EN);
    const auto align = [](QTreeWidgetItem* item) {
        for (int column = 0; column < kColumnCount; ++column)
            item->setTextAlignment(
                column, (column == 0 ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter);
    };
    for (const Trip& trip : trips) {
        QStringList paths;
        for (const TripRecording& r : trip.recordings) paths << QString::fromStdString(r.path);
        const std::string date =
            FormatTripStart(trip.StartSec()) + "  " + FormatLength(trip.LengthMs());
        auto* item = new QTreeWidgetItem(
            QStringList{QString::fromStdString(trip.recordings.front().fileName), type,
                        QString::fromStdString(date), QString::number(trip.recordings.size()),
                        QString::fromStdString(SizeCell(trip.SizeBytes())), paths.front()});
        align(item);
        item->setData(0, kTripPathsRole, paths);
        item->setToolTip(kDateColumn, paths.join(QLatin1Char('\n')));
        // Its recordings, in playing order: the start (the day is the trip's) and length.
        for (const TripRecording& r : trip.recordings) {
            const std::string start = FormatTripStart(r.startSec);
            const std::string when =
                (start.size() > kTimeOfDayAt ? start.substr(kTimeOfDayAt) : r.fileName) + "  " +
                FormatLength(r.durationMs);
            auto* child =
                new QTreeWidgetItem(item, QStringList{QString::fromStdString(r.fileName),
                                                      QString::fromStdString(TypeCell(r.fileName)),
                                                      QString::fromStdString(when), QString(),
                                                      QString::fromStdString(SizeCell(r.sizeBytes)),
                                                      QString::fromStdString(r.path)});
            align(child);
            child->setToolTip(kDateColumn, QString::fromStdString(r.path));
        }
        m_listFilename->addTopLevelItem(item);
    }
    if (QTreeWidgetItem* first = m_listFilename->topLevelItem(0)) {
        m_listFilename->setCurrentItem(first);
        first->setSelected(true);
    }
    (void)kSizeColumn;
}

bool CSamplePlayerDlg::OnTripDoubleClick(int row) {
    QTreeWidgetItem* item = m_listFilename->topLevelItem(row);
    if (!item || item->data(0, kTripPathsRole).toStringList().isEmpty()) {
        m_playback.LeaveTrip();
        return false;
    }
    PlayTripFrom(row, 0);
    return true;
}

void CSamplePlayerDlg::OnTripRecordingDoubleClick(QTreeWidgetItem* item) {
    QTreeWidgetItem* trip = item ? item->parent() : nullptr;
    if (!trip) return;
    PlayTripFrom(m_listFilename->indexOfTopLevelItem(trip),
                 static_cast<size_t>(trip->indexOfChild(item)));
}

// PLAY in the trips view plays the trip selected, or the trip from the recording selected.
bool CSamplePlayerDlg::PlaySelectedTrip(QTreeWidgetItem* item) {
    if (!m_bTripsView || !item) return false;
    if (item->parent())
        OnTripRecordingDoubleClick(item);
    else
        OnTripDoubleClick(m_listFilename->indexOfTopLevelItem(item));
    return true;
}

bool CSamplePlayerDlg::PlayTripFrom(int row, size_t index) {
    QTreeWidgetItem* item = m_listFilename->topLevelItem(row);
    const QStringList paths = item ? item->data(0, kTripPathsRole).toStringList() : QStringList();
    if (index >= static_cast<size_t>(paths.size())) return false;
    m_playback.SetTrip(paths);
    m_nCurIndex = row;
    if (!OpenRecording(paths[static_cast<qsizetype>(index)].toStdString(), static_cast<int>(index)))
        return false;
    // A collapsed trip shows as its row; an expanded one shows the recording playing.
    if (!item->isExpanded()) SelectOnly(row, true);
    m_listFilename->viewport()->update();
    return true;
}

void CSamplePlayerDlg::MarkTripRecordingInList() {
    if (!m_bTripsView || m_playback.TripPaths().isEmpty()) return;
    QTreeWidgetItem* trip = m_listFilename->topLevelItem(m_nCurIndex);
    if (!trip || !trip->isExpanded()) return;
    QTreeWidgetItem* playing = trip->child(static_cast<int>(TripIndex()));
    if (!playing) return;
    m_listFilename->clearSelection();
    playing->setSelected(true);
    m_listFilename->setCurrentItem(playing, 0, QItemSelectionModel::NoUpdate);
    m_listFilename->scrollToItem(playing);
}

bool CSamplePlayerDlg::PlayTripOf(const std::string& path, int row) {
    Trip trip;
    size_t index = 0;
    if (!TripOfRecording(path, trip, index) || trip.recordings.size() < 2) return false;
    QStringList paths;
    for (const TripRecording& r : trip.recordings) paths << QString::fromStdString(r.path);
    m_playback.SetTrip(paths);
    m_nCurIndex = row;
    if (row >= 0) SelectOnly(row, true);
    return OpenRecording(trip.recordings[index].path, static_cast<int>(index));
}

void CSamplePlayerDlg::FollowTripRow(const std::string& path) {
    if (m_bTripsView || m_playback.TripPaths().isEmpty()) return;
    const int row = RowOfPath(path);
    if (row < 0 || row == m_nCurIndex) return;
    m_nCurIndex = row;
    SelectOnly(row, false);
}

bool CSamplePlayerDlg::PlayNextInTrip() {
    const QStringList& trip = m_playback.TripPaths();
    if (trip.isEmpty()) return false;
    const int next = static_cast<int>(TripIndex()) + 1;
    if (next >= trip.size()) {
        m_playback.LeaveTrip();  // the trip is over; the list carries on as usual
        return false;
    }
    OpenRecording(trip[next].toStdString(), next);
    return true;
}
