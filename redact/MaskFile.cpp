#include "redact/MaskFile.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "support/JsonReader.h"
#include "support/JsonWriter.h"

namespace {

constexpr int kMaxCameras = 2;
constexpr int kMaxPictureSide = 16384;

bool Fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

bool IntegerMember(const JsonValue& object, const char* key, int64_t low, int64_t high,
                   int64_t* out) {
    const JsonValue* v = object.Find(key);
    if (!v || !v->IsInteger() || v->integer < low || v->integer > high) return false;
    *out = v->integer;
    return true;
}

bool StringMember(const JsonValue& object, const char* key, std::string* out) {
    const JsonValue* v = object.Find(key);
    if (!v || !v->IsString()) return false;
    *out = v->text;
    return true;
}

bool ParseSource(const std::string& text, MaskSource* source) {
    for (MaskSource s : {MaskSource::Hand, MaskSource::Tracked, MaskSource::Detected})
        if (text == MaskSourceName(s)) {
            *source = s;
            return true;
        }
    return false;
}

bool ParseCameras(const JsonValue& recording, MaskSet* set, std::string* error) {
    const JsonValue* cameras = recording.Find("cameras");
    if (!cameras || !cameras->IsArray() || cameras->items.empty() ||
        cameras->items.size() > kMaxCameras)
        return Fail(error, "the masks file names no cameras of its recording");
    for (const JsonValue& c : cameras->items) {
        MaskCamera camera;
        std::string name;
        int64_t width = 0, height = 0;
        if (!StringMember(c, "camera", &name) || !ParseMaskCamera(name, &camera.camera) ||
            !IntegerMember(c, "width", 1, kMaxPictureSide, &width) ||
            !IntegerMember(c, "height", 1, kMaxPictureSide, &height) ||
            !IntegerMember(c, "frames", 1, INT32_MAX, &camera.frames) || set->Camera(camera.camera))
            return Fail(error, "the masks file's cameras are not front and rear with sizes");
        camera.width = static_cast<int>(width);
        camera.height = static_cast<int>(height);
        set->cameras.push_back(camera);
    }
    return true;
}

bool ParseBox(const JsonValue& b, MaskBox* box) {
    int64_t frame = 0, timeMs = 0;
    std::string source;
    const JsonValue* rect = b.Find("box");
    if (!IntegerMember(b, "frame", 0, INT32_MAX, &frame) ||
        !IntegerMember(b, "time_ms", 0, INT64_MAX / 2, &timeMs) || !rect || !rect->IsArray() ||
        rect->items.size() != 4 || !StringMember(b, "source", &source) ||
        !ParseSource(source, &box->source))
        return false;
    int* fields[4] = {&box->x, &box->y, &box->width, &box->height};
    for (int i = 0; i < 4; ++i) {
        const JsonValue& v = rect->items[i];
        if (!v.IsInteger() || v.integer < -kMaxPictureSide || v.integer > kMaxPictureSide)
            return false;
        *fields[i] = static_cast<int>(v.integer);
    }
    box->frame = frame;
    box->timeMs = timeMs;
    return true;
}

// A box must lie inside its camera's picture and frames, and frames must rise.
std::string BoxFault(const MaskBox& box, const MaskCamera& camera, int64_t previousFrame) {
    const std::string at = "the box of frame " + std::to_string(box.frame);
    if (box.frame >= camera.frames)
        return at + " lies past the recording's " + std::to_string(camera.frames) + " frames";
    if (box.frame <= previousFrame) return at + " is out of order or given twice";
    if (box.width < 1 || box.height < 1 || box.x < 0 || box.y < 0 ||
        box.x + box.width > camera.width || box.y + box.height > camera.height)
        return at + " lies outside the " + std::to_string(camera.width) + "x" +
               std::to_string(camera.height) + " picture";
    return {};
}

bool ParseRegion(const JsonValue& r, const MaskSet& set, MaskRegion* region, std::string* error) {
    int64_t id = 0;
    std::string camera, kind;
    const JsonValue* boxes = r.Find("boxes");
    if (!IntegerMember(r, "id", 1, INT32_MAX, &id))
        return Fail(error, "a region of the masks file has no number");
    region->id = static_cast<int>(id);
    const std::string name = "region " + std::to_string(id);
    if (!StringMember(r, "camera", &camera) || !ParseMaskCamera(camera, &region->camera) ||
        !StringMember(r, "kind", &kind) || !ParseMaskKind(kind, &region->kind) || !boxes ||
        !boxes->IsArray() || boxes->items.empty())
        return Fail(error, name + ": camera, kind or boxes missing or unknown");
    const MaskCamera* shape = set.Camera(region->camera);
    if (!shape) return Fail(error, name + ": the recording has no " + camera + " camera");
    for (const JsonValue& b : boxes->items) {
        MaskBox box;
        if (!ParseBox(b, &box)) return Fail(error, name + ": a box is malformed");
        const std::string fault = BoxFault(box, *shape, region->LastFrame());
        if (!fault.empty()) return Fail(error, MaskRegionName(*region) + ": " + fault);
        region->boxes.push_back(box);
    }
    return true;
}

}  // namespace

const MaskBox* MaskRegion::BoxAt(int64_t frame) const {
    const auto it = std::lower_bound(boxes.begin(), boxes.end(), frame,
                                     [](const MaskBox& b, int64_t f) { return b.frame < f; });
    return it != boxes.end() && it->frame == frame ? &*it : nullptr;
}

