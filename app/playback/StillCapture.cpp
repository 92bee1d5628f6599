#include "app/playback/StillCapture.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "app/dialogs/WindowDialogs.h"
#include "app/playback/PlaybackController.h"
#include "support/CPixImg.h"
#include "support/QtText.h"
#include "support/StringTable.h"
#include "support/Trace.h"
#include "telemetry/CameraClock.h"

namespace {

constexpr int kExtensionChars = 4;  // ".jpg" or any other four

QString FileNameOf(const StillTarget& target) {
    return QFileInfo(QString::fromStdString(target.path)).fileName();
}

// Encodes and writes the pictures (off the GUI thread); the file names saved and not saved.
void WriteStillFiles(const std::vector<StillTarget>& targets,
                     const std::optional<StillMoment>& moment, const StillPictures& stills,
                     QStringList* saved, QStringList* failed) {
    const auto capture = [&stills](int camera, const std::string& path) {
        const std::shared_ptr<const CPixImgBase>& picture = stills.pictures[camera];
        return picture && picture->SaveImage(path);
    };
    if (moment) {
        // Both stills appear together, with their moment, or neither does.
        std::string error;
        const bool ok = WriteStills(targets, *moment, capture, &error);
        if (!ok) Trace("Capture: %s\n", error.c_str());
        for (const StillTarget& t : targets) *(ok ? saved : failed) << FileNameOf(t);
        return;
    }
    for (const StillTarget& t : targets)
        *(capture(t.camera, t.path) ? saved : failed) << FileNameOf(t);
}

}  // namespace

StillCapture::StillCapture(Host& host, WindowDialogs& dialogs, QWidget& window,
                           PlaybackController& playback)
    : m_host(host), m_dialogs(dialogs), m_window(window), m_playback(playback) {
    QObject::connect(
        &playback, &PlaybackController::stillsTaken, &window,
        [this](const std::shared_ptr<const StillPictures>& stills) { OnStills(stills); });
}

std::string StillCapture::CaptureFileName(const std::tm& local) {
    // Zero-padded, so the files sort by the time they were taken.
    char name[96];
    std::snprintf(name, sizeof name, "Capture_%04d%02d%02d_%02d%02d%02d.jpg", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return name;
}

std::string StillCapture::CaptureFileName(int64_t cameraMs) {
    return FormatClockStemMs(cameraMs) + ".jpg";
}

QString StillCapture::CaptureBasePath(const QString& chosenPath) {
    const QString extension = QFileInfo(chosenPath).suffix();
    if (extension.isEmpty()) return chosenPath;
    // Four characters go, as for ".jpg" (so "x.jpeg" leaves "x."); a shorter extension takes
    // only itself and its dot, so the name never loses characters of its own or of its folder.
    const qsizetype cut = std::min<qsizetype>(kExtensionChars, extension.size() + 1);
    return chosenPath.left(chosenPath.size() - cut);
}

void StillCapture::SetTelemetrySource(std::function<RecordingTelemetry()> source) {
    m_telemetry = std::move(source);
}

std::optional<StillMoment> StillCapture::CaptureMoment() const {
    return MomentAt(m_playback.RecordingPositionMs(), m_playback.FrameOnScreen());
}

std::optional<StillMoment> StillCapture::MomentAt(int32_t positionMs, int32_t frame) const {
    // Until the walk of what plays has arrived the still carries the time alone.
    const RecordingTelemetry own = m_telemetry ? m_telemetry() : RecordingTelemetry();
    return MakeStillMoment(m_host.CurrentPath(), positionMs, frame, own, m_bStillsPosition);
}

QString StillCapture::CaptureFolder() const {
    // The folder of the last capture while it is there, else the user's pictures folder
    // (XDG), else the home folder.
    if (!m_strCaptureDir.isEmpty() && QFileInfo(m_strCaptureDir).isDir()) return m_strCaptureDir;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir()) return pictures;
    return QDir::homePath();
}

void StillCapture::OnCapture() {
    const PlaybackState state = m_playback.State();
    if (state != PlaybackState::Playing && state != PlaybackState::Paused) {
        m_dialogs.ShowNote(Tr(texts::kCaptureNothing));
        return;
    }
    if (m_host.DrivePath().empty()) return;
    // A capture asked for again before the first one's pictures came replaces it; playback
    // resumes after the question if it played when the first one began.
    m_resume = m_resume || state == PlaybackState::Playing;
    // Paused first, so the pictures taken are the ones on the screen: the worker runs the
    // pause before it takes them.
    m_playback.Pause();
    m_request = m_playback.RequestStills(m_playback.CameraCount() > 1);
}

void StillCapture::OnStills(const std::shared_ptr<const StillPictures>& stills) {
    if (!stills || m_request == 0 || stills->request != m_request) return;  // not ours
    m_request = 0;
    const bool resume = std::exchange(m_resume, false);
    if (!stills->ok || !m_playback.HasMedia()) {
        // Closed or replaced while the pictures were asked for: nothing on screen to save.
        Trace("Capture: %s\n", stills->ok ? "closed meanwhile" : stills->error.c_str());
        m_dialogs.ShowNote(Tr(texts::kCaptureNothing));
        return;
    }
    const std::optional<StillMoment> moment = MomentAt(stills->positionMs, stills->frame);
    const std::string name =
        moment ? CaptureFileName(moment->cameraMs) : CaptureFileName(m_dialogs.LocalTime());
    const QString proposed = QDir(CaptureFolder()).filePath(QString::fromStdString(name));
    const QString chosen = m_dialogs.RunCaptureDialog(proposed);
    if (!chosen.isEmpty()) SaveStills(chosen, moment, stills);
    if (resume) Resume();
}

void StillCapture::Resume() {
    m_playback.Play();
    m_window.update();
}

void StillCapture::SaveStills(const QString& chosen, const std::optional<StillMoment>& moment,
                              std::shared_ptr<const StillPictures> stills) {
    m_strCaptureDir = QFileInfo(chosen).absolutePath();
    const QString base = CaptureBasePath(chosen);
    std::vector<StillTarget> targets{{0, (base + QStringLiteral("_front.jpg")).toStdString()}};
    if (stills->pictures[1])
        targets.push_back({1, (base + QStringLiteral("_rear.jpg")).toStdString()});
    m_writing = true;
    m_writer.Start([this, targets, moment, stills = std::move(stills)](JobContext& job) {
        QStringList saved, failed;
        WriteStillFiles(targets, moment, *stills, &saved, &failed);
        job.Post([this, saved, failed] {
            m_writing = false;
            // Say what was written, and what could not be (a read-only or vanished folder).
            QStringList lines;
            if (!saved.isEmpty()) lines << Tr(texts::kCaptureSaved, saved.join(", "));
            if (!failed.isEmpty()) lines << Tr(texts::kCaptureFailed, failed.join(", "));
            m_dialogs.ShowNote(lines.join(QLatin1Char('\n')));
        });
    });
}
