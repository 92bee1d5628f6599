#include "app/dialogs/RecoveryCommands.h"

#include <QDir>
#include <QFileInfo>

#include "app/dialogs/WindowDialogs.h"
#include "app/list/RecordingListView.h"
#include "app/window/CSamplePlayerDlg.h"
#include "recover/RecordingRepair.h"
#include "support/QtText.h"

namespace {

// Numbered names tried when the folder holds the recording's name already.
constexpr int kNameAttempts = 100;

// "REC_..._D.AVI" in folder, else "REC_..._D_2.AVI" and on: a copy never replaces a file.
QString FreeCopyPath(const QString& folder, const QString& original) {
    const QFileInfo info(original);
    const QDir dir(folder);
    QString path = dir.filePath(info.fileName());
    for (int n = 2; n <= kNameAttempts && QFileInfo::exists(path); ++n)
        path = dir.filePath(info.completeBaseName() + QLatin1Char('_') + QString::number(n) +
                            QLatin1Char('.') + info.suffix());
    return path;
}

}  // namespace

RecoveryCommands::RecoveryCommands(CSamplePlayerDlg& window, WindowDialogs& dialogs)
    : QObject(&window), m_window(window), m_dialogs(dialogs) {
    connect(window.List(), &RecordingListView::recoverRequested, this,
            [this] { RecoverFromCard(m_window.DrivePath(), &m_window); });
    connect(window.List(), &RecordingListView::repairRequested, this,
            &RecoveryCommands::RepairForOtherPlayers);
}

void RecoveryCommands::RecoverFromCard(const std::string& drive, QWidget* parent) {
    CRecoverDlg::SourceOpener opener = m_dialogs.RecoverySource(drive);
    if (!opener) {
        m_dialogs.ShowMessage(Tr(texts::kNeedCard));
        return;
    }
    const QString folder = m_dialogs.RunOutputFolderDialog(Tr(texts::kRecoverFolder));
    if (folder.isEmpty()) return;
    CRecoverDlg dialog(parent, std::move(opener), QDir(folder).absolutePath().toStdString());
    connect(&dialog, &CRecoverDlg::showInList, this,
            [this](const QString& shown) { m_window.Navigator().OpenPath(shown); });
    dialog.Start();
    m_dialogs.RunRecoverDialog(dialog);
}

void RecoveryCommands::RepairForOtherPlayers(const QString& path) {
    const QString folder = m_dialogs.RunOutputFolderDialog(Tr(texts::kRepairFolder));
    if (folder.isEmpty()) return;
    const std::string out = FreeCopyPath(folder, path).toStdString();
    m_repairJob.Start([this, input = path.toStdString(), out](JobContext& job) {
        RepairReport report;
        std::string error;
        const bool written = RepairRecording(input, out, &report, &error);
        job.Post([this, written, out, error] {
            m_dialogs.ShowMessage(written ? Tr(texts::kRepaired, out.c_str())
                                          : Tr(texts::kRepairFailed, error.c_str()));
        });
    });
}
