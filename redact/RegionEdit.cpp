#include "redact/RegionEdit.h"

#include <algorithm>
#include <filesystem>

#include "support/Profile.h"

void RegionEdit::Reset(const std::string& file, int64_t durationMs,
                       std::vector<MaskCamera> cameras) {
    m_set = MaskSet{};
    m_set.file = file;
    m_set.durationMs = durationMs;
    m_set.cameras = std::move(cameras);
    m_suggestions.clear();
    ++m_revision;
}

const MaskRegion* RegionEdit::Region(int id) const {
    for (const MaskRegion& r : m_set.regions)
        if (r.id == id) return &r;
    return nullptr;
}

MaskRegion* RegionEdit::Find(int id) {
    for (MaskRegion& r : m_set.regions)
        if (r.id == id) return &r;
    return nullptr;
}

int RegionEdit::NextId() const {
    int id = 1;
    for (const MaskRegion& r : m_set.regions) id = std::max(id, r.id + 1);
    return id;
}

bool RegionEdit::Clamp(int camera, MaskBox* box) const {
    const MaskCamera* c = CameraOf(camera);
    if (!c || box->frame < 0 || box->frame >= c->frames) return false;
    const int x0 = std::clamp(box->x, 0, c->width), y0 = std::clamp(box->y, 0, c->height);
    const int x1 = std::clamp(box->x + std::max(box->width, 0), 0, c->width);
    const int y1 = std::clamp(box->y + std::max(box->height, 0), 0, c->height);
    if (x1 - x0 < 1 || y1 - y0 < 1) return false;
    box->x = x0, box->y = y0, box->width = x1 - x0, box->height = y1 - y0;
    return true;
}

int RegionEdit::Add(MaskRegion region) {
    std::vector<MaskBox> kept;
    for (MaskBox box : region.boxes)
        if (Clamp(region.camera, &box)) kept.push_back(box);
    std::sort(kept.begin(), kept.end(),
              [](const MaskBox& a, const MaskBox& b) { return a.frame < b.frame; });
    // One box per frame: the later one given wins.
    std::vector<MaskBox> unique;
    for (const MaskBox& box : kept) {
        if (!unique.empty() && unique.back().frame == box.frame)
            unique.back() = box;
        else
            unique.push_back(box);
    }
    if (unique.empty()) return 0;
    region.boxes = std::move(unique);
    region.id = NextId();
    m_set.regions.push_back(std::move(region));
    ++m_revision;
    return m_set.regions.back().id;
}

bool RegionEdit::SetBox(int id, int64_t frame, int x, int y, int width, int height) {
    MaskRegion* region = Find(id);
    if (!region) return false;
    auto at = std::find_if(region->boxes.begin(), region->boxes.end(),
                           [frame](const MaskBox& b) { return b.frame == frame; });
    if (at == region->boxes.end()) return false;
    MaskBox box = *at;
    box.x = x, box.y = y, box.width = width, box.height = height;
    if (!Clamp(region->camera, &box)) return false;
    box.source = MaskSource::Hand;
    *at = box;
    ++m_revision;
    return true;
}

int RegionEdit::Cut(int id, int64_t frame) {
    MaskRegion* region = Find(id);
    if (!region || frame <= region->FirstFrame() || frame > region->LastFrame()) return 0;
    MaskRegion tail{NextId(), region->camera, region->kind, {}};
    auto split = std::lower_bound(region->boxes.begin(), region->boxes.end(), frame,
                                  [](const MaskBox& b, int64_t f) { return b.frame < f; });
    tail.boxes.assign(split, region->boxes.end());
    region->boxes.erase(split, region->boxes.end());
    m_set.regions.push_back(std::move(tail));
    ++m_revision;
    return m_set.regions.back().id;
}

bool RegionEdit::Remove(int id) {
    const auto gone =
        std::erase_if(m_set.regions, [id](const MaskRegion& r) { return r.id == id; });
    if (gone) ++m_revision;
    return gone > 0;
}

bool RegionEdit::SetKind(int id, MaskKind kind) {
    MaskRegion* region = Find(id);
    if (!region) return false;
    region->kind = kind;
    ++m_revision;
    return true;
}

void RegionEdit::SetSuggestions(std::vector<MaskRegion> regions) {
    m_suggestions = std::move(regions);
    ++m_revision;
}

int RegionEdit::Accept(size_t index) {
    if (index >= m_suggestions.size()) return 0;
    MaskRegion region = std::move(m_suggestions[index]);
    m_suggestions.erase(m_suggestions.begin() + static_cast<std::ptrdiff_t>(index));
    ++m_revision;
    return Add(std::move(region));
}

bool RegionEdit::Dismiss(size_t index) {
    if (index >= m_suggestions.size()) return false;
    m_suggestions.erase(m_suggestions.begin() + static_cast<std::ptrdiff_t>(index));
    ++m_revision;
    return true;
}

namespace {

std::vector<const MaskRegion*> Covering(const std::vector<MaskRegion>& regions, int camera,
                                        int64_t frame) {
    std::vector<const MaskRegion*> found;
    for (const MaskRegion& r : regions)
        if (r.camera == camera && r.BoxAt(frame)) found.push_back(&r);
    return found;
}

}  // namespace

std::vector<const MaskRegion*> RegionEdit::At(int camera, int64_t frame) const {
    return Covering(m_set.regions, camera, frame);
}

std::vector<const MaskRegion*> RegionEdit::SuggestionsAt(int camera, int64_t frame) const {
    return Covering(m_suggestions, camera, frame);
}

bool RegionEdit::Save(const std::string& path, std::string* error) const {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    if (WriteFileWhole(path, MaskSetJson(m_set) + "\n")) return true;
    if (error) *error = "cannot write " + path;
    return false;
}

bool RegionEdit::Load(const std::string& path, std::string* error) {
    MaskSet loaded;
    if (!LoadMaskSet(path, &loaded, error) || !MaskSetFits(loaded, m_set.cameras, error))
        return false;
    if (loaded.durationMs != m_set.durationMs && !loaded.regions.empty()) {
        if (error)
            *error = MaskRegionName(loaded.regions.front()) + " was drawn on a recording of " +
                     std::to_string(loaded.durationMs) + " ms; this one lasts " +
                     std::to_string(m_set.durationMs) + " ms";
        return false;
    }
    m_set.regions = std::move(loaded.regions);
    m_suggestions.clear();
    ++m_revision;
    return true;
}

std::string RegionEdit::PathFor(const std::string& dataHome, const std::string& recordingPath) {
    const std::string name = std::filesystem::path(recordingPath).filename().string();
    return (std::filesystem::path(dataHome) / "tarvex" / "masks" / (name + ".masks.json")).string();
}
