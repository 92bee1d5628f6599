#include "telemetry/ClipGpx.h"

#include <cstring>

namespace {

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

size_t Count(const std::string& text, const char* what) {
    size_t n = 0;
    for (size_t i = text.find(what); i != std::string::npos; i = text.find(what, i + 1)) ++n;
    return n;
}

}  // namespace

ClipGpx::ClipGpx(const std::vector<std::string>& sources) {
    for (const std::string& path : sources) m_segments.push_back({BaseName(path), {}});
}

ClipExporter::TextSink ClipGpx::Sink() {
    return [this](const uint8_t* payload, int32_t length, int64_t, size_t file) {
        if (file >= m_segments.size() || length < 7 || payload[0] != 'G' ||
            std::memcmp(payload + 2, "GPRMC", 5) != 0)
            return;
        m_segments[file].fixes.emplace_back(reinterpret_cast<const char*>(payload),
                                            static_cast<size_t>(length), 0);
    };
}

int ClipGpx::PointCount() const {
    return static_cast<int>(Count(Document(), "<trkpt "));
}

std::string ClipGpx::Document() const {
    return FormatGpx(m_segments.empty() ? "" : m_segments.front().source, m_segments);
}

std::string ClipGpx::PathBeside(const std::string& mp4Path) {
    const size_t slash = mp4Path.rfind('/');
    const size_t dot = mp4Path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return mp4Path + ".gpx";
    return mp4Path.substr(0, dot) + ".gpx";
}
