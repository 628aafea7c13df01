#pragma once
// A detection engine played by a test: a real TCP listener on 127.0.0.1 that speaks the wire format
// through the library's own codec.

#include <sys/socket.h>
#include <sys/time.h>

#include <boost/asio.hpp>

#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "SenEvent.h"
#include "SenWireCodec.h"

namespace Velmor::Testing {

class EnginePeer
{
public:
    EnginePeer() : m_acceptor(m_io, {boost::asio::ip::make_address("127.0.0.1"), 0}) {}

    std::uint16_t port() const { return m_acceptor.local_endpoint().port(); }

    /// Takes the next connection; the client's connect has already completed in the backlog.
    void accept()
    {
        m_socket = std::make_unique<boost::asio::ip::tcp::socket>(m_io);
        m_acceptor.accept(*m_socket);
        // A test that waits for a message that never comes fails instead of hanging.
        timeval timeout{10, 0};
        ::setsockopt(m_socket->native_handle(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    }

    /// Reads one message; throws on a closed connection, a timeout or an undecodable frame.
    std::unique_ptr<SenEvent> read()
    {
        std::string header(SenWire::kHeaderSize, '\0');
        boost::asio::read(*m_socket, boost::asio::buffer(header));
        const auto length = SenWire::parseHeader(header);
        if (!length) {
            throw std::runtime_error("bad header from the client");
        }
        std::string body(*length, '\0');
        boost::asio::read(*m_socket, boost::asio::buffer(body));
        SenWire::DecodeResult decoded = SenWire::decodeBody(body);
        if (!decoded.ok()) {
            throw std::runtime_error(decoded.error);
        }
        return std::move(decoded.event);
    }

    /// The next request, skipping nothing: anything else from the client is an error.
    RequestEvent readRequest()
    {
        std::unique_ptr<SenEvent> event = read();
        auto* request = dynamic_cast<RequestEvent*>(event.get());
        if (request == nullptr) {
            throw std::runtime_error("the client sent something other than a request");
        }
        return *request;
    }

    void send(const SenEvent& event)
    {
        const auto frame = SenWire::encodeFrame(event);
        if (!frame) {
            throw std::runtime_error("event cannot be encoded");
        }
        boost::asio::write(*m_socket, boost::asio::buffer(*frame));
    }

    void sendReply(std::int32_t code, std::string text, std::int32_t result = 0)
    {
        ReplyEvent reply(code, result);
        reply.text = std::move(text);
        send(reply);
    }

    /// True when the client closed its end: a read ends with end-of-file.
    bool clientClosed()
    {
        char byte = 0;
        boost::system::error_code error;
        m_socket->read_some(boost::asio::buffer(&byte, 1), error);
        return error == boost::asio::error::eof || error == boost::asio::error::connection_reset;
    }

    void close()
    {
        if (m_socket) {
            boost::system::error_code ignored;
            m_socket->shutdown(boost::asio::ip::tcp::socket::shutdown_both, ignored);
            m_socket->close(ignored);
        }
    }

private:
    boost::asio::io_context m_io;
    boost::asio::ip::tcp::acceptor m_acceptor;
    std::unique_ptr<boost::asio::ip::tcp::socket> m_socket;
};

/// Polls until pred holds or about five seconds pass.
template <class Pred> bool eventually(Pred pred)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace Velmor::Testing
