// The end of a recording is shown before the window moves on; recordings that cannot be opened
// and a card that goes away are said in a note; the quit question's "No" changes nothing.
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <fstream>

#include "app/window/CSamplePlayerApp.h"
#include "device/CSettingDlg.h"
#include "library/CardRoot.h"
#include "telemetry/CGraphStatic.h"
#include "tests/app/MainWindowFixture.h"

using namespace apptest;
namespace fs = std::filesystem;

namespace {
constexpr int kFrameRate = 30;  // the sample card's recordings
}

TEST_F(MainWindowFixture, TheLastFrameIsShownBeforeTheHandOverToTheNewerRow) {
    ShowCard();
    int lastShown = -1;
    int endedRow = -2;
    QObject::connect(
        &Window(), &CSamplePlayerDlg::RecordingEnded, &Window(),
        [&] {
            lastShown = FrontFrame();
            endedRow = Window().CurIndex();
        },
        Qt::DirectConnection);
    DoubleClickRow(2);  // 8 s
    ASSERT_TRUE(WaitForFrontFrame(1));
    SendSliderRelease(IDC_SLIDER_POS, 6);
    ASSERT_TRUE(WaitUntil([&] { return Window().CurIndex() == 1; }));
    WaitOpened(Window());
    EXPECT_EQ(endedRow, 2);
    EXPECT_EQ(lastShown, 8 * kFrameRate - 1);
    EXPECT_TRUE(Window().IsPlayerActive());
    EXPECT_EQ(LabelText(IDC_STATIC_TOTALTIME), "00:01:00");
}

TEST_F(MainWindowFixture, ARunOfUnplayableFilesIsPassedOverAtOneStackDepth) {
    // One good recording on top, then 200 files that cannot be played: empty, noise, gone.
    const fs::path card = workDir / "bad-card";
    fs::create_directories(card / "DRIVING");
    fs::copy_file(Card().driving[0], card / "DRIVING" / "REC_20260315_000000_D.AVI");
    constexpr int kBad = 200;
    for (int i = 0; i < kBad; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "REC_20260314_%06d_D.AVI", i);
        std::ofstream file(card / "DRIVING" / name, std::ios::binary);
        if (i % 2) file << std::string(512, static_cast<char>('a' + i % 26));
    }
    ShowCard(card.string());
    ASSERT_EQ(Window().List()->RowCount(), kBad + 1);
    fs::remove(card / "DRIVING" / "REC_20260314_000100_D.AVI");  // gone after listing

    // Each row the hand-over walks is selected in turn; the stack must not grow with them.
    std::vector<uintptr_t> stack;
    QObject::connect(Window().List()->selectionModel(), &QItemSelectionModel::selectionChanged,
                     &Window(), [&] {
                         volatile char here = 0;
                         stack.push_back(reinterpret_cast<uintptr_t>(&here));
                     });
    Window().notes.clear();
    DoubleClickRow(kBad);  // the oldest
    EXPECT_EQ(Window().CurIndex(), 0);
    EXPECT_TRUE(Window().IsPlayerActive());
    ASSERT_GE(stack.size(), static_cast<size_t>(kBad));
    const auto [low, high] = std::minmax_element(stack.begin(), stack.end());
    EXPECT_LT(*high - *low, 8192u) << "the walk deepens the stack row by row";
    for (int row = 1; row <= kBad; ++row)
        EXPECT_TRUE(Window().Navigator().IsRowUnplayable(row)) << row;
    EXPECT_FALSE(Window().Navigator().IsRowUnplayable(0));
    // Each marked row says why: rows 1, 100 and 200 hold noise, a removed file, an empty file.
    RecordingListView* list = Window().List();
    EXPECT_EQ(ListToolTip(list, 1, 2),
              "Cannot play REC_20260314_000199_D.AVI: not a dashcam recording (AVI).");
    EXPECT_EQ(ListToolTip(list, 100, 2),
              "Cannot play REC_20260314_000100_D.AVI: the file is gone.");
    EXPECT_EQ(ListToolTip(list, 200, 2),
              "Cannot play REC_20260314_000000_D.AVI: the file is empty.");
    ASSERT_EQ(Window().notes.size(), 1) << "one note for the whole run, no box per file";
    EXPECT_EQ(Window().notes[0],
              "Skipped 200 recordings that cannot be played; the last was "
              "REC_20260314_000199_D.AVI.");
    EXPECT_TRUE(Window().messages.isEmpty());
}

