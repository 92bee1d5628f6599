// End to end: generated recordings through the real reader, decoder and player, checked
// through the frame index every picture carries.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "FakeMedia.h"
#include "media/CAVIExtractor.h"
#include "media/CDecoder.h"
#include "media/CQRVMediaPlayer.h"
#include "media/CWaveBox.h"
#include "support/HeadlessVideoWindow.h"
#include "tools/cardgen/CardGenerator.h"
#include "tools/cardgen/FramePattern.h"

namespace {

std::string DataPath(const std::string& name) {
    std::filesystem::create_directories(TARVEX_TEST_DATA_DIR);
    return std::string(TARVEX_TEST_DATA_DIR) + "/media_playback_" + name;
}

// Small pictures keep generation and decoding quick; names end in D (two cameras).
std::string Recording(const char* name, int seconds) {
    const std::string path = DataPath(name);
    if (std::filesystem::exists(path)) return path;
    RecordingOptions o;
    o.durationSec = seconds;
    o.frontWidth = 320;
    o.frontHeight = 180;
    o.rearWidth = 192;
    o.rearHeight = 108;
    std::string error;
    // Test programs run in parallel and may generate the same file.
    const std::string temp = path + "." + std::to_string(getpid()) + ".part";
    if (!WriteRecording(temp, o, &error)) {
        ADD_FAILURE() << "cannot generate " << path << ": " << error;
        return path;
    }
    std::filesystem::rename(temp, path);
    return path;
}

// What a window showed, read back from the pictures.
struct Seen {
    int index;
    int32_t counter;
};

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        front.SetOnPresent([this](const CPixImgBase& image, int) {
            const FrameMark mark = ReadFramePattern(image);
            std::lock_guard<std::mutex> lock(mutex);
            frontSeen.push_back(
                {mark.camera == 0 ? mark.frameIndex : -1, player.GetFrameCounter()});
            if (onFront) onFront(frontSeen.back());
        });
        rear.SetOnPresent([this](const CPixImgBase& image, int) {
            const FrameMark mark =
                mirroredRear ? ReadFramePatternMirrored(image) : ReadFramePattern(image);
            std::lock_guard<std::mutex> lock(mutex);
            rearSeen.push_back(mark.camera == 1 ? mark.frameIndex : -1);
        });
    }
    void Start(VAudio* output, bool noClock) {
        player.SetParser(&reader);
        player.SetDecoder(&decoder);
        player.SetOutput(output);
        player.SetNoClock(noClock);
        // The checks here count every frame, also on a loaded machine.
        player.SetDropLateFrames(false);
        player.Start(&front, &rear);
    }
    void TearDown() override { player.StopThreads(); }
    bool WaitForEnd() {
        return WaitFor([&] { return player.GetState() == CQRVMediaPlayer::kStateStopped; }, 120000);
    }
    std::vector<int> FrontIndices() {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<int> v;
        for (const Seen& s : frontSeen) v.push_back(s.index);
        return v;
    }
    std::vector<Seen> FrontSeen() {
        std::lock_guard<std::mutex> lock(mutex);
        return frontSeen;
    }
    std::vector<int> RearIndices() {
        std::lock_guard<std::mutex> lock(mutex);
        return rearSeen;
    }
    // After a seek requested right after Open, the worker may (on a busy machine) have shown
    // a few frames from the start first; returns the first frame after that prefix.
    static size_t FirstAfterStartPrefix(const std::vector<int>& indices) {
        size_t i = 0;
        while (i < indices.size() && indices[i] == static_cast<int>(i)) ++i;
        return i;
    }

    CAVIExtractor reader;
    CDecoder decoder;
    HeadlessVideoWindow front{320, 180};
    HeadlessVideoWindow rear{160, 90};
    std::mutex mutex;
    std::vector<Seen> frontSeen;               // guarded by mutex
    std::vector<int> rearSeen;                 // guarded by mutex
    std::function<void(const Seen&)> onFront;  // called under mutex on the worker
    bool mirroredRear = false;
    FakeAudio recorder;  // outputs outlive the player's threads
    CWaveBox wave;
    CQRVMediaPlayer player;  // last: destroyed first
};

