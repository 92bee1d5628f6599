// make-card and make-recording: sample cards and recordings from the generator; frame-mark:
// which generated frame a saved picture shows.

#include <cstdio>
#include <cstdlib>

#include "support/Profile.h"
#include "telemetry/CameraClock.h"
#include "tools/ToolCommand.h"
#include "tools/cardgen/CardGenerator.h"
#include "tools/cardgen/FramePattern.h"

namespace {

bool ParseSize(const std::string& text, int& width, int& height) {
    const size_t x = text.find('x');
    if (x == std::string::npos) return false;
    long long w = 0, h = 0;
    if (!ToolParseInt(text.substr(0, x), w) || !ToolParseInt(text.substr(x + 1), h)) return false;
    if (w < 16 || h < 16 || w > 4096 || h > 4096 || w % 2 || h % 2) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

// "b@4.5": harsh braking at 4.5 s (kinds b, a, t, i as the generator knows them).
bool ParseGEvent(const std::string& text, std::vector<GeneratedGEvent>& events) {
    const size_t at = text.find('@');
    if (at != 1) return false;
    char* end = nullptr;
    const double sec = std::strtod(text.c_str() + 2, &end);
    if (!end || *end != '\0' || !(sec >= 0) || sec > 3600) return false;
    events.push_back({text[0], static_cast<int>(sec * 1000 + 0.5)});
    return true;
}

bool ParseCodec(const std::string& text, VideoCodec& codec) {
    if (text == "h264")
        codec = VideoCodec::H264;
    else if (text == "hevc" || text == "h265")
        codec = VideoCodec::Hevc;
    else
        return false;
    return true;
}

// The options make-card and make-recording share: the front picture's size, the codec and
// the bit rates. Any of them asks for recordings encoded as a camera encodes (see
// VideoEncoder.h).
struct VideoArgs {
    int frontWidth = 0, frontHeight = 0;
    VideoCodec codec = VideoCodec::H264;
    int frontBitRateKbps = 0, rearBitRateKbps = 0;
    bool cameraLike = false;
};

// Reads the number after option args[i]; false (with the usage message given) when absent or
// out of range.
bool NumberAfter(const std::vector<std::string>& args, size_t& i, long long low, long long high,
                 int& value) {
    long long v = 0;
    if (i + 1 >= args.size() || !ToolParseInt(args[i + 1], v) || v < low || v > high) return false;
    value = static_cast<int>(v);
    ++i;
    return true;
}

// Takes args[i] when it is one of the shared video options (*handled); false with *usage set
// when its value is wrong.
bool VideoOption(const std::vector<std::string>& args, size_t& i, VideoArgs& v, bool* handled,
                 std::string* usage) {
    const std::string& a = args[i];
    *handled = true;
    const bool hasValue = i + 1 < args.size();
    bool ok = true;
    if (a == "--front-size") {
        ok = hasValue && ParseSize(args[i + 1], v.frontWidth, v.frontHeight);
        if (!ok) *usage = "--front-size needs WxH with even sizes of 16 to 4096";
        ++i;
    } else if (a == "--codec") {
        ok = hasValue && ParseCodec(args[i + 1], v.codec);
        if (!ok) *usage = "--codec needs h264 or hevc";
        ++i;
    } else if (a == "--bit-rate" || a == "--rear-bit-rate") {
        ok = NumberAfter(args, i, 1, 100000,
                         a == "--bit-rate" ? v.frontBitRateKbps : v.rearBitRateKbps);
        if (!ok) *usage = a + " needs a number in range";
    } else {
        *handled = false;
        return true;
    }
    v.cameraLike = true;
    return ok;
}

int RunMakeCard(const std::vector<std::string>& args) {
    const char* name = "make-card";
    CardOptions options;
    VideoArgs video;
    std::string folder;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool ok = true, handled = false;
        std::string usage;
        if (!VideoOption(args, i, video, &handled, &usage)) return ToolUsageError(name, usage);
        if (handled) continue;
        if (a == "--driving")
            ok = NumberAfter(args, i, 0, 1000, options.drivingCount);
        else if (a == "--event")
            ok = NumberAfter(args, i, 0, 1000, options.eventCount);
        else if (a == "--parking")
            ok = NumberAfter(args, i, 0, 1000, options.parkingCount);
        else if (a == "--user")
            ok = NumberAfter(args, i, 0, 1000, options.userCount);
        else if (a == "--duration")
            ok = NumberAfter(args, i, 1, 3600, options.durationSec);
        else if (a == "--gap") {
            int gap = 0;
            ok = NumberAfter(args, i, 0, 86400, gap);
            options.drivingGapsSec.push_back(gap);
        } else if (a == "--full-hd")
            options.fullHd = true;
        else if (a == "--one-camera")
            options.oneCamera = true;
        else if (!a.empty() && a[0] == '-')
            return ToolUsageError(name, "unknown option " + a);
        else if (folder.empty())
            folder = a;
        else
            return ToolUsageError(name, "more than one folder given");
        if (!ok) return ToolUsageError(name, a + " needs a number in range");
    }
    if (folder.empty()) return ToolUsageError(name, "no folder given");
    options.frontWidth = video.frontWidth;
    options.frontHeight = video.frontHeight;
    options.codec = video.codec;
    options.cameraLike = video.cameraLike;
    options.frontBitRateKbps = video.frontBitRateKbps;
    options.rearBitRateKbps = video.rearBitRateKbps;
    std::string error;
    if (!WriteCard(folder, options, &error)) return ToolFailure("make-card: " + error);
    return kToolOk;
}

// make-recording's command line, read into the generator's options.
struct MakeRecordingArgs {
    RecordingOptions options;
    VideoArgs video;
    bool fullHd = false;
    std::string path, truthPath;
};

// Reads one option at args[i] (moving i past its value); false with *usage on a bad one.
bool MakeRecordingOption(const std::vector<std::string>& args, size_t& i, MakeRecordingArgs& m,
                         std::string* usage) {
    const std::string& a = args[i];
    RecordingOptions& o = m.options;
    bool ok = true;
    if (a == "--duration")
        ok = NumberAfter(args, i, 1, 3600, o.durationSec);
    else if (a == "--fps")
        ok = NumberAfter(args, i, 1, 120, o.frameRate);
    else if (a == "--seed") {
        int seed = 0;
        ok = NumberAfter(args, i, 0, 0x7FFFFFFF, seed);
        o.seed = static_cast<uint32_t>(seed);
    } else if (a == "--full-hd")
        m.fullHd = true;
    else if (a == "--one-camera")
        o.rearCamera = false;
    else if (a == "--rear-size") {
        if (i + 1 >= args.size() || !ParseSize(args[i + 1], o.rearWidth, o.rearHeight))
            return (*usage = "--rear-size needs WxH with even sizes of 16 to 4096"), false;
        ++i;
    } else if (a == "--no-fix")
        ok = NumberAfter(args, i, 0, 3600, o.noFixSeconds);
    else if (a == "--clock-offset")
        ok = NumberAfter(args, i, -14 * 86400, 14 * 86400, o.clockOffsetSec);
    else if (a == "--no-index")
        o.writeIndex = false;
    else if (a == "--no-audio")
        o.audio = false;
    else if (a == "--no-telemetry")
        o.telemetry = false;
    else if (a == "--calm")
        o.calmDrive = true;
    else if (a == "--plate")
        o.plate = true;
    else if (a == "--plate-truth") {
        if (i + 1 >= args.size()) return (*usage = "--plate-truth needs a file"), false;
        m.truthPath = args[++i];
    } else if (a == "--g-event") {
        if (i + 1 >= args.size() || !ParseGEvent(args[i + 1], o.gEvents))
            return (*usage = "--g-event needs KIND@SECONDS, KIND one of b a t i"), false;
        ++i;
    } else if (!a.empty() && a[0] == '-')
        return (*usage = "unknown option " + a), false;
    else if (m.path.empty())
        m.path = a;
    else
        return (*usage = "more than one file given"), false;
    if (!ok) *usage = a + " needs a number in range";
    return ok;
}

// The picture options, and the start time a name that carries one gives: the fixes follow it.
void FinishRecordingOptions(MakeRecordingArgs& m) {
    RecordingOptions& o = m.options;
    if (m.video.frontWidth > 0) {
        o.frontWidth = m.video.frontWidth;
        o.frontHeight = m.video.frontHeight;
    } else if (m.fullHd) {
        o.frontWidth = 1920;
        o.frontHeight = 1080;
    }
    o.codec = m.video.codec;
    o.cameraLike = m.video.cameraLike;
    o.frontBitRateKbps = m.video.frontBitRateKbps;
    o.rearBitRateKbps = m.video.rearBitRateKbps;
    if (const std::optional<int64_t> start = RecordingStartSec(m.path)) {
        const ClockFields f = SplitClockMs(*start * kMsPerSecondClock);
        o.year = static_cast<int>(f.year);
        o.month = f.month;
        o.day = f.day;
        o.hour = f.hour;
        o.minute = f.minute;
        o.second = f.second;
    }
}

int RunMakeRecording(const std::vector<std::string>& args) {
    const char* name = "make-recording";
    MakeRecordingArgs m;
    for (size_t i = 0; i < args.size(); ++i) {
        bool handled = false;
        std::string usage;
        if (!VideoOption(args, i, m.video, &handled, &usage)) return ToolUsageError(name, usage);
        if (handled) continue;
        if (!MakeRecordingOption(args, i, m, &usage)) return ToolUsageError(name, usage);
    }
    if (m.path.empty()) return ToolUsageError(name, "no file given");
    if (!m.truthPath.empty() && !m.options.plate)
        return ToolUsageError(name, "--plate-truth needs --plate");
    FinishRecordingOptions(m);
    std::string error;
    if (!WriteRecording(m.path, m.options, &error)) return ToolFailure("make-recording: " + error);
    if (!m.truthPath.empty() && !WriteFileWhole(m.truthPath, PlateTruthJson(m.options) + "\n"))
        return ToolFailure("make-recording: cannot write " + m.truthPath);
    return kToolOk;
}

int RunFrameMark(const std::vector<std::string>& args) {
    const char* name = "frame-mark";
    std::string path;
    bool mirrored = false;
    for (const std::string& a : args) {
        if (a == "--mirrored")
            mirrored = true;
        else if (!a.empty() && a[0] == '-')
            return ToolUsageError(name, "unknown option " + a);
        else if (path.empty())
            path = a;
        else
            return ToolUsageError(name, "more than one picture given");
    }
    if (path.empty()) return ToolUsageError(name, "no picture given");
    CPixImage image;
    if (!image.LoadImage(path)) return ToolFailure("frame-mark: cannot read " + path + " as JPEG");
    const FrameMark mark = mirrored ? ReadFramePatternMirrored(image) : ReadFramePattern(image);
    // -1 for both when the picture carries no readable pattern.
    printf("{\"frame\": %d, \"camera\": %d}\n", mark.frameIndex, mark.camera);
    return kToolOk;
}

}  // namespace

TARVEX_TOOL_COMMAND(make_card, "make-card",
                    "DIR [--driving N] [--event N] [--parking N] [--user N] [--duration S] "
                    "[--full-hd] [--front-size WxH] [--codec h264|hevc] [--bit-rate KBPS] "
                    "[--rear-bit-rate KBPS] [--one-camera] [--gap S ...]",
                    RunMakeCard);
TARVEX_TOOL_COMMAND(make_recording, "make-recording",
                    "FILE [--duration S] [--full-hd] [--front-size WxH] [--codec h264|hevc] "
                    "[--one-camera] [--fps N] [--rear-size WxH] "
                    "[--no-index] [--no-audio] [--no-telemetry] [--no-fix S] [--seed N] "
                    "[--bit-rate KBPS] [--rear-bit-rate KBPS] [--calm] [--g-event KIND@S ...] "
                    "[--clock-offset S] [--plate [--plate-truth FILE]]",
                    RunMakeRecording);
TARVEX_TOOL_COMMAND(frame_mark, "frame-mark", "PICTURE.jpg [--mirrored]", RunFrameMark);
