#include "SenEngine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "nxl.h"

namespace {

using namespace Velmor;

std::unique_ptr<SenEngineEvent> engineEvent(std::int32_t type, std::uint32_t userId = 0)
{
    auto event = std::make_unique<SenEngineEvent>(type, userId);
    event->value1 = 11;
    event->value2 = 22;
    return event;
}

std::unique_ptr<ReplyEvent> reply(std::int32_t code, std::int32_t result = 0, std::string text = {})
{
    auto event = std::make_unique<ReplyEvent>(code, result);
    event->text = std::move(text);
    return event;
}

class SenEngineTest : public ::testing::Test
{
protected:
    SenProfileManager manager;
    SenEngine engine{manager};

    std::vector<std::int32_t> drainTypes()
    {
        std::vector<std::int32_t> types;
        SenEngineEvent event;
        while (engine.getNextEvent(event)) {
            types.push_back(event.type);
        }
        return types;
    }
};

TEST_F(SenEngineTest, GetNextEventOnEmptyQueueLeavesCallerEventUntouched)
{
    SenEngineEvent event(SenUserRemoved, 7, "kept");
    EXPECT_FALSE(engine.getNextEvent(event));
    EXPECT_EQ(event.type, SenUserRemoved);
    EXPECT_EQ(event.userId, 7u);
    EXPECT_EQ(event.payload, "kept");
}

TEST_F(SenEngineTest, EventsAreTakenInArrivalOrderAsCopies)
{
    engine.pushEngineEvent(engineEvent(SenUserAdded, 3));
    auto state = std::make_unique<SenEngineEvent>();
    std::string record(kSenStatePayloadSize, '\0');
    record[0] = '\x7f';
    record[631] = '\x01';
    state->setState(3, record.data());
    engine.pushEngineEvent(std::move(state));

    SenEngineEvent event;
    ASSERT_TRUE(engine.getNextEvent(event));
    EXPECT_EQ(event.type, SenUserAdded);
    EXPECT_EQ(event.userId, 3u);
    ASSERT_TRUE(engine.getNextEvent(event));
    EXPECT_EQ(event.type, SenStateUpdated);
    EXPECT_EQ(event.payload, record);
    EXPECT_FALSE(engine.getNextEvent(event));
}

TEST_F(SenEngineTest, FlushEventsHonoursItsMask)
{
    struct Case {
        std::int32_t mask;
        bool accepted;
        std::vector<std::int32_t> left;
    };
    const Case cases[] = {
        {SenStateUpdated, true, {SenUserAdded, SenEngineError, SenUserAdded}},
        {0x0800, false, {SenUserAdded, SenStateUpdated, SenEngineError, SenStateUpdated, SenUserAdded}},
        {0x0001, false, {SenUserAdded, SenStateUpdated, SenEngineError, SenStateUpdated, SenUserAdded}},
        {SenStateUpdated | SenUserAdded, true, {SenEngineError}},
        {-1, true, {}},
    };
    for (const Case& c : cases) {
        for (std::int32_t type : {SenUserAdded, SenStateUpdated, SenEngineError, SenStateUpdated, SenUserAdded}) {
            engine.pushEngineEvent(engineEvent(type));
        }
        EXPECT_EQ(engine.flushEvents(c.mask), c.accepted) << c.mask;
        EXPECT_EQ(drainTypes(), c.left) << c.mask;
    }
}

TEST_F(SenEngineTest, Type0100EventsReachBothQueuesOnce)
{
    engine.pushEngineEvent(engineEvent(SenEngineType0100, 4));
    engine.pushEngineEvent(engineEvent(SenStateUpdated, 4));

    SenEngineEvent event;
    ASSERT_TRUE(engine.getNextSecondaryEvent(event));
    EXPECT_EQ(event.type, SenEngineType0100);
    EXPECT_EQ(event.value1, 11);
    EXPECT_FALSE(engine.getNextSecondaryEvent(event));
    EXPECT_EQ(drainTypes(), (std::vector<std::int32_t>{SenEngineType0100, SenStateUpdated}));
}

TEST_F(SenEngineTest, UserAddedClearsTheEnableFlag)
{
    EXPECT_EQ(engine.setUserEnabled(3, true), 0x0400u);
    engine.pushEngineEvent(engineEvent(SenUserAdded, 3));
    EXPECT_EQ(engine.userEnabled(3), false);
    EXPECT_EQ(engine.setUserEnabled(3, true), NXL_OK);
    EXPECT_EQ(engine.userEnabled(3), true);
    engine.pushEngineEvent(engineEvent(SenUserAdded, 3));
    EXPECT_EQ(engine.userEnabled(3), false);
    EXPECT_FALSE(engine.userEnabled(4).has_value());
}

TEST_F(SenEngineTest, WaitReplyWithoutReplyGivesCodeAndResultZero)
{
    ReplyEvent taken(5, 9);
    engine.waitReply(taken, 0);
    EXPECT_EQ(taken.code, 0);
    EXPECT_EQ(taken.result, 0);

    engine.pushReply(reply(7, 3, "x"));
    engine.waitReply(taken, 0);
    EXPECT_EQ(taken.code, 7);
    EXPECT_EQ(taken.result, 3);
    EXPECT_EQ(taken.text, "x");
}

TEST_F(SenEngineTest, RequestWithoutEngineIsAnsweredLocallyAsLost)
{
    std::string text = "before";
    EXPECT_EQ(engine.getHardwareText(1, text), NXL_NO_REPLY);
    EXPECT_EQ(text, "before");
    ReplyEvent left;
    engine.waitReply(left, 0);
    EXPECT_EQ(left.code, 0) << "the failure reply must have been consumed by the request";
}

TEST_F(SenEngineTest, StaleReplyIsTakenByTheNextRequest)
{
    engine.pushReply(reply(SenRequestHardware, 0, "headsetVersion:2"));
    std::string text;
    // The stale reply answers this request; the local failure reply stays for the next wait.
    EXPECT_EQ(engine.getHardwareText(1, text), NXL_OK);
    EXPECT_EQ(text, "headsetVersion:2");
    ReplyEvent left;
    engine.waitReply(left, 0);
    EXPECT_EQ(left.code, -1);
    EXPECT_EQ(left.result, static_cast<std::int32_t>(NXL_NO_REPLY));
}

TEST_F(SenEngineTest, GetUserProfileSkipsOtherRepliesUpToThree)
{
    EXPECT_EQ(engine.getUserProfile(1, nullptr), NXL_INVALID_ARGUMENT);

    engine.pushReply(reply(SenRequestGetParameter));
    engine.pushReply(reply(SenRequestGetParameter));
    engine.pushReply(reply(SenRequestGetProfile, 0, "profile bytes"));
    SenEngineEvent event;
    EXPECT_EQ(engine.getUserProfile(6, &event), NXL_OK);
    EXPECT_EQ(event.type, SenProfileEvent);
    EXPECT_EQ(event.userId, 6u);
    EXPECT_EQ(event.payload, "profile bytes");
    ReplyEvent left;
    engine.waitReply(left, 0); // the local failure reply queued by the request

    for (int i = 0; i < 3; ++i) {
        engine.pushReply(reply(SenRequestGetParameter));
    }
    SenEngineEvent untouched;
    EXPECT_EQ(engine.getUserProfile(6, &untouched), NXL_CONNECT_FAILED);
    EXPECT_EQ(untouched.type, 0);
    engine.waitReply(left, 0);

    engine.pushReply(reply(SenRequestGetProfile, 0x0302));
    EXPECT_EQ(engine.getUserProfile(6, &untouched), 0x0302u);
    EXPECT_EQ(untouched.type, 0);
}

TEST(SenEngineSettings, ParsesEachFieldAndKeepsUnlistedOnes)
{
    struct Case {
        const char* text;
        SenUserSettings expected;
    };
    const SenUserSettings start{false, 9, 9, 9, 9};
    const Case cases[] = {
        {"1,128,14,0,12", {true, 0, 0, 0, 0}}, {"0,5,16,32,14", {false, 1, 1, 1, 1}},
        {"x,,0,64,16", {true, 1, 2, 2, 2}},    {"1,128,99,128,0", {true, 0, 9, 3, 3}},
        {"0,128", {false, 0, 9, 9, 9}},
    };
    for (const Case& c : cases) {
        SenUserSettings settings = start;
        SenEngine::parseUserSettings(c.text, settings);
        EXPECT_EQ(settings.enabled, c.expected.enabled) << c.text;
        EXPECT_EQ(settings.second, c.expected.second) << c.text;
        EXPECT_EQ(settings.third, c.expected.third) << c.text;
        EXPECT_EQ(settings.fourth, c.expected.fourth) << c.text;
        EXPECT_EQ(settings.fifth, c.expected.fifth) << c.text;
    }
}

} // namespace