std::vector<int> Range(int first, int last) {
    std::vector<int> v;
    for (int i = first; i <= last; ++i) v.push_back(i);
    return v;
}

TEST_F(PlaybackTest, PlayingFromTheStartShowsEveryFrontFrameOnceInOrder) {
    const std::string path = Recording("4s_D.AVI", 4);
    Start(nullptr, true);
    ASSERT_TRUE(player.Open(path.c_str()));
    EXPECT_EQ(player.GetDuration(), 4000);
    EXPECT_EQ(player.GetCameraCount(), 2);
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(FrontIndices(), Range(0, 119));
    EXPECT_EQ(RearIndices(), Range(0, 119));
    EXPECT_EQ(player.GetPositionMs(), 4000);
}

TEST_F(PlaybackTest, SeekForwardTenSecondsShowsTheFrameTenSecondsOnWithItsPosition) {
    const std::string path = Recording("13s_D.AVI", 13);
    Start(nullptr, true);
    ASSERT_TRUE(player.Open(path.c_str()));
    player.SeekForward(10);
    ASSERT_TRUE(WaitForEnd());
    const auto seen = FrontSeen();
    const auto indices = FrontIndices();
    const size_t first = FirstAfterStartPrefix(indices);
    ASSERT_LT(first, seen.size());
    // Open answers before the first picture, and the seek comes as the caller's next command;
    // a caller the machine keeps waiting may see the first frame or two of the start.
    EXPECT_LE(first, 2u) << "frames from the start were shown before the seek took effect";
    // Ten seconds on from the frame on screen when the seek ran.
    const int landed = seen[first].index;
    EXPECT_GE(landed, 300);
    EXPECT_LE(landed, 300 + static_cast<int>(first));
    EXPECT_EQ(seen[first].counter, landed);
    EXPECT_EQ(std::vector<int>(indices.begin() + first, indices.end()), Range(landed, 389));
}

TEST_F(PlaybackTest, SeekPastTheEndLandsOnTheLastFrame) {
    const std::string path = Recording("4s_D.AVI", 4);
    Start(nullptr, true);
    ASSERT_TRUE(player.Open(path.c_str()));
    player.SeekToMs(60000);
    ASSERT_TRUE(WaitForEnd());
    const auto indices = FrontIndices();
    const size_t first = FirstAfterStartPrefix(indices);
    ASSERT_LT(first, indices.size());
    EXPECT_EQ(std::vector<int>(indices.begin() + first, indices.end()), Range(119, 119));
}

TEST_F(PlaybackTest, CaptureSavesThePicturesThatWereShown) {
    const std::string path = Recording("4s_D.AVI", 4);
    std::atomic<bool> paused{false};
    onFront = [&](const Seen& s) {
        if (s.index >= 45 && !paused) {
            player.Pause();
            paused = true;
        }
    };
    Start(nullptr, true);
    ASSERT_TRUE(player.Open(path.c_str()));
    ASSERT_TRUE(WaitFor([&] { return paused.load(); }));
    const std::string frontJpg = DataPath("capture_front.jpg");
    const std::string rearJpg = DataPath("capture_rear.jpg");
    ASSERT_TRUE(player.Capture(0, frontJpg.c_str()));
    ASSERT_TRUE(player.Capture(1, rearJpg.c_str()));
    CPixImage still;
    ASSERT_TRUE(still.LoadImage(frontJpg));
    EXPECT_EQ(still.Width(), 320);
    EXPECT_EQ(ReadFramePattern(still).frameIndex, FrontIndices().back());
    EXPECT_EQ(FrontIndices().back(), 45);
    ASSERT_TRUE(still.LoadImage(rearJpg));
    EXPECT_EQ(still.Width(), 192);
    EXPECT_EQ(ReadFramePattern(still).frameIndex, RearIndices().back());
}

