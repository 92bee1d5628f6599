#include "device/CardFormat.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "device/VCardFormatter.h"
#include "library/CardRoot.h"
#include "library/RemovableDrives.h"
#include "support/Profile.h"
#include "support/Trace.h"

namespace fs = std::filesystem;

namespace {

// The configuration file is a few hundred bytes; anything this large is not one.
constexpr std::uintmax_t kMaxConfigBytes = kMaxProfileBytes;

bool ReadConfigBytes(const std::string& path, std::string* bytes) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size > kMaxConfigBytes) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad() && bytes->size() == size;
}

// "/media/me/CARD/" and "/media/me/CARD" both name the mount point "/media/me/CARD".
std::string MountPointOf(const std::string& drivePath) {
    std::string root = CardRoot(drivePath);
    if (root.size() > 1 && root.back() == '/') root.pop_back();
    return root;
}

bool ReadText(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream out;
    out << in.rdbuf();
    *text = out.str();
    return true;
}

std::string FirstLine(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// The sysfs folder of a mount's block device, or empty when it has none.
fs::path BlockFolder(const MountEntry& entry, const std::string& sysRoot) {
    std::error_code ec;
    if (entry.major > 0) {
        const fs::path link = fs::path(sysRoot) / "dev" / "block" /
                              (std::to_string(entry.major) + ":" + std::to_string(entry.minor));
        if (fs::exists(link, ec)) return fs::canonical(link, ec);
    }
    // Btrfs and device-mapper mounts report a 0:N number; their source names the device.
    if (entry.device.rfind("/dev/", 0) == 0) {
        const fs::path real = fs::weakly_canonical(entry.device, ec);
        const fs::path name =
            (!ec && !real.empty()) ? real.filename() : fs::path(entry.device).filename();
        const fs::path folder = fs::path(sysRoot) / "class" / "block" / name;
        if (fs::exists(folder, ec)) return fs::canonical(folder, ec);
    }
    return {};
}

// The whole disk a block device belongs to (itself when it is not a partition).
fs::path DiskFolder(const fs::path& block) {
    std::error_code ec;
    return fs::exists(block / "partition", ec) ? block.parent_path() : block;
}

// Only the device's own flags count here: the desktop mounts fixed disks under /media too.
bool DiskIsRemovable(const fs::path& disk) {
    if (FirstLine(disk / "removable") == "1") return true;
    if (disk.filename().string().rfind("mmcblk", 0) == 0) return true;
    return disk.string().find("/mmc_host/") != std::string::npos;
}

bool IsUnder(const std::string& path, const std::string& mountPoint) {
    if (mountPoint == "/") return !path.empty() && path[0] == '/';
    return path == mountPoint || (path.size() > mountPoint.size() &&
                                  path.rfind(mountPoint, 0) == 0 && path[mountPoint.size()] == '/');
}

// The mount holding path: the last entry with the longest matching mount point, as the
// later mount hides the earlier one at the same place.
const MountEntry* MountHolding(const std::vector<MountEntry>& entries, const std::string& path) {
    const MountEntry* best = nullptr;
    for (const MountEntry& entry : entries) {
        if (!IsUnder(path, entry.mountPoint)) continue;
        if (!best || entry.mountPoint.size() >= best->mountPoint.size()) best = &entry;
    }
    return best;
}

}  // namespace

const std::vector<std::string>& CardFolderNames() {
    static const std::vector<std::string> names = {"DRIVING", "EVENT", "PARKING", "USER",
                                                   "SETTING"};
    return names;
}

bool CreateCardFolders(const std::string& cardRoot) {
    bool all = true;
    for (const std::string& name : CardFolderNames()) {
        std::error_code ec;
        const fs::path folder = fs::path(cardRoot) / name;
        fs::create_directory(folder, ec);
        if (!fs::is_directory(folder, ec)) all = false;
    }
    return all;
}

namespace {

// A format refused or failed: the copy goes unless the card may have lost the file.
void NoteNotFormatted(const CardFormatOutcome& outcome, const std::string& configPath,
                      const std::string& config, const std::string& backupPath,
                      CardFormatReport& report) {
    Trace("FormatCard: %s (%s)\n", outcome.result == CardFormatResult::Refused ? "refused" : "failed",
          outcome.detail.c_str());
    std::error_code ec;
    if (outcome.result == CardFormatResult::Refused) {
        // Nothing was touched: the file is still on the card.
        fs::remove(backupPath, ec);
        report.status = CardFormatStatus::Refused;
        return;
    }
    // Mostly a dismissed prompt with the card as it was; but a format that failed half-way
    // may have wiped it all the same, and then the copy is all there is.
    report.status = CardFormatStatus::FormatFailed;
    std::string still;
    if (ReadConfigBytes(configPath, &still) && still == config)
        fs::remove(backupPath, ec);
    else
        report.keptCopyPath = backupPath;
}

}  // namespace

