// export --compose --redact end to end on a recording with a generated number plate, its box
// known in every frame: the plate is unreadable in the clip (far from the plain clip inside
// its box), everything else is the plain clip up to the encoder's loss; masks of another
// recording are refused and nothing is written. A package keeps the originals beside the
// blurred files, or leaves them out as a share copy; both verify.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "evidence/EvidencePackage.h"
#include "redact/MaskFile.h"
#include "redact/RecordingShape.h"
#include "support/CPixImg.h"
#include "support/JsonReader.h"
#include "tests/ToolRun.h"
#include "tools/cardgen/CardGenerator.h"
#include "tools/cardgen/MovingPlate.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 640, kHeight = 360;
constexpr int kFromSec = 2, kToSec = 4;
constexpr int kCheckedClipFrame = 30;  // recording frame 90

fs::path Folder() {
    return fs::path(TARVEX_TEST_DATA_DIR) / "redact_export";
}
std::string Recording() {
    return (Folder() / "DRIVING_20260314_182509_D.AVI").string();
}

// The plate's true boxes as hand-drawn regions, over the exported span.
MaskSet PlateMasks() {
    RecordingShape shape;
    std::string error;
    EXPECT_TRUE(ReadRecordingShape(Recording(), &shape, &error)) << error;
    MaskSet set;
    set.durationMs = shape.durationMs;
    set.cameras = shape.cameras;
    const MovingPlate plate(kWidth, kHeight, 30);
    MaskRegion region{1, 0, MaskKind::Plate, {}};
    for (int f = kFromSec * 30; f < kToSec * 30; ++f) {
        const PlateBox b = plate.BoxAt(f);
        region.boxes.push_back({f, f * 1000 / 30, b.x, b.y, b.width, b.height, MaskSource::Hand});
    }
    set.regions.push_back(region);
    return set;
}

// The luma of one picture of an MP4.
std::string Luma(const std::string& mp4, int frame) {
    const std::string raw = mp4 + ".gray";
    const std::string command = "ffmpeg -v error -nostdin -y -i '" + mp4 + "' -vf 'select=eq(n\\," +
                                std::to_string(frame) +
                                ")' -frames:v 1 -pix_fmt gray -f rawvideo '" + raw + "'";
    if (std::system(command.c_str()) != 0) return {};
    std::ifstream in(raw, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

double Psnr(const std::string& a, const std::string& b, bool inside, const PlateBox& box,
            int margin) {
    double sum = 0;
    int64_t count = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const bool in = x >= box.x - margin && x < box.x + box.width + margin &&
                            y >= box.y - margin && y < box.y + box.height + margin;
            if (in != inside) continue;
            const double d = uint8_t(a[y * kWidth + x]) - double(uint8_t(b[y * kWidth + x]));
            sum += d * d;
            ++count;
        }
    return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * count / sum);
}

class RedactExportTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        fs::create_directories(Folder());
        if (fs::exists(Recording())) return;
        RecordingOptions o;
        o.durationSec = 6;
        o.frontWidth = kWidth, o.frontHeight = kHeight, o.rearWidth = 320, o.rearHeight = 180;
        o.plate = true;
        std::string error;
        ASSERT_TRUE(WriteRecording(Recording(), o, &error)) << error;
    }
    static std::string Export(const std::string& out, const std::string& extra) {
        return "export " + Recording() + " --from " + std::to_string(kFromSec) + " --to " +
               std::to_string(kToSec) + " --compose pip --no-sound " + extra + " " +
               (Folder() / out).string();
    }
};

