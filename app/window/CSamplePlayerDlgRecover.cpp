// The card's deleted recordings brought back, and a repaired copy of a recording cut short:
// both from the list's menu, the first also from the format dialog before a format.
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "app/list/RecordingListView.h"
#include "app/window/CSamplePlayerDlg.h"
#include "device/CardFormat.h"
#include "device/QtUDisks2Formatter.h"
#include "recover/CardSource.h"
#include "recover/RecordingRepair.h"
#include "support/QtText.h"
#include "support/StringTable.h"

namespace {

constexpr int IDS_RECOVER_FOLDER_KO = 1728, IDS_RECOVER_FOLDER_EN = 1729;
constexpr int IDS_NEED_CARD_KO = 1738, IDS_NEED_CARD_EN = 1739;
constexpr int IDS_REPAIRED_KO = 1740, IDS_REPAIRED_EN = 1741;
constexpr int IDS_REPAIR_FAILED_KO = 1742, IDS_REPAIR_FAILED_EN = 1743;
constexpr int IDS_REPAIR_FOLDER_KO = 1744, IDS_REPAIR_FOLDER_EN = 1745;
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

void CSamplePlayerDlg::ConnectRecoveryCommands() {
    connect(m_listFilename, &RecordingListView::recoverRequested, this,
            [this] { RecoverFromCard(DrivePath(), this); });
    connect(m_listFilename, &RecordingListView::repairRequested, this,
            [this](const QString& path) { RepairForOtherPlayers(path); });
}

CRecoverDlg::SourceOpener CSamplePlayerDlg::RecoverySource(const std::string& drive) {
    if (drive.empty() || CheckFormatTarget(drive, nullptr) != FormatRefusal::None) return {};
    return [drive](CardSource& source, std::string* error) {
        QtUDisks2Formatter udisks;
        const int fd = udisks.OpenDeviceReadOnly(drive, error);
        return fd >= 0 && source.Adopt(fd, drive, error);
    };
}

QString CSamplePlayerDlg::RunOutputFolderDialog(const QString& caption) {
    return QFileDialog::getExistingDirectory(this, caption, QDir::homePath(),
                                             QFileDialog::ShowDirsOnly);
}

void CSamplePlayerDlg::RecoverFromCard(const std::string& drive, QWidget* parent) {
    CRecoverDlg::SourceOpener opener = RecoverySource(drive);
    if (!opener) {
        ShowMessage(TrPair(IDS_NEED_CARD_KO, IDS_NEED_CARD_EN));
        return;
    }
    const QString folder =
        RunOutputFolderDialog(TrPair(IDS_RECOVER_FOLDER_KO, IDS_RECOVER_FOLDER_EN));
    if (folder.isEmpty()) return;
    CRecoverDlg dialog(parent, std::move(opener), QDir(folder).absolutePath().toStdString());
    connect(&dialog, &CRecoverDlg::showInList, this,
            [this](const QString& shown) { m_navigator->OpenPath(shown); });
    dialog.Start();
    RunRecoverDialog(dialog);
}

void CSamplePlayerDlg::RepairForOtherPlayers(const QString& path) {
    const QString folder =
        RunOutputFolderDialog(TrPair(IDS_REPAIR_FOLDER_KO, IDS_REPAIR_FOLDER_EN));
    if (folder.isEmpty()) return;
    const std::string out = FreeCopyPath(folder, path).toStdString();
    m_repairJob.Start([this, input = path.toStdString(), out](JobContext& job) {
        RepairReport report;
        std::string error;
        const bool written = RepairRecording(input, out, &report, &error);
        job.Post([this, written, out, error] {
            ShowMessage(written
                            ? TrPair(IDS_REPAIRED_KO, IDS_REPAIRED_EN, out.c_str())
                            : TrPair(IDS_REPAIR_FAILED_KO, IDS_REPAIR_FAILED_EN, error.c_str()));
        });
    });
}
