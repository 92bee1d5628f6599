// The redaction tool in the window on a recording with a number plate crossing the front
// picture: R, a box dragged over the plate, and the box followed through the stretch around
// it into the recording's masks file in the user's data folder, close to where the plate
// really was; the clip export then offers that file and blurs with it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/dialogs/CExportDlg.h"
#include "app/panels/TimelinePanel.h"
#include "app/playback/PlaybackController.h"
#include "app/redaction/RedactionOverlay.h"
#include "app/redaction/RedactionTool.h"
#include "app/redaction/RegionListPanel.h"
#include "redact/MaskFile.h"
#include "tests/app/AppTestSupport.h"
#include "tools/cardgen/CardGenerator.h"
#include "tools/cardgen/MovingPlate.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 640, kHeight = 360, kRate = 30, kSeconds = 6;
constexpr int kDrawnAfterFrame = 45;

const std::string& PlateRecording() {
    static const std::string path = [] {
        const fs::path folder = fs::path(TARVEX_TEST_DATA_DIR) / "redaction_window" / "DRIVING";
        fs::create_directories(folder);
        const fs::path file = folder / RecordingFileName("REC", {2026, 3, 14, 12, 0, 0}, true);
        RecordingOptions o;
        o.durationSec = kSeconds;
        o.frontWidth = kWidth;
        o.frontHeight = kHeight;
        o.frameRate = kRate;
        o.plate = true;
        std::string error;
        if (!fs::exists(file) && !WriteRecording(file.string(), o, &error)) ADD_FAILURE() << error;
        return file.string();
    }();
    return path;
}

double Iou(const MaskBox& a, const PlateBox& b) {
    const int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    const int x1 = std::min(a.x + a.width, b.x + b.width);
    const int y1 = std::min(a.y + a.height, b.y + b.height);
    const double i = std::max(0, x1 - x0) * double(std::max(0, y1 - y0));
    return i / (double(a.width) * a.height + double(b.width) * b.height - i);
}

class RedactingWindow : public apptest::TestWindow {
public:
    CExportDlg::Choice offered;
    std::string blurredWith;
    ClipResult exportResult = ClipResult::Failed;
    QString clipPath;
    std::string packageMasks;  // offered to the evidence package's stretch question

protected:
    bool RunEvidenceStretchDialog(ClipExportCommand::Stretch* stretch) override {
        packageMasks = stretch->masks;
        return false;
    }
    bool RunExportOptionsDialog(CExportDlg::Choice* choice) override {
        offered = *choice;
        choice->compose = ClipCompose::PictureInPicture;
        return true;
    }
    QString RunExportPathDialog(const QString&) override { return clipPath; }
    void RunExportDialog(CExportDlg& dialog) override {
        blurredWith = dialog.MasksPath();
        apptest::WaitUntil([&] { return dialog.IsFinished(); }, 120000);
        exportResult = dialog.Result();
    }
};

class MainWindowRedactionTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("LANG", "en_US.UTF-8");
        PlateRecording();
        workDir = fs::path(TARVEX_TEST_DATA_DIR) / ("redaction-cwd-" + std::to_string(getpid()));
        fs::remove_all(workDir);
        fs::create_directories(workDir);
        savedDir = fs::current_path();
        fs::current_path(workDir);
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((workDir / "config").string()));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString((workDir / "data").string()));
        window = std::make_unique<RedactingWindow>();
        window->show();
    }
    void TearDown() override {
        window.reset();
        fs::current_path(savedDir);
        qunsetenv("XDG_DATA_HOME");
    }

    std::unique_ptr<RedactingWindow> window;
    fs::path workDir, savedDir;
};

