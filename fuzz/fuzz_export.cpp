// libFuzzer target for everything that writes a recording out again: the input is a recording,
// exported as the lossless clip and as the composed one, then packaged. Any crash, hang or
// runaway memory of the exporter, the composer, the MP4 writer or the package on a damaged
// file shows up here; so does an export that reports success for a clip that does not exist.
//
// An empty corpus folder given on the command line gets two small generated recordings first,
// one H.264 and one H.265, so the mutations start from files with real video in them.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "evidence/EvidencePackage.h"
#include "media/ClipExporter.h"
#include "support/Trace.h"
#include "tools/cardgen/CardGenerator.h"

namespace fs = std::filesystem;

namespace {

constexpr char kRecordingName[] = "REC_20260314_182509_D.AVI";
constexpr int64_t kClipToMs = 1500;

void SeedEmptyCorpus(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.empty() || arg[0] == '-') continue;
        std::error_code error;
        if (!fs::is_directory(arg, error) || !fs::is_empty(arg, error)) continue;
        for (const VideoCodec codec : {VideoCodec::H264, VideoCodec::Hevc}) {
            RecordingOptions o;
            o.durationSec = 2;
            o.frontWidth = 96;
            o.frontHeight = 64;
            o.rearWidth = 64;
            o.rearHeight = 48;
            o.keyFrameInterval = 15;
            o.encoderThreads = 1;
            o.codec = codec;
            std::string message;
            WriteRecording(arg + (codec == VideoCodec::Hevc ? "/hevc_D.AVI" : "/h264_D.AVI"), o,
                           &message);
        }
        return;
    }
}

// The input under a recording's name, in a folder of this process's own.
struct Workspace {
    fs::path root = fs::temp_directory_path() / ("fuzz_export-" + std::to_string(getpid()));
    fs::path recording = root / kRecordingName;
    Workspace() { fs::create_directories(root); }
    ~Workspace() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    bool Fill(const uint8_t* data, size_t size) {
        std::ofstream out(recording, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        return static_cast<bool>(out);
    }
};

void ExportOnce(const Workspace& w, ClipCompose compose) {
    ClipRequest request;
    request.paths = {w.recording.string()};
    request.toMs = kClipToMs;
    request.outPath = (w.root / "clip.mp4").string();
    request.compose = compose;
    request.caption = [](int64_t ms) { return "t " + std::to_string(ms); };
    ClipExporter exporter;
    ClipSummary summary;
    std::string error;
    const ClipResult result = exporter.Export(request, &summary, &error);
    std::error_code ignored;
    // A clip is reported done only when it is there.
    if (result == ClipResult::Done && !fs::is_regular_file(request.outPath, ignored)) __builtin_trap();
    if (result != ClipResult::Done && fs::exists(request.outPath, ignored)) __builtin_trap();
    fs::remove(request.outPath, ignored);
}

void PackageOnce(const Workspace& w) {
    PackageRequest request;
    request.paths = {w.recording.string()};
    request.toMs = kClipToMs;
    request.outDir = (w.root / "package").string();
    PackageResult result;
    std::string error;
    const bool written = WritePackage(request, nullptr, &result, &error);
    std::error_code ignored;
    if (written != fs::is_regular_file(w.root / "package" / "SHA256SUMS", ignored)) __builtin_trap();
    fs::remove_all(w.root / "package", ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    SetTraceSink([](const std::string&) {});
    av_log_set_level(AV_LOG_QUIET);
    SeedEmptyCorpus(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Workspace workspace;
    if (!workspace.Fill(data, size)) return 0;
    ExportOnce(workspace, ClipCompose::None);
    ExportOnce(workspace, ClipCompose::PictureInPicture);
    PackageOnce(workspace);
    return 0;
}
