#include "app/redaction/RedactionTool.h"

#include <QKeyEvent>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "app/playback/PlaybackController.h"
#include "app/redaction/RedactionOverlay.h"
#include "app/redaction/RegionJobs.h"
#include "app/redaction/RegionListPanel.h"
#include "app/view/QtVideoArea.h"
#include "redact/RecordingShape.h"
#include "support/QtText.h"
#include "support/StringTable.h"

namespace {

// A saved file that cannot be laid over the recording is kept beside, under this suffix.
constexpr const char* kUnreadableSuffix = ".unreadable";

// Reads the recording's cameras and its saved regions; a saved file that does not fit is
// moved aside (never written over) and named in *error.
RegionEdit LoadRegions(const std::string& path, const std::string& masksPath, QString* error) {
    RegionEdit edit;
    RecordingShape shape;
    std::string why;
    if (!ReadRecordingShape(path, &shape, &why)) {
        *error = Tr(texts::kLoadFailed, why);
        return edit;
    }
    edit.Reset(std::filesystem::path(path).filename().string(), shape.durationMs, shape.cameras);
    std::error_code ec;
    if (!std::filesystem::exists(masksPath, ec) || edit.Load(masksPath, &why)) return edit;
    std::filesystem::rename(masksPath, masksPath + kUnreadableSuffix, ec);
    *error = Tr(texts::kLoadFailed, why + " (" + masksPath + kUnreadableSuffix + ")");
    return edit;
}

}  // namespace

std::string RedactionTool::MasksPathFor(const std::string& recordingPath) {
    std::string dataHome;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/')
        dataHome = xdg;
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        dataHome = std::string(home) + "/.local/share";
    return RegionEdit::PathFor(dataHome, recordingPath);
}

RedactionTool::RedactionTool(PlaybackController& playback, QtVideoArea* front, QtVideoArea* rear,
                             QWidget& window, Host host)
    : QObject(&window), m_playback(playback), m_window(window), m_host(std::move(host)) {
    QtVideoArea* areas[2] = {front, rear};
    for (int camera = 0; camera < 2; ++camera) {
        RedactionOverlay::Source source{
            &m_edit, [this, camera] { return FrameOnScreen(camera); },
            [this, camera] { return camera == 1 && m_host.rearMirrored && m_host.rearMirrored(); },
            [this] { return m_selected; }};
        auto* overlay = new RedactionOverlay(areas[camera], camera, std::move(source));
        m_overlays[camera] = overlay;
        connect(overlay, &RedactionOverlay::boxDrawn, this,
                [this](int c, qint64 frame, const QRect& box) { OnBoxDrawn(c, frame, box); });
        connect(overlay, &RedactionOverlay::regionPressed, this, [this](int id) { Select(id); });
        connect(overlay, &RedactionOverlay::boxChanged, this,
                [this](int id, qint64 frame, const QRect& box) { OnBoxChanged(id, frame, box); });
    }
    connect(&m_playback, &PlaybackController::recordingChanged, this,
            [this](const QString& path) { OnRecordingChanged(path); });
    connect(&m_job, &BackgroundJob::progress, this, [this](double fraction) {
        if (m_panel) m_panel->SetProgress(fraction);
    });
}

RedactionTool::~RedactionTool() = default;

RegionListPanel* RedactionTool::Panel() const {
    return m_panel;
}

int64_t RedactionTool::FrameOnScreen(int camera) const {
    if (m_path.empty() || !m_loaded || !m_host.frontFrame) return -1;
    const int64_t front = m_host.frontFrame();
    const MaskCamera* f = m_edit.Set().Camera(0);
    const MaskCamera* c = m_edit.Set().Camera(camera);
    if (!f || !c || front < 0) return -1;
    return std::min(c->frames - 1, camera == 0 ? front : front * c->frames / f->frames);
}

void RedactionTool::OnRecordingChanged(const QString& path) {
    const std::string shown = path.toStdString();
    if (shown == m_path) return;
    m_job.Cancel();
    m_busy = false;
    if (m_panel) m_panel->ShowIdle();
    m_path = shown;
    m_masksPath = shown.empty() ? std::string() : MasksPathFor(shown);
    m_loaded = false;
    m_selected = 0;
    m_edit = RegionEdit();
    if (shown.empty()) {
        m_loadJob.Cancel();
        Leave();
    } else {
        m_loadJob.Start([this, shown, masks = m_masksPath](JobContext& job) {
            QString error;
            RegionEdit edit = LoadRegions(shown, masks, &error);
            job.Post([this, edit = std::move(edit), error]() mutable {
                OnLoaded(std::move(edit), error);
            });
        });
    }
    Changed();
}

