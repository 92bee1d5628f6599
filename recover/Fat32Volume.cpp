#include "recover/Fat32Volume.h"

#include <algorithm>

#include "media/AviChunk.h"

namespace {

constexpr size_t kBootSectorBytes = 512;
constexpr size_t kFatCacheBytes = 64 * 1024;
constexpr uint32_t kFatEntryMask = 0x0FFFFFFF;
constexpr uint32_t kMaxClusterBytes = 64 * 1024;

bool IsPowerOfTwo(uint32_t v) {
    return v != 0 && (v & (v - 1)) == 0;
}

}  // namespace

void Fat32Volume::DescribeSectors() {
    m_fat = false;
    m_clusterBytes = kFallbackUnitBytes;
    m_dataStart = 0;
    m_clusterCount = m_source.Size() / kFallbackUnitBytes;
}

bool Fat32Volume::Load(std::string* why) {
    DescribeSectors();
    uint8_t b[kBootSectorBytes];
    if (m_source.ReadAt(0, b, sizeof b) != sizeof b) {
        *why = "the card is too short for a boot sector";
        return false;
    }
    const uint32_t sectorBytes = ReadLe16(b + 11);
    const uint32_t sectorsPerCluster = b[13];
    const uint32_t reserved = ReadLe16(b + 14);
    const uint32_t fats = b[16];
    const uint32_t rootEntries = ReadLe16(b + 17);
    const uint32_t fatSize16 = ReadLe16(b + 22);
    const uint64_t totalSectors = ReadLe16(b + 19) != 0 ? ReadLe16(b + 19) : ReadLe32(b + 32);
    const uint64_t fatSectors = ReadLe32(b + 36);
    const uint32_t root = ReadLe32(b + 44);
    if (b[510] != 0x55 || b[511] != 0xAA) {
        *why = "no boot sector signature";
        return false;
    }
    if (sectorBytes < 512 || sectorBytes > 4096 || !IsPowerOfTwo(sectorBytes) ||
        !IsPowerOfTwo(sectorsPerCluster) || sectorBytes * sectorsPerCluster > kMaxClusterBytes ||
        reserved == 0 || fats == 0 || fats > 4) {
        *why = "the boot sector's geometry is damaged";
        return false;
    }
    if (rootEntries != 0 || fatSize16 != 0 || fatSectors == 0) {
        *why = "not a FAT32 file system";
        return false;
    }
    const uint64_t dataSector = reserved + fats * fatSectors;
    if (dataSector >= totalSectors) {
        *why = "the boot sector's sizes do not add up";
        return false;
    }
    const uint64_t clusters = (totalSectors - dataSector) / sectorsPerCluster;
    const uint64_t fatEntries = fatSectors * sectorBytes / 4;
    if (clusters == 0 || fatEntries < clusters + kFirstCluster || clusters >= kEndOfChain ||
        root < kFirstCluster || root - kFirstCluster >= clusters) {
        *why = "the boot sector's FAT does not fit its clusters";
        return false;
    }
    m_fat = true;
    m_clusterBytes = sectorBytes * sectorsPerCluster;
    m_clusterCount = clusters;
    m_dataStart = dataSector * sectorBytes;
    m_fatStart = uint64_t{reserved} * sectorBytes;
    m_fatBytes = fatSectors * sectorBytes;
    m_rootCluster = root;
    m_cacheStart = UINT64_MAX;
    return true;
}

uint32_t Fat32Volume::Next(uint32_t cluster) {
    if (!m_fat || !IsCluster(cluster)) return kUnreadable;
    const uint64_t at = uint64_t{cluster} * 4;
    const uint64_t block = at / kFatCacheBytes * kFatCacheBytes;
    if (block != m_cacheStart) {
        const size_t want =
            static_cast<size_t>(std::min<uint64_t>(kFatCacheBytes, m_fatBytes - block));
        m_cache.resize(want);
        if (m_source.ReadAt(m_fatStart + block, m_cache.data(), want) != want) {
            m_cacheStart = UINT64_MAX;
            return kUnreadable;
        }
        m_cacheStart = block;
    }
    return ReadLe32(m_cache.data() + (at - block)) & kFatEntryMask;
}

bool Fat32Volume::IsAllocated(uint32_t cluster) {
    const uint32_t next = Next(cluster);
    return next != 0 && next != kUnreadable;
}
