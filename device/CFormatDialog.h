#pragma once
// The last word before a card is erased: which device and volume it is (vendor and model,
// label, capacity, file system, mount point), the recordings it holds, the file system it
// will get, and that every recording goes while the dashcam's settings file stays. Start
// and Cancel, Cancel the default, so a stray Enter erases nothing.
//
// A folder that is no removable card (CardFormatFacts::refusal) gets the reason in words, the
// folder, and Close alone: no Start. Where deleted recordings are still recoverable the
// dialog says how many and, when offered, has "Recover them first…", which ends it with
// kRecoverFirst.
//
// Where the caller looked into the PC's archive (CardFormatFacts::unarchived), the dialog
// says how many recordings the archive lacks, by category, and Start stays disabled until the
// user ticks "Erase N recordings that are not in the archive"; when offered, "Import first…"
// ends it with kImportFirst.
//
// Use from the settings dialog:
//     auto dlg = std::make_unique<CFormatDialog>(this, GatherCardFormatFacts(drive, formatter));
//     if (dlg->exec() != QDialog::Accepted) return;
//     dlg->ShowRunning();     // shown again, modal, with a busy bar and no buttons
//     ... start the format on a background job; when its report comes back ...
//     dlg.reset();
// ShowRunning returns at once: the window keeps running its own event loop meanwhile.
//
// User-interface thread only.

#include <QDialog>
#include <QString>

#include "device/CardFormatFacts.h"

class QLabel;
class QProgressBar;
class QPushButton;

class CFormatDialog : public QDialog {
    Q_OBJECT
public:
    // The result of exec() when the user chose to recover the deleted recordings first.
    static constexpr int kRecoverFirst = 2;
    // ... when the user chose to import the recordings missing from the archive first.
    static constexpr int kImportFirst = 3;

    CFormatDialog(QWidget* parent, const CardFormatFacts& facts, bool offerRecovery = false,
                  bool offerImport = false);

    // Start only counts once recordings missing from the archive are agreed to go.
    void accept() override;

    // Every line the dialog shows, label and value, one per line (for the message-box hook
    // of the tests and for the trace).
    QString SummaryText() const;
    // Shows the dialog again as the format's progress: the busy bar and its note, no buttons.
    void ShowRunning();

    // While it runs, Escape and the window manager's close do nothing.
    void reject() override;

    // Null for a folder that may not be formatted.
    QPushButton* StartButton() const { return m_start; }
    QPushButton* CancelButton() const { return m_cancel; }
    // Null unless recovery was offered and some deleted recording is still recoverable.
    QPushButton* RecoverButton() const { return m_recover; }
    // Null unless import was offered and the archive lacks some of the card's recordings.
    QPushButton* ImportButton() const { return m_import; }
    // Null unless the archive lacks some of the card's recordings.
    class QCheckBox* EraseUnarchivedBox() const { return m_eraseUnarchived; }

    // "7.4 GB", "512 MB", "12 KB": binary units, as file managers and the camera count.
    static QString SizeText(std::uint64_t bytes);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void AddRow(const QString& name, const QString& value);
    void AddCardRows(const CardFormatFacts& facts);
    void AddArchiveRow(const CardFormatFacts& facts);
    void AddButtons(const CardFormatFacts& facts, bool offerRecovery, bool offerImport);
    void AddEraseTick(const CardFormatFacts& facts);
    void ApplySkin(QWidget* parent);

    QString m_summary;
    bool m_running = false;
    class QFormLayout* m_rows = nullptr;
    QLabel* m_warning = nullptr;
    QLabel* m_progressNote = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_recover = nullptr;
    QPushButton* m_import = nullptr;
    class QCheckBox* m_eraseUnarchived = nullptr;
    class QDialogButtonBox* m_buttons = nullptr;
};
