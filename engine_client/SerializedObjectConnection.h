#pragma once
// Framed text-archive messages over one TCP socket. Every socket operation and every handler runs on
// the thread that runs the I/O context; only asyncWrite may be called from another thread.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/system/error_code.hpp>

#include "SenEvent.h"
#include "SenMutex.h"
#include "SenWireCodec.h"

namespace Velmor {

class SerializedObjectConnection
{
public:
    using WriteHandler = std::function<void(const boost::system::error_code&)>;
    /// Called once per message: with an error, or with the received event (null for a package
    /// of a kind that carries none, which the reader skips).
    using ReadHandler = std::function<void(const boost::system::error_code&, std::unique_ptr<SenEvent>)>;

    explicit SerializedObjectConnection(boost::asio::io_context& io);
    virtual ~SerializedObjectConnection() = default;
    SerializedObjectConnection(const SerializedObjectConnection&) = delete;
    SerializedObjectConnection& operator=(const SerializedObjectConnection&) = delete;

    boost::asio::ip::tcp::socket& socket() { return m_socket; }

    /// Messages that may wait to be written; one more fails with no_buffer_space.
    static constexpr std::size_t kMaxQueuedWrites = 256;

    /// Serialises event at once (the caller keeps it) and queues it behind earlier messages; the
    /// handler runs on the I/O thread once the message is written or has failed.
    void asyncWrite(const SenEvent& event, WriteHandler handler);
    /// Reads one message. Call again from the handler to read the next.
    void asyncRead(ReadHandler handler);
    /// Drops every message not yet written; their handlers are not called.
    void discardPendingWrites();

    /// The archive version of a peer older than this library, 0 until one was seen.
    unsigned int peerArchiveVersion() const { return m_peerArchiveVersion.load(); }

private:
    struct OutMessage {
        std::string header;
        std::string body;
        WriteHandler handler;
    };

    void writeFront();
    void onWritten(const boost::system::error_code& error);
    void onHeader(const boost::system::error_code& error);
    void onBody(const boost::system::error_code& error);
    void completeRead(const boost::system::error_code& error, std::unique_ptr<SenEvent> event);

    boost::asio::io_context& m_io;
    boost::asio::ip::tcp::socket m_socket;
    std::atomic<unsigned int> m_peerArchiveVersion{0};
    std::array<char, SenWire::kHeaderSize> m_inHeader{};
    std::vector<char> m_inData;
    ReadHandler m_readHandler;
    std::deque<OutMessage> m_outQueue;
    SenMutex m_mutex;
};

} // namespace Velmor
