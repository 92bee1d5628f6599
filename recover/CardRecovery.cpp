#include "recover/CardRecovery.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "media/AviChunk.h"
#include "recover/CardSource.h"
#include "recover/ClusterStream.h"
#include "recover/FatDirectory.h"
#include "recover/RecoveredName.h"
#include "recover/Sha256Digest.h"
#include "support/PendingFile.h"

namespace {

constexpr size_t kScanBlockBytes = 4 << 20;
constexpr size_t kCopyBlockBytes = 1 << 20;
constexpr size_t kPageBytes = 4096;
constexpr size_t kRiffHeadBytes = 12;

bool HasRecordingExtension(const std::string& name) {
    return name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".AVI") == 0;
}

class Recovery {
public:
    Recovery(Fat32Volume& volume, Fat32Volume& sectors, const std::string& outDir,
             const RecoveryOptions& options,
             const std::function<void(const FoundRecording&)>& onFound, RecoverySummary& summary)
        : m_volume(volume),
          m_sectors(sectors),
          m_outDir(outDir),
          m_options(options),
          m_onFound(onFound),
          m_summary(summary) {}

    void IndexEntries(std::vector<FatEntry> entries);
    void Scan();
    void ReportLostEntries();
    bool Cancelled() {
        if (!m_options.cancel || !m_options.cancel->load()) return false;
        m_summary.cancelled = true;
        return true;
    }

private:
    void Found(uint64_t offset, uint64_t riffBytes);
    const FatEntry* EntryFor(uint32_t cluster, uint64_t riffBytes, FoundSource* source);
    // Reads the recording's bytes once: into the hash, and into the output when writing.
    bool CopyOut(ClusterStream& stream, FoundRecording& found, bool write);
    void Report(FoundRecording& found);
    // Byte ranges of the card that recordings found so far hold.
    void Cover(uint64_t from, uint64_t to) { m_covered[from] = to; }
    // The end of the covered range holding offset, or 0 when it is not covered.
    uint64_t CoveredUntil(uint64_t offset) const;

    Fat32Volume& m_volume;
    Fat32Volume& m_sectors;  // the whole card in 512-byte units
    std::string m_outDir;
    const RecoveryOptions& m_options;
    const std::function<void(const FoundRecording&)>& m_onFound;
    RecoverySummary& m_summary;
    std::vector<FatEntry> m_entries;
    std::multimap<uint32_t, size_t> m_byCluster;  // start cluster -> file entry
    std::set<size_t> m_matched;
    std::map<uint64_t, uint64_t> m_covered;  // first byte -> one past the last
    std::set<std::string> m_taken;
};

void Recovery::IndexEntries(std::vector<FatEntry> entries) {
    m_entries = std::move(entries);
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const FatEntry& e = m_entries[i];
        if (!e.directory && e.size > 0 && m_volume.IsCluster(e.startCluster))
            m_byCluster.emplace(e.startCluster, i);
    }
}

uint64_t Recovery::CoveredUntil(uint64_t offset) const {
    auto it = m_covered.upper_bound(offset);
    if (it == m_covered.begin()) return 0;
    --it;
    return offset < it->second ? it->second : 0;
}

// Every sector of the card is looked at, not only the file system's cluster starts: a card
// formatted with another geometry keeps its old recordings at other boundaries.
void Recovery::Scan() {
    const uint64_t unit = m_sectors.ClusterBytes();
    const uint64_t total = m_sectors.ClusterCount() * unit;
    // Page-aligned: the kernel copies into an aligned buffer at twice the speed.
    const std::unique_ptr<uint8_t, decltype(&std::free)> buffer(
        static_cast<uint8_t*>(std::aligned_alloc(kPageBytes, kScanBlockBytes)), &std::free);
    if (!buffer) return;
    uint8_t* const block = buffer.get();
    for (uint64_t at = 0; at < total;) {
        // Only what lies ahead of the scan is worth remembering.
        while (!m_covered.empty() && m_covered.begin()->second <= at)
            m_covered.erase(m_covered.begin());
        if (const uint64_t until = CoveredUntil(at)) {
            at = (until + unit - 1) / unit * unit;
            continue;
        }
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kScanBlockBytes, total - at));
        const size_t got = m_sectors.Source().ReadAt(at, block, want);
        for (size_t i = 0; i + kRiffHeadBytes <= got && !m_summary.cancelled; i += unit) {
            const uint8_t* p = block + i;
            if (IsFourCC(reinterpret_cast<const char*>(p), "RIFF") &&
                IsFourCC(reinterpret_cast<const char*>(p + 8), "AVI ") && CoveredUntil(at + i) == 0)
                Found(at + i, uint64_t{ReadLe32(p + 4)} + 8);
        }
        if (Cancelled()) return;
        if (got != want) {
            m_summary.note =
                m_sectors.Source().Failed() ? "the card stopped answering" : "the card ended early";
            break;
        }
        at += want;
        if (m_options.progress) m_options.progress(at, total);
    }
}

