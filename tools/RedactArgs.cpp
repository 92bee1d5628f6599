#include "tools/RedactArgs.h"

#include "redact/RecordingShape.h"

bool LoadRedaction(const std::string& recording, const std::string& masksPath, MaskSet* set,
                   std::string* error) {
    RecordingShape shape;
    if (!LoadMaskSet(masksPath, set, error)) return false;
    if (!ReadRecordingShape(recording, &shape, error)) return false;
    if (!MaskSetFits(*set, shape.cameras, error)) return false;
    if (set->durationMs != shape.durationMs && !set->regions.empty()) {
        *error = MaskRegionName(set->regions.front()) + " was drawn on a recording of " +
                 std::to_string(set->durationMs) + " ms; this one lasts " +
                 std::to_string(shape.durationMs) + " ms";
        return false;
    }
    return true;
}
