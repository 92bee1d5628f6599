#pragma once
// Ends the viewer the normal way on SIGTERM, SIGINT and SIGHUP (kill, Ctrl+C in a terminal,
// the desktop session ending).
//
// The three signals are blocked from the start of main, before any thread exists, so every
// thread inherits the mask and none of them ever runs a handler, whoever installed one (the
// map's browser engine installs its own and would otherwise swallow SIGTERM). They stay
// pending until a signalfd read on the GUI thread's event loop picks them up and turns them
// into quitRequested. A second signal while the first quit is still under way ends the
// process at once.

#include <QObject>

class QSocketNotifier;

class QuitSignals : public QObject {
    Q_OBJECT
public:
    // Blocks the three signals in the calling thread. Run first thing in main; run again on
    // the GUI thread after something may have unblocked them (the browser engine's start).
    static bool BlockInThisThread();

    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    bool IsListening() const { return m_fd >= 0; }

signals:
    void quitRequested(int signalNumber);

private:
    void OnReadable();

    int m_fd = -1;  // GUI thread only
    QSocketNotifier* m_notifier = nullptr;
    int m_received = 0;
};
