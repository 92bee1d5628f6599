// The window's keys: every key press in the window, traced and consumed here, goes to the
// list or to the commands (MainWindowCommands); the commands the keys alone have.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <algorithm>
#include <functional>
#include <initializer_list>

#include "app/list/RecordingListView.h"
#include "app/redaction/RedactionTool.h"
#include "app/view/MainWindowActions.h"
#include "app/view/MainWindowCommands.h"
#include "app/window/CSamplePlayerDlg.h"
#include "app/window/Resource.h"
#include "controls/CBitmapButtonTrans.h"
#include "controls/CBitmapSlider.h"
#include "controls/CxSkinButton.h"
#include "support/Trace.h"

void CSamplePlayerDlg::CreateActions() {
    m_pActions = new MainWindowActions(this);
    AddWindowCommands(*this, *m_pActions);
    BindWindowButtons(*m_ui, *m_pActions);
    SetWindowControlTips(*m_ui, *m_pActions);
}

bool CSamplePlayerDlg::PreTranslateMessage(QKeyEvent* event) {
    Trace("Press Button => %d\n", WindowKeyTraceCode(event->key()));
    // The list, while it has the focus, takes Up, Down and Enter as a list does.
    if (m_listFilename->HandleKey(event->key())) return true;
    // Delete and Escape edit the regions while the redaction tool is on.
    if (m_pRedaction && m_pRedaction->HandleKey(event->key())) return true;
    m_pActions->TriggerKey(event->key(), event->modifiers());
    return true;
}

void CSamplePlayerDlg::OnVolumeUp() {
    m_sliderVolume->SetPos(std::min(m_sliderVolume->GetPos() + kVolumeKeyStep, kVolumeMax));
    // The keys move the slider the way a drag would, so the sound follows at once.
    OnSliderMoved(IDC_SLIDER_VOLUME, m_sliderVolume->GetPos());
}

void CSamplePlayerDlg::OnVolumeDown() {
    m_sliderVolume->SetPos(std::max(m_sliderVolume->GetPos() - kVolumeKeyStep, 0));
    OnSliderMoved(IDC_SLIDER_VOLUME, m_sliderVolume->GetPos());
}

void CSamplePlayerDlg::OnStepFrame(int direction) {
    if (!IsPlayerActive()) return;
    // The controller pauses before it steps; the buttons follow its state.
    m_playback.StepFrame(direction);
}

void CSamplePlayerDlg::OnStepRate(int step) {
    m_playback.StepRate(step);  // the rate label follows its signal
}

bool CSamplePlayerDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        // Only keys meant for this window; dialogs it opens keep their own keys.
        if (widget && widget->window() == this) {
            return PreTranslateMessage(static_cast<QKeyEvent*>(event));
        }
    }
    return QDialog::eventFilter(watched, event);
}
