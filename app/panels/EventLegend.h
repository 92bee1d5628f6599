#pragma once
// The legend of the driving events' colours beside the G-sensor graph: a caption and, for
// each kind, its swatch and its name in the user's language. It draws on the window's own
// background (nothing is erased under it) and takes no input.
//
// GUI thread only.

#include <QString>
#include <QWidget>
#include <vector>

class EventLegend : public QWidget {
public:
    explicit EventLegend(QWidget* parent = nullptr);

    // The caption, then one line per kind: "Hard braking", ... (what the legend reads out).
    std::vector<QString> Lines() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