const FatEntry* Recovery::EntryFor(uint32_t cluster, uint64_t riffBytes, FoundSource* source) {
    const auto [from, to] = m_byCluster.equal_range(cluster);
    const FatEntry* deleted = nullptr;
    size_t deletedIndex = 0;
    for (auto it = from; it != to; ++it) {
        const FatEntry& e = m_entries[it->second];
        if (!e.deleted) {
            m_matched.insert(it->second);
            *source = FoundSource::Live;
            return &e;
        }
        // A deleted entry names this recording only when its size is the one the header
        // states: another recording may since have been written over its clusters.
        if (!deleted && e.size == riffBytes) {
            deleted = &e;
            deletedIndex = it->second;
        }
    }
    if (deleted) {
        m_matched.insert(deletedIndex);
        *source = FoundSource::Deleted;
    } else {
        *source = FoundSource::Carved;
    }
    return deleted;
}

void Recovery::Found(uint64_t offset, uint64_t riffBytes) {
    FoundRecording found;
    found.offset = offset;
    // On the file system's cluster grid the FAT and the folders speak for it; off the grid it
    // is a recording of an earlier file system, read sector after sector.
    const bool onGrid = m_volume.HasFileSystem() && offset >= m_volume.DataStart() &&
                        (offset - m_volume.DataStart()) % m_volume.ClusterBytes() == 0;
    Fat32Volume& volume = onGrid ? m_volume : m_sectors;
    const uint32_t cluster = static_cast<uint32_t>(
        (offset - volume.DataStart()) / volume.ClusterBytes() + Fat32Volume::kFirstCluster);
    if (onGrid) found.startCluster = cluster;
    const FatEntry* entry = onGrid ? EntryFor(cluster, riffBytes, &found.source) : nullptr;
    ClusterStream stream(volume, cluster,
                         found.source == FoundSource::Live ? ClusterStream::Follow::Chain
                                                           : ClusterStream::Follow::Contiguous);
    const RecordingWalk walk = WalkRecording(stream);
    const std::string safe = entry ? SafeCardName(entry->name) : "";
    found.name =
        safe.empty() ? RecoveredName(walk, offset / Fat32Volume::kFallbackUnitBytes) : safe;
    if (entry)
        found.cardPath = entry->folder.empty() ? entry->name : entry->folder + "/" + entry->name;
    if (!walk.recognised) {
        Cover(offset, offset + volume.ClusterBytes());
        found.state = FoundState::Unreadable;
        Report(found);
        return;
    }
    found.state = walk.whole ? FoundState::Whole : FoundState::Cut;
    found.bytes = walk.length;
    found.frontFrames = walk.frontFrames;
    found.rearFrames = walk.rearFrames;
    const std::vector<ClusterStream::Run> runs = stream.RunsFor(walk.length);
    found.fragments = static_cast<uint32_t>(runs.size());
    // Only the bytes it holds: the rest of its last cluster may hold the start of a recording
    // an earlier file system placed at a finer grid.
    uint64_t left = walk.length;
    for (const ClusterStream::Run& run : runs) {
        const uint64_t from = volume.ClusterOffset(run.first);
        const uint64_t bytes = std::min(left, run.count * volume.ClusterBytes());
        Cover(from, from + bytes);
        left -= bytes;
    }
    const bool write = m_options.all || found.source != FoundSource::Live;
    if (!CopyOut(stream, found, write)) found.state = FoundState::Unreadable;
    if (m_summary.cancelled) return;
    Report(found);
}

bool Recovery::CopyOut(ClusterStream& stream, FoundRecording& found, bool write) {
    PendingFile out;
    std::string error;
    if (write) {
        const std::string target = FreeOutputPath(m_outDir, found.name, m_taken);
        if (!out.Create(target, &error)) {
            m_summary.note = error;
            return false;
        }
    }
    Sha256Digest digest;
    std::string block;
    for (uint64_t at = 0; at < found.bytes;) {
        block.resize(static_cast<size_t>(std::min<uint64_t>(kCopyBlockBytes, found.bytes - at)));
        const size_t got = stream.ReadAt(at, block.data(), block.size());
        block.resize(got);
        digest.Add(block.data(), got);
        if (write && !out.WriteAll(block, &error)) {
            m_summary.note = error;
            return false;
        }
        at += got;
        // Dropped unfinished: the pending file goes with it, nothing half-written appears.
        if (Cancelled()) return false;
        if (got == 0) {
            // The card ended between the walk and the copy: keep what came, as cut.
            found.bytes = at;
            found.state = FoundState::Cut;
            break;
        }
    }
    found.sha256 = digest.Hex();
    if (write) {
        if (!PendingFile::CommitAll({&out}, &error)) {
            m_summary.note = error;
            return false;
        }
        found.outputPath = out.Target();
        found.name = found.outputPath.substr(m_outDir.size() + 1);
    }
    return true;
}

