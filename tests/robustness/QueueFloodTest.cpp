// An engine that floods the client library while the application takes nothing: whatever it sends,
// resident memory stays within a few MiB of where it started, what was dropped is counted, and the
// newest events are the ones kept. The flood lasts SENKEY_FLOOD_SECONDS (2 unless set; BENCHMARKS.md
// gives the figures of a 60 s run).

#include "nxl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "EnginePeer.h"
#include "SenEvent.h"
#include "SenWireCodec.h"

namespace {

using TestSupport::EnginePeer;
using Velmor::ReplyEvent;
using Velmor::SenEngineEvent;

constexpr long kAllowedGrowthKb = 10 * 1024;

long residentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

double floodSeconds()
{
    const char* text = std::getenv("SENKEY_FLOOD_SECONDS");
    return text != nullptr ? std::atof(text) : 2.0;
}

std::string stateFrame(std::uint32_t user, char fill)
{
    const std::string record(NXL_STATE_SIZE, fill);
    SenEngineEvent update;
    update.setState(user, record.data());
    return EnginePeer::frame(update);
}

// A text that fills a frame of the largest size the wire takes.
std::string largestText()
{
    return std::string(Velmor::SenWire::kMaxBodySize - 256, 'x');
}

std::string repeated(const std::string& frame, std::size_t atLeastBytes)
{
    std::string batch;
    while (batch.size() < atLeastBytes) {
        batch += frame;
    }
    return batch;
}

std::string statesOfTwoUsers()
{
    return repeated(stateFrame(1, 'a') + stateFrame(2, 'a'), 256 * 1024);
}

std::string type0100Events()
{
    return repeated(EnginePeer::frame(SenEngineEvent(Velmor::SenEngineType0100, 1)), 256 * 1024);
}

std::string largeUserRemovedEvents()
{
    return EnginePeer::frame(SenEngineEvent(Velmor::SenUserRemoved, 1, largestText()));
}

std::string largeUnaskedReplies()
{
    ReplyEvent reply(7, 0); // an answer to the hardware question
    reply.text = largestText();
    return EnginePeer::frame(reply);
}

struct FloodResult {
    long startKb = 0;
    long peakKb = 0;
    std::uint64_t bytesSent = 0;
};

// Writes batch after batch for the flood's time while sampling this process's resident memory.
FloodResult flood(EnginePeer& peer, const std::string& batch)
{
    FloodResult result;
    result.startKb = residentKb();
    result.peakKb = result.startKb;
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> sent{0};
    std::thread writer([&] {
        while (!stop) {
            peer.write(batch);
            sent += batch.size();
        }
    });
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(floodSeconds());
    while (std::chrono::steady_clock::now() < end) {
        result.peakKb = std::max(result.peakKb, residentKb());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    stop = true;
    writer.join();
    result.peakKb = std::max(result.peakKb, residentKb());
    result.bytesSent = sent;
    return result;
}

class QueueFlood : public ::testing::Test
{
protected:
    void TearDown() override
    {
        nxlEngineDisconnect();
        nxlEngineEventFree(event);
    }

    void connect(EnginePeer& peer)
    {
        ASSERT_EQ(nxlEngineRemoteConnect("127.0.0.1", peer.port()), NXL_OK);
        peer.accept();
        peer.read(); // the version announcement
    }

    // Waits until the receive thread has taken everything sent (the dropped counts stop moving); what
    // the socket's buffers still held when the flood stopped can take seconds on a busy machine.
    void settle()
    {
        std::uint64_t events = 0;
        std::uint64_t replies = 0;
        std::uint64_t before = ~std::uint64_t{0};
        for (int round = 0; round < 600; ++round) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            nxlEngineGetDroppedCounts(&events, &replies);
            if (events + replies == before) {
                return;
            }
            before = events + replies;
        }
    }

    SenEngineEventHandle event = nxlEngineEventCreate();
};

TEST_F(QueueFlood, MemoryStaysBoundedWhateverTheEngineFloods)
{
    const struct {
        const char* what;
        std::string (*batch)();
        bool dropsEvents;
    } floods[] = {
        {"states of two users", statesOfTwoUsers, true},
        {"type 0x0100 events", type0100Events, true},
        {"user-removed events of 1 MiB", largeUserRemovedEvents, true},
        {"replies of 1 MiB nobody asked for", largeUnaskedReplies, false},
    };
    for (const auto& f : floods) {
        SCOPED_TRACE(f.what);
        EnginePeer peer;
        connect(peer);
        const FloodResult result = flood(peer, f.batch());
        // The newest event is kept: a last state of user 2 after the flood is there to be taken.
        peer.write(stateFrame(2, 'z'));
        settle();
        std::printf("%s: %.1f MiB sent in %.0f s, resident %ld -> %ld KiB (peak)\n", f.what,
                    static_cast<double>(result.bytesSent) / (1 << 20), floodSeconds(), result.startKb, result.peakKb);
        EXPECT_LE(result.peakKb - result.startKb, kAllowedGrowthKb);

        std::uint64_t droppedEvents = 0;
        std::uint64_t droppedReplies = 0;
        ASSERT_EQ(nxlEngineGetDroppedCounts(&droppedEvents, &droppedReplies), NXL_OK);
        EXPECT_EQ(droppedEvents > 0, f.dropsEvents);
        EXPECT_EQ(droppedReplies > 0, !f.dropsEvents);

        std::size_t taken = 0;
        uint32_t lastType = 0;
        uint32_t lastUser = 0;
        while (nxlEngineGetNextEvent(event) == NXL_OK) {
            ++taken;
            lastType = nxlEngineEventGetType(event);
            nxlEngineEventGetUserId(event, &lastUser);
        }
        EXPECT_LE(taken, 1024U);
        EXPECT_EQ(lastType, uint32_t{NXL_EVENT_STATE_UPDATED});
        EXPECT_EQ(lastUser, 2U);
        EXPECT_EQ(nxlEngineDisconnect(), NXL_OK);
    }
}

} // namespace
