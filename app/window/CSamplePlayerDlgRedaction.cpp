// The window's side of the redaction tool: what the tool asks of the window (pausing, the
// frame on screen, seeking, the marks on the recording's own times, the rear mirror,
// messages) and the slider menu's entry.
#include <algorithm>

#include "app/panels/TimelinePanel.h"
#include "app/redaction/RedactionTool.h"
#include "app/window/CSamplePlayerDlg.h"
#include "controls/CxSkinButton.h"

void CSamplePlayerDlg::CreateRedaction() {
    RedactionTool::Host host;
    host.pause = [this] { OnBnClickedButtonPause(); };
    host.frontFrame = [this]() -> int64_t {
        return CanSeek() ? static_cast<int64_t>(m_playback.FrameOnScreen()) : -1;
    };
    host.seekToRecordingMs = [this](int64_t ms) { SeekToRecordingMs(ms); };
    host.marksMs = [this] {
        // The marks are on the timeline of what plays; the regions on the recording's own.
        const int64_t start = m_playback.RecordingStartMs();
        const auto own = [start](int64_t ms) {
            return ms < 0 ? ms : std::max<int64_t>(0, ms - start);
        };
        return std::pair<int64_t, int64_t>{own(m_pTimeline->InMarkMs()),
                                           own(m_pTimeline->OutMarkMs())};
    };
    host.rearMirrored = [this] { return View().IsRearMirrored(); };
    host.message = [this](const QString& text) { m_dialogs->ShowMessage(text); };
    m_pRedaction =
        new RedactionTool(m_playback, Controls().front, Controls().rear, *this, std::move(host));
    connect(m_pTimeline.get(), &TimelinePanel::redactionToolAsked, m_pRedaction,
            &RedactionTool::Toggle);
}
