// Container sub-commands: what the recording reader sees in a file.
//
//   info FILE                 header, index and stream facts as one JSON object
//   chunks FILE [--limit N]   the movie data's chunks, one JSON object a line
//   seek FILE SECOND          where reading continues after a seek to that second

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "library/TripCatalogue.h"
#include "media/CAVIExtractor.h"
#include "media/CQRVMediaPlayer.h"
#include "support/JsonWriter.h"
#include "support/RegularFile.h"
#include "telemetry/CameraClock.h"
#include "telemetry/TelemetryWalk.h"
#include "tools/ToolCommand.h"

namespace {

// Identifiers come from the file; keep the JSON valid whatever bytes they hold.
std::string PrintableId(const char id[4]) {
    std::string text(id, 4);
    for (char& c : text) {
        if (c < 0x20 || c > 0x7E) c = '?';
    }
    return text;
}

// Writes the reader's fields into an open JSON object. The player-level fields (duration,
// camera count) are added beside these by the caller that knows them.
void WriteContainerFields(JsonWriter& j, CAVIExtractor& reader, const MediaInfo& info,
                          int32_t movieSize) {
    j.Key("accepted").Bool(movieSize != 0);
    // For a list whose size was never written, the bytes it runs to the end of the file.
    j.Key("movie_size").Int(movieSize != 0 ? reader.GetMovieSize() : 0);
    j.Key("video").BeginArray();
    for (int stream = 0; stream < 2; ++stream) {
        const VideoSizeRec size = reader.GetVideoSize(nullptr, stream);
        j.BeginObject()
            .Key("width")
            .Int(size.width)
            .Key("height")
            .Int(size.height)
            .Key("frame_rate")
            .Int(reader.GetFrameRate(stream))
            .EndObject();
    }
    j.EndArray();
    int32_t bits = 0, rate = 0;
    reader.GetAudioFormat(&bits, &rate);
    // The reader keeps the default format for a file without a sound stream: say none.
    j.Key("audio");
    if (reader.HasAudioStream() && info.audioChunkCount > 0)
        j.BeginObject().Key("bits").Int(bits).Key("rate").Int(rate).EndObject();
    else
        j.Null();
    j.Key("front_frames").Int(info.frontFrameCount);
    j.Key("rear_frames").Int(info.rearFrameCount);
    j.Key("index").String(AviIndexSourceName(reader.GetIndexSource()));
}

// The recording's time: its start on the camera clock, the clock's offset from UTC measured
// from its fixes, and the trip it belongs to among the recordings of its folder.
void WriteTimeFields(JsonWriter& j, const std::string& path) {
    const std::optional<int64_t> start = RecordingStartSec(path);
    j.Key("start_time");
    if (start)
        j.String(FormatClockIso(*start));
    else
        j.Null();
    RecordingTelemetry telemetry;
    std::optional<int64_t> offset;
    if (start && WalkTelemetry(path, telemetry)) offset = ClockOffsetSec(*start, telemetry.fixes);
    j.Key("clock_offset_s");
    if (offset)
        j.Int(*offset);
    else
        j.Null();
    Trip trip;
    size_t index = 0;
    j.Key("trip");
    if (!TripOfRecording(path, trip, index)) {
        j.Null();
        return;
    }
    j.BeginObject()
        .Key("first")
        .String(trip.recordings.front().fileName)
        .Key("index")
        .Int(static_cast<int64_t>(index))
        .Key("recordings")
        .Int(static_cast<int64_t>(trip.recordings.size()))
        .EndObject();
}

std::string ContainerInfoJson(CAVIExtractor& reader, const MediaInfo& info, int32_t movieSize,
                              int32_t durationMs, int cameras, const std::string& path) {
    JsonWriter j;
    j.BeginObject();
    WriteContainerFields(j, reader, info, movieSize);
    j.Key("duration_ms").Int(durationMs).Key("cameras").Int(cameras);
    j.Key("header_frames").Int(reader.GetHeaderFrameCount());
    // Where a recording cut by a power loss ends, when before its header says.
    j.Key("ends_early_ms");
    if (const std::optional<EarlyEnd> end = EarlyEndOf(reader, info))
        j.Int(end->endsAtMs);
    else
        j.Null();
    WriteTimeFields(j, path);
    j.EndObject();
    return j.Text();
}

int RunInfo(const std::vector<std::string>& args) {
    if (args.size() != 1) return ToolUsageError("info", "expected one FILE");
    const std::string& path = args[0];
    if (std::string why; !IsReadableRegularFile(path, &why)) return ToolFailure(why);
    CAVIExtractor reader;
    MediaInfo info;
    const int32_t movieSize = reader.OpenFile(path.c_str(), &info);
    // Duration and camera count as the player works them out, through a reader of its own.
    int32_t durationMs = 0;
    int cameras = 0;
    CAVIExtractor probe;
    CQRVMediaPlayer::ProbeFile(path.c_str(), probe, &durationMs, &cameras);
    // The name's flag promises a rear camera; a file without a rear stream has one camera.
    if (reader.GetFrameRate(1) == 0 && info.rearFrameCount == 0) cameras = std::min(cameras, 1);
    puts(ContainerInfoJson(reader, info, movieSize, durationMs, cameras, path).c_str());
    if (movieSize == 0) return ToolFailure(path + ": not a recording the reader accepts");
    return kToolOk;
}

int RunChunks(const std::vector<std::string>& args) {
    std::string path;
    long long limit = -1;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--limit") {
            if (i + 1 >= args.size() || !ToolParseInt(args[i + 1], limit) || limit < 0) {
                return ToolUsageError("chunks", "--limit needs a count of 0 or more");
            }
            ++i;
        } else if (path.empty()) {
            path = args[i];
        } else {
            return ToolUsageError("chunks", "unexpected argument '" + args[i] + "'");
        }
    }
    if (path.empty()) return ToolUsageError("chunks", "expected FILE");
    if (std::string why; !IsReadableRegularFile(path, &why)) return ToolFailure(why);
    CAVIExtractor reader;
    if (reader.OpenFile(path.c_str(), nullptr) == 0) {
        return ToolFailure(path + ": not a recording the reader accepts");
    }
    char id[4];
    uint32_t size = 0;
    for (long long n = 0; limit < 0 || n < limit; ++n) {
        const int64_t pos = reader.SkipChunk(id, &size);
        if (pos < 0) break;
        JsonWriter j;
        j.BeginObject()
            .Key("pos")
            .Int(pos)
            .Key("id")
            .String(PrintableId(id))
            .Key("size")
            .UInt(size)
            .EndObject();
        puts(j.Text().c_str());
    }
    return kToolOk;
}

