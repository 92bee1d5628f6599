#pragma once
// A named, non-recursive lock. Every lock of the engine is one of these; the name only
// helps when reading a trace. Lock and Unlock are called on the same thread around a
// bounded piece of work.

#include <mutex>
#include <string>

class CSync {
public:
    explicit CSync(const char* name = "none") : m_name(name ? name : "none") {}
    CSync(const CSync&) = delete;
    CSync& operator=(const CSync&) = delete;

    void Lock() { m_mutex.lock(); }
    void Unlock() { m_mutex.unlock(); }
    bool TryLock() { return m_mutex.try_lock(); }
    const std::string& Name() const { return m_name; }

    // BasicLockable, so std::lock_guard<CSync> and std::unique_lock<CSync> work.
    void lock() { Lock(); }
    void unlock() { Unlock(); }

private:
    std::string m_name;  // set at construction, read-only after
    std::mutex m_mutex;
};

// Scope guard for CSync, the usual way to hold one of the engine's locks.
class CSyncLock {
public:
    explicit CSyncLock(CSync& sync) : m_sync(sync) { m_sync.Lock(); }
    ~CSyncLock() { m_sync.Unlock(); }
    CSyncLock(const CSyncLock&) = delete;
    CSyncLock& operator=(const CSyncLock&) = delete;

private:
    CSync& m_sync;
};
