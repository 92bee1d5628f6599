#include "app/dialogs/ClipExportCommand.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <optional>

#include "app/dialogs/CEvidenceDlg.h"
#include "library/CardRoot.h"
#include "media/ExportTargets.h"
#include "support/QtText.h"
#include "support/StringTable.h"
#include "telemetry/CameraClock.h"
#include "telemetry/ClipGpx.h"

namespace {

// Numbered alternatives tried when the proposed clip name is taken.
constexpr int kProposalAttempts = 100;
constexpr int64_t kMsPerSec = 1000;

}  // namespace

ClipExportCommand::ClipExportCommand(QWidget& parent, Dialogs dialogs)
    : m_parent(parent), m_dialogs(std::move(dialogs)) {}

QString ClipExportCommand::Title() {
    return Tr(texts::kExportTitle);
}

QString ClipExportCommand::FileFilter() {
    return Tr(texts::kMp4Filter);
}

QString ClipExportCommand::VideosFolder() {
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (!videos.isEmpty() && QFileInfo(videos).isDir()) return videos;
    return QDir::homePath();
}

QString ClipExportCommand::ClipFolder() const {
    if (!m_lastFolder.isEmpty() && QFileInfo(m_lastFolder).isDir()) return m_lastFolder;
    return VideosFolder();
}

QString ClipExportCommand::ProposedClipPath(const std::vector<std::string>& inputs,
                                            const TripTimeline& timeline, int64_t fromMs,
                                            const QString& folder) {
    const std::string& first = inputs.front();
    std::string stem = first.substr(first.find_last_of('/') + 1);
    stem = stem.substr(0, stem.find_last_of('.'));
    // The in point on the camera clock of the recording holding it, never before its start.
    const int64_t before = std::min<int64_t>(timeline.At(fromMs).offsetMs, 0);
    if (const std::optional<int64_t> ms = timeline.ClockMsAt(fromMs - before))
        stem = FormatClockStem(*ms / kMsPerSec);
    const QString where = folder.isEmpty() ? VideosFolder() : folder;
    const std::string base = where.toStdString() + "/" + stem + "_clip";
    std::string path = base + ".mp4";
    for (int n = 2; n <= kProposalAttempts; ++n) {
        if (!QFileInfo::exists(QString::fromStdString(path)) &&
            CheckExportTargets(inputs, {path, ClipGpx::PathBeside(path)}, nullptr))
            break;
        path = base + "-" + std::to_string(n) + ".mp4";
    }
    return QString::fromStdString(path);
}

ClipExportCommand::Stretch ClipExportCommand::MomentStretch(int64_t atMs, int64_t lengthMs) {
    Stretch s;
    s.lengthMs = std::max<int64_t>(lengthMs, 0);
    s.atMs = std::clamp<int64_t>(atMs, 0, std::max<int64_t>(s.lengthMs - 1, 0));
    s.fromMs = std::max<int64_t>(s.atMs - kMomentStretchMs, 0);
    s.toMs = std::min(s.atMs + kMomentStretchMs, s.lengthMs);
    return s;
}

void ClipExportCommand::Export(ClipRequest request, const TripTimeline& timeline, double unitsPerG,
                               int64_t atMs, bool marked) {
    CExportDlg::Choice choice = m_choice;
    choice.masks = m_dialogs.masksFor ? m_dialogs.masksFor(request.paths) : std::string();
    if (!m_dialogs.options(&choice)) return;
    if (choice.evidencePackage) {
        choice.evidencePackage = false;
        m_choice = choice;
        const int64_t length = request.toMs;  // unmarked: the span is the whole timeline
        if (!marked && atMs >= 0) {
            const Stretch moment = MomentStretch(atMs, length);
            request.fromMs = moment.fromMs, request.toMs = moment.toMs;
        }
        Package(request, timeline, atMs, marked ? -1 : length);
        return;
    }
    const QString chosen =
        m_dialogs.path(ProposedClipPath(request.paths, timeline, request.fromMs, ClipFolder()));
    if (chosen.isEmpty()) return;
    m_lastFolder = QFileInfo(chosen).absolutePath();
    request.outPath = chosen.toStdString();
    const std::string gpxPath = ClipGpx::PathBeside(request.outPath);
    // The file dialog's own "replace?" question knows nothing of recordings: a recording
    // chosen anyway is refused here, before anything is written.
    std::string refusal;
    if (!CheckExportTargets(request.paths, {request.outPath, gpxPath}, &refusal)) {
        m_dialogs.message(Tr(texts::kExportFailed, refusal.c_str()));
        return;
    }
    m_choice = choice;
    choice.unitsPerG = unitsPerG;
    CExportDlg dialog(&m_parent, request, gpxPath, choice);
    dialog.Start();
    m_dialogs.run(dialog);
}

void ClipExportCommand::Package(const ClipRequest& span, const TripTimeline& timeline, int64_t atMs,
                                int64_t lengthMs) {
    if (!m_dialogs.evidenceFolder || !m_dialogs.runEvidence) return;
    Stretch stretch;
    stretch.fromMs = span.fromMs, stretch.toMs = span.toMs;
    stretch.atMs = atMs >= span.fromMs && atMs < span.toMs ? atMs : (span.fromMs + span.toMs) / 2;
    stretch.lengthMs = lengthMs >= span.toMs ? lengthMs : span.toMs;
    stretch.masks = m_dialogs.masksFor ? m_dialogs.masksFor(span.paths) : std::string();
    stretch.blur = m_choice.blur;
    if (m_dialogs.evidenceStretch && !m_dialogs.evidenceStretch(&stretch)) return;
    // Whatever the answer, the stretch stays within the timeline and holds its picture.
    stretch.fromMs = std::clamp<int64_t>(stretch.fromMs, 0, stretch.atMs);
    stretch.toMs = std::clamp<int64_t>(stretch.toMs, stretch.atMs + 1,
                                       std::max(stretch.lengthMs, stretch.atMs + 1));
    const QString folder = m_dialogs.evidenceFolder(
        CEvidenceDlg::ProposedFolder(span.paths, timeline, stretch.fromMs));
    if (folder.isEmpty()) return;
    PackageRequest request;
    request.paths = span.paths;
    request.fromMs = stretch.fromMs;
    request.toMs = stretch.toMs;
    request.atMs = stretch.atMs;
    request.outDir = folder.toStdString();
    request.noSound = m_choice.noSound;
    request.noPosition = m_choice.noPosition;
    request.mph = m_choice.mph;
    if (!stretch.masks.empty()) m_choice.blur = stretch.blur;
    CEvidenceDlg dialog(&m_parent, std::move(request));
    if (stretch.blur) dialog.SetRedaction(stretch.masks);
    dialog.Start();
    m_dialogs.runEvidence(dialog);
}
