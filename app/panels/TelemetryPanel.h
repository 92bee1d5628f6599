#pragma once
// What the main window shows of the moment on screen beside the pictures: the time labels, the
// picture's camera-clock time (its label and the window title), the speed box, the G-sensor
// graph, the vehicle's marker on the map and the playback rate. The window decides when; this
// object knows how and owns the state of the display (the clock, the plotted second, the
// map page's binding).
//
// GUI thread only. The labels and the graph belong to the window (Qt deletes them with it);
// the map view is the window's too and is handed over, or taken back, with SetMapView.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/playback/PictureClock.h"
#include "telemetry/CGPSData.h"
#include "telemetry/CGSensorData.h"
#include "telemetry/EventDetector.h"
#include "telemetry/TelemetryLogic.h"
#include "telemetry/TelemetryWalk.h"

class CMapView;
class CTextData;
class MainWindowControls;
class PlaybackController;
class QMenu;
class QWidget;
struct GraphSeries;

class ViewerSettings;
class TelemetryPanel : public QObject {
public:
    // What the panel asks of the window.
    struct Host {
        // The recording on screen; empty when none.
        std::function<const std::string&()> currentPath;
        // The map page has just become able to take the marker: show the moment on screen
        // again (a paused picture sends no further positions).
        std::function<void()> showMomentAgain;
        // The valid fix of the picture on screen, from the walk of what plays: 1 with *fix set,
        // 0 when none lies near it, -1 until the walk is there (the fix is then chosen from
        // what the player has read so far). Unset: always -1.
        std::function<int(CGPSData* fix)> fixOnScreen{};
    };

    // window: whose title carries the picture's time.
    TelemetryPanel(QWidget& window, MainWindowControls& controls, PlaybackController& playback,
                   CTextData& textData, Host host);

    // The moment at timelineMs on the timeline of what plays: time labels, speed and map
    // marker, graph and clock. sliderSec: where the position slider stood before it followed.
    void ShowMoment(int64_t timelineMs, int64_t sliderSec);
    // The moment played out to: the time labels and the clock.
    void ShowEnd();
    // Nothing open: empty times, speed, graph and clock.
    void Clear();

    // "hh:mm:ss" of a count of seconds (hours past 99 keep all their digits).
    static std::string FormatHms(int64_t seconds);
    // "hh:mm:ss.t" of a count of milliseconds (the tenth cut, not rounded).
    static std::string FormatHmsTenths(int64_t ms);
    // Whether the times show tenths: whenever not simply playing.
    bool ShowsTenths() const;
    void UpdateTimeLabels(int64_t current, int64_t total);
    // The elapsed time (to the tenth where ShowsTenths) and the length.
    void ShowTimes(int64_t elapsedMs, int64_t totalSec);
    void ShowTotalTime(int64_t seconds);

    PictureClock& Clock() { return m_clock; }
    // The picture's date and time on the camera clock beside the position and in the title,
    // with the clock's offset from GPS time in the label's tooltip.
    void ShowClock(int64_t positionMs);
    QString ClockText() const;

    // The viewer's settings: the speed unit, which the speed box's own menu (its context
    // menu) chooses, and the sensor's units in one g. The panel follows their changes.
    void UseSettings(ViewerSettings& settings);
    // What that menu offers: each unit's label, the one in use checked.
    QMenu* MakeSpeedUnitMenu(QWidget* parent);
    SpeedUnit GetSpeedUnit() const { return m_eSpeedUnit; }
    // The speed box and the map's marker at the fix chosen for the position (and the slider).
    void ShowSpeedAndPosition(int64_t positionSec, int64_t sliderSec);
    // Shows the playback rate next to the time labels; nothing at normal speed.
    void ShowRate();

