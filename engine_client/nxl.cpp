// The flat client interface: integer codes and opaque handles over the one engine proxy of the process.

#include "nxl.h"

#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "HardwareVersion.h"
#include "SenEngineProxy.h"
#include "SenEvent.h"
#include "SenEventNotifier.h"
#include "SenLog.h"
#include "SenProfileManager.h"
#include "SenStateRecord.h"

using Velmor::SenEngineEvent;
using Velmor::SenEngineProxy;

namespace {

// The engine slot. Callers are expected to order connect and disconnect against other calls, but the
// slot is locked anyway and every call holds its own reference: a disconnect on one thread while a
// request waits on another must not free the proxy under the waiter.
std::mutex g_slotMutex;
std::shared_ptr<SenEngineProxy> g_engine;

std::shared_ptr<SenEngineProxy> currentEngine()
{
    std::lock_guard<std::mutex> lock(g_slotMutex);
    return g_engine;
}

std::shared_ptr<SenEngineProxy> exchangeEngine(std::shared_ptr<SenEngineProxy> engine)
{
    std::lock_guard<std::mutex> lock(g_slotMutex);
    std::swap(g_engine, engine);
    return engine;
}

// Clears the slot only if it still holds expected, so a newer connection is never dropped.
std::shared_ptr<SenEngineProxy> takeEngineIf(const std::shared_ptr<SenEngineProxy>& expected)
{
    std::lock_guard<std::mutex> lock(g_slotMutex);
    if (g_engine != expected) {
        return nullptr;
    }
    return std::exchange(g_engine, nullptr);
}

SenEngineEvent* asEvent(SenEngineEventHandle handle)
{
    return static_cast<SenEngineEvent*>(handle);
}

void reportUnknown(const char* functionName)
{
    Velmor::logMessage(Velmor::LogError, "Unknown exception caught in %s", functionName);
}

// No exception may cross the interface: it is logged and becomes NXL_INTERNAL_ERROR.
template <class Body> uint32_t guarded(const char* functionName, Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::exception& exception) {
        Velmor::logException(exception, functionName);
    } catch (...) {
        reportUnknown(functionName);
    }
    return NXL_INTERNAL_ERROR;
}

bool carriesUserId(int32_t type)
{
    return (type & Velmor::kSenUserTypeMask) != 0 || type == Velmor::SenEngineType0002;
}

} // namespace

extern "C" {

uint32_t nxlEngineRemoteConnect(const char* host, uint16_t port)
{
    return guarded("nxlEngineRemoteConnect", [&]() -> uint32_t {
        if (host == nullptr) {
            return NXL_INVALID_ARGUMENT;
        }
        std::shared_ptr<SenEngineProxy> engine;
        {
            // The manager only seeds the engine's own one; it is not needed afterwards.
            const Velmor::SenProfileManager profileManager;
            engine = std::make_shared<SenEngineProxy>(profileManager);
        }
        // A proxy still in the slot is replaced and, once no call uses it any more, destroyed with
        // its connection and thread rather than left running unreachable.
        exchangeEngine(engine);
        if (!engine->connect(host, std::to_string(port))) {
            takeEngineIf(engine);
            return NXL_CONNECT_FAILED;
        }
        return NXL_OK;
    });
}

uint32_t nxlEngineDisconnect(void)
{
    return guarded("nxlEngineDisconnect", []() -> uint32_t {
        // Out of the slot first: even if closing fails, the proxy is destroyed and the slot is empty.
        std::shared_ptr<SenEngineProxy> engine = exchangeEngine(nullptr);
        if (!engine) {
            return NXL_NOT_CONNECTED;
        }
        engine->disconnect();
        return NXL_OK;
    });
}

uint32_t nxlEngineGetNextEvent(SenEngineEventHandle event)
{
    return guarded("nxlEngineGetNextEvent", [&]() -> uint32_t {
        const std::shared_ptr<SenEngineProxy> engine = currentEngine();
        if (!engine) {
            return NXL_NOT_CONNECTED;
        }
        if (event == nullptr) {
            return NXL_INVALID_ARGUMENT;
        }
        return engine->getNextEvent(*asEvent(event)) ? NXL_OK : NXL_NO_EVENT;
    });
}

int nxlEngineEventNotifier(void)
{
    return Velmor::engineEventNotifier().descriptor();
}

void nxlEngineEventNotifierClear(void)
{
    Velmor::engineEventNotifier().clear();
}

SenEngineEventHandle nxlEngineEventCreate(void)
{
    try {
        return new SenEngineEvent();
    } catch (const std::exception& exception) {
        Velmor::logException(exception, "nxlEngineEventCreate");
    } catch (...) {
        reportUnknown("nxlEngineEventCreate");
    }
    return nullptr;
}

void nxlEngineEventFree(SenEngineEventHandle event)
{
    delete asEvent(event);
}

uint32_t nxlEngineEventGetType(SenEngineEventHandle event)
{
    return event == nullptr ? 0 : static_cast<uint32_t>(asEvent(event)->type);
}

uint32_t nxlEngineEventGetUserId(SenEngineEventHandle event, uint32_t* userId)
{
    return guarded("nxlEngineEventGetUserId", [&]() -> uint32_t {
        if (event == nullptr) {
            return NXL_INVALID_ARGUMENT;
        }
        const SenEngineEvent& engineEvent = *asEvent(event);
        if (userId == nullptr || !carriesUserId(engineEvent.type)) {
            return NXL_INVALID_ARGUMENT;
        }
        if (engineEvent.type == Velmor::SenProfileEvent && engineEvent.userId == 0xFFFF) {
            return NXL_PROFILE_WITHOUT_USER;
        }
        *userId = engineEvent.userId;
        return NXL_OK;
    });
}

uint32_t nxlEngineEventGetState(SenEngineEventHandle event, SenStateHandle state)
{
    return guarded("nxlEngineEventGetState", [&]() -> uint32_t {
        const int32_t type = event == nullptr ? 0 : asEvent(event)->type;
        if (state == nullptr || type != Velmor::SenStateUpdated) {
            return NXL_INVALID_ARGUMENT;
        }
        // A state event whose payload is shorter than a record is refused rather than read past.
        const unsigned char* record = asEvent(event)->stateRecord();
        if (record == nullptr) {
            return NXL_INVALID_ARGUMENT;
        }
        Velmor::StateLayout::copyState(state, record);
        return NXL_OK;
    });
}

uint32_t nxlEngineGetHardwareVersion(uint32_t userId, uint32_t* version)
{
    return guarded("nxlEngineGetHardwareVersion", [&]() -> uint32_t {
        const std::shared_ptr<SenEngineProxy> engine = currentEngine();
        if (!engine) {
            return NXL_NOT_CONNECTED;
        }
        if (version == nullptr) {
            return NXL_INVALID_ARGUMENT;
        }
        // The reply's own result is not looked at: without an answer the last known text stands.
        std::string text;
        engine->getHardwareText(userId, text);
        *version = Velmor::parseHardwareVersion(text);
        return NXL_OK;
    });
}

} // extern "C"
