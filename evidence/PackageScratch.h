#pragma once
// The folder a package is built in: a hidden name beside its target (".NAME.partial-" and a
// random part), moved onto the target only when whole.
//
// A folder with such a name may be anybody's: the user's own, a live run's in another PID
// namespace, another machine's on a shared disk. So a run marks its folder with a file inside
// it that names the host, the process and the time it began, and holds a lock on that file
// for as long as the folder is in use. The lock goes with the process however it ends (a
// kill, a crash, a power cut), so a marked folder of this host whose lock can be taken is a
// dead run's leftover, and the next package written beside it removes it, whatever its
// target's name. An unmarked folder, a locked one or another host's is never touched.
//
// Threads: one PackageScratch per package, used by the thread that writes it.

#include <filesystem>
#include <string>

class PackageScratch {
public:
    PackageScratch() = default;
    ~PackageScratch();  // removes the folder unless it was moved onto its target
    PackageScratch(const PackageScratch&) = delete;
    PackageScratch& operator=(const PackageScratch&) = delete;

    // Removes the dead runs' folders in folder (see above).
    static void RemoveLeftovers(const std::filesystem::path& folder);
    // The marker's name inside the folder: it is no part of the package.
    static bool IsMarker(const std::filesystem::path& relative);

    // Creates the marked folder beside target; false with the cause in *error.
    bool Create(const std::filesystem::path& target, std::string* error);
    const std::filesystem::path& Path() const { return m_path; }

    // Unmarks the folder, flushes everything in it to the device and renames it onto target,
    // which must be missing or an empty folder (anything else stays as it is), then flushes
    // target's parent so that the rename lasts too. False with the cause in *error.
    bool MoveOnto(const std::filesystem::path& target, std::string* error);

private:
    void Unmark();

    std::filesystem::path m_path;
    int m_marker = -1;  // locked while the folder is in use
    bool m_moved = false;
};
