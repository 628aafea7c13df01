#pragma once
// The detection engine reached over TCP: requests go out through a RemoteSenEventClient, and what the
// engine sends back lands in the queues of SenEngine.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "SenEngine.h"

namespace Velmor {

class RemoteSenEventClient;

class SenEngineProxy : public SenEngine
{
public:
    explicit SenEngineProxy(const SenProfileManager& profileManager);
    /// Disconnects and waits for the receive thread before any queue goes away.
    ~SenEngineProxy() override;

    /// Connects, announcing this library's version. False when no connection was made; throws when
    /// the host does not resolve or the socket cannot be set up.
    bool connect(const std::string& host, const std::string& portText);
    /// Closes the connection and waits for the receive thread. A request still waiting on another
    /// thread ends at once with a lost reply.
    void disconnect();

    bool isConnected() const;
    /// Set once the connection has failed; requests are then answered locally as lost.
    bool isLinkDown() const { return m_linkDown.load(); }
    /// The text of the last reply to request 7 seen on this connection.
    std::string hardwareText() const;

    /// Without a reply answering request 7 (a stale reply, a lost connection, or none within the
    /// time limit), text is the last hardware text seen.
    std::uint32_t getHardwareText(std::uint32_t userId, std::string& text) override;
    void sendRequest(std::unique_ptr<RequestEvent> request) override;
    std::uint32_t getUserPairA(std::uint32_t userId, std::int32_t* first, std::int32_t* second) override;
    std::uint32_t getUserPairB(std::uint32_t userId, std::int32_t* first, std::int32_t* second) override;

private:
    void onEvent(std::unique_ptr<SenEvent> event);
    void onError(const std::string& message);
    std::uint32_t sendPairRequest(std::int32_t code, std::uint32_t userId, std::int32_t* first, std::int32_t* second);
    void stopClient();

    std::atomic<bool> m_linkDown{false};
    std::string m_hardwareText;
    // Declared last: it calls back into the members above until its thread is joined.
    std::unique_ptr<RemoteSenEventClient> m_client;
};

} // namespace Velmor
