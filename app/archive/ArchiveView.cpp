#include "app/archive/ArchiveView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>
#include <filesystem>
#include <limits>
#include <set>

#include "app/archive/ArchiveViewModel.h"
#include "app/panels/EventKinds.h"
#include "support/CivilDate.h"
#include "support/QtText.h"
#include "support/StringTable.h"
#include "telemetry/CMapView.h"

namespace {

constexpr int kInitialWidth = 960, kInitialHeight = 600;
constexpr int kMaxRadiusM = 100000;
constexpr int kRadiusStepM = 100;
constexpr int64_t kMsPerDay = kSecondsPerDay * 1000;
// The search row's entry for the bookmarks, beside the event kinds' names.
constexpr const char* kBookmarksEntry = "#bookmarks";

int64_t DayOfMs(int64_t ms) {
    return ms >= 0 ? ms / kMsPerDay : (ms - kMsPerDay + 1) / kMsPerDay;
}

// "2026-03-14" of a day since 1970.
QString DayText(int64_t day) {
    const CivilDate d = CivilFromDays(day);
    return QString::asprintf("%04d-%02d-%02d", int(d.year), int(d.month), int(d.day));
}

// "18:25:09" of a time on the camera clock.
QString ClockText(int64_t ms) {
    const int64_t s = (ms - DayOfMs(ms) * kMsPerDay) / 1000;
    return QString::asprintf("%02d:%02d:%02d", int(s / 3600), int(s / 60 % 60), int(s % 60));
}

// "1:02:03" or "12:05".
QString LengthText(int64_t ms) {
    const int64_t s = ms / 1000;
    return s >= 3600
               ? QString::asprintf("%d:%02d:%02d", int(s / 3600), int(s / 60 % 60), int(s % 60))
               : QString::asprintf("%d:%02d", int(s / 60), int(s % 60));
}

// What a match is, in the user's words.
QString MatchText(const FindMatch& m) {
    if (m.kind == "event") {
        for (DrivingEventKind kind : kEventKinds)
            if (m.event == DrivingEventName(kind)) return EventKindName(kind);
        return QString::fromStdString(m.event);
    }
    if (m.kind == "bookmark") return Tr(texts::kBookmarks) + ": " + QString::fromStdString(m.note);
    if (m.kind == "place") return Tr(texts::kPlace, m.distanceM.value_or(0));
    return Tr(texts::kRecording);
}

}  // namespace

ArchiveView::ArchiveView(QWidget* parent, bool withMap)
    : QWidget(parent, Qt::Window), m_model(new ArchiveViewModel(this)) {
    setWindowTitle(Tr(texts::kArchiveTitle));
    new QVBoxLayout(this);
    BuildSearchRow();
    BuildBody(withMap && CMapView::Available());
    connect(m_model, &ArchiveViewModel::daysLoaded, this, &ArchiveView::OnDaysLoaded);
    connect(m_model, &ArchiveViewModel::found, this, &ArchiveView::OnFound);
    connect(m_model, &ArchiveViewModel::routesLoaded, this, &ArchiveView::OnRoutesLoaded);
    connect(m_model, &ArchiveViewModel::failed, this, &ArchiveView::SetStatus);
    resize(kInitialWidth, kInitialHeight);
}

void ArchiveView::BuildSearchRow() {
    auto* row = new QHBoxLayout;
    m_dates = new QCheckBox(Tr(texts::kDates), this);
    m_from = new QDateEdit(QDate::currentDate().addDays(-7), this);
    m_to = new QDateEdit(QDate::currentDate(), this);
    for (QDateEdit* edit : {m_from, m_to}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setEnabled(false);
        connect(m_dates, &QCheckBox::toggled, edit, &QWidget::setEnabled);
    }
    m_kind = new QComboBox(this);
    m_kind->addItem(Tr(texts::kEverything), QString());
    for (DrivingEventKind kind : kEventKinds)
        m_kind->addItem(EventKindName(kind), QString::fromLatin1(DrivingEventName(kind)));
    m_kind->addItem(Tr(texts::kBookmarks), QString::fromLatin1(kBookmarksEntry));
    m_near = new QToolButton(this);
    m_near->setText(Tr(texts::kNear));
    m_near->setCheckable(true);
    m_radius = new QSpinBox(this);
    m_radius->setRange(kRadiusStepM, kMaxRadiusM);
    m_radius->setSingleStep(kRadiusStepM);
    m_radius->setValue(kDefaultRadiusM);
    m_radius->setSuffix(QStringLiteral(" m"));
    m_search = new QPushButton(Tr(texts::kSearch), this);
    m_allDays = new QPushButton(Tr(texts::kAllDays), this);
    auto* settings = new QPushButton(Tr(texts::kSettings), this);
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_dates, m_from, new QLabel("–", this), m_to, m_kind,
                                         m_near, m_radius, m_search, m_allDays})
        row->addWidget(w);
    row->addStretch();
    row->addWidget(settings);
    static_cast<QVBoxLayout*>(layout())->addLayout(row);
    connect(m_near, &QToolButton::toggled, this, [this](bool on) {
        if (on)
            SetStatus(Tr(texts::kPickPlace));
        else
            SetNear(std::nullopt);
    });
    connect(m_search, &QPushButton::clicked, this, &ArchiveView::StartSearch);
    connect(m_allDays, &QPushButton::clicked, this, &ArchiveView::ShowAllDays);
    connect(settings, &QPushButton::clicked, this, &ArchiveView::settingsRequested);
}

