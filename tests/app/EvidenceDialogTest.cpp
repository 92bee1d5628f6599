// The window's evidence package dialog on a generated recording: a package written whole with
// its report, a cancel that leaves no folder, and the folder proposed after the clip's start.

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <filesystem>

#include "app/dialogs/CEvidenceDlg.h"
#include "app/dialogs/ClipExportCommand.h"
#include "tests/GeneratedRecording.h"
#include "tests/app/AppTestSupport.h"

namespace fs = std::filesystem;

namespace {

std::string Recording() {
    RecordingOptions o;
    o.durationSec = 6;
    o.frontWidth = 320, o.frontHeight = 180, o.rearWidth = 160, o.rearHeight = 90;
    o.year = 2018, o.month = 8, o.day = 20, o.hour = 18, o.minute = 48, o.second = 30;
    const fs::path dir = fs::path(TARVEX_TEST_DATA_DIR) / "evidence-dialog" / "card" / "DRIVING";
    return GeneratedRecording((dir / "REC_20180820_184830_D.AVI").string(), o);
}

PackageRequest Request(const fs::path& out) {
    PackageRequest r;
    r.paths = {Recording()};
    r.fromMs = 1000, r.toMs = 5000;
    r.outDir = out.string();
    return r;
}

TEST(EvidenceDialogTest, WritesThePackageWithItsReportAndACancelLeavesNothing) {
    const fs::path root = fs::path(TARVEX_TEST_DATA_DIR) / "evidence-dialog";
    for (const bool cancel : {false, true}) {
        const fs::path out = root / (cancel ? "cancelled" : "written");
        fs::remove_all(out);
        CEvidenceDlg dialog(nullptr, Request(out));
        dialog.Start();
        if (cancel) dialog.Cancel();
        ASSERT_TRUE(apptest::WaitUntil([&] { return dialog.IsFinished(); }, 120000));
        EXPECT_EQ(dialog.Succeeded(), !cancel) << dialog.Error();
        EXPECT_EQ(fs::exists(out / "SHA256SUMS"), !cancel);
        EXPECT_EQ(fs::exists(out / "report.pdf"), !cancel);
        EXPECT_EQ(dialog.ProgressPercent() == 100, !cancel);
        EXPECT_TRUE(dialog.StatusText().contains(cancel ? "cancelled" : "saved"))
            << dialog.StatusText().toStdString();
        for (const auto& entry : fs::directory_iterator(root))
            EXPECT_EQ(entry.path().filename().string().find(".partial"), std::string::npos);
    }
}

TEST(EvidenceDialogTest, TheProposedFolderIsNamedAfterTheClipsStart) {
    const std::vector<std::string> trip = {"/c/DRIVING/REC_20180820_184830_D.AVI",
                                           "/c/DRIVING/REC_20180820_184843_D.AVI"};
    const struct {
        int64_t fromMs;
        const char* name;
    } cases[] = {{0, "20180820_184830_evidence"},
                 {10500, "20180820_184840_evidence"},
                 {14000, "20180820_184844_evidence"}};
    for (const auto& c : cases)
        EXPECT_EQ(CEvidenceDlg::ProposedFolder(
                      trip, TripTimeline::FromStarts({0, 13000}, 26000, trip), c.fromMs),
                  QDir::home().filePath(c.name))
            << c.fromMs;
    EXPECT_EQ(CEvidenceDlg::StepText("writing the report"), "Writing the report…");
}

// A failure names the folder and its cause in several lines: the dialog grows to show them
// all, none cut at the top or bottom.
TEST(EvidenceDialogTest, ALongFailureIsShownWhole) {
    const fs::path out = fs::path(TARVEX_TEST_DATA_DIR) / "evidence-dialog" /
                         (std::string(12, 'x') + " no such folder " + std::string(60, 'y')) /
                         "a package whose folder has a long name to wrap over several lines";
    CEvidenceDlg dialog(nullptr, Request(out));
    dialog.show();
    dialog.Start();
    ASSERT_TRUE(apptest::WaitUntil([&] { return dialog.IsFinished(); }, 60000));
    ASSERT_FALSE(dialog.Succeeded());
    apptest::Pump(50);
    QLabel* text = nullptr;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        if (label->text() == dialog.StatusText()) text = label;
    ASSERT_NE(text, nullptr);
    EXPECT_GE(text->height(), text->heightForWidth(text->width()));
    EXPECT_TRUE(dialog.rect().contains(QRect(text->mapTo(&dialog, QPoint()), text->size())));
}

}  // namespace

TEST(EvidenceDialogTest, TheMomentsStretchStaysWithinTheTrip) {
    const struct {
        int64_t atMs, lengthMs, fromMs, toMs;
    } rows[] = {
        {300000, 600000, 240000, 360000},  // a minute either side
        {20000, 600000, 0, 80000},         // near the start
        {590000, 600000, 530000, 600000},  // near the end
        {5000, 12000, 0, 12000},           // a trip shorter than the stretch
        {15000, 12000, 0, 12000},          // a picture past the end is the last one
    };
    for (const auto& r : rows) {
        const ClipExportCommand::Stretch s = ClipExportCommand::MomentStretch(r.atMs, r.lengthMs);
        EXPECT_EQ(s.fromMs, r.fromMs) << r.atMs;
        EXPECT_EQ(s.toMs, r.toMs) << r.atMs;
        EXPECT_TRUE(s.atMs >= s.fromMs && s.atMs < s.toMs) << r.atMs;
    }
}
