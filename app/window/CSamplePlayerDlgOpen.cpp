// The list's navigator (OPEN's card questions go through it) and a drop on the window.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "app/window/CSamplePlayerDlg.h"

void CSamplePlayerDlg::CreateNavigator() {
    NavigatorHooks hooks;
    hooks.openRecording = [this](const std::string& path, int tripIndex) {
        return OpenRecording(path, tripIndex);
    };
    hooks.stop = [this] { OnBnClickedButtonStop(); };
    hooks.isPlayerActive = [this] { return IsPlayerActive(); };
    hooks.currentPath = [this] { return CurrentPath(); };
    hooks.tripIndex = [this] { return TripIndex(); };
    hooks.configPath = [] { return ConfigPath(); };
    m_navigator = std::make_unique<RecordingNavigator>(*List(), Controls(), m_playback, *m_dialogs,
                                                       std::move(hooks));
}

// ---- a drop on the window ----

void CSamplePlayerDlg::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile()) event->acceptProposedAction();
}

void CSamplePlayerDlg::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    m_navigator->OpenPath(urls.first().toLocalFile());
}
