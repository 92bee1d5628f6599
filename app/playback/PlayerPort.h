#pragma once
// What the playback controller asks of a player and hears back from it. The viewer plays
// through SessionPlayerPort (the real engine, CPlaybackSession); tests give the controller a
// player that answers at once, so its logic runs without files, threads or clocks.
//
// Lifecycle: Start once, then any commands, then Stop (also from the destructor of an
// implementation). Threads: every call comes from the controller's thread, except
// ProbeLengthMs, which its background probe calls from a worker thread. Events (see
// PlayerEvent) may come on any thread, without any lock of the player's held: the receiver
// only notes them and posts them on. Commands return at once unless named otherwise; the
// position reads a seek's target from the moment it is asked for.
//
// Still capture and the picture settings are not part of it: the window reaches the engine
// for those.

#include <cstdint>
#include <string>

#include "media/CQRVMediaPlayer.h"

class VideoWindow;

class PlayerPort {
public:
    virtual ~PlayerPort() = default;

    virtual bool Start(VideoWindow* front, VideoWindow* rear, bool withSound) = 0;
    virtual void Stop() = 0;
    virtual bool Started() const = 0;
    // Null stops the events.
    virtual void SetEventCallback(PlayerEventCallback callback, void* user) = 0;

    // An open reported later by an Opened or Failed event carrying the serial returned.
    virtual uint32_t PostOpen(const std::string& path, int32_t startMs, bool play) = 0;
    // What is open closes; later events of it carry an older serial than the one returned.
    virtual uint32_t PostClose() = 0;
    // The recording to hand over to when the one on screen runs out (see CQRVMediaPlayer).
    virtual void QueueNext(const std::string& path) = 0;
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void SeekToMs(int32_t ms) = 0;
    // Whole seconds counted in frames from the frame on screen (negative: back).
    virtual void SeekSeconds(int seconds) = 0;
    virtual void StepFrame(int direction) = 0;
    virtual void SetRatePercent(int percent) = 0;
    virtual int StepRate(int direction) = 0;
    virtual int RatePercent() const = 0;
    // Returns once every command given before has run.
    virtual void WaitForWorker() = 0;

    // The recording on screen: position and length in ms.
    virtual int32_t PositionMs() const = 0;
    virtual int32_t DurationMs() const = 0;
    // Seamless hand-overs made so far.
    virtual int32_t HandOvers() const = 0;
    // A seek asked for has not run yet: a frame reported now was shown before it.
    virtual bool IsSeekPending() const = 0;
    // The recording on screen was played out.
    virtual bool Ended() const = 0;
    // Frames that came due while playing, and of those the ones dropped for lateness.
    virtual int64_t PlayedFrames() const = 0;
    virtual int64_t LateFrames() const = 0;

    // Any thread: the length of a recording as it would play, -1 when it cannot be read.
    virtual int32_t ProbeLengthMs(const std::string& path) const = 0;
};