const MaskCamera* MaskSet::Camera(int camera) const {
    for (const MaskCamera& c : cameras)
        if (c.camera == camera) return &c;
    return nullptr;
}

const char* MaskKindName(MaskKind kind) {
    switch (kind) {
        case MaskKind::Plate:
            return "plate";
        case MaskKind::Face:
            return "face";
        case MaskKind::Other:
            break;
    }
    return "other";
}

const char* MaskSourceName(MaskSource source) {
    switch (source) {
        case MaskSource::Hand:
            return "hand";
        case MaskSource::Tracked:
            return "tracked";
        case MaskSource::Detected:
            break;
    }
    return "detected";
}

const char* MaskCameraName(int camera) {
    return camera == 0 ? "front" : "rear";
}

bool ParseMaskKind(const std::string& text, MaskKind* kind) {
    for (MaskKind k : {MaskKind::Plate, MaskKind::Face, MaskKind::Other})
        if (text == MaskKindName(k)) {
            *kind = k;
            return true;
        }
    return false;
}

bool ParseMaskCamera(const std::string& text, int* camera) {
    if (text != "front" && text != "rear") return false;
    *camera = text == "front" ? 0 : 1;
    return true;
}

std::string MaskRegionName(const MaskRegion& region) {
    return "region " + std::to_string(region.id) + " (" + MaskKindName(region.kind) + ", " +
           MaskCameraName(region.camera) + " camera)";
}

std::string MaskSetJson(const MaskSet& set) {
    JsonWriter j;
    j.BeginObject().Key("version").Int(kMaskFileVersion).Key("recording").BeginObject();
    j.Key("file").String(set.file).Key("duration_ms").Int(set.durationMs);
    j.Key("cameras").BeginArray();
    for (const MaskCamera& c : set.cameras)
        j.BeginObject()
            .Key("camera")
            .String(MaskCameraName(c.camera))
            .Key("width")
            .Int(c.width)
            .Key("height")
            .Int(c.height)
            .Key("frames")
            .Int(c.frames)
            .EndObject();
    j.EndArray().EndObject().Key("regions").BeginArray();
    for (const MaskRegion& r : set.regions) {
        j.BeginObject().Key("id").Int(r.id).Key("camera").String(MaskCameraName(r.camera));
        j.Key("kind").String(MaskKindName(r.kind)).Key("boxes").BeginArray();
        for (const MaskBox& b : r.boxes) {
            j.BeginObject().Key("frame").Int(b.frame).Key("time_ms").Int(b.timeMs);
            j.Key("box").BeginArray().Int(b.x).Int(b.y).Int(b.width).Int(b.height).EndArray();
            j.Key("source").String(MaskSourceName(b.source)).EndObject();
        }
        j.EndArray().EndObject();
    }
    j.EndArray().EndObject();
    return j.Text();
}

bool ParseMaskSet(const std::string& text, MaskSet* set, std::string* error) {
    JsonValue doc;
    std::string why;
    if (!ParseJson(text, &doc, &why)) return Fail(error, "the masks file is not JSON: " + why);
    int64_t version = 0;
    const JsonValue* versionValue = doc.Find("version");
    if (!versionValue || !versionValue->IsInteger() || versionValue->integer < 1)
        return Fail(error, "the masks file has no version");
    version = versionValue->integer;
    if (version > kMaskFileVersion)
        return Fail(error, "the masks file is of a newer version (" + std::to_string(version) +
                               "); this program reads version " + std::to_string(kMaskFileVersion));
    *set = MaskSet();
    const JsonValue* recording = doc.Find("recording");
    const JsonValue* regions = doc.Find("regions");
    if (!recording || !regions || !regions->IsArray())
        return Fail(error, "the masks file has no recording or no regions");
    StringMember(*recording, "file", &set->file);
    if (!IntegerMember(*recording, "duration_ms", 0, INT64_MAX / 2, &set->durationMs))
        return Fail(error, "the masks file does not give its recording's length");
    if (!ParseCameras(*recording, set, error)) return false;
    for (const JsonValue& r : regions->items) {
        MaskRegion region;
        if (!ParseRegion(r, *set, &region, error)) return false;
        for (const MaskRegion& other : set->regions)
            if (other.id == region.id)
                return Fail(error, "region " + std::to_string(region.id) + " is given twice");
        set->regions.push_back(std::move(region));
    }
    return true;
}

bool LoadMaskSet(const std::string& path, MaskSet* set, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Fail(error, "cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    if (static_cast<int64_t>(text.tellp()) > kMaxMaskFileBytes)
        return Fail(error, path + " is too large for a masks file");
    return ParseMaskSet(text.str(), set, error);
}

bool MaskSetFits(const MaskSet& set, const std::vector<MaskCamera>& recording, std::string* error) {
    for (const MaskRegion& r : set.regions) {
        const MaskCamera* mine = set.Camera(r.camera);
        const MaskCamera* theirs = nullptr;
        for (const MaskCamera& c : recording)
            if (c.camera == r.camera) theirs = &c;
        if (!theirs) return Fail(error, MaskRegionName(r) + ": this recording has no such camera");
        if (mine->width != theirs->width || mine->height != theirs->height ||
            mine->frames != theirs->frames)
            return Fail(
                error, MaskRegionName(r) + " was drawn on another recording (" +
                           std::to_string(mine->width) + "x" + std::to_string(mine->height) + ", " +
                           std::to_string(mine->frames) + " frames; this one is " +
                           std::to_string(theirs->width) + "x" + std::to_string(theirs->height) +
                           ", " + std::to_string(theirs->frames) + " frames)");
    }
    return true;
}
