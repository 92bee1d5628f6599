#include "tools/RedactArgs.h"

#include "redact/RecordingShape.h"

bool LoadRedaction(const std::string& recording, const std::string& masksPath, MaskSet* set,
                   std::string* error) {
    return LoadMaskSetFor(recording, masksPath, set, error);
}
