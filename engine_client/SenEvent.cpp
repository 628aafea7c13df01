#include "SenEvent.h"

namespace Velmor {

void SenEngineEvent::copyInto(SenEngineEvent& target) const
{
    if (&target == this) {
        return;
    }
    target.payload.clear();
    target.type = type;
    switch (type) {
    case SenEngineError:
        target.payload = payload;
        target.userId = 0;
        break;
    case SenEngineType0002:
    case SenUserAdded:
    case SenEngineType0400:
        target.userId = userId;
        break;
    case SenUserRemoved:
    case SenProfileEvent:
        target.userId = userId;
        target.payload = payload;
        break;
    case SenStateUpdated:
        target.userId = userId;
        // A short payload is padded so that a reader of the copy never runs past its end.
        target.payload.assign(payload, 0, kSenStatePayloadSize);
        target.payload.resize(kSenStatePayloadSize, '\0');
        break;
    case SenEngineType0100:
        target.userId = userId;
        target.value1 = value1;
        break;
    case SenEngineType0200:
        target.userId = userId;
        target.value2 = value2;
        break;
    default:
        break;
    }
}

const unsigned char* SenEngineEvent::stateRecord() const
{
    if (type != SenStateUpdated || payload.size() < kSenStatePayloadSize) {
        return nullptr;
    }
    return reinterpret_cast<const unsigned char*>(payload.data());
}

void SenEngineEvent::setState(std::uint32_t user, const void* record)
{
    type = SenStateUpdated;
    userId = user;
    extendedState = false;
    payload.assign(static_cast<const char*>(record), kSenStatePayloadSize);
}

bool SenEngineEvent::carriesText(std::int32_t eventType)
{
    return eventType == SenEngineError || eventType == SenUserRemoved || eventType == SenProfileEvent;
}

} // namespace Velmor
