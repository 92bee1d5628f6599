#include "device/DeviceSettings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "support/Profile.h"
#include "support/Trace.h"

namespace {

constexpr const char* kCapacity = "capacity";
constexpr const char* kBlackbox = "blackbox";
constexpr const char* kTime = "time";
constexpr int kCapacityMaxReadPercent = 84;  // 80 and the values just above it select "80"
constexpr int kLevelMin = 1, kLevelMax = 5;
constexpr int kPictureMin = 0, kPictureMax = 10;

std::vector<std::string> NumberEntries(int first, int last, int step = 1) {
    std::vector<std::string> entries;
    for (int v = first; v <= last; v += step) entries.push_back(std::to_string(v));
    return entries;
}

bool ValidIndex(int index, const std::vector<std::string>& entries) {
    return index >= 0 && static_cast<size_t>(index) < entries.size();
}

// The leading number of a list entry ("11.4v/23.4v" reads 11.4), whatever the locale.
double LeadingNumber(const std::string& text) {
    double value = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

class ConfigReader {
public:
    explicit ConfigReader(const ProfileDocument& doc) : m_doc(doc) {}
    std::string Text(const char* section, const char* key) const {
        char buffer[kDeviceValueBufferBytes];
        uint32_t n = m_doc.GetString(section, key, "0", buffer, sizeof buffer);
        return std::string(buffer, n);
    }
    int Number(const char* section, const char* key) const {
        return std::atoi(Text(section, key).c_str());
    }

private:
    const ProfileDocument& m_doc;
};

int CapacityIndexFromPercent(int percent) {
    if (percent < kCapacityStepPercent || percent > kCapacityMaxReadPercent) return kNoSelection;
    return percent / kCapacityStepPercent - 1;
}

int IndexOfNumber(const std::vector<std::string>& entries, int value) {
    auto it = std::find(entries.begin(), entries.end(), std::to_string(value));
    return it == entries.end() ? kNoSelection : static_cast<int>(it - entries.begin());
}

}  // namespace

const std::vector<std::string>& CapacityEntries() {
    static const auto entries = NumberEntries(5, 80, kCapacityStepPercent);
    return entries;
}
const std::vector<std::string>& VoltageEntries() {
    static const std::vector<std::string> entries = {"11.4v/23.4v", "11.6v/23.6v", "11.8v/23.8v",
                                                     "12.0v/24.0v", "12.2v/24.2v"};
    return entries;
}
const std::vector<std::string>& YearEntries() {
    // Up to five years past this one, so the list can always set today's date (and a
    // computer whose clock is years behind still finds the device's older range).
    static const auto entries = [] {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        return NumberEntries(kFirstClockYear, std::max(kLastFixedClockYear,
                                                       local.tm_year + 1900 + kClockYearsAhead));
    }();
    return entries;
}
const std::vector<std::string>& MonthEntries() {
    static const auto entries = NumberEntries(1, 12);
    return entries;
}
const std::vector<std::string>& DayEntries() {
    static const auto entries = NumberEntries(1, 31);
    return entries;
}
const std::vector<std::string>& HourEntries() {
    static const auto entries = NumberEntries(1, 24);
    return entries;
}
const std::vector<std::string>& MinuteEntries() {
    static const auto entries = NumberEntries(0, 59);
    return entries;
}

int CapacityPercent(int index) {
    return ValidIndex(index, CapacityEntries()) ? std::atoi(CapacityEntries()[index].c_str()) : -1;
}

int VoltageMillivolts(int index) {
    if (!ValidIndex(index, VoltageEntries())) return -1;
    return static_cast<int>(LeadingNumber(VoltageEntries()[index]) * 1000.0);
}

bool LoadDeviceSettings(const std::string& path, DeviceSettings& s) {
    ProfileDocument doc;
    bool existed = false;
    if (!LoadProfileDocument(path, doc, &existed) || !existed) return false;
    LoadDeviceSettings(doc, s);
    return true;
}

void LoadDeviceSettings(const ProfileDocument& doc, DeviceSettings& s) {
    ConfigReader r(doc);

    s.constIndex = CapacityIndexFromPercent(r.Number(kCapacity, "const"));
    s.eventIndex = CapacityIndexFromPercent(r.Number(kCapacity, "event"));
    s.manualIndex = CapacityIndexFromPercent(r.Number(kCapacity, "manual"));
    s.parkIndex = CapacityIndexFromPercent(r.Number(kCapacity, "park"));

    const int millivolts = r.Number(kBlackbox, "power_off_vlt");
    s.voltageChecked = millivolts > 0;
    if (s.voltageChecked) {
        int index = (millivolts - kVoltageBaseMillivolts) / kVoltageStepMillivolts;
        s.voltageIndex = ValidIndex(index, VoltageEntries()) ? index : kNoSelection;
    }

    s.voiceVolume = std::clamp(r.Number(kBlackbox, "voice_volume"), kLevelMin, kLevelMax);
    s.micVolume = std::clamp(r.Number(kBlackbox, "mic_volume"), kLevelMin, kLevelMax);
    s.micChecked = r.Number(kBlackbox, "mic_in") == 1;
    s.voiceChecked = r.Number(kBlackbox, "voice_out") == 1;
    s.motionLevel = std::clamp(r.Number(kBlackbox, "motion_level"), kLevelMin, kLevelMax);
    s.accLevel = std::clamp(r.Number(kBlackbox, "acc_level"), kLevelMin, kLevelMax);
    s.brightness = std::clamp(r.Number(kBlackbox, "brightness"), kPictureMin, kPictureMax);
    s.contrast = std::clamp(r.Number(kBlackbox, "contrast"), kPictureMin, kPictureMax);

    s.version = r.Text(kBlackbox, "version");
    s.model = r.Text(kBlackbox, "model");
    s.timeSyncChecked = false;
}

void PresetClock(DeviceSettings& s, const std::tm& now) {
    const int year = now.tm_year + 1900;
    if (year >= kFirstClockYear && ValidIndex(year - kFirstClockYear, YearEntries()))
        s.yearIndex = year - kFirstClockYear;
    s.monthIndex = now.tm_mon;
    s.dayIndex = now.tm_mday - 1;
    s.hourIndex = now.tm_hour >= 1 ? now.tm_hour - 1 : kNoSelection;
    s.minuteIndex = now.tm_min;
    s.secondIndex = std::min(now.tm_sec, 59);  // a leap second shows as 59
}

namespace {

// The clock's lists and the chosen entry of each, year to second.
struct ClockChoice {
    const std::vector<std::string>* list;
    int index;
};

std::array<ClockChoice, 6> ClockChoices(const DeviceSettings& s) {
    return {{{&YearEntries(), s.yearIndex},
             {&MonthEntries(), s.monthIndex},
             {&DayEntries(), s.dayIndex},
             {&HourEntries(), s.hourIndex},
             {&MinuteEntries(), s.minuteIndex},
             {&MinuteEntries(), s.secondIndex}}};
}

// Saved when every value the file needs has one chosen and the shares add up.
DeviceSaveStatus CheckSavable(const DeviceSettings& s) {
    int sum = 0;
    for (int index : {s.constIndex, s.eventIndex, s.manualIndex, s.parkIndex}) {
        const int percent = CapacityPercent(index);
        if (percent < 0) return DeviceSaveStatus::NoSelection;
        sum += percent;
    }
    if (sum != kCapacityTotalPercent) return DeviceSaveStatus::CapacityNot95;
    if (s.voltageChecked && VoltageMillivolts(s.voltageIndex) < 0)
        return DeviceSaveStatus::NoSelection;
    if (s.timeSyncChecked) {
        for (const ClockChoice& c : ClockChoices(s))
            if (!ValidIndex(c.index, *c.list)) return DeviceSaveStatus::NoSelection;
    }
    return DeviceSaveStatus::Saved;
}

void WriteSettingsInto(ProfileDocument& doc, const DeviceSettings& s) {
    auto write = [&doc](const char* section, const char* key, int value) {
        doc.Set(section, key, std::to_string(value).c_str());
    };
    write(kCapacity, "const", CapacityPercent(s.constIndex));
    write(kCapacity, "event", CapacityPercent(s.eventIndex));
    write(kCapacity, "manual", CapacityPercent(s.manualIndex));
    write(kCapacity, "park", CapacityPercent(s.parkIndex));

    std::string voltage = "0";
    if (s.voltageChecked) {
        const double leading = LeadingNumber(VoltageEntries()[s.voltageIndex]);
        Trace("voltage_Value => %f\n", leading);
        Trace("Test => %f", leading * 1000.0);
        voltage = std::to_string(VoltageMillivolts(s.voltageIndex));
        Trace("Voltage => %s", voltage.c_str());
    }
    doc.Set(kBlackbox, "power_off_vlt", voltage.c_str());

    write(kBlackbox, "mic_in", s.micChecked ? 1 : 0);
    write(kBlackbox, "mic_volume", s.micVolume);
    write(kBlackbox, "voice_out", s.voiceChecked ? 1 : 0);
    write(kBlackbox, "voice_volume", s.voiceVolume);
    write(kBlackbox, "acc_level", s.accLevel);
    write(kBlackbox, "motion_level", s.motionLevel);
    write(kBlackbox, "brightness", s.brightness);
    write(kBlackbox, "contrast", s.contrast);

    write(kTime, "set", s.timeSyncChecked ? 1 : 0);
    if (s.timeSyncChecked) {
        const char* keys[] = {"year", "month", "day", "hour", "min", "sec"};
        const std::array<ClockChoice, 6> clock = ClockChoices(s);
        for (int i = 0; i < 6; ++i)
            write(kTime, keys[i], std::atoi((*clock[i].list)[clock[i].index].c_str()));
    }
}

}  // namespace

DeviceSaveStatus SaveDeviceSettings(const std::string& path, const DeviceSettings& s) {
    if (const DeviceSaveStatus status = CheckSavable(s); status != DeviceSaveStatus::Saved)
        return status;
    // The device owns the file: it is edited, never made from nothing.
    ProfileDocument doc;
    bool existed = false;
    if (!LoadProfileDocument(path, doc, &existed) || !existed) return DeviceSaveStatus::WriteFailed;
    WriteSettingsInto(doc, s);
    return SaveProfileDocument(path, doc) ? DeviceSaveStatus::Saved : DeviceSaveStatus::WriteFailed;
}

namespace {

// Each Set* below answers for the keys of its kind: nullopt for a key that is not of it, else
// whether the value was taken.
std::optional<bool> SetListEntry(DeviceSettings& s, const std::string& key, int v) {
    struct ListKey {
        const char* name;
        int DeviceSettings::*index;
        const std::vector<std::string>& (*entries)();
    };
    static const ListKey kLists[] = {
        {"const", &DeviceSettings::constIndex, CapacityEntries},
        {"park", &DeviceSettings::parkIndex, CapacityEntries},
        {"event", &DeviceSettings::eventIndex, CapacityEntries},
        {"manual", &DeviceSettings::manualIndex, CapacityEntries},
        {"year", &DeviceSettings::yearIndex, YearEntries},
        {"month", &DeviceSettings::monthIndex, MonthEntries},
        {"day", &DeviceSettings::dayIndex, DayEntries},
        {"hour", &DeviceSettings::hourIndex, HourEntries},
        {"min", &DeviceSettings::minuteIndex, MinuteEntries},
        {"sec", &DeviceSettings::secondIndex, MinuteEntries},
    };
    for (const ListKey& list : kLists) {
        if (key != list.name) continue;
        int index = IndexOfNumber(list.entries(), v);
        if (index == kNoSelection) return false;
        s.*list.index = index;
        // Choosing a clock entry means asking the device to set its clock.
        if (list.entries != CapacityEntries) s.timeSyncChecked = true;
        return true;
    }
    return std::nullopt;
}

std::optional<bool> SetLevelOrCheck(DeviceSettings& s, const std::string& key, int v) {
    struct LevelKey {
        const char* name;
        int DeviceSettings::*level;
        int lo, hi;
    };
    static const LevelKey kLevels[] = {
        {"mic_volume", &DeviceSettings::micVolume, kLevelMin, kLevelMax},
        {"voice_volume", &DeviceSettings::voiceVolume, kLevelMin, kLevelMax},
        {"acc_level", &DeviceSettings::accLevel, kLevelMin, kLevelMax},
        {"motion_level", &DeviceSettings::motionLevel, kLevelMin, kLevelMax},
        {"brightness", &DeviceSettings::brightness, kPictureMin, kPictureMax},
        {"contrast", &DeviceSettings::contrast, kPictureMin, kPictureMax},
    };
    for (const LevelKey& level : kLevels) {
        if (key != level.name) continue;
        if (v < level.lo || v > level.hi) return false;
        s.*level.level = v;
        return true;
    }
    struct CheckKey {
        const char* name;
        bool DeviceSettings::*checked;
    };
    static const CheckKey kChecks[] = {{"mic_in", &DeviceSettings::micChecked},
                                       {"voice_out", &DeviceSettings::voiceChecked},
                                       {"set", &DeviceSettings::timeSyncChecked}};
    for (const CheckKey& check : kChecks) {
        if (key != check.name) continue;
        if (v < 0 || v > 1) return false;
        s.*check.checked = v == 1;
        return true;
    }
    return std::nullopt;
}

std::optional<bool> SetVoltage(DeviceSettings& s, const std::string& key, int v) {
    if (key != "power_off_vlt") return std::nullopt;
    if (v == 0) {
        s.voltageChecked = false;
        return true;
    }
    for (int i = 0; i < static_cast<int>(VoltageEntries().size()); ++i) {
        if (VoltageMillivolts(i) == v) {
            s.voltageChecked = true;
            s.voltageIndex = i;
            return true;
        }
    }
    return false;
}

}  // namespace

bool ApplyDeviceSetting(DeviceSettings& s, const std::string& key, const std::string& value,
                        std::string* error) {
    auto fail = [&](const std::string& message) {
        if (error) *error = message;
        return false;
    };
    int v = 0;
    auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
    if (ec != std::errc() || end != value.data() + value.size())
        return fail("'" + value + "' is not a whole number for " + key);
    for (auto set : {SetListEntry, SetLevelOrCheck, SetVoltage}) {
        if (const std::optional<bool> taken = set(s, key, v))
            return *taken || fail(key + "=" + value + " is not a value the device offers");
    }
    return fail("unknown setting '" + key + "'");
}
