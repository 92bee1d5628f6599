// Driving events from the G-sensor samples: thresholds, merging, impacts taking over, the
// settings keys, and `tarvex-tool events` on a recording with events at known times.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "telemetry/CameraClock.h"
#include "telemetry/EventDetector.h"
#include "telemetry/EventMoment.h"
#include "tests/ToolRun.h"
#include "tools/cardgen/CardGenerator.h"

namespace {

// Samples every 100 ms from 0; axes in device units (64 a g).
std::vector<TimedSample> Samples(const std::vector<std::array<int, 3>>& axes) {
    std::vector<TimedSample> out;
    for (size_t i = 0; i < axes.size(); ++i) {
        TimedSample s;
        s.timeMs = static_cast<int64_t>(i) * 100;
        s.sample.x = axes[i][0];
        s.sample.y = axes[i][1];
        s.sample.z = axes[i][2];
        out.push_back(s);
    }
    return out;
}

std::vector<std::array<int, 3>> Quiet(size_t n) {
    return std::vector<std::array<int, 3>>(n);
}

struct DetectCase {
    const char* what;
    std::vector<std::array<int, 3>> axes;
    std::vector<std::pair<DrivingEventKind, int64_t>> expected;  // kind, time
};

TEST(EventDetector, FindsEachKindAtItsFirstSampleOverTheThreshold) {
    auto with = [](std::vector<std::pair<size_t, std::array<int, 3>>> at) {
        auto axes = Quiet(40);
        for (const auto& [i, v] : at) axes[i] = v;
        return axes;
    };
    const DetectCase cases[] = {
        {"just under every threshold",
         with({{5, {-28, 0, 0}}, {9, {22, 28, 0}}, {12, {0, 0, 63}}}),
         {}},
        {"braking at -0.45 g", with({{5, {-29, 0, 0}}}), {{DrivingEventKind::HarshBraking, 500}}},
        {"acceleration at 0.35 g",
         with({{7, {23, 0, 0}}}),
         {{DrivingEventKind::HardAcceleration, 700}}},
        {"turn either way",
         with({{3, {0, -29, 0}}, {30, {0, 29, 0}}}),
         {{DrivingEventKind::SharpTurn, 300}, {DrivingEventKind::SharpTurn, 3000}}},
        {"samples under a second apart make one event",
         with({{10, {-40, 0, 0}}, {14, {-40, 0, 0}}, {19, {-40, 0, 0}}}),
         {{DrivingEventKind::HarshBraking, 1000}}},
        {"a full second apart makes two",
         with({{10, {-40, 0, 0}}, {20, {-40, 0, 0}}}),
         {{DrivingEventKind::HarshBraking, 1000}, {DrivingEventKind::HarshBraking, 2000}}},
        {"an impact takes the braking that comes with it",
         with({{20, {-40, 0, 0}}, {21, {-90, 0, 0}}, {22, {-40, 0, 0}}}),
         {{DrivingEventKind::Impact, 2100}}},
        {"impact from the three axes together",
         with({{4, {40, 40, 30}}}),
         {{DrivingEventKind::Impact, 400}}},
    };
    for (const DetectCase& c : cases) {
        std::vector<std::pair<DrivingEventKind, int64_t>> found;
        for (const DrivingEvent& e : DetectEvents(Samples(c.axes)))
            found.push_back({e.kind, e.timeMs});
        EXPECT_EQ(found, c.expected) << c.what;
    }
}

TEST(EventDetector, PeakIsTheLargestReadingInG) {
    auto axes = Quiet(20);
    axes[5] = {-32, 0, 0};
    axes[6] = {-48, 0, 0};
    const auto events = DetectEvents(Samples(axes));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_DOUBLE_EQ(events[0].peakG, 0.75);
    EXPECT_EQ(events[0].endMs, 600);
}

TEST(EventDetector, ThresholdsFromTheSettingsFile) {
    const std::string path = std::string(TARVEX_TEST_DATA_DIR) + "/event_thresholds.cfg";
    std::ofstream(path) << "[config]\nvolume=3\nevent_braking_g=0.2\nevent_turn_g=abc\n"
                           "gsensor_units_per_g=32\nevent_impact_g=-1\n";
    const EventThresholds t = ReadEventThresholds(path);
    EXPECT_DOUBLE_EQ(t.brakingG, 0.2);
    EXPECT_DOUBLE_EQ(t.unitsPerG, 32);
    EXPECT_DOUBLE_EQ(t.turnG, EventThresholds{}.turnG);      // not a number
    EXPECT_DOUBLE_EQ(t.impactG, EventThresholds{}.impactG);  // not positive
    EXPECT_DOUBLE_EQ(ReadEventThresholds("/nonexistent.cfg").brakingG, EventThresholds{}.brakingG);
    // At 32 units a g, 10 units of braking are 0.31 g, over the 0.2 g asked for.
    auto axes = Quiet(5);
    axes[2] = {-10, 0, 0};
    EXPECT_EQ(DetectEvents(Samples(axes), t).size(), 1u);
}

// The speed of an event is the nearest valid fix's within 1.5 s, never an invalid or a far
// one; its time of day follows the name's start.
TEST(EventMoment, SpeedAndTimeOfDayOfEachEvent) {
    const auto fix = [](int64_t ms, double kmh, bool valid) {
        TimedFix f;
        f.timeMs = ms;
        f.fix.speed = kmh;
        f.fix.valid = valid ? 1 : 0;
        return f;
    };
    const std::vector<TimedFix> fixes = {fix(1000, 40, true), fix(5000, 99, false),
                                         fix(9000, 62.9, true)};
    const struct {
        int64_t eventMs;
        std::optional<double> speed;
    } cases[] = {{1000, 40}, {2400, 40}, {2600, std::nullopt}, {5000, std::nullopt}, {8000, 62.9}};
    const std::optional<int64_t> start = RecordingStartSec("REC_20180820_182700_D.AVI");
    for (const auto& c : cases) {
        DrivingEvent e;
        e.timeMs = c.eventMs;
        const EventMoment m = DescribeEvents({e}, start, fixes).front();
        EXPECT_EQ(m.speedKmh, c.speed) << c.eventMs;
        ASSERT_TRUE(m.cameraMs);
        EXPECT_EQ(FormatTimeOfDay(*m.cameraMs).substr(0, 5), "18:27") << c.eventMs;
    }
    EXPECT_FALSE(DescribeEvents({DrivingEvent{}}, std::nullopt, fixes).front().cameraMs);
    EXPECT_EQ(FormatEventSpeed(62.9, SpeedUnit::Kmh), "62 km/h");
    EXPECT_EQ(FormatEventSpeed(160.9344, SpeedUnit::Mph), "100 mph");
}

TEST(EventsTool, FindsTheGeneratedEventsAtTheirTimes) {
    // Named as the camera names it: the events get their time of day from the name.
    const std::string path = std::string(TARVEX_TEST_DATA_DIR) + "/REC_20260314_182509_D.AVI";
    RecordingOptions o;
    o.durationSec = 12;
    o.frontWidth = 160;
    o.frontHeight = 96;
    o.rearCamera = false;
    o.calmDrive = true;
    o.gEvents = {{'b', 2000}, {'a', 4500}, {'t', 7000}, {'i', 10000}};
    std::string error;
    ASSERT_TRUE(WriteRecording(path, o, &error)) << error;

    const ToolOutput run = RunToolCommand("events " + path + " --config /nonexistent 2>/dev/null");
    ASSERT_EQ(run.status, 0);
    // The sample stream runs 10 a second: each event starts on its generated sample.
    for (const char* expected :
         {"{\"time_ms\": 2000, \"kind\": \"harsh_braking\"",
          "\"time_of_day\": \"18:25:11\", \"speed\": ",
          "\"time_of_day\": \"18:25:19\", \"speed\": ", "\"speed_unit\": \"kmh\"",
          "{\"time_ms\": 4500, \"kind\": "
          "\"hard_acceleration\"",
          "{\"time_ms\": 7000, \"kind\": \"sharp_turn\"",
          "{\"time_ms\": 10000, \"kind\": \"impact\""})
        EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;
    size_t count = 0;
    for (size_t i = run.out.find("\"kind\""); i != std::string::npos;
         i = run.out.find("\"kind\"", i + 1))
        ++count;
    EXPECT_EQ(count, 4u) << run.out;
    const ToolOutput mph =
        RunToolCommand("events " + path + " --config /nonexistent --speed-unit mph 2>/dev/null");
    EXPECT_NE(mph.out.find("\"speed_unit\": \"mph\""), std::string::npos) << mph.out;
    EXPECT_EQ(mph.out.find("\"speed\": null"), std::string::npos) << mph.out;
    EXPECT_EQ(RunToolCommand("events /nonexistent.avi 2>/dev/null").status, 1);
}

}  // namespace
