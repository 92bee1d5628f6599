// The map view against its real page in the browser engine: binding, the calls a position
// makes and what the page then shows, the track, reloads, and the tiles.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QBuffer>
#include <QLabel>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "MapTestSupport.h"

namespace {

struct Fix {
    float lat;
    float lon;
};

const QColor kMarkerColour(245, 165, 36);
const QColor kGroundColour(18, 22, 27);

// A closed port: every tile fails at once, as without a network.
MapTileSource OfflineTiles() {
    return MapTileSource{"http://127.0.0.1:1/{z}/{x}/{y}.png", "", false};
}

void ExpectAt(const QVariant& lat, const QVariant& lon, Fix fix, const char* what) {
    EXPECT_NEAR(lat.toDouble(), fix.lat, 1e-5) << what;
    EXPECT_NEAR(lon.toDouble(), fix.lon, 1e-5) << what;
}

std::vector<std::string> Calls(const CMapView& view) {
    return {view.ScriptCalls().begin(), view.ScriptCalls().end()};
}

}  // namespace

TEST(MapViewBinding, UnloadedViewStaysUnboundAndSendsNothing) {
    QWidget window;
    auto* view = new CMapView(&window);
    window.show();
    for (int tick = 0; tick < 3; ++tick) {
        EXPECT_EQ(view->BindScript(), 0);
        QTest::qWait(20);
    }
    view->ShowPosition(37.5f, 127.0f);
    view->CenterOn(37.5f, 127.0f);
    view->ClearTrack();
    EXPECT_TRUE(view->ScriptCalls().empty());
    EXPECT_EQ(view->MarkerId(), 0);
}

