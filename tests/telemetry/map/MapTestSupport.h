#pragma once
// Helpers of the map view's tests: waiting for the browser, reading what the page shows, and
// a view placed, loaded and bound the way the viewer's window does it.

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QTest>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>
#include <functional>
#include <memory>

#include "telemetry/CMapView.h"

// The browser answers in milliseconds; this only stops a test that would otherwise hang.
constexpr int kHangGuardMs = 60000;

// Runs a script in the page and waits for its value (invalid when no answer came).
inline QVariant RunScript(CMapView& view, const QString& script) {
    auto answer = std::make_shared<std::pair<bool, QVariant>>(false, QVariant());
    view.Browser()->page()->runJavaScript(script, [answer](const QVariant& value) {
        *answer = {true, value};
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer->first; }, kHangGuardMs)) << "no answer";
    return answer->second;
}

inline QVariantMap PageState(CMapView& view) {
    return RunScript(view, QStringLiteral("tarvexMap.state()")).toMap();
}

// Does what the window's binding timer does, until the view reports the page bound.
inline bool WaitUntilBound(CMapView& view) {
    return QTest::qWaitFor([&] { return view.BindScript() == 1; }, kHangGuardMs);
}

// Grabs the view until the picture satisfies seen(): the browser draws some time after the
// page changed. The last picture is returned either way.
inline QImage GrabWhen(QWidget& view, const std::function<bool(const QImage&)>& seen) {
    QImage picture;
    (void)QTest::qWaitFor(
        [&] {
            picture = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
            return seen(picture);
        },
        kHangGuardMs);
    return picture;
}

inline bool IsNear(QColor a, QColor b, int tolerance = 24) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// A window-sized parent holding the map view hidden at the small area's corner, as the
// viewer's window creates it, with the page loaded for the given tiles and bound.
class MapViewFixture : public testing::Test {
protected:
    static constexpr QRect kSmallArea{650, 268, 320, 180};

    void SetUp() override {
        m_window.resize(975, 635);
        m_view = new CMapView(&m_window);
        m_view->setGeometry(kSmallArea.x(), kSmallArea.y(), 0, 0);
        m_window.show();
    }

    void LoadAndBind(const MapTileSource& tiles = CMapView::DefaultTileSource()) {
        ASSERT_TRUE(m_view->Navigate(tiles));
        ASSERT_TRUE(WaitUntilBound(*m_view)) << "the page never defined its functions";
        m_view->ClearScriptCalls();
    }

    void ShowInSmallArea() { m_view->setGeometry(kSmallArea); }

    QWidget m_window;
    CMapView* m_view = nullptr;
};
