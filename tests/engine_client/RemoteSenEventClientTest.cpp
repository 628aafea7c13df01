#include "RemoteSenEventClient.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <boost/system/system_error.hpp>

#include "SenEventQueue.h"
#include "SenWireCodec.h"

using namespace Velmor;
using namespace std::string_literals;
using boost::asio::ip::tcp;

namespace {

// Bounded waits keep a broken build from hanging; they are not timing assertions.
constexpr int kWaitMs = 10000;

// The engine's side of the connection, driven step by step by the test with blocking calls.
class TestPeer
{
public:
    TestPeer() : m_acceptor(m_io, tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0)) {}

    std::string port() const { return std::to_string(m_acceptor.local_endpoint().port()); }

    void accept() { m_acceptor.accept(m_socket); }
    unsigned short clientPort() const { return m_socket.remote_endpoint().port(); }

    /// Reads one frame; returns its header and body.
    std::pair<std::string, std::string> readFrame()
    {
        std::string header(SenWire::kHeaderSize, '\0');
        boost::asio::read(m_socket, boost::asio::buffer(header));
        const auto length = SenWire::parseHeader(header);
        if (!length) {
            throw std::runtime_error("bad header from client: " + header);
        }
        std::string body(*length, '\0');
        boost::asio::read(m_socket, boost::asio::buffer(body));
        return {header, body};
    }

    void write(const std::string& bytes) { boost::asio::write(m_socket, boost::asio::buffer(bytes)); }
    void writeFrame(const SenEvent& event) { write(*SenWire::encodeFrame(event)); }
    void writeBody(const std::string& body) { write(*SenWire::formatHeader(body.size()) + body); }

    void close()
    {
        boost::system::error_code ignored;
        m_socket.shutdown(tcp::socket::shutdown_both, ignored);
        m_socket.close(ignored);
    }

private:
    boost::asio::io_context m_io;
    tcp::acceptor m_acceptor;
    tcp::socket m_socket{m_io};
};

// What the callbacks delivered, as the engine proxy would see it.
struct Received {
    SenEventQueue events;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> errors;

    void attach(RemoteSenEventClient& client)
    {
        client.setEventCallback([this](std::unique_ptr<SenEvent> event) { events.push(std::move(event)); });
        client.setErrorCallback([this](const std::string& message) {
            {
                std::lock_guard lock(mutex);
                errors.push_back(message);
            }
            changed.notify_all();
        });
    }

    std::vector<std::string> waitForError()
    {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::milliseconds(kWaitMs), [this] { return !errors.empty(); });
        return errors;
    }

    template <class Event> std::unique_ptr<Event> next()
    {
        std::unique_ptr<SenEvent> event = events.pop(kWaitMs);
        if (dynamic_cast<Event*>(event.get()) == nullptr) {
            return nullptr;
        }
        return std::unique_ptr<Event>(static_cast<Event*>(event.release()));
    }
};

// The TCP_NODELAY setting of this process's own socket bound to localPort, found among its open files.
std::optional<int> noDelayOfLocalSocket(unsigned short localPort)
{
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const int fd = std::stoi(entry.path().filename().string());
        sockaddr_in address{};
        socklen_t length = sizeof(address);
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 || address.sin_family != AF_INET ||
            ntohs(address.sin_port) != localPort) {
            continue;
        }
        int value = -1;
        socklen_t size = sizeof(value);
        if (getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &value, &size) == 0) {
            return value;
        }
    }
    return std::nullopt;
}

void waitUntilFinished(const SenThread& thread)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (thread.runState() != SenThread::Finished && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::string awkwardRecord()
{
    std::string record(kSenStatePayloadSize, '\0');
    for (std::size_t i = 0; i < record.size(); ++i) {
        record[i] = static_cast<char>(" \n\r\0x\t\xff"[i % 7]);
    }
    return record;
}

struct Connected {
    TestPeer peer;
    Received received;
    RemoteSenEventClient client;

    Connected()
    {
        received.attach(client);
        if (!client.connect("127.0.0.1", peer.port())) {
            throw std::runtime_error("connect failed");
        }
        peer.accept();
        peer.readFrame(); // the version announcement
    }
};

} // namespace

