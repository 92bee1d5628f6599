#include "device/CardFormatFacts.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "library/CardRoot.h"
#include "library/RecordingCatalogue.h"
#include "library/RemovableDrives.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kRecordingFolders[] = {"DRIVING", "EVENT", "PARKING", "USER"};

void CountRecordings(const std::string& cardRoot, CardFormatFacts* facts) {
    for (const char* name : kRecordingFolders) {
        std::error_code ec;
        fs::directory_iterator it(fs::path(cardRoot) / name, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            if (!IsRecordingName(it->path().filename().string())) continue;
            std::error_code sizeEc;
            if (!it->is_regular_file(sizeEc)) continue;
            const std::uintmax_t size = it->file_size(sizeEc);
            ++facts->recordings;
            if (!sizeEc) facts->recordingBytes += size;
        }
    }
}

void FillFromMountTable(const std::string& mountInfoPath, CardFormatFacts* facts) {
    std::ifstream in(mountInfoPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    const MountEntry* found = nullptr;
    const std::vector<MountEntry> entries = ParseMountInfo(text.str());
    for (const MountEntry& entry : entries)
        if (entry.mountPoint == facts->mountPoint) found = &entry;  // the top mount there
    if (!found) return;
    if (facts->volume.device.empty()) facts->volume.device = found->device;
    if (facts->volume.fileSystem.empty()) facts->volume.fileSystem = found->fsType;
}

}  // namespace

CardFormatFacts GatherCardFormatFacts(const std::string& drivePath, VCardFormatter& formatter,
                                      const std::string& mountInfoPath) {
    CardFormatFacts facts;
    const std::string root = CardRoot(drivePath);
    facts.mountPoint =
        root.size() > 1 && root.back() == '/' ? root.substr(0, root.size() - 1) : root;
    facts.refusal =
        root.empty() ? FormatRefusal::NotAMountPoint : formatter.Check(facts.mountPoint);
    // Nothing about a disk that is not a card: its size would read as the card's.
    if (facts.refusal != FormatRefusal::None) return facts;
    facts.volume = formatter.Describe(facts.mountPoint);
    FillFromMountTable(mountInfoPath, &facts);
    if (facts.volume.sizeBytes == 0) {
        std::error_code ec;
        const fs::space_info space = fs::space(facts.mountPoint, ec);
        if (!ec) facts.volume.sizeBytes = space.capacity;
    }
    CountRecordings(root, &facts);
    facts.recoverableDeleted = formatter.CountRecoverableDeleted(facts.mountPoint);
    return facts;
}
