#include "app/view/ViewerSettings.h"

#include <QDir>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "support/Profile.h"
#include "support/Trace.h"
#include "telemetry/EventDetector.h"

namespace {

constexpr int kConfigValueChars = 10;  // value buffer, so nine characters are seen
constexpr int kWindowValueChars = 64;
// What a missing number reads as.
constexpr int kMissingValue = -200;

// The settings folder is made when the file is first written.
void MakeConfigFolder(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
}

// "x,y,width,height"; null for anything else.
QRect ParseWindowPlace(const char* text) {
    int x = 0, y = 0, w = 0, h = 0;
    char end = 0;
    if (std::sscanf(text, "%d,%d,%d,%d%c", &x, &y, &w, &h, &end) != 4 || w <= 0 || h <= 0)
        return QRect();
    return QRect(x, y, w, h);
}

int ReadNumber(const char* key, const std::string& path, int missing) {
    char text[kConfigValueChars] = {};
    GetPrivateProfileString("config", key, "-200", text, sizeof text, path.c_str());
    const int value = std::atoi(text);
    return value == kMissingValue ? missing : value;
}

}  // namespace

std::string ViewerSettings::Path() {
    // An unset, empty or relative XDG_CONFIG_HOME means ~/.config (XDG base directories).
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        base = std::filesystem::path(home) / ".config";
    } else {
        base = std::filesystem::path(QDir::homePath().toStdString()) / ".config";
    }
    return (base / "tarvex" / "config.cfg").string();
}

bool ViewerSettings::ImportLegacy() {
    const std::string path = Path();
    std::error_code error;
    if (std::filesystem::exists(path, error) ||
        !std::filesystem::is_regular_file(kLegacyConfigPath, error)) {
        return false;
    }
    MakeConfigFolder(path);
    // The old file stays where it is: another copy of an older viewer may still use it.
    if (!std::filesystem::copy_file(kLegacyConfigPath, path, error)) return false;
    Trace("ImportConfig %s\n", path.c_str());
    return true;
}

void ViewerSettings::Load() {
    const std::string path = Path();
    ProfileDocument existing;
    bool existed = false;
    if (!LoadProfileDocument(path, existing, &existed)) {
        // Write-only, not ours, a FIFO: whatever the user keeps there stays as it is, and this
        // session runs on the defaults without ever writing it.
        m_unreadable = true;
        Trace("InitConfig: %s cannot be read; defaults used, the file is left alone\n",
              path.c_str());
    } else if (!existed) {
        MakeConfigFolder(path);
        WriteFileWhole(path, {});
    }
    Trace("InitConfig\n");
    m_brightness = ReadNumber("brightness", path, kDefaultBrightness);
    Trace("Brightness => %d\n", m_brightness);
    m_volume = ReadNumber("volume", path, kDefaultVolume);
    Trace("Volume => %d\n", m_volume);

    char text[kConfigValueChars] = {};
    GetPrivateProfileString("config", kStillsPositionKey, "1", text, sizeof text, path.c_str());
    m_stillsPosition = std::atoi(text) != 0;
    GetPrivateProfileString("config", kSpeedUnitKey, "kmh", text, sizeof text, path.c_str());
    m_unit = ParseSpeedUnit(text);
    m_unitsPerG = ReadEventThresholds(path).unitsPerG;
    char place[kWindowValueChars] = {};
    GetPrivateProfileString("config", kWindowKey, "", place, sizeof place, path.c_str());
    m_windowPlace = ParseWindowPlace(place);
}

void ViewerSettings::Save() const {
    if (m_unreadable) return;
    const std::string path = Path();
    MakeConfigFolder(path);
    Trace("SaveConfig\n");
    char text[16];
    std::snprintf(text, sizeof text, "%d", m_brightness);
    Trace("Brightness => %d\n", m_brightness);
    WritePrivateProfileString("config", "brightness", text, path.c_str());
    std::snprintf(text, sizeof text, "%d", m_volume);
    Trace("Volume => %d\n", m_volume);
    WritePrivateProfileString("config", "volume", text, path.c_str());
    WritePrivateProfileString("config", kSpeedUnitKey, SpeedUnitName(m_unit), path.c_str());
    if (m_windowPlace.isNull()) return;
    char placeText[kWindowValueChars];
    std::snprintf(placeText, sizeof placeText, "%d,%d,%d,%d", m_windowPlace.x(), m_windowPlace.y(),
                  m_windowPlace.width(), m_windowPlace.height());
    WritePrivateProfileString("config", kWindowKey, placeText, path.c_str());
}

void ViewerSettings::SetVolume(int volume) {
    if (volume == m_volume) return;
    m_volume = volume;
    emit volumeChanged(volume);
}

void ViewerSettings::SetMuted(bool muted) {
    if (muted == m_muted) return;
    m_muted = muted;
    emit mutedChanged(muted);
}

void ViewerSettings::SetBrightness(int brightness) {
    if (brightness == m_brightness) return;
    m_brightness = brightness;
    emit brightnessChanged(brightness);
}

void ViewerSettings::SetUnit(SpeedUnit unit) {
    if (unit == m_unit) return;
    m_unit = unit;
    emit unitChanged(unit);
}

bool ViewerSettings::SetArchive(const ArchiveSettings& settings) {
    if (m_unreadable || !WriteArchiveSettings(Path(), settings)) return false;
    emit archiveChanged(settings);
    return true;
}
