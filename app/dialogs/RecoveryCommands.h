#pragma once
// The card's deleted recordings brought back, and a repaired copy of a recording cut short:
// both from the list's menu, the first also from the format dialog before a format.
//
// GUI thread only; the repair runs on a background job.

#include <QObject>
#include <QString>
#include <string>

#include "app/jobs/BackgroundJob.h"

class CSamplePlayerDlg;
class WindowDialogs;

class RecoveryCommands : public QObject {
    Q_OBJECT
public:
    RecoveryCommands(CSamplePlayerDlg& window, WindowDialogs& dialogs);

    // Recovers the deleted recordings of the card in the reader at drive into a folder the
    // user picks; the dialog (child of parent) can list that folder in the window.
    void RecoverFromCard(const std::string& drive, QWidget* parent);
    // Writes a copy of a recording cut short that other players open, into a folder the
    // user picks, in the background; a message says where it went or why it did not.
    void RepairForOtherPlayers(const QString& path);

private:
    CSamplePlayerDlg& m_window;
    WindowDialogs& m_dialogs;
    BackgroundJob m_repairJob;  // the repaired copy being written
};
