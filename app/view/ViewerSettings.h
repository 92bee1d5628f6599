#pragma once
// The viewer's settings file, $XDG_CONFIG_HOME/tarvex/config.cfg: what the user left (volume,
// brightness, the speed unit, the window's place, whether stills carry the position, the
// archive's place and import choice). Read once at start; a file that exists but cannot be
// read is never written in that session. Each change is signalled, and the file written when
// the window saves it (on the way out, and when a setting is chosen in a menu or dialog).
//
// GUI thread only.

#include <QObject>
#include <QRect>
#include <string>

#include "app/archive/ArchiveSettings.h"
#include "telemetry/TelemetryLogic.h"

class ViewerSettings : public QObject {
    Q_OBJECT
public:
    // The volume runs 0..kVolumeMax (the volume slider's range).
    static constexpr int kVolumeMax = 99;
    static constexpr int kDefaultVolume = 50;
    static constexpr int kDefaultBrightness = 0;
    // Settings key: 0 leaves the GPS position out of saved stills.
    static constexpr const char* kStillsPositionKey = "stills_position";
    // Settings key: the normal window's place and size, "x,y,width,height".
    static constexpr const char* kWindowKey = "window";
    // The settings file of earlier versions, read from the working folder.
    static constexpr const char* kLegacyConfigPath = "./config.cfg";

    explicit ViewerSettings(QObject* parent = nullptr) : QObject(parent) {}

    // $XDG_CONFIG_HOME/tarvex/config.cfg (~/.config when the variable is unset or relative).
    static std::string Path();
    // Copies a settings file of earlier versions from the working folder to Path() when
    // there is none there yet; true when it did.
    static bool ImportLegacy();

    // Reads the file, made (empty) when missing.
    void Load();
    // Writes what the user may have changed: brightness, volume, speed unit, window place.
    void Save() const;
    // False when the file could not be read at start: nothing is written then.
    bool Writable() const { return !m_unreadable; }

    int Volume() const { return m_volume; }
    void SetVolume(int volume);
    // The sound is off (the mute button, or the volume at 0); this session only, never in
    // the file.
    bool Muted() const { return m_muted; }
    void SetMuted(bool muted);
    // The volume that is heard: 0 while muted.
    int HeardVolume() const { return m_muted ? 0 : m_volume; }
    int Brightness() const { return m_brightness; }
    void SetBrightness(int brightness);
    SpeedUnit Unit() const { return m_unit; }
    void SetUnit(SpeedUnit unit);
    bool StillsPosition() const { return m_stillsPosition; }
    double UnitsPerG() const { return m_unitsPerG; }
    // The normal window's place; null when none was kept.
    QRect WindowPlace() const { return m_windowPlace; }
    void SetWindowPlace(const QRect& place) { m_windowPlace = place; }

    ArchiveSettings Archive() const { return ReadArchiveSettings(Path()); }
    // Writes the archive's settings; false (nothing written) when the file cannot be.
    bool SetArchive(const ArchiveSettings& settings);

signals:
    void volumeChanged(int volume);
    void mutedChanged(bool muted);
    void brightnessChanged(int brightness);
    void unitChanged(SpeedUnit unit);
    void archiveChanged(const ArchiveSettings& settings);

private:
    bool m_unreadable = false;
    int m_volume = kDefaultVolume;
    bool m_muted = false;
    int m_brightness = kDefaultBrightness;
    SpeedUnit m_unit = SpeedUnit::Kmh;
    bool m_stillsPosition = true;
    double m_unitsPerG = 0;
    QRect m_windowPlace;
};
