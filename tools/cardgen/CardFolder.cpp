#include <cstdio>
#include <filesystem>
#include <system_error>

#include "tools/cardgen/CardGenerator.h"
#include "tools/cardgen/DriveTrack.h"

namespace fs = std::filesystem;

namespace {

constexpr int kMaxRecordingsPerFolder = 1000;

struct Category {
    const char* folder;
    const char* token;
    int CardOptions::*count;
};

const Category kCategories[] = {
    {"DRIVING", "REC", &CardOptions::drivingCount},
    {"EVENT", "EVENT", &CardOptions::eventCount},
    {"PARKING", "PARKING", &CardOptions::parkingCount},
    {"USER", "USER", &CardOptions::userCount},
};

bool Reject(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

// Writes a small text file whole or not at all.
bool WriteTextFile(const fs::path& path, const std::string& text, std::string* error) {
    const fs::path temp = path.string() + ".part";
    FILE* f = fopen(temp.c_str(), "wb");
    if (!f) return Reject(error, "cannot create " + temp.string());
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = (fclose(f) == 0) && ok;
    std::error_code ec;
    if (ok) fs::rename(temp, path, ec);
    if (!ok || ec) {
        fs::remove(temp, ec);
        return Reject(error, "cannot write " + path.string());
    }
    return true;
}

}  // namespace

std::string RecordingFileName(const char* token, const CivilTime& t, bool rearCamera) {
    char name[64];
    snprintf(name, sizeof name, "%s_%04d%02d%02d_%02d%02d%02d_%c.AVI", token, t.year, t.month,
             t.day, t.hour, t.minute, t.second, rearCamera ? 'D' : 'N');
    return name;
}

std::string BlackboxConfigText(const CivilTime& clock) {
    // The device's own file: a comment, the three sections the viewer edits and a few keys of
    // the device that the viewer leaves alone.
    const char* lines[] = {
        "; blackbox settings - edited by the device and the PC viewer",
        "[capacity]",
        "const=50",
        "park=15",
        "event=20",
        "manual=10",
        "",
        "[blackbox]",
        "power_off_vlt=11800",
        "mic_in=1",
        "mic_volume=3",
        "voice_out=1",
        "voice_volume=4",
        "acc_level=3",
        "motion_level=2",
        "brightness=5",
        "contrast=5",
        "version=1.02.07",
        "model=K310VZN",
        "park_mode=1",
        "led_enable=1",
        "speed_unit=0",
        "",
        "[time]",
        "set=0",
    };
    std::string text;
    for (const char* line : lines) text += std::string(line) + "\r\n";
    char timeKeys[160];
    snprintf(timeKeys, sizeof timeKeys,
             "year=%d\r\nmonth=%d\r\nday=%d\r\nhour=%d\r\nmin=%d\r\nsec=%d\r\n", clock.year,
             clock.month, clock.day, clock.hour, clock.minute, clock.second);
    return text + timeKeys;
}

bool WriteCard(const std::string& folder, const CardOptions& options, std::string* error) {
    if (folder.empty()) return Reject(error, "no card folder given");
    if (options.durationSec < 1 || options.durationSec > 3600)
        return Reject(error, "duration must be 1 to 3600 seconds");
    for (const Category& c : kCategories)
        if (options.*c.count < 0 || options.*c.count > kMaxRecordingsPerFolder)
            return Reject(error, std::string("number of ") + c.folder + " recordings out of range");

    const fs::path root(folder);
    std::error_code ec;
    for (const char* sub : {"DRIVING", "EVENT", "PARKING", "USER", "SETTING"}) {
        fs::create_directories(root / sub, ec);
        if (ec)
            return Reject(error, "cannot create " + (root / sub).string() + ": " + ec.message());
    }

    RecordingOptions base;
    base.durationSec = options.durationSec;
    if (options.fullHd) {
        base.frontWidth = 1920;
        base.frontHeight = 1080;
    }
    if (options.frontWidth > 0 && options.frontHeight > 0) {
        base.frontWidth = options.frontWidth;
        base.frontHeight = options.frontHeight;
    }
    base.codec = options.codec;
    base.cameraLike = options.cameraLike;
    base.frontBitRateKbps = options.frontBitRateKbps;
    base.rearBitRateKbps = options.rearBitRateKbps;
    base.rearCamera = !options.oneCamera;
    const CivilTime firstStart{base.year, base.month,  base.day,
                               base.hour, base.minute, base.second};
    // Recordings follow one another a recording length apart, driving first, then the
    // others in category order, each with its own route.
    int64_t start = SecondsFromCivil(firstStart);
    uint32_t seed = 1;
    for (const Category& c : kCategories) {
        for (int i = 0; i < options.*c.count; ++i, ++seed, start += options.durationSec) {
            if (i > 0 && c.count == &CardOptions::drivingCount &&
                static_cast<size_t>(i - 1) < options.drivingGapsSec.size())
                start += options.drivingGapsSec[static_cast<size_t>(i - 1)];
            const CivilTime t = CivilFromSeconds(start);
            RecordingOptions o = base;
            o.year = t.year;
            o.month = t.month;
            o.day = t.day;
            o.hour = t.hour;
            o.minute = t.minute;
            o.second = t.second;
            o.seed = seed;
            const fs::path path = root / c.folder / RecordingFileName(c.token, t, o.rearCamera);
            if (!WriteRecording(path.string(), o, error)) return false;
        }
    }
    return WriteTextFile(root / "SETTING" / "blackbox.cfg",
                         BlackboxConfigText(CivilFromSeconds(start)), error);
}
