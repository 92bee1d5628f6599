#pragma once
// The Archive view: the days the archive holds, newest first, each with its trips (start and
// end, length, recordings) and its bookmarks with their notes; a search row (a date range,
// an event kind or the bookmarks, and a place picked on the map with a radius) whose
// matches are listed a page at a time; and a map with the routes of the days listed or
// found. Activating a row, or clicking a route, asks the window to play that recording from
// that moment (playRequested).
//
// Everything read from the catalogue comes through ArchiveViewModel, off the GUI thread; the
// view only shows what it delivers. GUI thread only.

#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

#include "archive/ArchiveBrowse.h"
#include "archive/ArchiveFind.h"

class ArchiveViewModel;
class CMapView;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QSpinBox;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

class ArchiveView : public QWidget {
    Q_OBJECT
public:
    // The rows' data: the recording's full path and the moment in it.
    static constexpr int kPathRole = Qt::UserRole;
    static constexpr int kOffsetRole = Qt::UserRole + 1;
    static constexpr int kResultsPerPage = 200;
    static constexpr int kDefaultRadiusM = 1000;

    // withMap: a map beside the list (where the browser engine is there to draw one).
    explicit ArchiveView(QWidget* parent = nullptr, bool withMap = true);

    // The archive to show; lists its newest days.
    void ShowArchive(const std::string& folder, const std::string& catalogue);
    ArchiveViewModel& Model() const { return *m_model; }

    // The search row's parts and the list, for the window's tests.
    QTreeWidget* Tree() const { return m_tree; }
    QComboBox* KindCombo() const { return m_kind; }
    QPushButton* SearchButton() const { return m_search; }
    QPushButton* MoreButton() const { return m_more; }
    QLabel* Status() const { return m_status; }
    CMapView* Map() const { return m_map; }
    // The place a search is near (as a click on the map picks it); none: anywhere.
    void SetNear(std::optional<std::pair<double, double>> place);
    // A click on a route: plays the moment that passed nearest there.
    void OnRouteClicked(double latitude, double longitude);

signals:
    void playRequested(const QString& path, qint64 offsetMs);
    void settingsRequested();

private:
    void BuildSearchRow();
    void BuildBody(bool withMap);
    FindQuery Query() const;
    void StartSearch();
    void ShowAllDays();
    void OnMore();
    void OnDaysLoaded(const DayPage& page, bool firstPage);
    void OnFound(const std::vector<FindMatch>& matches);
    void ShowMoreResults();
    void OnRoutesLoaded();
    void OnMapClicked(double latitude, double longitude);
    void OnActivated(QTreeWidgetItem* item);
    void SetStatus(const QString& text);
    QTreeWidgetItem* DayItem(int64_t day);
    QTreeWidgetItem* AddRow(QTreeWidgetItem* day, const QString& text, const std::string& path,
                            int64_t offsetMs);

    ArchiveViewModel* m_model = nullptr;  // child
    QCheckBox* m_dates = nullptr;
    QDateEdit* m_from = nullptr;
    QDateEdit* m_to = nullptr;
    QComboBox* m_kind = nullptr;
    QToolButton* m_near = nullptr;
    QSpinBox* m_radius = nullptr;
    QPushButton* m_search = nullptr;
    QPushButton* m_allDays = nullptr;
    QTreeWidget* m_tree = nullptr;
    QPushButton* m_more = nullptr;
    QLabel* m_status = nullptr;
    CMapView* m_map = nullptr;  // null without a map

    std::optional<std::pair<double, double>> m_nearPlace;  // (latitude, longitude)
    std::optional<int64_t> m_nextBeforeDay;                // the days' next page
    std::vector<FindMatch> m_matches;                      // the search's, newest first
    size_t m_matchesShown = 0;
    bool m_searching = false;  // the list shows a search's matches, not the days
};
