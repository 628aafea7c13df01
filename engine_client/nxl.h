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

#ifdef __cplusplus
}
#endif
