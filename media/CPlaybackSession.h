#pragma once
// One playback session: the container readers (one for the recording playing, one to open
// the next recording ahead of time), the decoder, the sound output and the player, wired
// together once. The window, tarvex-tool, the benchmarks and the tests all play
// through one of these.
//
// Ownership and shutdown: the parts are members in the order readers, decoder, output,
// player, so the player (and with it its threads) goes first; Stop (or the destructor) joins
// the threads before anything they use is freed.
//
// Threads: Start, Stop and SetVolume come from the owner's thread; the parts document their
// own threads.

#include <cstdint>

#include "media/CAVIExtractor.h"
#include "media/CDecoder.h"
#include "media/CQRVMediaPlayer.h"
#include "media/CWaveBox.h"

class VideoWindow;

class CPlaybackSession {
public:
    CPlaybackSession() = default;
    ~CPlaybackSession() { Stop(); }
    CPlaybackSession(const CPlaybackSession&) = delete;
    CPlaybackSession& operator=(const CPlaybackSession&) = delete;

    // Wires the parts and starts the player's threads. Without sound the picture runs on the
    // clock alone.
    bool Start(VideoWindow* frontWindow, VideoWindow* rearWindow, bool withSound = true);
    // Stops and joins the player's threads; the parts stay usable for inspection.
    void Stop();
    bool Started() const { return m_started; }

    // The wave output's volume word (low 16 bits left, high 16 bits right; 0xFFFF full).
    void SetVolume(uint32_t volume) { m_output.SetVolume(volume); }
    uint32_t GetVolume() const { return m_output.GetVolume(); }

    CQRVMediaPlayer& Player() { return m_player; }
    const CQRVMediaPlayer& Player() const { return m_player; }
    CWaveBox& Output() { return m_output; }
    CDecoder& Decoder() { return m_decoder; }

private:
    CAVIExtractor m_reader;
    CAVIExtractor m_nextReader;  // the player swaps the two at each seamless hand-over
    CDecoder m_decoder;
    CWaveBox m_output;
    CQRVMediaPlayer m_player;  // last: destroyed first, its threads joined before the rest
    bool m_started = false;    // owner's thread only
};
