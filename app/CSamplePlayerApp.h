#pragma once
// The application object: runs the main window modally and ends the process with it.

#include <string>

class CSamplePlayerApp {
public:
    CSamplePlayerApp() = default;

    // cardFolder: when not empty, the window starts with that drive chosen and its DRIVING
    // recordings listed. Always returns false: there is nothing to run after the window.
    bool InitInstance(const std::string& cardFolder = std::string());
};
