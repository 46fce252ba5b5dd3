/* C interface of the Quillon camera SDK (libquillon_api.so).
 * Records are byte-packed and keep the vendor's field order so that a vendor build
 * with the same ABI can replace our virtual SDK without rebuilding the program. */
#ifndef QUILLON_API_H
#define QUILLON_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#pragma pack(push, 1)

/* One depth range set: near, mid and far positions of one depth mode, in millimetres. */
typedef struct MeasuringRange {
    uint8_t depthMode;
    uint16_t depthMax[3];
    uint16_t effectiveMax[3];
    uint16_t effectiveMin[3];
} MeasuringRange;

/* Wide-dynamic-range output: up to three depth ranges with a frame count each. */
typedef struct WdrOutputMode {
    uint32_t totalRange;
    uint32_t range1;
    uint8_t range1Count;
    uint32_t range2;
    uint8_t range2Count;
    uint32_t range3;
    uint8_t range3Count;
} WdrOutputMode;

#pragma pack(pop)

#ifdef __cplusplus
} /* extern "C" */

#include <cstddef>
static_assert(sizeof(MeasuringRange) == 19, "MeasuringRange is 19 packed bytes");
static_assert(offsetof(MeasuringRange, effectiveMax) == 7, "MeasuringRange layout");
static_assert(offsetof(MeasuringRange, effectiveMin) == 13, "MeasuringRange layout");
static_assert(sizeof(WdrOutputMode) == 19, "WdrOutputMode is 19 packed bytes");
static_assert(offsetof(WdrOutputMode, range1Count) == 8, "WdrOutputMode layout");
static_assert(offsetof(WdrOutputMode, range2) == 9, "WdrOutputMode layout");
static_assert(offsetof(WdrOutputMode, range3Count) == 18, "WdrOutputMode layout");
#endif

#endif /* QUILLON_API_H */
