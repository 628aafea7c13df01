// The client interface against a real TCP peer playing the engine.

#include "nxl.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <thread>

#include "EnginePeer.h"
#include "ProcessCounts.h"
#include "SenEvent.h"
#include "SenLog.h"

namespace {

using Velmor::ReplyEvent;
using Velmor::RequestEvent;
using Velmor::SenEngineEvent;
using TestSupport::EnginePeer;
using TestSupport::eventually;

using TestSupport::openDescriptors;
using TestSupport::runningThreads;

class NxlClient : public ::testing::Test
{
protected:
    void TearDown() override
    {
        nxlEngineDisconnect();
        nxlEngineEventFree(event);
        nxlStateFree(state);
    }

    /// Connects to the peer and checks the version announcement that opens every connection.
    void connect()
    {
        ASSERT_EQ(nxlEngineRemoteConnect("127.0.0.1", peer.port()), NXL_OK);
        peer.accept();
        const RequestEvent announcement = peer.readRequest();
        EXPECT_EQ(announcement.code, 4);
        EXPECT_EQ(announcement.userId, 0u);
        EXPECT_EQ(announcement.text, "version-3.5.0");
    }

    /// Polls as the application does until an event arrives.
    bool nextEvent()
    {
        return eventually([&] { return nxlEngineGetNextEvent(event) == NXL_OK; });
    }

