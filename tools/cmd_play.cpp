// play: plays a recording with the real player, headless video windows and SDL's sound
// output, printing one JSON line per text chunk and per front frame shown, then a summary.
// Nobody looks at the pictures, so they are decoded but not converted; --size converts them
// to that size (the rear to half of it), as a window of that size would.
// Several files play as one trip: each next one is queued while the one before plays, so it
// follows without a break, and a line per join gives the time between the last front frame
// of one recording and the first of the next. --one-by-one opens each file only when the one
// before has ended, for comparison.
// At the real clock a frame more than a frame period late is decoded but not shown, and
// counted as late_frames in the summary; --every-frame shows it late instead.

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "library/TripSequencer.h"
#include "media/CPlaybackSession.h"
#include "support/HeadlessVideoWindow.h"
#include "support/JsonWriter.h"
#include "support/RegularFile.h"
#include "tools/ToolCommand.h"

namespace {

constexpr const char* kName = "play";

struct PlayOptions {
    std::vector<std::string> paths;
    long long seekMs = 0;
    long long seekForward = 0;
    long long forMs = -1;
    int width = 0;  // 0: no conversion
    int height = 0;
    std::string capturePrefix;
    bool noClock = false;
    bool oneByOne = false;    // each file opened when the one before has ended
    bool everyFrame = false;  // late frames are shown late rather than dropped
};

struct PlaySession {
    HeadlessVideoWindow front{0, 0};
    HeadlessVideoWindow rear{0, 0};
    CPlaybackSession engine;  // after the windows, so its threads are joined before they go
    CQRVMediaPlayer& player = engine.Player();
    long long forMs = -1;
    int32_t firstPositionMs = 0;
    std::atomic<int> frontShown{0};
    std::atomic<int> rearShown{0};
    std::atomic<bool> stoppedEarly{false};
    // The trip: followed by the worker's present callback while playing, by the main thread
    // once the worker is held.
    TripSequencer trip;
    bool joinPending = false;  // the next frame shown starts a recording opened anew
    int64_t lastPresentUs = 0;
    int32_t lastPositionMs = 0;
    std::vector<std::pair<double, bool>> joins;  // gap in ms, seamless
};

int64_t NowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// A frame period of the recordings played, in ms.
double FramePeriodMs(const PlaySession& s) {
    const int32_t rate = s.player.GetFrontFrameRate();
    return 1000.0 / (rate > 0 ? rate : CQRVMediaPlayer::kFallbackFrameRate);
}

// A number with a fixed count of decimals, as JSON.
std::string Fixed(double value, int decimals) {
    char text[40];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Called for the first front frame of a recording that followed another.
void NoteJoin(PlaySession& s, int64_t nowUs, bool seamless) {
    const double gapMs = static_cast<double>(nowUs - s.lastPresentUs) / 1000.0;
    s.joins.emplace_back(gapMs, seamless);
    // The time played so far runs on across the join.
    s.firstPositionMs -= s.lastPositionMs;
    JsonWriter j;
    j.BeginObject().Key("join").Int(static_cast<int64_t>(s.joins.size()));
    j.Key("file").String(s.trip.Paths()[s.trip.Index()]).Key("seamless").Bool(seamless);
    j.Key("gap_ms").Raw(Fixed(gapMs, 1));
    j.Key("gap_frames").Raw(Fixed(gapMs / FramePeriodMs(s), 2)).EndObject();
    std::printf("%s\n", j.Text().c_str());
}

const char* TextKind(const uint8_t* payload, int32_t length) {
    if (length >= 7 && payload[0] == 'G' &&
        std::string(reinterpret_cast<const char*>(payload) + 2, 5) == "GPRMC")
        return "gps";
    if (length >= 1 && payload[0] == 'M') return "gsensor";
    return "other";
}

void OnText(void* user, const uint8_t* payload, int32_t length, int32_t positionMs) {
    (void)user;
    JsonWriter j;
    j.BeginObject().Key("kind").String(TextKind(payload, length)).Key("len").Int(length);
    j.Key("position_ms").Int(positionMs).EndObject();
    std::printf("%s\n", j.Text().c_str());
}

// Runs on the player's worker, inside the presentation of a front frame.
void OnFrontPresented(PlaySession& s) {
    const int64_t nowUs = NowUs();
    if (s.trip.FollowHandOvers(s.player.GetHandOvers()) > 0) {
        // The player went on into the queued next recording; queue the one after it.
        NoteJoin(s, nowUs, true);
        if (const std::string* next = s.trip.NextToQueue()) s.player.QueueNext(next->c_str());
    } else if (s.joinPending) {
        NoteJoin(s, nowUs, false);
    }
    s.joinPending = false;
    s.lastPresentUs = nowUs;
    const int32_t counter = s.player.GetFrameCounter();
    const int32_t position = s.player.GetPositionMs();
    s.lastPositionMs = position;
    JsonWriter j;
    j.BeginObject().Key("counter").Int(counter).Key("position_ms").Int(position).EndObject();
    std::printf("%s\n", j.Text().c_str());
    if (s.frontShown.fetch_add(1) == 0) s.firstPositionMs = position;
    if (s.forMs >= 0 && position - s.firstPositionMs >= s.forMs) {
        // The step ends at its next loop, before any later frame is shown.
        s.player.Pause();
        s.stoppedEarly = true;
    }
}

bool ParseSize(const std::string& text, int& width, int& height) {
    const size_t x = text.find('x');
    long long w = 0, h = 0;
    if (x == std::string::npos || !ToolParseInt(text.substr(0, x), w) ||
        !ToolParseInt(text.substr(x + 1), h))
        return false;
    if (w < 2 || h < 2 || w > 8192 || h > 8192) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

int ParseOptions(const std::vector<std::string>& args, PlayOptions& o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        auto number = [&](long long& value, long long low) {
            return hasValue && ToolParseInt(args[++i], value) && value >= low && value <= 100000000;
        };
        if (a == "--seek-ms") {
            if (!number(o.seekMs, 0))
                return ToolUsageError(kName, "--seek-ms needs a number of ms");
        } else if (a == "--seek-forward") {
            if (!number(o.seekForward, 0))
                return ToolUsageError(kName, "--seek-forward needs seconds");
        } else if (a == "--for-ms") {
            if (!number(o.forMs, 0)) return ToolUsageError(kName, "--for-ms needs a number of ms");
        } else if (a == "--size") {
            if (!hasValue || !ParseSize(args[++i], o.width, o.height))
                return ToolUsageError(kName, "--size needs WxH");
        } else if (a == "--capture") {
            if (!hasValue || args[i + 1].empty())
                return ToolUsageError(kName, "--capture needs a prefix");
            o.capturePrefix = args[++i];
        } else if (a == "--no-clock") {
            o.noClock = true;
        } else if (a == "--one-by-one") {
            o.oneByOne = true;
        } else if (a == "--every-frame") {
            o.everyFrame = true;
        } else if (!a.empty() && a[0] == '-') {
            return ToolUsageError(kName, "unknown option " + a);
        } else {
            o.paths.push_back(a);
        }
    }
    if (o.paths.empty() || o.paths.front().empty()) return ToolUsageError(kName, "no file given");
    return kToolOk;
}

// A FIFO among the files would be refused by the reader; says why before the engine starts.
int RefuseSpecialFiles(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        if (std::string why; !IsReadableRegularFile(path, &why) && errno == EINVAL)
            return ToolFailure("play: " + why);
    }
    return kToolOk;
}

void StartSession(PlaySession& s, const PlayOptions& o) {
    s.forMs = o.forMs;
    if (o.width > 0) {
        s.front.SetSize(o.width, o.height);
        s.rear.SetSize(std::max(1, o.width / 2), std::max(1, o.height / 2));
    }
    s.front.SetOnPresent([&s](const CPixImgBase&, int) { OnFrontPresented(s); });
    s.front.SetOnPresentUnseen([&s] { OnFrontPresented(s); });
    s.rear.SetOnPresent([&s](const CPixImgBase&, int) { s.rearShown.fetch_add(1); });
    s.rear.SetOnPresentUnseen([&s] { s.rearShown.fetch_add(1); });
    s.player.SetNoClock(o.noClock);
    s.player.SetDropLateFrames(!o.everyFrame);
    s.engine.Start(&s.front, &s.rear);
    s.player.SetTextCallback(&OnText, &s);
    s.trip.SetTrip(o.paths);
    s.trip.SetQueueAhead(!o.oneByOne);
}

// Opens the trip's recording `index` with the one after it queued in the same step, so that a
// short recording cannot play out before its next is queued.
bool OpenInTrip(PlaySession& s, size_t index, int32_t startMs) {
    s.trip.OpenedAt(index, s.player.GetHandOvers());
    const std::string* next = s.trip.NextToQueue();
    return s.player.Open(s.trip.Paths()[index].c_str(), startMs, next ? next->c_str() : nullptr);
}

std::string NotPlayable(const PlaySession& s, const std::string& path) {
    const std::string why = s.player.GetOpenError();
    return "not a playable recording: " + path + (why.empty() ? "" : ": " + why);
}

// The worker comes to rest when the trip has played out (its sound included) or when --for-ms
// paused it. A recording the player could not queue (another sound format or frame rate) is
// opened here when the one before has ended, and a file that cannot be played is reported and
// stepped over.
void PlayToEnd(PlaySession& s) {
    for (;;) {
        s.player.WaitUntilHeld();
        if (s.stoppedEarly.load() || !s.player.Ended()) return;
        bool opened = false;
        while (!opened) {
            const std::optional<size_t> next = s.trip.NextAfterEnd();
            if (!next) return;
            s.joinPending = true;
            opened = OpenInTrip(s, *next, 0);
            if (!opened)
                std::fprintf(stderr, "play: %s\n", NotPlayable(s, s.trip.Paths()[*next]).c_str());
        }
    }
}

void CaptureStills(PlaySession& s, const std::string& prefix) {
    if (prefix.empty()) return;
    s.player.Capture(0, (prefix + "_front.jpg").c_str());
    if (s.player.GetCameraCount() > 1 && s.rearShown.load() > 0)
        s.player.Capture(1, (prefix + "_rear.jpg").c_str());
}

void PrintSummary(PlaySession& s) {
    JsonWriter j;
    j.BeginObject().Key("front_shown").Int(s.frontShown.load());
    j.Key("rear_shown").Int(s.rearShown.load());
    j.Key("audio_bytes").Int(s.engine.Output().BytesConsumed());
    j.Key("late_frames").Int(s.player.GetLateFrames());
    j.Key("state").Int(s.player.GetState()).Key("duration_ms").Int(s.player.GetDuration());
    if (s.trip.Count() > 1) {
        double largest = 0;
        int seamless = 0;
        for (const auto& [gapMs, smooth] : s.joins) {
            largest = std::max(largest, gapMs);
            seamless += smooth ? 1 : 0;
        }
        j.Key("recordings").Int(static_cast<int64_t>(s.trip.Count()));
        j.Key("joins").Int(static_cast<int64_t>(s.joins.size())).Key("seamless").Int(seamless);
        j.Key("largest_gap_ms").Raw(Fixed(largest, 1));
        j.Key("largest_gap_frames").Raw(Fixed(largest / FramePeriodMs(s), 2));
    }
    j.EndObject();
    std::printf("%s\n", j.Text().c_str());
    std::fflush(stdout);
}

int RunPlay(const std::vector<std::string>& args) {
    PlayOptions o;
    if (const int usage = ParseOptions(args, o); usage != kToolOk) return usage;
    if (const int refused = RefuseSpecialFiles(o.paths); refused != kToolOk) return refused;
    PlaySession s;
    StartSession(s, o);
    // The start goes with the open, so no frame of the file's start is shown before it.
    if (!OpenInTrip(s, 0, static_cast<int32_t>(o.seekMs))) {
        const std::string why = NotPlayable(s, o.paths.front());
        s.engine.Stop();
        return ToolFailure("play: " + why);
    }
    if (o.seekForward > 0) s.player.SeekForward(static_cast<int>(o.seekForward));
    PlayToEnd(s);
    CaptureStills(s, o.capturePrefix);
    PrintSummary(s);
    s.engine.Stop();
    return kToolOk;
}

}  // namespace

TARVEX_TOOL_COMMAND(play, "play",
                    "FILE [FILE...] [--seek-ms N] [--seek-forward S] [--for-ms N] [--size WxH] "
                    "[--capture PREFIX] [--no-clock] [--one-by-one] [--every-frame]",
                    RunPlay);