// The answers to RequestStills, as the event callback hands them over.
struct StillAnswers {
    std::mutex mutex;
    std::vector<std::shared_ptr<const StillPictures>> answers;
    static void OnEvent(void* user, const PlayerEvent& event) {
        if (event.kind != PlayerEvent::Kind::Stills) return;
        auto* self = static_cast<StillAnswers*>(user);
        std::lock_guard<std::mutex> lock(self->mutex);
        self->answers.push_back(event.stills);
    }
    std::shared_ptr<const StillPictures> For(uint32_t request) {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& answer : answers)
            if (answer && answer->request == request) return answer;
        return nullptr;
    }
};

TEST_F(PlaybackTest, StillsAreAnsweredByAnEventWithBothPicturesOrAFailureOnceClosed) {
    const std::string path = Recording("4s_D.AVI", 4);
    std::atomic<bool> paused{false};
    onFront = [&](const Seen& s) {
        if (s.index >= 45 && !paused) {
            player.Pause();
            paused = true;
        }
    };
    StillAnswers stills;
    player.SetEventCallback(&StillAnswers::OnEvent, &stills);
    Start(nullptr, true);
    ASSERT_TRUE(player.Open(path.c_str()));
    ASSERT_TRUE(WaitFor([&] { return paused.load(); }));
    const uint32_t serial = player.GetOpenSerial();

    const uint32_t taken = player.RequestStills(serial, true);
    ASSERT_TRUE(WaitFor([&] { return stills.For(taken) != nullptr; }));
    const auto answer = stills.For(taken);
    ASSERT_TRUE(answer->ok) << answer->error;
    EXPECT_EQ(answer->frame, 45);
    ASSERT_TRUE(answer->pictures[0] && answer->pictures[1]);
    EXPECT_EQ(answer->pictures[0]->Width(), 320) << "at the decoded size";
    EXPECT_EQ(answer->pictures[1]->Width(), 192);
    EXPECT_EQ(ReadFramePattern(*answer->pictures[0]).frameIndex, FrontIndices().back());
    EXPECT_EQ(ReadFramePattern(*answer->pictures[1]).frameIndex, RearIndices().back());

    // Asked for the recording just closed, and once the player has stopped: still answered.
    player.PostClose();
    const uint32_t crossed = player.RequestStills(serial, true);
    ASSERT_TRUE(WaitFor([&] { return stills.For(crossed) != nullptr; }));
    player.StopThreads();
    const uint32_t stopped = player.RequestStills(serial, false);
    for (uint32_t request : {crossed, stopped}) {
        const auto failure = stills.For(request);
        ASSERT_NE(failure, nullptr) << request;
        EXPECT_FALSE(failure->ok);
        EXPECT_FALSE(failure->error.empty());
        EXPECT_EQ(failure->pictures[0], nullptr);
    }
}

TEST_F(PlaybackTest, MirrorFlipsOnlyTheRearPicture) {
    const std::string path = Recording("4s_D.AVI", 4);
    mirroredRear = true;
    Start(nullptr, true);
    player.SetMirror(1, true);
    ASSERT_TRUE(player.Open(path.c_str()));
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(FrontIndices(), Range(0, 119));  // read unmirrored
    EXPECT_EQ(RearIndices(), Range(0, 119));   // read mirrored
    EXPECT_EQ(ReadFramePattern(rear.LastImage()).frameIndex, -1);
}

