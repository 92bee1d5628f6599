#include "recover/CardSource.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

CardSource::~CardSource() {
    if (m_fd >= 0) close(m_fd);
}

bool CardSource::Open(const std::string& path, std::string* error) {
    // Non-blocking, so a FIFO named like an image cannot hold the open; cleared below.
    m_fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0) {
        *error = path + ": " + strerror(errno);
        return false;
    }
    return Describe(path, error);
}

bool CardSource::Adopt(int fd, const std::string& name, std::string* error) {
    if (m_fd >= 0) close(m_fd);
    m_fd = fd;
    const int flags = fd >= 0 ? fcntl(fd, F_GETFL) : -1;
    if (flags < 0) {
        *error = name + ": " + strerror(errno ? errno : EBADF);
        return false;
    }
    if ((flags & O_ACCMODE) != O_RDONLY) {
        *error = name + ": handed over open for writing; a card is only ever read";
        return false;
    }
    return Describe(name, error);
}

bool CardSource::Describe(const std::string& path, std::string* error) {
    struct stat st {};
    if (fstat(m_fd, &st) != 0) {
        *error = path + ": " + strerror(errno);
        return false;
    }
    if (S_ISREG(st.st_mode)) {
        m_size = static_cast<uint64_t>(st.st_size);
        m_device = st.st_dev;
    } else if (S_ISBLK(st.st_mode)) {
        uint64_t bytes = 0;
        if (ioctl(m_fd, BLKGETSIZE64, &bytes) != 0) {
            *error = path + ": cannot read the device's size: " + strerror(errno);
            return false;
        }
        m_size = bytes;
        m_device = st.st_rdev;
        m_blockDevice = true;
    } else {
        *error = path + ": not a card image or a block device";
        return false;
    }
    m_inode = st.st_ino;
    fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

size_t CardSource::ReadAt(uint64_t position, void* buffer, size_t length) {
    if (m_fd < 0 || position >= m_size) return 0;
    if (length > m_size - position) length = static_cast<size_t>(m_size - position);
    size_t done = 0;
    while (done < length) {
        const ssize_t n = pread(m_fd, static_cast<char*>(buffer) + done, length - done,
                                static_cast<off_t>(position + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) m_failed = true;
        if (n <= 0) {
            // Whatever lies past a failure or an early end is gone for this run.
            m_size = position + done;
            break;
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

namespace {

std::string DeviceFolder(const std::string& sysRoot, uint64_t device) {
    return sysRoot + "/dev/block/" + std::to_string(major(device)) + ":" +
           std::to_string(minor(device));
}

bool ReadDeviceNumber(const std::string& path, uint64_t* device) {
    std::ifstream in(path);
    unsigned maj = 0, min = 0;
    char colon = 0;
    if (!(in >> maj >> colon >> min) || colon != ':') return false;
    *device = makedev(maj, min);
    return true;
}

// The whole disk a partition belongs to, from sysfs; the device itself when it is a disk.
uint64_t WholeDisk(const std::string& sysRoot, uint64_t device) {
    const std::string base = DeviceFolder(sysRoot, device);
    std::ifstream partition(base + "/partition");
    if (!partition) return device;
    uint64_t parent = device;
    return ReadDeviceNumber(base + "/../dev", &parent) ? parent : device;
}

// The loop device an image is attached to (mounted, perhaps), or 0.
uint64_t LoopDeviceOf(const std::string& sysRoot, uint64_t imageDevice, uint64_t imageInode) {
    for (int n = 0; n < 256; ++n) {
        const std::string base = sysRoot + "/block/loop" + std::to_string(n);
        std::ifstream backing(base + "/loop/backing_file");
        std::string path;
        if (!backing || !std::getline(backing, path)) continue;
        struct stat st {};
        if (stat(path.c_str(), &st) != 0 || st.st_dev != imageDevice || st.st_ino != imageInode)
            continue;
        uint64_t loop = 0;
        if (ReadDeviceNumber(base + "/dev", &loop)) return loop;
    }
    return 0;
}

}  // namespace

bool DeviceIsOnSource(uint64_t folderDevice, bool sourceIsBlock, uint64_t sourceDevice,
                      uint64_t sourceInode, const std::string& sysRoot) {
    const uint64_t folderDisk = WholeDisk(sysRoot, folderDevice);
    if (!sourceIsBlock) {
        // An image is only written through when it is attached (and mounted) as a loop device.
        const uint64_t loop = LoopDeviceOf(sysRoot, sourceDevice, sourceInode);
        return loop != 0 && (folderDevice == loop || folderDisk == loop);
    }
    return folderDevice == sourceDevice || folderDisk == sourceDevice ||
           folderDisk == WholeDisk(sysRoot, sourceDevice);
}

bool FolderIsOnSource(const std::string& folder, const CardSource& source) {
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0) return false;
    return DeviceIsOnSource(st.st_dev, source.IsBlockDevice(), source.Device(), source.Inode());
}
