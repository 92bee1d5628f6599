#include "recover/ClusterStream.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

ClusterStream::ClusterStream(Fat32Volume& volume, uint32_t firstCluster, Follow follow)
    : m_volume(volume), m_follow(follow) {
    if (volume.IsCluster(firstCluster)) {
        m_runs.push_back({firstCluster, 1});
        m_held[firstCluster] = firstCluster + 1;
        m_taken = 1;
    } else {
        m_ended = true;
    }
}

bool ClusterStream::Reach(uint64_t index) {
    while (index >= m_taken) {
        // A chain longer than the card has clusters runs in a circle.
        if (m_ended || m_taken >= m_volume.ClusterCount()) return false;
        const uint64_t last = m_runs.back().first + m_runs.back().count - 1;
        uint64_t next = last + 1;
        if (m_follow == Follow::Chain) {
            next = m_volume.Next(static_cast<uint32_t>(last));
        } else if (m_volume.HasFileSystem() && m_volume.IsAllocated(static_cast<uint32_t>(next))) {
            next = 0;
        }
        // A cluster belongs to a file once: a chain that comes back to one is damage.
        if (!m_volume.IsCluster(next) || Holds(next)) {
            m_ended = true;
            return false;
        }
        if (next == last + 1) {
            m_runs.back().count++;
            m_held[m_runs.back().first]++;
        } else {
            m_runs.push_back({next, 1});
            m_held[next] = next + 1;
        }
        m_taken++;
    }
    return true;
}

bool ClusterStream::Holds(uint64_t cluster) const {
    auto it = m_held.upper_bound(cluster);
    if (it == m_held.begin()) return false;
    --it;
    return cluster < it->second;
}

uint64_t ClusterStream::ClusterAt(uint64_t index) {
    // Reads mostly move forward: start from the run the last one ended in.
    if (index < m_hintStart) {
        m_hintRun = 0;
        m_hintStart = 0;
    }
    while (m_hintRun < m_runs.size() && index - m_hintStart >= m_runs[m_hintRun].count) {
        m_hintStart += m_runs[m_hintRun].count;
        ++m_hintRun;
    }
    return m_hintRun < m_runs.size() ? m_runs[m_hintRun].first + (index - m_hintStart) : 0;
}

size_t ClusterStream::ReadAt(uint64_t offset, void* buffer, size_t length) {
    if (length == 0) return 0;
    const uint64_t clusterBytes = m_volume.ClusterBytes();
    Reach((offset + length - 1) / clusterBytes);  // as far as it goes
    const uint64_t end = std::min<uint64_t>(offset + length, m_taken * clusterBytes);
    size_t done = 0;
    // One read per run of consecutive clusters, not one per cluster.
    while (offset + done < end) {
        const uint64_t at = offset + done;
        const uint64_t index = at / clusterBytes;
        const uint64_t cluster = ClusterAt(index);
        const uint64_t runLeft = m_runs[m_hintRun].count - (index - m_hintStart);
        const size_t want = static_cast<size_t>(
            std::min<uint64_t>(end - at, runLeft * clusterBytes - at % clusterBytes));
        const size_t got =
            m_volume.Source().ReadAt(m_volume.ClusterOffset(cluster) + at % clusterBytes,
                                     static_cast<char*>(buffer) + done, want);
        done += got;
        if (got != want) break;
    }
    return done;
}

std::vector<ClusterStream::Run> ClusterStream::RunsFor(uint64_t length) const {
    const uint64_t clusterBytes = m_volume.ClusterBytes();
    uint64_t need = std::max<uint64_t>(1, (length + clusterBytes - 1) / clusterBytes);
    std::vector<Run> runs;
    for (const Run& run : m_runs) {
        if (need == 0) break;
        runs.push_back({run.first, std::min(run.count, need)});
        need -= runs.back().count;
    }
    return runs;
}

size_t FileBytes::ReadAt(uint64_t offset, void* buffer, size_t length) {
    size_t done = 0;
    while (done < length) {
        const ssize_t n = pread(m_fd, static_cast<char*>(buffer) + done, length - done,
                                static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}