// The PCM of the file after its first front key frame, chunk by chunk, as the player should
// deliver it.
std::vector<uint8_t> PcmAfterFirstKeyFrame(const std::string& path) {
    CAVIExtractor reader;
    std::vector<uint8_t> pcm;
    if (reader.OpenFile(path.c_str(), nullptr) == 0) return pcm;
    std::vector<uint8_t> buffer(CQRVMediaPlayer::kChunkCapacityBytes + 1);
    bool keySeen = false;
    char id[4];
    int32_t size = CQRVMediaPlayer::kChunkCapacityBytes;
    while (reader.ParseMedia(id, buffer.data(), &size) >= 0) {
        if (id[0] == '0' && id[1] == '0' && id[2] == 'd' && id[3] == 'c' &&
            CQRVMediaPlayer::IsKeyFrame(buffer.data(), size))
            keySeen = true;
        if (keySeen && id[2] == 'w' && id[3] == 'b')
            pcm.insert(pcm.end(), buffer.begin(), buffer.begin() + std::min(size, kPcmPacketBytes));
        size = CQRVMediaPlayer::kChunkCapacityBytes;
    }
    return pcm;
}

TEST_F(PlaybackTest, SoundReachingTheOutputIsTheFilesPcmAfterTheFirstKeyFrame) {
    const std::string path = Recording("4s_D.AVI", 4);
    FakeAudio& output = recorder;
    Start(&output, true);
    ASSERT_TRUE(player.Open(path.c_str()));
    ASSERT_TRUE(WaitForEnd());
    const std::vector<uint8_t> expected = PcmAfterFirstKeyFrame(path);
    ASSERT_GT(expected.size(), 8000u * 2 * 3);
    ASSERT_TRUE(WaitFor([&] { return player.GetQueuedAudioPackets() == 0; }));
    std::vector<uint8_t> played;
    for (const auto& packet : output.Packets())
        played.insert(played.end(), packet.begin(), packet.end());
    ASSERT_TRUE(WaitFor([&] {
        played.clear();
        for (const auto& packet : output.Packets())
            played.insert(played.end(), packet.begin(), packet.end());
        return played.size() >= expected.size();
    }));
    EXPECT_TRUE(played == expected)
        << played.size() << " bytes played, " << expected.size() << " expected";
}

TEST_F(PlaybackTest, RealTimePlayWithSoundShowsEveryFrameAndPlaysEverySample) {
    const std::string path = Recording("2s_D.AVI", 2);
    Start(&wave, false);
    ASSERT_TRUE(player.Open(path.c_str()));
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(FrontIndices(), Range(0, 59));
    const int64_t expected = static_cast<int64_t>(PcmAfterFirstKeyFrame(path).size());
    // Without a sound device the output stays closed and the picture runs on the pacer.
    if (wave.IsOpen()) {
        ASSERT_TRUE(WaitFor([&] { return wave.BytesConsumed() == expected; }));
    }
}

TEST_F(PlaybackTest, OpenAndCloseOneRecordingAfterAnotherWhilePlaying) {
    const std::string a = Recording("4s_D.AVI", 4);
    const std::string b = Recording("2s_D.AVI", 2);
    Start(&wave, false);
    for (int round = 0; round < 3; ++round) {
        const std::string& path = round % 2 ? b : a;
        const size_t before = FrontIndices().size();
        ASSERT_TRUE(player.Open(path.c_str()));
        ASSERT_TRUE(WaitFor([&] { return FrontIndices().size() > before + 3; }));
        if (round == 1) player.Pause();
        player.Close();
        EXPECT_EQ(player.GetState(), CQRVMediaPlayer::kStateStopped);
    }
    ASSERT_TRUE(player.Open(b.c_str()));
    ASSERT_TRUE(WaitForEnd());
    // The last recording plays whole from its first key frame.
    const auto indices = FrontIndices();
    ASSERT_GE(indices.size(), 60u);
    EXPECT_EQ(std::vector<int>(indices.end() - 60, indices.end()), Range(0, 59));
}

