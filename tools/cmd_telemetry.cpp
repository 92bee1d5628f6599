// telemetry: plays a recording with the real player as fast as it goes, stores its text
// chunks through the window's own OnTextChunk logic and prints the GPS fixes and G-sensor
// samples that end up stored.

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "media/CAVIExtractor.h"
#include "media/CDecoder.h"
#include "media/CQRVMediaPlayer.h"
#include "support/HeadlessVideoWindow.h"
#include "support/JsonWriter.h"
#include "telemetry/TelemetryLogic.h"
#include "tools/ToolCommand.h"

namespace {

constexpr const char* kName = "telemetry";
void OnText(void* user, const uint8_t* payload, int32_t length, int32_t positionMs) {
    OnTextChunk(*static_cast<CTextData*>(user), payload, length, positionMs);
}

// The player's report that the recording was played out, waited for on the main thread.
class EndWaiter {
public:
    static void OnEvent(void* user, const PlayerEvent& event) {
        if (event.kind != PlayerEvent::Kind::Ended) return;
        auto* self = static_cast<EndWaiter*>(user);
        {
            std::lock_guard<std::mutex> lock(self->m_lock);
            self->m_ended = true;
        }
        self->m_changed.notify_all();
    }
    void Wait() {
        std::unique_lock<std::mutex> lock(m_lock);
        m_changed.wait(lock, [this] { return m_ended; });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_ended = false;  // guarded by m_lock
};

// "speed" stays the stored km/h; "speed_shown" is the speed in the unit asked for, as the
// window's speed box shows it.
std::string TelemetryJson(const CTextData& data, SpeedUnit unit) {
    JsonWriter j;
    j.BeginObject().Key("gps").BeginArray();
    for (const CGPSData& fix : data.SnapshotGps()) {
        j.BeginObject()
            .Key("year")
            .Int(fix.year)
            .Key("month")
            .Int(fix.month)
            .Key("day")
            .Int(fix.day)
            .Key("hour")
            .Int(fix.hour)
            .Key("minute")
            .Int(fix.minute)
            .Key("second")
            .Int(fix.second)
            .Key("valid")
            .Int(fix.IsUsable() ? 1 : 0)
            .Key("latitude")
            .Double(fix.latitude)
            .Key("longitude")
            .Double(fix.longitude)
            .Key("speed")
            .Double(fix.speed)
            .Key("speed_shown")
            .Double(SpeedInUnit(fix.speed, unit))
            .Key("course")
            .Double(fix.course)
            .Key("timestamp")
            .Int(fix.timestamp)
            .Key("latitude_deg")
            .Double(fix.GetLatitude())
            .Key("longitude_deg")
            .Double(fix.GetLongitude())
            .EndObject();
    }
    j.EndArray().Key("gsensor").BeginArray();
    for (const CGSensorData& s : data.SnapshotGSensor())
        j.BeginArray().Int(s.x).Int(s.y).Int(s.z).EndArray();
    j.EndArray().Key("speed_unit").String(SpeedUnitName(unit)).EndObject();
    return j.Text();
}

int RunTelemetry(const std::vector<std::string>& args) {
    std::string path;
    SpeedUnit unit = SpeedUnit::Kmh;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--no-clock") continue;  // always: the telemetry does not need real time
        if (a == "--speed-unit") {
            if (i + 1 >= args.size() || (args[i + 1] != "kmh" && args[i + 1] != "mph"))
                return ToolUsageError(kName, "--speed-unit needs kmh or mph");
            unit = ParseSpeedUnit(args[++i]);
            continue;
        }
        if (!a.empty() && a[0] == '-') return ToolUsageError(kName, "unknown option " + a);
        if (!path.empty()) return ToolUsageError(kName, "more than one file given");
        path = a;
    }
    if (path.empty()) return ToolUsageError(kName, "no file given");

    CTextData textData;
    EndWaiter end;
    CAVIExtractor reader;
    CDecoder decoder;
    // Hidden video areas: the player runs its whole step, the decoder draws nothing.
    HeadlessVideoWindow front(0, 0);
    HeadlessVideoWindow rear(0, 0);
    CQRVMediaPlayer player;  // declared last: its threads stop before the rest goes
    player.SetParser(&reader);
    player.SetDecoder(&decoder);
    player.SetOutput(nullptr);
    player.SetNoClock(true);
    if (!player.Start(&front, &rear)) return ToolFailure("telemetry: the player did not start");
    player.SetTextCallback(&OnText, &textData);
    player.SetEventCallback(&EndWaiter::OnEvent, &end);

    // As the window opens a recording: the arrays start empty for every file.
    textData.RemoveAll();
    if (!player.Open(path.c_str())) {
        player.StopThreads();
        return ToolFailure("telemetry: not a playable recording: " + path);
    }
    player.Play();
    end.Wait();
    player.StopThreads();

    std::printf("%s\n", TelemetryJson(textData, unit).c_str());
    return std::fflush(stdout) == 0 ? kToolOk : kToolRejected;
}

}  // namespace

TARVEX_TOOL_COMMAND(telemetry, "telemetry", "FILE [--no-clock] [--speed-unit kmh|mph]",
                    RunTelemetry);
