#include "app/panels/TimelinePanel.h"

#include <QMenu>
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "app/dialogs/WindowDialogs.h"
#include "app/panels/EventKinds.h"
#include "app/panels/EventListPanel.h"
#include "app/panels/TelemetryPanel.h"
#include "app/panels/TimelineLoader.h"
#include "app/playback/PlaybackController.h"
#include "app/view/ViewerSettings.h"
#include "controls/CBitmapSlider.h"
#include "support/QtText.h"
#include "support/StringTable.h"
#include "telemetry/CGraphStatic.h"
#include "telemetry/CMapView.h"
#include "telemetry/CameraClock.h"
#include "telemetry/EventMoment.h"
#include "telemetry/MomentStill.h"

namespace {

constexpr int64_t kMsPerSec = 1000;
// An event this close ahead of the position is the one being watched: "next" skips it.
constexpr int64_t kNextEventLeadMs = 500;
// An event this close behind the position is the one being watched: "previous" skips it (the
// landing of a jump counts as its event's time, see EventSearchFromMs).
constexpr int64_t kPreviousEventLagMs = 500;

}  // namespace

TimelinePanel::TimelinePanel(PlaybackController& playback, ViewerSettings& settings,
                             TelemetryPanel& telemetry, WindowDialogs& dialogs,
                             CBitmapSlider& slider, CGraphStatic& graph, QWidget& window, Host host)
    : m_playback(playback),
      m_settings(settings),
      m_telemetry(telemetry),
      m_dialogs(dialogs),
      m_slider(slider),
      m_graph(graph),
      m_window(window),
      m_host(std::move(host)),
      m_exporter(window, m_host.exportDialogs) {
    // The event jumped to stands for "now" until the picture is moved by any other means.
    connect(&m_playback, &PlaybackController::seeked, this, [this] {
        if (!m_bJumping) m_nLastJumpMs = -1;
    });
    connect(&m_playback, &PlaybackController::opened, this, [this] {
        if (!std::exchange(m_bJumpOpening, false)) m_nLastJumpMs = -1;
    });
}

TimelinePanel::~TimelinePanel() {
    delete m_pEventList;
}

// ---- the walk of what plays ----

void TimelinePanel::LoadTimeline(const std::string& path) {
    // The controller left the trip when anything but one of its recordings was opened.
    std::vector<std::string> paths = *m_host.tripPaths();
    if (paths.empty()) paths.push_back(path);
    if (paths != m_timelinePaths) {
        // What belonged to the walk before goes now; the new walk fills it in when it arrives.
        m_timelinePaths = paths;
        m_eventThresholds = ReadEventThresholds(ViewerSettings::Path());
        m_timeline = {};
        m_events.clear();
        m_eventLines.clear();
        // Until the walk gives the lengths, a moment counts from the first recording's start.
        m_trip = TripTimeline({}, TripTimeline::ClockStartsFromNames(paths));
        m_nInMs = m_nOutMs = -1;
        m_nLastJumpMs = -1;
        ConnectTimelineViews();
        if (CMapView* map = m_telemetry.MapView()) map->SetRoute({});
        if (!m_pTimelineLoader) {
            m_pTimelineLoader = new TimelineLoader(this);
            connect(m_pTimelineLoader, &TimelineLoader::loaded, this,
                    [this](const TimelineResult& result) { OnTimelineLoaded(result); });
        }
        m_pTimelineLoader->Start(std::move(paths), m_eventThresholds);
        emit eventsChanged();
    }
    m_host.markTripRecordingInList();
    ShowTimelineMarks();
}

bool TimelinePanel::IsTimelineLoading() const {
    return m_pTimelineLoader && m_pTimelineLoader->IsPending();
}

void TimelinePanel::Stop() {
    if (m_pTimelineLoader) m_pTimelineLoader->Stop();
}

void TimelinePanel::OnTimelineLoaded(const TimelineResult& result) {
    if (result.paths != m_timelinePaths) return;  // belongs to what was open before
    m_timeline = result.timeline;
    m_events = result.events;
    m_eventLines.clear();
    m_trip = TripTimeline::FromStarts(result.startsMs, result.timeline.durationMs, result.paths);
    ApplyClockFixes();
    ShowRoute();
    ShowTimelineMarks();
    emit eventsChanged();
}

