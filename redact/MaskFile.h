#pragma once
// The regions of a recording that leave the viewer blurred, and their file (masks.json).
//
// A region is one object (a number plate, a face, anything else) seen by one camera, with a
// box for every frame it covers, in that camera's own picture pixels and frame numbers as
// the recording counts them. Each box says where it came from: drawn by hand, followed by the
// tracker from a drawn box, or offered by the detector. The file names the recording's
// cameras with their picture sizes and frame counts, so regions are never laid over another
// recording's pictures.
//
//   {"version": 1,
//    "recording": {"file": "NAME.AVI", "duration_ms": D,
//                  "cameras": [{"camera": "front", "width": W, "height": H, "frames": N}]},
//    "regions": [{"id": 1, "camera": "front", "kind": "plate",
//                 "boxes": [{"frame": N, "time_ms": T, "box": [x, y, w, h],
//                            "source": "hand"}]}]}

#include <cstdint>
#include <string>
#include <vector>

constexpr int kMaskFileVersion = 1;
// A hand-written file larger than this is no masks file of ours.
constexpr int64_t kMaxMaskFileBytes = 256 * 1024 * 1024;

enum class MaskKind { Plate, Face, Other };
enum class MaskSource { Hand, Tracked, Detected };

struct MaskBox {
    int64_t frame = 0;
    int64_t timeMs = 0;
    int x = 0, y = 0, width = 0, height = 0;
    MaskSource source = MaskSource::Hand;
};

struct MaskRegion {
    int id = 0;
    int camera = 0;  // 0 front, 1 rear
    MaskKind kind = MaskKind::Other;
    std::vector<MaskBox> boxes;  // frame order, one per frame at most

    // The box of frame `frame`, or null when the region does not cover it.
    const MaskBox* BoxAt(int64_t frame) const;
    int64_t FirstFrame() const { return boxes.empty() ? -1 : boxes.front().frame; }
    int64_t LastFrame() const { return boxes.empty() ? -1 : boxes.back().frame; }
};

// One camera of the recording the regions belong to.
struct MaskCamera {
    int camera = 0;
    int width = 0;
    int height = 0;
    int64_t frames = 0;
};

struct MaskSet {
    std::string file;  // the recording's file name, without folder (informative)
    int64_t durationMs = 0;
    std::vector<MaskCamera> cameras;
    std::vector<MaskRegion> regions;

    const MaskCamera* Camera(int camera) const;
};

const char* MaskKindName(MaskKind kind);
const char* MaskSourceName(MaskSource source);
const char* MaskCameraName(int camera);
bool ParseMaskKind(const std::string& text, MaskKind* kind);
bool ParseMaskCamera(const std::string& text, int* camera);

std::string MaskSetJson(const MaskSet& set);
// False, with a sentence naming the region at fault in *error, when text is no masks file
// this version reads, or one whose boxes leave their camera's picture or its frames.
bool ParseMaskSet(const std::string& text, MaskSet* set, std::string* error);
// Reads and parses a masks file.
bool LoadMaskSet(const std::string& path, MaskSet* set, std::string* error);
// False, with a sentence in *error, when the regions were made on another recording: other
// cameras, picture sizes or length.
bool MaskSetFits(const MaskSet& set, const std::vector<MaskCamera>& recording, std::string* error);
// "region 2 (plate, front camera)": how messages name a region.
std::string MaskRegionName(const MaskRegion& region);