void RedactionTool::OnLoaded(RegionEdit edit, const QString& error) {
    m_edit = std::move(edit);
    m_loaded = !m_edit.Set().cameras.empty();
    if (!error.isEmpty() && m_host.message) m_host.message(error);
    if (m_panel) m_panel->Refill(m_edit, m_selected);
    for (RedactionOverlay* overlay : m_overlays) overlay->update();
    emit regionsChanged();
}

void RedactionTool::Toggle() {
    if (m_on) {
        Leave();
        return;
    }
    if (m_path.empty()) return;
    m_host.pause();
    m_on = true;
    for (RedactionOverlay* overlay : m_overlays) overlay->SetEditing(true);
    ShowPanel().show();
}

void RedactionTool::Leave() {
    if (!m_on) return;
    m_on = false;
    for (RedactionOverlay* overlay : m_overlays) overlay->SetEditing(false);
    if (m_panel) m_panel->hide();
}

bool RedactionTool::HandleKey(int key) {
    if (!m_on) return false;
    if (key == Qt::Key_Escape) {
        Leave();
        return true;
    }
    if (key == Qt::Key_Delete) {
        DeleteSelected();
        return true;
    }
    return false;
}

RegionListPanel& RedactionTool::ShowPanel() {
    if (!m_panel) {
        m_panel = new RegionListPanel(&m_window);
        const QRect frame = m_window.frameGeometry();
        m_panel->move(frame.right() + 1, frame.top());
        connect(m_panel, &RegionListPanel::regionChosen, this, [this](int id) {
            Select(id);
            if (const MaskRegion* r = m_edit.Region(id); r && !r->boxes.empty())
                m_host.seekToRecordingMs(r->boxes.front().timeMs);
        });
        connect(m_panel, &RegionListPanel::detectAsked, this, &RedactionTool::Detect);
        connect(m_panel, &RegionListPanel::cutAsked, this, &RedactionTool::CutSelected);
        connect(m_panel, &RegionListPanel::deleteAsked, this, &RedactionTool::DeleteSelected);
        connect(m_panel, &RegionListPanel::acceptAsked, this, &RedactionTool::AcceptSuggestion);
        connect(m_panel, &RegionListPanel::dismissAsked, this, &RedactionTool::DismissSuggestion);
        connect(m_panel, &RegionListPanel::kindChosen, this, [this](MaskKind kind) {
            if (m_edit.SetKind(m_selected, kind)) Changed();
        });
        connect(m_panel, &RegionListPanel::cancelAsked, this, [this] {
            m_job.Cancel();
            EndJob(false, QString());
        });
        connect(m_panel, &RegionListPanel::closed, this, &RedactionTool::Leave);
        m_panel->Refill(m_edit, m_selected);
    }
    return *m_panel;
}

void RedactionTool::Select(int id) {
    m_selected = m_edit.Region(id) ? id : 0;
    if (m_panel) m_panel->Refill(m_edit, m_selected);
    for (RedactionOverlay* overlay : m_overlays) overlay->update();
}

std::string RedactionTool::MasksForClip(const std::vector<std::string>& paths) const {
    if (paths.size() != 1 || paths[0] != m_path || !m_loaded || m_edit.Regions().empty()) return {};
    std::error_code ec;
    return std::filesystem::exists(m_masksPath, ec) ? m_masksPath : std::string();
}

std::pair<int64_t, int64_t> RedactionTool::StretchAround(int camera, int64_t frame) const {
    const MaskCamera* c = m_edit.Set().Camera(camera);
    const int64_t duration = std::max<int64_t>(1, m_edit.Set().durationMs);
    const auto toFrame = [&](int64_t ms) {
        return std::clamp<int64_t>(ms * c->frames / duration, 0, c->frames - 1);
    };
    const int64_t atMs = frame * duration / std::max<int64_t>(1, c->frames);
    auto [in, out] = m_host.marksMs ? m_host.marksMs() : std::pair<int64_t, int64_t>{-1, -1};
    if (in < 0 || in > atMs) in = atMs - kDefaultStretchMs;
    if (out < 0 || out < atMs) out = atMs + kDefaultStretchMs;
    return {std::min(toFrame(in), frame), std::max(toFrame(out), frame)};
}

