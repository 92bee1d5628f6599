#pragma once
// Where the user is in the recording list and how playback walks it: opening what a user
// names (a card, a folder, one recording), the row that plays and the moves to the rows
// above and below it, a run of recordings that fail to open, and the trips view with a
// trip played recording after recording. The card listed is the CardOpener's.
//
// The list's rows run newest first: "newer" is the row above, "older" the row below.
//
// Threads: the GUI thread only. The trips of a card are worked out on a background job (each
// recording's header is read for its length, and a card may hold thousands): the trips view
// shows at once, empty, and its rows arrive when the job is done (IsListingTrips until then).

#include <QObject>
#include <QString>
#include <cstddef>
#include <string>

#include "app/jobs/BackgroundJob.h"
#include "app/list/NavigatorHooks.h"
#include "app/list/UnplayableNotes.h"
#include "app/playback/CardOpener.h"

class MainWindowControls;
class PlaybackController;
class RecordingListView;
class WindowDialogs;

class RecordingNavigator : public QObject {
public:
    // The list, the controls and the controller outlive the navigator; it follows what the
    // user asks of the list from now on.
    RecordingNavigator(RecordingListView& list, MainWindowControls& controls,
                       PlaybackController& playback, WindowDialogs& dialogs, NavigatorHooks hooks);

    CardOpener& Cards() { return m_cards; }
    const CardOpener& Cards() const { return m_cards; }

    // Opens what a user names: a card folder (its DRIVING list), a category folder of a card
    // (that category), one recording (its card, or its own folder when it lies outside one;
    // its row is selected and asked to play) or any other folder of recordings. False, with a
    // note saying why, when there is nothing to open.
    bool OpenPath(const QString& path);
    // OPEN: the card that went away when it is back, else the removable cards and "Choose
    // folder…".
    bool AskForCard();
    // The list of a category again, in its mode (recordings or trips).
    void ListAgain(bool tripsView, CatalogueView view);

    // The row that plays (the trip's row in the trips view); -1 when none.
    int CurIndex() const { return m_nCurIndex; }
    void SetCurIndex(int row) { m_nCurIndex = row; }
    // The list row whose file is path (the same file by any name), or -1.
    int RowOfPath(const std::string& path) const;
    // A row whose recording could not be opened is marked until the list is rebuilt.
    bool IsRowUnplayable(int row) const;

    // A double click (or Return) on a row: plays it, or the trip it is.
    void OnListDoubleClick(int row);
    // PLAY with nothing open: opens the row (or trip) selected. True when the recording
    // selected is open and only needs to be started.
    bool OpenSelected();
    // The next newer recording (of the trip, else the row above); stops at the newest.
    void PlayNewer();
    // The row below; stops below the oldest.
    void PlayOlder();

    // The window's open of path failed: marked, and the next newer row tried unless a
    // hand-over already walks the run. True when this open ended the run.
    bool OnOpenFailed(const std::string& path);
    // A recording asked for is open: a run of files passed over on the way is told now.
    void OnOpened();
    // A recording that cannot be played (any more): marked, the next one tried, the run said.
    void LeaveUnplayable(const std::string& path);

    bool IsTripsView() const;
    // The trips view waits for its rows.
    bool IsListingTrips() const { return m_bListingTrips; }
    // The list as trips of the category shown last, or back to its recordings.
    void OnToggleTrips();
    // Plays the trip of list row `row` from its recording `index`.
    bool PlayTripFrom(int row, size_t index);
    // Selects, under the trip row playing, the recording that plays.
    void MarkTripRecordingInList();
    // Outside the trips view the list's selection follows the trip's recording on screen.
    void FollowTripRow(const std::string& path);

private:
    void ConnectList();
    bool PlayListedPath(const std::string& path);
    // The row is the current one and its recording is open or opening.
    bool IsOpeningRow(int row) const;
    void ShowRunNoteUnlessOpening();
    void MoveOnFromFailedRow();
    void RowMove(int row);
    std::string PathCell(int row) const;
    int RowOfListedPath(const std::string& path) const;  // same text, also a gone file
    void FillTrips(CatalogueView view);
    bool OnTripDoubleClick(int row);
    // PLAY with a trip row or one of its recordings selected (false: not the trips view).
    bool PlaySelectedTrip();
    // A recording named on its own that is part of a trip plays the trip from it; row is its
    // list row or -1. False when it is no trip's.
    bool PlayTripOf(const std::string& path, int row);
    bool PlayNextInTrip();

    const NavigatorHooks m_hooks;
    WindowDialogs& m_dialogs;
    RecordingListView& m_list;
    PlaybackController& m_playback;
    CardOpener m_cards;
    UnplayableNotes m_unplayable;
    int m_nCurIndex = -1;
    // A run of recordings that fail to open is walked by the outermost open, one row at a time.
    bool m_bHandingOver = false;
    bool m_bOpenFailedInHandOver = false;
    bool m_bListingTrips = false;
    BackgroundJob m_tripsJob;  // lists the trips; last, so it goes before what its posts use
};