TEST(MapViewBinding, AsRootWithTheSandboxOnTheMapStaysEmptyInsteadOfEndingTheProgram) {
    if (::geteuid() != 0) GTEST_SKIP() << "the browser refuses only root";
    const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
    EXPECT_FALSE(CMapView::BrowserMayStart());
    {
        // Started here, the browser would end this test program at once.
        QWidget window;
        auto* view = new CMapView(&window);
        window.show();
        EXPECT_EQ(view->Browser(), nullptr);
        EXPECT_FALSE(view->Navigate(CMapView::DefaultTileSource()));
        EXPECT_EQ(view->BindScript(), 0);
        view->ShowPosition(37.5f, 127.0f);
        EXPECT_TRUE(view->ScriptCalls().empty());
    }
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    EXPECT_TRUE(CMapView::BrowserMayStart());
    qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox");
    EXPECT_TRUE(CMapView::BrowserMayStart());
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

TEST_F(MapViewFixture, PageLoadsOfflineAndBindsWithNothingShown) {
    QSignalSpy bound(m_view, &CMapView::scriptBound);
    ASSERT_TRUE(m_view->Navigate(OfflineTiles()));
    EXPECT_EQ(m_view->BindScript(), 0);  // asked before the page is there
    // The view asks the page itself once it has loaded, so the window's once-a-second
    // binding tick gets 1 on its first try afterwards.
    ASSERT_TRUE(bound.wait(kHangGuardMs));
    EXPECT_EQ(m_view->BindScript(), 1);
    EXPECT_TRUE(m_view->IsPageLoaded());
    const QVariantMap state = PageState(*m_view);
    EXPECT_EQ(state["markers"].toInt(), 0);
    EXPECT_TRUE(state["track"].toList().isEmpty());
    EXPECT_TRUE(m_view->ScriptCalls().empty());
}

TEST_F(MapViewFixture, FirstFixPlacesTheMarkerAndOnlyAMovedFixReplacesIt) {
    LoadAndBind(OfflineTiles());
    m_view->ShowPosition(37.5f, 127.0f);
    EXPECT_EQ(Calls(*m_view), (std::vector<std::string>{
                                  "setCenter_wgs84(127, 37.5)",
                                  R"(addPoi_wgs84(1, 127, 37.5, "", 0, 0, "gpspos"))",
                                  "setCenter_wgs84(127, 37.5)",
                              }));
    EXPECT_EQ(m_view->MarkerId(), 1);

    // The same fix again (every frame of its second sends it) leaves the page alone.
    m_view->ClearScriptCalls();
    for (int frame = 0; frame < 30; ++frame) m_view->ShowPosition(37.5f, 127.0f);
    EXPECT_TRUE(Calls(*m_view).empty());

    m_view->ShowPosition(37.5f, 127.25f);
    EXPECT_EQ(Calls(*m_view), (std::vector<std::string>{
                                  "setCenter_wgs84(127.25, 37.5)",
                                  "removePoi(1)",
                                  R"(addPoi_wgs84(1, 127.25, 37.5, "", 0, 0, "gpspos"))",
                                  "setCenter_wgs84(127.25, 37.5)",
                              }));
}

TEST_F(MapViewFixture, DriveLeavesOneMarkerAtTheLastFixAndATrackThroughEveryFix) {
    LoadAndBind(OfflineTiles());
    const std::vector<Fix> drive = {
        {37.56650f, 126.97800f}, {37.56690f, 126.97840f}, {37.56730f, 126.97905f},
        {37.56760f, 126.97990f}, {37.56770f, 126.98080f},
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const Fix& fix : drive) {
        // Ten display ticks a second send the newest fix again until the next one is read.
        for (int tick = 0; tick < 3; ++tick) m_view->ShowPosition(fix.lat, fix.lon);
        // Fixes off the globe are never sent: the marker must not vanish for them.
        m_view->ShowPosition(nan, fix.lon);
        m_view->ShowPosition(fix.lat, inf);
        m_view->ShowPosition(91.5f, fix.lon);
        m_view->ShowPosition(fix.lat, -180.5f);
    }

    const QVariantMap state = PageState(*m_view);
    ASSERT_EQ(state["markers"].toInt(), 1);
    const QVariantMap marker = state["markerList"].toList().at(0).toMap();
    EXPECT_EQ(marker["id"].toInt(), CMapView::kMarkerId);
    EXPECT_EQ(marker["kind"].toString(), QStringLiteral("gpspos"));
    ExpectAt(marker["lat"], marker["lon"], drive.back(), "marker");
    const QVariantMap centre = state["center"].toMap();
    ExpectAt(centre["lat"], centre["lon"], drive.back(), "centre");

    const QVariantList track = state["track"].toList();
    ASSERT_EQ(track.size(), static_cast<qsizetype>(drive.size()));
    for (size_t i = 0; i < drive.size(); ++i) {
        const QVariantList point = track.at(i).toList();
        ExpectAt(point.at(0), point.at(1), drive[i], "track point");
    }
}

// The events' places on the route: each named as given (text is data, never markup or
// script), a place off the globe left out, and gone with the route.
TEST_F(MapViewFixture, EventPlacesSitOnTheRouteAndGoWithIt) {
    LoadAndBind(OfflineTiles());
    const std::string hostile = R"(Impact 1.09 g · "</b><img src=x onerror=alert(1)>\)";
    m_view->SetRoute({{37.5, 127.0, 30}, {37.5005, 127.0005, 50}, {37.501, 127.001, 70}},
                     {{37.5005, 127.0005, 0x4d48e5, "Hard braking 0.52 g · 18:27:38 · 53 km/h"},
                      {37.501, 127.001, 0xffffff, hostile},
                      {95.0, 127.0, 0xffffff, "off the globe"}});
    EXPECT_EQ(RunScript(*m_view, "tarvexMap.routeSize()").toInt(), 3);
    const QStringList texts = PageState(*m_view)["events"].toStringList();
    ASSERT_EQ(texts.size(), 2);
    EXPECT_EQ(texts[0], QString::fromUtf8("Hard braking 0.52 g · 18:27:38 · 53 km/h"));
    EXPECT_EQ(texts[1].toStdString(), hostile);
    EXPECT_EQ(RunScript(*m_view, "document.querySelectorAll('.route-event').length").toInt(), 2);
    EXPECT_EQ(RunScript(*m_view, R"(document.querySelectorAll('img[src="x"]').length)").toInt(), 0);
    EXPECT_EQ(CMapView::RouteEventsScript({{37.5, 127.0, 0x4d48e5, "a"}}),
              R"(tarvexMap.setEvents([[37.5000000,127.0000000,"#e5484d","a"]]))");

    m_view->SetRoute({});
    EXPECT_EQ(RunScript(*m_view, "tarvexMap.eventCount()").toInt(), 0);
    EXPECT_TRUE(m_view->RouteEvents().empty());
}

// The routes of several drives at once: a point without a latitude ends one line, so no
// straight line joins one drive's end to the next one's start.
TEST_F(MapViewFixture, SeveralDrivesAreDrawnApart) {
    LoadAndBind(OfflineTiles());
    const double gap = std::numeric_limits<double>::quiet_NaN();
    m_view->SetRoute({{37.5, 127.0, 30},
                      {37.5005, 127.0005, 30},
                      {gap, 0, 0},
                      {37.6, 127.1, 30},
                      {37.6005, 127.1005, 30}});
    EXPECT_EQ(RunScript(*m_view, "tarvexMap.routeSize()").toInt(), 4);
    EXPECT_EQ(RunScript(*m_view, "document.querySelectorAll('path.route').length").toInt(), 2);
}

TEST_F(MapViewFixture, SouthernWesternFixPassesNegativeValues) {
    LoadAndBind(OfflineTiles());
    m_view->ShowPosition(-33.4489f, -70.6693f);
    ASSERT_EQ(m_view->ScriptCalls().size(), 3u);
    EXPECT_EQ(m_view->ScriptCalls().front(), "setCenter_wgs84(-70.6693, -33.4489)");
    EXPECT_EQ(m_view->ScriptCalls().at(1),
              R"(addPoi_wgs84(1, -70.6693, -33.4489, "", 0, 0, "gpspos"))");
    const QVariantMap marker = PageState(*m_view)["markerList"].toList().value(0).toMap();
    ExpectAt(marker["lat"], marker["lon"], Fix{-33.4489f, -70.6693f}, "marker");
}

TEST_F(MapViewFixture, ClearingTheTrackKeepsTheMarker) {
    LoadAndBind(OfflineTiles());
    m_view->ShowPosition(51.5007f, -0.1246f);
    m_view->ShowPosition(51.5010f, -0.1240f);
    m_view->ClearTrack();
    QVariantMap state = PageState(*m_view);
    EXPECT_TRUE(state["track"].toList().isEmpty());
    EXPECT_EQ(state["markers"].toInt(), 1);

    // The next recording's line starts at its own first fix.
    m_view->ShowPosition(48.8584f, 2.2945f);
    state = PageState(*m_view);
    ASSERT_EQ(state["track"].toList().size(), 1);
    EXPECT_EQ(state["markers"].toInt(), 1);
}

TEST_F(MapViewFixture, LoadingThePageAgainForgetsBindingAndMarker) {
    LoadAndBind(OfflineTiles());
    m_view->ShowPosition(37.5f, 127.0f);
    ASSERT_TRUE(m_view->Navigate(OfflineTiles()));
    EXPECT_EQ(m_view->BindScript(), 0);
    EXPECT_EQ(m_view->MarkerId(), 0);
    m_view->ClearScriptCalls();
    m_view->ShowPosition(37.6f, 127.1f);
    EXPECT_TRUE(m_view->ScriptCalls().empty());  // nothing goes to a page still loading

    ASSERT_TRUE(WaitUntilBound(*m_view));
    m_view->ShowPosition(37.6f, 127.1f);
    EXPECT_EQ(m_view->ScriptCalls().size(), 3u);  // a first fix again: no removePoi
    const QVariantMap state = PageState(*m_view);
    EXPECT_EQ(state["markers"].toInt(), 1);
    EXPECT_EQ(state["track"].toList().size(), 1);
}

TEST_F(MapViewFixture, KilledRendererIsReloadedAndBoundAgain) {
    LoadAndBind(OfflineTiles());
    m_view->ShowPosition(37.5f, 127.0f);
    const qint64 pid = m_view->Browser()->page()->renderProcessPid();
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(static_cast<pid_t>(pid), SIGKILL), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_view->MarkerId() == 0; }, kHangGuardMs))
        << "the view never noticed its renderer died";
    ASSERT_TRUE(WaitUntilBound(*m_view));
    m_view->ShowPosition(37.5f, 127.0f);
    EXPECT_EQ(PageState(*m_view)["markers"].toInt(), 1);
}

