#include "archive/ArchiveLayout.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "library/CardRoot.h"
#include "library/RecordingCatalogue.h"
#include "telemetry/CameraClock.h"

std::string DefaultArchiveFolder() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/')
        return std::string(xdg) + "/tarvex/archive";
    const char* home = std::getenv("HOME");
    return std::string(home && home[0] == '/' ? home : "") + "/.local/share/tarvex/archive";
}

std::string DefaultCatalogue(const std::string& archiveFolder) {
    return archiveFolder + "/" + kCatalogueFileName;
}

std::string ArchivePathOf(const std::string& name, int suffix) {
    std::string file = name;
    if (suffix > 1) {
        const size_t dot = name.rfind('.');
        const size_t at = dot == std::string::npos ? name.size() : dot;
        file = name.substr(0, at) + "_" + std::to_string(suffix) + name.substr(at);
    }
    const std::optional<int64_t> start = RecordingStartSec(name);
    if (!start) return "undated/" + file;
    const ClockFields f = SplitClockMs(*start * 1000);
    char day[16];
    std::snprintf(day, sizeof day, "%04lld/%02d/%02d/", static_cast<long long>(f.year), f.month,
                  f.day);
    return day + file;
}

bool SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool ForEachCardRecording(
    const std::string& card,
    const std::function<void(const std::filesystem::directory_entry&, const char* category)>& visit,
    std::string* error) {
    const std::string root = CardRoot(card);
    if (!HasCardLayout(root)) {
        *error = card + ": not a dashcam card (no DRIVING folder)";
        return false;
    }
    for (const char* category : kCategoryFolders) {
        std::error_code ec;
        for (const std::filesystem::directory_entry& e :
             std::filesystem::directory_iterator(root + category, ec)) {
            std::error_code typeEc;
            if (IsRecordingName(e.path().filename().string()) && e.is_regular_file(typeEc))
                visit(e, category);
        }
    }
    return true;
}
