// The still command end to end: both cameras' stills of the moment asked for, named after the
// camera clock, their EXIF read back with Exiv2, the frame read off the picture's pattern;
// without the position no GPS tag; a rejected input leaves the folder as it was; a full disk
// is named with the still and the cause.

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cstdio>
#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "tests/ToolRun.h"
#include "tools/cardgen/CardGenerator.h"

namespace fs = std::filesystem;

namespace {

constexpr int kClockErrorSec = 75;  // the camera clock runs 75 s ahead of Korean time

class StillCommandTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        fs::create_directories(Folder());
        RecordingOptions o;
        o.durationSec = 8;
        o.clockOffsetSec = 9 * 3600 + kClockErrorSec;
        std::string error;
        ASSERT_TRUE(WriteRecording(Recording(), o, &error)) << error;
    }
    void SetUp() override {
        fs::remove_all(Out());
        fs::create_directories(Out());
    }
    static fs::path Folder() { return fs::path(TARVEX_TEST_DATA_DIR) / "still"; }
    // Named as the generator's default start, 2026-03-14 18:25:09 on the camera clock.
    static std::string Recording() { return (Folder() / "REC_20260314_182509_D.AVI").string(); }
    static fs::path Out() { return Folder() / "out"; }

    static std::map<std::string, std::string> Exif(const fs::path& path) {
        std::map<std::string, std::string> tags;
        auto image = Exiv2::ImageFactory::open(path.string());
        image->readMetadata();
        for (const Exiv2::Exifdatum& d : image->exifData()) tags[d.key()] = d.toString();
        return tags;
    }
    static int FrameMark(const fs::path& picture) {
        const ToolOutput run = RunToolCommand("frame-mark '" + picture.string() + "'");
        const size_t at = run.out.find("\"frame\": ");
        return at == std::string::npos ? -2 : std::stoi(run.out.substr(at + 9));
    }
};

TEST_F(StillCommandTest, BothCamerasCarryTheCameraTimeOffsetAndPosition) {
    const ToolOutput run =
        RunToolCommand("still '" + Recording() + "' --at 5.5 '" + Out().string() + "'");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("\"frame\": 165"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"time_of_day\": \"2026-03-14T18:25:14.500\""), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"clock_offset_s\": 32475"), std::string::npos) << run.out;

    for (const char* camera : {"front", "rear"}) {
        const fs::path still = Out() / ("20260314_182514.500_" + std::string(camera) + ".jpg");
        ASSERT_TRUE(fs::exists(still)) << still;
        std::map<std::string, std::string> tags = Exif(still);
        EXPECT_EQ(tags["Exif.Photo.DateTimeOriginal"], "2026:03:14 18:25:14");
        EXPECT_EQ(tags["Exif.Photo.SubSecTimeOriginal"], "500");
        EXPECT_EQ(tags["Exif.Photo.OffsetTimeOriginal"], "+09:01");
        EXPECT_EQ(tags["Exif.GPSInfo.GPSLatitudeRef"], "N");
        EXPECT_EQ(tags["Exif.GPSInfo.GPSLatitude"].rfind("37/1 ", 0), 0u)
            << tags["Exif.GPSInfo.GPSLatitude"];
        // The fix of second 5: camera 18:25:14 less the clock's offset.
        EXPECT_EQ(tags["Exif.GPSInfo.GPSDateStamp"], "2026:03:14");
        EXPECT_EQ(tags["Exif.GPSInfo.GPSTimeStamp"], "9/1 23/1 59/1");
        EXPECT_NE(tags["Exif.Image.ImageDescription"].find("REC_20260314_182509_D.AVI, frame 165"),
                  std::string::npos);
        EXPECT_EQ(FrameMark(still), 165) << camera;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(Out()), fs::directory_iterator()), 2);
}

