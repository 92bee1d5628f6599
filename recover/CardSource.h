#pragma once
// A card image or a card's block device, read only. The source is opened O_RDONLY and never
// written; reads are positioned (pread), so nothing about the source changes while it is read.
// A read that fails or meets the end (a card pulled, a device that stops answering, an image
// that shrinks) reports the bytes it got; callers treat a short read as the end of what can
// be found.
//
// Threads: one thread at a time.

#include <cstddef>
#include <cstdint>
#include <string>

class CardSource {
public:
    CardSource() = default;
    ~CardSource();
    CardSource(const CardSource&) = delete;
    CardSource& operator=(const CardSource&) = delete;

    // A regular file or a block device; false with the cause in *error for anything else,
    // and for a source that cannot be opened read-only.
    bool Open(const std::string& path, std::string* error);
    // A descriptor opened elsewhere (the desktop's disk service hands one over after asking
    // for the password); the source owns it from now on and closes it, also on failure. It
    // must be open read-only: one that could write is refused. name is for messages.
    bool Adopt(int fd, const std::string& name, std::string* error);

    uint64_t Size() const { return m_size; }
    bool IsBlockDevice() const { return m_blockDevice; }
    // The device number of a block device (st_rdev), or the device the image lies on.
    uint64_t Device() const { return m_device; }
    uint64_t Inode() const { return m_inode; }

    // Bytes read at position, fewer than length at the end or after an error (never waits
    // for more). Once a read has failed the source counts as ended there.
    size_t ReadAt(uint64_t position, void* buffer, size_t length);
    // True once a read failed with an error (not merely the end of the source).
    bool Failed() const { return m_failed; }

private:
    // Size, device and kind of the open descriptor.
    bool Describe(const std::string& name, std::string* error);

    int m_fd = -1;
    uint64_t m_size = 0;
    uint64_t m_device = 0;
    uint64_t m_inode = 0;
    bool m_blockDevice = false;
    bool m_failed = false;
};

// True when folder lies on the source itself: a folder on the same file system as an image, or
// on the block device (or on a partition of the disk) the source is. Writing there could
// overwrite the very clusters being recovered.
bool FolderIsOnSource(const std::string& folder, const CardSource& source);

// The same decision from device numbers: a folder on file system folderDevice, and a source
// that is a block device (sourceDevice its st_rdev) or an image (lying on sourceDevice as
// inode sourceInode). sysRoot is where the kernel's /sys is read.
bool DeviceIsOnSource(uint64_t folderDevice, bool sourceIsBlock, uint64_t sourceDevice,
                      uint64_t sourceInode, const std::string& sysRoot = "/sys");
