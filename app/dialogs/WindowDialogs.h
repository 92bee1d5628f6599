#pragma once
// What the main window says and asks: its notes over the pictures, its messages and every
// modal question (the card, folders, the quit, the capture's file, the bookmark's note, the
// device settings, the archive's settings, the export and the evidence package, the
// recovery). The window and its parts ask here; tests and benches answer in place, without a
// nested event loop, by overriding what they answer.
//
// GUI thread only. Attach() gives the questions their parent and the note its place; until
// then nothing is shown.

#include <QPointer>
#include <QString>
#include <ctime>
#include <string>
#include <vector>

#include "app/dialogs/CEvidenceDlg.h"
#include "app/dialogs/CExportDlg.h"
#include "app/dialogs/CRecoverDlg.h"
#include "app/dialogs/ClipExportCommand.h"
#include "app/list/NavigatorHooks.h"
#include "app/view/QtNoteLabel.h"

class ArchiveSettingsDlg;
class CSettingDlg;
class QWidget;
class VCardFormatter;
class WindowLayout;

class WindowDialogs {
public:
    WindowDialogs() = default;
    virtual ~WindowDialogs() = default;
    WindowDialogs(const WindowDialogs&) = delete;
    WindowDialogs& operator=(const WindowDialogs&) = delete;

    // The window the questions belong to, and its layout (where the note goes).
    void Attach(QWidget& window, const WindowLayout& layout);
    QWidget* Window() const { return m_window; }

    // ---- notes and messages ----
    // A short non-modal note over the bottom of the main area; a persistent note stays until
    // the next one, the others go away by themselves.
    virtual void ShowNote(const QString& text, bool persistent = false);
    // Hides the note when it says text.
    void HideNote(const QString& text);
    // Withdraws the lasting note (its recording is no longer on screen).
    void ClearPersistentNote();
    // The note shown now; empty when none. Null until the first note.
    QString NoteText() const;
    QtNoteLabel* Note() const { return m_note.data(); }
    virtual void ShowMessage(const QString& text);

    // ---- the card and the way out ----
    // The drive question.
    virtual DriveChoice RunDriveDialog(std::string* drive);
    // The card folder chooser: the chosen folder, or empty when cancelled.
    virtual QString RunFolderDialog(const QString& startFolder);
    virtual bool AskQuit(const QString& text, const QString& caption);

    // ---- stills and bookmarks ----
    // The capture's save dialog, starting at the proposed full path: the chosen full path, or
    // empty when cancelled.
    virtual QString RunCaptureDialog(const QString& proposedPath);
    virtual std::tm LocalTime() const;
    // The bookmark's note for the moment at (a clock text); false when cancelled.
    virtual bool AskBookmarkNote(const QString& at, QString* note);

    // ---- settings ----
    // Runs the settings dialog modally and returns its result.
    virtual int RunSettingsDialog(CSettingDlg& dialog);
    // The card formatter the settings dialog uses; null: the desktop's.
    virtual VCardFormatter* CardFormatter() { return nullptr; }
    // Runs the archive's settings modally; true when they were accepted.
    virtual bool RunArchiveSettingsDialog(ArchiveSettingsDlg& dialog);

    // ---- clips and evidence packages ----
    // The clip's tier and options, asked before its file; false when cancelled.
    virtual bool RunExportOptionsDialog(CExportDlg::Choice* choice);
    // The clip's file (a save dialog): the chosen path, or empty when cancelled.
    virtual QString RunExportPathDialog(const QString& proposedPath);
    // Runs the started export dialog modally.
    virtual void RunExportDialog(CExportDlg& dialog) { dialog.exec(); }
    // The evidence package's folder (a save dialog; the folder is made by the package):
    // the chosen path, or empty when cancelled.
    virtual QString RunEvidenceFolderDialog(const QString& proposedPath);
    // Runs the started evidence package dialog modally.
    virtual void RunEvidenceDialog(CEvidenceDlg& dialog) { dialog.exec(); }
    // The evidence package's stretch around the picture on screen; false when cancelled.
    virtual bool RunEvidenceStretchDialog(ClipExportCommand::Stretch* stretch);
    // The export's questions as the export command takes them; masksFor names the masks file
    // of a clip's recordings.
    ClipExportCommand::Dialogs ForExport(
        std::function<std::string(const std::vector<std::string>&)> masksFor);

    // ---- recovery and repaired copies ----
    // How the card at drive is read for a recovery (the desktop's disk service, read-only);
    // empty when drive is no removable card.
    virtual CRecoverDlg::SourceOpener RecoverySource(const std::string& drive);
    // A folder for recovered recordings or a repaired copy: the chosen one, or empty.
    virtual QString RunOutputFolderDialog(const QString& caption);
    // Runs the started recovery dialog modally.
    virtual void RunRecoverDialog(CRecoverDlg& dialog) { dialog.exec(); }

private:
    QPointer<QWidget> m_window;
    const WindowLayout* m_layout = nullptr;
    QPointer<QtNoteLabel> m_note;  // child of the window, made with the first note
};
