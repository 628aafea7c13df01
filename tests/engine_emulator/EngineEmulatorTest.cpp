#include "EngineEmulator.h"

#include <gtest/gtest.h>

#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include <cstring>
#include <thread>

#include "SenEvent.h"
#include "SenWireCodec.h"

using boost::asio::ip::tcp;
using namespace Velmor;

namespace {

std::vector<ScriptCommand> script(std::string_view text)
{
    std::vector<ScriptCommand> commands;
    ScriptError error;
    EXPECT_TRUE(parseScript(text, commands, error)) << error.message;
    return commands;
}

/// An emulator serving on a free port from its own thread for the life of the fixture object.
class RunningEmulator
{
public:
    RunningEmulator(EmulatorOptions options, std::string_view text) : emulator(setPort(options), log, log)
    {
        commands = script(text);
        std::string error;
        EXPECT_TRUE(emulator.listen(error)) << error;
        server = std::thread([this] { emulator.serve(commands); });
    }

    ~RunningEmulator()
    {
        emulator.stop();
        server.join();
        std::fclose(log);
    }

    std::uint16_t port() const { return emulator.port(); }

private:
    std::FILE* log = std::tmpfile();

public:
    EngineEmulator emulator;

private:
    static EmulatorOptions setPort(EmulatorOptions options)
    {
        options.port = 0;
        return options;
    }

    std::vector<ScriptCommand> commands;
    std::thread server;
};

/// A bare client speaking the wire format through the client library's codec.
class WireClient
{
public:
    explicit WireClient(std::uint16_t port)
    {
        socket.connect(tcp::endpoint(boost::asio::ip::make_address_v4("127.0.0.1"), port));
    }

    void send(const SenEvent& event)
    {
        const std::optional<std::string> frame = SenWire::encodeFrame(event);
        ASSERT_TRUE(frame);
        boost::asio::write(socket, boost::asio::buffer(*frame));
    }

    void sendRaw(std::string_view bytes) { boost::asio::write(socket, boost::asio::buffer(bytes)); }

    /// The next object, or null when the emulator closed the connection.
    std::unique_ptr<SenEvent> receive()
    {
        char header[SenWire::kHeaderSize];
        boost::system::error_code ec;
        boost::asio::read(socket, boost::asio::buffer(header), ec);
        if (ec) {
            return nullptr;
        }
        const auto length = SenWire::parseHeader(std::string_view(header, sizeof header));
        EXPECT_TRUE(length);
        if (!length) {
            return nullptr;
        }
        std::string body(*length, '\0');
        boost::asio::read(socket, boost::asio::buffer(body), ec);
        EXPECT_FALSE(ec);
        SenWire::DecodeResult decoded = SenWire::decodeBody(body);
        EXPECT_TRUE(decoded.ok()) << decoded.error;
        return std::move(decoded.event);
    }

    std::vector<std::unique_ptr<SenEvent>> receiveUntilClosed()
    {
        std::vector<std::unique_ptr<SenEvent>> events;
        while (auto event = receive()) {
            events.push_back(std::move(event));
        }
        return events;
    }

private:
    boost::asio::io_context io;
    tcp::socket socket{io};
};

const SenEngineEvent& engineEvent(const std::unique_ptr<SenEvent>& event)
{
    EXPECT_EQ(event->category, SenEngineCategory);
    return dynamic_cast<const SenEngineEvent&>(*event);
}

const ReplyEvent& reply(const std::unique_ptr<SenEvent>& event)
{
    EXPECT_EQ(event->category, SenReplyCategory);
    return dynamic_cast<const ReplyEvent&>(*event);
}

} // namespace

TEST(EngineEmulator, AnswersRequestsAndPlaysTheScriptInOrder)
{
    RunningEmulator running({}, "user add 3\n"
                                "waitrequest 7 20000\n"
                                "state 3 mentrix=push mentrixPower=0.5\n"
                                "error the headset fell off\n"
                                "user remove 3\n"
                                "close\n");
    WireClient client(running.port());
    std::vector<std::unique_ptr<SenEvent>> events;
    events.push_back(client.receive());
    ASSERT_TRUE(events[0]);
    client.send(RequestEvent(4, 0, "version-3.5.0")); // the announcement: no answer
    client.send(RequestEvent(4, 0, "group-name"));    // a parameter question: answered
    client.send(RequestEvent(7, 3));
    for (auto& event : client.receiveUntilClosed()) {
        events.push_back(std::move(event));
    }
    ASSERT_EQ(events.size(), 6U);

    EXPECT_EQ(engineEvent(events[0]).type, SenUserAdded);
    EXPECT_EQ(engineEvent(events[0]).userId, 3U);
    EXPECT_EQ(reply(events[1]).code, 4);
    EXPECT_EQ(reply(events[1]).result, 0);
    EXPECT_EQ(reply(events[1]).text, "");
    // The parameter question's reply comes right before the hardware reply: nothing answered the announcement.
    EXPECT_EQ(reply(events[2]).code, 7);
    EXPECT_EQ(reply(events[2]).text, "dongleVersion:5,headsetVersion:4096");
    // The state waited for the hardware question, as the script asked.
    const SenEngineEvent& state = engineEvent(events[3]);
    EXPECT_EQ(state.type, SenStateUpdated);
    EXPECT_EQ(state.userId, 3U);
    ASSERT_NE(state.stateRecord(), nullptr);
    EXPECT_EQ(std::memcmp(state.stateRecord(), script("state 3 mentrix=push mentrixPower=0.5")[0].state.data(),
                          NXL_STATE_SIZE),
              0);
    EXPECT_EQ(engineEvent(events[4]).type, SenEngineError);
    EXPECT_EQ(engineEvent(events[4]).payload, "the headset fell off");
    EXPECT_EQ(engineEvent(events[5]).type, SenUserRemoved);
    EXPECT_EQ(engineEvent(events[5]).userId, 3U);
}

TEST(EngineEmulator, HardwareVersionsAreConfigurableAndChosenRequestsGoUnanswered)
{
    EmulatorOptions options;
    options.dongleVersion = 0x10;
    options.headsetVersion = 0x5023;
    options.unansweredRequests = {5};
    RunningEmulator running(options, "waitrequest 7 20000\nclose\n");
    WireClient client(running.port());
    client.send(RequestEvent(5, 1));
    client.send(RequestEvent(7, 1));
    const auto events = client.receiveUntilClosed();
    ASSERT_EQ(events.size(), 1U);
    EXPECT_EQ(reply(events[0]).code, 7);
    EXPECT_EQ(reply(events[0]).text, "dongleVersion:16,headsetVersion:20515");
}

TEST(EngineEmulator, ServesTheNextClientWhenOneLeavesEvenAfterGarbage)
{
    RunningEmulator running({}, "stream 2 1000 0.01 gaze=-1\n");
    {
        WireClient first(running.port());
        std::vector<std::unique_ptr<SenEvent>> states;
        for (int i = 0; i < 10; ++i) {
            states.push_back(first.receive());
            ASSERT_TRUE(states.back());
            EXPECT_EQ(engineEvent(states.back()).userId, 2U);
        }
        // Bytes that are no message end this session only.
        first.sendRaw("zzzzzzzz");
        EXPECT_EQ(first.receive(), nullptr);
    }
    WireClient second(running.port());
    auto event = second.receive();
    ASSERT_TRUE(event);
    EXPECT_EQ(engineEvent(event).type, SenStateUpdated);
    EXPECT_EQ(running.emulator.sessions(), 2);
}
