#include "app/playback/SessionPlayerPort.h"

#include "media/CAVIExtractor.h"

void SessionPlayerPort::SeekSeconds(int seconds) {
    if (seconds >= 0)
        Player().SeekForward(seconds);
    else
        Player().SeekBackward(-seconds);
}

int32_t SessionPlayerPort::ProbeLengthMs(const std::string& path) const {
    // A reader of its own: the session's readers belong to the player's worker.
    CAVIExtractor reader;
    int32_t length = 0;
    if (!CQRVMediaPlayer::ProbeFile(path.c_str(), reader, &length, nullptr)) return -1;
    return length;
}
