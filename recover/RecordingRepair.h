#pragma once
// A copy of a damaged recording that any player opens: the movie data's whole chunks byte for
// byte, a cut last chunk (and whatever followed it) left out, the header's sizes and frame
// counts set to what the copy holds, and a new idx1 built from the chunks (video chunks that
// start with a key picture flagged as key frames). The header keeps its length, so every
// chunk stays where it was. Which header fields changed is reported field by field.
//
// The original is only read; the copy is written under a temporary name and appears whole.

#include <cstdint>
#include <string>
#include <vector>

struct RepairChange {
    uint64_t offset = 0;  // of the field in the file
    std::string field;    // "riff_size", "movi_size", "avih.total_frames", "strh[1].length", ...
    uint32_t before = 0;
    uint32_t after = 0;
};

struct RepairReport {
    std::vector<RepairChange> changes;
    uint64_t keptBytes = 0;     // of the original, from its start (the header and whole chunks)
    uint64_t droppedBytes = 0;  // of the original, after them (a cut chunk, an old index)
    uint64_t indexEntries = 0;
    uint64_t bytes = 0;  // of the copy
    uint32_t frontFrames = 0;
    uint32_t rearFrames = 0;
    std::string sha256;  // of the copy
};

// False, with the reason in *error, when the input is no recording, out is the input itself
// (any path to the same file) or an existing recording or folder, or the copy cannot be
// written.
bool RepairRecording(const std::string& input, const std::string& out, RepairReport* report,
                     std::string* error);
