#pragma once
// What makes an exported clip one that players open, checked where FFmpeg cannot be trusted
// to refuse it:
// - The MP4 writer takes a track's parameter sets from its first packet and parses them
//   itself when it writes the index; damaged parameter sets there give a track no player
//   decodes, and some damage makes that parser loop without end. So a track may only start on
//   a key frame that decodes on its own with a fresh decoder, which checks them strictly.
// - The finished file is read back: every video track must have a picture size and its first
//   packet must decode. Reading is bounded in packets and in time.
//
// Threads: any; each call uses objects of its own.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "media/VideoCodec.h"

// True when the key frame in data decodes to a picture with nothing before it.
bool KeyFrameDecodesAlone(VideoCodec codec, const uint8_t* data, size_t size);

// True when the MP4 at path opens with videoTracks video tracks (a track whose parameter sets a
// reader cannot take is left out by it) and the first packet of each decodes; otherwise false
// with a sentence naming `name` (what the user calls the file) in *error.
bool ClipReadsBack(const std::string& path, const std::string& name, int videoTracks,
                   std::string* error);

// The packets of each video track of the MP4 at path, in track order, read to its end; false
// with a sentence naming `name` in *error when it does not read as an MP4.
bool ClipVideoPackets(const std::string& path, const std::string& name,
                      std::vector<int64_t>* packets, std::string* error);
