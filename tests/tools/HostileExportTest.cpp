// Exports and facts of damaged or unusual recordings, made by the generator and edited byte by
// byte: every run ends, an exit 0 always leaves a clip that ffmpeg opens and whose first picture
// of every track decodes, a failure leaves no file, and nothing is claimed that the recording
// does not hold (sound, a second camera).

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/GeneratedRecording.h"
#include "tests/ToolRun.h"
#include "tests/tools/AviWalk.h"

namespace fs = std::filesystem;

namespace {

constexpr char kName[] = "REC_20260314_182509_D.AVI";
// Far above what any of these exports takes; a run reaching it has hung.
constexpr int kRunLimitSec = 20;
constexpr int kTimedOut = 124;  // timeout(1)'s status

fs::path Root() {
    return fs::path(TARVEX_TEST_DATA_DIR) / "hostile-export";
}

std::vector<uint8_t> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A copy of bytes under the recording's own name in a folder of its own.
fs::path WriteCase(const std::string& folder, const std::vector<uint8_t>& bytes) {
    const fs::path dir = Root() / folder;
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / kName, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return dir / kName;
}

std::string Shell(const std::string& command, int* status = nullptr) {
    std::string text;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return text;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe)) text += buffer;
    const int raw = pclose(pipe);
    if (status) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return text;
}

ToolOutput Export(const fs::path& recording, const std::string& options, const fs::path& out) {
    fs::remove(out);
    return RunToolCommand(
        "export '" + recording.string() + "' " + options + " '" + out.string() + "' 2>&1",
        "timeout " + std::to_string(kRunLimitSec));
}

// What a recipient sees: the streams ffprobe lists ("video", "audio") and whether the first
// picture of every video stream decodes with nothing reported.
struct ClipView {
    std::vector<std::string> streams;
    bool firstPicturesDecode = false;
};
ClipView Look(const fs::path& clip) {
    ClipView view;
    int status = 0;
    const std::string types = Shell(
        "ffprobe -v error -show_entries stream=codec_type -of csv=p=0 '" + clip.string() + "'",
        &status);
    if (status != 0) return view;
    for (size_t at = 0, end; (end = types.find('\n', at)) != std::string::npos; at = end + 1)
        view.streams.push_back(types.substr(at, end - at));
    view.firstPicturesDecode = true;
    for (size_t s = 0; s < view.streams.size(); ++s) {
        if (view.streams[s] != "video") continue;
        // One thread: the first packet alone, not the damaged ones behind it.
        const std::string log = Shell("ffmpeg -v error -threads 1 -i '" + clip.string() +
                                          "' -map 0:" + std::to_string(s) +
                                          " -frames:v 1 -f framemd5 - | grep -c '^0,'",
                                      &status);
        view.firstPicturesDecode = view.firstPicturesDecode && log == "1\n";
    }
    return view;
}

// Either a clip a player opens, or a failure that says why and leaves nothing.
void ExpectWholeOrNothing(const ToolOutput& run, const fs::path& out, const std::string& what) {
    ASSERT_NE(run.status, kTimedOut) << what << " did not end";
    if (run.status == 0) {
        const ClipView view = Look(out);
        EXPECT_TRUE(view.firstPicturesDecode)
            << what << ": exit 0 for a clip ffmpeg cannot decode\n"
            << run.out;
    } else {
        EXPECT_EQ(run.status, 1) << what << "\n" << run.out;
        EXPECT_FALSE(fs::exists(out)) << what;
        EXPECT_NE(run.out.find("export: "), std::string::npos) << what << ": no reason given";
    }
}

// The payload of the first chunk with this identifier.
const avi_walk::Chunk* FirstChunk(const avi_walk::AviFile& avi, const std::string& id) {
    for (const avi_walk::Chunk& c : avi.chunks)
        if (c.id == id) return &c;
    return nullptr;
}

class HostileExportTest : public ::testing::Test {
protected:
    static std::string Hevc() {
        RecordingOptions o;
        o.durationSec = 2;
        o.codec = VideoCodec::Hevc;
        o.cameraLike = true;
        o.frontBitRateKbps = 2000;
        o.rearBitRateKbps = 800;
        return GeneratedRecording((Root() / "source-hevc.AVI").string(), o);
    }
    static std::string Small(const std::string& name, RecordingOptions o) {
        o.durationSec = 2;
        return GeneratedRecording((Root() / name).string(), o);
    }
};

