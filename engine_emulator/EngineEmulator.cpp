#include "EngineEmulator.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdarg>
#include <ctime>
#include <optional>
#include <thread>

#include "SenEvent.h"
#include "SenWireCodec.h"

using boost::asio::ip::tcp;
using namespace Velmor;

namespace {

std::string printable(const std::string& text)
{
    std::string out;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '"' || c == '\\') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

// Reads one whole message; null with the reason when the peer left or sent something unreadable.
std::unique_ptr<SenEvent> readFrame(tcp::socket& socket, std::string& error)
{
    char header[SenWire::kHeaderSize];
    boost::system::error_code ec;
    boost::asio::read(socket, boost::asio::buffer(header), ec);
    if (ec) {
        error = ec == boost::asio::error::eof ? "the client closed the connection" : "read failed: " + ec.message();
        return nullptr;
    }
    const std::optional<std::size_t> length = SenWire::parseHeader(std::string_view(header, sizeof header));
    if (!length) {
        error = "bad message header '" + std::string(header, sizeof header) + "'";
        return nullptr;
    }
    std::string body(*length, '\0');
    boost::asio::read(socket, boost::asio::buffer(body), ec);
    if (ec) {
        error = "read failed: " + ec.message();
        return nullptr;
    }
    SenWire::DecodeResult decoded = SenWire::decodeBody(body);
    if (!decoded.ok()) {
        error = "bad message: " + decoded.error;
        return nullptr;
    }
    if (!decoded.event) {
        // A package of another kind carries nothing; an empty event keeps the reader going.
        return std::make_unique<SenEvent>(decoded.kind);
    }
    return std::move(decoded.event);
}

double monotonicSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

} // namespace

/// One client: the script player writes from the serving thread, a reader thread answers requests.
class EngineEmulator::Session
{
public:
    explicit Session(tcp::socket peer) : socket(std::move(peer)) {}

    /// False once the session is over; a failed write ends it.
    bool send(const SenEvent& event)
    {
        const std::optional<std::string> frame = SenWire::encodeFrame(event);
        if (!frame) {
            return false;
        }
        std::lock_guard lock(writeMutex);
        if (isOver()) {
            return false;
        }
        boost::system::error_code ec;
        boost::asio::write(socket, boost::asio::buffer(*frame), ec);
        if (ec) {
            end();
            return false;
        }
        return true;
    }

    void end()
    {
        {
            std::lock_guard lock(stateMutex);
            if (over) {
                return;
            }
            over = true;
            // Wakes the reader blocked in read(). Under the lock, so that close() on the serving thread,
            // which the notification below may let run at once, cannot close the socket in between.
            ::shutdown(socket.native_handle(), SHUT_RDWR);
        }
        changed.notify_all();
    }

    /// Closes the socket once the reader has been joined.
    void close()
    {
        std::lock_guard lock(stateMutex);
        boost::system::error_code ignored;
        socket.close(ignored);
    }

    bool isOver()
    {
        std::lock_guard lock(stateMutex);
        return over;
    }

    /// Sleeps until `deadline` unless the session ends first; false when it ended.
    bool sleepUntil(std::chrono::steady_clock::time_point deadline)
    {
        std::unique_lock lock(stateMutex);
        changed.wait_until(lock, deadline, [this] { return over; });
        return !over;
    }

    void waitUntilOver()
    {
        std::unique_lock lock(stateMutex);
        changed.wait(lock, [this] { return over; });
    }

    void requestSeen(int code)
    {
        {
            std::lock_guard lock(stateMutex);
            ++pendingRequests[code];
        }
        changed.notify_all();
    }

    /// Takes one request of `code` seen since the last wait; false on time-out or the end of the session.
    bool takeRequest(int code, std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(stateMutex);
        if (!changed.wait_for(lock, timeout, [&] { return over || pendingRequests[code] > 0; }) || over) {
            return false;
        }
        --pendingRequests[code];
        return true;
    }

    tcp::socket socket;

private:
    std::mutex writeMutex;
    std::mutex stateMutex;
    std::condition_variable changed;
    bool over = false;
    std::map<int, int> pendingRequests;
};

EngineEmulator::EngineEmulator(EmulatorOptions emulatorOptions, std::FILE* logFile, std::FILE* stateLogFile)
    : options(std::move(emulatorOptions)), log(logFile), stateLog(stateLogFile), acceptor(io)
{
}

EngineEmulator::~EngineEmulator() = default;

void EngineEmulator::logLine(const char* format, ...)
{
    std::lock_guard lock(logMutex);
    std::fputs("sen-emulator: ", log);
    va_list args;
    va_start(args, format);
    std::vfprintf(log, format, args);
    va_end(args);
    std::fputc('\n', log);
    std::fflush(log);
}

bool EngineEmulator::listen(std::string& error)
{
    boost::system::error_code ec;
    const tcp::endpoint endpoint(boost::asio::ip::make_address_v4("127.0.0.1"), options.port);
    acceptor.open(endpoint.protocol(), ec);
    if (!ec) {
        acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
    }
    if (!ec) {
        acceptor.bind(endpoint, ec);
    }
    if (!ec) {
        acceptor.listen(boost::asio::socket_base::max_listen_connections, ec);
    }
    if (ec) {
        error = "cannot listen on 127.0.0.1:" + std::to_string(options.port) + ": " + ec.message();
        acceptor.close(ec);
        return false;
    }
    boundPort = acceptor.local_endpoint().port();
    logLine("listening on 127.0.0.1:%u", static_cast<unsigned>(boundPort));
    return true;
}

std::uint16_t EngineEmulator::port() const
{
    return boundPort;
}

void EngineEmulator::stop()
{
    stopping = true;
    std::lock_guard lock(sessionMutex);
    if (current) {
        current->end();
    }
}

