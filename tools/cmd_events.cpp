// events: the driving events of one or more recordings, found in their G-sensor samples with
// the thresholds of the viewer's settings file (or the defaults): one JSON document with, per
// recording, each event's time, kind and peak in g, its time of day on the camera clock (from
// the recording's name; null without one) and the speed of the nearest fix in the unit asked
// for (the settings file's speed_unit unless --speed-unit is given; null without a fix).

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/JsonWriter.h"
#include "support/Profile.h"
#include "telemetry/CameraClock.h"
#include "telemetry/EventMoment.h"
#include "telemetry/TelemetryWalk.h"
#include "tools/ToolCommand.h"

namespace {

constexpr const char* kName = "events";

// The viewer's own settings file: $XDG_CONFIG_HOME/tarvex/config.cfg, ~/.config without it.
std::string ViewerConfigPath() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        return std::string(xdg) + "/tarvex/config.cfg";
    const char* home = std::getenv("HOME");
    return std::string(home && home[0] == '/' ? home : "") + "/.config/tarvex/config.cfg";
}

// The speed unit the viewer shows, from its settings file.
SpeedUnit ConfiguredSpeedUnit(const std::string& config) {
    char text[16] = {};
    GetPrivateProfileString("config", kSpeedUnitKey, "kmh", text, sizeof text, config.c_str());
    return ParseSpeedUnit(text);
}

void WriteEvent(JsonWriter& j, const EventMoment& m, SpeedUnit unit) {
    const DrivingEvent& e = m.event;
    j.BeginObject().Key("time_ms").Int(e.timeMs).Key("kind").String(DrivingEventName(e.kind));
    j.Key("peak_g").Double(e.peakG).Key("end_ms").Int(e.endMs).Key("time_of_day");
    if (m.cameraMs)
        j.String(FormatTimeOfDay(*m.cameraMs));
    else
        j.Null();
    j.Key("speed");
    if (m.speedKmh)
        j.Int(SpeedShown(*m.speedKmh, unit));
    else
        j.Null();
    j.Key("speed_unit").String(SpeedUnitName(unit)).EndObject();
}

int RunEvents(const std::vector<std::string>& args) {
    std::vector<std::string> paths;
    std::string config = ViewerConfigPath();
    std::optional<SpeedUnit> unit;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--config") {
            if (i + 1 >= args.size()) return ToolUsageError(kName, "--config needs a file");
            config = args[++i];
        } else if (args[i] == "--speed-unit") {
            if (i + 1 >= args.size() || (args[i + 1] != "kmh" && args[i + 1] != "mph"))
                return ToolUsageError(kName, "--speed-unit needs kmh or mph");
            unit = ParseSpeedUnit(args[++i]);
        } else if (!args[i].empty() && args[i][0] == '-') {
            return ToolUsageError(kName, "unknown option " + args[i]);
        } else {
            paths.push_back(args[i]);
        }
    }
    if (paths.empty()) return ToolUsageError(kName, "no file given");

    const EventThresholds thresholds = ReadEventThresholds(config);
    if (!unit) unit = ConfiguredSpeedUnit(config);
    JsonWriter j;
    j.BeginObject().Key("recordings").BeginArray();
    for (const std::string& path : paths) {
        RecordingTelemetry telemetry;
        if (!WalkTelemetry(path, telemetry))
            return ToolFailure("events: not a readable recording: " + path);
        j.BeginObject()
            .Key("path")
            .String(path)
            .Key("duration_ms")
            .Int(telemetry.durationMs)
            .Key("events")
            .BeginArray();
        const std::vector<DrivingEvent> events = DetectEvents(telemetry.samples, thresholds);
        for (const EventMoment& m :
             DescribeEvents(events, RecordingStartSec(path), telemetry.fixes))
            WriteEvent(j, m, *unit);
        j.EndArray().EndObject();
    }
    j.EndArray().EndObject();
    std::printf("%s\n", j.Text().c_str());
    return std::fflush(stdout) == 0 ? kToolOk : kToolRejected;
}

}  // namespace

TARVEX_TOOL_COMMAND(events, "events", "FILE [FILE...] [--config CONFIG.cfg] [--speed-unit kmh|mph]",
                    RunEvents);
