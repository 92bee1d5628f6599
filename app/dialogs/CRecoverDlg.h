#pragma once
// "Recover deleted recordings…": reads a card (only ever read) on a thread of its own, shows
// how far the scan is and every recording it finds as it finds it, and writes the deleted,
// cut and formatted-away ones into a folder the user chose. Once it has ended, "Show in the
// list" lists that folder in the window, where the recordings play as the card's own do.
// Cancel stops the scan; what was written so far stays, a copy cut off midway does not.
//
// Threads: the card is opened (the desktop may ask for a password then) and scanned as a
// BackgroundJob; progress, each recording found and the end are posted to the GUI thread,
// which alone touches the widgets. The destructor cancels and never waits.

#include <QDialog>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "app/jobs/BackgroundJob.h"
#include "recover/CardRecovery.h"

class CardSource;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

class CRecoverDlg : public QDialog {
    Q_OBJECT
public:
    // Opens the card into source, on the job's thread; false with the cause in *error.
    using SourceOpener = std::function<bool(CardSource& source, std::string* error)>;

    CRecoverDlg(QWidget* parent, SourceOpener opener, std::string outDir);
    ~CRecoverDlg() override;

    // "Recover deleted recordings…", the command's name and the dialog's title.
    static QString Title();
    // The found list's text for a recording's state ("whole", "still on the card", ...).
    static QString StateText(const FoundRecording& found);

    // Starts the scan (once); the dialog may then be shown or run modally.
    void Start();
    void Cancel();
    bool IsFinished() const { return m_finished; }
    bool Succeeded() const { return m_succeeded; }
    const RecoverySummary& Summary() const { return m_summary; }
    QString StatusText() const;
    QTreeWidget* FoundList() const { return m_list; }
    QPushButton* ShowInListButton() const { return m_showInList; }
    const std::string& OutDir() const { return m_outDir; }

signals:
    void finished(bool succeeded);
    // The user asked to see the recovered recordings in the window's list.
    void showInList(const QString& folder);

protected:
    void reject() override;

private:
    void AddFound(const FoundRecording& found);
    void OnFinished(bool succeeded, const RecoverySummary& summary, const std::string& error);

    SourceOpener m_opener;
    std::string m_outDir;
    // Shared with the job; outlives a cancel that came before it started.
    std::shared_ptr<std::atomic<bool>> m_cancelled = std::make_shared<std::atomic<bool>>(false);
    BackgroundJob m_job;
    bool m_started = false;            // GUI thread only
    bool m_finished = false;           // GUI thread only
    bool m_succeeded = false;          // GUI thread only
    bool m_closeWhenFinished = false;  // GUI thread only: asked to close while running
    RecoverySummary m_summary;         // GUI thread only, once finished
    QLabel* m_text = nullptr;
    QProgressBar* m_progress = nullptr;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_button = nullptr;      // Cancel, then Close
    QPushButton* m_openFolder = nullptr;  // shown once something was written
    QPushButton* m_showInList = nullptr;  // likewise
};
