// The trips view of the list and playing a trip recording after recording.
#include "app/CSamplePlayerDlg.h"
#include "app/RecordingListView.h"
#include "library/CardRoot.h"
#include "library/TripCatalogue.h"

namespace {

CatalogueView ViewOfFolder(const std::string& folderPath) {
    const std::string name = folderPath.substr(folderPath.find_last_of('/') + 1);
    if (name == kEventFolder) return CatalogueView::Event;
    if (name == kParkingFolder) return CatalogueView::Parking;
    if (name == kUserFolder) return CatalogueView::User;
    return CatalogueView::Driving;
}

}  // namespace

bool CSamplePlayerDlg::IsTripsView() const {
    return m_listFilename->Model()->IsTrips();
}

void CSamplePlayerDlg::OnToggleTrips() {
    if (m_strDrivePath.empty()) return;
    const CatalogueView view = ViewOfFolder(m_strFolderPath);
    if (IsTripsView()) {
        static const std::pair<CatalogueView, void (CSamplePlayerDlg::*)()> kCommands[] = {
            {CatalogueView::Driving, &CSamplePlayerDlg::OnBnClickedButtonDriving},
            {CatalogueView::Event, &CSamplePlayerDlg::OnBnClickedButtonEvent},
            {CatalogueView::Parking, &CSamplePlayerDlg::OnBnClickedButtonParking},
            {CatalogueView::User, &CSamplePlayerDlg::OnBnClickedButtonUser}};
        for (const auto& [v, command] : kCommands)
            if (v == view) (this->*command)();
        return;
    }
    FillTrips(view);
}

void CSamplePlayerDlg::FillTrips(CatalogueView view) {
    std::vector<Trip> trips;
    if (!ListTrips(CardRoot(m_strDrivePath), view, trips)) return;
    m_nCurIndex = -1;
    m_listFilename->ShowTrips(trips);
}

bool CSamplePlayerDlg::OnTripDoubleClick(int row) {
    if (m_listFilename->Model()->TripPathsOf(row).isEmpty()) {
        m_playback.LeaveTrip();
        return false;
    }
    PlayTripFrom(row, 0);
    return true;
}

// PLAY in the trips view plays the trip selected, or the trip from the recording selected.
bool CSamplePlayerDlg::PlaySelectedTrip() {
    if (!IsTripsView()) return false;
    int row = -1, index = -1;
    if (m_listFilename->SelectedTripRecording(&row, &index))
        PlayTripFrom(row, static_cast<size_t>(index));
    else
        OnTripDoubleClick(m_listFilename->SelectedRow());
    return true;
}

bool CSamplePlayerDlg::PlayTripFrom(int row, size_t index) {
    const QStringList paths = m_listFilename->Model()->TripPathsOf(row);
    if (index >= static_cast<size_t>(paths.size())) return false;
    m_playback.SetTrip(paths);
    m_nCurIndex = row;
    if (!OpenRecording(paths[static_cast<qsizetype>(index)].toStdString(), static_cast<int>(index)))
        return false;
    // A collapsed trip shows as its row; an expanded one shows the recording playing.
    if (!m_listFilename->IsRowExpanded(row)) SelectOnly(row, true);
    m_listFilename->viewport()->update();
    return true;
}

void CSamplePlayerDlg::MarkTripRecordingInList() {
    if (!IsTripsView() || m_playback.TripPaths().isEmpty()) return;
    m_listFilename->SelectTripRecording(m_nCurIndex, static_cast<int>(TripIndex()));
}

bool CSamplePlayerDlg::PlayTripOf(const std::string& path, int row) {
    Trip trip;
    size_t index = 0;
    if (!TripOfRecording(path, trip, index) || trip.recordings.size() < 2) return false;
    QStringList paths;
    for (const TripRecording& r : trip.recordings) paths << QString::fromStdString(r.path);
    m_playback.SetTrip(paths);
    m_nCurIndex = row;
    if (row >= 0) SelectOnly(row, true);
    return OpenRecording(trip.recordings[index].path, static_cast<int>(index));
}

void CSamplePlayerDlg::FollowTripRow(const std::string& path) {
    if (IsTripsView() || m_playback.TripPaths().isEmpty()) return;
    const int row = RowOfPath(path);
    if (row < 0 || row == m_nCurIndex) return;
    m_nCurIndex = row;
    SelectOnly(row, false);
}

bool CSamplePlayerDlg::PlayNextInTrip() {
    const QStringList& trip = m_playback.TripPaths();
    if (trip.isEmpty()) return false;
    const int next = static_cast<int>(TripIndex()) + 1;
    if (next >= trip.size()) {
        m_playback.LeaveTrip();  // the trip is over; the list carries on as usual
        return false;
    }
    OpenRecording(trip[next].toStdString(), next);
    return true;
}