void TimelinePanel::ShowRoute() {
    CMapView* map = m_telemetry.MapView();
    if (!map) return;
    std::vector<CMapView::RoutePoint> route;
    for (const TimedFix& f : m_timeline.fixes)
        if (f.fix.IsUsable())
            route.push_back({f.fix.GetLatitude(), f.fix.GetLongitude(), f.fix.GetSpeed()});
    // Each event where the car was then: at the valid fix nearest its time.
    std::vector<CMapView::RouteEvent> places;
    for (size_t i = 0; i < m_events.size(); ++i) {
        const DrivingEvent& e = m_events[i];
        const int64_t nearest = NearestValidFix(m_timeline.fixes, e.timeMs);
        if (nearest < 0) continue;
        const CGPSData& fix = m_timeline.fixes[static_cast<size_t>(nearest)].fix;
        places.push_back({fix.GetLatitude(), fix.GetLongitude(), EventColour(e.kind),
                          CachedEventLine(i).toStdString()});
    }
    map->SetRoute(std::move(route), std::move(places));
}

void TimelinePanel::ApplyClockFixes() {
    if (m_timelinePaths.empty() || m_timeline.fixes.empty()) return;
    const std::vector<std::string>& trip = *m_host.tripPaths();
    if (trip.empty()) {
        if (m_timelinePaths.front() == m_host.currentPath())
            m_telemetry.Clock().SetFixes(m_timeline.fixes);
    } else if (m_timelinePaths == trip) {
        const std::vector<int64_t>& withEnd = m_trip.StartsMs();
        m_telemetry.Clock().SetTripFixes(m_timeline.fixes, {withEnd.begin(), withEnd.end() - 1},
                                         m_host.tripIndex());
    }
    // The picture's time of day again, by the new fixes.
    m_telemetry.ShowClock(m_playback.Position() - m_playback.RecordingStartMs());
}

RecordingTelemetry TimelinePanel::PartOf(const std::string& path) const {
    for (size_t i = 0; i < m_timelinePaths.size() && i < m_trip.Count(); ++i) {
        if (m_timelinePaths[i] == path)
            return RecordingPart(m_timeline, m_trip.StartMs(i), m_trip.LengthMs(i));
    }
    return {};
}

int64_t TimelinePanel::TimelineOffsetMs() const {
    const size_t index = m_host.tripIndex();
    return (!m_host.tripPaths()->empty() && index < m_trip.Count()) ? m_trip.StartMs(index) : 0;
}

bool TimelinePanel::IsTimelineOffsetKnown() const {
    return m_host.tripPaths()->empty() || m_host.tripIndex() < m_trip.Count();
}

int TimelinePanel::FixOnScreen(CGPSData* fix) const {
    if (m_timelinePaths.empty() || IsTimelineLoading() || !IsTimelineOffsetKnown()) return -1;
    const int64_t now = NowMs();
    const int64_t nearest = NearestValidFix(m_timeline.fixes, now);
    if (nearest < 0) return 0;
    const TimedFix& found = m_timeline.fixes[static_cast<size_t>(nearest)];
    if (std::llabs(found.timeMs - now) > kEventFixToleranceMs) return 0;
    *fix = found.fix;
    return 1;
}

int64_t TimelinePanel::NowMs() const {
    return TimelineOffsetMs() + m_playback.Position() - m_playback.RecordingStartMs();
}

// ---- slider, graph and map ----

