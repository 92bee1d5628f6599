// The still capture's questions to the user, which tests answer in their place.
#include <QFileDialog>
#include <QFileInfo>

#include "app/CSamplePlayerDlg.h"

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
    dialog.setNameFilter(QStringLiteral("jpeg file (*.jpg)"));
    const QFileInfo proposed(proposedPath);
    dialog.setDirectory(proposed.absolutePath());
    dialog.selectFile(proposed.fileName());  // no default extension; overwriting is asked about
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
}
