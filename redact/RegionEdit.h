#pragma once
// The regions of one recording as the viewer edits them: boxes moved or resized on a frame
// (that box becomes drawn by hand), a region cut in two at a frame, regions deleted, and the
// detector's suggestions held apart until each is accepted or dismissed. Saved and read back
// as the masks file (MaskFile.h), so that the tool and the viewer share one file.
//
// Threads: one caller (the window's GUI thread). No Qt here.

#include <cstdint>
#include <string>
#include <vector>

#include "redact/MaskFile.h"

class RegionEdit {
public:
    // The recording the regions are laid over: its cameras, its length, its file name.
    void Reset(const std::string& file, int64_t durationMs, std::vector<MaskCamera> cameras);
    const MaskSet& Set() const { return m_set; }
    const std::vector<MaskRegion>& Regions() const { return m_set.regions; }
    const std::vector<MaskRegion>& Suggestions() const { return m_suggestions; }
    const MaskRegion* Region(int id) const;
    // Bumped by every change, so that a view can tell its picture of the regions is old.
    uint64_t Revision() const { return m_revision; }

    // Adds a region (its boxes kept inside its camera's picture); returns its new id, 0 when
    // nothing of it is left.
    int Add(MaskRegion region);
    // Sets the box of frame on the region (moved or resized by hand): kept inside the picture
    // and marked hand-drawn. False when the region does not cover that frame or nothing of the
    // box lies inside the picture.
    bool SetBox(int id, int64_t frame, int x, int y, int width, int height);
    // Splits the region before frame: it keeps the boxes before, a new region (returned id)
    // takes frame and after. 0 when frame is not strictly inside the region's span.
    int Cut(int id, int64_t frame);
    bool Remove(int id);
    bool SetKind(int id, MaskKind kind);

    // The detector's regions, shown apart as suggestions; replaces the earlier ones.
    void SetSuggestions(std::vector<MaskRegion> regions);
    // Moves suggestion index into the regions (id returned), or drops it.
    int Accept(size_t index);
    bool Dismiss(size_t index);

    // The regions (and suggestions) of a camera with a box on frame.
    std::vector<const MaskRegion*> At(int camera, int64_t frame) const;
    std::vector<const MaskRegion*> SuggestionsAt(int camera, int64_t frame) const;

    // Writes the regions as a masks file, whole or not at all (suggestions are not saved).
    bool Save(const std::string& path, std::string* error) const;
    // Reads a masks file made on this recording (Reset first); false, with the regions as
    // they were, when it cannot be read or belongs to another recording.
    bool Load(const std::string& path, std::string* error);

    // Where the viewer keeps a recording's regions: dataHome/tarvex/masks/NAME.masks.json.
    static std::string PathFor(const std::string& dataHome, const std::string& recordingPath);

private:
    const MaskCamera* CameraOf(int camera) const { return m_set.Camera(camera); }
    // The box inside the camera's picture; false when nothing of it is left.
    bool Clamp(int camera, MaskBox* box) const;
    MaskRegion* Find(int id);
    int NextId() const;

    MaskSet m_set;
    std::vector<MaskRegion> m_suggestions;
    uint64_t m_revision = 0;
};
