#pragma once
// The client library's re-entrant lock and its scoped locker.

#include <mutex>

namespace Velmor {

/// A lock that the owning thread may take again without blocking.
class SenMutex
{
public:
    SenMutex() = default;
    virtual ~SenMutex() = default;
    SenMutex(const SenMutex&) = delete;
    SenMutex& operator=(const SenMutex&) = delete;

    void lock() { m_mutex.lock(); }
    void unlock() { m_mutex.unlock(); }
    bool tryLock() { return m_mutex.try_lock(); }

private:
    std::recursive_mutex m_mutex;
};

/// Holds a SenMutex for the lifetime of the locker, so the lock is released on exceptions too.
class SenMutexLocker
{
public:
    explicit SenMutexLocker(SenMutex& mutex) : m_mutex(mutex) { m_mutex.lock(); }
    ~SenMutexLocker() { m_mutex.unlock(); }
    SenMutexLocker(const SenMutexLocker&) = delete;
    SenMutexLocker& operator=(const SenMutexLocker&) = delete;

private:
    SenMutex& m_mutex;
};

} // namespace Velmor
