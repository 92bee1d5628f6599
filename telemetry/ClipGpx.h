#pragma once
// The GPS track of an exported clip, as a GPX file beside the MP4: the fixes the exporter
// meets inside the clip's span, one track segment per recording. The exporter writes the
// document together with the MP4 (ClipExporter::SetGpxDocument).

#include <cstdint>
#include <string>
#include <vector>

#include "media/ClipExporter.h"
#include "telemetry/Gpx.h"

class ClipGpx {
public:
    // sources: the recordings of the export, in the order given to the exporter.
    explicit ClipGpx(const std::vector<std::string>& sources);

    // The exporter's text callback: keeps every GPS fix delivered.
    ClipExporter::TextSink Sink();

    // Points the document holds (valid fixes inside the map's bounds).
    int PointCount() const;
    std::string Document() const;

    // "clip.gpx" beside "clip.mp4" (the extension replaced, or appended when there is none).
    static std::string PathBeside(const std::string& mp4Path);

private:
    std::vector<GpxSegment> m_segments;
};