namespace {

std::unique_ptr<SenEngineEvent> stateOf(std::uint32_t userId, char fill)
{
    auto event = std::make_unique<SenEngineEvent>();
    const std::string record(kSenStatePayloadSize, fill);
    event->setState(userId, record.data());
    return event;
}

} // namespace

TEST_F(SenEngineTest, FloodOfStatesDropsOlderStatesAndKeepsEveryOtherEvent)
{
    engine.pushEngineEvent(engineEvent(SenUserAdded, 1));
    const std::size_t flood = 3 * kSenEngineEventBound.maxEvents;
    for (std::size_t i = 0; i < flood; ++i) {
        engine.pushEngineEvent(stateOf(1, i + 1 == flood ? 'z' : 'a'));
        if (i == flood / 2) {
            engine.pushEngineEvent(engineEvent(SenUserRemoved, 3));
        }
        if (i == flood - 10) {
            engine.pushEngineEvent(stateOf(2, 'b'));
        }
    }
    EXPECT_EQ(engine.droppedEvents(), flood + 3 - kSenEngineEventBound.maxEvents);

    // User 1's flood pushed out only its own older states: user 2's one state stays, and so do the
    // user-added and user-removed events, in their order.
    SenEngineEvent event;
    std::vector<std::int32_t> types;
    std::string lastOfUser1;
    bool sawUser2 = false;
    while (engine.getNextEvent(event)) {
        if (event.type != SenStateUpdated) {
            types.push_back(event.type);
        } else if (event.userId == 2) {
            sawUser2 = true;
        } else {
            lastOfUser1 = event.payload;
        }
    }
    EXPECT_EQ(types, (std::vector<std::int32_t>{SenUserAdded, SenUserRemoved}));
    EXPECT_TRUE(sawUser2);
    EXPECT_EQ(lastOfUser1, std::string(kSenStatePayloadSize, 'z'));
}

