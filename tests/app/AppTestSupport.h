#pragma once
// Shared pieces of the window tests: a generated sample card, waiting for the event loop,
// and a main window whose modal questions are answered by the test.

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

#include "app/CSamplePlayerDlg.h"

namespace apptest {

// Names of the generated card's recordings (newest first within each folder).
struct SampleCard {
    std::string root;
    // DRIVING, newest first: 8 s, 60 s, 8 s (all two-camera).
    std::string driving[3];
    std::string event;
    std::string user;
};

// The shared sample card under the test data folder, generated on first use (small
// pictures, short recordings; the middle DRIVING recording lasts 60 s).
const SampleCard& Card();
// A private copy of the card that a test may damage or delete.
std::string CopyCard(const std::string& name);

// Runs the event loop until done() holds or a generous limit passes; returns done().
// The limit only keeps a broken build from hanging; nothing asserts on the time taken.
bool WaitUntil(const std::function<bool()>& done, int limitMs = 30000);
// Runs the event loop for about ms.
void Pump(int ms);

// The real main window with its modal questions answered in place.
class TestWindow : public CSamplePlayerDlg {
public:
    using CSamplePlayerDlg::CSamplePlayerDlg;

    QStringList messages;
    int quitQuestions = 0;
    bool quitAnswer = false;
    int driveDialogs = 0;
    std::string driveAnswer;  // empty: the dialog is cancelled

protected:
    bool RunDriveDialog(std::string* drive) override;
    bool AskQuit(const QString& text, const QString& caption) override;
    void ShowMessage(const QString& text) override;
};

}  // namespace apptest