int RunSeek(const std::vector<std::string>& args) {
    long long second = 0;
    if (args.size() != 2) return ToolUsageError("seek", "expected FILE and SECOND");
    if (!ToolParseInt(args[1], second) || second < INT32_MIN || second > INT32_MAX) {
        return ToolUsageError("seek", "SECOND must be a whole number");
    }
    const std::string& path = args[0];
    if (std::string why; !IsReadableRegularFile(path, &why)) return ToolFailure(why);
    CAVIExtractor reader;
    MediaInfo info;
    if (reader.OpenFile(path.c_str(), &info) == 0) {
        return ToolFailure(path + ": not a recording the reader accepts");
    }
    const int32_t result = reader.SeekToSecond(static_cast<int32_t>(second));
    const int64_t pos = reader.Tell();
    char id[4];
    const bool haveId = reader.Read(id, 4) == 4;
    JsonWriter j;
    j.BeginObject().Key("second").Int(second).Key("result").Int(result).Key("pos").Int(pos);
    j.Key("id");
    if (haveId) {
        j.String(PrintableId(id));
    } else {
        j.Null();
    }
    j.EndObject();
    puts(j.Text().c_str());
    return kToolOk;
}

}  // namespace

TARVEX_TOOL_COMMAND(info, "info", "FILE", RunInfo);
TARVEX_TOOL_COMMAND(chunks, "chunks", "FILE [--limit N]", RunChunks);
TARVEX_TOOL_COMMAND(seek, "seek", "FILE SECOND", RunSeek);
