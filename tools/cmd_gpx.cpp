// gpx: the GPS track of one or more recordings as a GPX 1.1 document on standard output: one
// track, one segment per recording, a point for every valid fix with its UTC time.

#include <cstdio>
#include <string>
#include <vector>

#include "media/AviChunk.h"
#include "media/CAVIExtractor.h"
#include "support/JsonWriter.h"
#include "telemetry/Gpx.h"
#include "telemetry/TelemetryLogic.h"
#include "tools/ToolCommand.h"

namespace {

constexpr const char* kName = "gpx";
// A telemetry chunk is one sentence or one sample; anything far larger is not telemetry.
constexpr int32_t kTextChunkCapacityBytes = 64 * 1024;

// Reads the fixes straight from the movie data, in file order; video and sound are stepped
// over without being read.
bool ReadFixes(const std::string& path, std::vector<CGPSData>& fixes) {
    CAVIExtractor reader;
    if (reader.OpenFile(path.c_str(), nullptr) == 0) return false;
    CTextData textData;
    std::vector<uint8_t> buffer(kTextChunkCapacityBytes + 1);
    char id[4];
    uint32_t size = 0;
    for (;;) {
        const int64_t position = reader.SkipChunk(id, &size);
        if (position < 0) break;
        if (ClassifyChunk(id) != AviChunkKind::Text || size > kTextChunkCapacityBytes) continue;
        reader.Seek(position, 0);
        int32_t length = kTextChunkCapacityBytes;
        if (reader.ParseMedia(id, buffer.data(), &length) < 0) break;
        buffer[static_cast<size_t>(length)] = 0;
        // Only the fixes matter here; the position is what the G-sensor rule looks at.
        OnTextChunk(textData, buffer.data(), length, 0);
    }
    reader.CloseFile();
    fixes = textData.SnapshotGps();
    return true;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int RunGpx(const std::vector<std::string>& args) {
    std::vector<std::string> paths;
    for (const std::string& a : args) {
        if (!a.empty() && a[0] == '-') return ToolUsageError(kName, "unknown option " + a);
        paths.push_back(a);
    }
    if (paths.empty()) return ToolUsageError(kName, "no file given");

    std::vector<GpxSegment> segments;
    for (const std::string& path : paths) {
        GpxSegment segment;
        segment.source = BaseName(path);
        if (!ReadFixes(path, segment.fixes))
            return ToolFailure("gpx: not a readable recording: " + path);
        segments.push_back(std::move(segment));
    }
    const std::string gpx = FormatGpx(BaseName(paths.front()), segments);
    std::fwrite(gpx.data(), 1, gpx.size(), stdout);
    return std::fflush(stdout) == 0 ? kToolOk : kToolRejected;
}

}  // namespace

TARVEX_TOOL_COMMAND(gpx, "gpx", "FILE [FILE...]", RunGpx);
