#pragma once
// Clip export: a span of one recording, or of a trip's recordings played one after another,
// written as an MP4 in one of two tiers:
// - lossless: the front and rear cameras as two H.264 or H.265 tracks copied as recorded, titled
//   "Front camera" (the default track) and "Rear camera" (see ClipMuxer);
// - composed: both cameras in one picture with a caption line, encoded again (see
//   ClipComposer), for players that show one track and for whoever wants the time in the
//   picture.
// The sound is converted to AAC in both, unless the request leaves it out.
//
// Copying without re-encoding can only start on a key frame, so the clip starts at the front
// key frame at or before the in point; the rear track and the sound start at that same
// moment (rear frames before the rear camera's first key frame there are left out). The clip
// ends before the first front frame at or after the out point.
//
// Times: a recording's frames are numbered from its start; a trip's timeline joins its
// recordings end to end (the few seconds between two recordings of a trip are not recorded
// anywhere). Sound stays in step with the pictures across the joins: a recording whose sound
// is shorter than its pictures is padded with silence.
//
// Every recording of one clip has to share the first one's layout (picture size and frame
// rate and codec of each camera, whether there is a rear camera, the sound format): the MP4's
// tracks describe one layout, so a recording that differs is refused by name.
//
// Outputs: the MP4 and, when the request names one, the GPS track beside it (its text comes
// from the document callback once the walk is done). Both are checked first (see
// ExportTargets: never an input, never a recording), written under temporary names (see
// PendingFile) and moved into place together only when both are whole; any failure, a cancel
// or a quit signal leaves neither, and an existing file at a target is only ever replaced by
// a finished one.
//
// Threads: Export runs on the caller's thread (the window runs it on a thread of its own)
// and calls the progress and text callbacks there. Cancel may be called from any thread, also
// before Export has started.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "media/ClipComposer.h"

struct ClipRequest {
    std::vector<std::string> paths;           // played one after another
    int64_t fromMs = 0;                       // in point on the joined timeline
    int64_t toMs = 0;                         // out point
    std::string outPath;                      // the MP4 file
    std::string gpxPath;                      // the clip's GPS track; empty: none
    ClipCompose compose = ClipCompose::None;  // None: the lossless tier
    bool noSound = false;
    bool noPosition = false;  // no GPS track is written, whatever gpxPath says
    // Composed tier: the caption of the moment at timelineMs on the joined timeline; empty:
    // no caption. The caller leaves the position out of it when noPosition is set.
    std::function<std::string(int64_t timelineMs)> caption{};
    // Composed tier of one recording: called with each decoded camera picture and its frame
    // number in the recording (that camera's own count) before the caption is drawn; false
    // fails the export. The lossless tier copies packets and cannot take it.
    std::function<bool(int camera, int64_t frame, AVFrame* picture)> retouch{};
};

struct ClipSummary {
    int64_t startMs = 0;  // where the clip starts on the timeline (the key frame's time)
    int64_t endMs = 0;
    int32_t frontFrames = 0;
    int32_t rearFrames = 0;
    int64_t audioSamples = 0;
    int32_t audioRate = 0;
    // The packets written to each video track of the MP4, in track order.
    std::vector<int64_t> videoPackets;
};

enum class ClipResult { Done, Cancelled, Failed };

class ClipExporter {
public:
    // Fraction done, 0 ... 1, at most a hundred times per export.
    using Progress = std::function<void(double fraction)>;
    // A telemetry chunk inside the clip: payload (zero-terminated), its length, its time from
    // the clip's start and the index of the recording it came from.
    using TextSink =
        std::function<void(const uint8_t* payload, int32_t length, int64_t clipMs, size_t file)>;

    void SetProgress(Progress progress) { m_progress = std::move(progress); }
    void SetTextSink(TextSink sink) { m_textSink = std::move(sink); }
    // The text of the file at the request's gpxPath, asked for once the walk is done.
    using Document = std::function<std::string()>;
    void SetGpxDocument(Document document) { m_gpxDocument = std::move(document); }
    // The clip's creation_time (see ClipLayout) from the recording its first frame comes from
    // and that frame's time in it; asked for once, before anything is written.
    using CreationTime = std::function<std::string(const std::string& path, int64_t positionMs)>;
    void SetCreationTime(CreationTime creationTime) { m_creationTime = std::move(creationTime); }
    void Cancel() { m_cancel.store(true); }

    // On Cancelled or Failed no file is left at the request's outPath or gpxPath (an existing
    // file there is only replaced by a finished one), and *error says why in a sentence
    // naming the file and the cause.
    ClipResult Export(const ClipRequest& request, ClipSummary* summary, std::string* error);

private:
    ClipResult Run(const ClipRequest& request, ClipSummary* summary, std::string* error);

    Progress m_progress;
    TextSink m_textSink;
    Document m_gpxDocument;
    CreationTime m_creationTime;
    std::atomic<bool> m_cancel{false};
};
