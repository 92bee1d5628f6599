// Before a card is formatted, the window asks the PC's archive which of the card's recordings
// it lacks: the format dialog names them (EVENT and USER first), Start waits for its own tick,
// and "Import first…" is offered; once the card is imported nothing is missing any more.
#include <QCheckBox>
#include <QPushButton>
#include <fstream>

#include "app/archive/ArchiveCardWork.h"
#include "archive/ArchiveCatalogue.h"
#include "archive/ArchiveLayout.h"
#include "archive/PackageLock.h"
#include "device/CFormatDialog.h"
#include "device/CSettingDlg.h"
#include "device/VCardFormatter.h"
#include "tests/app/MainWindowFixture.h"
#include "tools/cardgen/CardGenerator.h"

using namespace apptest;
namespace fs = std::filesystem;

namespace {

class CountingFormatter : public VCardFormatter {
public:
    int calls = 0;
    CardFormatOutcome Format(const std::string& mountPoint) override {
        ++calls;
        CardFormatOutcome outcome;
        outcome.result = CardFormatResult::Refused;
        outcome.mountPoint = mountPoint;
        return outcome;
    }
};

class MainWindowFormatArchiveTest : public CopiedCardFixture {
protected:
    void SetUp() override {
        CopiedCardFixture::SetUp();
        std::ofstream(fs::path(card) / "SETTING" / "blackbox.cfg", std::ios::binary)
            << BlackboxConfigText(CivilTime{2026, 3, 14, 18, 0, 0});
        CSettingDlg::SetMessageBoxHook(
            [this](const QString& text, const QString&, QMessageBox::StandardButtons buttons) {
                boxes << text;
                // Yes to the first question, No to the format dialog itself.
                return buttons & QMessageBox::Yes && boxes.size() == 1 ? QMessageBox::Yes
                                                                       : QMessageBox::No;
            });
    }
    void TearDown() override {
        CSettingDlg::SetMessageBoxHook(nullptr);
        CopiedCardFixture::TearDown();
    }

    // Opens the settings, presses Format and returns what the format dialog said.
    QString FormatDialogText() {
        boxes.clear();
        Window().formatter = &formatter;
        Window().onSettings = [](CSettingDlg& dialog) {
            dialog.OnBnClickedButtonFormat();
            // What the format dialog tells is gathered on a job.
            EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.FormatRunning(); }, 30000));
            return static_cast<int>(QDialog::Rejected);
        };
        QTest::mouseClick(Window().GetDlgItem(IDC_BUTTON_SETTING), Qt::LeftButton);
        return boxes.size() >= 2 ? boxes[1] : QString();
    }

    CountingFormatter formatter;
    QStringList boxes;
};

}  // namespace

TEST_F(MainWindowFormatArchiveTest, TheFormatDialogNamesWhatTheArchiveLacksUntilItIsImported) {
    ShowCard(card);
    const QString before = FormatDialogText();
    // Three DRIVING, one EVENT, one USER; none archived yet, EVENT and USER named first.
    EXPECT_TRUE(before.contains("Not in the archive: 5 recordings")) << before.toStdString();
    const qsizetype event = before.indexOf("EVENT 1"), user = before.indexOf("USER 1"),
                    driving = before.indexOf("DRIVING 3");
    EXPECT_TRUE(event > 0 && user > event && driving > user) << before.toStdString();
    EXPECT_TRUE(before.contains("Erase 5 recordings that are not in the archive"));
    EXPECT_EQ(formatter.calls, 0);

    const CardImportSummary imported = ImportCardIntoArchive(card, DefaultArchiveFolder());
    ASSERT_TRUE(imported.started) << imported.error;
    EXPECT_EQ(imported.copied, 5);
    const QString after = FormatDialogText();
    EXPECT_TRUE(after.contains("Not in the archive: none (all are in the archive)"))
        << after.toStdString();
    EXPECT_FALSE(after.contains("Erase 5"));

    // A recording the archive holds under its name but with other content is not safe.
    std::ofstream(fs::path(card) / "EVENT" / fs::path(Card().event).filename(),
                  std::ios::app | std::ios::binary)
        << "more";
    EXPECT_TRUE(FormatDialogText().contains("Not in the archive: 1 recordings"));
}

TEST_F(MainWindowFormatArchiveTest, StartWaitsForTheTickAndImportFirstEndsTheDialog) {
    CardFormatFacts facts;
    facts.mountPoint = card;
    AddArchiveFacts(card, DefaultArchiveFolder(), facts);
    ASSERT_EQ(facts.unarchived, 5);
    {
        CFormatDialog dialog(nullptr, facts, false, true);
        dialog.show();
        ASSERT_NE(dialog.EraseUnarchivedBox(), nullptr);
        EXPECT_FALSE(dialog.StartButton()->isEnabled());
        dialog.accept();  // Enter cannot slip past the tick either
        EXPECT_TRUE(dialog.isVisible());
        dialog.EraseUnarchivedBox()->setChecked(true);
        EXPECT_TRUE(dialog.StartButton()->isEnabled());
        QTest::mouseClick(dialog.StartButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    CFormatDialog dialog(nullptr, facts, false, true);
    dialog.show();
    ASSERT_NE(dialog.ImportButton(), nullptr);
    QTest::mouseClick(dialog.ImportButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), CFormatDialog::kImportFirst);

    // A catalogue that cannot be read is said, not taken for an empty archive.
    fs::create_directories(DefaultArchiveFolder());
    std::ofstream(DefaultCatalogue(DefaultArchiveFolder()), std::ios::binary) << "not a database";
    CardFormatFacts broken;
    AddArchiveFacts(card, DefaultArchiveFolder(), broken);
    EXPECT_EQ(broken.unarchived, -1);
    EXPECT_FALSE(broken.archiveError.empty());
}

// Archived recordings that went into a package are kept from every prune; the card's own
// copy of a recording locks nothing.
TEST_F(MainWindowFormatArchiveTest, APackagedArchivedRecordingIsKeptFromPrune) {
    const std::string archive = DefaultArchiveFolder();
    EXPECT_EQ(LockPackagedRecordings({Card().driving[0]}, archive), 0) << "no catalogue yet";
    EXPECT_FALSE(fs::exists(DefaultCatalogue(archive)));
    ASSERT_TRUE(ImportCardIntoArchive(card, archive).started);

    ArchiveCatalogue catalogue;
    std::string error;
    ASSERT_TRUE(catalogue.Open(DefaultCatalogue(archive), &error)) << error;
    std::vector<CatalogueEntry> before;
    ASSERT_TRUE(catalogue.PruneCandidates(&before, &error)) << error;
    ASSERT_EQ(before.size(), 3u) << "the DRIVING ones";
    const std::string packaged = archive + "/" + before[0].path;
    EXPECT_EQ(LockPackagedRecordings({Card().driving[0], packaged, packaged}, archive), 2);

    std::vector<CatalogueEntry> after;
    ASSERT_TRUE(catalogue.PruneCandidates(&after, &error)) << error;
    ASSERT_EQ(after.size(), 2u);
    for (const CatalogueEntry& e : after) EXPECT_NE(e.path, before[0].path);
}
