#include "SenEventQueue.h"

#include <gtest/gtest.h>

#include <thread>

using namespace Velmor;

namespace {

std::unique_ptr<SenEvent> engineEvent(std::int32_t type, std::uint32_t user)
{
    return std::make_unique<SenEngineEvent>(type, user);
}

std::uint32_t userOf(const std::unique_ptr<SenEvent>& event)
{
    return dynamic_cast<const SenEngineEvent&>(*event).userId;
}

} // namespace

TEST(SenEventQueue, TakesInArrivalOrderAndFrontInsertionFirst)
{
    SenEventQueue queue;
    queue.push(engineEvent(SenUserAdded, 1));
    queue.push(engineEvent(SenUserAdded, 2));
    queue.push(engineEvent(SenUserAdded, 3), true);
    EXPECT_EQ(userOf(queue.pop(0)), 3U);
    EXPECT_EQ(userOf(queue.pop(0)), 1U);
    EXPECT_EQ(userOf(queue.pop(0)), 2U);
    EXPECT_EQ(queue.pop(0), nullptr);
}
