#include "SenSignal.h"

#include <chrono>

namespace Velmor {

void SenGate::acquire()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_count > 0; });
    --m_count;
}

// Notifying under the lock: a woken waiter may destroy the primitive as soon as the lock is free.
void SenGate::release()
{
    std::lock_guard lock(m_mutex);
    ++m_count;
    m_changed.notify_all();
}

void SenSignal::set()
{
    std::lock_guard lock(m_mutex);
    m_set = true;
    m_changed.notify_all();
}

void SenSignal::reset()
{
    std::lock_guard lock(m_mutex);
    m_set = false;
}

bool SenSignal::wait(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    if (timeoutMs < 0) {
        m_changed.wait(lock, [this] { return m_set; });
        return true;
    }
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_set; });
}

} // namespace Velmor