CardFormatReport FormatCardKeepingConfig(const std::string& drivePath,
                                         const std::string& backupPath, VCardFormatter& formatter) {
    CardFormatReport report;
    report.drivePath = drivePath;
    const std::string configPath = CardConfigPath(CardRoot(drivePath));

    std::string config;
    if (!ReadConfigBytes(configPath, &config) || !WriteFileWhole(backupPath, config)) {
        Trace("FormatCard: no copy of %s in %s, card left alone\n", configPath.c_str(),
              backupPath.c_str());
        report.status = CardFormatStatus::BackupFailed;
        return report;
    }

    const CardFormatOutcome outcome = formatter.Format(MountPointOf(drivePath));
    if (outcome.result == CardFormatResult::FormattedNotMounted) {
        Trace("FormatCard: formatted, not mounted again (%s); copy kept in %s\n",
              outcome.detail.c_str(), backupPath.c_str());
        report.status = CardFormatStatus::RestoreFailed;
        report.keptCopyPath = backupPath;
        return report;
    }
    if (outcome.result != CardFormatResult::Formatted) {
        NoteNotFormatted(outcome, configPath, config, backupPath, report);
        return report;
    }
    if (!outcome.mountPoint.empty() && CardRoot(outcome.mountPoint) != CardRoot(drivePath))
        report.drivePath = outcome.mountPoint;

    // The copy in memory is the one just written to the backup file, so it is put back
    // even when the backup folder has gone away meanwhile.
    const std::string root = CardRoot(report.drivePath);
    const bool restored = CreateCardFolders(root) && WriteFileWhole(CardConfigPath(root), config);
    if (restored) {
        std::error_code ec;
        fs::remove(backupPath, ec);
        report.status = CardFormatStatus::Formatted;
    } else {
        Trace("FormatCard: could not restore %s; copy kept in %s\n", CardConfigPath(root).c_str(),
              backupPath.c_str());
        report.status = CardFormatStatus::RestoreFailed;
        report.keptCopyPath = backupPath;
    }
    return report;
}

std::string NewFormatBackupPath() {
    fs::path base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
        base = fs::path(home) / ".local" / "share";
    } else {
        return {};
    }
    const fs::path folder = base / "tarvex" / "card-settings";
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec)) return {};

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    for (int n = 0; n < 1000; ++n) {
        const std::string name = std::string("blackbox-") + stamp +
                                 (n ? "-" + std::to_string(n) : std::string()) + ".cfg";
        if (!fs::exists(folder / name, ec)) return (folder / name).string();
    }
    return {};
}

FormatRefusal CheckFormatTarget(const std::string& mountPoint, FormatTarget* target,
                                const FormatGuardSources& sources) {
    std::string text;
    if (!ReadText(sources.mountInfoPath, &text)) return FormatRefusal::NotAMountPoint;
    const std::vector<MountEntry> entries = ParseMountInfo(text);

    const std::string wanted = MountPointOf(mountPoint);
    const MountEntry* card = nullptr;
    for (const MountEntry& entry : entries)
        if (entry.mountPoint == wanted) card = &entry;  // the top mount at that place
    if (wanted.empty() || !card) return FormatRefusal::NotAMountPoint;

    const fs::path block = BlockFolder(*card, sources.sysRoot);
    if (block.empty()) return FormatRefusal::NotABlockDevice;
    const fs::path disk = DiskFolder(block);
    if (!DiskIsRemovable(disk)) return FormatRefusal::NotRemovable;

    std::vector<std::string> guarded = sources.systemPaths;
    std::error_code ec;
    guarded.push_back(sources.workingDirectory.empty() ? fs::current_path(ec).string()
                                                       : sources.workingDirectory);
    for (const std::string& path : guarded) {
        const std::string real = fs::weakly_canonical(path, ec).string();
        const MountEntry* holder = MountHolding(entries, ec ? path : real);
        if (!holder) continue;
        if (holder == card) return FormatRefusal::SystemDisk;
        const fs::path holderBlock = BlockFolder(*holder, sources.sysRoot);
        if (!holderBlock.empty() && DiskFolder(holderBlock) == disk)
            return FormatRefusal::SystemDisk;
    }

    if (target) {
        target->mountPoint = wanted;
        target->device = card->device;
        target->major = card->major;
        target->minor = card->minor;
    }
    return FormatRefusal::None;
}

const char* FormatRefusalName(FormatRefusal refusal) {
    switch (refusal) {
        case FormatRefusal::None:
            return "none";
        case FormatRefusal::NotAMountPoint:
            return "not a mount point";
        case FormatRefusal::NotABlockDevice:
            return "not a block device";
        case FormatRefusal::NotRemovable:
            return "not a removable disk";
        case FormatRefusal::SystemDisk:
            return "the system's own disk";
    }
    return "?";
}