// Each hemisphere's sign goes into its own reference tag, the degrees into the value.
TEST_F(StillCommandTest, PositionReferencesFollowTheirOwnHemisphere) {
    const struct {
        double latitude, longitude;
        const char *latitudeRef, *longitudeRef, *latitudeDegrees, *longitudeDegrees;
    } rows[] = {
        {37.57, 126.98, "N", "E", "37/1 ", "126/1 "},
        {40.71, -74.01, "N", "W", "40/1 ", "74/1 "},
        {-33.87, 151.21, "S", "E", "33/1 ", "151/1 "},
        {-34.60, -58.38, "S", "W", "34/1 ", "58/1 "},
    };
    int second = 0;
    for (const auto& row : rows) {
        RecordingOptions o;
        o.durationSec = 2;
        o.frontWidth = o.rearWidth = 160;
        o.frontHeight = o.rearHeight = 90;
        o.startLatitude = row.latitude;
        o.startLongitude = row.longitude;
        o.minute = 0, o.second = ++second;
        const std::string name = RecordingFileName("REC", {2026, 3, 14, 18, 0, second}, true);
        const fs::path recording = Folder() / "hemispheres" / name;
        fs::create_directories(recording.parent_path());
        std::string error;
        ASSERT_TRUE(WriteRecording(recording.string(), o, &error)) << error;
        const fs::path out = Out() / std::to_string(second);
        fs::create_directories(out);
        const ToolOutput run =
            RunToolCommand("still '" + recording.string() + "' --at 1 '" + out.string() + "'");
        ASSERT_EQ(run.status, 0) << run.out;
        char stem[32];
        std::snprintf(stem, sizeof stem, "20260314_1800%02d.000_front.jpg", second + 1);
        ASSERT_TRUE(fs::exists(out / stem)) << run.out;
        std::map<std::string, std::string> tags = Exif(out / stem);
        EXPECT_EQ(tags["Exif.GPSInfo.GPSLatitudeRef"], row.latitudeRef) << name;
        EXPECT_EQ(tags["Exif.GPSInfo.GPSLongitudeRef"], row.longitudeRef) << name;
        EXPECT_EQ(tags["Exif.GPSInfo.GPSLatitude"].rfind(row.latitudeDegrees, 0), 0u)
            << name << " " << tags["Exif.GPSInfo.GPSLatitude"];
        EXPECT_EQ(tags["Exif.GPSInfo.GPSLongitude"].rfind(row.longitudeDegrees, 0), 0u)
            << name << " " << tags["Exif.GPSInfo.GPSLongitude"];
    }
}

TEST_F(StillCommandTest, NoPositionLeavesNoGpsTag) {
    const ToolOutput run =
        RunToolCommand("still '" + Recording() + "' --at 0 '" + Out().string() + "' --no-position");
    ASSERT_EQ(run.status, 0) << run.out;
    const fs::path still = Out() / "20260314_182509.000_front.jpg";
    ASSERT_TRUE(fs::exists(still));
    EXPECT_EQ(FrameMark(still), 0);
    for (const auto& [key, value] : Exif(still))
        EXPECT_EQ(key.rfind("Exif.GPSInfo.", 0), std::string::npos) << key << " " << value;
    EXPECT_EQ(Exif(still)["Exif.Photo.DateTimeOriginal"], "2026:03:14 18:25:09");
}

TEST_F(StillCommandTest, RejectedInputsLeaveTheFolderEmpty) {
    const fs::path notRecording = Folder() / "REC_20260314_182509_X.AVI";
    {
        FILE* f = fopen(notRecording.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fputs("RIFF but not a recording", f);
        fclose(f);
    }
    const std::string out = " '" + Out().string() + "'";
    EXPECT_EQ(RunToolCommand("still '" + notRecording.string() + "' --at 1" + out).status, 1);
    EXPECT_EQ(RunToolCommand("still '" + Recording() + "' --at 8" + out).status, 1);  // the end
    EXPECT_EQ(RunToolCommand("still '" + Recording() + "' --at -1" + out).status, 2);
    EXPECT_EQ(RunToolCommand("still '" + Recording() + "'" + out).status, 2);
    EXPECT_TRUE(fs::is_empty(Out()));
}

// A disk that fills while the stills are written: the message names the still and the cause,
// and nothing is left behind. Needs a small file system of its own (a tmpfs, mounted as root).
TEST_F(StillCommandTest, AFullDiskNamesTheStillAndTheCause) {
    const fs::path small = Folder() / "small";
    fs::create_directories(small);
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here";
    struct Unmount {
        fs::path at;
        ~Unmount() { ::umount(at.c_str()); }
    } unmount{small};
    {
        std::ofstream filler(small / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size())) {
        }
    }
    const ToolOutput run =
        RunToolCommand("still '" + Recording() + "' --at 1 '" + small.string() + "' 2>&1");
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find((small / "20260314_182510.000_front.jpg").string()), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("No space left on device"), std::string::npos) << run.out;
    EXPECT_EQ(std::distance(fs::directory_iterator(small), fs::directory_iterator()), 1);
}

}  // namespace
