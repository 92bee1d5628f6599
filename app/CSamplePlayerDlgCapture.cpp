// Still capture: both cameras' pictures saved as JPEG files named after their moment.
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdio>

#include "app/CSamplePlayerDlg.h"
#include "app/QtNoteLabel.h"
#include "support/StringTable.h"
#include "support/Trace.h"
#include "telemetry/CameraClock.h"

namespace {

constexpr int kExtensionChars = 4;  // ".jpg" or any other four
constexpr int IDS_CAPTURE_SAVED_KO = 562, IDS_CAPTURE_SAVED_EN = 563;
constexpr int IDS_CAPTURE_FAILED_KO = 564, IDS_CAPTURE_FAILED_EN = 565;
constexpr int IDS_CAPTURE_NOTHING_KO = 566, IDS_CAPTURE_NOTHING_EN = 567;

QString Text(int koreanId, int englishId, const QString& argument = QString()) {
    const std::string arg = argument.toStdString();
    return QString::fromStdString(
        FormatResourceString(PickStringId(koreanId, englishId), arg.c_str()));
}

}  // namespace

std::string CSamplePlayerDlg::CaptureFileName(const std::tm& local) {
    // Zero-padded, so the files sort by the time they were taken.
    char name[96];
    std::snprintf(name, sizeof name, "Capture_%04d%02d%02d_%02d%02d%02d.jpg", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return name;
}

std::string CSamplePlayerDlg::CaptureFileName(int64_t cameraMs) {
    return FormatClockStemMs(cameraMs) + ".jpg";
}

std::optional<StillMoment> CSamplePlayerDlg::CaptureMoment() const {
    // The walk of what plays holds the fixes; until it has arrived the still carries the time
    // alone. A trip's walk is cut to the recording on screen.
    const RecordingTelemetry own = m_pTimeline->PartOf(m_strCurrentPath);
    return MakeStillMoment(m_strCurrentPath, m_player.GetPositionMs(), m_player.GetFrameCounter(),
                           own, m_bStillsPosition);
}

QString CSamplePlayerDlg::CaptureFolder() const {
    // The folder of the last capture while it is there, else the user's pictures folder
    // (XDG), else the home folder.
    if (!m_strCaptureDir.isEmpty() && QFileInfo(m_strCaptureDir).isDir()) return m_strCaptureDir;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir()) return pictures;
    return QDir::homePath();
}

QString CSamplePlayerDlg::CaptureBasePath(const QString& chosenPath) {
    const QString extension = QFileInfo(chosenPath).suffix();
    if (extension.isEmpty()) return chosenPath;
    // Four characters go, as for ".jpg" (so "x.jpeg" leaves "x."); a shorter extension takes
    // only itself and its dot, so the name never loses characters of its own or of its folder.
    const qsizetype cut = std::min<qsizetype>(kExtensionChars, extension.size() + 1);
    return chosenPath.left(chosenPath.size() - cut);
}

std::tm CSamplePlayerDlg::LocalTime() const {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

QString CSamplePlayerDlg::RunCaptureDialog(const QString& proposedPath) {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("jpeg file (*.jpg)"));
    const QFileInfo proposed(proposedPath);
    dialog.setDirectory(proposed.absolutePath());
    dialog.selectFile(proposed.fileName());  // no default extension; overwriting is asked about
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
}

void CSamplePlayerDlg::OnBnClickedButtonCapture() {
    if (!IsPlayerActive()) {
        ShowNote(Text(IDS_CAPTURE_NOTHING_KO, IDS_CAPTURE_NOTHING_EN));
        return;
    }
    if (DrivePath().empty()) return;
    const bool wasPlaying = m_playback.State() == PlaybackState::Playing;
    // Paused first, so the picture saved is the one on the screen.
    m_playback.Pause();
    // The worker has shown what it was showing when the pause came; that is the moment.
    m_player.WaitForWorker();
    const std::optional<StillMoment> moment = CaptureMoment();
    const std::string name =
        moment ? CaptureFileName(moment->cameraMs) : CaptureFileName(LocalTime());
    const QString proposed = QDir(CaptureFolder()).filePath(QString::fromStdString(name));
    const QString chosen = RunCaptureDialog(proposed);
    if (!chosen.isEmpty()) {
        m_strCaptureDir = QFileInfo(chosen).absolutePath();
        const QString base = CaptureBasePath(chosen);
        std::vector<StillTarget> targets{{0, (base + QStringLiteral("_front.jpg")).toStdString()}};
        if (m_player.GetCameraCount() > 1)
            targets.push_back({1, (base + QStringLiteral("_rear.jpg")).toStdString()});
        const auto capture = [this](int camera, const std::string& path) {
            return m_player.Capture(camera, path.c_str());
        };
        QStringList saved, failed;
        const auto name = [](const StillTarget& t) {
            return QFileInfo(QString::fromStdString(t.path)).fileName();
        };
        if (moment) {
            // Both stills appear together, with their moment, or neither does.
            std::string error;
            const bool ok = WriteStills(targets, *moment, capture, &error);
            if (!ok) Trace("Capture: %s\n", error.c_str());
            for (const StillTarget& t : targets) (ok ? saved : failed) << name(t);
        } else {
            for (const StillTarget& t : targets)
                (capture(t.camera, t.path) ? saved : failed) << name(t);
        }
        // Say what was written, and what could not be (a read-only or vanished folder).
        QStringList lines;
        if (!saved.isEmpty())
            lines << Text(IDS_CAPTURE_SAVED_KO, IDS_CAPTURE_SAVED_EN, saved.join(", "));
        if (!failed.isEmpty())
            lines << Text(IDS_CAPTURE_FAILED_KO, IDS_CAPTURE_FAILED_EN, failed.join(", "));
        ShowNote(lines.join(QLatin1Char('\n')));
    }
    if (wasPlaying) {
        m_playback.Play();
        update();
    }
}