TEST_F(MainWindowFixture, ACardRemovedWhilePlayingStopsAndWorksAgainWhenItComesBack) {
    const std::string card = CopyCard("comes-back");
    const std::string away = card + ".away";
    ShowCard(card);
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(5));
    fs::rename(card, away);  // the mount point goes; the open file would still read
    ASSERT_TRUE(WaitUntil([&] { return !Window().IsPlayerActive(); }, 5000));
    EXPECT_EQ(Window().NoteText(), "The card was removed; playback stopped.");
    EXPECT_EQ(Window().CurIndex(), -1);
    EXPECT_FALSE(Window().IsFollowingPlayback());
    EXPECT_TRUE(Window().messages.isEmpty());

    fs::rename(away, card);
    Key(Qt::Key_F2);
    EXPECT_EQ(Window().driveDialogs, 0) << "the card that went away is taken back";
    ASSERT_EQ(Window().List()->RowCount(), 3);
    Window().Navigator().Cards().ShowCategory(CatalogueView::Event);
    EXPECT_EQ(Window().List()->RowCount(), 1);
    Window().Navigator().Cards().ShowCategory(CatalogueView::Driving);
    DoubleClickRow(0);
    EXPECT_TRUE(Window().IsPlayerActive());
    EXPECT_TRUE(WaitForFrontFrame(3));
    std::error_code ec;
    fs::remove_all(card, ec);
}

// Paused, nothing plays to find out: the card's going is told as it happens.
TEST_F(MainWindowFixture, ACardRemovedWhilePausedIsNoticedWithoutPlaying) {
    const std::string card = CopyCard("paused-away");
    ShowCard(card);
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(2));
    Window().OnBnClickedButtonPause();
    Pump(200);
    fs::remove_all(card);
    EXPECT_TRUE(WaitUntil([&] { return !Window().IsFollowingPlayback(); }, 5000));
    EXPECT_EQ(Window().NoteText(), "The card was removed; playback stopped.");
}

TEST_F(MainWindowFixture, AnsweringNoToTheQuitQuestionLeavesPlaybackRunning) {
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(3));
    SendSliderRelease(IDC_SLIDER_VOLUME, 41);
    Window().quitAnswer = false;
    QTest::mouseClick(Window().GetDlgItem(IDC_BUTTON_CLOSE), Qt::LeftButton);
    // The window manager's close asks the same question.
    EXPECT_FALSE(Window().close());
    ASSERT_TRUE(WaitUntil([&] { return Window().quitQuestions == 2; }));
    EXPECT_TRUE(Window().isVisible());
    EXPECT_TRUE(Window().IsPlayerActive());
    EXPECT_TRUE(Window().IsFollowingPlayback());
    EXPECT_TRUE(Visible(IDC_BUTTON_PAUSE));
    const int frame = FrontFrame();
    EXPECT_TRUE(WaitForFrontFrame(frame + 10));
    Key(Qt::Key_Space);
    EXPECT_TRUE(Visible(IDC_BUTTON_PLAY)) << "Space still pauses";

    Window().quitAnswer = true;
    Window().close();
    ASSERT_TRUE(WaitUntil([&] { return !Window().isVisible(); }));
    EXPECT_FALSE(Window().IsPlayerActive());
    std::ifstream saved(CSamplePlayerDlg::ConfigPath());
    const std::string text((std::istreambuf_iterator<char>(saved)), {});
    EXPECT_NE(text.find("volume=41"), std::string::npos) << text;
}

TEST_F(MainWindowFixture, StopClearsSpeedGraphAndTheRecordingsName) {
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitUntil([&] { return !LabelText(IDC_STATIC_SPEED).isEmpty(); }));
    ASSERT_TRUE(WaitUntil([&] { return Window().Telemetry().SeriesX()->writeIndex > 0; }));
    EXPECT_TRUE(Window().windowTitle().startsWith("REC_20260314_182529_D.AVI"));
    Window().OnBnClickedButtonStop();
    EXPECT_EQ(LabelText(IDC_STATIC_SPEED), "");
    EXPECT_EQ(Window().Telemetry().SeriesX()->writeIndex, 0);
    EXPECT_EQ(Window().windowTitle(), "Tarvex K310VZN PC Viewer");
}

