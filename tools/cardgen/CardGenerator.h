#pragma once
// Sample recordings and cards in the dashcam's own layout, for the tests, the benchmarks and
// `tarvex-tool make-card`.
//
// A recording is a RIFF/AVI file exactly as the dashcam writes it: header list (avih, then a
// stream list per video stream, the audio stream and the text stream), the movie list with
// one chunk per access unit / PCM packet / telemetry payload in time order, then idx1.
// Front video is "00dc", rear "01dc", PCM "02wb", telemetry "03tx"; streams that are left
// out shift the numbers after them (one camera: "00dc", "01wb", "02tx"). Sound and telemetry
// chunks are written just before the first frame whose time has reached their start. PCM
// chunks hold 3840 bytes (240 ms); telemetry is a GPS fix a second ('G' + RMC sentence) and
// ten G-sensor samples a second ('M' + three axis bytes), see DriveTrack.h.
//
// The file only appears under its name once it is complete; a failure leaves nothing behind.
//
// Content is self-describing: every frame shows its index as a block pattern (FramePattern.h)
// and the sound beeps for the first 100 ms of every whole second, so a test can tell which
// frame was shown and how far sound and picture are apart. Output is deterministic: the same
// options give the same bytes.

#include <cstdint>
#include <string>
#include <vector>

#include "media/VideoCodec.h"

// A G-sensor event written into a recording at a known time: harsh braking ('b', -0.7 g
// forward for a second), hard acceleration ('a', +0.5 g for a second), a sharp turn ('t',
// 0.6 g sideways for 1.5 s) or an impact ('i', a 1.6 g vertical jolt of one sample).
struct GeneratedGEvent {
    char kind = 'i';
    int timeMs = 0;
};

struct RecordingOptions {
    int durationSec = 20;
    int frontWidth = 1280;
    int frontHeight = 720;
    int rearWidth = 640;
    int rearHeight = 360;
    bool rearCamera = true;
    int frameRate = 30;         // both cameras
    int keyFrameInterval = 30;  // frames
    int audioRate = 8000;       // 16-bit mono PCM
    bool audio = true;
    bool telemetry = true;   // GPS fix every second and G-sensor samples
    bool writeIndex = true;  // false: the file ends after the movie list (as after power loss)
    // Recording start, local time of the dashcam (it stores UTC + 9 h in its GPS fixes).
    int year = 2026, month = 3, day = 14, hour = 18, minute = 25, second = 9;
    // The camera clock's offset from GPS time (camera - UTC): Korean time on a clock that
    // keeps time; a clock set wrong or drifting differs from it by its error.
    int clockOffsetSec = 9 * 3600;
    // Where the drive starts; the route moves on from here.
    double startLatitude = 37.5665;
    double startLongitude = 126.9780;
    uint32_t seed = 1;  // varies the route and the G-sensor events between recordings
    // The first fixes report "no fix" (status V), as a receiver does after a cold start.
    int noFixSeconds = 0;
    // x264 threads per camera; fixed rather than taken from the machine, so the same
    // options give the same bytes everywhere.
    int encoderThreads = 2;
    int crf = 26;  // picture quality (x264 constant rate factor)
    // Video bit rates in kbit/s instead of crf (0: crf); a camera writes about 10000 front
    // and 4000 rear.
    int frontBitRateKbps = 0;
    int rearBitRateKbps = 0;
    // Both cameras' codec (H.264 or H.265; H.265 is always encoded the camera's way).
    VideoCodec codec = VideoCodec::H264;
    // Encode as a camera does (see VideoEncoder.h) rather than the quick way the tests use,
    // so that decoding costs what it costs on a real card.
    bool cameraLike = false;

    // A steady straight drive at cruising speed with no manoeuvre of its own, so that the
    // G-sensor shows only the events below.
    bool calmDrive = false;
    std::vector<GeneratedGEvent> gEvents;  // any drive; times from the recording's start

    // A number plate crossing the front picture (MovingPlate.h).
    bool plate = false;
};

// Writes one recording; false with a message in *error on failure.
bool WriteRecording(const std::string& path, const RecordingOptions& options, std::string* error);

// Where the moving plate of a recording written with options is, frame by frame, as JSON:
// {"version": 1, "camera": "front", "kind": "plate", "width": W, "height": H,
//  "frames": [{"frame": N, "time_ms": T, "box": [x, y, w, h]}, ...]}.
std::string PlateTruthJson(const RecordingOptions& options);

struct CardOptions {
    int drivingCount = 3;  // recordings in DRIVING
    int eventCount = 1;
    int parkingCount = 1;
    int userCount = 1;
    int durationSec = 20;
    bool fullHd = false;  // 1920x1080 front instead of 1280x720
    int frontWidth = 0;   // above 0: this front size (overrides fullHd)
    int frontHeight = 0;
    VideoCodec codec = VideoCodec::H264;
    bool cameraLike = false;
    int frontBitRateKbps = 0;  // 0: the quality factor
    int rearBitRateKbps = 0;
    bool oneCamera = false;  // no rear camera (names end in N)
    // Seconds without recording before DRIVING recording i + 1 (entry i); missing entries are
    // 0, so recordings follow one another as the dashcam cuts a drive.
    std::vector<int> drivingGapsSec;
};

// Writes a whole card: DRIVING, EVENT, PARKING, USER with recordings named
// CATEGORY_YYYYMMDD_HHMMSS_FLAG.AVI, and SETTING/blackbox.cfg (CRLF line endings).
bool WriteCard(const std::string& folder, const CardOptions& options, std::string* error);

// A calendar time of the dashcam's clock (no time zone attached).
struct CivilTime {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
// The name the dashcam gives a recording: TOKEN_YYYYMMDD_HHMMSS_D.AVI (N without rear camera).
std::string RecordingFileName(const char* token, const CivilTime& start, bool rearCamera);
// The device configuration file as the dashcam writes it (CRLF line endings), with its clock
// section set to the given time.
std::string BlackboxConfigText(const CivilTime& clock);
