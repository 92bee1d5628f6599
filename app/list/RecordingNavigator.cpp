#include "app/list/RecordingNavigator.h"

#include <filesystem>
#include <memory>

#include "app/dialogs/WindowDialogs.h"
#include "app/list/RecordingListView.h"
#include "app/playback/PlaybackController.h"
#include "library/CardRoot.h"
#include "library/TripCatalogue.h"
#include "support/QtText.h"
#include "support/StringTable.h"

namespace fs = std::filesystem;

namespace {

// The given path made absolute and without "." or ".." parts or a trailing '/'.
fs::path Normalised(const QString& path) {
    std::error_code error;
    fs::path absolute = fs::absolute(fs::path(path.toStdString()), error).lexically_normal();
    if (absolute.filename().empty() && absolute.has_parent_path() && absolute != "/") {
        absolute = absolute.parent_path();
    }
    return absolute;
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    std::error_code error;
    return fs::equivalent(a, b, error);
}

}  // namespace

RecordingNavigator::RecordingNavigator(RecordingListView& list, MainWindowControls& controls,
                                       PlaybackController& playback, WindowDialogs& dialogs,
                                       NavigatorHooks hooks)
    : m_hooks(std::move(hooks)),
      m_dialogs(dialogs),
      m_list(list),
      m_playback(playback),
      m_cards(list, controls, dialogs, m_hooks),
      m_unplayable(*list.Model(), dialogs) {
    ConnectList();
}

void RecordingNavigator::ConnectList() {
    connect(&m_list, &RecordingListView::rowActivated, this,
            [this](int row) { OnListDoubleClick(row); });
    connect(&m_list, &RecordingListView::tripRecordingActivated, this,
            [this](int row, int index) { PlayTripFrom(row, static_cast<size_t>(index)); });
    connect(&m_list, &RecordingListView::tripsToggleRequested, this, [this] { OnToggleTrips(); });
    // What an empty list says depends on the card, which may have gone with the rows.
    const auto placeholder = [this] { m_cards.UpdateListPlaceholder(); };
    RecordingListModel* model = m_list.Model();
    connect(model, &QAbstractItemModel::modelReset, this, placeholder);
    connect(model, &QAbstractItemModel::rowsRemoved, this, placeholder);
    m_cards.UpdateListPlaceholder();
}

// ---- what the user names ----

bool RecordingNavigator::OpenPath(const QString& path) {
    const fs::path target = Normalised(path);
    std::error_code error;
    if (fs::is_directory(target, error)) return m_cards.OpenFolder(target);
    if (!fs::is_regular_file(target, error)) {
        m_cards.NoteCannotOpen(target.filename().string());
        return false;
    }
    // A recording already listed plays from the list as it stands (the view chosen).
    if (const int row = RowOfPath(target.string()); row >= 0) {
        OnListDoubleClick(row);
        return IsOpeningRow(row);
    }
    // A recording shows in its card's list (the folder above its category folder), or in
    // the list of its own folder when it lies outside a card.
    const fs::path folder = target.parent_path();
    CatalogueView view = CatalogueView::Driving;
    const bool inCard = CategoryViewOfFolder(folder.filename().string(), &view) &&
                        HasCardLayout(CardRoot(folder.parent_path().string()));
    if (inCard) {
        m_cards.ShowCardCategory(folder.parent_path().string(), view);
    } else {
        m_cards.ShowLooseFolder(folder.string(), target.string());
    }
    return PlayListedPath(target.string());
}

bool RecordingNavigator::PlayListedPath(const std::string& path) {
    int row = RowOfListedPath(path);
    // Named another way (a link, another spelling of the folder): the file itself decides.
    for (int r = 0; row < 0 && r < m_list.RowCount(); ++r)
        if (SameFile(PathCell(r), path)) row = r;
    if (PlayTripOf(path, row)) return true;
    if (row >= 0) {
        OnListDoubleClick(row);
        return IsOpeningRow(row);
    }
    // A name the list does not take (another extension): played on its own.
    m_nCurIndex = -1;
    return m_hooks.openRecording(path, -1);
}

bool RecordingNavigator::IsOpeningRow(int row) const {
    const PlaybackState state = m_playback.State();
    return m_nCurIndex == row && state != PlaybackState::Failed && state != PlaybackState::NoMedia;
}

