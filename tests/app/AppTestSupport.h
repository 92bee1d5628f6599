#pragma once
// Shared pieces of the window tests: a generated sample card, waiting for the event loop,
// and a main window whose modal questions are answered by the test.

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <ctime>
#include <functional>
#include <string>

#include "app/list/RecordingListView.h"
#include "app/window/CSamplePlayerDlg.h"

namespace apptest {

// Names of the generated card's recordings (newest first within each folder).
struct SampleCard {
    std::string root;
    // DRIVING, newest first: 8 s, 60 s, 8 s (all two-camera).
    std::string driving[3];
    std::string event;
    std::string user;
};

// The shared sample card under the test data folder, generated on first use (small
// pictures, short recordings; the middle DRIVING recording lasts 60 s).
const SampleCard& Card();
// A private copy of the card that a test may damage or delete.
std::string CopyCard(const std::string& name);

// A card whose only DRIVING recording (30 s, with GPS fixes) has no rear camera.
struct OneCameraCard {
    std::string root;
    std::string recording;
};
const OneCameraCard& OneCamera();

// Runs the event loop until done() holds or a generous limit passes; returns done().
// The limit only keeps a broken build from hanging; nothing asserts on the time taken.
bool WaitUntil(const std::function<bool()>& done, int limitMs = 30000);
// Waits while the window's playback is opening a recording (a run of files that fail is
// passed over meanwhile). True when a recording is open then.
bool WaitOpened(CSamplePlayerDlg& window, int limitMs = 30000);
// Runs the event loop for about ms.
void Pump(int ms);

// The recording list read and clicked through its model: a top-level row, or with trip >= 0
// the recording `row` under the trip in row `trip`.
QModelIndex ListIndex(const RecordingListView* list, int row, int column = 0, int trip = -1);
QString ListCell(const RecordingListView* list, int row, int column, int trip = -1);
QString ListToolTip(const RecordingListView* list, int row, int column, int trip = -1);
bool IsListRowSelected(const RecordingListView* list, int row, int trip = -1);
// Makes the row current and selected, as a click does.
void SelectListRow(RecordingListView* list, int row, int trip = -1);
QString ListHeading(const RecordingListView* list, int column);

// The main window's questions answered in place.
class TestDialogs : public WindowDialogs {
public:
    QStringList messages;
    int quitQuestions = 0;
    bool quitAnswer = false;
    int driveDialogs = 0;
    std::string driveAnswer;       // empty: the dialog is cancelled
    bool noRemovableCard = false;  // the drive question hands over to the folder chooser
    int folderDialogs = 0;
    QString folderAnswer;  // empty: the chooser is cancelled
    QStringList notes;     // every note shown, in order
    // Called with each note; lets a test look at the stack while the window works.
    std::function<void()> onNote;

    // The capture's save dialog: each question's proposed name is recorded, then onCapture
    // (when set) runs while the dialog would be open; the answer is captureAnswer (empty:
    // cancelled).
    QStringList captureQuestions;
    std::function<void()> onCapture;
    QString captureAnswer;
    // The settings dialog runs this instead of its modal loop (none: it is closed at once).
    std::function<int(CSettingDlg&)> onSettings;
    int settingsDialogs = 0;
    VCardFormatter* formatter = nullptr;  // null: the desktop's
    std::tm localTime{};                  // all zero: the computer's clock

    DriveChoice RunDriveDialog(std::string* drive) override;
    QString RunFolderDialog(const QString& startFolder) override;
    void ShowNote(const QString& text, bool persistent) override;
    bool AskQuit(const QString& text, const QString& caption) override;
    void ShowMessage(const QString& text) override;
    QString RunCaptureDialog(const QString& proposedName) override;
    int RunSettingsDialog(CSettingDlg& dialog) override;
    VCardFormatter* CardFormatter() override { return formatter; }
    std::tm LocalTime() const override;
};

// The real main window with its modal questions answered in place (by its TestDialogs part,
// made first so that it outlives the window).
class TestWindow : public TestDialogs, public CSamplePlayerDlg {
public:
    TestWindow() : CSamplePlayerDlg(nullptr, this) {}
};

}  // namespace apptest
