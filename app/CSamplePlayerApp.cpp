#include "app/CSamplePlayerApp.h"

#include "app/CSamplePlayerDlg.h"

bool CSamplePlayerApp::InitInstance(const std::string& cardFolder) {
    CSamplePlayerDlg dialog;
    if (!cardFolder.empty()) {
        dialog.SetDrivePath(cardFolder);
        dialog.OnBnClickedButtonDriving();
    }
    dialog.exec();
    return false;
}