TEST(RemoteSenEventClient, ConnectAnnouncesTheLibraryVersion)
{
    TestPeer peer;
    RemoteSenEventClient client;
    ASSERT_TRUE(client.connect("127.0.0.1", peer.port()));
    EXPECT_TRUE(client.isConnected());
    peer.accept();
    EXPECT_EQ(noDelayOfLocalSocket(peer.clientPort()), std::optional<int>(1));
    const auto [header, body] = peer.readFrame();
    EXPECT_EQ(header, "      69");
    EXPECT_EQ(body, "22 serialization::archive 9 0 0 6 0 0 0 0 6 4 13 version-3.5.0 0 0 0 0 0 "
                    "4294967295 4294967295 4294967295");
    client.disconnect();
    EXPECT_FALSE(client.isConnected());
    EXPECT_EQ(client.runState(), SenThread::Finished);
}

TEST(RemoteSenEventClient, DeliversEventsInOrderWithStatesIntact)
{
    Connected c;
    const std::string record = awkwardRecord();
    SenEngineEvent state;
    state.setState(1, record.data());
    ReplyEvent reply(7, 0);
    reply.text = "dongleVersion:5,headsetVersion:1";

    c.peer.writeFrame(SenEngineEvent(SenUserAdded, 1));
    // A package of a kind that carries no event is skipped, and reading goes on.
    c.peer.writeBody("22 serialization::archive 9 0 0 9");
    c.peer.writeFrame(state);
    c.peer.writeFrame(reply);

    const auto added = c.received.next<SenEngineEvent>();
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->type, SenUserAdded);
    EXPECT_EQ(added->userId, 1U);
    const auto receivedState = c.received.next<SenEngineEvent>();
    ASSERT_NE(receivedState, nullptr);
    EXPECT_EQ(receivedState->type, SenStateUpdated);
    EXPECT_EQ(receivedState->payload, record);
    const auto receivedReply = c.received.next<ReplyEvent>();
    ASSERT_NE(receivedReply, nullptr);
    EXPECT_EQ(receivedReply->text, reply.text);
    EXPECT_TRUE(c.received.errors.empty());
}

TEST(RemoteSenEventClient, SendsWholeMessagesInOrder)
{
    Connected c;
    for (std::uint32_t user = 0; user < 50; ++user) {
        c.client.send(RequestEvent(7, user));
    }
    for (std::uint32_t user = 0; user < 50; ++user) {
        const auto decoded = SenWire::decodeBody(c.peer.readFrame().second);
        ASSERT_TRUE(decoded.ok()) << decoded.error;
        const auto& request = dynamic_cast<const RequestEvent&>(*decoded.event);
        EXPECT_EQ(request.code, 7);
        EXPECT_EQ(request.userId, user);
    }
}

TEST(RemoteSenEventClient, AnOlderPeerSetsTheVersionOfLaterMessages)
{
    const std::string record = awkwardRecord();
    const struct {
        const char* peerVersion;
        const char* laterVersion;
    } cases[] = {{"7", "7"}, {"10", "9"}};
    for (const auto& v : cases) {
        Connected c;
        c.peer.writeBody("22 serialization::archive "s + v.peerVersion + " 0 0 8 0 1 0 0 8 64 0 0 632 " + record +
                         " 3");
        const auto state = c.received.next<SenEngineEvent>();
        ASSERT_NE(state, nullptr) << v.peerVersion;
        EXPECT_EQ(state->payload, record);
        c.client.send(RequestEvent(7, 3));
        const std::string body = c.peer.readFrame().second;
        EXPECT_EQ(body.rfind("22 serialization::archive "s + v.laterVersion + " 0 0 6 ", 0), 0U) << body;
    }
}

