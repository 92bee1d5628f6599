#pragma once
// A player for the playback controller's tests that answers at once and on the caller's
// thread: an open is reported within PostOpen, a seek lands within its call, and frames,
// hand-overs and the end come only when the test plays time forward with Advance. Nothing
// runs on a clock or a thread of its own, so every case is exact and quick.
//
// Recordings are named in advance with their lengths; any other path is refused. Frames come
// every kFrameMs (20 a second), so positions land on multiples of 50 ms.

#include <map>
#include <string>
#include <vector>

#include "app/playback/PlayerPort.h"

class FakePlayer : public PlayerPort {
public:
    static constexpr int32_t kFrameMs = 50;

    struct Recording {
        int32_t lengthMs = 0;
        // A queued next that differs in sound format or frame rate is not joined on.
        bool joinable = true;
        // Cut while it played: its pictures end here, before the length (-1: they do not).
        int32_t picturesEndMs = -1;
    };
    // Before the controller starts; read from the controller's probe thread afterwards.
    void Add(const std::string& path, Recording recording) { m_recordings[path] = recording; }

    // Plays ms of time while playing: a FrameShown per frame, a HandOver when a queued next
    // takes over, Ended when the recording on screen is played out.
    void Advance(int32_t ms);

    // What was asked: each open's path, each path queued.
    const std::vector<std::string>& Opens() const { return m_opens; }
    const std::vector<std::string>& Queued() const { return m_queued; }
    bool IsPlaying() const { return m_playing; }

    bool Start(VideoWindow*, VideoWindow*, bool) override { return m_started = true; }
    void Stop() override { m_started = false; }
    bool Started() const override { return m_started; }
    void SetEventCallback(PlayerEventCallback callback, void* user) override {
        m_callback = callback, m_user = user;
    }
    uint32_t PostOpen(const std::string& path, int32_t startMs, bool play) override;
    uint32_t PostClose() override;
    void QueueNext(const std::string& path) override;
    void Play() override;
    void Pause() override { m_playing = false; }
    void SeekToMs(int32_t ms) override;
    void SeekSeconds(int seconds) override { SeekToMs(m_positionMs + seconds * 1000); }
    void StepFrame(int direction) override;
    void SetRatePercent(int percent) override { m_rate = percent; }
    int StepRate(int direction) override {
        return m_rate = direction > 0 ? m_rate * 2 : m_rate / 2;
    }
    int RatePercent() const override { return m_rate; }
    void WaitForWorker() override {}

    int32_t PositionMs() const override { return m_positionMs; }
    int32_t DurationMs() const override { return m_open ? m_open->lengthMs : 0; }
    int32_t HandOvers() const override { return m_handOvers; }
    bool IsSeekPending() const override { return false; }
    bool Ended() const override { return m_ended; }
    int64_t PlayedFrames() const override { return m_playedFrames; }
    int64_t LateFrames() const override { return 0; }
    int32_t ProbeLengthMs(const std::string& path) const override;

private:
    void Notify(PlayerEvent::Kind kind, const char* reason = "");
    // The frame on screen moves one on; false once the recording on screen has none left.
    bool NextFrame();
    void End();
    int32_t LastPictureMs() const;

    std::map<std::string, Recording> m_recordings;
    PlayerEventCallback m_callback = nullptr;
    void* m_user = nullptr;
    bool m_started = false;
    uint32_t m_serial = 0;
    const Recording* m_open = nullptr;  // null: nothing open
    std::string m_next;                 // queued, empty: none
    int32_t m_positionMs = 0;
    int32_t m_sinceFrameMs = 0;  // time played since the frame on screen came
    int32_t m_handOvers = 0;
    int64_t m_playedFrames = 0;
    int m_rate = 100;
    bool m_playing = false;
    bool m_ended = false;
    std::vector<std::string> m_opens, m_queued;
};
