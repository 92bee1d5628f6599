#include "support/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

int Fail(const std::string& path, const char* reason, std::string* error, int savedErrno) {
    if (error) *error = path + ": " + reason;
    errno = savedErrno;
    return -1;
}

}  // namespace

int OpenRegularFile(const std::string& path, std::string* error) {
    if (path.empty()) return Fail(path, std::strerror(ENOENT), error, ENOENT);
    // O_NONBLOCK lets the open of a FIFO return at once; O_NOCTTY keeps a terminal from
    // becoming ours.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int saved = errno;
        return Fail(path, std::strerror(saved), error, saved);
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Fail(path, "not a regular file", error, EINVAL);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int saved = errno;
        ::close(fd);
        return Fail(path, std::strerror(saved), error, saved);
    }
    return fd;
}

FILE* OpenRegularFileStream(const std::string& path, std::string* error) {
    const int fd = OpenRegularFile(path, error);
    if (fd < 0) return nullptr;
    FILE* f = ::fdopen(fd, "rb");
    if (!f) {
        const int saved = errno;
        ::close(fd);
        Fail(path, std::strerror(saved), error, saved);
    }
    return f;
}

bool IsReadableRegularFile(const std::string& path, std::string* error) {
    const int fd = OpenRegularFile(path, error);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}
