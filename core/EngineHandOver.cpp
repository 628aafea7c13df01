#include "EngineHandOver.h"

#include <algorithm>

bool EngineHandOver::push(HandOverItem item)
{
    std::lock_guard lock(m_mutex);
    const bool wasEmpty = m_items.empty();
    if (item.kind == HandOverItem::Kind::State) {
        if (m_statesOfUser[item.userId] >= kMaxStatesPerUser || m_states >= kMaxStates) {
            dropOldestState(item.userId);
        }
        ++m_statesOfUser[item.userId];
        ++m_states;
    }
    m_items.push_back(std::move(item));
    return wasEmpty;
}

void EngineHandOver::dropOldestState(uint userId)
{
    // The user's own oldest state if it has one waiting, else the oldest state of anyone.
    const bool ownWaiting = m_statesOfUser[userId] > 0;
    const auto victim = std::find_if(m_items.begin(), m_items.end(), [&](const HandOverItem& waiting) {
        return waiting.kind == HandOverItem::Kind::State && (!ownWaiting || waiting.userId == userId);
    });
    if (victim == m_items.end()) {
        return;
    }
    if (--m_statesOfUser[victim->userId] == 0) {
        m_statesOfUser.erase(victim->userId);
    }
    --m_states;
    ++m_dropped;
    m_items.erase(victim);
}

bool EngineHandOver::take(HandOverItem& item)
{
    std::lock_guard lock(m_mutex);
    if (m_items.empty()) {
        return false;
    }
    item = std::move(m_items.front());
    m_items.pop_front();
    if (item.kind == HandOverItem::Kind::State) {
        --m_states;
        if (--m_statesOfUser[item.userId] == 0) {
            m_statesOfUser.erase(item.userId);
        }
    }
    return true;
}

void EngineHandOver::clear()
{
    std::lock_guard lock(m_mutex);
    m_items.clear();
    m_statesOfUser.clear();
    m_states = 0;
}

std::size_t EngineHandOver::size() const
{
    std::lock_guard lock(m_mutex);
    return m_items.size();
}

std::uint64_t EngineHandOver::droppedStates() const
{
    std::lock_guard lock(m_mutex);
    return m_dropped;
}
