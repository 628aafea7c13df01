#pragma once
// The client side of one TCP connection to the detection engine, with its own receive thread.

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include <boost/asio/io_context.hpp>

#include "SenEvent.h"
#include "SenMutex.h"
#include "SenThread.h"
#include "SerializedObjectConnection.h"

namespace Velmor {

/// Serves one connection: connect, exchange messages, then disconnect or fail. Both callbacks run on
/// the receive thread and must do their own locking. A caller must not hold a lock that a callback
/// takes while it calls disconnect() or destroys the client, which wait for that thread.
class RemoteSenEventClient : public SenThread
{
public:
    /// Takes over each received request, reply or engine event.
    using EventCallback = std::function<void(std::unique_ptr<SenEvent>)>;
    /// Gets the system's wording of the error that ended the connection; called at most once.
    using ErrorCallback = std::function<void(const std::string&)>;

    static constexpr const char* kLibraryVersion = "3.5.0";

    RemoteSenEventClient();
    /// Closes the connection and waits for the receive thread.
    ~RemoteSenEventClient() override;

    /// Connects to host:portText (a numeric port), announces the library version and starts the
    /// receive thread. False when no endpoint accepted, or when this client was connected before:
    /// a client serves one connection. Throws boost::system::system_error "resolve" when the host
    /// does not resolve and "set_option" when TCP_NODELAY cannot be set.
    bool connect(const std::string& host, const std::string& portText);
    /// Stops the I/O, waits for the receive thread and closes the socket. Throws "close" when the
    /// socket cannot be closed. Must not be called from a callback.
    void disconnect();
    bool isConnected() const;
    /// Queues event for writing when connected and not failed; the caller keeps the event.
    void send(const SenEvent& event);

    /// Installed before connect.
    void setEventCallback(EventCallback callback) { m_eventCallback = std::move(callback); }
    void setErrorCallback(ErrorCallback callback) { m_errorCallback = std::move(callback); }

protected:
    void run() override;

private:
    void readNext();
    void fail(const boost::system::error_code& error);
    void stopAndJoin();

    mutable SenMutex m_mutex;
    boost::asio::io_context m_io;
    SerializedObjectConnection m_connection;
    bool m_connected = false;
    // Set by the receive thread on the first error, read by send() on the caller's thread.
    std::atomic<bool> m_failed{false};
    EventCallback m_eventCallback;
    ErrorCallback m_errorCallback;
    RequestEvent m_versionAnnouncement;
};

} // namespace Velmor
