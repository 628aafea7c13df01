#pragma once
// The locked, signalled queue that hands events from the receive thread to the polling caller.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

#include "SenEvent.h"
#include "SenMutex.h"
#include "SenSignal.h"

namespace Velmor {

/// A test of one event, handed to SenEventQueue::removeIf.
class SenEventTypeComparator
{
public:
    virtual ~SenEventTypeComparator() = default;
    virtual bool matches(const SenEvent& event) const = 0;
};

/// True for an engine event whose type shares a bit with the mask; false for any other event.
class SenEngineEventTypeComparator : public SenEventTypeComparator
{
public:
    explicit SenEngineEventTypeComparator(std::int32_t mask) : m_mask(mask) {}
    bool matches(const SenEvent& event) const override;

private:
    std::int32_t m_mask;
};

class SenEventQueue
{
public:
    SenEventQueue() = default;
    virtual ~SenEventQueue();
    SenEventQueue(const SenEventQueue&) = delete;
    SenEventQueue& operator=(const SenEventQueue&) = delete;

    /// The queue owns the event from now on; a null event is ignored.
    void push(std::unique_ptr<SenEvent> event, bool atFront = false);
    /// Takes the oldest event, waiting up to timeoutMs for one (0: no wait, negative: no limit).
    /// Null when nothing came, or when another taker emptied the queue first.
    std::unique_ptr<SenEvent> pop(int timeoutMs);
    /// Removes every event the predicate matches, keeping the order of the rest; returns how many went.
    std::size_t removeIf(const SenEventTypeComparator& predicate);
    std::size_t size() const;

private:
    mutable SenMutex m_mutex;
    std::deque<std::unique_ptr<SenEvent>> m_events;
    SenSignal m_notEmpty;
};

} // namespace Velmor