TEST_F(PlaybackTest, DamagedAndCutRecordingPlaysWhatItCanAndEnds) {
    const std::string source = Recording("4s_D.AVI", 4);
    const std::string damaged = DataPath("damaged_" + std::to_string(getpid()) + "_D.AVI");
    std::vector<char> bytes;
    {
        FILE* in = fopen(source.c_str(), "rb");
        ASSERT_TRUE(in);
        char chunk[65536];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, in)) > 0)
            bytes.insert(bytes.end(), chunk, chunk + n);
        fclose(in);
    }
    // Cut off like a card pulled while recording, with bytes flipped in the second quarter.
    bytes.resize(bytes.size() * 6 / 10);
    for (size_t i = bytes.size() / 4; i < bytes.size() / 2; i += 997)
        bytes[i] = static_cast<char>(~bytes[i]);
    FILE* out = fopen(damaged.c_str(), "wb");
    ASSERT_TRUE(out);
    fwrite(bytes.data(), 1, bytes.size(), out);
    fclose(out);

    Start(&recorder, true);
    if (player.Open(damaged.c_str())) {
        ASSERT_TRUE(WaitForEnd());
    }
    EXPECT_EQ(player.GetState(), CQRVMediaPlayer::kStateStopped);
    std::filesystem::remove(damaged);
}

// A file cut while it plays (a card pulled, a copy overwritten) ends where its pictures end:
// the position reads the last picture's time, not the length the index gave at the open.
TEST_F(PlaybackTest, AFileCutWhilePlayingEndsOnItsLastPictureNotItsOldLength) {
    const std::string source = Recording("4s_D.AVI", 4);
    const std::string cut = DataPath("cut_" + std::to_string(getpid()) + "_D.AVI");
    std::filesystem::copy_file(source, cut, std::filesystem::copy_options::overwrite_existing);
    const auto keep = static_cast<off_t>(std::filesystem::file_size(cut) * 4 / 10);
    // Cut as soon as the first picture is on screen; once is enough, again does no harm.
    onFront = [&](const Seen&) { EXPECT_EQ(truncate(cut.c_str(), keep), 0); };
    Start(nullptr, true);
    ASSERT_TRUE(player.Open(cut.c_str()));
    EXPECT_EQ(player.GetDuration(), 4000);
    ASSERT_TRUE(WaitForEnd());
    const std::vector<Seen> seen = FrontSeen();
    ASSERT_FALSE(seen.empty());
    EXPECT_LT(seen.back().index, 100) << "the cut did not take";
    EXPECT_EQ(player.GetPositionMs(), seen.back().index * 1000 / 30);
    std::filesystem::remove(cut);
}

TEST_F(PlaybackTest, PausedSeekStepsAndMirrorShowTheirFrameOnBothCameras) {
    const std::string path = Recording("4s_D.AVI", 4);
    onFront = [&](const Seen& s) {
        if (s.index == 10) player.Pause();
    };
    Start(nullptr, false);
    ASSERT_TRUE(player.Open(path.c_str()));
    ASSERT_TRUE(player.WaitUntilHeld(30000));
    struct Row {
        std::function<void()> command;
        int frame;
    };
    const Row rows[] = {{[&] { player.SeekToMs(2000); }, 60},
                        {[&] { player.StepFrame(-1); }, 59},  // from key frame 30
                        {[&] { player.StepFrame(1); }, 60},
                        {[&] { player.SeekToMs(1000); }, 30}};
    for (const Row& row : rows) {
        row.command();
        ASSERT_TRUE(player.WaitUntilHeld(30000));
        EXPECT_EQ(ReadFramePattern(front.LastImage()).frameIndex, row.frame);
        EXPECT_EQ(ReadFramePattern(rear.LastImage()).frameIndex, row.frame);
    }
    // The paused picture is shown again when the rear mirror changes.
    const int rearPresents = rear.PresentCount();
    player.SetMirror(1, true);
    ASSERT_TRUE(player.WaitUntilHeld(30000));
    EXPECT_EQ(rear.PresentCount(), rearPresents + 1);
    EXPECT_EQ(ReadFramePatternMirrored(rear.LastImage()).frameIndex, 30);
    EXPECT_FALSE(player.IsRunning());
}

