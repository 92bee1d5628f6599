#pragma once
// The recording file as the container reader sees it: a buffered stdio stream opened "rb",
// 64-bit positions, its size learned at open, and reads that either deliver every byte asked
// for or report failure (a read that meets the end of the file is a failure, never a
// silent partial value).

#include <cstddef>
#include <cstdint>
#include <cstdio>

class AviFile {
public:
    AviFile() = default;
    ~AviFile() { Close(); }
    AviFile(const AviFile&) = delete;
    AviFile& operator=(const AviFile&) = delete;

    // Closes any open file first. False when the path cannot be opened, is not a regular file
    // (a FIFO would block the open) or is not seekable.
    bool Open(const char* path);
    void Close();
    bool IsOpen() const { return m_file != nullptr; }

    // Size in bytes at the time of opening.
    int64_t Size() const { return m_size; }
    // Bytes from the current position to the end of the file (0 when closed or past it).
    int64_t Remaining();

    // Plain stdio operations; Read returns the bytes read, Seek 0 on success.
    size_t Read(void* buffer, size_t length);
    int Seek(int64_t offset, int origin);
    int64_t Tell();

    // Reads at an absolute position without moving the stream or filling its buffer (one
    // system call, for walks that only look at chunk headers). Returns the bytes read.
    size_t ReadAt(int64_t position, void* buffer, size_t length);

    bool ReadExact(void* buffer, size_t length) { return Read(buffer, length) == length; }
    bool ReadFourCC(char id[4]) { return ReadExact(id, 4); }
    bool ReadU32(uint32_t* value);
    // Moves forward; false when that would leave the file (the next read would fail anyway).
    bool Skip(int64_t bytes);

private:
    FILE* m_file = nullptr;
    int64_t m_size = 0;
    // The stream position, kept here because ftello costs a system call and the reader asks
    // for it before every chunk. -1 when unknown.
    int64_t m_position = -1;
};