TEST_F(MapViewFixture, OfflineMapShowsTheMarkerOnTheDarkGroundOnceShown) {
    LoadAndBind(OfflineTiles());
    // Positions arrive while the view is still hidden at zero size, as during playback.
    m_view->ShowPosition(37.5665f, 126.9780f);
    m_view->ShowPosition(37.5670f, 126.9790f);
    ShowInSmallArea();
    const QPoint middle(kSmallArea.width() / 2, kSmallArea.height() / 2);
    const QImage picture = GrabWhen(*m_view, [&](const QImage& image) {
        return IsNear(image.pixelColor(middle), kMarkerColour);
    });
    EXPECT_TRUE(IsNear(picture.pixelColor(middle), kMarkerColour))
        << "centre " << picture.pixelColor(middle).name().toStdString();
    EXPECT_TRUE(IsNear(picture.pixelColor(20, 20), kGroundColour, 8))
        << "ground " << picture.pixelColor(20, 20).name().toStdString();
    // The page says why the ground is bare; the marker and the track stay.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return PageState(*m_view)["offlineNote"].toBool(); }, kHangGuardMs));
    const QVariantMap state = PageState(*m_view);
    EXPECT_EQ(state["offlineText"].toString(), QStringLiteral("Map tiles unavailable (offline)"));
    EXPECT_EQ(state["markers"].toInt(), 1);
    EXPECT_EQ(state["track"].toList().size(), 2);
}

