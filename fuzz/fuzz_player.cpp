// libFuzzer target for the whole playback path: the input is a recording, played by the real
// reader, decoder and player (headless windows, no sound, no clock), then sought and stepped
// while paused and closed. Any crash, hang or runaway memory of the engine on a damaged file
// shows up here.
//
// An empty corpus folder given on the command line gets one small generated recording first,
// so the mutations start from a file with real H.264 in it.

#include <cstdint>
#include <filesystem>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

#include "fuzz/FuzzMemoryFile.h"
#include "media/CPlaybackSession.h"
#include "support/HeadlessVideoWindow.h"
#include "support/Trace.h"
#include "tools/cardgen/CardGenerator.h"

namespace {

constexpr int kHeldWaitMs = 20000;

struct Engine {
    HeadlessVideoWindow front{64, 36};
    HeadlessVideoWindow rear{32, 18};
    CPlaybackSession session;
    Engine() {
        session.Player().SetNoClock(true);
        session.Start(&front, &rear, /*withSound=*/false);
        session.Player().SetTextCallback([](void*, const uint8_t*, int32_t, int32_t) {}, nullptr);
    }
};

void SeedEmptyCorpus(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.empty() || arg[0] == '-') continue;
        std::error_code error;
        if (!std::filesystem::is_directory(arg, error) || !std::filesystem::is_empty(arg, error))
            continue;
        RecordingOptions o;
        o.durationSec = 2;
        o.frontWidth = 96;
        o.frontHeight = 64;
        o.rearWidth = 64;
        o.rearHeight = 48;
        o.keyFrameInterval = 15;
        o.encoderThreads = 1;
        std::string message;
        WriteRecording(arg + "/generated_D.AVI", o, &message);
        return;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    SetTraceSink([](const std::string&) {});
    // The decoder's complaints about damaged pictures would drown libFuzzer's own lines.
    av_log_set_level(AV_LOG_QUIET);
    SeedEmptyCorpus(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzMemoryFile file("fuzz_player");
    static Engine engine;
    if (!file.Fill(data, size)) return 0;
    CQRVMediaPlayer& player = engine.session.Player();
    if (player.Open(file.Path())) {
        // Half the inputs play twice over, the second time handed over to without a break.
        if (size % 2) player.QueueNext(file.Path());
        player.WaitUntilHeld(kHeldWaitMs);
        // Paused positioning runs its own reading and decoding.
        player.Pause();
        player.SeekToMs(1000);
        player.StepFrame(-1);
        player.StepFrame(1);
        player.SetMirror(1, size % 2 == 0);
        player.Play();
        player.SeekToMs(static_cast<int32_t>(size % 5000));
        player.WaitUntilHeld(kHeldWaitMs);
    }
    player.Close();
    return 0;
}
