#pragma once
// Small waitable primitives: a counting gate and a manual-reset signal.

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace Velmor {

/// A counting semaphore; acquire() waits without limit until a count is free.
class SenGate
{
public:
    explicit SenGate(std::int32_t initialCount) : m_count(initialCount) {}

    void acquire();
    void release();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::int32_t m_count;
};

/// Stays signalled until reset, waking every waiter while it is set.
class SenSignal
{
public:
    SenSignal() = default;

    void set();
    void reset();
    /// Waits until the signal is set: timeoutMs 0 only looks, a negative timeout waits without limit.
    bool wait(int timeoutMs);

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_set = false;
};

} // namespace Velmor
