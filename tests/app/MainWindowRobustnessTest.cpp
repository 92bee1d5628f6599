// Bad input never crashes or hangs the window: a card pulled during playback, damaged
// recordings in the list, the list rebuilt under a playing recording.
#include <fstream>

#include "tests/app/MainWindowFixture.h"

using namespace apptest;

TEST_F(MainWindowFixture, CardRemovedDuringPlaybackLeavesAWorkingWindow) {
    const std::string card = CopyCard("removed");
    ShowCard(card);
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(5));
    std::filesystem::remove_all(card);
    Pump(1500);
    EXPECT_FALSE(Window().IsPlayerActive());
    EXPECT_EQ(Window().NoteText(), "The card was removed; playback stopped.");
    EXPECT_EQ(Window().List()->RowCount(), 0) << "no rows that lead nowhere";
    Key(Qt::Key_Right);
    Key(Qt::Key_PageDown);
    Pump(300);
    Key(Qt::Key_PageUp);
    Key(Qt::Key_Space);
    Key(Qt::Key_F2);  // no card to take back: asks for one
    EXPECT_EQ(Window().driveDialogs, 1);
    EXPECT_EQ(Window().List()->RowCount(), 0);
    EXPECT_TRUE(Window().messages.isEmpty()) << "a note, not a box";
    EXPECT_TRUE(Window().DrivePath().empty());
    Window().OnBnClickedButtonStop();
    EXPECT_FALSE(Window().IsPlayerActive());
}

TEST_F(MainWindowFixture, DamagedRecordingsHandOverOrStopWithoutCrashing) {
    const std::string card = CopyCard("damaged");
    const std::filesystem::path driving = std::filesystem::path(card) / "DRIVING";
    // Newest: pure noise. Next: a real recording cut in half (no index, movie list cut short).
    {
        std::ofstream noise(driving / "REC_20260314_190000_D.AVI", std::ios::binary);
        for (int i = 0; i < 100000; ++i) noise.put(static_cast<char>((i * 7919) & 0xFF));
    }
    const auto source = driving / "REC_20260314_182549_D.AVI";
    const auto cut = driving / "REC_20260314_185000_D.AVI";
    std::filesystem::copy_file(source, cut);
    std::filesystem::resize_file(cut, std::filesystem::file_size(source) / 2);

    // And one whose movie data is overwritten with noise in the middle: its index still
    // promises all of it, but reading stops at the noise.
    const auto holed = driving / "REC_20260314_184000_D.AVI";
    std::filesystem::copy_file(source, holed);
    {
        const auto size = std::filesystem::file_size(holed);
        std::fstream file(holed, std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(static_cast<std::streamoff>(size * 2 / 5));
        for (int i = 0; i < 20000; ++i) file.put(static_cast<char>(0xA5));
    }

    ShowCard(card);
    ASSERT_EQ(Window().List()->RowCount(), 6);
    DoubleClickRow(0);  // noise: the open fails and NEXT at the top row stops
    EXPECT_EQ(Window().CurIndex(), -1);
    EXPECT_FALSE(Window().IsFollowingPlayback());

    DoubleClickRow(1);  // the cut recording plays what it has, then moves on
    ASSERT_TRUE(WaitUntil([&] { return Window().CurIndex() != 1; }, 60000));
    EXPECT_TRUE(Window().CurIndex() == 0 || Window().CurIndex() == -1);

    DoubleClickRow(2);  // ends early: the window moves on instead of waiting for its end
    ASSERT_TRUE(WaitUntil([&] { return Window().CurIndex() != 2; }, 60000));
    Window().OnBnClickedButtonStop();
}

TEST_F(MainWindowFixture, RebuildingTheListWhilePlayingKeepsPlaying) {
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(3));
    Key(Qt::Key_F2);
    EXPECT_EQ(Window().List()->RowCount(), 3);
    EXPECT_TRUE(Window().IsPlayerActive());
    EXPECT_EQ(Window().CurIndex(), 1);
    Window().Navigator().Cards().ShowCategory(
        CatalogueView::All);  // row numbers now mean other recordings
    ASSERT_TRUE(WaitForFrontFrame(FrontFrame() + 5));
    Key(Qt::Key_PageUp);
    EXPECT_EQ(Window().CurIndex(), 0);
    EXPECT_TRUE(Window().IsPlayerActive());
}

TEST_F(MainWindowFixture, AFailedDoubleClickHandsOverAndKeepsTheRowThatPlays) {
    const std::string card = CopyCard("failed-open");
    {
        std::ofstream noise(std::filesystem::path(card) / "DRIVING" / "REC_20260314_182539_D.AVI",
                            std::ios::binary);
        noise << std::string(4096, 'x');
    }
    ShowCard(card);
    ASSERT_EQ(Window().List()->RowCount(), 4);
    DoubleClickRow(1);  // noise; the row above plays instead
    EXPECT_TRUE(Window().IsPlayerActive());
    EXPECT_EQ(Window().CurIndex(), 0);
    Key(Qt::Key_PageDown);  // steps on from the row that plays, not from nowhere
    EXPECT_EQ(Window().CurIndex(), 0) << "row 1 fails again and hands back to row 0";
    EXPECT_TRUE(Window().IsPlayerActive());
}
