#pragma once
// A repeating worker thread.
//
// BeginThread starts a thread that calls body(arg) again and again until StopThread. A body
// that has nothing to do waits on its owner's condition variable; the owner wakes it (after
// asking it to stop) before calling StopThread, so the loop adds no wait of its own.
//
// StopThread returns only once the body is not running and will not be called again: the
// owner may free what the body uses right after it. It is safe to call twice, before any
// BeginThread, and from the destructor. Called from the body itself it only asks the loop to
// end after the current call; the thread stays joinable and the next StopThread from another
// thread (or the destructor) joins it. A running loop is never detached.
//
// Threads: BeginThread and StopThread are called by the owner's thread (normally the UI
// thread); the body runs on the worker thread only.

#include <atomic>
#include <string>
#include <thread>

class CSingleThread {
public:
    using Body = bool (*)(void*);

    explicit CSingleThread(const char* name = nullptr);
    ~CSingleThread();
    CSingleThread(const CSingleThread&) = delete;
    CSingleThread& operator=(const CSingleThread&) = delete;

    // Starts the thread. Returns false when a thread is already running or none could be
    // created. The last two arguments are kept for callers written against the old
    // interface and are ignored.
    bool BeginThread(Body body, void* arg, unsigned stackSize = 0, int priority = 0);
    void StopThread();
    bool IsRunning() const { return m_thread.joinable(); }
    // True once StopThread was asked for; a body that waits checks it in its wait predicate.
    bool StopRequested() const { return m_stop.load(); }
    // True on the worker thread itself.
    bool IsWorkerThread() const { return std::this_thread::get_id() == m_id.load(); }
    const std::string& Name() const { return m_name; }

private:
    void Loop(Body body, void* arg);

    std::string m_name;                 // set at construction, read-only after
    std::atomic<bool> m_stop{false};    // written by the owner (or the body), read by the loop
    std::atomic<std::thread::id> m_id;  // the worker's id while it runs
    std::thread m_thread;               // owner's thread only
};
