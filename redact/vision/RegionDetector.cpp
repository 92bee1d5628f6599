#include "redact/vision/RegionDetector.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

#include "redact/vision/RecordingFrames.h"

namespace {

// A detection joins a region whose last box overlaps it this much, or lies within a box's
// width of it at about its size, within this many frames (a second at 30 fps: a cascade
// loses a plate for a while as it nears the picture's edge or passes a shadow).
constexpr double kJoinOverlap = 0.3;
constexpr int64_t kJoinGapFrames = 30;
constexpr int kMinObjectPixels = 16;  // at the working size
// The cascades look at every second picture; the boxes between are filled in.
constexpr int64_t kStrideFrames = 2;
// A region seen fewer times than this is a cascade's passing mistake, not an object.
constexpr int kMinLooks = 3;
// Within one picture: boxes that overlap this much are one suggestion, the largest kept, and
// no more than this many suggestions of a kind are taken.
constexpr double kSuppressOverlap = 0.3;
constexpr size_t kMaxPerPicture = 6;
// A number plate wider than this share of the picture is a cascade's mistake on the road or
// the sky (a plate that near fills a third of a dashcam's view only at a standstill).
constexpr double kMaxPlateWidthShare = 1.0 / 3;

const char* CascadeFile(MaskKind kind) {
    return kind == MaskKind::Face ? "haarcascade_frontalface_default.xml"
                                  : "haarcascade_russian_plate_number.xml";
}

double Overlap(const MaskBox& a, const MaskBox& b) {
    const int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    const int x1 = std::min(a.x + a.width, b.x + b.width);
    const int y1 = std::min(a.y + a.height, b.y + b.height);
    const double i = std::max(0, x1 - x0) * double(std::max(0, y1 - y0));
    return i / (double(a.width) * a.height + double(b.width) * b.height - i);
}

// The same object a little further on: overlapping, or moved by less than its width at
// about its size.
bool Follows(const MaskBox& box, const MaskBox& last) {
    if (Overlap(box, last) >= kJoinOverlap) return true;
    const double dx = (box.x + box.width / 2.0) - (last.x + last.width / 2.0);
    const double dy = (box.y + box.height / 2.0) - (last.y + last.height / 2.0);
    const double ratio = double(box.width) / std::max(1, last.width);
    return std::hypot(dx, dy) <= last.width && ratio >= 0.5 && ratio <= 2.0;
}

// One picture's suggestions of a kind, overlapping ones merged into the largest, at most
// kMaxPerPicture of them, the largest first.
std::vector<cv::Rect> Suppress(std::vector<cv::Rect> found) {
    std::sort(found.begin(), found.end(),
              [](const cv::Rect& a, const cv::Rect& b) { return a.area() > b.area(); });
    std::vector<cv::Rect> kept;
    for (const cv::Rect& r : found) {
        const bool merged = std::any_of(kept.begin(), kept.end(), [&r](const cv::Rect& k) {
            const double inside = (r & k).area();
            return inside / (r.area() + k.area() - inside) >= kSuppressOverlap ||
                   inside >= 0.7 * r.area();
        });
        if (!merged) kept.push_back(r);
        if (kept.size() == kMaxPerPicture) break;
    }
    return kept;
}

// A box for every frame from a stride's length before the first look to one after the last
// (within first ... last), those between two looks moved evenly from one to the other.
void FillRegion(MaskRegion& region, int64_t first, int64_t last, double rate) {
    std::vector<MaskBox> filled;
    const std::vector<MaskBox>& looks = region.boxes;
    auto add = [&](MaskBox b, int64_t frame) {
        b.frame = frame;
        b.timeMs = std::llround(frame * 1000.0 / rate);
        filled.push_back(b);
    };
    for (int64_t f = std::max(first, looks.front().frame - kStrideFrames + 1);
         f < looks.front().frame; ++f)
        add(looks.front(), f);
    for (size_t i = 0; i < looks.size(); ++i) {
        filled.push_back(looks[i]);
        if (i + 1 == looks.size()) break;
        const MaskBox &a = looks[i], &b = looks[i + 1];
        for (int64_t f = a.frame + 1; f < b.frame; ++f) {
            const double t = double(f - a.frame) / double(b.frame - a.frame);
            auto mix = [t](int u, int v) { return int(std::lround(u + (v - u) * t)); };
            add({0, 0, mix(a.x, b.x), mix(a.y, b.y), mix(a.width, b.width), mix(a.height, b.height),
                 MaskSource::Detected},
                f);
        }
    }
    for (int64_t f = looks.back().frame + 1;
         f <= std::min(last, looks.back().frame + kStrideFrames - 1); ++f)
        add(looks.back(), f);
    region.boxes = std::move(filled);
}

struct Finder {
    MaskKind kind;
    cv::CascadeClassifier cascade;
    std::vector<MaskRegion> regions;