// Damaged parameter sets in the key frame a clip starts on once made the MP4 writer loop for
// ever, or gave a track no player decodes, with exit 0: every byte of the front's and the
// rear's first sequence parameter set is changed in turn.
TEST_F(HostileExportTest, DamagedParameterSetsEndInAClipThatDecodesOrAReason) {
    const std::string source = Hevc();
    ASSERT_FALSE(source.empty());
    const avi_walk::AviFile avi = avi_walk::Walk(source);
    ASSERT_EQ(avi.problem, "");
    const fs::path out = Root() / "sps.mp4";
    int exported = 0, refused = 0;
    for (const char* camera : {"00dc", "01dc"}) {
        const avi_walk::Chunk* key = FirstChunk(avi, camera);
        ASSERT_NE(key, nullptr);
        const size_t start = key->header + 8;
        const std::vector<uint8_t> payload(key->payload, key->payload + key->size);
        const uint8_t spsStart[] = {0, 0, 1, 0x42};  // H.265 NAL type 33
        auto sps = std::search(payload.begin(), payload.end(), spsStart, spsStart + 4);
        ASSERT_NE(sps, payload.end()) << camera;
        const size_t first = start + static_cast<size_t>(sps - payload.begin()) + 4;
        for (size_t at = first; at < first + 32 && at < start + key->size; ++at) {
            for (const uint8_t flip : {0x20}) {
                std::vector<uint8_t> bytes = avi.bytes;
                bytes[at] ^= flip;
                const fs::path recording = WriteCase("sps", bytes);
                const ToolOutput run = Export(recording, "--from 0 --to 1", out);
                ExpectWholeOrNothing(run, out, std::string(camera) + " byte " + std::to_string(at));
                (run.status == 0 ? exported : refused)++;
            }
        }
    }
    EXPECT_GT(exported, 0);
}

// A damaged index (bytes changed anywhere in idx1) may leave frames out or point at other
// chunks; the clip still starts on the key frame asked for and opens.
TEST_F(HostileExportTest, DamagedIndexStillStartsWhereAskedAndOpens) {
    const std::string source = Hevc();
    ASSERT_FALSE(source.empty());
    const std::vector<uint8_t> original = ReadAll(source);
    const avi_walk::AviFile avi = avi_walk::Walk(source);
    ASSERT_TRUE(avi.hasIndex);
    const size_t index = avi.endOfMovi + 8;
    const size_t entries = avi.index.size() * 16;
    std::mt19937 random(7);
    const fs::path out = Root() / "idx1.mp4";
    for (int round = 0; round < 20; ++round) {
        std::vector<uint8_t> bytes = original;
        for (int n = 1 + static_cast<int>(random() % 8); n > 0; --n)
            bytes[index + random() % entries] = static_cast<uint8_t>(random());
        const ToolOutput run = Export(WriteCase("idx1", bytes), "--from 0 --to 2", out);
        ASSERT_EQ(run.status, 0) << "round " << round << "\n" << run.out;
        EXPECT_NE(run.out.find("\"start_ms\": 0,"), std::string::npos) << run.out;
        EXPECT_TRUE(Look(out).firstPicturesDecode) << "round " << round;
    }
}

