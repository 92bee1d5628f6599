#include "telemetry/CMapView.h"

#include <unistd.h>

#include <QChildEvent>
#include <QCoreApplication>
#include <QHideEvent>
#include <QMoveEvent>
#include <QPalette>
#include <QRegion>
#include <QResizeEvent>
#include <QShowEvent>
#include <QTimer>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string_view>

#include "support/JsonWriter.h"
#include "support/Profile.h"
#include "support/Trace.h"

#if defined(TARVEX_WITH_MAP_PAGE)
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

// The page's resources live in a static library, so they are registered by hand.
static void InitMapPageResources() {
    Q_INIT_RESOURCE(tarvex_map);
}
#endif

namespace {

// A number with a '.' whatever the process locale says.
std::string FixedText(double value, int decimals) {
    char text[40];
    const auto r =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return std::string(text, r.ptr);
}

const QColor kGroundColour(18, 22, 27);  // the page's own ground, shown until it has drawn

constexpr const char* kProbeScript =
    "typeof setCenter_wgs84 === 'function' && typeof addPoi_wgs84 === 'function' && "
    "typeof removePoi === 'function'";

// The shortest text that reads back as the same float, so 37.5f goes out as 37.5.
std::string JsNumber(float value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string JsString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + '"';
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

// A corrupt fix can carry any number; the page could not place it and would lose the marker
// it removed for it. NaN fails both comparisons, so it is refused as well.
bool IsOnGlobe(float latitude, float longitude) {
    return std::fabs(latitude) <= 90.0f && std::fabs(longitude) <= 180.0f;
}

// An http(s) address with the three tile numbers to fill in and nothing that would break it.
bool IsTileTemplate(std::string_view url) {
    if (!StartsWithNoCase(url, "http://") && !StartsWithNoCase(url, "https://")) return false;
    for (const char c : url) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return false;
    }
    return url.find("{z}") != std::string_view::npos && url.find("{x}") != std::string_view::npos &&
           url.find("{y}") != std::string_view::npos;
}

#if defined(TARVEX_WITH_MAP_PAGE)
// The map page as the viewer wants it: no dialogs, console errors to the trace, and no way
// to navigate the view away from the page (a dropped link, a link in the page).
class SilentMapPage : public QWebEnginePage {
public:
    SilentMapPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {}
    // Informational lines of the page: how it tells the view about clicks.
    std::function<void(const QString&)> onInfo;

protected:
    void javaScriptAlert(const QUrl&, const QString&) override {}
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override {
        return false;
    }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override {
        if (level == InfoMessageLevel && onInfo) onInfo(message);
        if (level != ErrorMessageLevel) return;
        Trace("Map page: %s (%s:%d)\n", message.toUtf8().constData(), source.toUtf8().constData(),
              line);
    }
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        return !isMainFrame || url.scheme() == QLatin1String("qrc");
    }
};
#endif

}  // namespace

CMapView::CMapView(QWidget* parent, BrowserStart start) : QWidget(parent) {
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, kGroundColour);
    setPalette(colours);
#if defined(TARVEX_WITH_MAP_PAGE)
    if (BrowserMayStart()) {
        if (start == BrowserStart::WhenShown) {
            m_bStartDeferred = true;
        } else {
            StartBrowser();
        }
    } else {
        Trace("Map: the browser does not run as root with its sandbox on; the map stays empty\n");
    }
#endif
}

// The browser engine ends the whole process when it finds itself root with its sandbox on.
bool CMapView::BrowserMayStart() {
    if (::geteuid() != 0) return true;
    if (qEnvironmentVariableIntValue("QTWEBENGINE_DISABLE_SANDBOX") != 0) return true;
    if (qEnvironmentVariable("QTWEBENGINE_CHROMIUM_FLAGS")
            .contains(QLatin1String("--no-sandbox"))) {
        return true;
    }
    return QCoreApplication::arguments().contains(QLatin1String("--no-sandbox"));
}

