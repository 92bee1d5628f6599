#pragma once
// The device settings command (F3): the dashcam's configuration file on the listed card (or
// one the user picks now), and the card format the settings dialog offers, with the
// recovery and the archive import it may ask for first. What was on screen comes back
// afterwards: the recording, its position, play or pause, the views and the list.
//
// GUI thread only. Made for one press: nothing of it outlives Run().

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "library/RecordingCatalogue.h"

class ArchiveCommands;
class CSamplePlayerDlg;
class RecoveryCommands;
class WindowDialogs;

class DeviceSettingsCommand {
public:
    DeviceSettingsCommand(CSamplePlayerDlg& window, WindowDialogs& dialogs,
                          RecoveryCommands& recovery, ArchiveCommands& archive);

    // Paused while the dialog is open; afterwards everything is as it was, also after a
    // format that left the card alone.
    void Run();

    // What is on screen: the recording (or trip) and its position, play or pause, the views
    // and the list's category and mode.
    struct Moment {
        std::string path;  // empty: nothing open
        std::vector<std::string> tripPaths;
        size_t tripIndex = 0;
        int row = -1;
        int64_t positionMs = 0;
        bool playing = false;
        bool tripsView = false;
        CatalogueView view = CatalogueView::Driving;
        int front = 0, rear = 0, map = 0;
    };
    Moment Current() const;
    void Restore(const Moment& moment);

private:
    // The card whose settings are edited: the one listed, or the one the user picks now.
    bool ChooseDrive();
    void Open(const std::string& drive, const Moment& moment);

    CSamplePlayerDlg& m_window;
    WindowDialogs& m_dialogs;
    RecoveryCommands& m_recovery;
    ArchiveCommands& m_archive;
};
