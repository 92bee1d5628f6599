// The keyboard table: every key press in the window, whichever control has the focus, is
// traced and consumed here.
#include <QApplication>
#include <QKeyEvent>

#include "app/CSamplePlayerDlg.h"
#include "app/Resource.h"
#include "controls/CBitmapSlider.h"
#include "support/Trace.h"

namespace {

constexpr int VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11,
              VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14, VK_ESCAPE = 0x1B, VK_SPACE = 0x20,
              VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25,
              VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28, VK_INSERT = 0x2D, VK_DELETE = 0x2E,
              VK_F1 = 0x70, VK_F2 = 0x71, VK_F3 = 0x72;

}  // namespace

int CSamplePlayerDlg::VirtualKeyFromQt(int key) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return key;  // same codes as ASCII
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return key;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return VK_F1 + (key - Qt::Key_F1);
    switch (key) {
        case Qt::Key_Backspace:
            return VK_BACK;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return VK_TAB;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return VK_RETURN;
        case Qt::Key_Shift:
            return VK_SHIFT;
        case Qt::Key_Control:
            return VK_CONTROL;
        case Qt::Key_Alt:
            return VK_MENU;
        case Qt::Key_Pause:
            return VK_PAUSE;
        case Qt::Key_CapsLock:
            return VK_CAPITAL;
        case Qt::Key_Escape:
            return VK_ESCAPE;
        case Qt::Key_Space:
            return VK_SPACE;
        case Qt::Key_PageUp:
            return VK_PRIOR;
        case Qt::Key_PageDown:
            return VK_NEXT;
        case Qt::Key_End:
            return VK_END;
        case Qt::Key_Home:
            return VK_HOME;
        case Qt::Key_Left:
            return VK_LEFT;
        case Qt::Key_Up:
            return VK_UP;
        case Qt::Key_Right:
            return VK_RIGHT;
        case Qt::Key_Down:
            return VK_DOWN;
        case Qt::Key_Insert:
            return VK_INSERT;
        case Qt::Key_Delete:
            return VK_DELETE;
        default:
            return 0;
    }
}

bool CSamplePlayerDlg::PreTranslateMessage(QKeyEvent* event) {
    const int vk = VirtualKeyFromQt(event->key());
    Trace("Press Button => %d\n", vk);
    // The list, while it has the focus, takes Up, Down and Enter as a list does.
    if (HandleListKey(vk)) return true;
    if (HandleTimelineKey(event)) return true;
    if (HandleTransportKey(event->key())) return true;
    switch (vk) {
        case VK_RETURN:
            if (m_nScreenMode == kScreenNormal) {
                OnBnClickedButtonFullScreen();
            } else {
                OnBnClickedButtonPrevSize();
            }
            break;
        case VK_ESCAPE:
            // As in every player: Escape leaves full screen (and does nothing else).
            if (m_nScreenMode == kScreenFull) OnBnClickedButtonPrevSize();
            break;
        case VK_PRIOR:
            OnBnClickedButtonNext();
            break;
        case VK_NEXT:
            OnBnClickedButtonPre();
            break;
        case VK_LEFT:
            Trace("Press Button => VK_LEFT\n");
            OnBnClickedButtonBackward();
            break;
        case VK_RIGHT:
            Trace("Press Button => VK_RIGHT\n");
            OnBnClickedButtonForward();
            break;
        case VK_UP:
            Trace("Press Button => VK_UP\n");
            m_sliderVolume->SetPos(std::min(m_sliderVolume->GetPos() + kVolumeKeyStep, kVolumeMax));
            // The keys move the slider the way a drag would, so the sound follows at once.
            OnSliderMoved(IDC_SLIDER_VOLUME, m_sliderVolume->GetPos());
            break;
        case VK_DOWN:
            Trace("Press Button => VK_DOWN\n");
            m_sliderVolume->SetPos(std::max(m_sliderVolume->GetPos() - kVolumeKeyStep, 0));
            OnSliderMoved(IDC_SLIDER_VOLUME, m_sliderVolume->GetPos());
            break;
        case VK_F2:
            OnBnClickedButtonOpen();
            break;
        case VK_F3:
            OnBnClickedButtonSetting();
            break;
        case VK_SPACE:
            if (m_playback.State() != PlaybackState::Playing) {
                OnBnClickedButtonPlay();
            } else {
                OnBnClickedButtonPause();
            }
            break;
        default:
            break;
    }
    return true;
}

bool CSamplePlayerDlg::HandleTransportKey(int key) {
    int step = 0;
    switch (key) {
        case Qt::Key_Period:
        case Qt::Key_Comma:
            if (!IsPlayerActive()) return true;
            // The controller pauses before it steps; the buttons follow its state.
            m_playback.StepFrame(key == Qt::Key_Period ? 1 : -1);
            return true;
        case Qt::Key_BracketLeft:
            step = -1;
            break;
        case Qt::Key_BracketRight:
            step = 1;
            break;
        default:
            return false;
    }
    m_playback.StepRate(step);  // the rate label follows its signal
    return true;
}

void CSamplePlayerDlg::ShowRate() {
    constexpr int kNormalRate = 100;
    const int percent = m_player.GetRatePercent();
    // "0.25×" .. "4×"; nothing at normal speed.
    SetLabelText(m_pRate, percent == kNormalRate
                              ? std::string()
                              : QString::number(percent / 100.0).toStdString() + "\u00d7");
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