TEST_F(PlaybackTest, TheEndIsReportedOnlyAfterTheLastFrameAndTheSound) {
    const std::string path = Recording("2s_D.AVI", 2);
    const int64_t pcm = static_cast<int64_t>(PcmAfterFirstKeyFrame(path).size());
    Start(&wave, false);
    ASSERT_TRUE(player.Open(path.c_str()));
    EXPECT_FALSE(player.Ended());
    ASSERT_TRUE(WaitFor([&] { return player.Ended(); }, 120000));
    // Read at the moment of the report, without waiting any longer.
    EXPECT_EQ(ReadFramePattern(front.LastImage()).frameIndex, 59);
    if (wave.IsOpen()) {
        EXPECT_EQ(wave.BytesConsumed(), pcm);
    }
    EXPECT_EQ(player.GetState(), CQRVMediaPlayer::kStateStopped);
}

TEST_F(PlaybackTest, RecordingCutInTheMiddleOfAChunkPlaysItsWholeFramesAndEnds) {
    const std::string source = Recording("4s_D.AVI", 4);
    const std::string cut = DataPath("cut_" + std::to_string(getpid()) + "_D.AVI");
    std::filesystem::copy_file(source, cut, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::resize_file(cut, std::filesystem::file_size(source) * 55 / 100 + 7);
    Start(&recorder, true);
    if (player.Open(cut.c_str())) {
        ASSERT_TRUE(WaitFor([&] { return player.Ended(); }, 120000));
        const auto indices = FrontIndices();
        ASSERT_GE(indices.size(), 30u);
        EXPECT_EQ(indices, Range(0, static_cast<int>(indices.size()) - 1));
    }
    std::filesystem::remove(cut);
}

// Commands from the owner's thread in quick succession, as a user hammering keys does;
// under ThreadSanitizer this is the check that no state is shared without its lock.
TEST_F(PlaybackTest, OpenCloseAndCommandStormsEndInAPlayableState) {
    const std::string a = Recording("4s_D.AVI", 4);
    const std::string b = Recording("2s_D.AVI", 2);
    Start(&wave, false);
    for (int round = 0; round < 24; ++round) {
        ASSERT_TRUE(player.Open((round % 2 ? b : a).c_str()));
        switch (round % 6) {
            case 0:
                player.SeekToMs(1000);
                break;
            case 1:
                player.Pause();
                player.StepFrame(1);
                player.StepFrame(-1);
                break;
            case 2:
                player.SetRatePercent(round % 4 ? 200 : 50);
                break;
            case 3:
                player.Pause();
                player.SeekForward(1);
                player.Play();
                break;
            case 4:
                player.SetMirror(1, round % 4 == 0);
                break;
            default:
                break;
        }
        if (round % 3 == 0) SleepMs(round % 7);
        if (round % 5 == 0) player.Close();
    }
    player.SetRatePercent(100);
    player.SetMirror(1, false);
    ASSERT_TRUE(player.Open(b.c_str()));
    player.SetNoClock(true);
    ASSERT_TRUE(WaitFor([&] { return player.Ended(); }, 120000));
    const auto indices = FrontIndices();
    ASSERT_GE(indices.size(), 60u);
    EXPECT_EQ(std::vector<int>(indices.end() - 60, indices.end()), Range(0, 59));
}

TEST_F(PlaybackTest, StopThreadsWhilePlaying) {
    const std::string path = Recording("4s_D.AVI", 4);
    Start(&wave, false);
    ASSERT_TRUE(player.Open(path.c_str()));
    ASSERT_TRUE(WaitFor([&] { return FrontIndices().size() > 5; }));
    player.StopThreads();
    const size_t shown = FrontIndices().size();
    EXPECT_FALSE(wave.IsOpen());
    SleepMs(30);
    EXPECT_EQ(FrontIndices().size(), shown);
}

}  // namespace
