#include "EngineHandOver.h"

#include <gtest/gtest.h>

#include <vector>

#include "SenStateRecord.h"

namespace {

using Kind = HandOverItem::Kind;

/// A state of `user` whose upper-face bits carry `tag`, so the test can tell the states apart.
HandOverItem state(uint user, std::uint32_t tag)
{
    SenStateSnapshot snapshot = SenStateSnapshot::fromBytes(std::vector<unsigned char>(NXL_STATE_SIZE, 0).data());
    Velmor::StateLayout::writeU32(snapshot.handle(), Velmor::StateLayout::kUpperFaceBits, tag);
    return HandOverItem::of(Kind::State, user, {}, snapshot);
}

std::uint32_t tagOf(const HandOverItem& item)
{
    return Velmor::StateLayout::readU32(item.state.handle(), Velmor::StateLayout::kUpperFaceBits);
}

std::vector<HandOverItem> takeAll(EngineHandOver& handOver)
{
    std::vector<HandOverItem> items;
    HandOverItem item;
    while (handOver.take(item)) {
        items.push_back(item);
    }
    return items;
}

} // namespace

TEST(EngineHandOver, KeepsTheOrderAndSaysWhenTheTakerMustBeWoken)
{
    EngineHandOver handOver;
    EXPECT_TRUE(handOver.push(HandOverItem::of(Kind::EngineConnected)));
    EXPECT_FALSE(handOver.push(state(1, 7)));
    EXPECT_FALSE(handOver.push(HandOverItem::of(Kind::HeadsetDisconnected, 1)));
    const std::vector<HandOverItem> items = takeAll(handOver);
    ASSERT_EQ(items.size(), 3U);
    EXPECT_EQ(items[0].kind, Kind::EngineConnected);
    EXPECT_EQ(tagOf(items[1]), 7U);
    EXPECT_EQ(items[2].kind, Kind::HeadsetDisconnected);
    EXPECT_TRUE(handOver.push(state(1, 8))) << "empty again";
    EXPECT_EQ(handOver.droppedStates(), 0U);
}

TEST(EngineHandOver, WhenBehindTheOldestStateOfTheSameUserGivesWayAndOtherEventsStay)
{
    EngineHandOver handOver;
    constexpr auto kPerUser = static_cast<std::uint32_t>(EngineHandOver::kMaxStatesPerUser);
    handOver.push(HandOverItem::of(Kind::HeadsetConnected, 1));
    for (std::uint32_t i = 0; i < kPerUser; ++i) {
        handOver.push(state(1, i));
    }
    handOver.push(state(2, 1000000));
    handOver.push(HandOverItem::of(Kind::HeadsetDisconnected, 2));
    handOver.push(state(1, kPerUser));
    handOver.push(state(1, kPerUser + 1));
    EXPECT_EQ(handOver.droppedStates(), 2U);

    const std::vector<HandOverItem> items = takeAll(handOver);
    ASSERT_EQ(items.size(), kPerUser + 3);
    EXPECT_EQ(items.front().kind, Kind::HeadsetConnected);
    // User 1's two oldest states went; user 2's state and both headset events stayed, in order.
    EXPECT_EQ(tagOf(items[1]), 2U);
    EXPECT_EQ(tagOf(items[kPerUser - 1]), 1000000U);
    EXPECT_EQ(items[kPerUser].kind, Kind::HeadsetDisconnected);
    EXPECT_EQ(tagOf(items.back()), kPerUser + 1);
}

TEST(EngineHandOver, AllUsersTogetherAreBoundedToo)
{
    EngineHandOver handOver;
    const auto total = static_cast<std::uint32_t>(EngineHandOver::kMaxStates);
    // Every state from a user of its own: each new one pushes out the oldest of anyone.
    for (std::uint32_t i = 0; i < total + 10; ++i) {
        handOver.push(state(i, i));
    }
    EXPECT_EQ(handOver.size(), EngineHandOver::kMaxStates);
    EXPECT_EQ(handOver.droppedStates(), 10U);
    HandOverItem first;
    ASSERT_TRUE(handOver.take(first));
    EXPECT_EQ(tagOf(first), 10U);
    handOver.clear();
    EXPECT_EQ(handOver.size(), 0U);
}
