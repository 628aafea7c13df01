// The parts of the client interface that work without an engine: event handles, argument checks and
// the empty engine slot.

#include "nxl.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "SenEvent.h"

namespace {

using Velmor::SenEngineEvent;

struct EventHandle {
    SenEngineEventHandle handle = nxlEngineEventCreate();
    ~EventHandle() { nxlEngineEventFree(handle); }
    SenEngineEvent& event() { return *static_cast<SenEngineEvent*>(handle); }
};

TEST(NxlEvent, NewEventIsEmptyAndNullEventsAreHarmless)
{
    EventHandle event;
    ASSERT_NE(event.handle, nullptr);
    EXPECT_EQ(nxlEngineEventGetType(event.handle), 0u);
    EXPECT_EQ(nxlEngineEventGetType(nullptr), 0u);
    nxlEngineEventFree(nullptr);
}

TEST(NxlEvent, UserIdOnlyForTypesThatCarryOne)
{
    struct Case {
        int32_t type;
        uint32_t userId;
        uint32_t result;
    };
    const Case cases[] = {
        {0x0001, 4, NXL_INVALID_ARGUMENT},
        {0x0000, 4, NXL_INVALID_ARGUMENT},
        {0x0800, 4, NXL_INVALID_ARGUMENT},
        {0x0002, 4, NXL_OK},
        {0x0010, 4, NXL_OK},
        {0x0040, 4, NXL_OK},
        {0x0400, 4, NXL_OK},
        {0x0080, 0xFFFF, NXL_PROFILE_WITHOUT_USER},
        {0x0080, 5, NXL_OK},
        {0x0020, 0xFFFF, NXL_OK},
    };
    for (const Case& c : cases) {
        EventHandle event;
        event.event().type = c.type;
        event.event().userId = c.userId;
        uint32_t out = 0xDEAD;
        EXPECT_EQ(nxlEngineEventGetUserId(event.handle, &out), c.result) << c.type;
        EXPECT_EQ(out, c.result == NXL_OK ? c.userId : 0xDEADu) << c.type;
        EXPECT_EQ(nxlEngineEventGetUserId(event.handle, nullptr), NXL_INVALID_ARGUMENT) << c.type;
    }
    uint32_t out = 0;
    EXPECT_EQ(nxlEngineEventGetUserId(nullptr, &out), NXL_INVALID_ARGUMENT);
}

TEST(NxlEvent, StateIsCopiedOnlyFromStateUpdates)
{
    std::string record(NXL_STATE_SIZE, '\0');
    for (std::size_t i = 0; i < record.size(); ++i) {
        record[i] = static_cast<char>(i * 7 + 1);
    }
    SenStateHandle state = nxlStateCreate();
    std::vector<unsigned char> before(NXL_STATE_SIZE);
    std::memcpy(before.data(), state, NXL_STATE_SIZE);

    EventHandle added;
    added.event().type = 0x0010;
    EXPECT_EQ(nxlEngineEventGetState(added.handle, state), NXL_INVALID_ARGUMENT);
    EXPECT_EQ(nxlEngineEventGetState(nullptr, state), NXL_INVALID_ARGUMENT);
    EventHandle shortState; // a state event whose payload is cut short must not be read past its end
    shortState.event().type = 0x0040;
    shortState.event().payload = "abc";
    EXPECT_EQ(nxlEngineEventGetState(shortState.handle, state), NXL_INVALID_ARGUMENT);
    EXPECT_EQ(std::memcmp(state, before.data(), NXL_STATE_SIZE), 0);

    EventHandle update;
    update.event().setState(2, record.data());
    EXPECT_EQ(nxlEngineEventGetState(update.handle, nullptr), NXL_INVALID_ARGUMENT);
    EXPECT_EQ(nxlEngineEventGetState(update.handle, state), NXL_OK);
    EXPECT_EQ(std::memcmp(state, record.data(), NXL_STATE_SIZE), 0);
    nxlStateFree(state);
}

TEST(NxlEvent, EngineFunctionsWithoutConnection)
{
    EventHandle event;
    uint32_t version = 0;
    EXPECT_EQ(nxlEngineGetNextEvent(event.handle), NXL_NOT_CONNECTED);
    EXPECT_EQ(nxlEngineGetNextEvent(nullptr), NXL_NOT_CONNECTED);
    EXPECT_EQ(nxlEngineGetHardwareVersion(1, &version), NXL_NOT_CONNECTED);
    EXPECT_EQ(nxlEngineGetHardwareVersion(1, nullptr), NXL_NOT_CONNECTED);
    EXPECT_EQ(nxlEngineRemoteConnect(nullptr, 1726), NXL_INVALID_ARGUMENT);
    EXPECT_EQ(nxlEngineDisconnect(), NXL_NOT_CONNECTED);
}

} // namespace
