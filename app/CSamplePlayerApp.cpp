#include "app/CSamplePlayerApp.h"

#include "app/CSamplePlayerDlg.h"
#include "app/MprisService.h"

bool CSamplePlayerApp::InitInstance(const std::string& cardFolder) {
    CSamplePlayerDlg dialog;
    if (!cardFolder.empty()) {
        dialog.SetDrivePath(cardFolder);
        dialog.OnBnClickedButtonDriving();
    }
    // Media keys and desktop players' controls; without a session bus the window runs alone.
    MprisService mpris(dialog);
    mpris.Register();
    dialog.exec();
    return false;
}
