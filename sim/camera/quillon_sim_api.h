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

/* A network camera's firmware fetch over TFTP, started by writing the upgrade hand-over text. */
enum LxSimFetchState {
    LXSIM_FETCH_NONE = 0,      /* none since the SDK started */
    LXSIM_FETCH_ASKING = 1,    /* sending read requests, no server has answered yet */
    LXSIM_FETCH_RECEIVING = 2, /* blocks are coming */
    LXSIM_FETCH_INSTALLED = 3, /* a sound image: the camera rebooted into it */
    LXSIM_FETCH_FAILED = 4     /* it keeps its firmware; standard error says why */
};

typedef struct LxSimFetch
{
    int32_t state;     /* LxSimFetchState */
    uint32_t requests; /* read requests sent */
    uint32_t blocks;   /* DATA blocks taken */
    uint32_t dropped;  /* DATA ignored by the tftpDropEvery fault */
} LxSimFetch;

/* Also through a handle whose connection died with the camera's reboot. */
LX2_API SdkStatus LxSim_GetFirmwareFetch(SdkHandle handle, uint32_t index, LxSimFetch *fetch);

#ifdef __cplusplus
}
#endif

#endif /* QUILLON_SIM_API_H */