namespace {

// Serves one plain green picture for every request and remembers the requests' first lines.
class TileServer {
public:
    static inline const QColor kTileColour{40, 160, 90};

    TileServer() {
        QImage tile(256, 256, QImage::Format_RGB32);
        tile.fill(kTileColour);
        QBuffer buffer(&m_png);
        buffer.open(QIODevice::WriteOnly);
        tile.save(&buffer, "PNG");
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] { Accept(); });
        m_server.listen(QHostAddress::LocalHost, 0);
    }

    quint16 Port() const { return m_server.serverPort(); }
    const QStringList& Requests() const { return m_requests; }

private:
    void Accept() {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                QByteArray& request = m_pending[socket];
                request += socket->readAll();
                if (!request.contains("\r\n\r\n")) return;
                m_requests << QString::fromLatin1(request.left(request.indexOf("\r\n")));
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " +
                              QByteArray::number(m_png.size()) + "\r\nConnection: close\r\n\r\n" +
                              m_png);
                socket->disconnectFromHost();
                m_pending.remove(socket);
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    QTcpServer m_server;
    QByteArray m_png;
    QStringList m_requests;
    QHash<QTcpSocket*, QByteArray> m_pending;
};

}  // namespace

TEST_F(MapViewFixture, TilesComeFromTheConfiguredAddress) {
    TileServer server;
    ASSERT_GT(server.Port(), 0);
    // Query delimiters and a plus sign must reach the page as they were written.
    const std::string url =
        "http://127.0.0.1:" + std::to_string(server.Port()) + "/tiles/{z}/{x}/{y}.png?key=a&b=c+d";
    LoadAndBind(MapTileSource{url, "Tiles: test server", false});
    const QVariantMap state = PageState(*m_view);
    EXPECT_EQ(state["tiles"].toString().toStdString(), url);
    EXPECT_EQ(state["attribution"].toString(), QStringLiteral("Tiles: test server"));
    EXPECT_FALSE(state["inverted"].toBool());

    ShowInSmallArea();
    m_view->ShowPosition(37.5665f, 126.9780f);
    const QImage picture = GrabWhen(*m_view, [](const QImage& image) {
        return IsNear(image.pixelColor(20, 20), TileServer::kTileColour, 8);
    });
    EXPECT_TRUE(IsNear(picture.pixelColor(20, 20), TileServer::kTileColour, 8));
    EXPECT_FALSE(PageState(*m_view)["offlineNote"].toBool()) << "tiles came: no note";
    // Tiles around the fix at street level, with the address's own query.
    const QRegularExpression streetTile(
        QStringLiteral(R"(^GET /tiles/16/\d+/\d+\.png\?key=a&b=c\+d )"));
    EXPECT_TRUE(std::any_of(server.Requests().begin(), server.Requests().end(),
                            [&](const QString& line) { return streetTile.match(line).hasMatch(); }))
        << server.Requests().join(QLatin1Char('\n')).toStdString();
}

