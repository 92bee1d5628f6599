#include "telemetry/CTextData.h"

void CTextData::AddGSensor(const CGSensorData& sample) {
    CSyncLock lock(m_lock);
    m_arrGSensor.push_back(sample);
}

bool CTextData::AddGSensorBelow(const CGSensorData& sample, size_t limit) {
    CSyncLock lock(m_lock);
    if (m_arrGSensor.size() >= limit) return false;
    m_arrGSensor.push_back(sample);
    return true;
}

void CTextData::AddGps(const CGPSData& fix) {
    CSyncLock lock(m_lock);
    m_arrGps.push_back(fix);
}

size_t CTextData::GetGSensorCount() const {
    CSyncLock lock(m_lock);
    return m_arrGSensor.size();
}

size_t CTextData::GetGpsCount() const {
    CSyncLock lock(m_lock);
    return m_arrGps.size();
}

bool CTextData::GetGSensor(size_t index, CGSensorData& out) const {
    CSyncLock lock(m_lock);
    if (index >= m_arrGSensor.size()) return false;
    out = m_arrGSensor[index];
    return true;
}

bool CTextData::GetGps(size_t index, CGPSData& out) const {
    CSyncLock lock(m_lock);
    if (index >= m_arrGps.size()) return false;
    out = m_arrGps[index];
    return true;
}

std::vector<CGSensorData> CTextData::SnapshotGSensor() const {
    CSyncLock lock(m_lock);
    return m_arrGSensor;
}

std::vector<CGPSData> CTextData::SnapshotGps() const {
    CSyncLock lock(m_lock);
    return m_arrGps;
}

void CTextData::RemoveAll() {
    CSyncLock lock(m_lock);
    std::vector<CGSensorData>().swap(m_arrGSensor);
    std::vector<CGPSData>().swap(m_arrGps);
}
