// The window's notes, messages and modal questions as the desktop shows them.
#include "app/dialogs/WindowDialogs.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

#include "app/archive/ArchiveSettingsDlg.h"
#include "app/view/QtNoteLabel.h"
#include "app/view/WindowLayout.h"
#include "app/window/Resource.h"
#include "device/CSettingDlg.h"
#include "device/CardFormat.h"
#include "device/QtUDisks2Formatter.h"
#include "library/CSelectDriveDlg.h"
#include "recover/CardSource.h"
#include "res/SkinBitmaps.h"
#include "support/QtText.h"

void WindowDialogs::Attach(QWidget& window, const WindowLayout& layout) {
    m_window = &window;
    m_layout = &layout;
}

// ---- notes and messages ----

void WindowDialogs::ShowNote(const QString& text, bool persistent) {
    if (!m_window || !m_layout) return;
    if (!m_note) m_note = new QtNoteLabel(m_window);
    m_note->ShowNote(text, m_layout->NoteArea(), persistent);
}

void WindowDialogs::HideNote(const QString& text) {
    if (m_note && m_note->text() == text) m_note->hide();
}

void WindowDialogs::ClearPersistentNote() {
    if (m_note) m_note->ClearPersistent();
}

QString WindowDialogs::NoteText() const {
    return m_note && m_note->isVisible() ? m_note->text() : QString();
}

void WindowDialogs::ShowMessage(const QString& text) {
    QMessageBox::information(m_window, m_window ? m_window->windowTitle() : QString(), text);
}

// ---- the card and the way out ----

DriveChoice WindowDialogs::RunDriveDialog(std::string* drive) {
    CSelectDriveDlg dialog(m_window);
    // No removable card: asking for one would only show an empty list.
    if (dialog.Combo()->count() == 0) return DriveChoice::ChooseFolder;
    const int result = dialog.DoModal();
    if (result == CSelectDriveDlg::kChooseFolder) return DriveChoice::ChooseFolder;
    if (result != QDialog::Accepted) return DriveChoice::Cancelled;
    *drive = dialog.m_strDrive;
    return DriveChoice::Drive;
}

QString WindowDialogs::RunFolderDialog(const QString& startFolder) {
    return QFileDialog::getExistingDirectory(m_window, Tr(texts::kFolderCaption),
                                             startFolder.isEmpty() ? QDir::homePath() : startFolder,
                                             QFileDialog::ShowDirsOnly);
}

bool WindowDialogs::AskQuit(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No,
                    m_window);
    box.setIconPixmap(LoadSkinIcon(IDI_MAINFRAME).pixmap(48, 48));
    return box.exec() == QMessageBox::Yes;
}

// ---- stills and bookmarks ----

QString WindowDialogs::RunCaptureDialog(const QString& proposedPath) {
    QFileDialog dialog(m_window);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(Tr(texts::kJpegFilter));
    const QFileInfo proposed(proposedPath);
    dialog.setDirectory(proposed.absolutePath());
    dialog.selectFile(proposed.fileName());  // no default extension; overwriting is asked about
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
}

std::tm WindowDialogs::LocalTime() const {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

bool WindowDialogs::AskBookmarkNote(const QString& at, QString* note) {
    bool ok = false;
    *note = QInputDialog::getText(m_window, Tr(texts::kBookmark),
                                  Tr(texts::kBookmarkNote, at.toUtf8().constData()),
                                  QLineEdit::Normal, QString(), &ok);
    return ok;
}

// ---- settings ----

int WindowDialogs::RunSettingsDialog(CSettingDlg& dialog) {
    return dialog.DoModal();
}

bool WindowDialogs::RunArchiveSettingsDialog(ArchiveSettingsDlg& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

// ---- clips and evidence packages ----

bool WindowDialogs::RunExportOptionsDialog(CExportDlg::Choice* choice) {
    return CExportDlg::ChooseOptions(m_window, choice);
}

QString WindowDialogs::RunExportPathDialog(const QString& proposedPath) {
    return QFileDialog::getSaveFileName(m_window, ClipExportCommand::Title(), proposedPath,
                                        ClipExportCommand::FileFilter());
}

QString WindowDialogs::RunEvidenceFolderDialog(const QString& proposedPath) {
    return QFileDialog::getSaveFileName(m_window, CEvidenceDlg::Title(), proposedPath, QString(),
                                        nullptr, QFileDialog::ShowDirsOnly);
}

bool WindowDialogs::RunEvidenceStretchDialog(ClipExportCommand::Stretch* stretch) {
    return CEvidenceDlg::AskStretch(m_window, stretch->atMs, stretch->lengthMs, &stretch->fromMs,
                                    &stretch->toMs,
                                    stretch->masks.empty() ? nullptr : &stretch->blur);
}

ClipExportCommand::Dialogs WindowDialogs::ForExport(
    std::function<std::string(const std::vector<std::string>&)> masksFor) {
    return {[this](CExportDlg::Choice* c) { return RunExportOptionsDialog(c); },
            [this](const QString& proposed) { return RunExportPathDialog(proposed); },
            [this](CExportDlg& dialog) { RunExportDialog(dialog); },
            [this](const QString& text) { ShowMessage(text); },
            [this](const QString& proposed) { return RunEvidenceFolderDialog(proposed); },
            [this](CEvidenceDlg& dialog) { RunEvidenceDialog(dialog); },
            [this](ClipExportCommand::Stretch* s) { return RunEvidenceStretchDialog(s); },
            std::move(masksFor)};
}

// ---- recovery and repaired copies ----

CRecoverDlg::SourceOpener WindowDialogs::RecoverySource(const std::string& drive) {
    if (drive.empty() || CheckFormatTarget(drive, nullptr) != FormatRefusal::None) return {};
    return [drive](CardSource& source, std::string* error) {
        QtUDisks2Formatter udisks;
        const int fd = udisks.OpenDeviceReadOnly(drive, error);
        return fd >= 0 && source.Adopt(fd, drive, error);
    };
}

QString WindowDialogs::RunOutputFolderDialog(const QString& caption) {
    return QFileDialog::getExistingDirectory(m_window, caption, QDir::homePath(),
                                             QFileDialog::ShowDirsOnly);
}
