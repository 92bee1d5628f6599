#include "redact/vision/RegionDetector.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

#include "redact/vision/RecordingFrames.h"

namespace {

// A detection joins a region whose last box overlaps it this much, within this many frames.
constexpr double kJoinOverlap = 0.3;
constexpr int64_t kJoinGapFrames = 5;
constexpr int kMinObjectPixels = 16;  // at the working size

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

struct Finder {
    MaskKind kind;
    cv::CascadeClassifier cascade;
    std::vector<MaskRegion> regions;

    void Join(const MaskBox& box, int camera, int* nextId) {
        for (MaskRegion& r : regions) {
            const MaskBox& last = r.boxes.back();
            if (r.camera == camera && box.frame > last.frame &&
                box.frame - last.frame <= kJoinGapFrames && Overlap(box, last) >= kJoinOverlap) {
                r.boxes.push_back(box);
                return;
            }
        }
        regions.push_back({(*nextId)++, camera, kind, {box}});
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
        const double scale = frames.Scale(camera), rate = frames.FrameRate(camera);
        const int64_t last = std::min(q.lastFrame, shape->frames - 1);
        cv::Mat gray;
        std::vector<cv::Rect> found;
        auto look = [&](int64_t frame, const cv::Mat& bgr) {
            cv::cvtColor(bgr, gray, cv::COLOR_BGR2GRAY);
            cv::equalizeHist(gray, gray);
            for (Finder& f : finders) {
                f.cascade.detectMultiScale(gray, found, 1.1, 4, 0,
                                           cv::Size(kMinObjectPixels, kMinObjectPixels));
                for (const cv::Rect& r : found) {
                    const int x0 = std::clamp(int(std::lround(r.x / scale)), 0, shape->width - 1);
                    const int y0 = std::clamp(int(std::lround(r.y / scale)), 0, shape->height - 1);
                    const int x1 =
                        std::clamp(int(std::lround(r.br().x / scale)), x0 + 1, shape->width);
                    const int y1 =
                        std::clamp(int(std::lround(r.br().y / scale)), y0 + 1, shape->height);
                    f.Join({frame, std::llround(frame * 1000.0 / rate), x0, y0, x1 - x0, y1 - y0,
                            MaskSource::Detected},
                           camera, &nextId);
                }
            }
            return true;
        };
        if (!frames.Walk(camera, q.firstFrame, last, look, error)) return false;
    }
    for (Finder& f : finders)
        for (MaskRegion& r : f.regions) set->regions.push_back(std::move(r));
    std::sort(set->regions.begin(), set->regions.end(),
              [](const MaskRegion& a, const MaskRegion& b) { return a.id < b.id; });
    return true;
}
