// The view commands (which of front, rear and map takes the main and the small area; the
// layouts and their table are ViewState's), the rear-camera mirror, the note over the
// pictures and the zoom window.
#include <QGuiApplication>
#include <QScreen>
#include <utility>

#include "app/CSamplePlayerDlg.h"
#include "app/CZoomDlg.h"
#include "app/QtNoteLabel.h"
#include "app/QtVideoArea.h"
#include "app/Resource.h"
#include "controls/CxSkinButton.h"
#include "support/Trace.h"

namespace {

constexpr int kZoomClientWidth = 409;  // a 425 x 330 window less its frame and caption
constexpr int kZoomClientHeight = 291;

}  // namespace

bool CSamplePlayerDlg::HasOpenView() const {
    // Nothing open before the first recording, or after STOP.
    return m_view.IsOpen();
}

void CSamplePlayerDlg::RunViewCommand(ViewCommand command, int camerasNeeded) {
    const int cameras = m_player.GetCameraCount();
    if (cameras < camerasNeeded || !m_view.IsOpen()) return;
    m_view.Apply(command, cameras);
    UpdateView();
}

void CSamplePlayerDlg::OnBnClickedButtonChangeView() {
    Trace("OnBnClickedButtonChangeView()\n");
    RunViewCommand(ViewCommand::ChangeView, 2);
}

void CSamplePlayerDlg::OnBnClickedButtonMapSmall() {
    RunViewCommand(ViewCommand::MapSmall, 2);
}

void CSamplePlayerDlg::OnBnClickedButtonSubCamera() {
    RunViewCommand(ViewCommand::SubCamera, 2);
}

void CSamplePlayerDlg::OnBnClickedButtonMapLarge() {
    RunViewCommand(ViewCommand::MapLarge, 1);
}

void CSamplePlayerDlg::OnBnClickedCheckMirror() {
    if (m_player.GetCameraCount() > 1) {
        m_player.SetMirror(1, m_ui->mirror->GetCheck() != 0);
    } else {
        m_ui->mirror->SetCheck(0);
    }
}

void CSamplePlayerDlg::ShowNote(const QString& text, bool persistent) {
    if (!m_pNote) m_pNote = new QtNoteLabel(this);
    const QRect area = !m_view.IsFullScreen()
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
