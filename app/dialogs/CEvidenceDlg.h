#pragma once
// "Evidence package…": writes one evidence package (see evidence/EvidencePackage.h: the
// originals, both clips, the stills, the GPS track, the report, the manifest and the hashes)
// on a thread of its own, shows the step it is at and its progress with a Cancel button, and
// offers to open the folder once it is written. Closing the dialog while the package is
// written cancels it; nothing is left under the folder's name then.
//
// Threads: the package is written as a BackgroundJob; steps, progress and the end are posted
// to the GUI thread, which alone touches the widgets. The destructor cancels and never waits:
// the job owns its request and ends on its own, removing its temporary folder.

#include <QDialog>
#include <QString>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/jobs/BackgroundJob.h"
#include "evidence/EvidencePackage.h"
#include "library/TripTimeline.h"

class QLabel;
class QProgressBar;
class QPushButton;

class CEvidenceDlg : public QDialog {
    Q_OBJECT
public:
    // request.outDir is the package's folder (absent or empty); the report follows the user
    // interface's language.
    CEvidenceDlg(QWidget* parent, PackageRequest request);
    ~CEvidenceDlg() override;

    // Where the folder dialog starts: a new folder in the home folder named after the clip's
    // start on the camera clock, never an existing one.
    static QString ProposedFolder(const std::vector<std::string>& inputs,
                                  const TripTimeline& timeline, int64_t fromMs);
    // Asks for the package's stretch as seconds before and after the picture at atMs (the
    // stills' moment), within a timeline of lengthMs; false when cancelled. Modal.
    // With blur, "Blur the marked regions" is offered ticked as *blur says.
    static bool AskStretch(QWidget* parent, int64_t atMs, int64_t lengthMs, int64_t* fromMs,
                           int64_t* toMs, bool* blur = nullptr);
    // "Evidence package…", the command's name and the dialogs' title.
    static QString Title();
    // The step the package library reports, in the user's language.
    static QString StepText(const std::string& step);

    // Blurs the composed clip and the stills with the regions of this masks file (made on the
    // package's one recording); before Start. Empty: nothing is blurred.
    void SetRedaction(std::string masksPath) { m_masksPath = std::move(masksPath); }
    const std::string& MasksPath() const { return m_masksPath; }
    // Starts writing (once); the dialog may then be shown or run modally.
    void Start();
    void Cancel();
    bool IsFinished() const { return m_bFinished; }
    bool Succeeded() const { return m_bSucceeded; }
    const std::string& Error() const { return m_error; }
    QString StatusText() const;
    int ProgressPercent() const;

signals:
    void finished(bool succeeded);

protected:
    void reject() override;

private:
    void OnFinished(bool succeeded, const std::string& error);

    PackageRequest m_request;
    std::string m_masksPath;
    // Shared with the job; outlives a cancel that came before it started.
    std::shared_ptr<std::atomic<bool>> m_cancelled = std::make_shared<std::atomic<bool>>(false);
    BackgroundJob m_job;
    bool m_bStarted = false;            // GUI thread only
    bool m_bFinished = false;           // GUI thread only
    bool m_bSucceeded = false;          // GUI thread only
    bool m_bCloseWhenFinished = false;  // GUI thread only: asked to close while running
    std::string m_error;
    QLabel* m_pText = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QPushButton* m_pButton = nullptr;
    QPushButton* m_pOpenFolder = nullptr;  // shown once the package is written
};
