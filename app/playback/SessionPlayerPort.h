#pragma once
// The controller's player over the real engine: a CPlaybackSession (readers, decoder, sound
// output and CQRVMediaPlayer) that this object owns. Each call goes straight to the player;
// see PlayerPort for the threads. The session stays reachable for what the controller does not
// carry (still capture, picture settings, the volume).

#include "app/playback/PlayerPort.h"
#include "media/CPlaybackSession.h"

class SessionPlayerPort : public PlayerPort {
public:
    bool Start(VideoWindow* front, VideoWindow* rear, bool withSound) override {
        return m_session.Start(front, rear, withSound);
    }
    void Stop() override { m_session.Stop(); }
    bool Started() const override { return m_session.Started(); }
    void SetEventCallback(PlayerEventCallback callback, void* user) override {
        Player().SetEventCallback(callback, user);
    }
    uint32_t PostOpen(const std::string& path, int32_t startMs, bool play) override {
        return Player().PostOpen(path.c_str(), startMs, play);
    }
    uint32_t PostClose() override { return Player().PostClose(); }
    void QueueNext(const std::string& path) override { Player().QueueNext(path.c_str()); }
    void Play() override { Player().Play(); }
    void Pause() override { Player().Pause(); }
    void SeekToMs(int32_t ms) override { Player().SeekToMs(ms); }
    void SeekSeconds(int seconds) override;
    void StepFrame(int direction) override { Player().StepFrame(direction); }
    void SetRatePercent(int percent) override { Player().SetRatePercent(percent); }
    int StepRate(int direction) override { return Player().StepRate(direction); }
    int RatePercent() const override { return Player().GetRatePercent(); }
    void WaitForWorker() override { Player().WaitForWorker(); }

    int32_t PositionMs() const override { return Player().GetPositionMs(); }
    int32_t DurationMs() const override { return Player().GetDuration(); }
    int32_t HandOvers() const override { return Player().GetHandOvers(); }
    bool IsSeekPending() const override { return Player().IsSeekPending(); }
    bool Ended() const override { return Player().Ended(); }
    int64_t PlayedFrames() const override { return Player().GetPlayedFrames(); }
    int64_t LateFrames() const override { return Player().GetLateFrames(); }
    int32_t ProbeLengthMs(const std::string& path) const override;

    CPlaybackSession& Session() { return m_session; }
    CQRVMediaPlayer& Player() { return m_session.Player(); }
    const CQRVMediaPlayer& Player() const { return m_session.Player(); }

private:
    CPlaybackSession m_session;
};
