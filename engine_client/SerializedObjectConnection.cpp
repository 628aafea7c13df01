#include "SerializedObjectConnection.h"

#include <stdexcept>
#include <string_view>

#include <boost/asio/buffer.hpp>
#include <boost/asio/error.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include "SenLog.h"

namespace Velmor {

namespace {
constexpr const char* kReadDataName = "SerializedObjectConnection::handle_read_data";
}

SerializedObjectConnection::SerializedObjectConnection(boost::asio::io_context& io) : m_io(io), m_socket(io) {}

void SerializedObjectConnection::asyncWrite(const SenEvent& event, WriteHandler handler)
{
    const unsigned int peer = m_peerArchiveVersion.load();
    const unsigned int version = peer > 0 && peer < SenWire::kArchiveVersion ? peer : SenWire::kArchiveVersion;
    std::optional<std::string> body = SenWire::encodeBody(event, version);
    std::optional<std::string> header = body ? SenWire::formatHeader(body->size()) : std::nullopt;
    if (!header) {
        boost::asio::post(m_io, [handler = std::move(handler)] {
            if (handler) {
                handler(boost::asio::error::invalid_argument);
            }
        });
        return;
    }
    bool idle = false;
    {
        SenMutexLocker locker(m_mutex);
        // A peer that reads nothing while this many messages wait is not taking part any more.
        if (m_outQueue.size() >= kMaxQueuedWrites) {
            boost::asio::post(m_io, [handler = std::move(handler)] {
                if (handler) {
                    handler(boost::asio::error::no_buffer_space);
                }
            });
            return;
        }
        idle = m_outQueue.empty();
        m_outQueue.push_back({std::move(*header), std::move(*body), std::move(handler)});
    }
    if (idle) {
        // The socket is only touched on the I/O thread.
        boost::asio::post(m_io, [this] { writeFront(); });
    }
}

void SerializedObjectConnection::writeFront()
{
    SenMutexLocker locker(m_mutex);
    if (m_outQueue.empty()) {
        return;
    }
    // Deque elements stay put while others are added behind them, so the buffers remain valid.
    const OutMessage& message = m_outQueue.front();
    const std::array<boost::asio::const_buffer, 2> buffers{boost::asio::buffer(message.header),
                                                           boost::asio::buffer(message.body)};
    boost::asio::async_write(m_socket, buffers,
                             [this](const boost::system::error_code& error, std::size_t) { onWritten(error); });
}

void SerializedObjectConnection::onWritten(const boost::system::error_code& error)
{
    WriteHandler handler;
    bool more = false;
    {
        SenMutexLocker locker(m_mutex);
        if (!m_outQueue.empty()) {
            handler = std::move(m_outQueue.front().handler);
            m_outQueue.pop_front();
        }
        if (error) {
            m_outQueue.clear();
        }
        more = !m_outQueue.empty();
    }
    if (more) {
        writeFront();
    }
    if (handler) {
        handler(error);
    }
}

void SerializedObjectConnection::discardPendingWrites()
{
    SenMutexLocker locker(m_mutex);
    m_outQueue.clear();
}

void SerializedObjectConnection::asyncRead(ReadHandler handler)
{
    m_readHandler = std::move(handler);
    boost::asio::async_read(m_socket, boost::asio::buffer(m_inHeader),
                            [this](const boost::system::error_code& error, std::size_t) { onHeader(error); });
}

void SerializedObjectConnection::onHeader(const boost::system::error_code& error)
{
    if (error) {
        completeRead(error, nullptr);
        return;
    }
    const std::optional<std::size_t> length =
        SenWire::parseHeader(std::string_view(m_inHeader.data(), m_inHeader.size()));
    if (!length) {
        logMessage(LogError, "%s - bad message header", kReadDataName);
        completeRead(boost::asio::error::invalid_argument, nullptr);
        return;
    }
    // The length is bounded by parseHeader, so this allocation is too.
    m_inData.resize(*length);
    boost::asio::async_read(m_socket, boost::asio::buffer(m_inData),
                            [this](const boost::system::error_code& readError, std::size_t) { onBody(readError); });
}

void SerializedObjectConnection::onBody(const boost::system::error_code& error)
{
    if (error) {
        completeRead(error, nullptr);
        return;
    }
    SenWire::DecodeResult decoded = SenWire::decodeBody(std::string_view(m_inData.data(), m_inData.size()));
    if (!decoded.ok()) {
        logException(std::runtime_error(decoded.error), kReadDataName);
        completeRead(boost::asio::error::invalid_argument, nullptr);
        return;
    }
    if (decoded.peerArchiveVersion > 0 && decoded.peerArchiveVersion < SenWire::kArchiveVersion) {
        m_peerArchiveVersion.store(decoded.peerArchiveVersion);
    }
    completeRead({}, std::move(decoded.event));
}

void SerializedObjectConnection::completeRead(const boost::system::error_code& error, std::unique_ptr<SenEvent> event)
{
    // Moved out first: the handler usually starts the next read, which installs a new handler.
    ReadHandler handler = std::move(m_readHandler);
    m_readHandler = nullptr;
    if (handler) {
        handler(error, std::move(event));
    }
}

} // namespace Velmor
