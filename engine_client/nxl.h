#pragma once
// The flat, C-callable interface of the engine client library.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/// A 632-byte detection record of one user at one instant; plain bytes, little-endian.
typedef void* SenStateHandle;

enum { NXL_STATE_SIZE = 632 };

/// A new record: all bytes zero, Mentrix action 1 (neutral), the engine field at offset 356 set to -1.
SenStateHandle nxlStateCreate(void);
void nxlStateFree(SenStateHandle state);

int nxlStateUpperFaceAction(SenStateHandle state);
float nxlStateUpperFacePower(SenStateHandle state);
int nxlStateLowerFaceAction(SenStateHandle state);
float nxlStateLowerFacePower(SenStateHandle state);
int nxlStateBothEyesClosed(SenStateHandle state);
int nxlStateLeftEyeOnlyClosed(SenStateHandle state);
int nxlStateRightEyeOnlyClosed(SenStateHandle state);
int nxlStateGazeLeft(SenStateHandle state);
int nxlStateGazeRight(SenStateHandle state);
int nxlStateMentrixAction(SenStateHandle state);
float nxlStateMentrixPower(SenStateHandle state);

/// An engine event (type, user id, payload); made by nxlEngineEventCreate, freed by nxlEngineEventFree.
typedef void* SenEngineEventHandle;

enum {
    NXL_OK = 0x0000,
    NXL_INTERNAL_ERROR = 0x0001,
    NXL_PROFILE_WITHOUT_USER = 0x0102,
    NXL_INVALID_ARGUMENT = 0x0302,
    NXL_NOT_CONNECTED = 0x0500,
    NXL_NO_REPLY = 0x0501,
    NXL_CONNECT_FAILED = 0x0502,
    NXL_NO_EVENT = 0x0600
};

/// Engine event types, the values of nxlEngineEventGetType.
enum {
    NXL_EVENT_ENGINE_ERROR = 0x0001,
    NXL_EVENT_USER_ADDED = 0x0010,
    NXL_EVENT_USER_REMOVED = 0x0020,
    NXL_EVENT_STATE_UPDATED = 0x0040,
    NXL_EVENT_PROFILE = 0x0080
};

/// Connects to a detection engine; on any result but NXL_OK call nxlEngineDisconnect before retrying.
uint32_t nxlEngineRemoteConnect(const char* host, uint16_t port);
/// Closes the connection, waits for the receive thread and discards every queued event.
uint32_t nxlEngineDisconnect(void);
/// Takes the oldest engine event without waiting; NXL_NO_EVENT leaves the caller's event as it was.
uint32_t nxlEngineGetNextEvent(SenEngineEventHandle event);
/// A descriptor, valid for the life of the process, that becomes readable when an engine event has
/// arrived, so that a poller can sleep (poll, select, a socket notifier) until there is one: call
/// nxlEngineEventNotifierClear(), then take events until NXL_NO_EVENT. -1 when there is none; the
/// poller then has to ask on a timer. A readable descriptor may find the queue empty.
int nxlEngineEventNotifier(void);
void nxlEngineEventNotifierClear(void);

SenEngineEventHandle nxlEngineEventCreate(void);
void nxlEngineEventFree(SenEngineEventHandle event);
/// The event's type, 0 for a null event.
uint32_t nxlEngineEventGetType(SenEngineEventHandle event);
uint32_t nxlEngineEventGetUserId(SenEngineEventHandle event, uint32_t* userId);
/// Copies the 632-byte state of a state-updated event into the caller's record.
uint32_t nxlEngineEventGetState(SenEngineEventHandle event, SenStateHandle state);

/// Headset number * 65536 + dongle number. Waits at most 2 s for the engine; without a reply the text
/// of the last hardware reply is used (0 when there was none), still with NXL_OK.
uint32_t nxlEngineGetHardwareVersion(uint32_t userId, uint32_t* version);

#ifdef __cplusplus
}
#endif
