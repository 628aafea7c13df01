#include "SenEngineProxy.h"

#include <exception>
#include <utility>

#include "RemoteSenEventClient.h"
#include "SenLog.h"
#include "nxl.h"

namespace Velmor {

SenEngineProxy::SenEngineProxy(const SenProfileManager& profileManager)
    : SenEngine(profileManager), m_client(std::make_unique<RemoteSenEventClient>())
{
    m_client->setEventCallback([this](std::unique_ptr<SenEvent> event) { onEvent(std::move(event)); });
    m_client->setErrorCallback([this](const std::string& message) { onError(message); });
}

SenEngineProxy::~SenEngineProxy()
{
    // The receive thread must be gone before the queues and the hardware text it writes to; this
    // holds after a link failure too, when the thread may still be finishing its last handler.
    try {
        stopClient();
    } catch (const std::exception& exception) {
        logException(exception, "SenEngineProxy::~SenEngineProxy");
    } catch (...) {
        logMessage(LogError, "Unknown exception caught in %s", "SenEngineProxy::~SenEngineProxy");
    }
    m_client.reset();
}

bool SenEngineProxy::connect(const std::string& host, const std::string& portText)
{
    if (m_client->isConnected()) {
        m_client->disconnect();
    }
    const bool connected = m_client->connect(host, portText);
    if (connected) {
        m_linkDown = false;
        // The client announced this library's version; the engine may answer it.
        awaitReply();
    }
    return connected;
}

void SenEngineProxy::stopClient()
{
    if (m_client && m_client->isConnected()) {
        m_client->disconnect();
    }
}

void SenEngineProxy::disconnect()
{
    // Nothing will answer from now on; a request still waiting on another thread ends at once,
    // also when closing the socket fails.
    const auto wakeWaiters = [this] {
        m_linkDown = true;
        pushReply(std::make_unique<ReplyEvent>(-1, NXL_NO_REPLY));
    };
    try {
        stopClient();
    } catch (...) {
        wakeWaiters();
        throw;
    }
    wakeWaiters();
}

bool SenEngineProxy::isConnected() const
{
    return m_client->isConnected();
}

std::string SenEngineProxy::hardwareText() const
{
    SenMutexLocker locker(mutex());
    return m_hardwareText;
}

void SenEngineProxy::onEvent(std::unique_ptr<SenEvent> event)
{
    if (!event) {
        return;
    }
    if (event->category == SenReplyCategory) {
        auto* reply = dynamic_cast<ReplyEvent*>(event.get());
        if (reply == nullptr) {
            return;
        }
        // A reply nobody waits for would stay queued for good; it changes nothing.
        if (!admitReply()) {
            return;
        }
        if (reply->code == SenRequestHardware) {
            SenMutexLocker locker(mutex());
            m_hardwareText = reply->text;
        }
        pushReply(std::unique_ptr<ReplyEvent>(static_cast<ReplyEvent*>(event.release())));
    } else if (event->category == SenEngineCategory) {
        auto* engineEvent = dynamic_cast<SenEngineEvent*>(event.get());
        if (engineEvent == nullptr) {
            return;
        }
        pushEngineEvent(std::unique_ptr<SenEngineEvent>(static_cast<SenEngineEvent*>(event.release())));
    }
}

void SenEngineProxy::onError(const std::string& message)
{
    // The failure reply goes first so that a waiting request ends; linkDown is set before it, so a
    // request made after the wake-up is answered locally instead of being sent into a dead link.
    m_linkDown = true;
    pushReply(std::make_unique<ReplyEvent>(-1, NXL_NO_REPLY));
    pushEngineEvent(std::make_unique<SenEngineEvent>(SenEngineError, 0, message));
}

void SenEngineProxy::sendRequest(std::unique_ptr<RequestEvent> request)
{
    if (!m_client->isConnected() || m_linkDown) {
        pushReply(std::make_unique<ReplyEvent>(-1, NXL_NO_REPLY));
        return;
    }
    awaitReply();
    m_client->send(*request);
}

std::uint32_t SenEngineProxy::getHardwareText(std::uint32_t userId, std::string& text)
{
    std::unique_ptr<ReplyEvent> reply = requestReply(std::make_unique<RequestEvent>(SenRequestHardware, userId));
    if (reply->code == SenRequestHardware) {
        text = reply->text;
        SenMutexLocker locker(mutex());
        m_hardwareText = reply->text;
    } else {
        text = hardwareText();
    }
    return replyResult(*reply);
}

std::uint32_t SenEngineProxy::sendPairRequest(std::int32_t code, std::uint32_t userId, std::int32_t* first,
                                              std::int32_t* second)
{
    if (first == nullptr || second == nullptr) {
        return NXL_INVALID_ARGUMENT;
    }
    if (!m_client->isConnected() || m_linkDown) {
        return NXL_CONNECT_FAILED;
    }
    awaitReply();
    m_client->send(RequestEvent(code, userId));
    std::unique_ptr<ReplyEvent> reply = takeReply(replyTimeout());
    if (!reply) {
        stopAwaitingReply();
    }
    if (!reply || reply->code != code) {
        return NXL_CONNECT_FAILED;
    }
    *first = reply->first;
    *second = reply->second;
    return replyResult(*reply);
}

std::uint32_t SenEngineProxy::getUserPairA(std::uint32_t userId, std::int32_t* first, std::int32_t* second)
{
    return sendPairRequest(SenRequestPairA, userId, first, second);
}

std::uint32_t SenEngineProxy::getUserPairB(std::uint32_t userId, std::int32_t* first, std::int32_t* second)
{
    return sendPairRequest(SenRequestPairB, userId, first, second);
}

} // namespace Velmor
