#pragma once
// A small line chart of integer series, drawn without text: the G-sensor graph of the main
// window (one series per axis). Everything is rendered into an off-screen picture of the
// control's size; painting only copies that picture, so a redraw never shows a partial state.
//
// The geometry (client size, plot rectangle, picture size) is taken once by
// PreSubclassWindow, when the window has placed the control, and kept from then on.
//
// GUI thread only.

#include <QImage>
#include <QRect>
#include <QWidget>
#include <cstdint>
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

signals:
    // A left click on the curves, with the value index under the pointer.
    void valueClicked(int valueIndex);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool Owns(const GraphSeries* series) const;
    int ValueCount() const;  // values of the longest series
    static constexpr int kMarkWidth = 2;
    void Render();

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
};
