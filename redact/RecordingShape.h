#pragma once
// The cameras of a recording as a masks file describes them: picture size and frame count of
// each, read by the engine's own container reader, and the recording's length.

#include <string>
#include <vector>

#include "redact/MaskFile.h"

struct RecordingShape {
    std::vector<MaskCamera> cameras;
    int64_t durationMs = 0;
    int frameRate = 0;  // front camera
};

bool ReadRecordingShape(const std::string& path, RecordingShape* shape, std::string* error);

// Reads a masks file and checks it against the recording it is to be laid over: false, with a
// sentence naming the region at fault, when it cannot be read, is of a newer version, or was
// made on another recording (other cameras, picture sizes or length).
bool LoadMaskSetFor(const std::string& recording, const std::string& masksPath, MaskSet* set,
                    std::string* error);
