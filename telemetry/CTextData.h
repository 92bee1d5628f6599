#pragma once
// The telemetry of the open recording: the G-sensor samples and the GPS fixes in the order
// the player read them from the file.
//
// Threads: the player's worker appends (through OnTextChunk, with the player lock held) while
// the window's thread reads on every display tick and empties the arrays when a recording is
// opened. Every operation takes the object's own lock for its whole duration, and readers get
// copies (one record, or a snapshot of a whole array), never references into storage that a
// later append may move. The lock is a leaf: nothing is called while it is held, so taking it
// inside the player lock cannot deadlock.

#include <cstddef>
#include <vector>

#include "support/CSync.h"
#include "telemetry/CGPSData.h"
#include "telemetry/CGSensorData.h"

class CTextData {
public:
    CTextData() = default;
    CTextData(const CTextData&) = delete;
    CTextData& operator=(const CTextData&) = delete;

    void AddGSensor(const CGSensorData& sample);
    // Appends only while fewer than limit samples are stored; true when appended. The test and
    // the append are one step, so a concurrent RemoveAll cannot slip between them.
    bool AddGSensorBelow(const CGSensorData& sample, size_t limit);
    void AddGps(const CGPSData& fix);

    size_t GetGSensorCount() const;
    size_t GetGpsCount() const;
    // Copies record index into out; false when index is out of range.
    bool GetGSensor(size_t index, CGSensorData& out) const;
    bool GetGps(size_t index, CGPSData& out) const;

    std::vector<CGSensorData> SnapshotGSensor() const;
    std::vector<CGPSData> SnapshotGps() const;

    // Empties both arrays and releases their storage.
    void RemoveAll();

private:
    mutable CSync m_lock{"textdata"};
    std::vector<CGSensorData> m_arrGSensor;  // guarded by m_lock
    std::vector<CGPSData> m_arrGps;          // guarded by m_lock
};
