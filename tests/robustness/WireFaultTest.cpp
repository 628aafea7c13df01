// Damaged and hostile engines, seen through the client interface the application uses: whatever the
// engine sends, the application gets the good events that came before, one engine error, and a
// connection it can close, with no thread, descriptor or large allocation left behind.

#include "nxl.h"

#include <sys/resource.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "EnginePeer.h"
#include "ProcessCounts.h"
#include "SenEvent.h"

namespace {

using TestSupport::EnginePeer;
using Velmor::SenEngineEvent;
using namespace std::string_literals;

long peakResidentKb()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::string stateFrame(std::uint32_t user, char fill)
{
    std::string record(NXL_STATE_SIZE, fill);
    SenEngineEvent update;
    update.setState(user, record.data());
    return EnginePeer::frame(update);
}

class WireFault : public ::testing::Test
{
protected:
    void TearDown() override
    {
        nxlEngineDisconnect();
        nxlEngineEventFree(event);
        nxlStateFree(state);
    }

    void connect(EnginePeer& peer)
    {
        ASSERT_EQ(nxlEngineRemoteConnect("127.0.0.1", peer.port()), NXL_OK);
        peer.accept();
        peer.read(); // the version announcement
    }

    /// The type of the next event, polling as the application does; 0 when none comes within 5 s.
    uint32_t nextEventType()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            if (nxlEngineGetNextEvent(event) == NXL_OK) {
                return nxlEngineEventGetType(event);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return 0;
    }

    /// No event arrives for a while.
    bool staysQuiet()
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        return nxlEngineGetNextEvent(event) == NXL_NO_EVENT;
    }

    SenEngineEventHandle event = nxlEngineEventCreate();
    SenStateHandle state = nxlStateCreate();
};

TEST_F(WireFault, DamagedMessageEndsTheSessionWithOneEngineError)
{
    const std::string archive = "22 serialization::archive 9 0 0 8 0 1 0 0 8 32 0 0 ";
    const struct {
        const char* what;
        std::string bytes;
        bool thenClose;
    } faults[] = {
        {"header cut short", "     2b", true},
        {"body cut short", stateFrame(1, 'x').substr(0, 300), true},
        {"negative header", "-0000001", false},
        {"0x header", "0x00002a", false},
        {"header with text", "002a zzz", false},
        {"empty body", "       0", false},
        {"header naming 4 GiB", "ffffffff" + std::string(64, 'a'), false},
        {"body that is no archive", EnginePeer::frameOfBody("this is not an archive at all"), false},
        {"string longer than its body", EnginePeer::frameOfBody(archive + "50 short 0"), false},
        {"string of 10^9 bytes", EnginePeer::frameOfBody(archive + "1000000000 short 0"), false},
        {"string of 2^62 bytes", EnginePeer::frameOfBody(archive + "4611686018427387904 short 0"), false},
        {"archive of another signature", EnginePeer::frameOfBody("22 serialization::archivX 9 0 0 9"), false},
    };
    const long residentBefore = peakResidentKb();
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.what);
        EnginePeer peer;
        connect(peer);
        peer.write(stateFrame(1, 'a'));
        if (fault.thenClose) {
            peer.write(fault.bytes);
            peer.close();
        } else {
            // Nothing after the damage may be taken as a message. The client may already have let go
            // of the connection, so the write may fail.
            try {
                peer.write(fault.bytes + stateFrame(2, 'b'));
            } catch (const boost::system::system_error&) {
            }
        }
        ASSERT_EQ(nextEventType(), uint32_t{NXL_EVENT_STATE_UPDATED});
        uint32_t user = 0;
        EXPECT_EQ(nxlEngineEventGetUserId(event, &user), NXL_OK);
        EXPECT_EQ(user, 1U);
        EXPECT_EQ(nextEventType(), uint32_t{NXL_EVENT_ENGINE_ERROR});
        EXPECT_TRUE(staysQuiet());
        EXPECT_EQ(nxlEngineDisconnect(), NXL_OK);
        if (!fault.thenClose) {
            EXPECT_TRUE(peer.clientClosed());
        }
    }
    // A length read from the wire must never turn into an allocation of that size.
    EXPECT_LT(peakResidentKb() - residentBefore, 64 * 1024);
}

TEST_F(WireFault, UnknownKindBetweenGoodMessagesIsSkipped)
{
    EnginePeer peer;
    connect(peer);
    peer.write(stateFrame(1, 'a') + EnginePeer::frameOfBody("22 serialization::archive 9 0 0 9") +
               EnginePeer::frameOfBody("22 serialization::archive 9 0 0 123") + stateFrame(2, 'b'));
    for (uint32_t expectedUser : {1U, 2U}) {
        ASSERT_EQ(nextEventType(), uint32_t{NXL_EVENT_STATE_UPDATED});
        uint32_t user = 0;
        nxlEngineEventGetUserId(event, &user);
        EXPECT_EQ(user, expectedUser);
    }
    EXPECT_TRUE(staysQuiet());
}

TEST_F(WireFault, MessageTricklingInByteByByteArrivesWhole)
{
    EnginePeer peer;
    connect(peer);
    std::string record(NXL_STATE_SIZE, '\0');
    for (std::size_t i = 0; i < record.size(); ++i) {
        record[i] = " \n\0\xff"[i % 4];
    }
    SenEngineEvent update;
    update.setState(3, record.data());
    for (char byte : EnginePeer::frame(update)) {
        peer.write(std::string(1, byte));
    }
    ASSERT_EQ(nextEventType(), uint32_t{NXL_EVENT_STATE_UPDATED});
    ASSERT_EQ(nxlEngineEventGetState(event, state), NXL_OK);
    EXPECT_EQ(std::memcmp(state, record.data(), NXL_STATE_SIZE), 0);
}

TEST_F(WireFault, EngineThatNeverSpeaksCanBeLeft)
{
    EnginePeer peer;
    connect(peer);
    EXPECT_TRUE(staysQuiet());
    EXPECT_EQ(nxlEngineDisconnect(), NXL_OK);
    EXPECT_TRUE(peer.clientClosed());
    EXPECT_EQ(nxlEngineGetNextEvent(event), NXL_NOT_CONNECTED);
}

TEST_F(WireFault, ConnectionsDroppedMidMessageLeaveNothingBehind)
{
    EnginePeer peer;
    const auto cycle = [&](int round) {
        connect(peer);
        // Alternate between a drop in the header and one in the body.
        peer.write(round % 2 == 0 ? "    "s : stateFrame(1, 'c').substr(0, 100));
        peer.close();
        EXPECT_EQ(nextEventType(), uint32_t{NXL_EVENT_ENGINE_ERROR});
        EXPECT_EQ(nxlEngineDisconnect(), NXL_OK);
    };
    cycle(0); // the first connection may set up process-wide resources
    const int descriptors = TestSupport::openDescriptors();
    const int threads = TestSupport::runningThreads();
    for (int round = 1; round <= 100 && !HasFailure(); ++round) {
        cycle(round);
    }
    EXPECT_EQ(TestSupport::openDescriptors(), descriptors);
    EXPECT_EQ(TestSupport::runningThreads(), threads);
}

} // namespace