    // Gives the graph its scale and the three axes' series; once, after the controls exist.
    void SetUpGraph();
    // The sensor's units in one g (a settings key): the graph's scale and its tooltip.
    void SetUnitsPerG(double unitsPerG);
    // The ruler of the graph's scale: a round number of g (0.25, 0.5, 1, 2, 4, ...) as tall
    // as fits in half the graph's range, as graph units and as its text ("1 g").
    struct GraphRuler {
        int units = 0;
        QString text;
    };
    static GraphRuler RulerFor(double unitsPerG, int rangeUnits);
    // The tooltip of the graph's value at valueIndex (the sample of second valueIndex + 1, or
    // over the whole timeline the one its stretch is drawn by): the time, on the camera clock
    // when it is known, and each axis in g.
    QString GraphValueTip(int valueIndex) const;
    // The G-sensor samples collected so far, plotted again once a later second is reached;
    // nothing while the whole timeline is plotted.
    void ReplotGraph(int64_t positionSec);
    // The graph from here on holds the whole timeline of what plays (a recording, or a trip's
    // recordings joined): one value for each stretch of whole seconds (one second while
    // the graph's values last), each stretch drawn by its sample farthest from the timeline's
    // mean. The playhead follows the position on it. timeOfDay: the camera-clock time of a
    // timeline moment, empty when unknown. The playhead is put on it at once, paused or not.
    // Returns the milliseconds a value stands for; 0 when there is no sample (the graph
    // stays as it was).
    int64_t PlotWholeTimeline(const std::vector<TimedSample>& samples, int64_t durationMs,
                              std::function<QString(int64_t timelineMs)> timeOfDay);
    // Milliseconds of the timeline a graph value stands for; 0 while the graph scrolls.
    int64_t GraphMsPerValue() const { return m_nGraphMsPerValue; }
    // The values the whole-timeline graph draws, one per stretch (exposed for tests).
    static std::vector<CGSensorData> PickWholeTimeline(const std::vector<TimedSample>& samples,
                                                       int64_t durationMs, int64_t msPerValue);
    // Nothing plotted, and the next second plots again; redraw false leaves the picture to the
    // next plot.
    void ClearGraph(bool redraw = true);
    // What was shown of the recording before another one: the graph, the map's track and the
    // speed (a recording without fixes would otherwise keep the last one's).
    void ForgetRecording(bool redraw = true);
    GraphSeries* SeriesX() const { return m_pSeriesX; }
    int LastPlotSec() const { return m_nLastPlotSec; }

    // The map view whose marker and binding this panel keeps; null when it goes. navigated:
    // its page was requested, so a load of it is followed until the page answers.
    void SetMapView(CMapView* view, bool navigated);
    CMapView* MapView() const;
    // The map's page was requested.
    bool IsMapNavigated() const { return m_bMapNavigated; }
    bool IsMapReady() const { return m_bMapReady; }

private:
    void OnMapTimer();
    void ShowGraphScale();
    // m_plotted into the graph's three series, and the graph redrawn.
    void PlotSamples();

    QWidget& m_window;
    MainWindowControls& m_ui;
    PlaybackController& m_playback;
    CTextData& m_textData;
    Host m_host;

    PictureClock m_clock;  // of the recording on screen
    SpeedUnit m_eSpeedUnit = SpeedUnit::Kmh;
    GraphSeries* m_pSeriesX = nullptr;  // owned by the graph
    GraphSeries* m_pSeriesY = nullptr;
    GraphSeries* m_pSeriesZ = nullptr;
    std::vector<CGSensorData> m_plotted;  // the samples the graph shows
    int64_t m_nGraphMsPerValue = 0;       // the whole timeline plotted: each value's stretch
    std::function<QString(int64_t)> m_graphTimeOfDay;
    double m_dUnitsPerG = EventThresholds{}.unitsPerG;
    int m_nLastPlotSec = 0;  // the second the graph was last plotted at
    QPointer<CMapView> m_pMapView;
    bool m_bMapNavigated = false;
    bool m_bMapReady = false;  // the page answered; the marker reaches it
    QTimer m_mapTimer;         // asks the page for its binding while it loads
    ViewerSettings* m_settings = nullptr;
};