    void Join(const MaskBox& box, int camera) {
        for (MaskRegion& r : regions) {
            const MaskBox& last = r.boxes.back();
            if (r.camera == camera && box.frame > last.frame &&
                box.frame - last.frame <= kJoinGapFrames && Follows(box, last)) {
                r.boxes.push_back(box);
                return;
            }
        }
        regions.push_back({0, camera, kind, {box}});
    }
};

bool LoadFinders(const std::vector<MaskKind>& kinds, std::vector<Finder>& finders,
                 std::string* error) {
    for (MaskKind kind : kinds) {
        Finder f{kind, {}, {}};
        const std::string path = std::string(TARVEX_CASCADE_DIR) + "/" + CascadeFile(kind);
        if (!f.cascade.load(path)) {
            if (error) *error = "cannot load " + path + " (opencv-data)";
            return false;
        }
        finders.push_back(std::move(f));
    }
    return true;
}

// The cascades over one camera's pictures, every kStrideFrames-th of them.
bool LookAtCamera(RecordingFrames& frames, int camera, const MaskCamera& shape, int64_t first,
                  int64_t last, std::vector<Finder>& finders, std::string* error) {
    const double scale = frames.Scale(camera), rate = frames.FrameRate(camera);
    const int widest =
        std::max(kMinObjectPixels + 1, int(shape.width * scale * kMaxPlateWidthShare));
    cv::Mat gray;
    std::vector<cv::Rect> found;
    auto box = [&](int64_t frame, const cv::Rect& r) {
        const int x0 = std::clamp(int(std::lround(r.x / scale)), 0, shape.width - 1);
        const int y0 = std::clamp(int(std::lround(r.y / scale)), 0, shape.height - 1);
        const int x1 = std::clamp(int(std::lround(r.br().x / scale)), x0 + 1, shape.width);
        const int y1 = std::clamp(int(std::lround(r.br().y / scale)), y0 + 1, shape.height);
        return MaskBox{frame,
                       std::llround(frame * 1000.0 / rate),
                       x0,
                       y0,
                       x1 - x0,
                       y1 - y0,
                       MaskSource::Detected};
    };
    auto look = [&](int64_t frame, const cv::Mat& bgr) {
        if ((frame - first) % kStrideFrames != 0) return true;
        cv::cvtColor(bgr, gray, cv::COLOR_BGR2GRAY);
        cv::equalizeHist(gray, gray);
        for (Finder& f : finders) {
            const cv::Size largest =
                f.kind == MaskKind::Plate ? cv::Size(widest, widest) : cv::Size();
            f.cascade.detectMultiScale(gray, found, 1.1, 4, 0,
                                       cv::Size(kMinObjectPixels, kMinObjectPixels), largest);
            for (const cv::Rect& r : Suppress(found)) f.Join(box(frame, r), camera);
        }
        return true;
    };
    return frames.Walk(camera, first, last, look, error);
}

}  // namespace

bool DetectRegions(RecordingFrames& frames, const DetectRequest& q, MaskSet* set,
                   std::string* error) {
    std::vector<Finder> finders;
    if (!LoadFinders(q.kinds, finders, error)) return false;
    int nextId = 1;
    for (const MaskRegion& r : set->regions) nextId = std::max(nextId, r.id + 1);
    for (int camera : q.cameras) {
        const MaskCamera* shape = set->Camera(camera);
        if (!shape) continue;
        const int64_t last = std::min(q.lastFrame, shape->frames - 1);
        if (!LookAtCamera(frames, camera, *shape, q.firstFrame, last, finders, error)) return false;
        // A span too short for kMinLooks looks keeps what it saw.
        const int64_t looks = (last - q.firstFrame) / kStrideFrames + 1;
        const size_t needed = static_cast<size_t>(std::clamp<int64_t>(looks, 1, kMinLooks));
        for (Finder& f : finders)
            for (MaskRegion& r : f.regions) {
                if (r.camera != camera || r.id != 0 || r.boxes.size() < needed) continue;
                FillRegion(r, q.firstFrame, last, frames.FrameRate(camera));
                r.id = nextId++;
            }
    }
    for (Finder& f : finders)
        for (MaskRegion& r : f.regions)
            if (r.id != 0) set->regions.push_back(std::move(r));
    std::sort(set->regions.begin(), set->regions.end(),
              [](const MaskRegion& a, const MaskRegion& b) { return a.id < b.id; });
    return true;
}
