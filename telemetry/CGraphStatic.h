#pragma once
// A small line chart of integer series: the G-sensor graph of the main window (one series per
// axis), with labelled levels and a ruler for its scale, a playhead and a tooltip of the value
// under the pointer. Everything is rendered into an off-screen picture of the
// control's size; painting only copies that picture, so a redraw never shows a partial state.
//
// Two ways of laying values along the plot: scrolling (the newest value at the left edge,
// older ones a fixed step further right each), or a span (SetSpan: the plot's width holds a
// given number of values, the first at the left edge, however wide the control is).
//
// The geometry (client size, plot rectangle, picture size) is taken by PreSubclassWindow,
// when the window has placed the control, and again whenever the control is resized.
//
// GUI thread only.

#include <QImage>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

struct GraphSeries {
    static constexpr int kValueCount = 1024;

    uint32_t colour = 0;  // 0x00BBGGRR
    uint32_t reserved = 0;
    int32_t visible = 1;
    int penWidth = 1;
    int32_t values[kValueCount] = {};  // pixel heights above the plot bottom
    int32_t writeIndex = 0;            // 0 ... kValueCount - 1
};

class CGraphStatic : public QWidget {
    Q_OBJECT
public:
    static constexpr uint32_t kDefaultBackColour = 1;  // practically black
    static constexpr uint32_t kDefaultGridColour = 0x292929;
    static constexpr int kDefaultStep = 10;
    static constexpr int kDefaultRange = 100;
    static constexpr int kPlotInsetLeft = 4;
    static constexpr int kPlotInset = 2;  // top, right and bottom

    explicit CGraphStatic(QWidget* parent = nullptr);
    ~CGraphStatic() override;

    // Takes the control's current size as its geometry and makes the off-screen picture.
    void PreSubclassWindow();

    // A new series, appended to the list; the control owns it.
    GraphSeries* AddSeries(uint32_t colour, int penWidth);
    void ClearSeries(GraphSeries* series);
    void AddValue(GraphSeries* series, int value);
    // Replaces the series' values (at most kValueCount - 1; the first is value index 0) and leaves
    // the picture to the next Redraw.
    void SetValues(GraphSeries* series, const std::vector<int>& values);
    // values > 0: the plot's width holds that many values, the first at its left edge; 0:
    // scrolling. Leaves the picture to the next Redraw.
    void SetSpan(int values);
    int Span() const { return m_nSpan; }
    void SetGrid(bool on);
    void SetRange(int range, int valuePerDivision);
    void SetXStep(int pixels);
    // Renders the picture and repaints the control now.
    void Redraw();

    const QImage& Picture() const { return m_picture; }
    const QRect& PlotRect() const { return m_rcPlot; }
    int Divisions() const { return m_nDivisions; }

    // Marks: vertical lines at value indexes (0 = the first value added since the series were
    // cleared), drawn under the curves; the window marks driving events with them.
    struct Mark {
        int valueIndex = 0;
        uint32_t colour = 0;  // 0x00BBGGRR
    };
    void SetMarks(std::vector<Mark> marks);
    const std::vector<Mark>& Marks() const { return m_marks; }
    // The value index drawn nearest to x in the control, or -1 off the curves.
    int ValueIndexAt(int x) const;

    // The scale, drawn at the right end of the plot: a text at the height of a value (the
    // rest line of a series, say) and a ruler from one value to another with its text (how
    // tall one g is). Values are those AddValue takes.
    struct Label {
        int value = 0;
        QString text;
        uint32_t colour = 0;  // 0x00BBGGRR
    };
    void SetLabels(std::vector<Label> labels);
    void SetRuler(int fromValue, int toValue, const QString& text);
    // A line across the plot at a value index (where playback is); -1: none. redraw false
    // leaves the picture to the next redraw.
    void SetPlayhead(int valueIndex, bool redraw = true);
    int Playhead() const { return m_nPlayhead; }
    // The text of the tooltip at a value index; without one the graph shows no tooltip.
    void SetValueTip(std::function<QString(int valueIndex)> tip) { m_valueTip = std::move(tip); }
    // What the tooltip says with the pointer at x: empty off the curves.
    QString ToolTipAt(int x) const;

signals:
    // A left click on the curves, with the value index under the pointer.
    void valueClicked(int valueIndex);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void TakeGeometry();
    // Where value index is drawn, with count values in the series.
    double XOf(int index, int count) const;
    // Pixels between neighbouring values.
    double ValueStep() const;
    bool Owns(const GraphSeries* series) const;
    int ValueCount() const;  // values of the longest series
    static constexpr int kMarkWidth = 2;
    // Height above the plot's bottom of a value, clamped to the plot.
    int PixelsOf(int value) const;
    void Render();
    void RenderScale(QPainter& painter) const;

    uint32_t m_crBack = kDefaultBackColour;
    uint32_t m_crGrid = kDefaultGridColour;
    QRect m_rcClient;
    QRect m_rcPlot;  // right and bottom are exclusive-style edges: left + width, top + height
    int m_nDefaultStep = kDefaultStep;
    bool m_bGrid = true;
    int m_nRange = kDefaultRange;
    int m_nDivisions = kDefaultRange / kDefaultStep;
    int m_nXStep = kDefaultStep;
    int m_nPerDivision = kDefaultStep;
    int m_nClientHeight = 0;
    int m_nClientWidth = 0;
    std::vector<std::unique_ptr<GraphSeries>> m_series;
    QImage m_picture;
    std::vector<Mark> m_marks;
    std::vector<Label> m_labels;
    int m_nRulerFrom = 0;
    int m_nRulerTo = 0;
    QString m_strRuler;  // empty: no ruler
    int m_nPlayhead = -1;
    int m_nSpan = 0;
    std::function<QString(int)> m_valueTip;
};
