#pragma once
// What the recording list's navigation needs of the main window: opening a recording into
// the player, stopping, what is on screen and the settings file. (Its notes and questions go
// to the window's dialogs.) Set once by the window; every hook runs on the GUI thread.

#include <cstddef>
#include <functional>
#include <string>

// The answer to OPEN's drive question; ChooseFolder when the user asked for a folder or no
// removable drive is present.
enum class DriveChoice { Cancelled, Drive, ChooseFolder };

struct NavigatorHooks {
    // Opens a recording into the player (tripIndex: that recording of the trip set on the
    // playback controller); a failure comes back through RecordingNavigator::OnOpenFailed.
    std::function<bool(const std::string& path, int tripIndex)> openRecording;
    std::function<void()> stop;
    // Playing or paused.
    std::function<bool()> isPlayerActive;
    // The recording open now; empty when none.
    std::function<std::string()> currentPath;
    // The trip's recording on screen (0 outside a trip).
    std::function<size_t()> tripIndex;
    // The settings file (the card used last, the event thresholds).
    std::function<std::string()> configPath;
};