void TimelinePanel::ShowTimelineMarks() {
    const int64_t offset = TimelineOffsetMs() - m_playback.RecordingStartMs();
    const int64_t length = m_playback.Duration();
    // The graph shows the whole walked timeline once it is there.
    m_nGraphMsPerValue =
        m_timeline.samples.empty()
            ? 0
            : m_telemetry.PlotWholeTimeline(m_timeline.samples, m_timeline.durationMs,
                                            [this](int64_t ms) { return TimeOfDayAt(ms); });
    std::vector<CBitmapSlider::Mark> sliderMarks;
    std::vector<CGraphStatic::Mark> graphMarks;
    for (const DrivingEvent& e : m_events) {
        if (m_nGraphMsPerValue > 0)
            graphMarks.push_back(
                {static_cast<int>(e.timeMs / m_nGraphMsPerValue), EventColour(e.kind)});
        const int64_t ms = e.timeMs - offset;
        if (ms < 0 || ms >= length) continue;
        const int second = static_cast<int>(ms / kMsPerSec);
        // Resting the pointer on a tick names its event, as a jump to it does.
        sliderMarks.push_back({second, EventColour(e.kind),
                               CachedEventLine(static_cast<size_t>(&e - m_events.data()))});
        // Scrolling, the graph holds one sample per second played, the first for second 1.
        if (m_nGraphMsPerValue == 0 && second >= 1)
            graphMarks.push_back({second - 1, EventColour(e.kind)});
    }
    m_slider.SetMarks(std::move(sliderMarks));
    m_graph.SetMarks(std::move(graphMarks));
    const auto onSlider = [&](int64_t ms) {
        return (ms >= offset && ms <= offset + length) ? static_cast<int>((ms - offset) / kMsPerSec)
                                                       : -1;
    };
    m_slider.SetInOut(m_nInMs >= 0 ? onSlider(m_nInMs) : -1,
                      m_nOutMs >= 0 ? onSlider(m_nOutMs) : -1);
}

void TimelinePanel::ConnectTimelineViews() {
    if (!m_bGraphConnected) {
        m_bGraphConnected = true;
        connect(&m_graph, &CGraphStatic::valueClicked, this,
                [this](int index) { OnGraphValueClicked(index); });
        m_slider.setContextMenuPolicy(Qt::CustomContextMenu);
        connect(&m_slider, &QWidget::customContextMenuRequested, this,
                [this](const QPoint& at) { ShowSliderMenu(at); });
    }
    // The map view may be made (or made again) later than the window.
    CMapView* map = m_telemetry.MapView();
    if (map && m_pConnectedMap != map) {
        m_pConnectedMap = map;
        connect(map, &CMapView::routeClicked, this,
                [this](double lat, double lon) { OnRouteClicked(lat, lon); });
    }
}

void TimelinePanel::ShowSliderMenu(const QPoint& at) {
    QMenu menu(&m_window);
    menu.addAction(Tr(texts::kMarkIn), this, [this] { OnMarkIn(); });
    menu.addAction(Tr(texts::kMarkOut), this, [this] { OnMarkOut(); });
    menu.addAction(ClipExportCommand::Title(), this, [this] { OnExportClip(); });
    menu.addAction(Tr(texts::kEvidenceTitle), this, [this] { OnEvidencePackage(); });
    menu.addSeparator();
    menu.addAction(Tr(texts::kPreviousEvent), this, [this] { OnPreviousEvent(); });
    menu.addAction(Tr(texts::kNextEvent), this, [this] { OnNextEvent(); });
    menu.addAction(Tr(texts::kEventList), this, [this] { ShowEventList(); });
    menu.addSeparator();
    menu.addAction(Tr(texts::kRedactionTool), this, [this] { emit redactionToolAsked(); });
    menu.exec(m_slider.mapToGlobal(at));
}

// ---- seeking ----

void TimelinePanel::OnGraphValueClicked(int valueIndex) {
    if (valueIndex < 0) return;
    if (m_nGraphMsPerValue > 0)
        JumpTo(valueIndex * m_nGraphMsPerValue);
    else
        m_host.seekToRecordingMs((static_cast<int64_t>(valueIndex) + 1) * kMsPerSec);
}

void TimelinePanel::OnRouteClicked(double latitude, double longitude) {
    const int64_t nearest = NearestValidFixTo(m_timeline.fixes, latitude, longitude);
    if (nearest < 0 || m_timelinePaths.empty()) return;
    SeekOnTimeline(m_timeline.fixes[static_cast<size_t>(nearest)].timeMs);
}