// ---- editing ----

void RedactionTool::Changed() {
    std::string error;
    if (m_loaded && !m_masksPath.empty() && !m_edit.Save(m_masksPath, &error) && m_host.message)
        m_host.message(Tr(texts::kSaveFailed, error));
    if (!m_edit.Region(m_selected)) m_selected = 0;
    if (m_panel) m_panel->Refill(m_edit, m_selected);
    for (RedactionOverlay* overlay : m_overlays) overlay->update();
    emit regionsChanged();
}

void RedactionTool::OnBoxChanged(int id, int64_t frame, const QRect& picture) {
    if (m_edit.SetBox(id, frame, picture.x(), picture.y(), picture.width(), picture.height())) {
        m_selected = id;
        Changed();
    }
}

void RedactionTool::CutSelected() {
    const MaskRegion* region = m_edit.Region(m_selected);
    if (region && m_edit.Cut(m_selected, FrameOnScreen(region->camera))) Changed();
}

void RedactionTool::DeleteSelected() {
    if (m_edit.Remove(m_selected)) Changed();
}

void RedactionTool::AcceptSuggestion(int index) {
    if (index < 0) return;
    if (const int id = m_edit.Accept(static_cast<size_t>(index))) m_selected = id;
    Changed();
}

void RedactionTool::DismissSuggestion(int index) {
    if (index >= 0 && m_edit.Dismiss(static_cast<size_t>(index))) Changed();
}

// ---- following and detecting ----

void RedactionTool::StartJob(const QString& text, BackgroundJob::Work work) {
    ShowPanel().ShowBusy(text);
    m_busy = true;
    m_job.Start(std::move(work));
}

void RedactionTool::EndJob(bool succeeded, const QString& note) {
    m_busy = false;
    if (m_panel) m_panel->ShowIdle(note);
    emit jobFinished(succeeded);
}

void RedactionTool::OnBoxDrawn(int camera, int64_t frame, const QRect& picture) {
    if (!m_loaded || m_busy || !m_edit.Set().Camera(camera)) return;
    TrackRequest q;
    q.camera = camera;
    q.atFrame = frame;
    q.drawn = MaskBox{
        frame, 0, picture.x(), picture.y(), picture.width(), picture.height(), MaskSource::Hand};
    std::tie(q.firstFrame, q.lastFrame) = StretchAround(camera, frame);
    q.kind = m_panel ? m_panel->NewKind() : MaskKind::Plate;
    q.tracker = TrackerKind::Kcf;
    StartJob(Tr(texts::kTracking), [this, q, path = m_path](JobContext& job) {
        MaskRegion region;
        std::string error;
        const bool tracked = RunRegionTracking(path, q, job, &region, &error);
        job.Post([this, region = std::move(region), tracked, error]() mutable {
            OnTracked(std::move(region), tracked, error);
        });
    });
}

void RedactionTool::OnTracked(MaskRegion region, bool succeeded, const std::string& error) {
    if (!succeeded) {
        EndJob(false, Tr(texts::kTrackFailed, error));
        return;
    }
    m_selected = m_edit.Add(std::move(region));
    Changed();
    EndJob(true, QString());
}

void RedactionTool::Detect() {
    if (!m_loaded || m_busy) return;
    m_host.pause();
    DetectRequest q;
    q.cameras.clear();
    for (const MaskCamera& c : m_edit.Set().cameras) q.cameras.push_back(c.camera);
    // The detector counts every camera's pictures on the front's frames.
    std::tie(q.firstFrame, q.lastFrame) = StretchAround(0, std::max<int64_t>(0, FrameOnScreen(0)));
    StartJob(Tr(texts::kDetecting), [this, q, path = m_path](JobContext& job) {
        std::vector<MaskRegion> found;
        std::string error;
        const bool detected = RunRegionDetection(path, q, job, &found, &error);
        job.Post([this, found = std::move(found), detected, error]() mutable {
            OnDetected(std::move(found), detected, error);
        });
    });
}

void RedactionTool::OnDetected(std::vector<MaskRegion> found, bool succeeded,
                               const std::string& error) {
    if (!succeeded) {
        EndJob(false, Tr(texts::kDetectFailed, error));
        return;
    }
    const bool none = found.empty();
    m_edit.SetSuggestions(std::move(found));
    Changed();
    // Never a promise that nothing else needs blurring.
    EndJob(true, Tr(none ? texts::kNothingFound : texts::kSuggestions));
}
