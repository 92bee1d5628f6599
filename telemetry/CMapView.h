#pragma once
// The map view: our own map page (res/map, compiled into the program) in an embedded browser,
// driven through three functions the page defines. The view draws nothing itself: it loads
// the page (Navigate), finds the functions (BindScript) and moves the vehicle's marker
// (ShowPosition). The page keeps the line of the positions shown; ClearTrack starts it anew.
//
// Binding is asynchronous, because the browser answers questions about the page later, on
// the GUI thread. BindScript returns the answer known so far at once and, when the page has
// loaded and no question is outstanding, asks again; the page is also asked as soon as it
// has loaded. A caller that tries once a second therefore gets 1 on its first try after the
// page came up. Loading a page (Navigate, or the view reloading it after its renderer died)
// forgets the binding and the marker.
//
// Script calls go to the page in the order they are made (the browser runs them in that
// order); their results are ignored. The latest calls sent through ShowPosition, CenterOn and
// ClearTrack are kept as their script text (ScriptCalls), so tests see what reached the page.
// Nothing is sent while unbound.
//
// A view made with BrowserStart::WhenShown starts its browser only when it is first shown
// with an area: while a browser view exists in a window, Qt composes that whole window
// through OpenGL on every repaint, which costs most of the CPU where the GL is software.
// Until then Navigate only remembers the page, and the vehicle positions shown (ShowPosition)
// are kept, as the track the page would have drawn, until the page first binds; they are then
// laid down as its track in one call, and the marker follows with the next position.
//
// A view given its own surface (SetOwnSurface, before the browser starts) puts the browser
// in a frameless tool window of its own that follows the view's place on the screen: it
// moves and resizes with the view and the window around it, hides while the view is hidden,
// empty or its window minimised, and leaves uncovered what is stacked above the view in its
// window (a note shown over the map). The window around the view then never holds a
// browser, so its repaints (the video, many a second) stay plain raster copies; only the
// map's own window composes, when the map changes. That window never takes the keyboard
// focus, so the player's keys keep working after a click on the map.
//
// The page has no dialogs: script alerts are swallowed, console errors go to the trace, and
// the view cannot be navigated away from the page.
//
// GUI thread only. In a build without the web engine the view is an empty dark panel that
// never binds. So it is when the program runs as root with the browser's sandbox on: the
// browser engine would end the whole process there, so the view does not start it (a root
// session that wants the map switches the sandbox off with QTWEBENGINE_DISABLE_SANDBOX=1 or
// --no-sandbox in QTWEBENGINE_CHROMIUM_FLAGS).

#include <QPointer>
#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QHideEvent;
class QMoveEvent;
class QResizeEvent;
class QShowEvent;
class QWebEngineView;
class QWebEngineProfile;

// Where the map's tiles come from: a Leaflet URL template ({z}, {x}, {y}, optionally {s}),
// the credit line shown under the map (plain text), and whether the tiles are light ones the
// page turns dark.
struct MapTileSource {
    std::string url;
    std::string attribution;
    bool invert = false;

    bool operator==(const MapTileSource&) const = default;
};

class CMapView : public QWidget {
    Q_OBJECT
public:
    enum class BrowserStart { AtOnce, WhenShown };

    static constexpr int kMarkerId = 1;
    static constexpr const char* kMarkerKind = "gpspos";
    static constexpr const char* kPageUrl = "qrc:/map/index.html";
    static constexpr const char* kDefaultTileUrl = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
    static constexpr const char* kDefaultAttribution = "\u00a9 OpenStreetMap contributors";
    // The viewer's settings file and the keys of its "config" section naming the tiles.
    static constexpr const char* kViewerConfigPath = "./config.cfg";
    static constexpr const char* kConfigSection = "config";
    static constexpr const char* kTilesKey = "map_tiles";
    static constexpr const char* kAttributionKey = "map_attribution";
    static constexpr uint32_t kConfigValueChars = 1024;
    static constexpr size_t kScriptCallsKept = 256;
    static constexpr int kMaxRendererRestarts = 3;
    // Positions kept for a page not yet loaded: ten hours of one fix a second.
    static constexpr size_t kKeptTrackPoints = 36000;

    explicit CMapView(QWidget* parent = nullptr, BrowserStart start = BrowserStart::AtOnce);
    ~CMapView() override;

    // The browser draws in a window of its own over the view (see above). Takes effect when
    // the browser starts, so only before it has; a view that is itself a window embeds it.
    void SetOwnSurface(bool own) { m_bOwnSurface = own; }
    // The window the browser draws in when it has one of its own, else null.
    QWidget* Surface() const { return m_pSurface; }

    // True when this build carries the web engine and the page.
    static bool Available();
    // False when the browser engine would refuse to run in this process (root with the
    // sandbox on); the view then never starts it.
    static bool BrowserMayStart();
    // OpenStreetMap's tiles.
    static MapTileSource DefaultTileSource();
    // The tile source named in the settings file: "map_tiles" (an http or https template
    // holding {z}, {x} and {y}) and "map_attribution" in section "config". A missing or
    // unusable address gives the default source.
    static MapTileSource ReadTileSource(const char* profilePath = kViewerConfigPath);
    // The page's address for a tile source.
    static QUrl PageUrl(const MapTileSource& tiles);