// Sound and a second camera are reported and exported only where the file holds them.
TEST_F(HostileExportTest, NoSoundOrCameraIsInvented) {
    RecordingOptions plain;
    plain.frontWidth = 320, plain.frontHeight = 180, plain.rearWidth = 160, plain.rearHeight = 90;
    const fs::path source = WriteCase("plain", ReadAll(Small("plain.AVI", plain)));
    // The sound chunks renamed: the header still declares a sound stream, the file holds none.
    std::vector<uint8_t> bytes = ReadAll(source);
    for (size_t i = 0; i + 4 <= bytes.size(); ++i)
        if (bytes[i + 2] == 'w' && bytes[i + 3] == 'b' && isdigit(bytes[i]) &&
            isdigit(bytes[i + 1]))
            std::copy_n("JUNK", 4, bytes.begin() + static_cast<std::ptrdiff_t>(i));
    const fs::path silent = WriteCase("silent", bytes);

    RecordingOptions oneCamera = plain;
    oneCamera.rearCamera = false;
    oneCamera.audio = false;
    const fs::path single =
        WriteCase("one-camera", ReadAll(Small("one-camera.AVI", oneCamera)));  // named _D

    const struct {
        fs::path recording;
        const char* cameras;
        std::vector<std::string> streams;
    } rows[] = {
        {source, "\"cameras\": 2", {"video", "video", "audio"}},
        {silent, "\"cameras\": 2", {"video", "video"}},
        {single, "\"cameras\": 1", {"video"}},
    };
    for (const auto& row : rows) {
        const ToolOutput info = RunToolCommand("info '" + row.recording.string() + "'");
        EXPECT_NE(info.out.find(row.cameras), std::string::npos) << info.out;
        const bool sound = row.streams.back() == "audio";
        EXPECT_EQ(info.out.find("\"audio\": null") == std::string::npos, sound) << info.out;
        const fs::path out = Root() / "sound.mp4";
        const ToolOutput run = Export(row.recording, "--from 0 --to 2", out);
        ASSERT_EQ(run.status, 0) << run.out;
        EXPECT_EQ(run.out.find("\"audio_samples\": 0,") != std::string::npos, !sound) << run.out;
        EXPECT_EQ(Look(out).streams, row.streams) << row.recording;
    }
}

// Picture sizes the composed clip cannot take are refused in words before any work; odd sizes
// a header claims and small pictures still compose.
TEST_F(HostileExportTest, ComposedSizesAreBoundedAndSaidInWords) {
    const struct {
        int frontW, frontH, rearW, rearH;
        int headerHeight;     // the front's height as the header claims it; 0: as recorded
        const char* refusal;  // nullptr: composes
    } rows[] = {
        {16, 720, 160, 90, 0, "the front camera's picture is 16x720 pixels"},
        {4096, 16, 160, 90, 0, "the front camera's picture is 4096x16 pixels"},
        {320, 180, 16, 4000, 0, "the rear camera's picture is 16x4000 pixels, too narrow"},
        {320, 180, 160, 90, 17, "the front camera's picture is 320x17 pixels"},
        {320, 180, 160, 90, 181, nullptr},
        {64, 64, 16, 16, 0, nullptr},
    };
    const fs::path out = Root() / "composed.mp4";
    for (const auto& row : rows) {
        RecordingOptions o;
        o.frontWidth = row.frontW, o.frontHeight = row.frontH;
        o.rearWidth = row.rearW, o.rearHeight = row.rearH;
        const std::string sizes = std::to_string(row.frontW) + "x" + std::to_string(row.frontH) +
                                  "-" + std::to_string(row.rearW) + "x" + std::to_string(row.rearH);
        const std::string label = sizes + " header height " + std::to_string(row.headerHeight);
        std::vector<uint8_t> bytes = ReadAll(Small("size-" + sizes + ".AVI", o));
        if (row.headerHeight != 0) {
            // biHeight of the first stream format (the front's): "strf", its size, biSize,
            // biWidth, then biHeight.
            const char strf[] = "strf";
            auto at = std::search(bytes.begin(), bytes.end(), strf, strf + 4);
            ASSERT_NE(at, bytes.end());
            at[16] = static_cast<uint8_t>(row.headerHeight);
            at[17] = static_cast<uint8_t>(row.headerHeight >> 8);
        }
        const fs::path recording = WriteCase("size", bytes);
        for (const char* mode : {"pip", "side"}) {
            const ToolOutput run =
                Export(recording, std::string("--from 0 --to 1 --compose ") + mode, out);
            ASSERT_NE(run.status, kTimedOut) << label;
            if (row.refusal) {
                EXPECT_EQ(run.status, 1) << label << "\n" << run.out;
                EXPECT_NE(run.out.find(row.refusal), std::string::npos) << label << "\n" << run.out;
                EXPECT_FALSE(fs::exists(out)) << label;
            } else {
                ASSERT_EQ(run.status, 0) << label << " " << mode << "\n" << run.out;
                EXPECT_TRUE(Look(out).firstPicturesDecode) << label << " " << mode;
            }
        }
        // The lossless clip takes every size.
        EXPECT_EQ(Export(recording, "--from 0 --to 1", out).status, 0) << label;
    }
}

}  // namespace
