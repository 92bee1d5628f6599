#pragma once
// An output written under a unique temporary name in its target's folder and moved onto the
// target only when whole: a failed, cancelled or killed write never leaves half a file under
// the target's name, and never touches another file (a fixed name such as OUT.part could be
// the user's own file, or another run's).
//
// The temporary is a hidden name beside the target with a random part, created with O_EXCL
// (as mkstemp does) but with the usual 0666 & ~umask mode, so the finished file gets the
// permissions any new file there would. Every live temporary of the process is listed in a
// fixed table that RemovePendingFiles() walks without locks or allocation, so a signal handler
// may call it; InstallPendingFileCleanup() installs such handlers for a program without an
// event loop of its own (the command-line tool). The viewer blocks the quit signals instead
// and ends the normal way, cancelling exports, whose temporaries go with their PendingFile.
//
// Threads: one PendingFile is used by one thread at a time; the table may be walked by a
// signal handler at any moment.

#include <initializer_list>
#include <string>
#include <vector>

class PendingFile {
public:
    PendingFile() = default;
    ~PendingFile();  // removes the temporary unless committed
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Creates the temporary beside target; false with the cause in *error.
    bool Create(const std::string& target, std::string* error);
    const std::string& Target() const { return m_target; }
    const std::string& TempPath() const { return m_temp; }

    // Writes all of text to the temporary; false with the cause in *error.
    bool WriteAll(const std::string& text, std::string* error);
    // Flushes the temporary to the device and closes it; false with the cause in *error.
    bool Close(std::string* error);
    // Removes the temporary (nothing happens to the target).
    void Discard();

    // Closes every file, then moves each onto its target, only when all are whole. On
    // failure none of them is left under its target's name. Null entries are skipped. The
    // quit signals are held back during the renames, so a signal never splits the set.
    static bool CommitAll(std::initializer_list<PendingFile*> files, std::string* error);
    static bool CommitAll(const std::vector<PendingFile*>& files, std::string* error);

private:
    std::string m_target;
    std::string m_temp;
    int m_fd = -1;
    int m_slot = -1;  // entry in the table of live temporaries
};

// Removes every live temporary of the process. Async-signal-safe.
void RemovePendingFiles();
// On SIGTERM, SIGINT and SIGHUP: removes the live temporaries, then ends the process by the
// signal as if no handler were installed. For programs whose main thread does the work.
bool InstallPendingFileCleanup();
