#pragma once
// A FAT32 file system read straight from its card: the boot sector's geometry and the first
// FAT, looked up an entry at a time through a small cache (the FAT of a large card is tens of
// megabytes; nothing here holds it whole).
//
// Clusters are numbered as FAT32 numbers them, the first data cluster being 2. Without a
// readable FAT32 boot sector the volume still describes the card as a run of 512-byte units
// from its first byte, numbered from 2 too; so does a second volume over the same card that
// the scan uses for recordings an earlier file system left at other cluster boundaries.
//
// Threads: one thread at a time (the cache is not guarded).

#include <cstdint>
#include <string>
#include <vector>

#include "recover/CardSource.h"

class Fat32Volume {
public:
    static constexpr uint32_t kFirstCluster = 2;
    static constexpr uint32_t kEndOfChain = 0x0FFFFFF8;
    static constexpr uint32_t kUnreadable = 0xFFFFFFFF;  // Next() could not read the FAT
    static constexpr uint32_t kFallbackUnitBytes = 512;

    explicit Fat32Volume(CardSource& source) : m_source(source) {}

    // Reads the boot sector. False, with the reason in *why, when the card holds no FAT32
    // file system this reader trusts; the volume then describes 512-byte units.
    bool Load(std::string* why);
    bool HasFileSystem() const { return m_fat; }
    // Describes the card as 512-byte units from its first byte, whatever it holds.
    void DescribeSectors();

    uint32_t ClusterBytes() const { return m_clusterBytes; }
    // Clusters numbered kFirstCluster ... kFirstCluster + ClusterCount() - 1.
    uint64_t ClusterCount() const { return m_clusterCount; }
    uint32_t RootCluster() const { return m_rootCluster; }
    bool IsCluster(uint64_t cluster) const {
        return cluster >= kFirstCluster && cluster - kFirstCluster < m_clusterCount;
    }
    uint64_t DataStart() const { return m_dataStart; }
    uint64_t ClusterOffset(uint64_t cluster) const {
        return m_dataStart + (cluster - kFirstCluster) * m_clusterBytes;
    }

    // The FAT entry of a cluster (0 free, kEndOfChain and up the last of a file), or
    // kUnreadable. Only with a file system.
    uint32_t Next(uint32_t cluster);
    // True when the FAT gives the cluster to a file (only with a file system).
    bool IsAllocated(uint32_t cluster);

    CardSource& Source() { return m_source; }

private:
    CardSource& m_source;
    bool m_fat = false;
    uint32_t m_clusterBytes = kFallbackUnitBytes;
    uint64_t m_clusterCount = 0;
    uint64_t m_dataStart = 0;
    uint64_t m_fatStart = 0;
    uint64_t m_fatBytes = 0;
    uint32_t m_rootCluster = 0;
    // One block of the FAT, the one the last lookup needed.
    std::vector<uint8_t> m_cache;
    uint64_t m_cacheStart = UINT64_MAX;
};
