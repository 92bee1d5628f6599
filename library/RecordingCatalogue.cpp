#include "library/RecordingCatalogue.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "support/Trace.h"
#include "telemetry/CameraClock.h"

namespace {

constexpr uint64_t kBytesPerKiB = 1024;
constexpr uint64_t kThousand = 1000;

char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

// Field n (from 1) of the name cut at every '_'; empty when the name has fewer fields.
std::string_view Field(std::string_view name, int n) {
    size_t start = 0;
    for (int i = 1; i < n; ++i) {
        size_t cut = name.find('_', start);
        if (cut == std::string_view::npos) return {};
        start = cut + 1;
    }
    size_t end = name.find('_', start);
    return name.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

// The last two characters of the field's first n characters (the whole prefix when shorter).
std::string_view LastTwoOfFirst(std::string_view field, size_t n) {
    std::string_view prefix = field.substr(0, std::min(n, field.size()));
    return prefix.size() <= 2 ? prefix : prefix.substr(prefix.size() - 2);
}

// Closes the directory on every path out of the scan.
struct DirCloser {
    void operator()(DIR* dir) const {
        if (dir) closedir(dir);
    }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

bool IsDirectoryEntry(DIR* dir, const dirent* entry) {
    if (entry->d_type == DT_DIR) return true;
    if (entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) return false;
    struct stat st;
    return fstatat(dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool IsRecordingName(std::string_view name) {
    if (name.size() < 4) return false;
    std::string_view ext = name.substr(name.size() - 4);
    return EqualsNoCase(ext, ".AVI") || EqualsNoCase(ext, ".MP4");
}

bool IsCameraRecordingName(std::string_view name) {
    if (!IsRecordingName(name) || !RecordingStartSec(name)) return false;
    const std::string_view token = Field(name, 1);
    for (const char* category : {"REC", "EVENT", "PARKING", "USER"})
        if (EqualsNoCase(token, category)) return !Field(name, 4).empty();
    return false;
}

std::string TypeCell(std::string_view name) {
    std::string_view token = Field(name, 1);
    if (EqualsNoCase(token, "REC")) return "REC";
    if (EqualsNoCase(token, "EVENT")) return "EVT";
    if (EqualsNoCase(token, "PARKING")) return "PAK";
    if (EqualsNoCase(token, "USER")) return "MAN";
    return std::string(token);
}

std::string DateCell(std::string_view name) {
    std::string_view date = Field(name, 2);
    std::string_view time = Field(name, 3);
    std::string cell;
    cell.reserve(19);
    cell.append(date.substr(0, std::min<size_t>(4, date.size()))).append(".");
    cell.append(LastTwoOfFirst(date, 6)).append(".");
    cell.append(LastTwoOfFirst(date, 8)).append(" ");
    cell.append(time.substr(0, std::min<size_t>(2, time.size()))).append(":");
    cell.append(LastTwoOfFirst(time, 4)).append(":");
    cell.append(LastTwoOfFirst(time, 6));
    return cell;
}

std::string RearCell(std::string_view name) {
    std::string_view flag = Field(name, 4);
    return (!flag.empty() && UpperAscii(flag[0]) == 'D') ? "0" : "";
}

std::string SizeCell(uint64_t sizeBytes) {
    const unsigned long long k = sizeBytes / kBytesPerKiB;
    char text[48];
    if (k >= kThousand)
        snprintf(text, sizeof text, "%llu,%03llu", k / kThousand, k % kThousand);
    else
        snprintf(text, sizeof text, "%llu", k);
    return text;
}

CatalogueRow MakeCatalogueRow(const std::string& folder, const std::string& name,
                              uint64_t sizeBytes) {
    CatalogueRow row;
    row.fileName = name;
    row.type = TypeCell(name);
    row.date = DateCell(name);
    row.rear = RearCell(name);
    row.size = SizeCell(sizeBytes);
    row.path = folder + "/" + name;
    return row;
}

bool ScanFolder(const std::string& folder, std::vector<CatalogueRow>& rows) {
    DirPtr dir(opendir(folder.c_str()));
    if (!dir) return false;
    Trace("m_listFilename.GetItemCount() => %d\n", static_cast<int>(rows.size()));

    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir.get())) {
        std::string_view name(entry->d_name);
        if (!IsRecordingName(name) || IsDirectoryEntry(dir.get(), entry)) continue;
        names.emplace_back(name);
    }
    // Names in one folder share the category token and carry fixed-width date and time
    // fields, so descending byte order puts the newest recording first.
    std::sort(names.begin(), names.end(), std::greater<>());

    // Second pass: a file may have gone since it was listed; it gets no row.
    std::vector<CatalogueRow> scanned;
    scanned.reserve(names.size());
    for (const std::string& name : names) {
        struct stat st;
        if (fstatat(dirfd(dir.get()), name.c_str(), &st, 0) != 0 || S_ISDIR(st.st_mode)) continue;
        scanned.push_back(MakeCatalogueRow(folder, name, static_cast<uint64_t>(st.st_size)));
    }
    rows.insert(rows.begin(), std::make_move_iterator(scanned.begin()),
                std::make_move_iterator(scanned.end()));
    return true;
}

bool ScanLooseFolder(const std::string& folder, std::vector<CatalogueRow>& rows) {
    std::vector<CatalogueRow> scanned;
    if (!ScanFolder(folder, scanned)) return false;
    std::erase_if(scanned,
                  [](const CatalogueRow& row) { return !IsCameraRecordingName(row.fileName); });
    rows.insert(rows.begin(), std::make_move_iterator(scanned.begin()),
                std::make_move_iterator(scanned.end()));
    return true;
}

bool ListCatalogue(const std::string& cardRoot, CatalogueView view, std::vector<CatalogueRow>& rows,
                   std::string* folderPath) {
    rows.clear();
    if (cardRoot.empty()) return false;
    auto scan = [&](const char* name) {
        std::string folder = cardRoot + name;
        if (folderPath) *folderPath = folder;
        return ScanFolder(folder, rows);
    };
    switch (view) {
        case CatalogueView::Driving:
            return scan(kDrivingFolder);
        case CatalogueView::Event:
            return scan(kEventFolder);
        case CatalogueView::Parking:
            return scan(kParkingFolder);
        case CatalogueView::User:
            return scan(kUserFolder);
        case CatalogueView::All:
            break;
    }
    if (!scan(kDrivingFolder)) return false;
    for (const char* name : {kEventFolder, kParkingFolder, kUserFolder}) scan(name);
    return true;
}

bool HasCardLayout(const std::string& cardRoot) {
    if (cardRoot.empty()) return false;
    struct stat info {};
    return stat((cardRoot + kDrivingFolder).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool CategoryViewOfFolder(std::string_view folderName, CatalogueView* view) {
    static const std::pair<const char*, CatalogueView> kFolders[] = {
        {kDrivingFolder, CatalogueView::Driving},
        {kEventFolder, CatalogueView::Event},
        {kParkingFolder, CatalogueView::Parking},
        {kUserFolder, CatalogueView::User},
    };
    for (const auto& [name, folderView] : kFolders) {
        if (folderName == name) {
            *view = folderView;
            return true;
        }
    }
    return false;
}
