#include "app/desktop/QuitSignals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cstdlib>

#include "support/Trace.h"

namespace {

sigset_t QuitSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

bool QuitSignals::BlockInThisThread() {
    const sigset_t set = QuitSet();
    return pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0;
}

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
    const sigset_t set = QuitSet();
    m_fd = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_fd < 0) return;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::OnReadable);
}

QuitSignals::~QuitSignals() {
    delete m_notifier;
    if (m_fd >= 0) close(m_fd);
}

void QuitSignals::OnReadable() {
    signalfd_siginfo info;
    while (read(m_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        const int number = static_cast<int>(info.ssi_signo);
        Trace("Quit signal %d\n", number);
        // The first asks for the normal way out; if that hangs, the next one is obeyed.
        if (++m_received > 1) std::_Exit(128 + number);
        emit quitRequested(number);
    }
}
