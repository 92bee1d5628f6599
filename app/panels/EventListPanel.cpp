#include "app/panels/EventListPanel.h"

#include <QHeaderView>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/panels/EventKinds.h"
#include "app/panels/TimelinePanel.h"
#include "controls/ColorRef.h"
#include "support/QtText.h"
#include "support/StringTable.h"

namespace {

constexpr TextId kColumns[] = {texts::kEventColumnTime, texts::kEventColumnKind,
                               texts::kEventColumnPeak, texts::kEventColumnSpeed};
constexpr QSize kPanelSize(420, 260);
constexpr int kSwatchPx = 10;

// The kind's colour as on the slider and in the legend (white reads on any ground with its
// border).
QIcon Swatch(uint32_t colour) {
    QPixmap swatch(kSwatchPx, kSwatchPx);
    swatch.fill(ColorRefToQColor(colour));
    QPainter border(&swatch);
    border.setPen(QColor(90, 90, 90));
    border.drawRect(0, 0, kSwatchPx - 1, kSwatchPx - 1);
    return QIcon(swatch);
}

}  // namespace

EventListPanel::EventListPanel(TimelinePanel& timeline, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_timeline(timeline), m_pRows(new QTreeWidget(this)) {
    setWindowTitle(Tr(texts::kEventListTitle));
    setAccessibleName(windowTitle());
    m_pRows->setAccessibleName(windowTitle());
    m_pRows->setRootIsDecorated(false);
    m_pRows->setUniformRowHeights(true);
    m_pRows->setColumnCount(kColumnCount);
    QStringList headers;
    for (TextId column : kColumns) headers << Tr(column);
    m_pRows->setHeaderLabels(headers);
    m_pRows->header()->setStretchLastSection(false);
    m_pRows->header()->setSectionResizeMode(kKindColumn, QHeaderView::Stretch);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pRows);
    resize(kPanelSize);
    connect(m_pRows, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { OnRow(m_pRows->indexOfTopLevelItem(item)); });
    connect(m_pRows, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { OnRow(m_pRows->indexOfTopLevelItem(item)); });
    connect(&m_timeline, &TimelinePanel::eventsChanged, this, [this] { Refill(); });
    Refill();
}

void EventListPanel::Refill() {
    m_pRows->clear();
    const std::vector<DrivingEvent>& events = m_timeline.Events();
    for (const DrivingEvent& event : events) {
        const TimelinePanel::EventFields fields = m_timeline.DescribeEvent(event);
        auto* item = new QTreeWidgetItem(
            m_pRows, QStringList{fields.timeOfDay, fields.kind, fields.peak, fields.speed});
        item->setIcon(kKindColumn, Swatch(EventColour(event.kind)));
        item->setTextAlignment(kPeakColumn, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(kSpeedColumn, Qt::AlignRight | Qt::AlignVCenter);
    }
    if (events.empty()) {
        // Says so instead of an empty box; it is not an event and jumps nowhere.
        auto* none = new QTreeWidgetItem(m_pRows, QStringList{Tr(texts::kNoEvents)});
        none->setFlags(Qt::NoItemFlags);
        none->setFirstColumnSpanned(true);
    }
    for (int column = 0; column < kColumnCount; ++column)
        if (column != kKindColumn) m_pRows->resizeColumnToContents(column);
}

void EventListPanel::OnRow(int row) {
    if (row < 0 || static_cast<size_t>(row) >= m_timeline.Events().size()) return;
    m_timeline.JumpToEvent(static_cast<size_t>(row));
}
