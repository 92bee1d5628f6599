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
    WindowDialogs& dialogs = *m_dialogs;
    hooks.showNote = [&dialogs](const QString& text, bool persistent) {
        dialogs.ShowNote(text, persistent);
    };
    hooks.hideNote = [&dialogs](const QString& text) { dialogs.HideNote(text); };
    hooks.showMessage = [&dialogs](const QString& text) { dialogs.ShowMessage(text); };
    hooks.runDriveDialog = [&dialogs](std::string* drive) { return dialogs.RunDriveDialog(drive); };
    hooks.runFolderDialog = [&dialogs](const QString& start) {
        return dialogs.RunFolderDialog(start);
    };
    hooks.configPath = [] { return ConfigPath(); };
    m_navigator =
        std::make_unique<RecordingNavigator>(*List(), *m_ui, m_playback, std::move(hooks));
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
