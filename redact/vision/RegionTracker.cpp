#include "redact/vision/RegionTracker.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <opencv2/core.hpp>
#include <opencv2/tracking.hpp>
#include <vector>

#include "redact/vision/RecordingFrames.h"

namespace {

// Pictures held at once while following backward (decoding only runs forward).
constexpr int kBackwardChunkFrames = 30;

bool Fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

cv::Ptr<cv::Tracker> MakeTracker(TrackerKind kind) {
    if (kind == TrackerKind::Kcf) return cv::TrackerKCF::create();
    return cv::TrackerCSRT::create();
}

// Converts between the picture's pixels and the working size the tracker sees.
struct Geometry {
    double scale;
    int width, height;
    double rate;

    cv::Rect ToWorking(const MaskBox& b) const {
        return cv::Rect(static_cast<int>(std::lround(b.x * scale)),
                        static_cast<int>(std::lround(b.y * scale)),
                        std::max(1, static_cast<int>(std::lround(b.width * scale))),
                        std::max(1, static_cast<int>(std::lround(b.height * scale))));
    }
    // False when nothing of the box is left inside the picture.
    bool ToPicture(const cv::Rect& r, int64_t frame, MaskBox* b) const {
        const int x0 = std::clamp(static_cast<int>(std::lround(r.x / scale)), 0, width);
        const int y0 = std::clamp(static_cast<int>(std::lround(r.y / scale)), 0, height);
        const int x1 = std::clamp(static_cast<int>(std::lround((r.x + r.width) / scale)), 0, width);
        const int y1 =
            std::clamp(static_cast<int>(std::lround((r.y + r.height) / scale)), 0, height);
        if (x1 - x0 < 1 || y1 - y0 < 1) return false;
        *b = MaskBox{frame,
                     std::llround(frame * 1000.0 / rate),
                     x0,
                     y0,
                     x1 - x0,
                     y1 - y0,
                     MaskSource::Tracked};
        return true;
    }
};

class Follower {
public:
    Follower(const Geometry& g, TrackerKind kind, std::map<int64_t, MaskBox>& out)
        : m_g(g), m_tracker(MakeTracker(kind)), m_out(out) {}

    void Start(const cv::Mat& picture, const MaskBox& drawn) {
        m_tracker->init(picture, m_g.ToWorking(drawn));
    }
    // False once the object is lost (or has left the picture).
    bool Next(int64_t frame, const cv::Mat& picture) {
        if (m_lost) return false;
        cv::Rect r;
        MaskBox b;
        if (!m_tracker->update(picture, r) || !m_g.ToPicture(r, frame, &b)) {
            m_lost = true;
            return false;
        }
        m_out[frame] = b;
        return true;
    }

private:
    Geometry m_g;
    cv::Ptr<cv::Tracker> m_tracker;
    std::map<int64_t, MaskBox>& m_out;
    bool m_lost = false;
};

bool Forward(RecordingFrames& frames, const TrackRequest& q, const Geometry& g,
             std::map<int64_t, MaskBox>& out, std::string* error) {
    Follower follower(g, q.tracker, out);
    bool started = false;
    return frames.Walk(
        q.camera, q.atFrame, q.lastFrame,
        [&](int64_t frame, const cv::Mat& picture) {
            if (!started) {
                if (frame != q.atFrame) return false;
                follower.Start(picture, q.drawn);
                started = true;
                return true;
            }
            return follower.Next(frame, picture);
        },
        error);
}

// Decodes the span a chunk at a time from its end and feeds the pictures in reverse.
bool Backward(RecordingFrames& frames, const TrackRequest& q, const Geometry& g,
              std::map<int64_t, MaskBox>& out, std::string* error) {
    Follower follower(g, q.tracker, out);
    bool started = false, going = true;
    for (int64_t end = q.atFrame; going && end >= q.firstFrame;) {
        const int64_t start = std::max(q.firstFrame, end - kBackwardChunkFrames + 1);
        std::vector<std::pair<int64_t, cv::Mat>> held;
        auto keep = [&](int64_t frame, const cv::Mat& p) {
            held.emplace_back(frame, p.clone());
            return true;
        };
        if (!frames.Walk(q.camera, start, end, keep, error)) return false;
        for (auto it = held.rbegin(); going && it != held.rend(); ++it) {
            if (!started) {
                if (it->first != q.atFrame) return true;
                follower.Start(it->second, q.drawn);
                started = true;
            } else {
                going = follower.Next(it->first, it->second);
            }
        }
        if (held.empty()) break;
        end = start - 1;
    }
    return true;
}

}  // namespace

bool TrackRegion(RecordingFrames& frames, const TrackRequest& q, MaskRegion* region,
                 std::string* error) {
    const MaskCamera* camera = nullptr;
    for (const MaskCamera& c : frames.Cameras())
        if (c.camera == q.camera) camera = &c;
    if (!camera)
        return Fail(error,
                    std::string("the recording has no ") + MaskCameraName(q.camera) + " camera");
    if (q.atFrame < q.firstFrame || q.atFrame > q.lastFrame || q.lastFrame >= camera->frames)
        return Fail(error, "the drawn picture lies outside the span to follow");
    const Geometry g{frames.Scale(q.camera), camera->width, camera->height,
                     frames.FrameRate(q.camera)};
    std::map<int64_t, MaskBox> boxes;
    if (!Forward(frames, q, g, boxes, error) || !Backward(frames, q, g, boxes, error)) return false;
    MaskBox drawn = q.drawn;
    drawn.frame = q.atFrame;
    drawn.timeMs = std::llround(q.atFrame * 1000.0 / g.rate);
    drawn.source = MaskSource::Hand;
    boxes[q.atFrame] = drawn;
    region->camera = q.camera;
    region->kind = q.kind;
    region->boxes.clear();
    for (const auto& [frame, box] : boxes) region->boxes.push_back(box);
    return true;
}