void ArchiveView::BuildBody(bool withMap) {
    auto* split = new QSplitter(Qt::Horizontal, this);
    m_tree = new QTreeWidget(split);
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setUniformRowHeights(true);
    connect(m_tree, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { OnActivated(item); });
    if (withMap) {
        m_map = new CMapView(split, CMapView::BrowserStart::WhenShown);
        m_map->Navigate(CMapView::DefaultTileSource());
        connect(m_map, &CMapView::routeClicked, this, &ArchiveView::OnRouteClicked);
        connect(m_map, &CMapView::mapClicked, this, &ArchiveView::OnMapClicked);
        split->setStretchFactor(1, 1);
    } else {
        // No map to pick a place on.
        m_near->hide();
        m_radius->hide();
    }
    auto* bottom = new QHBoxLayout;
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    m_more = new QPushButton(Tr(texts::kMore), this);
    m_more->hide();
    connect(m_more, &QPushButton::clicked, this, &ArchiveView::OnMore);
    bottom->addWidget(m_status, 1);
    bottom->addWidget(m_more);
    auto* layout = static_cast<QVBoxLayout*>(this->layout());
    layout->addWidget(split, 1);
    layout->addLayout(bottom);
}

void ArchiveView::ShowArchive(const std::string& folder, const std::string& catalogue) {
    m_model->SetArchive(folder, catalogue);
    ShowAllDays();
}

void ArchiveView::SetStatus(const QString& text) {
    m_status->setText(text);
}

// ---- the days ----

void ArchiveView::ShowAllDays() {
    m_searching = false;
    m_matches.clear();
    m_nextBeforeDay.reset();
    m_tree->clear();
    m_more->hide();
    SetStatus(QString());
    m_model->LoadDays(std::nullopt);
}

void ArchiveView::OnMore() {
    if (m_searching) return ShowMoreResults();
    if (!m_nextBeforeDay) return;
    m_model->LoadDays(m_nextBeforeDay);
    m_more->setEnabled(false);  // until the page has come
}

QTreeWidgetItem* ArchiveView::DayItem(int64_t day) {
    const QString text = DayText(day);
    const int count = m_tree->topLevelItemCount();
    if (count > 0 && m_tree->topLevelItem(count - 1)->text(0) == text)
        return m_tree->topLevelItem(count - 1);
    auto* item = new QTreeWidgetItem(m_tree, {text});
    item->setExpanded(true);
    return item;
}

QTreeWidgetItem* ArchiveView::AddRow(QTreeWidgetItem* day, const QString& text,
                                     const std::string& path, int64_t offsetMs) {
    auto* item = new QTreeWidgetItem(day, {text});
    const std::string full = (std::filesystem::path(m_model->Folder()) / path).string();
    item->setData(0, kPathRole, QString::fromStdString(full));
    item->setData(0, kOffsetRole, qint64(offsetMs));
    item->setToolTip(0, QString::fromStdString(path));
    return item;
}

void ArchiveView::OnDaysLoaded(const DayPage& page, bool firstPage) {
    if (m_searching) return;
    if (firstPage) m_tree->clear();
    std::vector<int64_t> days;
    for (const BrowseDay& d : page.days) {
        QTreeWidgetItem* day = DayItem(d.day);
        days.push_back(d.day);
        for (const BrowseTrip& t : d.trips) {
            const QString text =
                Tr(texts::kTripRow, ClockText(t.startMs).toUtf8().constData(),
                   ClockText(t.endMs).toUtf8().constData(),
                   LengthText(t.endMs - t.startMs).toUtf8().constData(), t.recordings);
            AddRow(day, text, t.firstPath, 0);
        }
        for (const BrowseBookmark& b : d.bookmarks)
            AddRow(
                day,
                Tr(texts::kBookmarkRow, ClockText(b.cameraMs).toUtf8().constData(), b.note.c_str()),
                b.path, b.offsetMs);
    }
    m_nextBeforeDay = page.nextBeforeDay;
    m_more->setVisible(bool(m_nextBeforeDay));
    m_more->setEnabled(true);
    if (firstPage && page.days.empty()) SetStatus(Tr(texts::kEmpty));
    if (firstPage) m_model->LoadRoutes(days);
}

