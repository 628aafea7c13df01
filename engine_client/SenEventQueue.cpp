#include "SenEventQueue.h"

#include <algorithm>

namespace Velmor {

bool SenEngineEventTypeComparator::matches(const SenEvent& event) const
{
    if (event.category != SenEngineCategory) {
        return false;
    }
    const auto* engineEvent = dynamic_cast<const SenEngineEvent*>(&event);
    return engineEvent != nullptr && (engineEvent->type & m_mask) != 0;
}

SenEventQueue::SenEventQueue(SenQueueBound bound, SenDropRank rank) : m_bound(bound), m_rank(std::move(rank)) {}

SenEventQueue::~SenEventQueue()
{
    SenMutexLocker locker(m_mutex);
    m_events.clear();
}

void SenEventQueue::push(std::unique_ptr<SenEvent> event, bool atFront)
{
    if (!event) {
        return;
    }
    SenMutexLocker locker(m_mutex);
    const SenEvent& incoming = *event;
    m_bytes += incoming.footprint();
    if (atFront) {
        m_events.push_front(std::move(event));
    } else {
        m_events.push_back(std::move(event));
    }
    while (overBound() && m_events.size() > 1) {
        dropOne(incoming);
    }
    m_notEmpty.set();
}

std::unique_ptr<SenEvent> SenEventQueue::pop(int timeoutMs)
{
    // The wait happens outside the lock so that a waiting pop never blocks a push.
    if (!m_notEmpty.wait(timeoutMs)) {
        return nullptr;
    }
    SenMutexLocker locker(m_mutex);
    if (m_events.empty()) {
        return nullptr;
    }
    std::unique_ptr<SenEvent> event = std::move(m_events.front());
    m_events.pop_front();
    m_bytes -= event->footprint();
    if (m_events.empty()) {
        m_notEmpty.reset();
    }
    return event;
}

std::size_t SenEventQueue::removeIf(const SenEventTypeComparator& predicate)
{
    SenMutexLocker locker(m_mutex);
    const auto removed = std::erase_if(m_events, [&](const auto& event) {
        if (!predicate.matches(*event)) {
            return false;
        }
        m_bytes -= event->footprint();
        return true;
    });
    if (m_events.empty()) {
        m_notEmpty.reset();
    }
    return removed;
}

std::size_t SenEventQueue::size() const
{
    SenMutexLocker locker(m_mutex);
    return m_events.size();
}

std::size_t SenEventQueue::bytes() const
{
    SenMutexLocker locker(m_mutex);
    return m_bytes;
}

std::uint64_t SenEventQueue::dropped() const
{
    SenMutexLocker locker(m_mutex);
    return m_dropped;
}

bool SenEventQueue::overBound() const
{
    return (m_bound.maxEvents != 0 && m_events.size() > m_bound.maxEvents) ||
           (m_bound.maxBytes != 0 && m_bytes > m_bound.maxBytes);
}

// Called with the lock held and at least two events queued; the incoming one never goes.
void SenEventQueue::dropOne(const SenEvent& incoming)
{
    auto victim = m_events.end();
    int victimRank = 0;
    for (auto it = m_events.begin(); it != m_events.end() && victimRank < kSenTopDropRank; ++it) {
        if (it->get() == &incoming) {
            continue;
        }
        const int rank = m_rank ? m_rank(**it, incoming) : kSenTopDropRank;
        if (rank > victimRank) {
            victim = it;
            victimRank = rank;
        }
    }
    if (victim == m_events.end()) {
        return;
    }
    m_bytes -= (*victim)->footprint();
    m_events.erase(victim);
    ++m_dropped;
}

} // namespace Velmor
