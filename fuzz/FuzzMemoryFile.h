#pragma once
// A fuzz input as a file: the reader and the player take a path, and an in-memory file keeps
// the runs off the disk. Each Fill replaces the whole content.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

class FuzzMemoryFile {
public:
    explicit FuzzMemoryFile(const char* name) : m_fd(memfd_create(name, 0)) {
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }
    ~FuzzMemoryFile() {
        if (m_fd >= 0) close(m_fd);
    }
    FuzzMemoryFile(const FuzzMemoryFile&) = delete;
    FuzzMemoryFile& operator=(const FuzzMemoryFile&) = delete;

    bool Fill(const uint8_t* data, size_t size) {
        if (m_fd < 0 || ftruncate(m_fd, 0) != 0) return false;
        size_t done = 0;
        while (done < size) {
            const ssize_t n = pwrite(m_fd, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
    const char* Path() const { return m_path.c_str(); }

private:
    int m_fd;  // the memory file, -1 when it could not be made
    std::string m_path;
};