#if defined(TARVEX_WITH_MAP_PAGE)
void CMapView::StartBrowser() {
    InitMapPageResources();
    // Off the record: nothing of the map reaches the disk; tiles are kept for the session.
    m_pProfile = new QWebEngineProfile(this);
    m_pProfile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_pProfile->setHttpUserAgent(m_pProfile->httpUserAgent() + QStringLiteral(" TarvexViewer"));

    QWidget* top = window();
    if (m_bOwnSurface && top != this) {
        // A window of its own, kept over this view (PlaceSurface); never the focus window.
        m_pSurface =
            new QWidget(top, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
        m_pSurface->setAttribute(Qt::WA_ShowWithoutActivating);
        m_pSurface->setAutoFillBackground(true);
        m_pSurface->setPalette(palette());
        // The window's moves and state, and the widgets stacked over this view (a note shown
        // over the map), which the surface leaves uncovered.
        top->installEventFilter(this);
        if (QWidget* parent = parentWidget()) {
            if (parent != top) parent->installEventFilter(this);
            for (QObject* child : parent->children()) WatchSibling(child);
        }
    }
    m_pBrowser = new QWebEngineView(m_pSurface ? m_pSurface.data() : static_cast<QWidget*>(this));
    auto* page = new SilentMapPage(m_pProfile, m_pBrowser);
    page->onInfo = [this](const QString& message) { OnPageConsole(message); };
    page->setBackgroundColor(kGroundColour);
    QWebEngineSettings* settings = page->settings();
    // The page comes from the program's resources and its tiles from the network.
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    m_pBrowser->setPage(page);
    m_pBrowser->setContextMenuPolicy(Qt::NoContextMenu);
    m_pBrowser->setAcceptDrops(false);
    m_pBrowser->setGeometry(rect());

    connect(page, &QWebEnginePage::loadStarted, this, &CMapView::OnLoadStarted);
    connect(page, &QWebEnginePage::loadFinished, this, &CMapView::OnLoadFinished);
    connect(page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
                OnRendererGone(status != QWebEnginePage::NormalTerminationStatus);
            });
}
#endif

CMapView::~CMapView() {
    // Answers still on their way belong to a page that is going away.
    ++m_nPageGeneration;
    // The page must go before its profile, which is the older child.
    delete m_pBrowser;
    m_pBrowser = nullptr;
    delete m_pSurface.data();
}

bool CMapView::Available() {
#if defined(TARVEX_WITH_MAP_PAGE)
    return true;
#else
    return false;
#endif
}

MapTileSource CMapView::DefaultTileSource() {
    return MapTileSource{kDefaultTileUrl, kDefaultAttribution, true};
}

MapTileSource CMapView::ReadTileSource(const char* profilePath) {
    MapTileSource source = DefaultTileSource();
    const std::string url =
        GetProfileString(kConfigSection, kTilesKey, "", kConfigValueChars, profilePath);
    if (!url.empty() && url != source.url) {
        if (IsTileTemplate(url)) {
            source = MapTileSource{url, "", false};
        } else {
            Trace("Map tiles => %s is not a tile address, using the default\n", url.c_str());
        }
    }
    const std::string attribution =
        GetProfileString(kConfigSection, kAttributionKey, "", kConfigValueChars, profilePath);
    if (!attribution.empty()) source.attribution = attribution;
    return source;
}

QUrl CMapView::PageUrl(const MapTileSource& tiles) {
    QByteArray query = "tiles=" + QUrl::toPercentEncoding(QString::fromStdString(tiles.url));
    query += "&attribution=" + QUrl::toPercentEncoding(QString::fromStdString(tiles.attribution));
    query += tiles.invert ? "&invert=1" : "&invert=0";
    QUrl url(QString::fromLatin1(kPageUrl));
    url.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    return url;
}

bool CMapView::Navigate(const MapTileSource& tiles) {
#if defined(TARVEX_WITH_MAP_PAGE)
    if (!m_pBrowser && !m_bStartDeferred) return false;
    m_pageUrl = PageUrl(tiles);
    if (!m_pBrowser) {
        // Until the page first binds, the positions shown are kept for its track.
        OnLoadStarted();
        m_bKeepingTrack = true;
        StartWhenShown();
        return true;
    }
    LoadPage();
    return true;
#else
    (void)tiles;
    return false;
#endif
}

void CMapView::LoadPage() {
#if defined(TARVEX_WITH_MAP_PAGE)
    m_nRendererRestarts = 0;
    OnLoadStarted();
    m_pBrowser->page()->load(m_pageUrl);
#endif
}

void CMapView::StartWhenShown() {
    if (!m_bStartDeferred || m_pBrowser || !isVisible() || width() <= 0 || height() <= 0) return;
#if defined(TARVEX_WITH_MAP_PAGE)
    StartBrowser();
    m_pBrowser->show();
    PlaceSurface();
    if (!m_pageUrl.isEmpty()) LoadPage();
#endif
}

