#pragma once
// Tells a poller that an engine event may be waiting, so it can sleep until one arrives.

#include <atomic>

namespace Velmor {

/// One descriptor for the process, readable once an engine event has been queued since the last
/// clear(). Spurious wake-ups are possible; a missed one is not: a poller that calls clear() and then
/// takes events until the queue is empty is woken again for every event queued after that.
class SenEventNotifier
{
public:
    SenEventNotifier();
    ~SenEventNotifier();
    SenEventNotifier(const SenEventNotifier&) = delete;
    SenEventNotifier& operator=(const SenEventNotifier&) = delete;

    /// -1 when no descriptor could be made; the poller then has to poll.
    int descriptor() const { return m_fd; }
    /// After an event was queued; one write for a run of events that nobody has looked at yet.
    void notify();
    /// Before the poller takes the waiting events.
    void clear();

private:
    int m_fd = -1;
    std::atomic<bool> m_armed{false};
};

/// The notifier of the engine event queues of this process.
SenEventNotifier& engineEventNotifier();

} // namespace Velmor
