#pragma once
// SHA-256 of a file, as `sha256sum` prints it (64 lower-case hex digits), the checked copy of
// a file that may change under the reader (a recording on a card that is still being written,
// or pulled out), and the lines of a SHA256SUMS file.

#include <cstdint>
#include <functional>
#include <string>

// False, with the reason in *error, when the file cannot be read to its end. Anything but a
// regular file is refused before it is opened, so a FIFO never blocks the reader.
bool Sha256OfFile(const std::string& path, std::string* hex, std::string* error);

// The same for a file already open (read from its current position to its end); *bytes (may
// be null) gets how many were read. The descriptor stays open.
bool Sha256OfDescriptor(int fd, const std::string& name, std::string* hex, uint64_t* bytes,
                        std::string* error);
// The SHA-256 of bytes held in memory, as Sha256OfFile gives it.
std::string Sha256OfBytes(const std::string& bytes);

// One state of a file: the same stamp before the first byte is read and after the last means
// the bytes read are the file as it was.
struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t modifiedNs = 0;  // since 1970
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at path (links followed); false with the reason in *error.
bool StampOfFile(const std::string& path, FileStamp* stamp, std::string* error);

struct CopiedFile {
    std::string sha256;
    FileStamp stamp;  // the source's, which the copy holds byte for byte
};

// Called after each block with the bytes copied so far and the source's size; false stops the
// copy (the caller sets its own reason).
using CopyProgress = std::function<bool(uint64_t done, uint64_t total)>;

// Copies source to target byte for byte (target must not exist yet), hashes the bytes on the
// way and flushes the copy to the device. The source must keep one stamp from the open to the
// end (and that of *expected when given, taken when it was first read), or the copy fails
// naming it as changed or gone. False, with the reason in *error, when either file fails or
// progress stops it; a failed copy leaves no target behind.
bool CopyAndHash(const std::string& source, const std::string& target, const FileStamp* expected,
                 const CopyProgress& progress, CopiedFile* copied, std::string* error);

// A line of SHA256SUMS for the file at rel (with its newline). A name holding a newline or a
// backslash is escaped as `sha256sum` does: the line starts with a backslash.
std::string Sha256SumsLine(const std::string& hex, const std::string& rel);
// The hash and the name of such a line (without its newline); false for anything else.
bool ParseSha256SumsLine(const std::string& line, std::string* hex, std::string* rel);