void CMapView::PlaceSurface() {
    if (!m_pSurface) return;
    const QWidget* top = window();
    if (!isVisible() || width() <= 0 || height() <= 0 || !top->isVisible() || top->isMinimized()) {
        m_pSurface->hide();
        return;
    }
    m_pSurface->setGeometry(QRect(mapToGlobal(QPoint(0, 0)), size()));
    if (m_pBrowser) m_pBrowser->setGeometry(m_pSurface->rect());
    // Widgets stacked above this view stay in sight through holes in the surface.
    QRegion shown(rect());
    const QObjectList& siblings = parentWidget()->children();
    for (qsizetype i = siblings.indexOf(this) + 1; i < siblings.size(); ++i) {
        const QWidget* sibling = qobject_cast<const QWidget*>(siblings.at(i));
        if (sibling && !sibling->isWindow() && sibling->isVisible())
            shown -= sibling->geometry().translated(-pos());
    }
    // An empty mask is none at all: the whole map.
    const QRegion mask = shown == QRegion(rect()) ? QRegion() : shown;
    if (mask != m_pSurface->mask()) {
        if (mask.isEmpty()) {
            m_pSurface->clearMask();
        } else {
            m_pSurface->setMask(mask);
        }
    }
    if (!m_pSurface->isVisible()) m_pSurface->show();
}

void CMapView::WatchSibling(QObject* object) {
    if (object != this && object->isWidgetType()) object->installEventFilter(this);
}

void CMapView::RestoreKeptTrack() {
    m_bKeepingTrack = false;
    if (m_keptTrack.empty()) return;
    std::string points = "[";
    for (const auto& [latitude, longitude] : m_keptTrack) {
        if (points.size() > 1) points += ',';
        points += '[' + JsNumber(latitude) + ',' + JsNumber(longitude) + ']';
    }
    m_keptTrack.clear();
#if defined(TARVEX_WITH_MAP_PAGE)
    if (m_pBrowser)
        m_pBrowser->page()->runJavaScript(
            QString::fromStdString("tarvexMap.restoreTrack(" + points + "])"));
#endif
}

int CMapView::BindScript() {
    if (m_bBound) return 1;
    Probe();
    return 0;
}

void CMapView::ShowPosition(float latitude, float longitude) {
    if (!IsOnGlobe(latitude, longitude)) return;
    if (!m_bBound) {
        const std::pair<float, float> fix(latitude, longitude);
        if (!m_bKeepingTrack || (!m_keptTrack.empty() && m_keptTrack.back() == fix)) return;
        m_keptTrack.push_back(fix);
        if (m_keptTrack.size() > kKeptTrackPoints) m_keptTrack.pop_front();
        return;
    }
    const std::pair<float, float> fix(latitude, longitude);
    if (m_markerAt == fix) return;
    m_markerAt = fix;
    const std::string lon = JsNumber(longitude);
    const std::string lat = JsNumber(latitude);
    CenterOn(latitude, longitude);
    if (m_nMarkerId > 0) Call("removePoi(" + std::to_string(m_nMarkerId) + ")");
    m_nMarkerId = kMarkerId;
    Call("addPoi_wgs84(" + std::to_string(kMarkerId) + ", " + lon + ", " + lat + ", " +
         JsString("") + ", 0, 0, " + JsString(kMarkerKind) + ")");
    CenterOn(latitude, longitude);
}

void CMapView::CenterOn(float latitude, float longitude) {
    if (!m_bBound || !IsOnGlobe(latitude, longitude)) return;
    Call("setCenter_wgs84(" + JsNumber(longitude) + ", " + JsNumber(latitude) + ")");
}

void CMapView::ClearTrack() {
    m_keptTrack.clear();
    m_markerAt.reset();  // the next fix starts the new line, wherever it is
    if (m_bBound) Call("tarvexMap.clearTrack()");
}

void CMapView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_pBrowser && !m_pSurface) m_pBrowser->setGeometry(rect());
    StartWhenShown();
    PlaceSurface();
}

void CMapView::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    PlaceSurface();
}

void CMapView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    StartWhenShown();
    PlaceSurface();
}

void CMapView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    PlaceSurface();
}

