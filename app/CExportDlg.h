#pragma once
// "Export clip…": runs one clip export on a thread of its own and shows its progress with a
// Cancel button; the GPS track of the clip is written beside the MP4 as GPX. The dialog's
// result reports how the export ended; closing it while the export runs cancels it, and the
// dialog closes once the export has ended.
//
// Threads: the export runs on m_worker; it reports progress and its end by posting to the
// GUI thread, which alone touches the widgets. The destructor cancels and joins the worker.

#include <QDialog>
#include <atomic>
#include <string>
#include <thread>

#include "media/ClipExporter.h"

class QLabel;
class QProgressBar;
class QPushButton;

class CExportDlg : public QDialog {
    Q_OBJECT
public:
    CExportDlg(QWidget* parent, ClipRequest request, std::string gpxPath);
    ~CExportDlg() override;

    // Starts the export (once); the dialog may then be shown or run modally.
    void Start();
    void Cancel();
    // Runs the GUI's events until the export has ended or timeoutMs passed; true when ended.
    bool WaitFinished(int timeoutMs);

    bool IsFinished() const { return m_bFinished; }
    ClipResult Result() const { return m_result; }
    const ClipSummary& Summary() const { return m_summary; }
    const std::string& Error() const { return m_error; }
    int ProgressPercent() const;
    const std::string& GpxPath() const { return m_request.gpxPath; }

protected:
    void reject() override;

private:
    void OnProgress(double fraction);
    void OnFinished(ClipResult result, ClipSummary summary, std::string error);

    ClipRequest m_request;
    ClipExporter m_exporter;            // its Cancel is safe from the GUI thread
    std::thread m_worker;               // runs the export; joined by the destructor
    bool m_bFinished = false;           // GUI thread only
    bool m_bCloseWhenFinished = false;  // GUI thread only: asked to close while running
    ClipResult m_result = ClipResult::Failed;
    ClipSummary m_summary;
    std::string m_error;
    QLabel* m_pText = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QPushButton* m_pButton = nullptr;
};
