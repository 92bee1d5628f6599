// config: the settings model read from a card's configuration file, as JSON; with --set, values
// changed through the model and the file written as the settings dialog's Save writes it.

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "device/DeviceSettings.h"
#include "library/CardRoot.h"
#include "support/JsonWriter.h"
#include "support/RegularFile.h"
#include "support/StringTable.h"
#include "tools/ToolCommand.h"

namespace {

constexpr const char* kName = "config";

void CapacityValue(JsonWriter& j, const char* key, int index) {
    j.Key(key);
    const int percent = CapacityPercent(index);
    if (percent < 0)
        j.Null();
    else
        j.Int(percent);
}

std::string SettingsJson(const DeviceSettings& s) {
    JsonWriter j;
    j.BeginObject();
    // What Save would write for each key (null: the list has no selection).
    j.Key("capacity").BeginObject();
    CapacityValue(j, "const", s.constIndex);
    CapacityValue(j, "park", s.parkIndex);
    CapacityValue(j, "event", s.eventIndex);
    CapacityValue(j, "manual", s.manualIndex);
    j.EndObject();
    j.Key("blackbox").BeginObject().Key("power_off_vlt");
    if (!s.voltageChecked)
        j.Int(0);
    else if (VoltageMillivolts(s.voltageIndex) < 0)
        j.Null();
    else
        j.Int(VoltageMillivolts(s.voltageIndex));
    j.Key("mic_in").Int(s.micChecked ? 1 : 0).Key("mic_volume").Int(s.micVolume);
    j.Key("voice_out").Int(s.voiceChecked ? 1 : 0).Key("voice_volume").Int(s.voiceVolume);
    j.Key("acc_level").Int(s.accLevel).Key("motion_level").Int(s.motionLevel);
    j.Key("brightness").Int(s.brightness).Key("contrast").Int(s.contrast);
    j.Key("version").String(s.version).Key("model").String(s.model);
    j.EndObject();
    j.Key("time").BeginObject().Key("set").Int(s.timeSyncChecked ? 1 : 0).EndObject();
    // The dialog's controls as the model holds them.
    j.Key("controls").BeginObject();
    j.Key("list_1173").Int(s.constIndex).Key("list_1174").Int(s.parkIndex);
    j.Key("list_1176").Int(s.eventIndex).Key("list_1178").Int(s.manualIndex);
    j.Key("check_1158").Bool(s.voltageChecked).Key("list_1177").Int(s.voltageIndex);
    j.Key("check_1154").Bool(s.micChecked).Key("slider_1170").Int(s.micVolume);
    j.Key("check_1156").Bool(s.voiceChecked).Key("slider_1172").Int(s.voiceVolume);
    j.Key("slider_1186").Int(s.accLevel).Key("slider_1171").Int(s.motionLevel);
    j.Key("slider_1112").Int(s.brightness).Key("slider_1191").Int(s.contrast);
    j.Key("check_1162").Bool(s.timeSyncChecked);
    j.EndObject();
    j.EndObject();
    return j.Text();
}

// Sets each key=value (the clock preset to now first), writes the file and reads it back into
// settings; a failure's exit status otherwise.
int ApplyAndSave(const std::string& path,
                 const std::vector<std::pair<std::string, std::string>>& changes,
                 DeviceSettings& settings) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    PresetClock(settings, local);
    for (const auto& [key, value] : changes) {
        std::string error;
        if (!ApplyDeviceSetting(settings, key, value, &error)) return ToolUsageError(kName, error);
    }
    switch (SaveDeviceSettings(path, settings)) {
        case DeviceSaveStatus::Saved:
            break;
        case DeviceSaveStatus::CapacityNot95: {
            const int sum =
                CapacityPercent(settings.constIndex) + CapacityPercent(settings.parkIndex) +
                CapacityPercent(settings.eventIndex) + CapacityPercent(settings.manualIndex);
            return ToolFailure("config: storage shares add up to " + std::to_string(sum) +
                               "%, they must add up to 95%; nothing written");
        }
        case DeviceSaveStatus::NoSelection:
            return ToolFailure(
                "config: a value the file needs has none chosen (a storage "
                "share, the voltage or the clock); nothing written");
        case DeviceSaveStatus::WriteFailed:
            return ToolFailure("config: cannot write " + path);
    }
    DeviceSettings written;
    if (!LoadDeviceSettings(path, written)) return ToolFailure("config: cannot read " + path);
    written.timeSyncChecked = settings.timeSyncChecked;
    settings = written;
    return kToolOk;
}

int RunConfig(const std::vector<std::string>& args) {
    std::string card;
    std::vector<std::pair<std::string, std::string>> changes;
    bool setting = false;
    for (const std::string& a : args) {
        if (a == "--set") {
            setting = true;
        } else if (setting && a.find('=') != std::string::npos) {
            const size_t eq = a.find('=');
            changes.emplace_back(a.substr(0, eq), a.substr(eq + 1));
        } else if (!a.empty() && a[0] == '-') {
            return ToolUsageError(kName, "unknown option " + a);
        } else if (card.empty() && !setting) {
            card = a;
        } else {
            return ToolUsageError(kName, "unexpected argument " + a);
        }
    }
    if (card.empty()) return ToolUsageError(kName, "no card given");
    if (setting && changes.empty()) return ToolUsageError(kName, "--set needs key=value");

    const std::string path = CardConfigPath(CardRoot(card));
    DeviceSettings settings;
    // A settings file that is there but no regular file (a FIFO) says so rather than "not found".
    if (std::string why;
        !CardRoot(card).empty() && !IsReadableRegularFile(path, &why) && errno == EINVAL)
        return ToolFailure("config: " + why);
    if (CardRoot(card).empty() || !LoadDeviceSettings(path, settings))
        return ToolFailure(RawText(texts::kNoBlackbox, /*korean=*/false));

    if (setting) {
        if (const int status = ApplyAndSave(path, changes, settings); status != kToolOk)
            return status;
    }
    std::printf("%s\n", SettingsJson(settings).c_str());
    return kToolOk;
}

}  // namespace

TARVEX_TOOL_COMMAND(config, "config", "CARD [--set key=value ...]", RunConfig);