TEST_F(MainWindowFixture, ARecordingCutOrGrowingWhilePlayingPlaysWhatExistsAndMovesOn) {
    struct Row {
        const char* what;
        bool grows;  // false: cut short while playing
    } rows[] = {{"cut", false}, {"growing", true}};
    for (const Row& row : rows) {
        const fs::path card = workDir / row.what;
        fs::create_directories(card / "DRIVING");
        fs::copy_file(Card().driving[0], card / "DRIVING" / "REC_20260315_000000_D.AVI");
        const std::string source = Card().driving[2];  // 8 s
        const fs::path file = card / "DRIVING" / "REC_20260314_000000_D.AVI";
        const auto size = fs::file_size(source);
        std::ifstream in(source, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        // A camera still writing has written the first part only, without an index.
        std::ofstream(file, std::ios::binary) << bytes.substr(0, row.grows ? size * 2 / 5 : size);
        ShowCard(card.string());
        int lastShown = -1;
        QObject::connect(
            &Window(), &CSamplePlayerDlg::RecordingEnded, &Window(),
            [&] { lastShown = FrontFrame(); }, Qt::DirectConnection);
        DoubleClickRow(1);
        ASSERT_TRUE(WaitForFrontFrame(5)) << row.what;
        if (row.grows) {
            std::ofstream(file, std::ios::binary | std::ios::app) << bytes.substr(size * 2 / 5);
        } else {
            fs::resize_file(file, size / 3);
        }
        // The newer row is opened after the list moves to it; wait past its loading.
        ASSERT_TRUE(WaitUntil(
            [&] {
                return Window().CurIndex() == 0 &&
                       Window().Playback().State() != PlaybackState::Loading;
            },
            20000))
            << row.what;
        EXPECT_TRUE(Window().IsPlayerActive()) << row.what << ": the newer row plays";
        if (row.grows) {
            EXPECT_GT(lastShown, 4 * kFrameRate) << "what was written while playing is shown";
        } else {
            EXPECT_LT(lastShown, 4 * kFrameRate) << "it ends where the file now ends";
        }
        EXPECT_FALSE(Window().Navigator().IsRowUnplayable(1)) << row.what;
        Window().OnBnClickedButtonStop();
        window.reset();
    }
}

TEST_F(MainWindowFixture, AQuitWhileADialogIsOpenEndsTheWindowWithItsSettings) {
    // A quit signal arriving while a question, a file chooser or the settings dialog of the
    // window waits for its answer (the export dialog has a test of its own).
    const std::function<void(QWidget*)> dialogs[] = {
        [](QWidget* parent) {
            QMessageBox box(QMessageBox::Question, "?", "?", QMessageBox::Yes | QMessageBox::No,
                            parent);
            box.exec();
        },
        [](QWidget* parent) {
            QFileDialog chooser(parent);
            chooser.setOption(QFileDialog::DontUseNativeDialog);
            chooser.exec();
        },
        [](QWidget* parent) {
            CSettingDlg settings(parent, CardConfigPath(Card().root), Card().root);
            settings.exec();
        },
    };
    for (size_t row = 0; row < std::size(dialogs); ++row) {
        fs::remove(CSamplePlayerDlg::ConfigPath());
        bool dialogEnded = false;
        bool hung = false;
        QTimer::singleShot(0, [&] {
            auto* shown = qobject_cast<CSamplePlayerDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(shown, nullptr);
            QTimer::singleShot(100, shown, [shown] { shown->QuitNow(); });
            dialogs[row](shown);
            dialogEnded = true;
        });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            hung = true;
            QCoreApplication::exit(1);  // ends every loop still running
        });
        watchdog.start(15000);
        CSamplePlayerApp app;
        app.InitInstance(Card().driving[1]);
        EXPECT_TRUE(dialogEnded) << row;
        EXPECT_FALSE(hung) << row;
        EXPECT_TRUE(fs::exists(CSamplePlayerDlg::ConfigPath())) << row;
    }
}
