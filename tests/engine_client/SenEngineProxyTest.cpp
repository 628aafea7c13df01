// The engine proxy against a real TCP peer playing the engine.

#include "SenEngineProxy.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "EnginePeer.h"
#include "nxl.h"

namespace {

using namespace Velmor;
using TestSupport::EnginePeer;
using TestSupport::eventually;

class SenEngineProxyTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(proxy.connect("127.0.0.1", std::to_string(peer.port())));
        peer.accept();
        ASSERT_EQ(peer.readRequest().code, SenRequestGetParameter); // the version announcement
    }

    /// Runs one request on this thread while the peer answers it with reply.
    template <class Call> auto answered(ReplyEvent reply, Call call)
    {
        auto engine = std::async(std::launch::async, [&] {
            RequestEvent request = peer.readRequest();
            reply.code = reply.code == 0 ? request.code : reply.code;
            peer.send(reply);
            return request;
        });
        auto result = call();
        return std::make_pair(result, engine.get());
    }

    SenProfileManager manager;
    SenEngineProxy proxy{manager};
    EnginePeer peer;
};

TEST_F(SenEngineProxyTest, LinkDownAnswersLocallyAndQueuesTheError)
{
    ReplyEvent hardware(0, 0);
    hardware.text = "headsetVersion:2";
    std::string text;
    EXPECT_EQ(answered(hardware, [&] { return proxy.getHardwareText(1, text); }).first, NXL_OK);
    EXPECT_EQ(text, "headsetVersion:2");

    peer.close();
    ASSERT_TRUE(eventually([&] { return proxy.isLinkDown(); }));
    EXPECT_TRUE(proxy.isConnected()) << "a failed link still counts as connected until disconnect";
    text.clear();
    EXPECT_EQ(proxy.getHardwareText(1, text), NXL_NO_REPLY);
    EXPECT_EQ(text, "headsetVersion:2");

    SenEngineEvent event;
    ASSERT_TRUE(proxy.getNextEvent(event));
    EXPECT_EQ(event.type, SenEngineError);
    EXPECT_FALSE(event.payload.empty());
    std::int32_t first = 0;
    std::int32_t second = 0;
    EXPECT_EQ(proxy.getUserPairA(1, &first, &second), NXL_CONNECT_FAILED);
}

TEST_F(SenEngineProxyTest, RequestsCarryTheirFieldsAndReadTheirReplies)
{
    // All five settings travel, in order.
    auto [result, request] = answered(ReplyEvent(), [&] { return proxy.setUserSettings(4, {1, 2, 3, 4, 255}); });
    EXPECT_EQ(result, NXL_OK);
    EXPECT_EQ(request.code, SenRequestSetSettings);
    EXPECT_EQ(request.userId, 4u);
    EXPECT_EQ(request.text, "1,2,3,4,255");

    ReplyEvent pair(0, 0);
    pair.first = -5;
    pair.second = 9;
    std::int32_t first = 0;
    std::int32_t second = 0;
    EXPECT_EQ(answered(pair, [&] { return proxy.getUserPairB(4, &first, &second); }).first, NXL_OK);
    EXPECT_EQ(first, -5);
    EXPECT_EQ(second, 9);
    ReplyEvent wrongCode(SenRequestPairA, 0);
    EXPECT_EQ(answered(wrongCode, [&] { return proxy.getUserPairB(4, &first, &second); }).first, NXL_CONNECT_FAILED);

    // A training value is kept only when the engine accepted it.
    auto [setResult, setRequest] =
        answered(ReplyEvent(), [&] { return proxy.setParameter(4, "mentrix", "trainingAction", 2.5F); });
    EXPECT_EQ(setResult, NXL_OK);
    EXPECT_EQ(setRequest.text, "mentrix-trainingAction");
    EXPECT_FLOAT_EQ(setRequest.value, 2.5F);
    float action = 0;
    EXPECT_EQ(proxy.getTrainingAction(4, &action), NXL_OK);
    EXPECT_FLOAT_EQ(action, 2.5F);
    EXPECT_EQ(
        answered(ReplyEvent(0, 0x0302), [&] { return proxy.setParameter(5, "mentrix", "trainingAction", 1.F); }).first,
        0x0302u);
    EXPECT_EQ(proxy.getTrainingAction(5, &action), 0x0400u);
}

TEST_F(SenEngineProxyTest, ReplyToAnEarlierRequestAnswersTheNextWait)
{
    // The engine answers the announcement; that reply is still queued when request 7 waits.
    peer.sendReply(SenRequestGetParameter, "");
    auto engine = std::async(std::launch::async, [&] {
        peer.readRequest();
        peer.readRequest();
        peer.sendReply(SenRequestHardware, "dongleVersion:1");
        peer.sendReply(SenRequestHardware, "dongleVersion:2");
    });
    std::string text = "x";
    EXPECT_EQ(proxy.getHardwareText(1, text), NXL_OK);
    EXPECT_EQ(text, "") << "the stale reply gives the kept text, and none was kept yet";
    EXPECT_EQ(proxy.getHardwareText(1, text), NXL_OK);
    EXPECT_EQ(text, "dongleVersion:1");
    engine.get();
    ReplyEvent left;
    proxy.waitReply(left, 5000);
    EXPECT_EQ(left.code, SenRequestHardware);
    EXPECT_EQ(left.text, "dongleVersion:2");
}

TEST_F(SenEngineProxyTest, WaitingRequestIsWokenNotLeftToItsTimeLimit)
{
    // With a limit far above the test's patience, only a real wake-up lets the request return.
    enum class Ending { EngineCloses, ApplicationDisconnects, Both };
    for (Ending ending : {Ending::EngineCloses, Ending::ApplicationDisconnects, Ending::Both}) {
        SenEngineProxy waiting{manager};
        waiting.setReplyTimeout(120000);
        EnginePeer engine;
        ASSERT_TRUE(waiting.connect("127.0.0.1", std::to_string(engine.port())));
        engine.accept();
        engine.readRequest();

        auto request = std::async(std::launch::async, [&] {
            std::string text = "untouched";
            const std::uint32_t result = waiting.getHardwareText(1, text);
            return std::make_pair(result, text);
        });
        EXPECT_EQ(engine.readRequest().code, SenRequestHardware);
        std::thread closer;
        if (ending != Ending::ApplicationDisconnects) {
            closer = std::thread([&] { engine.close(); });
        }
        if (ending != Ending::EngineCloses) {
            waiting.disconnect();
        }
        ASSERT_EQ(request.wait_for(std::chrono::seconds(60)), std::future_status::ready);
        const auto [result, text] = request.get();
        EXPECT_EQ(result, NXL_NO_REPLY);
        EXPECT_EQ(text, "");
        if (closer.joinable()) {
            closer.join();
        }
    }
}

} // namespace
