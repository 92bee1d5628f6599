// The still capture's questions to the user, which tests answer in their place.
#include <QFileDialog>
#include <QFileInfo>

#include "app/window/CSamplePlayerDlg.h"
#include "support/StringTable.h"

namespace {

constexpr int IDS_JPEG_FILTER_KO = 1484, IDS_JPEG_FILTER_EN = 1485;

}  // namespace

std::tm CSamplePlayerDlg::LocalTime() const {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

QString CSamplePlayerDlg::RunCaptureDialog(const QString& proposedPath) {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QString::fromStdString(
        FormatResourceString(PickStringId(IDS_JPEG_FILTER_KO, IDS_JPEG_FILTER_EN))));
    const QFileInfo proposed(proposedPath);
    dialog.setDirectory(proposed.absolutePath());
    dialog.selectFile(proposed.fileName());  // no default extension; overwriting is asked about
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
}
