#pragma once
// Proof that a lossless clip's video is the recordings' own: every video packet of the MP4 is
// compared with the recording chunk it was copied from. The MP4 stores a picture's NAL units
// length-prefixed where the recording has start codes; the units themselves must be equal
// byte for byte. Each camera's packets must follow one another in the recordings without a
// gap (the recordings given in the order they were joined).
//
// No Qt. Reads the files only.

#include <cstdint>
#include <string>
#include <vector>

struct TrackProof {
    int camera = 0;           // 0 front, 1 rear
    int64_t packets = 0;      // packets of the clip's track
    int64_t compared = 0;     // packets found equal to their chunk, in order
    std::string firstSource;  // the recording holding the chunk of the first packet
    int64_t firstChunk = -1;  // that chunk's number among the camera's chunks of its file
    std::string mismatch;     // empty when every packet was equal; else which one differs
    bool Holds() const { return packets > 0 && compared == packets && mismatch.empty(); }
};

// False, with the reason in *error, when the clip or a recording cannot be read; a clip that
// reads but differs returns true with the difference in its track's mismatch.
bool ProveClip(const std::string& clipPath, const std::vector<std::string>& recordings,
               std::vector<TrackProof>* tracks, std::string* error);