TEST_F(MainWindowRedactionTest, DrawnBoxFollowsThePlateIntoTheMasksFileTheExportBlursWith) {
    ASSERT_TRUE(window->OpenRecording(PlateRecording()));
    ASSERT_TRUE(apptest::WaitOpened(*window));
    RedactionTool& tool = window->Redaction();
    ASSERT_TRUE(apptest::WaitUntil(
        [&] { return tool.IsLoaded() && tool.FrameOnScreen(0) >= kDrawnAfterFrame; }));

    QTest::keyClick(window.get(), Qt::Key_R);
    ASSERT_TRUE(tool.IsOn());
    EXPECT_EQ(window->Playback().State(), PlaybackState::Paused);
    window->Playback().Player().WaitForWorker();  // the picture on screen stays as it is now
    const int64_t drawnFrame = tool.FrameOnScreen(0);
    const MovingPlate plate(kWidth, kHeight, kRate);
    const PlateBox truth = plate.BoxAt(static_cast<int>(drawnFrame));
    RedactionOverlay* front = tool.Overlay(0);
    const QRect onScreen = front->ToWidget(QRect(truth.x, truth.y, truth.width, truth.height));
    QTest::mousePress(front, Qt::LeftButton, Qt::NoModifier, onScreen.topLeft());
    QTest::mouseRelease(front, Qt::LeftButton, Qt::NoModifier,
                        onScreen.bottomRight() + QPoint(1, 1));
    ASSERT_TRUE(apptest::WaitUntil(
        [&] { return !tool.IsBusy() && tool.Edit().Regions().size() == 1; }, 120000));

    // The file the window wrote, where the user's data is kept.
    EXPECT_EQ(tool.MasksPath(), (workDir / "data" / "tarvex" / "masks" /
                                 (fs::path(PlateRecording()).filename().string() + ".masks.json"))
                                    .string());
    MaskSet saved;
    std::string error;
    ASSERT_TRUE(LoadMaskSet(tool.MasksPath(), &saved, &error)) << error;
    ASSERT_EQ(saved.regions.size(), 1u);
    const MaskRegion& region = saved.regions[0];
    EXPECT_EQ(region.kind, MaskKind::Plate);
    EXPECT_EQ(region.BoxAt(drawnFrame)->source, MaskSource::Hand);
    // Five seconds either side, within the recording.
    const int64_t first = std::max<int64_t>(0, drawnFrame - 5 * kRate);
    const int64_t last = std::min<int64_t>(kSeconds * kRate - 1, drawnFrame + 5 * kRate);
    EXPECT_GE(region.boxes.size(), size_t(0.8 * double(last - first + 1)));
    size_t close = 0;
    for (const MaskBox& b : region.boxes) {
        EXPECT_TRUE(b.frame >= first && b.frame <= last) << b.frame;
        if (Iou(b, plate.BoxAt(static_cast<int>(b.frame))) >= 0.5) ++close;
    }
    EXPECT_GE(close, size_t(0.8 * double(region.boxes.size())));

    // The export offers the file with its tick, and blurs the composed clip with it.
    ASSERT_TRUE(apptest::WaitUntil([&] { return !window->Timeline().IsTimelineLoading(); }));
    window->clipPath = QString::fromStdString((workDir / "clip.mp4").string());
    window->Timeline().OnExportClip();
    EXPECT_EQ(window->offered.masks, tool.MasksPath());
    EXPECT_EQ(window->blurredWith, tool.MasksPath());
    EXPECT_EQ(window->exportResult, ClipResult::Done);
    window->Timeline().OnEvidencePackage();
    EXPECT_EQ(window->packageMasks, tool.MasksPath());

    // Detection over the same stretch offers suggestions apart from the regions, and says it
    // is no complete answer; an accepted one joins the regions file as detected.
    tool.Detect();
    ASSERT_TRUE(apptest::WaitUntil([&] { return !tool.IsBusy(); }, 120000));
    ASSERT_NE(tool.Panel(), nullptr);
    const QString note = tool.Panel()->NoteText();
    EXPECT_TRUE(note.startsWith("Suggestions only") ||
                note.contains("that does not mean there is nothing to blur"))
        << note.toStdString();
    ASSERT_EQ(tool.Edit().Regions().size(), 1u);
    if (!tool.Edit().Suggestions().empty()) {
        tool.AcceptSuggestion(0);
        ASSERT_EQ(tool.Edit().Regions().size(), 2u);
        ASSERT_TRUE(LoadMaskSet(tool.MasksPath(), &saved, &error)) << error;
        EXPECT_EQ(saved.regions.back().boxes.front().source, MaskSource::Detected);
    }
}

}  // namespace

namespace {

// Asked to blur with a file made on another recording, the export writes no clip at all
// rather than one with the regions left readable.
TEST(ClipExportBlur, AMasksFileOfAnotherRecordingFailsTheExportAndWritesNothing) {
    const fs::path folder =
        fs::path(TARVEX_TEST_DATA_DIR) / ("redaction-other-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    MaskSet other;
    other.durationMs = kSeconds * 1000;
    other.cameras = {{0, 1920, 1080, kSeconds * kRate}};
    other.regions = {{1, 0, MaskKind::Plate, {{3, 100, 10, 10, 80, 20, MaskSource::Hand}}}};
    const std::string masks = (folder / "other.masks.json").string();
    std::ofstream(masks) << MaskSetJson(other);

    ClipRequest request;
    request.paths = {PlateRecording()};
    request.toMs = 1000;
    request.outPath = (folder / "clip.mp4").string();
    CExportDlg::Choice choice;
    choice.compose = ClipCompose::PictureInPicture;
    choice.masks = masks;
    CExportDlg dialog(nullptr, request, (folder / "clip.gpx").string(), choice);
    EXPECT_EQ(dialog.MasksPath(), masks);
    dialog.Start();
    ASSERT_TRUE(apptest::WaitUntil([&] { return dialog.IsFinished(); }, 60000));
    EXPECT_EQ(dialog.Result(), ClipResult::Failed);
    EXPECT_NE(dialog.Error().find("region 1"), std::string::npos) << dialog.Error();
    EXPECT_FALSE(fs::exists(request.outPath));
    fs::remove_all(folder);
}

}  // namespace