void Recovery::Report(FoundRecording& found) {
    m_summary.found++;
    if (found.state == FoundState::Whole) m_summary.whole++;
    if (found.state == FoundState::Cut) m_summary.cut++;
    if (found.state == FoundState::Unreadable) m_summary.unreadable++;
    if (!found.outputPath.empty()) m_summary.written++;
    if (m_onFound) m_onFound(found);
}

// Recordings the directories name whose first cluster holds no recording any more: written
// over since, so only their name and size are left to report.
void Recovery::ReportLostEntries() {
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const FatEntry& e = m_entries[i];
        if (e.directory || e.size == 0 || m_matched.count(i) || !HasRecordingExtension(e.name))
            continue;
        FoundRecording found;
        found.name = SafeCardName(e.name);
        found.cardPath = e.folder.empty() ? e.name : e.folder + "/" + e.name;
        found.source = e.deleted ? FoundSource::Deleted : FoundSource::Live;
        found.startCluster = e.startCluster;
        found.state = FoundState::Unreadable;
        Report(found);
    }
}

}  // namespace

const char* FoundSourceName(FoundSource source) {
    switch (source) {
        case FoundSource::Live:
            return "live";
        case FoundSource::Deleted:
            return "deleted";
        case FoundSource::Carved:
            return "carved";
    }
    return "";
}

const char* FoundStateName(FoundState state) {
    switch (state) {
        case FoundState::Whole:
            return "whole";
        case FoundState::Cut:
            return "cut";
        case FoundState::Unreadable:
            return "unreadable";
    }
    return "";
}

bool RecoverCard(const std::string& sourcePath, const std::string& outDir,
                 const RecoveryOptions& options,
                 const std::function<void(const FoundRecording&)>& onFound,
                 RecoverySummary* summary, std::string* error) {
    *summary = RecoverySummary{};
    CardSource source;
    if (!source.Open(sourcePath, error)) return false;
    return RecoverCardFrom(source, outDir, options, onFound, summary, error);
}

bool RecoverCardFrom(CardSource& source, const std::string& outDir, const RecoveryOptions& options,
                     const std::function<void(const FoundRecording&)>& onFound,
                     RecoverySummary* summary, std::string* error) {
    *summary = RecoverySummary{};
    struct stat st {};
    if (stat(outDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        *error = outDir + ": not a folder";
        return false;
    }
    if (FolderIsOnSource(outDir, source)) {
        *error = outDir + ": lies on the card being recovered; choose a folder on another drive";
        return false;
    }
    Fat32Volume volume(source);
    std::string why;
    summary->fileSystem = volume.Load(&why);
    if (!summary->fileSystem) summary->note = why + "; recordings found by the scan alone";
    if (summary->fileSystem &&
        volume.ClusterOffset(Fat32Volume::kFirstCluster + volume.ClusterCount()) > source.Size())
        summary->note = "the card ends before its file system does";
    Fat32Volume sectors(source);
    sectors.DescribeSectors();
    Recovery recovery(volume, sectors, outDir, options, onFound, *summary);
    recovery.IndexEntries(ReadFatDirectories(volume));
    recovery.Scan();
    if (!summary->cancelled) recovery.ReportLostEntries();
    return true;
}

int CountRecoverableDeleted(CardSource& source) {
    Fat32Volume volume(source);
    std::string why;
    if (!volume.Load(&why)) return -1;
    int count = 0;
    for (const FatEntry& e : ReadFatDirectories(volume)) {
        if (!e.deleted || e.directory || e.size == 0 || !HasRecordingExtension(e.name) ||
            !volume.IsCluster(e.startCluster))
            continue;
        uint8_t head[kRiffHeadBytes] = {};
        if (source.ReadAt(volume.ClusterOffset(e.startCluster), head, sizeof head) != sizeof head)
            continue;
        const char* p = reinterpret_cast<const char*>(head);
        if (IsFourCC(p, "RIFF") && IsFourCC(p + 8, "AVI ") &&
            uint64_t{ReadLe32(head + 4)} + 8 == e.size)
            ++count;
    }
    return count;
}
