#include "library/RemovableDrives.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    std::string field;
    while (in >> field) fields.push_back(field);
    return fields;
}

bool ReadWholeFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream out;
    out << in.rdbuf();
    *text = out.str();
    return true;
}

std::string ReadFirstLine(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string CurrentUserName() {
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name) return pw->pw_name;
    if (const char* user = std::getenv("USER")) return user;
    return {};
}

// The /sys/class/block style folder of the device, or empty when it is not a block device.
fs::path BlockFolder(const MountEntry& entry, const std::string& sysRoot) {
    std::error_code ec;
    if (entry.major >= 0 && entry.minor >= 0) {
        fs::path link = fs::path(sysRoot) / "dev" / "block" /
                        (std::to_string(entry.major) + ":" + std::to_string(entry.minor));
        if (fs::exists(link, ec)) return fs::weakly_canonical(link, ec);
    }
    if (entry.device.rfind("/dev/", 0) == 0) {
        fs::path device = entry.device;
        // /dev/disk/by-label/... and similar are links to the real node.
        fs::path real = fs::weakly_canonical(device, ec);
        if (!ec && !real.empty()) device = real;
        fs::path folder = fs::path(sysRoot) / "class" / "block" / device.filename();
        if (fs::exists(folder, ec)) return fs::weakly_canonical(folder, ec);
    }
    return {};
}

bool UnderDesktopMediaFolder(const std::string& mountPoint, const std::string& user) {
    if (user.empty()) return false;
    for (const std::string& base : {"/media/" + user + "/", "/run/media/" + user + "/"}) {
        if (mountPoint.size() > base.size() && mountPoint.rfind(base, 0) == 0) return true;
    }
    return false;
}

}  // namespace

std::string UnescapeMountField(const std::string& field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (digits.size() == 3 && std::all_of(digits.begin(), digits.end(),
                                                  [](char c) { return c >= '0' && c <= '7'; })) {
                out += static_cast<char>(std::stoi(digits, nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::vector<MountEntry> ParseMountInfo(const std::string& text) {
    // id parent major:minor root mountpoint options [optional...] - fstype source superoptions
    std::vector<MountEntry> entries;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = SplitFields(line);
        if (f.size() < 7) continue;
        auto dash = std::find(f.begin() + 6, f.end(), "-");
        if (dash == f.end() || std::distance(dash, f.end()) < 3) continue;
        MountEntry entry;
        const size_t colon = f[2].find(':');
        if (colon != std::string::npos) {
            char* end = nullptr;
            const long major = std::strtol(f[2].c_str(), &end, 10);
            const long minor = std::strtol(f[2].c_str() + colon + 1, &end, 10);
            if (major >= 0 && minor >= 0) {
                entry.major = static_cast<int>(major);
                entry.minor = static_cast<int>(minor);
            }
        }
        entry.mountPoint = UnescapeMountField(f[4]);
        entry.fsType = *(dash + 1);
        entry.device = UnescapeMountField(*(dash + 2));
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<MountEntry> ParseProcMounts(const std::string& text) {
    std::vector<MountEntry> entries;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = SplitFields(line);
        if (f.size() < 3) continue;
        MountEntry entry;
        entry.device = UnescapeMountField(f[0]);
        entry.mountPoint = UnescapeMountField(f[1]);
        entry.fsType = f[2];
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool IsRemovableVolume(const MountEntry& entry, const RemovableDriveSources& sources) {
    const std::string user = sources.userName.empty() ? CurrentUserName() : sources.userName;
    if (UnderDesktopMediaFolder(entry.mountPoint, user)) return true;

    fs::path folder = BlockFolder(entry, sources.sysRoot);
    if (folder.empty()) return false;
    std::error_code ec;
    // A partition's flag lives on its disk, the folder above it.
    if (fs::exists(folder / "partition", ec)) folder = folder.parent_path();
    if (ReadFirstLine(folder / "removable") == "1") return true;
    const std::string name = folder.filename().string();
    if (name.rfind("mmcblk", 0) == 0) return true;
    // An SD card behind a reader driven through the MMC host still shows "mmc" in its path.
    return folder.string().find("/mmc_host/") != std::string::npos;
}

std::vector<std::string> ListRemovableDrives(const RemovableDriveSources& sources) {
    std::string text;
    std::vector<MountEntry> entries;
    if (ReadWholeFile(sources.mountInfoPath, &text)) {
        entries = ParseMountInfo(text);
    } else if (ReadWholeFile(sources.mountsPath, &text)) {
        entries = ParseProcMounts(text);
    }
    std::vector<std::string> drives;
    for (const MountEntry& entry : entries) {
        if (entry.mountPoint.empty() || entry.mountPoint == "/") continue;
        if (IsRemovableVolume(entry, sources)) drives.push_back(entry.mountPoint);
    }
    std::sort(drives.begin(), drives.end());
    drives.erase(std::unique(drives.begin(), drives.end()), drives.end());
    return drives;
}
