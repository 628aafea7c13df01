#pragma once
// A stand-in detection engine: serves one client at a time over TCP and plays a script to it.

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "EmulatorScript.h"

namespace Velmor {
class SenEvent;
}

struct EmulatorOptions {
    std::uint16_t port = 1726; ///< 0: any free port (see EngineEmulator::port)
    std::uint16_t dongleVersion = 5;
    std::uint16_t headsetVersion = 0x1000;
    std::set<int> unansweredRequests; ///< request codes that get no reply at all
    bool logStates = false;           ///< one line per sent state on the state log
    bool once = false;                ///< stop after the first client's session
    bool verbose = false;             ///< log every script line as it is played
    /// Above 0: the script's state lines go out this many a second on one fixed schedule from the first
    /// of them, whatever lies between them, so that a load test keeps its rate without drifting.
    double paceHz = 0.0;
};

/// Listens on 127.0.0.1. For each client in turn: logs every request it sends and answers it (request 7
/// with the hardware text, every other code with an empty reply of result 0), plays the script, and then
/// keeps answering until the client leaves. Logs go to `log`; with logStates, each sent state is written
/// to `stateLog` as "SECONDS state USER" with CLOCK_MONOTONIC seconds.
class EngineEmulator
{
public:
    EngineEmulator(EmulatorOptions options, std::FILE* log = stderr, std::FILE* stateLog = stdout);
    ~EngineEmulator();

    EngineEmulator(const EngineEmulator&) = delete;
    EngineEmulator& operator=(const EngineEmulator&) = delete;

    /// Binds the listening socket. False with a reason when the port cannot be had.
    bool listen(std::string& error);
    /// The port actually listened on.
    std::uint16_t port() const;

    /// Serves clients until stop(), or after the first session with `once`.
    void serve(const std::vector<ScriptCommand>& script);
    /// Ends serve() from any thread: no new client is taken and the current one is dropped.
    void stop();

    /// Number of clients served so far.
    int sessions() const { return sessionCount.load(); }

private:
    class Session;

    void logLine(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void runSession(boost::asio::ip::tcp::socket socket, const std::vector<ScriptCommand>& script);
    void logState(std::uint32_t userId);

    EmulatorOptions options;
    std::FILE* log;
    std::FILE* stateLog;
    std::mutex logMutex;

    boost::asio::io_context io;
    boost::asio::ip::tcp::acceptor acceptor;
    std::uint16_t boundPort = 0;

    std::mutex sessionMutex;
    std::shared_ptr<Session> current;
    std::atomic<bool> stopping{false};
    std::atomic<int> sessionCount{0};
};