    // Loads the page for the given tiles (for a view whose browser starts when shown: once it
    // is shown). The page is built into the program, so no cache can hold an old copy of it;
    // the tiles are cached in memory for the session only. False when there is no browser
    // (no web engine in the build, or it may not start).
    bool Navigate(const MapTileSource& tiles);

    // 1 when the page defines setCenter_wgs84, addPoi_wgs84 and removePoi, else 0 (see the
    // note at the top about the answer arriving later).
    int BindScript();
    bool IsPageLoaded() const { return m_bPageLoaded; }

    // Centres on the position, replaces the vehicle's marker with one there and centres again.
    // The position the marker already stands at changes nothing: the page is left alone (no
    // script, no redraw) until a fix moves the marker, however often the same one comes (every
    // frame shown sends the fix of its second). Nothing happens while unbound (but see the note at
    // the top about a page not yet loaded) or for a position off the globe (not a number, latitude
    // beyond 90 degrees or longitude beyond 180, as a corrupt fix may carry).
    void ShowPosition(float latitude, float longitude);
    // One setCenter_wgs84 call, when bound.
    void CenterOn(float latitude, float longitude);
    // Empties the page's line of positions shown (a new recording), or the positions kept for
    // it; the marker stays.
    void ClearTrack();

    // The whole recording's route, drawn coloured by speed, with the places of its driving
    // events marked on it (a dot in the event's colour naming it when the pointer rests on
    // it; a click on one goes there as a click on the route does). Kept and sent again
    // whenever the page binds (it may load after the recording was opened); an empty route
    // removes both.
    struct RoutePoint {
        double latitude = 0;  // decimal degrees
        double longitude = 0;
        double speedKmh = 0;
    };
    struct RouteEvent {
        double latitude = 0;
        double longitude = 0;
        uint32_t colour = 0;  // 0x00BBGGRR
        std::string text;     // what the dot's tooltip says
    };
    // A point whose latitude is not a number ends one line and starts the next (the routes
    // of several drives at once).
    void SetRoute(std::vector<RoutePoint> route, std::vector<RouteEvent> events = {});
    const std::vector<RoutePoint>& Route() const { return m_route; }
    const std::vector<RouteEvent>& RouteEvents() const { return m_routeEvents; }
    // The page's call that draws the event places (exposed for tests).
    static std::string RouteEventsScript(const std::vector<RouteEvent>& events);

    int32_t MarkerId() const { return m_nMarkerId; }
    const std::deque<std::string>& ScriptCalls() const { return m_scriptCalls; }
    void ClearScriptCalls() { m_scriptCalls.clear(); }
    // The embedded browser (null when there is none or it has not started, see above), for
    // tests that read the page.
    QWebEngineView* Browser() const { return m_pBrowser; }

signals:
    void pageLoaded(bool ok);
    void scriptBound();
    // The user clicked on the route, at this place.
    void routeClicked(double latitude, double longitude);
    // The user clicked anywhere on the map (on the route too, after routeClicked).
    void mapClicked(double latitude, double longitude);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void StartBrowser();
    void PlaceSurface();
    void WatchSibling(QObject* object);
    void StartWhenShown();
    void LoadPage();
    void RestoreKeptTrack();
    void OnLoadStarted();
    void OnLoadFinished(bool ok);
    void OnRendererGone(bool crashed);
    void Probe();
    void Call(std::string script);
    void SendRoute();
    void OnPageConsole(const QString& message);

    QWebEngineProfile* m_pProfile = nullptr;  // outlives m_pBrowser's page
    QWebEngineView* m_pBrowser = nullptr;
    bool m_bOwnSurface = false;
    QPointer<QWidget> m_pSurface;    // the browser's own window, a child of this view's window
    bool m_bPageLoaded = false;      // the current page finished loading
    bool m_bBound = false;           // the current page defines the three functions
    bool m_bProbing = false;         // a question about the functions is outstanding
    uint64_t m_nPageGeneration = 0;  // counts page loads; late answers about old pages are dropped
    int m_nRendererRestarts = 0;     // reloads after the page's renderer died, per Navigate
    QUrl m_pageUrl;                  // the page last asked for
    bool m_bStartDeferred = false;   // the browser starts when the view is first shown
    bool m_bKeepingTrack = false;    // positions are kept until the page first binds
    std::deque<std::pair<float, float>> m_keptTrack;  // (latitude, longitude), oldest first
    int32_t m_nMarkerId = 0;  // 1 once the vehicle's marker has been placed on the current page
    // Where the marker stands on the current page (since its load or the last ClearTrack).
    std::optional<std::pair<float, float>> m_markerAt;
    std::deque<std::string> m_scriptCalls;  // the latest kScriptCallsKept calls sent
    std::vector<RoutePoint> m_route;        // the open recording's, sent on every bind
    std::vector<RouteEvent> m_routeEvents;  // its events' places, sent with it
};
