#pragma once
// The capture command: both cameras' pictures on screen saved as JPEG files named after
// their moment (the camera clock's time, with the GPS fix when the settings allow), in the
// folder the user picks, starting where the last capture went.
//
// GUI thread only, and it never waits for the player or the disk: the pictures are asked of
// the player's worker (RequestStills) and the question comes when they are there; the JPEG
// files are encoded and written by a background job, and the note saying what was written
// comes when it is done. The questions and notes are the window's (Host); the player is the
// playback controller's.

#include <QString>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/jobs/BackgroundJob.h"
#include "telemetry/MomentStill.h"
#include "telemetry/TelemetryWalk.h"

class PlaybackController;
class WindowDialogs;
class QWidget;
struct StillPictures;

class StillCapture {
public:
    // What the capture asks of the window.
    class Host {
    public:
        // The recording on screen and the card listed; empty when none.
        virtual const std::string& CurrentPath() const = 0;
        virtual const std::string& DrivePath() const = 0;

    protected:
        ~Host() = default;
    };

    // dialogs: the save dialog, the clock and the notes; window: repainted when playback
    // resumes after the question.
    StillCapture(Host& host, WindowDialogs& dialogs, QWidget& window, PlaybackController& playback);

    // "Capture_YYYYMMDD_HHMMSS.jpg" of a local time, for a recording whose name carries no
    // start time.
    static std::string CaptureFileName(const std::tm& local);
    // "YYYYMMDD_HHMMSS.mmm.jpg" of the picture's time on the camera clock; the cameras'
    // endings make it "..._front.jpg" and "..._rear.jpg".
    static std::string CaptureFileName(int64_t cameraMs);
    // The chosen capture path without its extension, to which "_front.jpg" and "_rear.jpg"
    // are appended.
    static QString CaptureBasePath(const QString& chosenPath);

    // The telemetry of the recording on screen, as far as the walk of what plays has
    // delivered it (empty until then).
    void SetTelemetrySource(std::function<RecordingTelemetry()> source);
    // Settings key: false leaves the GPS position out of saved stills.
    void SetStillsPosition(bool withPosition) { m_bStillsPosition = withPosition; }

    // The moment of the front picture on screen (time, clock offset, GPS fix unless stills
    // leave the position out); nothing when the recording's name carries no start time.
    std::optional<StillMoment> CaptureMoment() const;
    // Where the save dialog starts.
    QString CaptureFolder() const;

    // Pauses and asks the player for the pictures on screen; when they come, asks where,
    // resumes and has the stills written, then says what was written.
    void OnCapture();
    // A capture is under way: its pictures are still to come or its files being written.
    bool Busy() const { return m_request != 0 || m_writing; }

private:
    void OnStills(const std::shared_ptr<const StillPictures>& stills);
    std::optional<StillMoment> MomentAt(int32_t positionMs, int32_t frame) const;
    void SaveStills(const QString& chosen, const std::optional<StillMoment>& moment,
                    std::shared_ptr<const StillPictures> stills);
    void Resume();

    Host& m_host;
    WindowDialogs& m_dialogs;
    QWidget& m_window;
    PlaybackController& m_playback;
    std::function<RecordingTelemetry()> m_telemetry;
    QString m_strCaptureDir;        // folder of the last capture saved
    bool m_bStillsPosition = true;  // stills carry the GPS position
    uint32_t m_request = 0;         // the player's still request awaited; 0 when none
    bool m_resume = false;          // playing when the capture began: resumes after the question
    bool m_writing = false;         // the writer's note is still to come
    BackgroundJob m_writer;         // encodes and writes the JPEG files
};
