// Filling the recording list with 10,000 rows, up to the first picture of the list: the view
// over its model against the item widget the list used to be (its items built the same way,
// cell by cell with their alignment), interleaved in the same run. Prints medians and the
// ratio. Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include <QApplication>
#include <QElapsedTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/list/RecordingListView.h"

namespace {

constexpr int kRows = 10000;
constexpr int kRounds = 9;
constexpr int kColumns = 6;  // the item widget kept the path in a hidden sixth column

std::vector<CatalogueRow> MakeRows() {
    std::vector<CatalogueRow> rows;
    rows.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        char name[64], date[32];
        std::snprintf(name, sizeof name, "REC_20260314_%06d_D.AVI", kRows - 1 - i);
        std::snprintf(date, sizeof date, "2026.03.14 %02d:%02d:%02d", (kRows - i) / 3600 % 24,
                      (kRows - i) / 60 % 60, (kRows - i) % 60);
        rows.push_back(
            {name, "REC", date, "0", "2621,440", std::string("/media/card/DRIVING/") + name});
    }
    return rows;
}

// The list as an item widget: every row an item of six texts, each cell aligned.
double FillItemWidget(const std::vector<CatalogueRow>& rows) {
    QTreeWidget list;
    list.setColumnCount(kColumns);
    list.setUniformRowHeights(true);
    list.resize(320, 178);
    list.show();
    QApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    list.setUpdatesEnabled(false);
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<int>(rows.size()));
    for (const CatalogueRow& row : rows) {
        auto* item = new QTreeWidgetItem(QStringList{
            QString::fromStdString(row.fileName), QString::fromStdString(row.type),
            QString::fromStdString(row.date), QString::fromStdString(row.rear),
            QString::fromStdString(row.size + " KB"), QString::fromStdString(row.path)});
        for (int c = 0; c < kColumns; ++c)
            item->setTextAlignment(c,
                                   (c == 0 ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter);
        items.push_back(item);
    }
    list.addTopLevelItems(items);
    list.setUpdatesEnabled(true);
    list.setCurrentItem(list.topLevelItem(0));
    list.repaint();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

double FillView(const std::vector<CatalogueRow>& rows) {
    RecordingListView list;
    list.resize(320, 178);
    list.show();
    QApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    list.ShowRecordings(rows);
    list.repaint();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const std::vector<CatalogueRow> rows = MakeRows();
    std::vector<double> widget, view;
    for (int round = 0; round < kRounds; ++round) {
        widget.push_back(FillItemWidget(rows));
        view.push_back(FillView(rows));
    }
    const double w = Median(widget), v = Median(view);
    std::printf("fill %d rows to the first picture (median of %d)\n", kRows, kRounds);
    std::printf("  item widget (reference)  %8.1f ms\n", w);
    std::printf("  view over its model      %8.1f ms\n", v);
    std::printf("  ratio view / widget      %8.3f\n", v / w);
    return 0;
}
