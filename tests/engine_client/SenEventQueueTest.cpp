#include "SenEventQueue.h"

#include <gtest/gtest.h>

#include <chrono>
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

TEST(SenEventQueue, PopWithoutLimitIsWokenByALaterPush)
{
    SenEventQueue queue;
    std::thread pusher([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        queue.push(engineEvent(SenStateUpdated, 7));
    });
    const auto event = queue.pop(-1);
    pusher.join();
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(userOf(event), 7U);
}

TEST(SenEventQueue, PositiveWaitTimesOutEmpty)
{
    SenEventQueue queue;
    EXPECT_EQ(queue.pop(10), nullptr);
    queue.push(engineEvent(SenUserAdded, 1));
    EXPECT_NE(queue.pop(10), nullptr);
}

TEST(SenEventQueue, RemoveIfKeepsOrderAndResetsTheSignal)
{
    SenEventQueue queue;
    queue.push(engineEvent(SenStateUpdated, 1));
    queue.push(engineEvent(SenUserAdded, 2));
    queue.push(std::make_unique<ReplyEvent>(7, 0));
    queue.push(engineEvent(SenStateUpdated, 3));
    queue.push(engineEvent(SenUserAdded, 4));

    EXPECT_EQ(queue.removeIf(SenEngineEventTypeComparator(SenStateUpdated)), 2U);
    EXPECT_EQ(userOf(queue.pop(0)), 2U);
    EXPECT_EQ(queue.pop(0)->category, SenReplyCategory);

    // A negative mask matches every engine event, never a reply.
    queue.push(std::make_unique<ReplyEvent>(7, 0));
    EXPECT_EQ(queue.removeIf(SenEngineEventTypeComparator(-1)), 1U);
    EXPECT_EQ(queue.size(), 1U);
    EXPECT_EQ(queue.removeIf(SenEngineEventTypeComparator(-1)), 0U);
    queue.pop(0);

    queue.push(engineEvent(SenStateUpdated, 5));
    queue.removeIf(SenEngineEventTypeComparator(SenStateUpdated));
    // Were the signal left set, a waiting pop would come back empty at once instead of waiting.
    std::unique_ptr<SenEvent> woken;
    std::thread waiter([&] { woken = queue.pop(-1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    queue.push(engineEvent(SenUserAdded, 6));
    waiter.join();
    ASSERT_NE(woken, nullptr);
    EXPECT_EQ(userOf(woken), 6U);
}

TEST(SenEventQueue, ManyProducersLoseNothing)
{
    SenEventQueue queue;
    constexpr int kPerThread = 500;
    std::thread a([&] {
        for (int i = 0; i < kPerThread; ++i) {
            queue.push(engineEvent(SenUserAdded, 1));
        }
    });
    std::thread b([&] {
        for (int i = 0; i < kPerThread; ++i) {
            queue.push(engineEvent(SenUserAdded, 2));
        }
    });
    int taken = 0;
    while (taken < 2 * kPerThread) {
        if (queue.pop(-1) != nullptr) {
            ++taken;
        }
    }
    a.join();
    b.join();
    EXPECT_EQ(queue.pop(0), nullptr);
}

TEST(SenEngineEvent, CopyIntoTakesWhatTheTypeCarries)
{
    std::string record(kSenStatePayloadSize, '\0');
    for (std::size_t i = 0; i < record.size(); ++i) {
        record[i] = static_cast<char>(i * 7);
    }
    struct Case {
        std::int32_t type;
        std::uint32_t expectedUser;
        std::string expectedPayload;
        std::int32_t expectedValue1;
        std::int32_t expectedValue2;
    };
    const Case cases[] = {
        {SenEngineError, 0, "text", 99, 99}, {SenEngineType0002, 5, "", 99, 99},   {SenUserAdded, 5, "", 99, 99},
        {SenUserRemoved, 5, "text", 99, 99}, {SenProfileEvent, 5, "text", 99, 99}, {SenEngineType0100, 5, "", 11, 99},
        {SenEngineType0200, 5, "", 99, 22},  {SenEngineType0400, 5, "", 99, 99},   {0x0800, 77, "", 99, 99},
    };
    for (const Case& c : cases) {
        SenEngineEvent source(c.type, 5, "text");
        source.value1 = 11;
        source.value2 = 22;
        SenEngineEvent target(SenUserRemoved, 77, "old payload");
        target.value1 = 99;
        target.value2 = 99;
        source.copyInto(target);
        EXPECT_EQ(target.type, c.type);
        EXPECT_EQ(target.userId, c.expectedUser) << c.type;
        EXPECT_EQ(target.payload, c.expectedPayload) << c.type;
        EXPECT_EQ(target.value1, c.expectedValue1) << c.type;
        EXPECT_EQ(target.value2, c.expectedValue2) << c.type;
    }

    SenEngineEvent target;
    {
        auto source = std::make_unique<SenEngineEvent>();
        source->setState(3, record.data());
        source->payload += "extended"; // only the first 632 bytes are copied
        source->copyInto(target);
    }
    ASSERT_NE(target.stateRecord(), nullptr);
    EXPECT_EQ(target.payload, record);
    EXPECT_EQ(target.userId, 3U);

    // A truncated state must not let a reader of the copy run past its end.
    SenEngineEvent shortState(SenStateUpdated, 1, "abc");
    EXPECT_EQ(shortState.stateRecord(), nullptr);
    shortState.copyInto(target);
    ASSERT_EQ(target.payload.size(), kSenStatePayloadSize);
    EXPECT_EQ(target.payload.substr(0, 4), std::string("abc\0", 4));
}

TEST(SenEventQueue, BoundKeepsTheNewestAndCountsWhatWent)
{
    const std::string text(1000, 't');
    const std::size_t each = SenEngineEvent(SenUserRemoved, 1, text).footprint();
    const struct {
        const char* what;
        SenQueueBound bound;
        std::string text;
        std::size_t kept;
    } cases[] = {
        {"events", {3, 0}, "", 3},
        {"bytes", {0, 3 * each - 1}, text, 2},
        {"both, the tighter wins", {5, 2 * each - 1}, text, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SenEventQueue queue(c.bound);
        for (std::uint32_t user = 1; user <= 10; ++user) {
            queue.push(std::make_unique<SenEngineEvent>(SenUserRemoved, user, c.text));
        }
        EXPECT_EQ(queue.size(), c.kept);
        EXPECT_EQ(queue.dropped(), 10 - c.kept);
        for (std::uint32_t user = 11 - static_cast<std::uint32_t>(c.kept); user <= 10; ++user) {
            EXPECT_EQ(userOf(queue.pop(0)), user);
        }
        EXPECT_EQ(queue.bytes(), 0U);
    }

    // An event larger than the whole bound still gets in, alone.
    SenEventQueue queue({0, 100});
    queue.push(engineEvent(SenUserAdded, 1));
    queue.push(std::make_unique<SenEngineEvent>(SenUserRemoved, 2, std::string(1000, 't')));
    EXPECT_EQ(queue.size(), 1U);
    EXPECT_EQ(userOf(queue.pop(0)), 2U);
}

TEST(SenEventQueue, RankDecidesWhichQueuedEventMakesRoom)
{
    // Users 1 to 9 are kept; user 0 is dropped before anything else, and the oldest of it first.
    SenEventQueue queue({4, 0}, [](const SenEvent& queued, const SenEvent&) {
        return dynamic_cast<const SenEngineEvent&>(queued).userId == 0 ? kSenTopDropRank : 1;
    });
    queue.push(engineEvent(SenUserAdded, 1));
    queue.push(engineEvent(SenUserAdded, 0));
    queue.push(engineEvent(SenUserAdded, 2));
    queue.push(engineEvent(SenUserAdded, 0));
    queue.push(engineEvent(SenUserAdded, 3)); // the first user 0 goes
    queue.push(engineEvent(SenUserAdded, 4)); // the second user 0 goes
    queue.push(engineEvent(SenUserAdded, 5)); // no user 0 left: the oldest, user 1, goes
    EXPECT_EQ(queue.dropped(), 3U);
    for (std::uint32_t user : {2U, 3U, 4U, 5U}) {
        EXPECT_EQ(userOf(queue.pop(0)), user);
    }
}
