#pragma once
// A detection engine played by a test over a real TCP connection on 127.0.0.1: it speaks the wire
// format through the library's own codec, or writes whatever bytes a test gives it, good frames or
// damaged ones.

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

namespace TestSupport {

class EnginePeer
{
public:
    EnginePeer() : m_acceptor(m_io, {boost::asio::ip::make_address("127.0.0.1"), 0}) {}

    std::uint16_t port() const { return m_acceptor.local_endpoint().port(); }

    /// Takes the next connection, waiting at most ten seconds for it; a read that then waits more than
    /// ten seconds fails too, so a client that never comes or never speaks cannot hang a test.
    void accept()
    {
        m_socket = std::make_unique<boost::asio::ip::tcp::socket>(m_io);
        m_acceptor.non_blocking(true);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            boost::system::error_code error;
            m_acceptor.accept(*m_socket, error);
            if (!error) {
                break;
            }
            if (error != boost::asio::error::would_block) {
                throw boost::system::system_error(error);
            }
            if (std::chrono::steady_clock::now() > deadline) {
                throw boost::system::system_error(boost::asio::error::timed_out, "no client connected");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        m_socket->non_blocking(false);
        timeval timeout{10, 0};
        ::setsockopt(m_socket->native_handle(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    }

    /// The next message from the client, decoded; throws on a closed connection, a timeout or an
    /// undecodable frame.
    std::unique_ptr<Velmor::SenEvent> read()
    {
        std::string header(Velmor::SenWire::kHeaderSize, '\0');
        boost::asio::read(*m_socket, boost::asio::buffer(header));
        const auto length = Velmor::SenWire::parseHeader(header);
        if (!length) {
            throw std::runtime_error("bad header from the client");
        }
        std::string body(*length, '\0');
        boost::asio::read(*m_socket, boost::asio::buffer(body));
        Velmor::SenWire::DecodeResult decoded = Velmor::SenWire::decodeBody(body);
        if (!decoded.ok()) {
            throw std::runtime_error(decoded.error);
        }
        return std::move(decoded.event);
    }

    /// The next request, skipping nothing: anything else from the client is an error.
    Velmor::RequestEvent readRequest()
    {
        std::unique_ptr<Velmor::SenEvent> event = read();
        auto* request = dynamic_cast<Velmor::RequestEvent*>(event.get());
        if (request == nullptr) {
            throw std::runtime_error("the client sent something other than a request");
        }
        return *request;
    }

    void send(const Velmor::SenEvent& event) { write(frame(event)); }

    void sendReply(std::int32_t code, std::string text, std::int32_t result = 0)
    {
        Velmor::ReplyEvent reply(code, result);
        reply.text = std::move(text);
        send(reply);
    }

    /// Writes the bytes as they are.
    void write(const std::string& bytes) { boost::asio::write(*m_socket, boost::asio::buffer(bytes)); }

    static std::string frame(const Velmor::SenEvent& event)
    {
        const auto encoded = Velmor::SenWire::encodeFrame(event);
        if (!encoded) {
            throw std::runtime_error("event cannot be encoded");
        }
        return *encoded;
    }
    static std::string frameOfBody(const std::string& body)
    {
        return *Velmor::SenWire::formatHeader(body.size()) + body;
    }

    /// True once the client has closed its end; what it sent before is skipped.
    bool clientClosed()
    {
        char byte = 0;
        boost::system::error_code error;
        while (!error) {
            m_socket->read_some(boost::asio::buffer(&byte, 1), error);
        }
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

} // namespace TestSupport