TEST_F(RedactExportTest, BlursThePlateAndNothingElse) {
    const std::string masks = (Folder() / "masks.json").string();
    std::ofstream(masks) << MaskSetJson(PlateMasks());
    ASSERT_EQ(RunToolCommand(Export("plain.mp4", "")).status, 0);
    const ToolOutput run = RunToolCommand(Export("blurred.mp4", "--redact " + masks));
    ASSERT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\"redacted_boxes\": 60"), std::string::npos) << run.out;
    const std::string plain = Luma((Folder() / "plain.mp4").string(), kCheckedClipFrame);
    const std::string blurred = Luma((Folder() / "blurred.mp4").string(), kCheckedClipFrame);
    ASSERT_EQ(plain.size(), size_t(kWidth) * kHeight);
    ASSERT_EQ(blurred.size(), plain.size());
    const PlateBox box = MovingPlate(kWidth, kHeight, 30).BoxAt(kFromSec * 30 + kCheckedClipFrame);
    // Outside: beyond the grown box and the encoder's block that straddles its edge.
    EXPECT_LE(Psnr(plain, blurred, true, box, 0), 15.0);
    EXPECT_GE(Psnr(plain, blurred, false, box, box.width / 10 + 16), 35.0);
}

TEST_F(RedactExportTest, RefusesMasksOfAnotherRecording) {
    MaskSet other = PlateMasks();
    other.cameras[0].frames += 30;
    other.durationMs += 1000;
    const std::string masks = (Folder() / "other.json").string();
    std::ofstream(masks) << MaskSetJson(other);
    fs::remove(Folder() / "refused.mp4");
    const ToolOutput run = RunToolCommand(Export("refused.mp4", "--redact " + masks) + " 2>&1");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("region 1 (plate, front camera) was drawn on another recording"),
              std::string::npos)
        << run.out;
    EXPECT_FALSE(fs::exists(Folder() / "refused.mp4"));
    // A package is refused the same way, before its folder is made.
    const fs::path package = Folder() / "refused_masks_package";
    fs::remove_all(package);
    const ToolOutput packaged = RunToolCommand("package " + Recording() + " --from 2 --to 4 " +
                                               package.string() + " --redact " + masks + " 2>&1");
    EXPECT_EQ(packaged.status, 1);
    EXPECT_NE(packaged.out.find("region 1 (plate, front camera)"), std::string::npos)
        << packaged.out;
    EXPECT_FALSE(fs::exists(package));
}

// Stills are blurred in the same place: the front still's plate differs from the plain still
// while the rest of the picture is the same JPEG, and the rear still is untouched.
TEST_F(RedactExportTest, BlursThePlateInStills) {
    const std::string masks = (Folder() / "masks.json").string();
    std::ofstream(masks) << MaskSetJson(PlateMasks());
    for (const char* sub : {"plain", "blurred"}) {
        fs::remove_all(Folder() / sub);
        fs::create_directories(Folder() / sub);
    }
    const std::string still = "still " + Recording() + " --at 3 ";
    ASSERT_EQ(RunToolCommand(still + (Folder() / "plain").string()).status, 0);
    ASSERT_EQ(RunToolCommand(still + (Folder() / "blurred").string() + " --redact " + masks).status,
              0);
    const PlateBox box = MovingPlate(kWidth, kHeight, 30).BoxAt(90);
    for (const char* camera : {"front", "rear"}) {
        const std::string name = std::string("20260314_182512.000_") + camera + ".jpg";
        CPixImage plain, blurred;
        ASSERT_TRUE(plain.LoadImage((Folder() / "plain" / name).string()));
        ASSERT_TRUE(blurred.LoadImage((Folder() / "blurred" / name).string()));
        double inside = 0, outside = 0;
        int64_t in = 0, out = 0;
        for (int y = 0; y < plain.Height(); ++y)
            for (int x = 0; x < plain.Width() * 3; ++x) {
                const int d = std::abs(plain.Row(y)[x] - blurred.Row(y)[x]);
                const int px = x / 3;
                if (px >= box.x && px < box.x + box.width && y >= box.y && y < box.y + box.height) {
                    inside += d;
                    ++in;
                } else if (px < box.x - 24 || px >= box.x + box.width + 24 || y < box.y - 16 ||
                           y >= box.y + box.height + 16) {
                    outside += d;
                    ++out;
                }
            }
        if (std::string(camera) == "front") {
            EXPECT_GT(inside / in, 20.0);
        }
        EXPECT_LT(outside / out, 1.0) << camera;
    }
}

