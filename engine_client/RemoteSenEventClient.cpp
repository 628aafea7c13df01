#include "RemoteSenEventClient.h"

#include <exception>
#include <string>

#include <boost/asio/error.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/system/system_error.hpp>

#include "SenLog.h"

namespace Velmor {

using boost::asio::ip::tcp;

RemoteSenEventClient::RemoteSenEventClient()
    : SenThread("RemoteSenEventClient thread", false, false), m_connection(m_io),
      m_versionAnnouncement(4, 0, std::string("version-") + kLibraryVersion)
{
}

RemoteSenEventClient::~RemoteSenEventClient()
{
    // The thread's handlers use the members below, so it must end before they go.
    stopAndJoin();
    boost::system::error_code ignored;
    m_connection.socket().close(ignored);
}

bool RemoteSenEventClient::connect(const std::string& host, const std::string& portText)
{
    SenMutexLocker locker(m_mutex);
    if (m_connected) {
        disconnect();
    }
    if (runState() != Created) {
        return false;
    }

    tcp::resolver resolver(m_io);
    boost::system::error_code error;
    const tcp::resolver::results_type endpoints =
        resolver.resolve(host, portText, tcp::resolver::numeric_service, error);
    if (error) {
        throw boost::system::system_error(error, "resolve");
    }

    tcp::socket& socket = m_connection.socket();
    for (const auto& entry : endpoints) {
        if (!socket.is_open()) {
            socket.open(entry.endpoint().protocol(), error);
            if (error) {
                continue;
            }
        }
        socket.connect(entry.endpoint(), error);
        if (!error) {
            m_connected = true;
            break;
        }
        // A socket whose connect failed is not reused: the next endpoint may be of another family.
        boost::system::error_code ignored;
        socket.close(ignored);
    }
    if (!m_connected) {
        return false;
    }

    socket.set_option(tcp::no_delay(true), error);
    if (error) {
        throw boost::system::system_error(error, "set_option");
    }
    send(m_versionAnnouncement);
    start();
    return true;
}

void RemoteSenEventClient::disconnect()
{
    SenMutexLocker locker(m_mutex);
    if (!m_connected) {
        return;
    }
    stopAndJoin();
    m_connected = false;
    boost::system::error_code error;
    m_connection.socket().close(error);
    if (error) {
        throw boost::system::system_error(error, "close");
    }
}

bool RemoteSenEventClient::isConnected() const
{
    SenMutexLocker locker(m_mutex);
    return m_connected;
}

void RemoteSenEventClient::send(const SenEvent& event)
{
    SenMutexLocker locker(m_mutex);
    if (!m_connected || m_failed.load()) {
        return;
    }
    m_connection.asyncWrite(event, [this](const boost::system::error_code& error) {
        if (error) {
            fail(error);
        }
    });
}

void RemoteSenEventClient::run()
{
    readNext();
    m_io.run();
}

void RemoteSenEventClient::readNext()
{
    m_connection.asyncRead([this](const boost::system::error_code& error, std::unique_ptr<SenEvent> event) {
        if (error) {
            fail(error);
            return;
        }
        if (event && m_eventCallback) {
            try {
                m_eventCallback(std::move(event));
            } catch (const std::exception& e) {
                logException(e, "RemoteSenEventClient::eventCallback");
                fail(boost::asio::error::no_memory);
                return;
            } catch (...) {
                logMessage(LogError, "Unknown exception caught in %s", "RemoteSenEventClient::eventCallback");
                fail(boost::asio::error::no_memory);
                return;
            }
        }
        readNext();
    });
}

void RemoteSenEventClient::fail(const boost::system::error_code& error)
{
    // Aborted operations are the echo of our own close and are not news to anyone.
    if (m_failed.exchange(true)) {
        return;
    }
    // Ends every pending operation, so the I/O runs out of work and the thread ends.
    boost::system::error_code ignored;
    m_connection.socket().close(ignored);
    m_connection.discardPendingWrites();
    if (m_errorCallback) {
        m_errorCallback(error.message());
    }
}

void RemoteSenEventClient::stopAndJoin()
{
    m_io.stop();
    join();
}

} // namespace Velmor
