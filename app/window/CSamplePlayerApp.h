#pragma once
// The application object: runs the main window modally and ends the process with it.

#include <string>

class CSamplePlayerApp {
public:
    CSamplePlayerApp() = default;

    // path: a card folder, a category folder or a recording to open at start (see
    // RecordingNavigator::OpenPath); when empty, the card used last is listed if it is still
    // there. SIGTERM, SIGINT and SIGHUP end the window the quiet way. Always returns false:
    // there is nothing to run after the window.
    bool InitInstance(const std::string& path = std::string());
};
