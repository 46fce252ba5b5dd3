/* Entry points of the virtual camera SDK beyond the vendor's interface (quillon_api.h). They
 * let a test see what a virtual camera is doing, so that it waits for a state rather than for
 * a time. Programs never call them: the vendor's library does not have them. */
#ifndef QUILLON_SIM_API_H
#define QUILLON_SIM_API_H

#include "camera/sdk/quillon_api.h"

#ifdef __cplusplus
extern "C" {
#endif

/* How many Lx2_ReadNextFrame calls on the camera are waiting for their frame set. */
LX2_API SdkStatus LxSim_GetWaitingReaders(SdkHandle handle, uint32_t index, uint32_t *count);

#ifdef __cplusplus
}
#endif

#endif /* QUILLON_SIM_API_H */
