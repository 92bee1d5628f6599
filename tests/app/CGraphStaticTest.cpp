#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QToolTip>

#include "telemetry/CGraphStatic.h"

namespace {

constexpr QRgb kBack = 0xFF010000;  // colour value 1: red 1
constexpr QRgb kGrid = 0xFF292929;

// The main window's graph: 760 x 104, range 200 in 4 divisions, 13 px between points.
class GraphFixture : public ::testing::Test {
protected:
    void SetUp() override {
        graph.resize(760, 104);
        graph.PreSubclassWindow();
        graph.SetRange(200, 50);
        graph.SetXStep(13);
        graph.SetGrid(true);
        series = graph.AddSeries(0x0000FF, 1);  // red
    }
    QRgb Pixel(int x, int y) const { return graph.Picture().pixel(x, y); }
    int Bottom() const { return graph.PlotRect().top() + graph.PlotRect().height(); }

    CGraphStatic graph;
    GraphSeries* series = nullptr;
};

}  // namespace

TEST_F(GraphFixture, PlotRectangleIsInsetAndGridSplitsItInQuarters) {
    EXPECT_EQ(graph.PlotRect(), QRect(4, 2, 754, 100));
    EXPECT_EQ(graph.Divisions(), 4);
    // Edge lines at x 4 and 758, horizontal lines at 25, 50 and 75 px above the bottom.
    EXPECT_EQ(Pixel(4, 50), kGrid);
    EXPECT_EQ(Pixel(758, 50), kGrid);
    for (int k = 1; k <= 3; ++k) EXPECT_EQ(Pixel(300, Bottom() - 25 * k), kGrid) << k;
    EXPECT_EQ(Pixel(300, Bottom() - 12), kBack);
    EXPECT_EQ(Pixel(1, 1), kBack);
}

TEST_F(GraphFixture, ValuesAreScaledToTheClientHeightAndClampedToThePlot) {
    struct Row {
        int value;
        int pixels;
    } rows[] = {{150, 78}, {300, 100}, {-10, 0}, {0, 0}, {100, 52}};
    for (const Row& row : rows) {
        graph.ClearSeries(series);
        graph.AddValue(series, row.value);
        ASSERT_EQ(series->writeIndex, 1);
        EXPECT_EQ(series->values[0], row.pixels) << row.value;
        EXPECT_EQ(Pixel(4, Bottom() - row.pixels), 0xFFFF0000) << row.value;
    }
}

TEST_F(GraphFixture, NewestValueIsAtTheLeftEdgeAndOlderOnesFollowOneStepApart) {
    graph.AddValue(series, 20);   // first: 10 px
    graph.AddValue(series, 60);   // second: 31 px
    graph.AddValue(series, 100);  // third: 52 px
    const QRgb red = 0xFFFF0000;
    EXPECT_EQ(Pixel(4, Bottom() - 52), red);
    EXPECT_EQ(Pixel(17, Bottom() - 31), red);
    EXPECT_EQ(Pixel(30, Bottom() - 10), red);
    // Joined by straight segments, and nothing drawn past the oldest point.
    bool joined = false;
    for (int y = Bottom() - 52; y <= Bottom() - 31; ++y) joined = joined || Pixel(10, y) == red;
    EXPECT_TRUE(joined);
    for (int y = graph.PlotRect().top(); y < Bottom(); ++y) EXPECT_NE(Pixel(40, y), red) << y;
}

TEST_F(GraphFixture, WithTheGridOffOnlyBackgroundAndCurvesRemain) {
    graph.SetGrid(false);
    EXPECT_EQ(Pixel(4, 50), kBack);
    EXPECT_EQ(Pixel(300, Bottom() - 50), kBack);
}

TEST_F(GraphFixture, WriteIndexWrapsAfter1024ValuesAndTheCurveStartsAgain) {
    for (int i = 0; i < GraphSeries::kValueCount; ++i) graph.AddValue(series, 100);
    EXPECT_EQ(series->writeIndex, 0);
    EXPECT_EQ(Pixel(4, Bottom() - 52), kGrid) << "no curve drawn after the wrap";
    graph.AddValue(series, 100);
    EXPECT_EQ(series->writeIndex, 1);
}

TEST_F(GraphFixture, ClearingEmptiesTheSeriesAndForeignSeriesAreIgnored) {
    graph.AddValue(series, 150);
    graph.ClearSeries(series);
    EXPECT_EQ(series->writeIndex, 0);
    EXPECT_EQ(series->values[0], 0);

    GraphSeries stranger;
    graph.AddValue(&stranger, 150);
    graph.ClearSeries(&stranger);
    graph.AddValue(nullptr, 150);
    EXPECT_EQ(stranger.writeIndex, 0);
}

TEST(GraphDegenerateSettings, ZeroDivisionsOrRangeDrawNoGridLinesAndDoNotDivideByZero) {
    CGraphStatic graph;
    graph.resize(100, 6);
    graph.PreSubclassWindow();
    GraphSeries* series = graph.AddSeries(0xFF0000, 1);
    graph.SetRange(200, 0);    // no divisions
    graph.SetRange(200, 500);  // 0 divisions by integer division
    graph.SetRange(200, 1);    // 200 divisions on a 2 px plot: finer than a pixel
    graph.SetRange(0, 50);
    graph.AddValue(series, 150);
    EXPECT_EQ(series->values[0], 0);
}

