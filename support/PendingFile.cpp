#include "support/PendingFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int kMaxPendingFiles = 32;
constexpr size_t kMaxPathBytes = 4096;
// A name may have 255 bytes; the hidden prefix and the random part need room.
constexpr size_t kMaxBaseBytes = 200;
constexpr int kCreateAttempts = 16;
constexpr int kRandomChars = 8;
constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Read by the signal handler: lock-free atomics and a fixed buffer only.
struct PendingSlot {
    std::atomic<bool> claimed{false};  // owned by a PendingFile
    std::atomic<bool> live{false};     // path names a temporary to remove on a signal
    char path[kMaxPathBytes];
};
static_assert(std::atomic<bool>::is_always_lock_free);
PendingSlot g_slots[kMaxPendingFiles];

bool Fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

std::string Cause(int code) {
    return std::strerror(code);
}

// Holds the quit signals back in this thread while a temporary is created or the finished
// files are moved, so that no signal falls between a step and its entry in the table.
class QuitSignalsHeld {
public:
    QuitSignalsHeld() {
        sigset_t set;
        sigemptyset(&set);
        for (int s : kQuitSignals) sigaddset(&set, s);
        pthread_sigmask(SIG_BLOCK, &set, &m_saved);
    }
    ~QuitSignalsHeld() { pthread_sigmask(SIG_SETMASK, &m_saved, nullptr); }
    QuitSignalsHeld(const QuitSignalsHeld&) = delete;
    QuitSignalsHeld& operator=(const QuitSignalsHeld&) = delete;

private:
    sigset_t m_saved;
};

int ClaimSlot() {
    for (int i = 0; i < kMaxPendingFiles; ++i) {
        bool expected = false;
        if (g_slots[i].claimed.compare_exchange_strong(expected, true)) return i;
    }
    return -1;
}

void ReleaseSlot(int slot) {
    if (slot < 0) return;
    g_slots[slot].live.store(false);
    g_slots[slot].claimed.store(false);
}

std::string RandomPart() {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::atomic<unsigned> counter{0};
    std::random_device device;
    std::mt19937 generator(device() ^ (counter.fetch_add(1) * 2654435761u) ^
                           static_cast<unsigned>(getpid()));
    std::uniform_int_distribution<size_t> pick(0, sizeof kChars - 2);
    std::string part;
    for (int i = 0; i < kRandomChars; ++i) part += kChars[pick(generator)];
    return part;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The renames reach the device only when their folder is flushed too.
void SyncFolder(const std::string& path) {
    const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

void OnQuitSignal(int number) {
    RemovePendingFiles();
    signal(number, SIG_DFL);
    raise(number);  // delivered when the handler returns, by the default action
}

}  // namespace

PendingFile::~PendingFile() {
    Discard();
}

bool PendingFile::Create(const std::string& target, std::string* error) {
    Discard();
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    if (base.empty() || base == "." || base == "..")
        return Fail(error, "'" + target + "' names no file");
    if (base.size() > kMaxBaseBytes) base.resize(kMaxBaseBytes);

    QuitSignalsHeld held;
    const int slot = ClaimSlot();
    if (slot < 0) return Fail(error, "cannot write " + target + ": too many files under way");
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        const std::string temp = folder + "." + base + ".tmp-" + RandomPart();
        if (temp.size() >= kMaxPathBytes) break;
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) {
            const int code = errno;
            ReleaseSlot(slot);
            return Fail(error, "cannot write " + target + ": " + Cause(code));
        }
        std::memcpy(g_slots[slot].path, temp.c_str(), temp.size() + 1);
        g_slots[slot].live.store(true);
        m_target = target;
        m_temp = temp;
        m_fd = fd;
        m_slot = slot;
        return true;
    }
    ReleaseSlot(slot);
    return Fail(error, "cannot write " + target + ": no free temporary name beside it");
}

bool PendingFile::WriteAll(const std::string& text, std::string* error) {
    if (m_fd < 0) return Fail(error, "cannot write " + m_target + ": not open");
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(m_fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail(error, "cannot write " + m_target + ": " + Cause(errno));
        done += static_cast<size_t>(n);
    }
    return true;
}

bool PendingFile::Close(std::string* error) {
    if (m_fd < 0) return true;
    // Some file systems (and /dev files) cannot flush; that is no write error.
    const bool synced = ::fsync(m_fd) == 0 || errno == EINVAL || errno == EROFS;
    const int syncCode = errno;
    const bool closed = ::close(m_fd) == 0;
    const int closeCode = errno;
    m_fd = -1;
    if (!synced) return Fail(error, "cannot write " + m_target + ": " + Cause(syncCode));
    if (!closed) return Fail(error, "cannot write " + m_target + ": " + Cause(closeCode));
    return true;
}

void PendingFile::Discard() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_temp.empty()) {
        QuitSignalsHeld held;
        ::unlink(m_temp.c_str());
        ReleaseSlot(m_slot);
    }
    m_slot = -1;
    m_temp.clear();
}

bool PendingFile::CommitAll(std::initializer_list<PendingFile*> files, std::string* error) {
    return CommitAll(std::vector<PendingFile*>(files), error);
}

bool PendingFile::CommitAll(const std::vector<PendingFile*>& files, std::string* error) {
    bool whole = true;
    for (PendingFile* f : files) {
        if (!f || !whole) continue;
        if (f->m_temp.empty())
            whole = Fail(error, "cannot write " + f->m_target + ": not open");
        else if (!f->Close(error))
            whole = false;
    }
    if (!whole) {
        for (PendingFile* f : files)
            if (f) f->Discard();
        return false;
    }
    QuitSignalsHeld held;
    std::vector<PendingFile*> moved;
    for (PendingFile* f : files) {
        if (!f) continue;
        if (::rename(f->m_temp.c_str(), f->m_target.c_str()) != 0) {
            Fail(error, "cannot move the finished file onto " + f->m_target + ": " + Cause(errno));
            // The set is all or nothing: what was already moved goes too.
            for (PendingFile* m : moved) ::unlink(m->m_target.c_str());
            for (PendingFile* g : files)
                if (g) g->Discard();
            return false;
        }
        moved.push_back(f);
    }
    for (PendingFile* f : moved) {
        ReleaseSlot(f->m_slot);
        f->m_slot = -1;
        f->m_temp.clear();
        SyncFolder(f->m_target);
    }
    return true;
}

void RemovePendingFiles() {
    for (PendingSlot& slot : g_slots)
        if (slot.live.load()) ::unlink(slot.path);
}

bool InstallPendingFileCleanup() {
    bool ok = true;
    for (int number : kQuitSignals) {
        struct sigaction old;
        if (sigaction(number, nullptr, &old) != 0) {
            ok = false;
            continue;
        }
        // A signal ignored from the start (nohup) stays ignored.
        if (old.sa_handler == SIG_IGN) continue;
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_handler = OnQuitSignal;
        sigemptyset(&action.sa_mask);
        for (int s : kQuitSignals) sigaddset(&action.sa_mask, s);
        ok = sigaction(number, &action, nullptr) == 0 && ok;
    }
    return ok;
}
