#include "redact/RecordingShape.h"

#include "media/CAVIExtractor.h"

bool ReadRecordingShape(const std::string& path, RecordingShape* shape, std::string* error) {
    CAVIExtractor reader;
    MediaInfo info;
    if (reader.OpenFile(path.c_str(), &info) == 0 || info.frontFrameCount <= 0) {
        if (error) *error = "not a readable recording: " + path;
        return false;
    }
    *shape = RecordingShape();
    shape->frameRate = reader.GetNativeFrameRate(0);
    const int32_t counts[2] = {info.frontFrameCount, info.rearFrameCount};
    for (int camera = 0; camera < 2; ++camera) {
        VideoSizeRec size;
        reader.GetVideoSize(&size, camera);
        if (counts[camera] <= 0 || size.width <= 0 || size.height <= 0) continue;
        shape->cameras.push_back({camera, size.width, size.height, counts[camera]});
    }
    if (shape->frameRate > 0)
        shape->durationMs = int64_t{info.frontFrameCount} * 1000 / shape->frameRate;
    return true;
}

bool LoadMaskSetFor(const std::string& recording, const std::string& masksPath, MaskSet* set,
                    std::string* error) {
    RecordingShape shape;
    if (!LoadMaskSet(masksPath, set, error) || !ReadRecordingShape(recording, &shape, error) ||
        !MaskSetFits(*set, shape.cameras, error))
        return false;
    if (set->durationMs != shape.durationMs && !set->regions.empty()) {
        if (error)
            *error = MaskRegionName(set->regions.front()) + " was drawn on a recording of " +
                     std::to_string(set->durationMs) + " ms; this one lasts " +
                     std::to_string(shape.durationMs) + " ms";
        return false;
    }
    return true;
}