bool RecordingNavigator::AskForCard() {
    // The card that went away is back: OPEN picks it up again without asking.
    if (m_cards.IsLostCardBack()) {
        return m_cards.ShowCardCategory(m_cards.LastCard(), CatalogueView::Driving);
    }
    std::string drive;
    switch (m_dialogs.RunDriveDialog(&drive)) {
        case DriveChoice::Drive:
            return m_cards.ShowCardCategory(drive, CatalogueView::Driving);
        case DriveChoice::ChooseFolder: {
            const QString folder =
                m_dialogs.RunFolderDialog(QString::fromStdString(m_cards.LastCard()));
            return !folder.isEmpty() && OpenPath(folder);
        }
        case DriveChoice::Cancelled:
            break;
    }
    return false;
}

void RecordingNavigator::ListAgain(bool tripsView, CatalogueView view) {
    m_cards.ShowCategory(view);
    if (tripsView) FillTrips(view);
}

// ---- rows ----

int RecordingNavigator::RowOfPath(const std::string& path) const {
    return m_list.Model()->RowOfFile(QString::fromStdString(path));
}

int RecordingNavigator::RowOfListedPath(const std::string& path) const {
    return m_list.Model()->RowOf(QString::fromStdString(path));
}

bool RecordingNavigator::IsRowUnplayable(int row) const {
    return m_list.Model()->IsUnplayable(row);
}

std::string RecordingNavigator::PathCell(int row) const {
    return m_list.PathOf(row).toStdString();
}

void RecordingNavigator::OnListDoubleClick(int row) {
    if (row < 0) return;
    if (OnTripDoubleClick(row)) return;
    const std::string path = PathCell(row);
    if (path.empty()) return;
    m_nCurIndex = row;
    if (m_hooks.openRecording(path, -1)) {
        m_list.SelectOnly(row, true);
        m_list.setFocus();
        m_list.viewport()->update();
    } else if (!m_hooks.isPlayerActive()) {
        // A failed open has already handed over to the row above; only when that found
        // nothing to play is there no current row.
        m_nCurIndex = -1;
    }
}

bool RecordingNavigator::OpenSelected() {
    if (m_list.RowCount() == 0 || !m_list.HasSelection()) return false;
    if (PlaySelectedTrip()) return false;
    const int row = m_list.SelectedRow();
    if (row == m_nCurIndex) return true;
    m_nCurIndex = row;
    return m_hooks.openRecording(PathCell(row), -1);
}

void RecordingNavigator::RowMove(int row) {
    m_nCurIndex = row;
    const std::string path = PathCell(row);
    if (path.empty()) return;
    m_list.SelectOnly(row, false);
    if (m_hooks.openRecording(path, -1)) {
        m_list.ScrollToRow(row);
    }
    m_list.viewport()->update();
}

void RecordingNavigator::PlayNewer() {
    if (PlayNextInTrip()) return;
    if (m_nCurIndex > 0 && m_nCurIndex - 1 < m_list.RowCount()) {
        RowMove(m_nCurIndex - 1);
    } else if (m_nCurIndex <= 0) {
        m_hooks.stop();
    }
}

void RecordingNavigator::PlayOlder() {
    if (m_nCurIndex + 1 < m_list.RowCount()) {
        RowMove(m_nCurIndex + 1);
    } else {
        m_hooks.stop();
    }
}

// ---- recordings that fail ----

bool RecordingNavigator::OnOpenFailed(const std::string& path) {
    m_unplayable.Note(path);
    if (m_bHandingOver) {
        // Inside a hand-over already: the loop in MoveOnFromFailedRow moves on from here.
        m_bOpenFailedInHandOver = true;
        return false;
    }
    MoveOnFromFailedRow();
    ShowRunNoteUnlessOpening();
    return true;
}

void RecordingNavigator::LeaveUnplayable(const std::string& path) {
    m_unplayable.Note(path);
    MoveOnFromFailedRow();
    ShowRunNoteUnlessOpening();
}

void RecordingNavigator::ShowRunNoteUnlessOpening() {
    // The row moved on to is opening: the run goes on until one opens or fails.
    if (m_playback.State() != PlaybackState::Loading) m_unplayable.ShowRunNote();
}

void RecordingNavigator::OnOpened() {
    m_unplayable.ShowRunNote();
}

void RecordingNavigator::MoveOnFromFailedRow() {
    if (m_bHandingOver) {
        m_bOpenFailedInHandOver = true;
        return;
    }
    // A recording that fails hands over to the row above. A run of failing rows is walked
    // here one row at a time, so a card full of broken files never deepens the stack.
    m_bHandingOver = true;
    do {
        m_bOpenFailedInHandOver = false;
        PlayNewer();
    } while (m_bOpenFailedInHandOver);
    m_bHandingOver = false;
}