    EnginePeer peer;
    SenEngineEventHandle event = nxlEngineEventCreate();
    SenStateHandle state = nxlStateCreate();
};

TEST_F(NxlClient, SessionFromAnnouncementToEngineClosing)
{
    connect();
    EXPECT_EQ(nxlEngineGetNextEvent(nullptr), NXL_INVALID_ARGUMENT);
    EXPECT_EQ(nxlEngineGetNextEvent(event), NXL_NO_EVENT);

    // A user comes up: the application asks for the hardware version before the next event.
    peer.send(SenEngineEvent(Velmor::SenUserAdded, 1));
    ASSERT_TRUE(nextEvent());
    EXPECT_EQ(nxlEngineEventGetType(event), 0x0010u);
    uint32_t userId = 0;
    EXPECT_EQ(nxlEngineEventGetUserId(event, &userId), NXL_OK);
    EXPECT_EQ(userId, 1u);

    auto engine = std::async(std::launch::async, [&] {
        const RequestEvent request = peer.readRequest();
        peer.sendReply(request.code, "dongleVersion:5,headsetVersion:1");
        return request;
    });
    uint32_t version = 0;
    EXPECT_EQ(nxlEngineGetHardwareVersion(1, &version), NXL_OK);
    EXPECT_EQ(version, 0x10005u);
    const RequestEvent request = engine.get();
    EXPECT_EQ(request.code, 7);
    EXPECT_EQ(request.userId, 1u);

    // States arrive byte for byte, whatever bytes they hold.
    std::string record(NXL_STATE_SIZE, '\0');
    for (std::size_t i = 0; i < record.size(); ++i) {
        record[i] = "\0 \n\r\xff\x7f"[i % 6];
    }
    SenEngineEvent update;
    update.setState(1, record.data());
    peer.send(update);
    ASSERT_TRUE(nextEvent());
    EXPECT_EQ(nxlEngineEventGetType(event), 0x0040u);
    EXPECT_EQ(nxlEngineEventGetState(event, state), NXL_OK);
    EXPECT_EQ(std::memcmp(state, record.data(), NXL_STATE_SIZE), 0);

    // The engine goes away: an engine error event, and the kept version still answers.
    peer.close();
    ASSERT_TRUE(nextEvent());
    EXPECT_EQ(nxlEngineEventGetType(event), 0x0001u);
    EXPECT_FALSE(static_cast<SenEngineEvent*>(event)->payload.empty());
    EXPECT_EQ(nxlEngineEventGetUserId(event, &userId), NXL_INVALID_ARGUMENT);
    version = 0;
    EXPECT_EQ(nxlEngineGetHardwareVersion(1, &version), NXL_OK);
    EXPECT_EQ(version, 0x10005u);

    EXPECT_EQ(nxlEngineDisconnect(), NXL_OK);
    EXPECT_EQ(nxlEngineDisconnect(), NXL_NOT_CONNECTED);
    EXPECT_EQ(nxlEngineGetNextEvent(event), NXL_NOT_CONNECTED);
}

TEST_F(NxlClient, EngineClosingWhileRequestWaitsEndsTheWait)
{
    connect();
    auto engine = std::async(std::launch::async, [&] {
        peer.readRequest();
        peer.close();
    });
    uint32_t version = 0xDEAD;
    EXPECT_EQ(nxlEngineGetHardwareVersion(2, &version), NXL_OK);
    EXPECT_EQ(version, 0u); // no hardware text was ever received
    engine.get();
    ASSERT_TRUE(nextEvent());
    EXPECT_EQ(nxlEngineEventGetType(event), 0x0001u);
}

TEST_F(NxlClient, SilentEngineCannotBlockTheHardwareQuery)
{
    connect();
    auto engine = std::async(std::launch::async, [&] { return peer.readRequest(); });
    uint32_t version = 0xDEAD;
    EXPECT_EQ(nxlEngineGetHardwareVersion(2, &version), NXL_OK);
    EXPECT_EQ(version, 0u);
    EXPECT_EQ(engine.get().code, 7);
    EXPECT_EQ(nxlEngineDisconnect(), NXL_OK);
}

TEST_F(NxlClient, DisconnectWhileRequestWaitsOnAnotherThread)
{
    // Repeated, with the engine also closing in some rounds, to shake out races between the two ends.
    for (int round = 0; round < 6; ++round) {
        connect();
        auto waiter = std::async(std::launch::async, [] {
            uint32_t version = 0xDEAD;
            const uint32_t result = nxlEngineGetHardwareVersion(3, &version);
            return std::make_pair(result, version);
        });
        EXPECT_EQ(peer.readRequest().code, 7);
        std::thread engineCloses;
        if (round % 2 == 1) {
            engineCloses = std::thread([&] { peer.close(); });
        }
        EXPECT_EQ(nxlEngineDisconnect(), NXL_OK);
        const auto [result, version] = waiter.get();
        EXPECT_EQ(result, NXL_OK);
        EXPECT_EQ(version, 0u);
        if (engineCloses.joinable()) {
            engineCloses.join();
        }
        peer.close();
    }
}

TEST_F(NxlClient, ConnectWhereNothingListens)
{
    uint16_t port = 0;
    {
        EnginePeer closed;
        port = closed.port();
    }
    const int threads = runningThreads();
    EXPECT_EQ(nxlEngineRemoteConnect("127.0.0.1", port), NXL_CONNECT_FAILED);
    EXPECT_EQ(runningThreads(), threads);
    EXPECT_EQ(nxlEngineDisconnect(), NXL_NOT_CONNECTED);
}

TEST_F(NxlClient, UnresolvableHostIsAnInternalErrorUntilDisconnect)
{
    // The caught error goes to the log once the threshold lets it through.
    const std::string logPath = ::testing::TempDir() + "nxl_client_test.log";
    std::remove(logPath.c_str());
    Velmor::setLogFile(logPath);
    const int oldLevel = Velmor::setLogLevel(Velmor::LogError);
    EXPECT_EQ(nxlEngineRemoteConnect("no-such-host.invalid", 3008), NXL_INTERNAL_ERROR);
    Velmor::setLogLevel(oldLevel);
    Velmor::setLogFile(Velmor::defaultLogFilePath());
    std::ifstream log(logPath);
    const std::string logText((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(logText.find(" E nxlEngineRemoteConnect - C++ exception: resolve"), std::string::npos) << logText;
    std::remove(logPath.c_str());

    EXPECT_EQ(nxlEngineGetNextEvent(event), NXL_NO_EVENT) << "the unconnected engine stays in the slot";
    uint32_t version = 0xDEAD;
    EXPECT_EQ(nxlEngineGetHardwareVersion(1, &version), NXL_OK);
    EXPECT_EQ(version, 0u);
    EXPECT_EQ(nxlEngineDisconnect(), NXL_OK);
    EXPECT_EQ(nxlEngineDisconnect(), NXL_NOT_CONNECTED);
}

TEST_F(NxlClient, ConnectingAgainReleasesTheEarlierConnection)
{
    connect();
    EnginePeer second;
    ASSERT_EQ(nxlEngineRemoteConnect("127.0.0.1", second.port()), NXL_OK);
    EXPECT_TRUE(peer.clientClosed());
    second.accept();
    EXPECT_EQ(second.readRequest().code, 4);
}

TEST_F(NxlClient, RepeatedConnectionsLeaveNoDescriptorOrThreadBehind)
{
    connect(); // the first connection may set up process-wide resources
    EXPECT_EQ(nxlEngineDisconnect(), NXL_OK);
    peer.close();
    const int descriptors = openDescriptors();
    const int threads = runningThreads();
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(nxlEngineRemoteConnect("127.0.0.1", peer.port()), NXL_OK);
        peer.accept();
        ASSERT_EQ(nxlEngineDisconnect(), NXL_OK);
        peer.close();
    }
    EXPECT_EQ(openDescriptors(), descriptors);
    EXPECT_EQ(runningThreads(), threads);
}

} // namespace
