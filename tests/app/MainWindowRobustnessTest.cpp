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
    Key(Qt::Key_Right);
    Key(Qt::Key_PageDown);  // opening a vanished file hands over upwards and stops at the top
    Pump(300);
    Key(Qt::Key_PageUp);
    Key(Qt::Key_Space);
    Key(Qt::Key_F2);  // the rebuilt list finds no card
    EXPECT_EQ(Window().List()->topLevelItemCount(), 0);
    EXPECT_EQ(Window().messages.size(), 1);
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

    ShowCard(card);
    ASSERT_EQ(Window().List()->topLevelItemCount(), 5);
    DoubleClickRow(0);  // noise: the open fails and NEXT at the top row stops
    EXPECT_EQ(Window().CurIndex(), -1);
    EXPECT_FALSE(Window().IsDisplayTimerRunning());

    DoubleClickRow(1);  // the cut recording plays what it has, then moves on
    ASSERT_TRUE(WaitUntil([&] { return Window().CurIndex() != 1; }, 60000));
    EXPECT_TRUE(Window().CurIndex() == 0 || Window().CurIndex() == -1);
    Window().OnBnClickedButtonStop();
}

TEST_F(MainWindowFixture, RebuildingTheListWhilePlayingKeepsPlaying) {
    ShowCard();
    DoubleClickRow(1);
    ASSERT_TRUE(WaitForFrontFrame(3));
    Key(Qt::Key_F2);
    EXPECT_EQ(Window().List()->topLevelItemCount(), 3);
    EXPECT_TRUE(Window().IsPlayerActive());
    EXPECT_EQ(Window().CurIndex(), 1);
    Window().OnBnClickedButtonAll();  // row numbers now mean other recordings
    ASSERT_TRUE(WaitForFrontFrame(FrontFrame() + 5));
    Key(Qt::Key_PageUp);
    EXPECT_EQ(Window().CurIndex(), 0);
    EXPECT_TRUE(Window().IsPlayerActive());
}
