#pragma once
// An engine end that writes whatever bytes a test gives it, good frames or damaged ones, over a real
// TCP connection on 127.0.0.1.

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

namespace Robustness {

class RawEnginePeer
{
public:
    RawEnginePeer() : acceptor_(io_, {boost::asio::ip::make_address("127.0.0.1"), 0}) {}

    std::uint16_t port() const { return acceptor_.local_endpoint().port(); }

    /// Takes the next connection, waiting at most ten seconds for it; a read that then waits more than
    /// five seconds fails too, so a client that never comes or never speaks cannot hang a test.
    void accept()
    {
        socket_ = std::make_unique<boost::asio::ip::tcp::socket>(io_);
        acceptor_.non_blocking(true);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            boost::system::error_code error;
            acceptor_.accept(*socket_, error);
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
        socket_->non_blocking(false);
        timeval timeout{5, 0};
        ::setsockopt(socket_->native_handle(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    }

    /// The next message from the client, decoded; throws when none comes or it does not decode.
    std::unique_ptr<Velmor::SenEvent> read()
    {
        std::string header(Velmor::SenWire::kHeaderSize, '\0');
        boost::asio::read(*socket_, boost::asio::buffer(header));
        const auto length = Velmor::SenWire::parseHeader(header);
        if (!length) {
            throw std::runtime_error("bad header from the client");
        }
        std::string body(*length, '\0');
        boost::asio::read(*socket_, boost::asio::buffer(body));
        auto decoded = Velmor::SenWire::decodeBody(body);
        if (!decoded.ok()) {
            throw std::runtime_error(decoded.error);
        }
        return std::move(decoded.event);
    }

    void write(const std::string& bytes) { boost::asio::write(*socket_, boost::asio::buffer(bytes)); }

    static std::string frame(const Velmor::SenEvent& event) { return *Velmor::SenWire::encodeFrame(event); }
    static std::string frameOfBody(const std::string& body)
    {
        return *Velmor::SenWire::formatHeader(body.size()) + body;
    }

    /// True once the client has closed its end.
    bool clientClosed()
    {
        char byte = 0;
        boost::system::error_code error;
        while (!error) {
            socket_->read_some(boost::asio::buffer(&byte, 1), error);
        }
        return error == boost::asio::error::eof || error == boost::asio::error::connection_reset;
    }

    void close()
    {
        if (socket_) {
            boost::system::error_code ignored;
            socket_->shutdown(boost::asio::ip::tcp::socket::shutdown_both, ignored);
            socket_->close(ignored);
        }
    }

private:
    boost::asio::io_context io_;
    boost::asio::ip::tcp::acceptor acceptor_;
    std::unique_ptr<boost::asio::ip::tcp::socket> socket_;
};

} // namespace Robustness
