#pragma once
// The timeline of what plays: a recording, or a trip's recordings joined one after another.
// It walks the telemetry of what opens (TimelineLoader, off the GUI thread), marks the driving
// events on the position slider and the graph, draws the route on the map, keeps the in and
// out marks, jumps to the next or previous event (or one picked from their list, which it
// owns: EventListPanel), seeks from graph and route clicks and exports the marked stretch as
// a clip (ClipExportCommand).
//
// GUI thread only. It shows through the telemetry panel (the camera clock's fixes, the whole
// timeline's graph, the map's route), says its notes through the window's dialogs and reads
// the speed unit from the viewer's settings. What stays with the window (the trip on screen,
// opening another recording of the trip, seeking and showing where it landed, play and pause,
// the export's questions) is reached through Host. Times are on the timeline of what plays
// unless named otherwise.

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/dialogs/ClipExportCommand.h"
#include "library/TripTimeline.h"
#include "telemetry/EventDetector.h"
#include "telemetry/TelemetryLogic.h"
#include "telemetry/TelemetryWalk.h"

class CBitmapSlider;
class CGraphStatic;
class CMapView;
class EventListPanel;
class PlaybackController;
class TelemetryPanel;
class TimelineLoader;
class ViewerSettings;
class WindowDialogs;
struct TimelineResult;
class QWidget;

class TimelinePanel : public QObject {
    Q_OBJECT
public:
    struct Host {
        // The trip set on the controller (empty outside one) and its recording on screen.
        // A pointer, so that a callable returning a temporary does not compile.
        std::function<const std::vector<std::string>*()> tripPaths;
        std::function<size_t()> tripIndex;
        // The recording on screen; empty when none.
        std::function<std::string()> currentPath;
        std::function<bool()> isPlayerActive;
        // Opens recording tripIndex of the trip; false when it could not be opened.
        std::function<bool(const std::string&, int)> openRecording;
        // Seeks to a time of the recording on screen and shows where it landed.
        std::function<void(int64_t)> seekToRecordingMs;
        // Seeks to a time on the timeline of what plays (the controller opens another
        // recording of the trip when it lies there) and shows where it landed; false when
        // nothing could be sought or the recording failed.
        std::function<bool(int64_t)> seekOnTimeline;
        std::function<void()> pause;
        std::function<void()> play;
        // The user confirmed quitting: the player is closed for good.
        std::function<bool()> quitConfirmed;
        std::function<void()> markTripRecordingInList;
        ClipExportCommand::Dialogs exportDialogs;
    };

    // window: parent of the slider's menu and of the export dialog.
    TimelinePanel(PlaybackController& playback, ViewerSettings& settings, TelemetryPanel& telemetry,
                  WindowDialogs& dialogs, CBitmapSlider& slider, CGraphStatic& graph,
                  QWidget& window, Host host);
    ~TimelinePanel() override;

    // At open: starts the walk of the whole recording's (or trip's) telemetry for its events
    // (slider and graph marks) and its route (the map); they are shown when it arrives, while
    // the recording already plays.
    void LoadTimeline(const std::string& path);
    // The walk started at open has not arrived yet.
    bool IsTimelineLoading() const;
    // Cancels the walk (the window is closing).
    void Stop();
    TimelineLoader* TimelineWalker() const { return m_pTimelineLoader; }
    // The fixes of the recording on screen give the camera clock's offset from UTC.
    void ApplyClockFixes();
    // The slider spans what plays: a trip's whole timeline once its lengths are known, the
    // recording on screen until then.
    void ShowTimelineMarks();

    void OnNextEvent();
    void OnPreviousEvent();
    void OnMarkIn();
    void OnMarkOut();
    void OnExportClip();
    // The evidence package of the same stretch, its stills at the picture on screen.
    void OnEvidencePackage();
    // "Hard braking 0.52 g · 18:27:38 · 53 km/h": the event's kind and peak, its time of day
    // on the camera clock and the speed then (each part left out where unknown).
    QString EventLine(const DrivingEvent& event) const;
    // The parts of that line, each empty where unknown.
    struct EventFields {
        QString kind, peak, timeOfDay, speed;
    };
    EventFields DescribeEvent(const DrivingEvent& event) const;
    // "18:27:38": the camera-clock time of a moment of the timeline, from the name of the
    // recording it lies in; empty when unknown.
    QString TimeOfDayAt(int64_t timelineMs) const;
    // Jumps to event index of Events() and names it there, as the next and previous do.
    void JumpToEvent(size_t index);
    // The list of the events of what plays, in a window of its own (made at first use).
    void ShowEventList();
    EventListPanel* EventList() const;
    void OnGraphValueClicked(int valueIndex);
    void OnRouteClicked(double latitude, double longitude);

