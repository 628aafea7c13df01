#pragma once
// The locked, signalled queue that hands events from the receive thread to the polling caller.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
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

/// How much a queue keeps at most; 0 leaves that measure without a limit.
struct SenQueueBound {
    std::size_t maxEvents = 0;
    /// Bytes of the events' own storage, texts and state records included.
    std::size_t maxBytes = 0;
};

/// Which queued event makes room when a push goes beyond the bound: the oldest of the highest rank.
/// Ranks run from 1 to kSenTopDropRank.
using SenDropRank = std::function<int(const SenEvent& queued, const SenEvent& incoming)>;
inline constexpr int kSenTopDropRank = 4;

class SenEventQueue
{
public:
    /// Without a bound the queue keeps everything; with one and no rank, the oldest events go first.
    explicit SenEventQueue(SenQueueBound bound = {}, SenDropRank rank = {});
    virtual ~SenEventQueue();
    SenEventQueue(const SenEventQueue&) = delete;
    SenEventQueue& operator=(const SenEventQueue&) = delete;

    /// The queue owns the event from now on; a null event is ignored. A pushed event always gets in:
    /// queued events are dropped (and counted) until the queue is back within its bound.
    void push(std::unique_ptr<SenEvent> event, bool atFront = false);
    /// Takes the oldest event, waiting up to timeoutMs for one (0: no wait, negative: no limit).
    /// Null when nothing came, or when another taker emptied the queue first.
    std::unique_ptr<SenEvent> pop(int timeoutMs);
    /// Removes every event the predicate matches, keeping the order of the rest; returns how many went.
    std::size_t removeIf(const SenEventTypeComparator& predicate);
    std::size_t size() const;
    /// Bytes held by the queued events, as the bound counts them.
    std::size_t bytes() const;
    /// Events dropped to stay within the bound since the queue was made.
    std::uint64_t dropped() const;

private:
    bool overBound() const;
    void dropOne(const SenEvent& incoming);

    mutable SenMutex m_mutex;
    std::deque<std::unique_ptr<SenEvent>> m_events;
    SenSignal m_notEmpty;
    const SenQueueBound m_bound;
    const SenDropRank m_rank;
    std::size_t m_bytes = 0;
    std::uint64_t m_dropped = 0;
};

} // namespace Velmor
