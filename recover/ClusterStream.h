#pragma once
// The bytes of one recording on a card, cluster after cluster from its first one: along its
// FAT chain while the FAT still holds it, otherwise across the clusters that follow (the
// camera writes a recording in one run where the card lets it). A run across clusters stops
// at the card's end and, where the FAT is readable, at the first cluster the FAT gives to
// another file: that cluster was written since, whatever it holds. Clusters are taken as the
// walk asks for them, so a stream costs nothing past where its recording stops.

#include <cstdint>
#include <map>
#include <vector>

#include "recover/Fat32Volume.h"
#include "recover/RecordingWalk.h"

class ClusterStream : public RecordingBytes {
public:
    enum class Follow { Chain, Contiguous };

    ClusterStream(Fat32Volume& volume, uint32_t firstCluster, Follow follow);

    size_t ReadAt(uint64_t offset, void* buffer, size_t length) override;
    uint64_t BreakGranule() const override {
        return m_follow == Follow::Contiguous ? m_volume.ClusterBytes() : 0;
    }

    // The clusters taken so far, as runs of consecutive clusters.
    struct Run {
        uint64_t first = 0;
        uint64_t count = 0;
    };
    const std::vector<Run>& Runs() const { return m_runs; }
    // Clusters needed to hold bytes [0, length).
    std::vector<Run> RunsFor(uint64_t length) const;

private:
    // Makes sure cluster number `index` of the stream is known; false past the stream's end.
    bool Reach(uint64_t index);
    uint64_t ClusterAt(uint64_t index);
    // True when the stream already took the cluster.
    bool Holds(uint64_t cluster) const;

    Fat32Volume& m_volume;
    Follow m_follow;
    std::vector<Run> m_runs;
    std::map<uint64_t, uint64_t> m_held;  // the runs by first cluster: first -> one past last
    size_t m_hintRun = 0;                 // the run the last lookup ended in
    uint64_t m_hintStart = 0;             // its first cluster's index in the stream
    uint64_t m_taken = 0;
    bool m_ended = false;
};

// The bytes of a file on disk, for walking a recording that is a file of its own.
class FileBytes : public RecordingBytes {
public:
    explicit FileBytes(int fd) : m_fd(fd) {}
    size_t ReadAt(uint64_t offset, void* buffer, size_t length) override;

private:
    int m_fd;
};
