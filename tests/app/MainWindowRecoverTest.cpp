// The list's menu brings a card's deleted recordings back (read from a card image here, never
// a real disk) and lists them in the window, where they play; and writes a repaired copy of
// a recording cut short by a power loss.
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <fstream>

#include "media/CAVIExtractor.h"
#include "recover/CardSource.h"
#include "tests/app/MainWindowFixture.h"

using namespace apptest;
namespace fs = std::filesystem;

namespace {

void Shell(const std::string& command) {
    ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
}

// Reads the card from an image; the dialogs are answered by the test.
class RecoverWindow : public TestWindow {
public:
    std::string image;  // empty: the desktop's way (no card: refused)
    QString outputFolder;
    QStringList foundRows;  // "name state", as the dialog listed them

protected:
    CRecoverDlg::SourceOpener RecoverySource(const std::string& drive) override {
        if (image.empty()) return TestWindow::RecoverySource(drive);
        return [path = image](CardSource& source, std::string* error) {
            return source.Open(path, error);
        };
    }
    QString RunOutputFolderDialog(const QString&) override { return outputFolder; }
    void RunRecoverDialog(CRecoverDlg& dialog) override {
        dialog.show();
        if (!WaitUntil([&] { return dialog.IsFinished(); })) return;
        for (int i = 0; i < dialog.FoundList()->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = dialog.FoundList()->topLevelItem(i);
            foundRows << item->text(0) + QLatin1Char(' ') + item->text(1);
        }
        if (dialog.ShowInListButton()->isVisible()) dialog.ShowInListButton()->click();
    }
};

class MainWindowRecoverTest : public MainWindowFixture {
protected:
    RecoverWindow& Recovering() {
        if (!window) {
            window = std::make_unique<RecoverWindow>();
            window->show();
        }
        return static_cast<RecoverWindow&>(*window);
    }
    // Triggers the list's menu command named text, as a right click at row would offer it.
    bool TriggerMenu(const QString& text, int row = -1) {
        RecordingListView* list = Window().List();
        const QPoint at =
            row < 0 ? QPoint(-1, -1) : list->visualRect(ListIndex(list, row, 1)).center();
        QMenu menu;
        list->FillMenu(menu, at);
        for (QAction* action : menu.actions()) {
            if (action->text() != text) continue;
            action->trigger();
            return true;
        }
        return false;
    }
    fs::path Dir() const { return workDir; }
};

TEST_F(MainWindowRecoverTest, DeletedRecordingsComeBackIntoTheListAndPlay) {
    const fs::path image = Dir() / "card.img";
    Shell("mkfs.vfat -F 32 -C " + image.string() + " 65536");
    Shell("mmd -i " + image.string() + " ::/DRIVING");
    const std::string gone = "REC_20260314_182509_D.AVI", kept = "REC_20260314_182609_D.AVI";
    for (const std::string& name : {gone, kept})
        Shell("mcopy -i " + image.string() + " " + Card().driving[0] + " ::/DRIVING/" + name);
    Shell("mdel -i " + image.string() + " ::/DRIVING/" + gone);
    fs::create_directories(Dir() / "recovered");

    RecoverWindow& window = Recovering();
    // Without a card in the reader nothing is asked and the user is told why.
    ASSERT_TRUE(TriggerMenu("Recover deleted recordings…"));
    ASSERT_EQ(window.messages.size(), 1);
    EXPECT_TRUE(window.messages[0].contains("removable card")) << window.messages[0].toStdString();

    window.image = image.string();
    window.outputFolder = QString::fromStdString((Dir() / "recovered").string());
    ASSERT_TRUE(TriggerMenu("Recover deleted recordings…"));
    EXPECT_EQ(window.foundRows,
              QStringList({QString::fromStdString(gone + " whole"),
                           QString::fromStdString(kept + " still on the card (not copied)")}));
    // Listed in the window from the folder it went to, and it plays.
    ASSERT_EQ(window.List()->RowCount(), 1);
    const std::string path = window.List()->PathOf(0).toStdString();
    EXPECT_EQ(path, (Dir() / "recovered" / gone).string());
    DoubleClickRow(0);
    EXPECT_EQ(window.CurrentPath(), path);
    EXPECT_TRUE(WaitForFrontFrame(1));
}

TEST_F(MainWindowRecoverTest, ARecordingCutShortGetsACopyOtherPlayersOpen) {
    const fs::path folder = Dir() / "loose", out = Dir() / "repaired";
    fs::create_directories(folder);
    fs::create_directories(out);
    const fs::path cut = folder / fs::path(Card().driving[0]).filename();
    fs::copy_file(Card().driving[0], cut);
    fs::resize_file(cut, fs::file_size(cut) * 2 / 3 + 7);  // the power went mid-chunk
    RecoverWindow& window = Recovering();
    ASSERT_TRUE(window.Navigator().OpenPath(QString::fromStdString(folder.string())));
    ASSERT_EQ(window.List()->RowCount(), 1);
    EXPECT_FALSE(TriggerMenu("Repair for other players…", 0)) << "offered only once marked";
    const std::optional<EarlyEnd> early = CheckEarlyEnd(cut.string());
    ASSERT_TRUE(early);
    ASSERT_TRUE(window.List()->Model()->MarkEndsEarly(window.List()->PathOf(0), early->endsAtMs));

    window.outputFolder = QString::fromStdString(out.string());
    for (const char* name : {"", "_2"}) {  // a second copy never replaces the first
        window.messages.clear();
        ASSERT_TRUE(TriggerMenu("Repair for other players…", 0));
        ASSERT_TRUE(WaitUntil([&] { return !window.messages.isEmpty(); }));
        const fs::path copy = out / (cut.stem().string() + name + ".AVI");
        EXPECT_TRUE(window.messages[0].contains(QString::fromStdString(copy.string())))
            << window.messages[0].toStdString();
        // Its header and index now say what it holds: it no longer reads as cut short.
        ASSERT_TRUE(fs::exists(copy));
        EXPECT_FALSE(CheckEarlyEnd(copy.string()));
        EXPECT_LE(fs::file_size(copy), fs::file_size(cut) + 64 * 1024);
    }
}

}  // namespace