TEST_F(SenEngineTest, FloodOfOtherEventsStaysWithinTheBounds)
{
    const struct {
        const char* what;
        std::int32_t type;
        std::string text;
    } floods[] = {
        {"type 0x0100", SenEngineType0100, ""},
        {"user removed with 64 KiB texts", SenUserRemoved, std::string(64 * 1024, 'x')},
    };
    for (const auto& flood : floods) {
        SCOPED_TRACE(flood.what);
        SenEngine flooded{manager};
        flooded.pushEngineEvent(engineEvent(SenUserAdded, 1));
        for (std::uint32_t i = 0; i < 5000; ++i) {
            flooded.pushEngineEvent(std::make_unique<SenEngineEvent>(flood.type, 2, flood.text));
        }
        flooded.pushEngineEvent(std::make_unique<SenEngineEvent>(SenEngineError, 0, "gone"));
        std::size_t taken = 0;
        SenEngineEvent event;
        bool first = true;
        while (flooded.getNextEvent(event)) {
            ++taken;
            if (first && flood.type == SenEngineType0100) {
                EXPECT_EQ(event.type, SenUserAdded) << "events that are acted on go last";
            }
            first = false;
        }
        EXPECT_LE(taken, kSenEngineEventBound.maxEvents);
        EXPECT_EQ(event.type, SenEngineError) << "the last event pushed always gets in";
        std::size_t secondary = 0;
        while (flooded.getNextSecondaryEvent(event)) {
            ++secondary;
        }
        EXPECT_LE(secondary, kSenSecondaryEventBound.maxEvents);
        EXPECT_EQ(flooded.droppedEvents(), 5002 - taken + (flood.type == SenEngineType0100 ? 5000 - secondary : 0));
    }
}
