#pragma once
// The parts a dialog that runs one long job shows: what it is doing, its progress, and below
// them "Open folder" (hidden until the job has written something to open) beside the button
// that cancels the job and, once it has ended, closes the dialog.

#include <QString>

class QDialog;
class QLabel;
class QProgressBar;
class QPushButton;

struct JobDialogParts {
    QLabel* text = nullptr;
    QProgressBar* progress = nullptr;  // 0 ... kMax
    QPushButton* openFolder = nullptr;
    QPushButton* button = nullptr;  // Cancel, then Close
    static constexpr int kMax = 100;
};

// Lays them out in dialog (which owns them), the text starting as `doing`.
JobDialogParts MakeJobDialogParts(QDialog& dialog, const QString& doing);

// Shows text, growing the dialog to hold all of its lines at the dialog's width: a message
// of several lines (a failure naming a file and its cause) is never cut at the top or bottom.
void ShowJobDialogText(QDialog& dialog, QLabel* label, const QString& text);
