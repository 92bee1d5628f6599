#pragma once
// The pictures of one camera of a recording, decoded in order over a span of frames and
// handed over as BGR at a working size, for following and finding regions. Frame numbers are
// the recording's own (the camera's n-th picture is frame n), so what is found here lines up
// with what the exporter and the stills show.
//
// Threads: one caller.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "redact/MaskFile.h"

namespace cv {
class Mat;
}

class RecordingFrames {
public:
    RecordingFrames();
    ~RecordingFrames();
    RecordingFrames(const RecordingFrames&) = delete;
    RecordingFrames& operator=(const RecordingFrames&) = delete;

    bool Open(const std::string& path, std::string* error);
    // The recording's cameras with their picture sizes and frame counts, and its length.
    const std::vector<MaskCamera>& Cameras() const;
    int64_t DurationMs() const;
    double FrameRate(int camera) const;

    // Pictures wider or taller than this are scaled down (aspect kept) before they are handed
    // over; Scale() is working size / picture size.
    void SetWorkingSide(int pixels);
    double Scale(int camera) const;

    // Calls picture(frame, bgr) for every frame first ... last of the camera, in order; stops
    // early when picture returns false. False with *error when the file cannot be decoded.
    using Picture = std::function<bool(int64_t frame, const cv::Mat& bgr)>;
    bool Walk(int camera, int64_t first, int64_t last, const Picture& picture, std::string* error);

    // Called before each picture is handed over; false ends the walk, which then fails with
    // kStoppedError (a cancel asked from another thread, or a progress count).
    using Watch = std::function<bool(int64_t frame)>;
    void SetWatch(Watch watch);
    static constexpr const char* kStoppedError = "stopped";

private:
    struct State;
    State* m_state;
};
