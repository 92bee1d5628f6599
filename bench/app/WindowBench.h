#pragma once
// What every window benchmark sets before its QApplication: the offscreen platform, no sound
// card, and the map's browser allowed to start as root (each unless the environment says
// otherwise), and a private settings folder, so a bench neither reads nor writes the user's.

#include <unistd.h>

#include <QByteArray>
#include <QtGlobal>
#include <filesystem>

inline void PrepareWindowBench(const std::filesystem::path& configHome) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsSet("SDL_AUDIODRIVER")) qputenv("SDL_AUDIODRIVER", "dummy");
    // The map's browser refuses to start as root with its sandbox; the map's cost counts too.
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
    std::filesystem::create_directories(configHome);
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(configHome.string()));
}
