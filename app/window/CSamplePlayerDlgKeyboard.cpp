// The window's keys: every key press in the window, traced and consumed here, goes to the
// list, to the redaction tool or to the commands (MainWindowCommands).
#include <QKeyEvent>

#include "app/list/RecordingListView.h"
#include "app/redaction/RedactionTool.h"
#include "app/view/MainWindowActions.h"
#include "app/view/MainWindowCommands.h"
#include "app/window/CSamplePlayerDlg.h"
#include "support/Trace.h"

void CSamplePlayerDlg::CreateActions() {
    m_pActions = new MainWindowActions(this);
    AddWindowCommands(*this, *m_pActions);
    BindWindowButtons(Controls(), *m_pActions);
    SetWindowControlTips(Controls(), *m_pActions);
}

bool CSamplePlayerDlg::PreTranslateMessage(QKeyEvent* event) {
    Trace("Press Button => %d\n", WindowKeyTraceCode(event->key()));
    // The list, while it has the focus, takes Up, Down and Enter as a list does.
    if (List()->HandleKey(event->key())) return true;
    // Delete and Escape edit the regions while the redaction tool is on.
    if (m_pRedaction && m_pRedaction->HandleKey(event->key())) return true;
    m_pActions->TriggerKey(event->key(), event->modifiers());
    return true;
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
