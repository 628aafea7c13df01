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
    if (atFront) {
        m_events.push_front(std::move(event));
    } else {
        m_events.push_back(std::move(event));
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
    if (m_events.empty()) {
        m_notEmpty.reset();
    }
    return event;
}

std::size_t SenEventQueue::removeIf(const SenEventTypeComparator& predicate)
{
    SenMutexLocker locker(m_mutex);
    const auto removed = std::erase_if(m_events, [&](const auto& event) { return predicate.matches(*event); });
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

} // namespace Velmor