    // The valid fix of the walk nearest the picture on screen (within 1.5 s): 1 with *fix set;
    // 0 when there is none; -1 until the walk of what plays has arrived.
    int FixOnScreen(CGPSData* fix) const;

    const std::vector<DrivingEvent>& Events() const { return m_events; }
    const RecordingTelemetry& Telemetry() const { return m_timeline; }
    // The part of the walk that belongs to one of its recordings, on that recording's own
    // times; empty until the walk has arrived or when path is not part of it.
    RecordingTelemetry PartOf(const std::string& path) const;
    // In and out marks (a trip's recordings joined), -1: unset.
    int64_t InMarkMs() const { return m_nInMs; }
    int64_t OutMarkMs() const { return m_nOutMs; }

    // Shows a walk's result, when it is the walk of what plays now.
    void OnTimelineLoaded(const TimelineResult& result);

signals:
    // Events() changed: the walk arrived, or what plays changed.
    void eventsChanged();
    // The slider's menu asked for the redaction tool.
    void redactionToolAsked();

private:
    std::optional<ClipRequest> MarkedSpan() const;
    // Runs a modal command paused, and plays on after it when it was playing.
    void RunPaused(const std::function<void()>& command);
    void ConnectTimelineViews();
    void ShowRoute();
    void ShowSliderMenu(const QPoint& at);
    // Where the recording on screen starts on the timeline (0 outside a trip).
    int64_t TimelineOffsetMs() const;
    // Known once the walk has arrived (at once for a single recording, which starts at 0).
    bool IsTimelineOffsetKnown() const;
    int64_t NowMs() const;
    // Seeks to timeline time ms, in another recording of the trip when it lies there; false
    // when that recording could not be opened. JumpTo is the same for a jump to an event.
    bool SeekOnTimeline(int64_t ms);
    bool OpenAndSeek(int64_t ms);
    bool JumpTo(int64_t ms);
    int64_t EventSearchFromMs() const;
    // EventLine of event index, worked out once per walk and speed unit: a trip may hold
    // thousands of events, and the marks are laid again at every change of recording.
    const QString& CachedEventLine(size_t index) const;

    PlaybackController& m_playback;
    ViewerSettings& m_settings;
    TelemetryPanel& m_telemetry;
    WindowDialogs& m_dialogs;
    CBitmapSlider& m_slider;
    CGraphStatic& m_graph;
    QWidget& m_window;
    Host m_host;
    ClipExportCommand m_exporter;

    // m_timeline, m_events and m_trip belong to what plays; they are empty until
    // m_pTimelineLoader delivers the walk of m_timelinePaths.
    RecordingTelemetry m_timeline;
    std::vector<DrivingEvent> m_events;
    mutable std::vector<QString> m_eventLines;  // EventLine of each of m_events; see above
    mutable SpeedUnit m_eventLinesUnit = SpeedUnit::Kmh;
    EventThresholds m_eventThresholds;
    int64_t m_nInMs = -1;
    int64_t m_nOutMs = -1;
    int64_t m_nLastJumpMs = -1;                // the event last jumped to
    bool m_bJumping = false;                   // the seek asked is the jump's own
    bool m_bJumpOpening = false;               // the open asked is the jump's own
    int64_t m_nGraphMsPerValue = 0;            // the graph holds the whole timeline: a value's
                                               // stretch; 0: it scrolls with what plays
    std::vector<std::string> m_timelinePaths;  // what m_timeline was read from
    TripTimeline m_trip;                       // the recordings of m_timeline end to end
    QPointer<CMapView> m_pConnectedMap;        // the map view whose clicks reach OnRouteClicked
    bool m_bGraphConnected = false;
    TimelineLoader* m_pTimelineLoader = nullptr;  // child; walks what opens, off this thread
    // A child of the window (a window of its own beside it) that reads this object: it goes
    // with this object. Null until first shown.
    QPointer<EventListPanel> m_pEventList;
};
