#include "evidence/MomentStills.h"

#include <filesystem>

#include "media/CPlaybackSession.h"
#include "support/HeadlessVideoWindow.h"
#include "telemetry/CameraClock.h"

bool WriteMomentStills(const std::string& path, const RecordingTelemetry& telemetry, int64_t atMs,
                       const std::string& folder, bool withPosition, MomentStillsResult* result,
                       std::string* error, const StillRetouch& retouch) {
    if (!RecordingStartSec(path)) {
        *error = path + ": the name carries no start time";
        return false;
    }
    if (atMs < 0 || atMs >= telemetry.durationMs) {
        *error = path + " is only " + std::to_string(telemetry.durationMs) + " ms long";
        return false;
    }
    // Size 0 x 0: the pictures are decoded but converted only for the stills.
    HeadlessVideoWindow front(0, 0), rear(0, 0);
    CPlaybackSession engine;
    if (!engine.Start(&front, &rear, false)) {
        *error = "the player did not start";
        return false;
    }
    CQRVMediaPlayer& player = engine.Player();
    if (!player.Open(path.c_str())) {
        engine.Stop();
        *error = "not a playable recording: " + path;
        return false;
    }
    // Paused first, so the seek shows the frame asked for and playback stays there.
    player.Pause();
    player.WaitForWorker();
    player.SeekToMs(static_cast<int32_t>(atMs));
    player.WaitForWorker();
    result->positionMs = player.GetPositionMs();
    const std::optional<StillMoment> moment = MakeStillMoment(
        path, result->positionMs, player.GetFrameCounter(), telemetry, withPosition);
    result->moment = *moment;  // the name carries a start time, so there is a moment
    result->stills.clear();
    const int cameras = player.GetCameraCount();
    for (int camera = 0; camera < std::min(cameras, 2); ++camera)
        result->stills.push_back(
            {camera,
             (std::filesystem::path(folder) / StillFileName(moment->cameraMs, camera)).string()});
    const bool ok = WriteStills(
        result->stills, *moment,
        [&player, &retouch, frame = moment->frameIndex](int camera, const std::string& target) {
            return player.Capture(camera, target.c_str()) &&
                   (!retouch || retouch(camera, frame, target));
        },
        error);
    engine.Stop();
    return ok;
}
