#pragma once
// "Export clip…": runs one clip export on a thread of its own and shows its progress with a
// Cancel button; the GPS track of the clip is written beside the MP4 as GPX. The dialog's
// result reports how the export ended; closing it while the export runs cancels it, and the
// dialog closes once the export has ended. After a finished export it offers to open the
// clip's folder. ChooseOptions asks for the tier and the options before the export starts.
//
// Threads: the export runs as a BackgroundJob; it reports progress and its end by posting to
// the GUI thread, which alone touches the widgets. The destructor cancels the export and never
// waits for it: the job owns what it works on and ends on its own, into a dropped result.

#include <QDialog>
#include <atomic>
#include <memory>
#include <string>

#include "app/jobs/BackgroundJob.h"
#include "media/ClipExporter.h"
#include "telemetry/ClipCaption.h"

class QLabel;
class QProgressBar;
class QPushButton;

// The tier and options the person picked for an export.
struct ClipExportChoice {
    ClipCompose compose = ClipCompose::None;
    bool noSound = false;
    bool noPosition = false;
    bool mph = false;
    double unitsPerG = 64.0;       // the G-sensor's reading for 1 g, for the composed caption
    bool evidencePackage = false;  // the options' "Evidence package…" was chosen instead
    // The masks file of the clip's recording, offered as "Blur the marked regions" (empty:
    // none), and the tick: the composed clip blurs what the file marks.
    std::string masks{};
    bool blur = true;
};

class CExportDlg : public QDialog {
    Q_OBJECT
public:
    using Choice = ClipExportChoice;
    // Asks for them modally, starting from *choice; false when cancelled.
    static bool ChooseOptions(QWidget* parent, Choice* choice);

    CExportDlg(QWidget* parent, ClipRequest request, std::string gpxPath, Choice choice = {});
    ~CExportDlg() override;

    // Starts the export (once); the dialog may then be shown or run modally.
    void Start();
    void Cancel();
    // For the window's end: cancels the export and closes the dialog at once, without waiting
    // for the export to end or showing how it ended.
    void Abandon();

    bool IsFinished() const { return m_bFinished; }
    ClipResult Result() const { return m_result; }
    const ClipSummary& Summary() const { return m_summary; }
    const std::string& Error() const { return m_error; }
    int ProgressPercent() const;
    const std::string& GpxPath() const { return m_request.gpxPath; }
    // The masks file the composed clip is blurred with; empty: none.
    const std::string& MasksPath() const { return m_masksPath; }

protected:
    void reject() override;

private:
    void OnProgress(double fraction);
    void OnFinished(ClipResult result, ClipSummary summary, std::string error);

    ClipRequest m_request;
    CaptionOptions m_captionOptions;
    std::string m_masksPath;
    // Shared with the job; its Cancel is safe from the GUI thread.
    std::shared_ptr<ClipExporter> m_exporter = std::make_shared<ClipExporter>();
    // Set by Cancel, shared with the job; outlives a cancel that came before Export started.
    std::shared_ptr<std::atomic<bool>> m_cancelled = std::make_shared<std::atomic<bool>>(false);
    BackgroundJob m_job;                // runs the export
    bool m_bStarted = false;            // GUI thread only
    bool m_bFinished = false;           // GUI thread only
    bool m_bCloseWhenFinished = false;  // GUI thread only: asked to close while running
    ClipResult m_result = ClipResult::Failed;
    ClipSummary m_summary;
    std::string m_error;
    QLabel* m_pText = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QPushButton* m_pButton = nullptr;
    QPushButton* m_pOpenFolder = nullptr;  // shown once the clip is written
};