// The controller opens another recording of the trip itself once it knows the trip's lengths;
// until then the window is asked to open it. Play or pause stays as it was.
bool TimelinePanel::SeekOnTimeline(int64_t ms) {
    const std::vector<std::string>& trip = *m_host.tripPaths();
    if (trip.empty() || !m_playback.Timeline().Empty()) return m_host.seekOnTimeline(ms);
    return OpenAndSeek(ms);
}

// The path is copied for the open: opening may change the trip the list comes from. The
// recording opened plays, so a jump from pause pauses it again.
bool TimelinePanel::OpenAndSeek(int64_t ms) {
    const std::vector<std::string>& trip = *m_host.tripPaths();
    const size_t index = m_trip.RecordingAt(ms);
    if (index != m_host.tripIndex()) {
        const bool paused = m_playback.State() != PlaybackState::Playing;
        m_bJumpOpening = m_bJumping;
        if (!m_host.openRecording(std::string(trip[index]), static_cast<int>(index))) {
            m_bJumpOpening = false;
            return false;
        }
        if (paused) m_host.pause();
    }
    m_host.seekToRecordingMs(ms - TimelineOffsetMs());
    return true;
}

bool TimelinePanel::JumpTo(int64_t ms) {
    const int64_t before = m_nLastJumpMs;
    m_nLastJumpMs = ms;
    m_bJumping = true;
    const bool landed = SeekOnTimeline(ms);
    m_bJumping = false;
    // The controller went on into another recording: the event jumped to stays "now" once
    // that is open.
    if (landed && m_playback.State() == PlaybackState::Loading) m_bJumpOpening = true;
    if (!landed) m_nLastJumpMs = before;
    return landed;
}

// Where the next and previous event are searched from: the picture on screen. A seek lands on
// the whole second before the time asked, so after a jump the event jumped to stands for "now"
// until the picture is moved by other means (see the constructor) or plays past it.
int64_t TimelinePanel::EventSearchFromMs() const {
    return std::max(NowMs(), m_nLastJumpMs);
}

// After a seek the player counts from a second before the second it landed on, so the time
// of the event jumped to stands for "now" until the position has passed it.
void TimelinePanel::OnNextEvent() {
    const int64_t now = EventSearchFromMs();
    const auto next = std::find_if(m_events.begin(), m_events.end(), [&](const DrivingEvent& e) {
        return e.timeMs > now + kNextEventLeadMs;
    });
    if (next != m_events.end() && JumpTo(next->timeMs)) m_dialogs.ShowNote(EventLine(*next));
}

void TimelinePanel::OnPreviousEvent() {
    const int64_t now = EventSearchFromMs();
    const auto previous =
        std::find_if(m_events.rbegin(), m_events.rend(),
                     [&](const DrivingEvent& e) { return e.timeMs < now - kPreviousEventLagMs; });
    if (previous != m_events.rend() && JumpTo(previous->timeMs))
        m_dialogs.ShowNote(EventLine(*previous));
}

const QString& TimelinePanel::CachedEventLine(size_t index) const {
    const SpeedUnit unit = m_settings.Unit();
    if (m_eventLines.size() != m_events.size() || unit != m_eventLinesUnit) {
        m_eventLines.clear();
        m_eventLines.reserve(m_events.size());
        for (const DrivingEvent& e : m_events) m_eventLines.push_back(EventLine(e));
        m_eventLinesUnit = unit;
    }
    return m_eventLines[index];
}

QString TimelinePanel::EventLine(const DrivingEvent& event) const {
    const EventFields fields = DescribeEvent(event);
    QString line = fields.kind + QLatin1Char(' ') + fields.peak;
    const QString dot = QStringLiteral(" \u00b7 ");
    if (!fields.timeOfDay.isEmpty()) line += dot + fields.timeOfDay;
    if (!fields.speed.isEmpty()) line += dot + fields.speed;
    return line;
}

