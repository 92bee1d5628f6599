#pragma once
// The dashcam's configuration file (SETTING/blackbox.cfg on the card) as the plain values the
// settings dialog shows: list indices, check states, slider positions and the clock request.
//
// LoadDeviceSettings reads the file afresh into the values; SaveDeviceSettings writes every
// key back in the dialog's order (capacity, voltage, microphone, voice, sensitivities,
// picture, clock request) as one whole-file write, so a card pulled during Save keeps either
// the old file or the new one. Keys the viewer does not handle, comments and line endings
// stay as they are (support/Profile.h).

#include <ctime>
#include <string>
#include <vector>

constexpr int kNoSelection = -1;
// The four capacity shares must add up to this (the device keeps the rest).
constexpr int kCapacityTotalPercent = 95;
constexpr int kCapacityStepPercent = 5;
constexpr int kVoltageBaseMillivolts = 11400;
constexpr int kVoltageStepMillivolts = 200;
constexpr int kFirstClockYear = 2013;
constexpr int kLastFixedClockYear = 2024;  // the list reaches at least this year
constexpr int kClockYearsAhead = 5;        // and this many years past the current one
// Values are read through a buffer of this size, so at most nine characters.
constexpr unsigned kDeviceValueBufferBytes = 10;

struct DeviceSettings {
    // Storage shares, lists 1173 (driving "const"), 1174 (parking), 1176 (event), 1178
    // (user "manual"): index of the selected entry of "5" ... "80", kNoSelection for none.
    int constIndex = 0;
    int parkIndex = 0;
    int eventIndex = 0;
    int manualIndex = 0;
    // Low-voltage cut-off: check box 1158 and list 1177.
    bool voltageChecked = false;
    int voltageIndex = 0;
    // Microphone (check box 1154, slider 1170) and voice guidance (1156, 1172), 1 ... 5.
    bool micChecked = false;
    int micVolume = 1;
    bool voiceChecked = false;
    int voiceVolume = 1;
    // Sensitivities 1 ... 5: G-sensor (slider 1186) and motion (1171).
    int accLevel = 1;
    int motionLevel = 1;
    // Picture 0 ... 10: brightness (slider 1112) and contrast (1191).
    int brightness = 0;
    int contrast = 0;
    // Clock request: check box 1162 (always starts cleared) and lists 1180 ... 1185.
    bool timeSyncChecked = false;
    int yearIndex = 0;
    int monthIndex = 0;
    int dayIndex = 0;
    int hourIndex = 0;  // the list runs "1" ... "24"
    int minuteIndex = 0;
    int secondIndex = 0;
    // Read only: firmware version (text 1169) and model (text 1188), at most nine characters.
    std::string version;
    std::string model;
};

// Entries of the dialog's lists, in order.
const std::vector<std::string>& CapacityEntries();  // "5" ... "80"
const std::vector<std::string>& VoltageEntries();   // "11.4v/23.4v" ... "12.2v/24.2v"
const std::vector<std::string>& YearEntries();      // "2013" ... this year + 5
const std::vector<std::string>& MonthEntries();     // "1" ... "12"
const std::vector<std::string>& DayEntries();       // "1" ... "31"
const std::vector<std::string>& HourEntries();      // "1" ... "24"
const std::vector<std::string>& MinuteEntries();    // "0" ... "59" (also the seconds)

// Reads the file into the values (the clock lists are left alone; see PresetClock). False
// when the file cannot be opened for reading; the dialog does not open then.
bool LoadDeviceSettings(const std::string& path, DeviceSettings& settings);
// The same conversions over a file already read.
class ProfileDocument;
void LoadDeviceSettings(const ProfileDocument& doc, DeviceSettings& settings);

// Presets the clock lists from the computer's local time: year (while the list holds it),
// month, day, hour (no selection at hour 0, the list starts at "1"), minute, second.
void PresetClock(DeviceSettings& settings, const std::tm& now);

enum class DeviceSaveStatus {
    Saved,
    CapacityNot95,  // the four shares do not add up to 95; nothing written
    NoSelection,    // a list the save reads has no selected entry; nothing written
    WriteFailed,    // the card could not be written (removed, write-protected)
};

DeviceSaveStatus SaveDeviceSettings(const std::string& path, const DeviceSettings& settings);

// The number shown by entry index of a capacity list (5 ... 80), or -1 for no entry.
int CapacityPercent(int index);
// The millivolts written for entry index of the voltage list (11400 ... 12200), or -1.
int VoltageMillivolts(int index);

// Changes one value the way the dialog's control would, by the file's key name ("const",
// "power_off_vlt", "mic_in", "year", "set" ...) and the value the file would hold. False
// with a message for an unknown key or a value the control cannot show.
bool ApplyDeviceSetting(DeviceSettings& settings, const std::string& key, const std::string& value,
                        std::string* error);