void EngineEmulator::serve(const std::vector<ScriptCommand>& script)
{
    while (!stopping) {
        // Accept only when a client is there, so that stop() is noticed without closing under a blocked call.
        pollfd listening{acceptor.native_handle(), POLLIN, 0};
        const int ready = ::poll(&listening, 1, 50);
        if (ready <= 0) {
            continue;
        }
        boost::system::error_code ec;
        tcp::socket peer(io);
        acceptor.accept(peer, ec);
        if (ec) {
            continue;
        }
        peer.set_option(tcp::no_delay(true), ec);
        runSession(std::move(peer), script);
        if (options.once) {
            break;
        }
    }
}

void EngineEmulator::runSession(tcp::socket peer, const std::vector<ScriptCommand>& script)
{
    auto session = std::make_shared<Session>(std::move(peer));
    {
        std::lock_guard lock(sessionMutex);
        current = session;
    }
    if (stopping) {
        session->end();
    }
    ++sessionCount;
    logLine("client connected");

    std::thread reader([this, session] {
        for (;;) {
            std::string error;
            std::unique_ptr<SenEvent> event = readFrame(session->socket, error);
            if (!event) {
                if (!session->isOver()) {
                    logLine("%s", error.c_str());
                }
                session->end();
                return;
            }
            if (event->category != SenRequestCategory) {
                logLine("ignored an object of category %d", event->category);
                continue;
            }
            const auto& request = static_cast<const RequestEvent&>(*event);
            logLine("request code=%d user=%u text=\"%s\"", request.code, request.userId,
                    printable(request.text).c_str());
            // The client sends its version announcement without waiting for an answer and pairs
            // replies with requests by order, so an answer here would be read as the reply to the
            // next request (the hardware question) and name the wrong headset.
            const bool announcement = request.code == 4 && request.text.rfind("version-", 0) == 0;
            if (!announcement && options.unansweredRequests.count(request.code) == 0) {
                ReplyEvent reply(request.code, 0);
                if (request.code == 7) {
                    reply.text = "dongleVersion:" + std::to_string(options.dongleVersion) +
                                 ",headsetVersion:" + std::to_string(options.headsetVersion);
                }
                session->send(reply);
            }
            session->requestSeen(request.code);
        }
    });

    std::optional<std::chrono::steady_clock::time_point> paceStart;
    std::uint64_t pacedStates = 0;
    for (const ScriptCommand& command : script) {
        if (session->isOver()) {
            break;
        }
        if (options.verbose) {
            logLine("line %d: %s", command.line, command.source.c_str());
        }
        using Kind = ScriptCommand::Kind;
        switch (command.kind) {
        case Kind::UserAdd:
            session->send(SenEngineEvent(SenUserAdded, command.userId));
            if (!options.verbose) {
                logLine("line %d: user %u added", command.line, command.userId);
            }
            break;
        case Kind::UserRemove:
            session->send(SenEngineEvent(SenUserRemoved, command.userId));
            if (!options.verbose) {
                logLine("line %d: user %u removed", command.line, command.userId);
            }
            break;
        case Kind::State: {
            SenEngineEvent event;
            event.setState(command.userId, command.state.data());
            if (options.paceHz > 0.0) {
                if (!paceStart) {
                    paceStart = std::chrono::steady_clock::now();
                }
                const auto offset = std::chrono::duration<double>(static_cast<double>(pacedStates++) / options.paceHz);
                session->sleepUntil(*paceStart +
                                    std::chrono::duration_cast<std::chrono::steady_clock::duration>(offset));
            }
            if (session->send(event)) {
                logState(command.userId);
            }
            break;
        }
        case Kind::Stream: {
            SenEngineEvent event;
            event.setState(command.userId, command.state.data());
            const auto start = std::chrono::steady_clock::now();
            const std::uint64_t count = command.streamCount();
            const auto period = std::chrono::duration<double>(1.0 / command.rateHz);
            for (std::uint64_t i = 0; i < count; ++i) {
                const auto due = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                             period * static_cast<double>(i));
                if (!command.noise.empty()) {
                    event.setState(command.userId, command.streamState(i).data());
                }
                if (!session->sleepUntil(due) || !session->send(event)) {
                    break;
                }
                logState(command.userId);
            }
            session->sleepUntil(start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                            std::chrono::duration<double>(command.seconds)));
            break;
        }
        case Kind::Wait:
            session->sleepUntil(std::chrono::steady_clock::now() + std::chrono::milliseconds(command.milliseconds));
            break;
        case Kind::WaitRequest:
            if (!session->takeRequest(command.requestCode, std::chrono::milliseconds(command.milliseconds)) &&
                !session->isOver()) {
                logLine("line %d: no request %d within %u ms, going on", command.line, command.requestCode,
                        command.milliseconds);
            }
            break;
        case Kind::Error:
            session->send(SenEngineEvent(SenEngineError, 0, command.text));
            if (!options.verbose) {
                logLine("line %d: engine error \"%s\"", command.line, printable(command.text).c_str());
            }
            break;
        case Kind::Close:
            if (!options.verbose) {
                logLine("line %d: closing the connection", command.line);
            }
            session->end();
            break;
        }
    }

    // The client decides when the session ends, unless the script closed it.
    session->waitUntilOver();
    reader.join();
    session->close();
    {
        std::lock_guard lock(sessionMutex);
        current.reset();
    }
    logLine("client left");
}

void EngineEmulator::logState(std::uint32_t userId)
{
    if (!options.logStates) {
        return;
    }
    std::lock_guard lock(logMutex);
    std::fprintf(stateLog, "%.6f state %u\n", monotonicSeconds(), userId);
    std::fflush(stateLog);
}