// ---- trips ----

bool RecordingNavigator::IsTripsView() const {
    return m_list.Model()->IsTrips();
}

void RecordingNavigator::OnToggleTrips() {
    if (m_cards.DrivePath().empty()) return;
    // The category shown, not the folder scanned last: the all view ends with USER's folder.
    const CatalogueView view = m_cards.ListedView();
    if (IsTripsView()) {
        m_tripsJob.Cancel();
        m_bListingTrips = false;
        m_cards.UpdateListPlaceholder();
        m_cards.ShowCategory(view);
        return;
    }
    FillTrips(view);
}

void RecordingNavigator::FillTrips(CatalogueView view) {
    m_nCurIndex = -1;
    m_list.ShowTrips({});
    m_list.SetPlaceholderText(Tr(texts::kFindingTrips));
    m_bListingTrips = true;
    m_tripsJob.Start([this, root = CardRoot(m_cards.DrivePath()), view](JobContext& job) {
        auto trips = std::make_shared<std::vector<Trip>>();
        const bool listed = ListTrips(root, view, *trips);
        if (job.IsCancelled()) return;
        // Delivered only while this listing is the latest and this navigator lives.
        job.Post([this, listed, trips, view] {
            m_bListingTrips = false;
            m_cards.UpdateListPlaceholder();
            if (!IsTripsView()) return;  // the list was given something else meanwhile
            if (!listed) {
                m_cards.ShowCategory(view);  // the card cannot be read as trips: its recordings
                return;
            }
            m_list.ShowTrips(*trips);
            m_list.ScanEvents(ReadEventThresholds(m_hooks.configPath()));
        });
    });
}

bool RecordingNavigator::OnTripDoubleClick(int row) {
    if (m_list.Model()->TripPathsOf(row).isEmpty()) {
        m_playback.LeaveTrip();
        return false;
    }
    PlayTripFrom(row, 0);
    return true;
}

// PLAY in the trips view plays the trip selected, or the trip from the recording selected.
bool RecordingNavigator::PlaySelectedTrip() {
    if (!IsTripsView()) return false;
    int row = -1, index = -1;
    if (m_list.SelectedTripRecording(&row, &index))
        PlayTripFrom(row, static_cast<size_t>(index));
    else
        OnTripDoubleClick(m_list.SelectedRow());
    return true;
}

bool RecordingNavigator::PlayTripFrom(int row, size_t index) {
    const QStringList paths = m_list.Model()->TripPathsOf(row);
    if (index >= static_cast<size_t>(paths.size())) return false;
    m_playback.SetTrip(paths);
    m_nCurIndex = row;
    if (!m_hooks.openRecording(paths[static_cast<qsizetype>(index)].toStdString(),
                               static_cast<int>(index)))
        return false;
    // A collapsed trip shows as its row; an expanded one shows the recording playing.
    if (!m_list.IsRowExpanded(row)) m_list.SelectOnly(row, true);
    m_list.viewport()->update();
    return true;
}

void RecordingNavigator::MarkTripRecordingInList() {
    if (!IsTripsView() || m_playback.TripPaths().isEmpty()) return;
    m_list.SelectTripRecording(m_nCurIndex, static_cast<int>(m_hooks.tripIndex()));
}

bool RecordingNavigator::PlayTripOf(const std::string& path, int row) {
    Trip trip;
    size_t index = 0;
    if (!TripOfRecording(path, trip, index) || trip.recordings.size() < 2) return false;
    QStringList paths;
    for (const TripRecording& r : trip.recordings) paths << QString::fromStdString(r.path);
    m_playback.SetTrip(paths);
    m_nCurIndex = row;
    if (row >= 0) m_list.SelectOnly(row, true);
    return m_hooks.openRecording(trip.recordings[index].path, static_cast<int>(index));
}

void RecordingNavigator::FollowTripRow(const std::string& path) {
    if (IsTripsView() || m_playback.TripPaths().isEmpty()) return;
    const int row = RowOfPath(path);
    if (row < 0 || row == m_nCurIndex) return;
    m_nCurIndex = row;
    m_list.SelectOnly(row, false);
}

bool RecordingNavigator::PlayNextInTrip() {
    const QStringList& trip = m_playback.TripPaths();
    if (trip.isEmpty()) return false;
    const int next = static_cast<int>(m_hooks.tripIndex()) + 1;
    if (next >= trip.size()) {
        m_playback.LeaveTrip();  // the trip is over; the list carries on as usual
        return false;
    }
    m_hooks.openRecording(trip[next].toStdString(), next);
    return true;
}