// A package with regions keeps the unedited record and says what it blurred, and still
// verifies.
TEST_F(RedactExportTest, PackageDeclaresItsRegions) {
    const std::string masks = (Folder() / "masks.json").string();
    std::ofstream(masks) << MaskSetJson(PlateMasks());
    const fs::path package = Folder() / "package";
    fs::remove_all(package);
    const ToolOutput run = RunToolCommand("package " + Recording() + " --from 2 --to 4 --at 3 " +
                                          package.string() + " --redact " + masks);
    ASSERT_EQ(run.status, 0) << run.out;
    std::ifstream in(package / "manifest.json");
    JsonValue manifest;
    std::string error;
    ASSERT_TRUE(ParseJson(std::string(std::istreambuf_iterator<char>(in), {}), &manifest, &error));
    const JsonValue* r = manifest.Find("redactions");
    ASSERT_NE(r, nullptr);
    const JsonValue& region = r->Find("regions")->items.at(0);
    EXPECT_EQ(region.Find("kind")->text, "plate");
    EXPECT_EQ(region.Find("first_frame")->integer, 60);
    EXPECT_EQ(region.Find("hand")->integer, 60);
    EXPECT_EQ(r->Find("boxes_blurred")->integer, 61);  // every clip picture and the still
    std::vector<std::string> redacted, unedited;
    for (const JsonValue& f : r->Find("redacted_files")->items) redacted.push_back(f.text);
    for (const JsonValue& f : r->Find("unedited_files")->items) unedited.push_back(f.text);
    EXPECT_EQ(redacted.front(), "clip_composed.mp4");
    EXPECT_EQ(unedited.front(), "clip.mp4");
    EXPECT_EQ(RunToolCommand("verify " + package.string() + " >/dev/null 2>&1").status, 0);
}

JsonValue ReadManifest(const fs::path& package) {
    std::ifstream in(package / "manifest.json");
    JsonValue manifest;
    std::string error;
    EXPECT_TRUE(ParseJson(std::string(std::istreambuf_iterator<char>(in), {}), &manifest, &error))
        << error;
    return manifest;
}

bool HasSound(const fs::path& mp4) {
    const std::string command =
        "ffprobe -v error -select_streams a -show_entries "
        "stream=codec_type -of csv=p=0 '" +
        mp4.string() + "'";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        pclose(pipe);
    }
    return out.find("audio") != std::string::npos;
}