bool CMapView::eventFilter(QObject* watched, QEvent* event) {
    if (!m_pSurface) return QWidget::eventFilter(watched, event);
    const bool isWindow = watched == window();
    if (watched == parentWidget() && event->type() == QEvent::ChildAdded)
        WatchSibling(static_cast<QChildEvent*>(event)->child());
    switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::ZOrderChange:
            if (isWindow) {
                PlaceSurface();
            } else if (watched->parent() == parentWidget()) {
                // Only a sibling over the map, or one that was, changes the holes.
                const QWidget* sibling = static_cast<const QWidget*>(watched);
                if (sibling->geometry().intersects(geometry()) || !m_pSurface->mask().isEmpty())
                    PlaceSurface();
            }
            break;
        case QEvent::WindowStateChange:
            if (isWindow) PlaceSurface();
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void CMapView::OnLoadStarted() {
    ++m_nPageGeneration;
    m_bPageLoaded = false;
    m_bBound = false;
    m_bProbing = false;
    m_nMarkerId = 0;
    m_markerAt.reset();
}

void CMapView::OnLoadFinished(bool ok) {
    m_bPageLoaded = ok;
    if (!ok) Trace("Map page did not load\n");
    emit pageLoaded(ok);
    if (ok) Probe();
}

void CMapView::OnRendererGone(bool crashed) {
    OnLoadStarted();
    if (!crashed) return;
    Trace("Map page renderer ended\n");
#if defined(TARVEX_WITH_MAP_PAGE)
    if (m_pageUrl.isEmpty() || m_nRendererRestarts >= kMaxRendererRestarts) return;
    ++m_nRendererRestarts;
    // Not from inside the browser's own notice.
    QTimer::singleShot(0, this, [this] {
        if (m_pBrowser) m_pBrowser->page()->load(m_pageUrl);
    });
#endif
}

void CMapView::Probe() {
#if defined(TARVEX_WITH_MAP_PAGE)
    if (!m_pBrowser || !m_bPageLoaded || m_bProbing || m_bBound) return;
    m_bProbing = true;
    const uint64_t generation = m_nPageGeneration;
    m_pBrowser->page()->runJavaScript(QString::fromLatin1(kProbeScript),
                                      [this, generation](const QVariant& answer) {
                                          if (generation != m_nPageGeneration) return;
                                          m_bProbing = false;
                                          if (!answer.toBool()) return;
                                          m_bBound = true;
                                          if (m_bKeepingTrack) RestoreKeptTrack();
                                          SendRoute();
                                          emit scriptBound();
                                      });
#endif
}

void CMapView::Call(std::string script) {
#if defined(TARVEX_WITH_MAP_PAGE)
    if (m_pBrowser) m_pBrowser->page()->runJavaScript(QString::fromStdString(script));
#endif
    m_scriptCalls.push_back(std::move(script));
    if (m_scriptCalls.size() > kScriptCallsKept) m_scriptCalls.pop_front();
}

void CMapView::SetRoute(std::vector<RoutePoint> route, std::vector<RouteEvent> events) {
    m_route = std::move(route);
    m_routeEvents = m_route.empty() ? std::vector<RouteEvent>() : std::move(events);
    SendRoute();
}

std::string CMapView::RouteEventsScript(const std::vector<RouteEvent>& events) {
    std::string list;
    for (const RouteEvent& e : events) {
        if (!IsOnGlobe(static_cast<float>(e.latitude), static_cast<float>(e.longitude))) continue;
        char colour[16];
        std::snprintf(colour, sizeof colour, "\"#%02x%02x%02x\"", e.colour & 0xFF,
                      (e.colour >> 8) & 0xFF, (e.colour >> 16) & 0xFF);
        // The text as a JSON string: it reaches the page as data, never as script.
        list += (list.empty() ? "[" : ",[") + FixedText(e.latitude, 7) + "," +
                FixedText(e.longitude, 7) + "," + colour + "," + JsonWriter::Escape(e.text) + "]";
    }
    return "tarvexMap.setEvents([" + list + "])";
}

void CMapView::SendRoute() {
    if (!m_bBound) return;
    const auto fixed = FixedText;
    std::string points;
    for (const RoutePoint& p : m_route) {
        if (std::isnan(p.latitude)) {
            points += points.empty() ? "[]" : ",[]";  // the page starts a new line
            continue;
        }
        if (!IsOnGlobe(static_cast<float>(p.latitude), static_cast<float>(p.longitude))) continue;
        points += (points.empty() ? "[" : ",[") + fixed(p.latitude, 7) + "," +
                  fixed(p.longitude, 7) + "," + fixed(p.speedKmh, 1) + "]";
    }
    // Not one of the marker calls kept in ScriptCalls: the route is a page feature of its own.
#if defined(TARVEX_WITH_MAP_PAGE)
    if (m_pBrowser)
        m_pBrowser->page()->runJavaScript(QString::fromStdString(
            "tarvexMap.setRoute([" + points + "]);" + RouteEventsScript(m_routeEvents)));
#endif
}

void CMapView::OnPageConsole(const QString& message) {
    static const QString kRoutePrefix = QStringLiteral("tarvex-route-click ");
    static const QString kMapPrefix = QStringLiteral("tarvex-map-click ");
    const bool route = message.startsWith(kRoutePrefix);
    if (!route && !message.startsWith(kMapPrefix)) return;
    const QStringList parts =
        message.mid((route ? kRoutePrefix : kMapPrefix).size()).split(QLatin1Char(' '));
    bool latOk = false, lonOk = false;
    const double lat = parts.value(0).toDouble(&latOk);
    const double lon = parts.value(1).toDouble(&lonOk);
    if (!latOk || !lonOk) return;
    if (route)
        emit routeClicked(lat, lon);
    else
        emit mapClicked(lat, lon);
}
