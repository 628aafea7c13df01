#pragma once
// The event objects that the client library and the detection engine exchange.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace Velmor {

/// The category of an event decides how a received object is handled.
enum SenEventCategory : std::int32_t {
    SenRequestCategory = 6,
    SenReplyCategory = 7,
    SenEngineCategory = 8,
    SenQuitThreadCategory = 9,
};

/// Engine event types; each is a single bit.
enum SenEngineEventType : std::int32_t {
    SenEngineError = 0x0001,
    SenEngineType0002 = 0x0002,
    SenUserAdded = 0x0010,
    SenUserRemoved = 0x0020,
    SenStateUpdated = 0x0040,
    SenProfileEvent = 0x0080,
    SenEngineType0100 = 0x0100,
    SenEngineType0200 = 0x0200,
    SenEngineType0400 = 0x0400,
};

/// Types besides 0x0002 that carry a user id.
inline constexpr std::int32_t kSenUserTypeMask = 0x07F0;
/// Byte sizes of the state payload of a state-updated event.
inline constexpr std::size_t kSenStatePayloadSize = 632;
inline constexpr std::size_t kSenExtendedStatePayloadSize = 640;

class SenEvent
{
public:
    explicit SenEvent(std::int32_t eventCategory = 0) : category(eventCategory) {}
    virtual ~SenEvent() = default;
    SenEvent(const SenEvent&) = default;
    SenEvent& operator=(const SenEvent&) = default;

    /// Bytes this event occupies, its texts included; what queue bounds count.
    virtual std::size_t footprint() const { return sizeof(SenEvent); }

    std::int32_t category;
};

struct OptimizationParam_s {
    bool enabled = false;
    std::uint32_t x = 0xFFFFFFFFU;
    std::uint32_t y = 0xFFFFFFFFU;
    std::uint32_t z = 0xFFFFFFFFU;

    bool operator==(const OptimizationParam_s&) const = default;
};

class RequestEvent : public SenEvent
{
public:
    explicit RequestEvent(std::int32_t requestCode = 0, std::uint32_t user = 0, std::string requestText = {})
        : SenEvent(SenRequestCategory), code(requestCode), text(std::move(requestText)), userId(user)
    {
    }

    std::size_t footprint() const override { return sizeof(RequestEvent) + text.capacity() + profile.capacity(); }

    std::int32_t code;
    std::string text;
    std::uint32_t userId;
    float value = 0.0F;
    /// The serialised profile that request 1 carries; travels only with code 1.
    std::string profile;
    OptimizationParam_s params;
};

class ReplyEvent : public SenEvent
{
public:
    /// code -1 marks a failure reply made locally; result is an NXL error code.
    explicit ReplyEvent(std::int32_t replyCode = 0, std::int32_t replyResult = 0)
        : SenEvent(SenReplyCategory), code(replyCode), result(replyResult)
    {
    }

    std::size_t footprint() const override { return sizeof(ReplyEvent) + text.capacity(); }

    std::int32_t code;
    std::string text;
    float value = 0.0F;
    std::uint32_t count = 0;
    std::int32_t first = 0;
    std::int32_t second = 0;
    OptimizationParam_s params;
    std::int32_t result;
};

class SenEngineEvent : public SenEvent
{
public:
    SenEngineEvent() : SenEvent(SenEngineCategory) {}
    explicit SenEngineEvent(std::int32_t eventType, std::uint32_t user = 0, std::string eventPayload = {})
        : SenEvent(SenEngineCategory), type(eventType), payload(std::move(eventPayload)), userId(user)
    {
    }

    std::size_t footprint() const override { return sizeof(SenEngineEvent) + payload.capacity(); }

    /// Copies this event into a caller's record: the caller's old payload goes, the type is taken,
    /// and then only what the type carries (user id, value, own copy of text or state).
    void copyInto(SenEngineEvent& target) const;

    /// The raw state record of a state-updated event, or null for any other event.
    const unsigned char* stateRecord() const;
    /// Makes this a state update of userId carrying a copy of the 632-byte record.
    void setState(std::uint32_t user, const void* record);

    /// Whether this type carries a text payload on the wire.
    static bool carriesText(std::int32_t eventType);

    std::int32_t type = 0;
    std::int32_t value1 = 0;
    std::int32_t value2 = 0;
    bool extendedState = false;
    /// Text of error, user-removed and profile events; the raw state bytes of a state update.
    std::string payload;
    std::uint32_t userId = 0;
};

class QuitSenThreadEvent : public SenEvent
{
public:
    QuitSenThreadEvent() : SenEvent(SenQuitThreadCategory) {}
};

} // namespace Velmor
