// The card dialogs OPEN asks through the navigator, a drop on the window, and the note
// over the pictures.
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QUrl>

#include "app/view/QtNoteLabel.h"
#include "app/window/CSamplePlayerDlg.h"
#include "app/window/Resource.h"
#include "library/CSelectDriveDlg.h"
#include "support/StringTable.h"

void CSamplePlayerDlg::CreateNavigator() {
    NavigatorHooks hooks;
    hooks.openRecording = [this](const std::string& path, int tripIndex) {
        return OpenRecording(path, tripIndex);
    };
    hooks.stop = [this] { OnBnClickedButtonStop(); };
    hooks.isPlayerActive = [this] { return IsPlayerActive(); };
    hooks.currentPath = [this] { return m_strCurrentPath; };
    hooks.tripIndex = [this] { return TripIndex(); };
    hooks.showNote = [this](const QString& text, bool persistent) { ShowNote(text, persistent); };
    hooks.hideNote = [this](const QString& text) {
        if (m_pNote && m_pNote->text() == text) m_pNote->hide();
    };
    hooks.showMessage = [this](const QString& text) { ShowMessage(text); };
    hooks.runDriveDialog = [this](std::string* drive) { return RunDriveDialog(drive); };
    hooks.runFolderDialog = [this](const QString& start) { return RunFolderDialog(start); };
    hooks.configPath = [] { return ConfigPath(); };
    m_navigator =
        std::make_unique<RecordingNavigator>(*m_listFilename, *m_ui, m_playback, std::move(hooks));
}

CSamplePlayerDlg::DriveChoice CSamplePlayerDlg::RunDriveDialog(std::string* drive) {
    CSelectDriveDlg dialog(this);
    // No removable card: asking for one would only show an empty list.
    if (dialog.Combo()->count() == 0) return DriveChoice::ChooseFolder;
    const int result = dialog.DoModal();
    if (result == CSelectDriveDlg::kChooseFolder) return DriveChoice::ChooseFolder;
    if (result != QDialog::Accepted) return DriveChoice::Cancelled;
    *drive = dialog.m_strDrive;
    return DriveChoice::Drive;
}

QString CSamplePlayerDlg::RunFolderDialog(const QString& startFolder) {
    return QFileDialog::getExistingDirectory(
        this,
        QString::fromStdString(
            FormatResourceString(PickStringId(IDS_FOLDER_CAPTION_KO, IDS_FOLDER_CAPTION_EN))),
        startFolder.isEmpty() ? QDir::homePath() : startFolder, QFileDialog::ShowDirsOnly);
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

// ---- notes ----

QString CSamplePlayerDlg::NoteText() const {
    return m_pNote && m_pNote->isVisible() ? m_pNote->text() : QString();
}