// The unedited record kept beside the blurred copy (asked for, or by default), or left out of
// a share copy with position and sound unless those are asked back; each verifies.
TEST_F(RedactExportTest, APackageKeepsTheOriginalsOrIsAShareCopyAndVerifies) {
    const std::string masks = (Folder() / "masks.json").string();
    std::ofstream(masks) << MaskSetJson(PlateMasks());
    const struct {
        const char* options;
        bool original, position, sound;
    } cases[] = {
        {"--keep-original", true, true, true},
        {"--redact-only", false, false, false},
        {"--redact-only --with-position --with-sound", false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const fs::path package = Folder() / "copies";
        fs::remove_all(package);
        const ToolOutput run =
            RunToolCommand("package " + Recording() + " --from 2 --to 4 --at 3 " +
                           package.string() + " --redact " + masks + " " + c.options + " 2>&1");
        ASSERT_EQ(run.status, 0) << run.out;
        EXPECT_EQ(fs::exists(package / "clip.mp4"), c.original);
        EXPECT_EQ(fs::exists(package / "originals"), c.original);
        EXPECT_EQ(fs::exists(package / "track.gpx"), c.position);
        EXPECT_EQ(HasSound(package / "clip_composed.mp4"), c.sound);
        auto still =
            Exiv2::ImageFactory::open((package / "20260314_182512.000_front.jpg").string());
        still->readMetadata();
        const Exiv2::ExifData& exif = still->exifData();
        EXPECT_EQ(exif.findKey(Exiv2::ExifKey("Exif.GPSInfo.GPSLatitude")) != exif.end(),
                  c.position);
        const JsonValue manifest = ReadManifest(package);
        const JsonValue* share = manifest.Find("share_copy");
        EXPECT_EQ(share && share->boolean, !c.original);
        EXPECT_EQ(manifest.Find("clip")->Find("position")->boolean, c.position);
        const JsonValue* redactions = manifest.Find("redactions");
        ASSERT_NE(redactions, nullptr);
        EXPECT_EQ(redactions->Find("unedited_files")->items.empty(), !c.original);
        // A share copy names its source without the folders of the PC it was made on.
        const std::string source = manifest.Find("sources")->items.at(0).Find("path")->text;
        EXPECT_EQ(source.find('/') == std::string::npos, !c.original) << source;
        const ToolOutput verify = RunToolCommand("verify " + package.string() + " 2>&1");
        EXPECT_EQ(verify.status, 0) << verify.out;
    }
}

TEST_F(RedactExportTest, ShareCopyOptionsThatDoNotAgreeAreRefused) {
    const std::string masks = (Folder() / "masks.json").string();
    std::ofstream(masks) << MaskSetJson(PlateMasks());
    const fs::path package = Folder() / "refused_package";
    for (const std::string& options :
         {std::string("--redact-only"), "--redact " + masks + " --keep-original --redact-only",
          "--redact " + masks + " --with-sound",
          "--redact " + masks + " --redact-only --with-position --no-position"}) {
        fs::remove_all(package);
        const ToolOutput run = RunToolCommand("package " + Recording() + " --from 2 --to 4 " +
                                              package.string() + " " + options + " 2>&1");
        EXPECT_EQ(run.status, 2) << options << ": " << run.out;
        EXPECT_FALSE(fs::exists(package)) << options;
    }
    // The lossless clip is the recording's packets: export blurs only a composed clip.
    const ToolOutput lossless =
        RunToolCommand("export " + Recording() + " --from 2 --to 4 --redact " + masks + " " +
                       (Folder() / "lossless.mp4").string() + " 2>&1");
    EXPECT_EQ(lossless.status, 2);
    EXPECT_NE(lossless.out.find("--redact needs --compose"), std::string::npos) << lossless.out;
    EXPECT_FALSE(fs::exists(Folder() / "lossless.mp4"));
}

// A still that cannot be blurred fails the package naming that still and why, and leaves
// nothing (the regions reach the package unchecked here, as they may from the window).
TEST_F(RedactExportTest, AStillThatCannotBeBlurredIsNamedWithItsCause) {
    MaskSet masks = PlateMasks();
    const MaskCamera* rear = masks.Camera(1);
    ASSERT_NE(rear, nullptr);
    MaskRegion outside{2, 1, MaskKind::Face, {}};
    for (int f = 0; f < rear->frames; ++f)
        outside.boxes.push_back({f, f * 1000 / 30, rear->width - 8, 0, 32, 16, MaskSource::Hand});
    masks.regions.push_back(outside);
    PackageRequest request;
    request.paths = {Recording()};
    request.fromMs = 2000, request.toMs = 4000, request.atMs = 3000;
    request.outDir = (Folder() / "unblurred_package").string();
    request.redact = &masks;
    fs::remove_all(request.outDir);
    PackageResult result;
    std::string error;
    ASSERT_FALSE(WritePackage(request, {}, &result, &error));
    EXPECT_NE(error.find("still 20260314_182512.000_rear.jpg"), std::string::npos) << error;
    EXPECT_NE(error.find("region 2 (face, rear camera)"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(request.outDir));
}

}  // namespace
