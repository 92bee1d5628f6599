#pragma once
// Recordings that could not be played: each is marked in the list with the reason, and one
// note says what happened to a run of them (the reason for one, a count and the last name
// for several), so a card full of broken files does not bury the pictures under notes.
//
// Threads: the GUI thread only.

#include <QString>
#include <string>
#include <utility>

#include "res/TextIds.h"

class RecordingListModel;
class WindowDialogs;

class UnplayableNotes {
public:
    // The model and the dialogs (which show the note) outlive this.
    UnplayableNotes(RecordingListModel& model, WindowDialogs& dialogs);

    // Marks path's row unplayable and counts it in the current run.
    void Note(const std::string& path);
    // Says what the run held, if anything, and starts a new run.
    void ShowRunNote();
    // Why a file the player rejected cannot be played.
    static TextId Reason(const std::string& path);
    // That reason as the note and the list's tool tip say it, naming the file.
    static QString ReasonText(const std::string& path);

private:
    RecordingListModel& m_model;
    WindowDialogs& m_dialogs;
    int m_nUnplayableInRun = 0;
    std::string m_strLastUnplayable;  // the file name of the last one in the run
    QString m_strUnplayableReason;    // why the last one failed, as the note says it
};