TEST(RemoteSenEventClient, BadMessagesEndTheConnectionWithOneError)
{
    const std::string badFrames[] = {
        "-0000001",
        "0x00002a",
        "002a zzz",
        "       0",
        "ffffffff",
        "        ",
        *SenWire::formatHeader(20) + "22 serialization::ar",
        *SenWire::formatHeader(37) + "22 serialization::archive 9 0 0 8 0 1",
        *SenWire::formatHeader(65) + "22 serialization::archive 9 0 0 8 0 1 0 0 8 1 0 0 1000000000 ab 0",
        *SenWire::formatHeader(74) + "22 serialization::archive 9 0 0 8 0 1 0 0 8 1 0 0 4611686018427387904 ab 0",
    };
    for (const std::string& frame : badFrames) {
        Connected c;
        c.peer.write(frame);
        const auto errors = c.received.waitForError();
        ASSERT_EQ(errors.size(), 1U) << frame.substr(0, 20);
        EXPECT_EQ(errors[0], boost::system::error_code(boost::asio::error::invalid_argument).message());
        // The receive thread ends by itself; the client still counts as connected until disconnected.
        waitUntilFinished(c.client);
        EXPECT_EQ(c.client.runState(), SenThread::Finished);
        EXPECT_TRUE(c.client.isConnected());
        EXPECT_EQ(c.received.events.size(), 0U);
        c.client.send(RequestEvent(7, 1)); // dropped, nothing breaks
        c.client.disconnect();
        EXPECT_EQ(c.received.errors.size(), 1U);
    }
}

TEST(RemoteSenEventClient, PeerClosingIsReportedOnce)
{
    Connected c;
    c.peer.writeFrame(SenEngineEvent(SenUserAdded, 2));
    c.peer.close();
    ASSERT_NE(c.received.next<SenEngineEvent>(), nullptr);
    const auto errors = c.received.waitForError();
    ASSERT_EQ(errors.size(), 1U);
    EXPECT_EQ(errors[0], boost::system::error_code(boost::asio::error::eof).message());
    waitUntilFinished(c.client);
    EXPECT_EQ(c.received.errors.size(), 1U);
}

TEST(RemoteSenEventClient, ConnectFailuresLeaveNoThread)
{
    std::string port;
    {
        TestPeer closed;
        port = closed.port();
    }
    RemoteSenEventClient client;
    EXPECT_FALSE(client.connect("127.0.0.1", port));
    EXPECT_FALSE(client.isConnected());
    EXPECT_EQ(client.runState(), SenThread::Created);
    client.disconnect(); // nothing to do

    // The port must be a number: a service name does not resolve.
    try {
        client.connect("127.0.0.1", "http");
        ADD_FAILURE() << "a service name resolved";
    } catch (const boost::system::system_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("resolve", 0), 0U) << e.what();
    }
    EXPECT_EQ(client.runState(), SenThread::Created);
}

TEST(RemoteSenEventClient, OneClientServesOneConnection)
{
    Connected c;
    c.client.disconnect();
    EXPECT_FALSE(c.client.connect("127.0.0.1", c.peer.port()));
    EXPECT_FALSE(c.client.isConnected());
}

TEST(RemoteSenEventClient, DisconnectRacingThePeerIsSafe)
{
    // The peer drops the connection while the application disconnects or destroys the client, with
    // messages in flight both ways. Under the sanitizers this shows any handler outliving its client.
    for (int round = 0; round < 30; ++round) {
        TestPeer peer;
        Received received;
        auto client = std::make_unique<RemoteSenEventClient>();
        received.attach(*client);
        ASSERT_TRUE(client->connect("127.0.0.1", peer.port()));
        peer.accept();
        std::thread engine([&] {
            try {
                for (int i = 0; i < 20; ++i) {
                    peer.writeFrame(SenEngineEvent(SenUserAdded, static_cast<std::uint32_t>(i)));
                }
            } catch (const boost::system::system_error&) {
                // The client may be gone already.
            }
            peer.close();
        });
        for (int i = 0; i < 5; ++i) {
            client->send(RequestEvent(7, 1));
        }
        if (round % 2 == 0) {
            client->disconnect();
        }
        client.reset();
        engine.join();
        EXPECT_LE(received.errors.size(), 1U);
    }
}
