#include "evidence/PackageScratch.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <random>

namespace fs = std::filesystem;

namespace {

constexpr const char* kMarker = ".tarvex-package-under-way";
constexpr const char* kMarkerFirstLine = "tarvex package under way\n";
constexpr const char* kPartial = ".partial-";
constexpr size_t kMaxMarkerBytes = 4096;
// A name may have 255 bytes; the hidden prefix and the random part need room.
constexpr size_t kMaxBaseBytes = 200;
constexpr int kRandomChars = 8;
constexpr int kCreateAttempts = 16;

bool Fail(std::string* error, const std::string& message) {
    *error = message;
    return false;
}

std::string Cause(int code) {
    return std::strerror(code);
}

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "unknown";
    return name;
}

std::string RandomPart() {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device device;
    std::uniform_int_distribution<size_t> pick(0, sizeof kChars - 2);
    std::string part;
    for (int i = 0; i < kRandomChars; ++i) part += kChars[pick(device)];
    return part;
}

std::string MarkerText() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char began[32];
    std::strftime(began, sizeof began, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return std::string(kMarkerFirstLine) + "host " + HostName() + "\npid " +
           std::to_string(::getpid()) + "\nstarted " + began + "\n";
}

bool LooksLikeScratch(const std::string& name) {
    return name.size() > 1 && name[0] == '.' && name.find(kPartial) != std::string::npos;
}

// True when the marker's lock could be taken (its run is over) and it names this host. The
// descriptor is closed by the caller, after the removal, so no other sweeper takes it first.
bool DeadRunOfThisHost(int marker) {
    struct stat st;
    if (::fstat(marker, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (::flock(marker, LOCK_EX | LOCK_NB) != 0) return false;
    char text[kMaxMarkerBytes];
    const ssize_t n = ::read(marker, text, sizeof text - 1);
    if (n <= 0) return false;
    const std::string content(text, static_cast<size_t>(n));
    return content.rfind(kMarkerFirstLine, 0) == 0 &&
           content.find("\nhost " + HostName() + "\n") != std::string::npos;
}

// Flushes path (a file or a folder, links not followed) to the device.
bool SyncOne(const fs::path& path, std::string* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Fail(error, "cannot flush " + path.string() + ": " + Cause(errno));
    // Some file systems cannot flush a folder; that is no write error.
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
    const int code = errno;
    ::close(fd);
    if (!synced) return Fail(error, "cannot flush " + path.string() + ": " + Cause(code));
    return true;
}

bool SyncTree(const fs::path& folder, std::string* error) {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (!it->is_symlink(ec) && !SyncOne(it->path(), error)) return false;
    if (ec) return Fail(error, "cannot flush " + folder.string() + ": " + ec.message());
    return SyncOne(folder, error);
}

}  // namespace

PackageScratch::~PackageScratch() {
    if (!m_moved && !m_path.empty()) {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    if (m_marker >= 0) ::close(m_marker);
}

void PackageScratch::RemoveLeftovers(const fs::path& folder) {
    std::error_code ec;
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        const fs::directory_entry& e = *it;
        std::error_code typeError;
        if (!LooksLikeScratch(e.path().filename().string()) || !e.is_directory(typeError) ||
            e.is_symlink(typeError))
            continue;
        const int dir = ::open(e.path().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (dir < 0) continue;
        const int marker = ::openat(dir, kMarker, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        ::close(dir);
        if (marker < 0) continue;
        if (DeadRunOfThisHost(marker)) fs::remove_all(e.path(), typeError);
        ::close(marker);
    }
}

bool PackageScratch::IsMarker(const fs::path& relative) {
    return relative == kMarker;
}

bool PackageScratch::Create(const fs::path& target, std::string* error) {
    std::string base = target.filename().string();
    if (base.size() > kMaxBaseBytes) base.resize(kMaxBaseBytes);
    for (int attempt = 0; attempt < kCreateAttempts && m_path.empty(); ++attempt) {
        const fs::path path = target.parent_path() / ("." + base + kPartial + RandomPart());
        if (::mkdir(path.c_str(), 0777) == 0)
            m_path = path;
        else if (errno != EEXIST)
            return Fail(error, "cannot create " + path.string() + ": " + Cause(errno));
    }
    if (m_path.empty()) return Fail(error, "no free temporary name beside " + target.string());
    const fs::path marker = m_path / kMarker;
    m_marker = ::open(marker.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (m_marker < 0) return Fail(error, "cannot create " + marker.string() + ": " + Cause(errno));
    // Where the file system keeps no locks, no sweeper can take one either, so the folder is
    // still safe; it is only never swept.
    (void)::flock(m_marker, LOCK_EX | LOCK_NB);
    const std::string text = MarkerText();
    if (::write(m_marker, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        return Fail(error, "cannot write " + marker.string() + ": " + Cause(errno));
    return true;
}

void PackageScratch::Unmark() {
    // Unlinked while still locked: from here on no sweeper can take the folder for a dead
    // run's, and the package never holds the marker.
    ::unlink((m_path / kMarker).c_str());
}

bool PackageScratch::MoveOnto(const fs::path& target, std::string* error) {
    Unmark();
    if (!SyncTree(m_path, error)) return false;
    // rename() replaces an empty folder and nothing else: a file, a link or a folder that
    // filled up meanwhile makes it fail and stays as it was.
    if (::rename(m_path.c_str(), target.c_str()) != 0)
        return Fail(error, "cannot move the package to " + target.string() + ": " + Cause(errno));
    m_moved = true;
    // The package is whole and in place; a folder that cannot be flushed is no reason to
    // call it failed.
    std::string ignored;
    (void)SyncOne(target.parent_path(), &ignored);
    return true;
}
