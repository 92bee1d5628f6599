#include "media/AviFile.h"

#include <sys/types.h>
#include <unistd.h>

#include "media/AviChunk.h"
#include "support/RegularFile.h"

namespace {
constexpr size_t kStreamBufferBytes = 256 * 1024;
}  // namespace

bool AviFile::Open(const char* path) {
    Close();
    if (path == nullptr) return false;
    m_file = OpenRegularFileStream(path);
    if (m_file == nullptr) return false;
    // Chunks are a few kilobytes each; stdio's default 4 KiB buffer would cost one or more
    // system calls per chunk.
    setvbuf(m_file, nullptr, _IOFBF, kStreamBufferBytes);
    if (fseeko(m_file, 0, SEEK_END) != 0) {
        Close();
        return false;
    }
    const off_t size = ftello(m_file);
    if (size < 0 || fseeko(m_file, 0, SEEK_SET) != 0) {
        Close();
        return false;
    }
    m_size = size;
    m_position = 0;
    return true;
}

void AviFile::Close() {
    if (m_file != nullptr) fclose(m_file);
    m_file = nullptr;
    m_size = 0;
    m_position = -1;
}

int64_t AviFile::Remaining() {
    const int64_t pos = Tell();
    if (pos < 0 || pos >= m_size) return 0;
    return m_size - pos;
}

size_t AviFile::Read(void* buffer, size_t length) {
    if (m_file == nullptr || buffer == nullptr || length == 0) return 0;
    const size_t n = fread(buffer, 1, length, m_file);
    if (m_position >= 0) m_position += static_cast<int64_t>(n);
    return n;
}

size_t AviFile::ReadAt(int64_t position, void* buffer, size_t length) {
    if (m_file == nullptr || buffer == nullptr || position < 0) return 0;
    size_t done = 0;
    while (done < length) {
        const ssize_t n = pread(fileno(m_file), static_cast<char*>(buffer) + done, length - done,
                                static_cast<off_t>(position + static_cast<int64_t>(done)));
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

int AviFile::Seek(int64_t offset, int origin) {
    if (m_file == nullptr) return -1;
    static const int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (origin < 0 || origin > 2) return -1;
    const int result = fseeko(m_file, static_cast<off_t>(offset), kWhence[origin]);
    m_position = ftello(m_file);
    return result;
}

int64_t AviFile::Tell() {
    if (m_file == nullptr) return -1;
    if (m_position < 0) m_position = ftello(m_file);
    return m_position;
}

bool AviFile::ReadU32(uint32_t* value) {
    uint8_t bytes[4];
    if (!ReadExact(bytes, sizeof bytes)) return false;
    *value = ReadLe32(bytes);
    return true;
}

bool AviFile::Skip(int64_t bytes) {
    if (bytes < 0) return false;
    const int64_t pos = Tell();
    if (pos < 0 || bytes > m_size - pos) return false;
    return Seek(bytes, 1) == 0;
}
