// The view commands (which of front, rear and map takes the main and the small area), the
// rear-camera mirror, still capture and the zoom window.
//
// View states, named by the main area's content and then the small area's (F front, R rear,
// M map), as (front, rear, map) with 0 hidden, 1 main, 2 small:
//   FR 1,2,0   RF 2,1,0   FM 1,0,2   RM 0,1,2   MF 2,0,1   MR 0,2,1
// A one-camera recording only knows FM and MF.
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <cstdio>
#include <utility>

#include "app/CSamplePlayerDlg.h"
#include "app/CZoomDlg.h"
#include "app/QtNoteLabel.h"
#include "app/QtVideoArea.h"
#include "app/Resource.h"
#include "controls/CxSkinButton.h"
#include "support/StringTable.h"
#include "support/Trace.h"
#include "telemetry/CameraClock.h"

namespace {

constexpr int kZoomClientWidth = 409;  // a 425 x 330 window less its frame and caption
constexpr int kZoomClientHeight = 291;
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

bool CSamplePlayerDlg::HasOpenView() const {
    // All three hidden: no recording open (before the first one, or after STOP).
    return m_nFrontView != kViewHidden || m_nRearView != kViewHidden || m_nMapView != kViewHidden;
}

void CSamplePlayerDlg::OnBnClickedButtonChangeView() {
    Trace("OnBnClickedButtonChangeView()\n");
    if (m_player.GetCameraCount() < 2 || !HasOpenView()) return;
    // The map keeps its place and the cameras trade theirs: FR<->RF, FM<->RM, MF<->MR.
    std::swap(m_nFrontView, m_nRearView);
    UpdateView();
}

void CSamplePlayerDlg::OnBnClickedButtonMapSmall() {
    if (m_player.GetCameraCount() < 2 || !HasOpenView()) return;
    SetCheck(IDC_CHECK_CAMSMALL, false);
    SetCheck(IDC_CHECK_MAPSMALL, true);
    if (m_nMapView == kViewMain) {
        // MF, MR -> MR
        m_nFrontView = kViewHidden;
        m_nRearView = kViewSmall;
    } else {
        // FR -> FM, RF -> RM; FM and RM stay.
        if (m_nFrontView == kViewSmall) m_nFrontView = kViewHidden;
        if (m_nRearView == kViewSmall) m_nRearView = kViewHidden;
        m_nMapView = kViewSmall;
    }
    UpdateView();
}

void CSamplePlayerDlg::OnBnClickedButtonSubCamera() {
    if (m_player.GetCameraCount() < 2 || !HasOpenView()) return;
    SetCheck(IDC_CHECK_CAMSMALL, true);
    SetCheck(IDC_CHECK_MAPSMALL, false);
    if (m_nMapView == kViewMain) {
        // MF, MR -> FR
        m_nFrontView = kViewMain;
        m_nRearView = kViewSmall;
    } else {
        // FM -> FR, RM -> RF; FR and RF stay.
        if (m_nFrontView != kViewMain) m_nFrontView = kViewSmall;
        if (m_nRearView != kViewMain) m_nRearView = kViewSmall;
    }
    m_nMapView = kViewHidden;
    UpdateView();
}

void CSamplePlayerDlg::OnBnClickedButtonMapLarge() {
    const int cameras = m_player.GetCameraCount();
    if (cameras < 1 || !HasOpenView()) return;
    if (cameras > 1) {
        if (m_nMapView == kViewMain) {
            // MF -> FM, MR -> RM: the small area's camera takes the main area.
            const bool frontWasSmall = m_nFrontView == kViewSmall;
            m_nFrontView = frontWasSmall ? kViewMain : kViewHidden;
            m_nRearView = frontWasSmall ? kViewHidden : kViewMain;
            m_nMapView = kViewSmall;
        } else {
            // FR, FM -> MF; RF, RM -> MR: the main area's camera goes small.
            const bool rearWasMain = m_nRearView == kViewMain;
            m_nFrontView = rearWasMain ? kViewHidden : kViewSmall;
            m_nRearView = rearWasMain ? kViewSmall : kViewHidden;
            m_nMapView = kViewMain;
        }
    } else if (m_nMapView == kViewMain) {
        m_nFrontView = kViewMain;  // MF -> FM
        m_nRearView = kViewHidden;
        m_nMapView = kViewSmall;
    } else {
        m_nFrontView = kViewSmall;  // FM -> MF
        m_nRearView = kViewHidden;
        m_nMapView = kViewMain;
    }
    UpdateView();
}

void CSamplePlayerDlg::OnBnClickedCheckMirror() {
    auto* mirror = static_cast<CxSkinButton*>(GetDlgItem(IDC_CHECK_MIRROR));
    if (m_player.GetCameraCount() > 1) {
        m_player.SetMirror(1, mirror->GetCheck() != 0);
    } else {
        mirror->SetCheck(0);
    }
}

// ---- capture ----

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
    RecordingTelemetry own;
    for (size_t i = 0; i < m_timelinePaths.size() && i < m_tripStartsMs.size(); ++i) {
        if (m_timelinePaths[i] != m_strCurrentPath) continue;
        const int64_t end =
            i + 1 < m_tripStartsMs.size() ? m_tripStartsMs[i + 1] : m_timeline.durationMs;
        own = RecordingPart(m_timeline, m_tripStartsMs[i], end - m_tripStartsMs[i]);
        break;
    }
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
    if (m_strDrivePath.empty()) return;
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

void CSamplePlayerDlg::ShowNote(const QString& text, bool persistent) {
    if (!m_pNote) m_pNote = new QtNoteLabel(this);
    const QRect area = m_nScreenMode == kScreenNormal
                           ? m_rcMainArea
                           : FullScreenVideoRect(width(), height()).intersected(rect());
    m_pNote->ShowNote(text, area, persistent);
}

// ---- zoom window ----

void CSamplePlayerDlg::OnBnClickedButtonZoom() {
    // One zoom window at most: a later press shows the same one again (restarting the
    // refresh that Escape or closing stopped).
    if (!m_pZoomDlg) m_pZoomDlg = new CZoomDlg(this);
    // Beside the viewer, not over its controls.
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect free = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
    const QRect place =
        CZoomDlg::PlaceBeside(frameGeometry(), QSize(kZoomClientWidth, kZoomClientHeight), free);
    m_pZoomDlg->resize(place.size());
    m_pZoomDlg->move(place.topLeft());
    m_pZoomDlg->Start();
    m_pZoomDlg->update();
}