TEST(GraphSeriesDrawOrder, LaterSeriesAreDrawnOverEarlierOnes) {
    CGraphStatic graph;
    graph.resize(760, 104);
    graph.PreSubclassWindow();
    graph.SetRange(200, 50);
    GraphSeries* blue = graph.AddSeries(0xFF0000, 1);
    GraphSeries* yellow = graph.AddSeries(0x00FFFF, 1);
    graph.AddValue(blue, 100);
    graph.AddValue(yellow, 100);
    EXPECT_EQ(graph.Picture().pixel(4, 102 - 52), 0xFFFFFF00);
    yellow->visible = 0;
    graph.Redraw();
    EXPECT_EQ(graph.Picture().pixel(4, 102 - 52), 0xFF0000FF);
}

namespace {

constexpr QRgb kPlayhead = 0xFFF5A524;

// Text is smoothed at its edges: its colour shows in full only in the middle of its strokes,
// so yellow is anything strongly red and green with little blue.
bool RowHasYellow(const QImage& picture, int y, int fromX, int toX) {
    for (int x = fromX; x <= toX; ++x) {
        const QColor c(picture.pixel(x, y));
        if (c.red() > 150 && c.green() > 150 && c.blue() < 90) return true;
    }
    return false;
}

}  // namespace

TEST_F(GraphFixture, PlayheadStandsAtItsValueAndNowhereOffTheCurves) {
    for (int i = 0; i < 5; ++i) graph.AddValue(series, 20);
    const struct Row {
        int valueIndex;
        int x;  // -1: no playhead drawn
    } rows[] = {{4, 4}, {0, 4 + 4 * 13}, {2, 4 + 2 * 13}, {5, -1}, {-1, -1}, {-7, -1}};
    const int y = graph.PlotRect().top() + 5;
    for (const Row& row : rows) {
        graph.SetPlayhead(row.valueIndex);
        if (row.x >= 0) {
            EXPECT_EQ(Pixel(row.x, y), kPlayhead) << row.valueIndex;
        }
        const int drawn = row.x >= 0 ? 1 : 0;
        int count = 0;
        for (int x = 0; x < graph.width(); ++x) count += Pixel(x, y) == kPlayhead ? 1 : 0;
        EXPECT_EQ(count, drawn) << row.valueIndex;
    }
    graph.SetPlayhead(2);
    graph.SetPlayhead(-1, false);
    EXPECT_EQ(Pixel(4 + 2 * 13, y), kPlayhead) << "left for the next redraw";
    EXPECT_EQ(graph.Playhead(), -1);
}

TEST_F(GraphFixture, ToolTipNamesTheValueUnderThePointer) {
    for (int i = 0; i < 3; ++i) graph.AddValue(series, 20);
    EXPECT_EQ(graph.ToolTipAt(4), QString()) << "no tip without a text for it";
    graph.SetValueTip([](int index) { return QStringLiteral("value %1").arg(index); });
    const struct Row {
        int x;
        const char* tip;
    } rows[] = {{4, "value 2"},  {10, "value 2"}, {11, "value 1"}, {17, "value 1"},
                {30, "value 0"}, {36, "value 0"}, {37, ""},        {500, ""}};
    for (const Row& row : rows) EXPECT_EQ(graph.ToolTipAt(row.x).toStdString(), row.tip) << row.x;

    // Through the tooltip event, as the pointer rests over the graph.
    graph.show();
    QHelpEvent help(QEvent::ToolTip, QPoint(17, 50), graph.mapToGlobal(QPoint(17, 50)));
    QApplication::sendEvent(&graph, &help);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), "value 1");
}

TEST_F(GraphFixture, ScaleLabelsSitOnTheirValuesAtThePlotsRightEnd) {
    const QRgb rulerGrey = 0xFFA0A8B2;
    graph.SetLabels({{100, QStringLiteral("Y 0"), 0x00FFFF}});
    graph.SetRuler(50, 114, QStringLiteral("1 g"));
    const QImage& picture = graph.Picture();
    const int right = graph.PlotRect().right();
    // Value 100 stands 52 px above the bottom: its text crosses that row, near the end.
    bool labelled = false;
    for (int y = Bottom() - 52 - 2; y <= Bottom() - 52 + 2; ++y)
        labelled = labelled || RowHasYellow(picture, y, right - 30, right);
    EXPECT_TRUE(labelled);
    EXPECT_FALSE(RowHasYellow(picture, Bottom() - 52, graph.PlotRect().left(), right - 60));
    // The ruler runs from value 50 (26 px up) to value 114 (59 px up), left of the label.
    int rulerX = -1;
    for (int x = right - 60; x < right && rulerX < 0; ++x)
        if (Pixel(x, Bottom() - 40) == rulerGrey && Pixel(x, Bottom() - 30) == rulerGrey)
            rulerX = x;
    ASSERT_GE(rulerX, 0);
    EXPECT_EQ(Pixel(rulerX, Bottom() - 26), rulerGrey);
    EXPECT_EQ(Pixel(rulerX, Bottom() - 59), rulerGrey);
    EXPECT_NE(Pixel(rulerX, Bottom() - 62), rulerGrey);
    EXPECT_NE(Pixel(rulerX, Bottom() - 22), rulerGrey);
}