TEST(MapViewStartedWhenShown, BrowserStartsWhenFirstShownAndDrawsTheFixesShownBefore) {
    if (!CMapView::BrowserMayStart()) GTEST_SKIP() << "the browser may not start here";
    QWidget window;
    window.resize(975, 635);
    auto* view = new CMapView(&window, CMapView::BrowserStart::WhenShown);
    view->setGeometry(650, 268, 0, 0);
    window.show();
    ASSERT_TRUE(view->Navigate(OfflineTiles()));
    const std::vector<Fix> drive = {
        {37.56650f, 126.97800f}, {37.56690f, 126.97840f}, {37.56730f, 126.97905f}};
    view->ShowPosition(10.0f, 10.0f);
    view->ClearTrack();  // another recording: what came before is not its track
    for (const Fix& fix : drive) {
        for (int tick = 0; tick < 3; ++tick) view->ShowPosition(fix.lat, fix.lon);
    }
    QTest::qWait(50);
    EXPECT_EQ(view->Browser(), nullptr) << "hidden at zero size: no browser yet";
    EXPECT_EQ(view->BindScript(), 0);
    EXPECT_TRUE(view->ScriptCalls().empty());

    view->setGeometry(650, 268, 320, 180);
    ASSERT_NE(view->Browser(), nullptr);
    ASSERT_TRUE(WaitUntilBound(*view));
    QVariantMap state = PageState(*view);
    const QVariantList track = state["track"].toList();
    ASSERT_EQ(track.size(), static_cast<qsizetype>(drive.size()));
    for (size_t i = 0; i < drive.size(); ++i) {
        const QVariantList point = track.at(i).toList();
        ExpectAt(point.at(0), point.at(1), drive[i], "kept track point");
    }
    EXPECT_EQ(state["markers"].toInt(), 0) << "the marker comes with the next fix";

    // From here on it is a bound view like any other.
    view->ShowPosition(drive.back().lat, drive.back().lon);
    EXPECT_EQ(Calls(*view).size(), 3u);
    state = PageState(*view);
    EXPECT_EQ(state["markers"].toInt(), 1);
    EXPECT_EQ(state["track"].toList().size(), static_cast<qsizetype>(drive.size()));
}

TEST(MapViewOwnSurface, TheBrowsersWindowCoversTheViewWhereverItGoesAndHidesWithIt) {
    if (!CMapView::BrowserMayStart()) GTEST_SKIP() << "the browser may not start here";
    QWidget window;
    window.setGeometry(100, 80, 975, 635);
    auto* view = new CMapView(&window, CMapView::BrowserStart::WhenShown);
    view->SetOwnSurface(true);
    view->setGeometry(650, 268, 0, 0);
    window.show();
    ASSERT_TRUE(view->Navigate(OfflineTiles()));
    view->ShowPosition(37.5665f, 126.9780f);
    view->setGeometry(650, 268, 320, 180);
    ASSERT_NE(view->Browser(), nullptr);
    QWidget* surface = view->Surface();
    ASSERT_NE(surface, nullptr);
    EXPECT_TRUE(surface->isWindow());
    EXPECT_EQ(view->Browser()->window(), surface) << "not drawn in the main window";
    EXPECT_FALSE(view->Browser()->isAncestorOf(&window));
    ASSERT_TRUE(WaitUntilBound(*view)) << "the page binds as in the window";

    const auto covers = [&] {
        return surface->isVisible() &&
               surface->geometry() == QRect(view->mapToGlobal(QPoint(0, 0)), view->size()) &&
               view->Browser()->geometry() == surface->rect();
    };
    EXPECT_TRUE(covers()) << "small area";
    view->setGeometry(5, 65, 640, 360);
    EXPECT_TRUE(covers()) << "main area";
    window.move(300, 200);
    EXPECT_TRUE(QTest::qWaitFor(covers, kHangGuardMs)) << "the window moved";
    view->setGeometry(650, 268, 0, 0);
    EXPECT_FALSE(surface->isVisible()) << "map hidden";
    view->setGeometry(650, 268, 320, 180);
    EXPECT_TRUE(covers());
    // A note shown over the map stays in sight.
    QLabel note(QStringLiteral("note"), &window);
    note.setGeometry(660, 400, 100, 30);
    note.show();
    EXPECT_EQ(surface->mask(), QRegion(0, 0, 320, 180) - QRegion(10, 132, 100, 30));
    note.hide();
    EXPECT_TRUE(surface->mask().isEmpty()) << "no mask: the whole map";
    window.setWindowState(Qt::WindowMinimized);
    EXPECT_FALSE(surface->isVisible()) << "window minimised";
    window.setWindowState(Qt::WindowNoState);
    EXPECT_TRUE(covers());
    window.hide();
    EXPECT_FALSE(surface->isVisible()) << "window closed";
}