// ---- the search ----

FindQuery ArchiveView::Query() const {
    FindQuery q;
    if (m_dates->isChecked()) {
        const QDate from = std::min(m_from->date(), m_to->date());
        const QDate to = std::max(m_from->date(), m_to->date());
        q.fromMs = DaysFromCivil(from.year(), from.month(), from.day()) * kMsPerDay;
        q.toMs = (DaysFromCivil(to.year(), to.month(), to.day()) + 1) * kMsPerDay - 1;
    }
    const QString kind = m_kind->currentData().toString();
    if (kind == QLatin1String(kBookmarksEntry))
        q.bookmarked = true;
    else if (!kind.isEmpty())
        q.eventKind = kind.toStdString();
    if (m_nearPlace) {
        q.latitude = m_nearPlace->first;
        q.longitude = m_nearPlace->second;
        q.radiusM = m_radius->value();
    }
    return q;
}

void ArchiveView::StartSearch() {
    const FindQuery q = Query();
    // Nothing asked for: the days as they are.
    if (!q.fromMs && !q.eventKind && !q.bookmarked && !q.latitude) return ShowAllDays();
    m_searching = true;
    m_matches.clear();
    m_tree->clear();
    m_more->hide();
    SetStatus(Tr(texts::kSearching));
    m_model->Find(q);
}

void ArchiveView::OnFound(const std::vector<FindMatch>& matches) {
    if (!m_searching) return;
    m_matches = matches;
    m_matchesShown = 0;
    m_tree->clear();
    SetStatus(Tr(texts::kArchiveFound, int(matches.size())));
    ShowMoreResults();
    std::set<int64_t> days;
    for (const FindMatch& m : matches)
        if (m.cameraMs) days.insert(DayOfMs(*m.cameraMs));
    m_model->LoadRoutes({days.begin(), days.end()});
}

void ArchiveView::ShowMoreResults() {
    const size_t end = std::min(m_matches.size(), m_matchesShown + kResultsPerPage);
    for (; m_matchesShown < end; ++m_matchesShown) {
        const FindMatch& m = m_matches[m_matchesShown];
        QTreeWidgetItem* day = DayItem(m.cameraMs ? DayOfMs(*m.cameraMs) : 0);
        const QString when = m.cameraMs ? ClockText(*m.cameraMs) : QString();
        const QString name =
            QString::fromStdString(std::filesystem::path(m.path).filename().string());
        AddRow(day, when + " · " + MatchText(m) + " · " + name, m.path, m.offsetMs);
    }
    m_more->setVisible(m_matchesShown < m_matches.size());
    m_more->setEnabled(true);
}

// ---- the map ----

void ArchiveView::OnRoutesLoaded() {
    if (!m_map) return;
    std::vector<CMapView::RoutePoint> points;
    for (const auto& line : m_model->Routes().lines) {
        if (!points.empty()) points.push_back({std::numeric_limits<double>::quiet_NaN(), 0, 0});
        for (const RouteWaypoint& w : line) points.push_back({w.latitude, w.longitude, w.speedKmh});
    }
    m_map->SetRoute(std::move(points));
}

void ArchiveView::OnMapClicked(double latitude, double longitude) {
    if (!m_near->isChecked() || m_nearPlace) return;
    SetNear(std::make_pair(latitude, longitude));
}

void ArchiveView::SetNear(std::optional<std::pair<double, double>> place) {
    m_nearPlace = place;
    if (place) {
        SetStatus(Tr(texts::kNearPlace, place->first, place->second));
        if (m_map) m_map->CenterOn(float(place->first), float(place->second));
    }
    const QSignalBlocker quiet(m_near);
    m_near->setChecked(bool(place));
}

void ArchiveView::OnRouteClicked(double latitude, double longitude) {
    if (m_near->isChecked() && !m_nearPlace) return;  // the click picks a place instead
    const std::optional<RouteMoment> moment = m_model->MomentAt(latitude, longitude);
    if (!moment) return SetStatus(Tr(texts::kNoRouteHere));
    emit playRequested(QString::fromStdString(moment->path), moment->offsetMs);
}

void ArchiveView::OnActivated(QTreeWidgetItem* item) {
    const QString path = item ? item->data(0, kPathRole).toString() : QString();
    if (path.isEmpty()) return;
    emit playRequested(path, item->data(0, kOffsetRole).toLongLong());
}
