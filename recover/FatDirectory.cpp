#include "recover/FatDirectory.h"

#include <deque>
#include <unordered_set>

#include "media/AviChunk.h"

namespace {

constexpr size_t kEntryBytes = 32;
constexpr uint8_t kDeletedMark = 0xE5;
constexpr uint8_t kLongNameAttr = 0x0F;
constexpr uint8_t kVolumeLabelAttr = 0x08;
constexpr uint8_t kDirectoryAttr = 0x10;
// A FAT folder holds at most 65536 entries.
constexpr uint64_t kMaxFolderBytes = 65536 * kEntryBytes;

struct Folder {
    std::string path;
    uint32_t cluster = 0;
    bool deleted = false;
};

uint8_t ShortNameChecksum(const uint8_t* name) {
    uint8_t sum = 0;
    for (int i = 0; i < 11; ++i)
        sum = static_cast<uint8_t>(((sum & 1) << 7) + (sum >> 1) + name[i]);
    return sum;
}

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The long name of the pieces met before a short entry (stored last piece first).
std::string LongName(const std::vector<const uint8_t*>& pieces) {
    static const int kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
    std::vector<uint16_t> units;
    for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
        for (int off : kOffsets) units.push_back(ReadLe16(*it + off));
    }
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t c = units[i];
        if (c == 0 || c == 0xFFFF) break;
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::string ShortName(const uint8_t* e, bool deleted) {
    std::string base(reinterpret_cast<const char*>(e), 8),
        ext(reinterpret_cast<const char*>(e) + 8, 3);
    if (deleted) base[0] = '_';
    if (base[0] == 0x05) base[0] = static_cast<char>(kDeletedMark);
    while (!base.empty() && base.back() == ' ') base.pop_back();
    while (!ext.empty() && ext.back() == ' ') ext.pop_back();
    return ext.empty() ? base : base + "." + ext;
}

// True when every piece carries the short entry's checksum. A deleted entry lost its first
// byte, so any first byte that makes the checksums match will do.
bool PiecesBelong(const std::vector<const uint8_t*>& pieces, const uint8_t* entry, bool deleted) {
    if (pieces.empty()) return false;
    uint8_t name[11];
    std::copy(entry, entry + 11, name);
    for (int first = deleted ? 0 : name[0]; first <= (deleted ? 255 : name[0]); ++first) {
        name[0] = static_cast<uint8_t>(first);
        const uint8_t sum = ShortNameChecksum(name);
        bool all = true;
        for (const uint8_t* p : pieces) all = all && p[13] == sum;
        if (all) return true;
    }
    return false;
}

// The bytes of a folder: along its chain when live, its first cluster when deleted.
std::vector<uint8_t> FolderBytes(Fat32Volume& volume, const Folder& folder) {
    std::vector<uint8_t> bytes;
    std::unordered_set<uint32_t> seen;
    uint32_t cluster = folder.cluster;
    while (volume.IsCluster(cluster) && bytes.size() < kMaxFolderBytes &&
           seen.insert(cluster).second) {
        const size_t at = bytes.size();
        bytes.resize(at + volume.ClusterBytes());
        const size_t got = volume.Source().ReadAt(volume.ClusterOffset(cluster), bytes.data() + at,
                                                  volume.ClusterBytes());
        bytes.resize(at + got);
        // A deleted folder's cluster may since hold anything; a folder starts with its "."
        if (folder.deleted && (got < 1 || bytes[0] != '.')) bytes.clear();
        if (got != volume.ClusterBytes() || folder.deleted) break;
        cluster = volume.Next(cluster);
    }
    return bytes;
}

void ReadFolder(Fat32Volume& volume, const Folder& folder, std::deque<Folder>& pending,
                std::vector<FatEntry>& out, size_t maxEntries) {
    const std::vector<uint8_t> bytes = FolderBytes(volume, folder);
    std::vector<const uint8_t*> pieces;
    for (size_t at = 0; at + kEntryBytes <= bytes.size() && out.size() < maxEntries;
         at += kEntryBytes) {
        const uint8_t* e = bytes.data() + at;
        if (e[0] == 0) break;  // nothing was ever written from here on
        const bool deleted = e[0] == kDeletedMark;
        const uint8_t attr = e[11];
        if (attr == kLongNameAttr) {
            if (!deleted && (e[0] & 0x40)) pieces.clear();  // the first piece of a new name
            pieces.push_back(e);
            continue;
        }
        const bool dots = e[0] == '.';
        if ((attr & kVolumeLabelAttr) || dots) {
            pieces.clear();
            continue;
        }
        FatEntry entry;
        entry.name = PiecesBelong(pieces, e, deleted) ? LongName(pieces) : ShortName(e, deleted);
        pieces.clear();
        if (entry.name.empty()) continue;
        entry.folder = folder.path;
        entry.startCluster = static_cast<uint32_t>(ReadLe16(e + 20)) << 16 | ReadLe16(e + 26);
        entry.size = ReadLe32(e + 28);
        entry.deleted = deleted || folder.deleted;
        entry.directory = (attr & kDirectoryAttr) != 0;
        if (entry.directory && volume.IsCluster(entry.startCluster)) {
            pending.push_back({folder.path.empty() ? entry.name : folder.path + "/" + entry.name,
                               entry.startCluster, entry.deleted});
        }
        out.push_back(std::move(entry));
    }
}

}  // namespace

std::vector<FatEntry> ReadFatDirectories(Fat32Volume& volume, size_t maxEntries) {
    std::vector<FatEntry> out;
    if (!volume.HasFileSystem()) return out;
    std::deque<Folder> pending{{"", volume.RootCluster(), false}};
    std::unordered_set<uint32_t> read;
    while (!pending.empty() && out.size() < maxEntries) {
        const Folder folder = pending.front();
        pending.pop_front();
        if (!read.insert(folder.cluster).second) continue;
        ReadFolder(volume, folder, pending, out, maxEntries);
    }
    return out;
}
