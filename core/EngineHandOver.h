#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "SenStateSnapshot.h"

/// One event of the connection thread on its way to the evaluation.
struct HandOverItem {
    enum class Kind { EngineConnected, EngineDisconnected, EngineCannotBeConnected, HeadsetType, HeadsetConnected,
                      HeadsetDisconnected, State };

    Kind kind = Kind::State;
    uint userId = 0;
    /// The headset type of a HeadsetType item.
    QString text;
    SenStateSnapshot state;

    static HandOverItem of(Kind kind, uint userId = 0, QString text = {}, SenStateSnapshot state = {})
    {
        HandOverItem item;
        item.kind = kind;
        item.userId = userId;
        item.text = std::move(text);
        item.state = std::move(state);
        return item;
    }
};

/// The bounded, ordered hand-over from the connection thread to the thread that evaluates. Events keep
/// their order. When the evaluation falls behind, the oldest waiting state of the same user makes room
/// for a new one (the newest state of a user says what holds now); events other than states are never
/// dropped. Every function may be called from any thread.
class EngineHandOver
{
public:
    /// The most states waiting for one user (a poll's worth, so a burst is kept whole), and for all users
    /// together (about 3 MiB).
    static constexpr std::size_t kMaxStatesPerUser = 2000;
    static constexpr std::size_t kMaxStates = 4000;

    /// Adds `item` at the end; true when the hand-over was empty before, so the taker must be woken.
    bool push(HandOverItem item);
    /// Takes the oldest item; false when there is none.
    bool take(HandOverItem& item);
    /// Forgets everything waiting.
    void clear();

    std::size_t size() const;
    /// States dropped to make room, since construction.
    std::uint64_t droppedStates() const;

private:
    void dropOldestState(uint userId);

    mutable std::mutex m_mutex;
    std::deque<HandOverItem> m_items;
    std::unordered_map<uint, std::size_t> m_statesOfUser;
    std::size_t m_states = 0;
    std::uint64_t m_dropped = 0;
};