TimelinePanel::EventFields TimelinePanel::DescribeEvent(const DrivingEvent& event) const {
    EventFields fields;
    fields.kind = EventKindName(event.kind);
    fields.peak = QString::asprintf("%.2f g", event.peakG);
    fields.timeOfDay = TimeOfDayAt(event.timeMs);
    const EventMoment speed = DescribeEvents({event}, std::nullopt, m_timeline.fixes).front();
    if (speed.speedKmh) {
        const SpeedUnit unit = m_settings.Unit();
        fields.speed = QString::fromStdString(FormatEventSpeed(*speed.speedKmh, unit));
    }
    return fields;
}

QString TimelinePanel::TimeOfDayAt(int64_t timelineMs) const {
    // The time of day comes from the name of the recording the moment lies in.
    const std::optional<int64_t> clockMs = m_trip.ClockMsAt(timelineMs);
    return clockMs ? QString::fromStdString(FormatTimeOfDay(*clockMs)) : QString();
}

void TimelinePanel::JumpToEvent(size_t index) {
    if (index >= m_events.size()) return;
    const DrivingEvent event = m_events[index];
    if (JumpTo(event.timeMs)) m_dialogs.ShowNote(EventLine(event));
}

EventListPanel* TimelinePanel::EventList() const {
    return m_pEventList;
}

void TimelinePanel::ShowEventList() {
    if (!m_pEventList) m_pEventList = new EventListPanel(*this, &m_window);
    m_pEventList->Refill();  // the speed unit may have changed since
    m_pEventList->show();
    m_pEventList->raise();
}

// ---- in and out marks, clip export ----

void TimelinePanel::OnMarkIn() {
    if (!m_host.isPlayerActive() || !IsTimelineOffsetKnown()) return;
    m_nInMs = NowMs();
    if (m_nOutMs >= 0 && m_nOutMs <= m_nInMs) m_nOutMs = -1;
    ShowTimelineMarks();
}

void TimelinePanel::OnMarkOut() {
    if (!m_host.isPlayerActive() || !IsTimelineOffsetKnown()) return;
    m_nOutMs = NowMs();
    if (m_nInMs >= 0 && m_nInMs >= m_nOutMs) m_nInMs = -1;
    ShowTimelineMarks();
}

// The clip's span is measured on the walked timeline: from the in mark (or the start) to
// the out mark (or the end).
std::optional<ClipRequest> TimelinePanel::MarkedSpan() const {
    if (m_timelinePaths.empty() || !m_host.isPlayerActive() || IsTimelineLoading())
        return std::nullopt;
    ClipRequest request;
    request.paths = m_timelinePaths;
    request.fromMs = m_nInMs >= 0 ? m_nInMs : 0;
    request.toMs = m_nOutMs > request.fromMs ? m_nOutMs : m_timeline.durationMs;
    return request;
}

void TimelinePanel::RunPaused(const std::function<void()>& command) {
    const bool wasPlaying = m_playback.State() == PlaybackState::Playing;
    m_exporter.UseMph(m_settings.Unit() == SpeedUnit::Mph);
    m_host.pause();
    command();
    // A quit during the export has closed the player for good.
    if (wasPlaying && !m_host.quitConfirmed()) m_host.play();
}

void TimelinePanel::OnExportClip() {
    std::optional<ClipRequest> span = MarkedSpan();
    if (!span) return;
    const int64_t picture = EventSearchFromMs();
    const bool marked = m_nInMs >= 0 || m_nOutMs >= 0;
    RunPaused([&] {
        m_exporter.Export(std::move(*span), m_trip, m_eventThresholds.unitsPerG, picture, marked);
    });
}

// The package's stretch offered: the marks when set, else the picture on screen +-60 s
// within the trip; its stills are of the picture on screen.
void TimelinePanel::OnEvidencePackage() {
    std::optional<ClipRequest> span = MarkedSpan();
    if (!span) return;
    const int64_t picture = EventSearchFromMs();
    if (m_nInMs < 0 && m_nOutMs < 0) {
        const ClipExportCommand::Stretch moment =
            ClipExportCommand::MomentStretch(picture, m_timeline.durationMs);
        span->fromMs = moment.fromMs, span->toMs = moment.toMs;
    }
    RunPaused([&] { m_exporter.Package(*span, m_trip, picture, m_timeline.durationMs); });
}
