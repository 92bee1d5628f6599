#pragma once
// The window's redaction tool: boxes drawn over a plate or a face on the front or rear
// picture, followed forward and backward through the marked stretch on a background job,
// shown as outlines over the pictures while they play, moved, resized, cut and deleted; the
// detector's suggestions, each accepted or dismissed by the user. The regions of the
// recording on screen are kept in its masks file in the user's data folder
// ($XDG_DATA_HOME/tarvex/masks/NAME.masks.json, never on the card), saved after every change
// and read again when the recording is shown; the export and the evidence package take that
// file to blur what it marks.
//
// R or the slider's menu turns the tool on (paused) and off; while it is on, the pictures
// take the mouse (RedactionOverlay) and the list of regions shows (RegionListPanel).
//
// Threads: GUI thread only. Reading the recording's shape and the masks file, following and
// detecting run as BackgroundJobs and post their results; the window never waits for them.

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/jobs/BackgroundJob.h"
#include "redact/RegionEdit.h"

class PlaybackController;
class QtVideoArea;
class QWidget;
class RedactionOverlay;
class RegionListPanel;

class RedactionTool : public QObject {
    Q_OBJECT
public:
    struct Host {
        std::function<void()> pause;
        // The front camera's frame on screen.
        std::function<int64_t()> frontFrame;
        std::function<void(int64_t)> seekToRecordingMs;
        // The in and out marks on the recording on screen's own times; -1: unset.
        std::function<std::pair<int64_t, int64_t>()> marksMs;
        std::function<bool()> rearMirrored;
        std::function<void(const QString&)> message;
    };
    // The stretch followed or searched around the picture when no marks hold it.
    static constexpr int64_t kDefaultStretchMs = 5000;

    RedactionTool(PlaybackController& playback, QtVideoArea* front, QtVideoArea* rear,
                  QWidget& window, Host host);
    ~RedactionTool() override;

    // R and the slider menu's entry: on (paused, the list shown) or off.
    void Toggle();
    bool IsOn() const { return m_on; }
    // Delete and Escape while the tool is on; true when the key was taken.
    bool HandleKey(int key);

    // The masks file of a clip of these recordings: the one recording on screen with saved
    // regions; empty otherwise.
    std::string MasksForClip(const std::vector<std::string>& paths) const;

    // ---- for the list, the overlays and tests ----
    const RegionEdit& Edit() const { return m_edit; }
    int Selected() const { return m_selected; }
    void Select(int id);
    const std::string& MasksPath() const { return m_masksPath; }
    // The recording's shape and saved regions have arrived.
    bool IsLoaded() const { return m_loaded; }
    // Following or detecting runs (until its result is shown).
    bool IsBusy() const { return m_busy; }
    RegionListPanel* Panel() const;
    RedactionOverlay* Overlay(int camera) const { return m_overlays[camera]; }
    // The frame of a camera on screen (the rear's is the front's moment at the rear's rate).
    int64_t FrameOnScreen(int camera) const;
    // Where the regions of a recording are kept ($XDG_DATA_HOME, else ~/.local/share).
    static std::string MasksPathFor(const std::string& recordingPath);

    void OnBoxDrawn(int camera, int64_t frame, const QRect& picture);
    void OnBoxChanged(int id, int64_t frame, const QRect& picture);
    void CutSelected();
    void DeleteSelected();
    void Detect();
    void AcceptSuggestion(int index);
    void DismissSuggestion(int index);

signals:
    // The regions changed (and were saved), or the recording on screen did.
    void regionsChanged();
    // A follow or a detection ended, its result applied.
    void jobFinished(bool succeeded);

private:
    void OnRecordingChanged(const QString& path);
    void OnLoaded(RegionEdit edit, const QString& error);
    void Leave();
    RegionListPanel& ShowPanel();
    // The stretch of frames of camera around frame: the marks when they hold it, else
    // kDefaultStretchMs either side, within the recording.
    std::pair<int64_t, int64_t> StretchAround(int camera, int64_t frame) const;
    void StartJob(const QString& text, BackgroundJob::Work work);
    void OnTracked(MaskRegion region, bool succeeded, const std::string& error);
    void OnDetected(std::vector<MaskRegion> found, bool succeeded, const std::string& error);
    void EndJob(bool succeeded, const QString& note);
    // Saves the regions and shows them again.
    void Changed();

    PlaybackController& m_playback;
    QWidget& m_window;
    Host m_host;
    RegionEdit m_edit;
    std::string m_path;       // the recording the regions belong to; empty: none
    std::string m_masksPath;  // its masks file
    bool m_loaded = false;
    bool m_on = false;
    bool m_busy = false;  // from StartJob to EndJob
    int m_selected = 0;
    RedactionOverlay* m_overlays[2] = {nullptr, nullptr};  // children of the picture areas
    QPointer<RegionListPanel> m_panel;                     // child of the window, made at first use
    BackgroundJob m_loadJob;                               // reads the shape and the masks file
    BackgroundJob m_job;                                   // follows or detects
};
