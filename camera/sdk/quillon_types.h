/* Records, codes and property ids of the Quillon camera SDK (libquillon_api.so): what any
 * part of the program may use. The functions are in quillon_api.h, which only the camera
 * controller and the virtual SDK include.
 * Records are byte-packed and keep the vendor's field order so that a vendor build
 * with the same ABI can replace our virtual SDK without rebuilding the program. */
#ifndef QUILLON_TYPES_H
#define QUILLON_TYPES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t SdkStatus;
typedef uint32_t SdkHandle;
typedef uint32_t PropertyId;
typedef uint32_t FrameReadyFlags;
typedef int32_t StreamDataMode;
typedef int32_t DepthRangeIndex; /* 0..8: depth mode = index / 3, near/mid/far = index % 3 */

/* Status codes. Positive values are successes with a remark. */
enum {
    LX2_OK = 0,
    LX2_UPGRADE_SAME_VERSION = 1, /* upgrade started, the image carries the running version */
    LX2_E_FAILED = -1,
    LX2_E_NOT_INITIALIZED = -2,
    LX2_E_INVALID_DEVICE = -3, /* unknown or closed handle, or the device has gone */
    LX2_E_INVALID_PARAM = -4,
    LX2_E_NOT_SUPPORTED = -5,
    LX2_E_NOT_STREAMING = -6,
    LX2_E_TIMEOUT = -7,  /* no new frame set within the wait */
    LX2_E_NO_FRAME = -8, /* the kind is not part of the current frame set */
    LX2_E_BAD_LENGTH = -9,
    LX2_E_UNKNOWN_PROPERTY = -10,
    LX2_E_BUSY = -11,
    LX2_E_NULL_POINTER = -12, /* also: an empty image path */
    LX2_E_NOT_FOUND = -13,
    LX2_E_DEVICE_GONE = -14,
    LX2_E_BUFFER_TOO_SMALL = -15,
    LX2_E_IO = -16,
    LX2_E_IMAGE_CHECK = -17,
    LX2_E_PATH_TOO_LONG = -18,
    LX2_E_NO_CALLBACK = -19
};

/* Camera model codes reported in SdkDeviceInfo::deviceType (0: no device); C++ code names
 * them through DeviceTypeCode in SdkTypes.h. */
enum {
    LX2_MODEL_NONE = 0,
    LX2_MODEL_ALTA = 1,
    LX2_MODEL_BRIO = 2,
    LX2_MODEL_CIMA = 3,
    LX2_MODEL_DUNE = 4,
    LX2_MODEL_ESKE = 5,
    LX2_MODEL_ESKE_ALIAS = 6
};

/* Frame kinds passed to Lx2_GetFrame (a 32-bit value). */
typedef enum FrameKind {
    DepthFrame = 0,       /* u16 millimetres */
    IRFrame = 1,          /* u16 amplitude */
    RGBFrame = 3,         /* 3 bytes R, G, B */
    MappedRGBFrame = 4,   /* colour on the depth grid, R, G, B */
    MappedDepthFrame = 5, /* depth on the colour grid, u16 */
    MappedIRFrame = 6,    /* IR on the colour grid, u16 */
    WDRDepthFrame = 9     /* wide-dynamic-range depth, u16 */
} FrameKind;

/* Bits of FrameReadyFlags filled by Lx2_ReadNextFrame. */
enum {
    depthReady = 0x01,
    irReady = 0x02,
    rgbReady = 0x04,
    mappedRGBReady = 0x08,
    mappedDepthReady = 0x10,
    mappedIRReady = 0x20,
    wdrDepthReady = 0x80
};

/* Data modes (StreamDataMode). Which kinds each mode delivers is documented in the README. */
enum {
    LX2_DATA_DEPTH_RGB_30 = 0, /* on cameras without colour sensor: depth only */
    LX2_DATA_IR_RGB_30 = 1,
    LX2_DATA_DEPTH_IR_30 = 2,
    LX2_DATA_NO_CORRECTION_30 = 4, /* depth and colour, depth without corrections */
    LX2_DATA_DEPTH_IR_15_RGB_30 = 10,
    LX2_DATA_WDR_DEPTH = 11,
    LX2_DATA_WORK_DEPTH_IR_15_RGB_30 = 100, /* work modes of cameras with a work-mode list */
    LX2_DATA_WORK_RGB_30 = 101,
    LX2_DATA_WORK_STANDBY = 102
};

/* Properties for Lx2_GetProperty / Lx2_SetProperty. */
#define LX2_PROP_SN 0x00000005u
#define LX2_PROP_FW_VER 0x00000006u
#define LX2_PROP_HM_VER 0x00000007u
#define LX2_PROP_DATA_MODE_LIST 0x00000009u
#define LX2_PROP_RANGE_LIST 0x0000000Au
#define LX2_PROP_UPGRADE_HANDOVER 0x0000000Bu
#define LX2_PROP_SN_NET 0x0000000Cu
#define LX2_PROP_MAC_NET 0x0000000Du
#define LX2_PROP_SW_VER_NET 0x0000000Eu
#define LX2_PROP_IP 0x0000000Fu
#define LX2_PROP_SUBNET_MASK 0x00000010u
#define LX2_PROP_DSP 0x00000011u
#define LX2_PROP_RANGE_OFFSET 0x0E000000u
#define LX2_PROP_TAL_DELAY 0x0E000004u
#define LX2_PROP_HTP 0xF0000001u
#define LX2_PROP_OFFSET 0xF0000002u
#define LX2_PROP_MAX_DEPTH 0xF0000003u
#define LX2_PROP_CALIBRATION 0xF0000004u
#define LX2_PROP_DATA_MODE 0xF0000005u
#define LX2_PROP_LD 0xF0000006u
#define LX2_PROP_ISA 0xF0000007u
#define LX2_PROP_TAL 0xF0000008u
#define LX2_PROP_PCBA 0xF000000Au
#define LX2_PROP_WORK_MODE 0xF000000Bu
#define LX2_PROP_IR_S2_ENABLE 0xF000000Cu
#define LX2_PROP_GMM_GAIN 0xF000000Du
#define LX2_PROP_GMM_PARAMS 0xF000000Eu
#define LX2_PROP_ACC_SENSITIVITY 0xF000000Fu
#define LX2_PROP_GYRO_SENSITIVITY 0xF0000010u
#define LX2_PROP_RGB_RESOLUTION 0xF0000013u
#define LX2_PROP_PULSE_COUNT 0xF0000014u
#define LX2_PROP_ACC_OFFSET 0xF0000015u
#define LX2_PROP_GYRO_OFFSET 0xF0000016u
#define LX2_PROP_ACC_OFFSET_TEMP 0xF0000017u
#define LX2_PROP_GYRO_OFFSET_TEMP 0xF0000018u
#define LX2_PROP_FLASH_TYPE 0xF0000019u

/* Selectors of the calibration block (first 4 bytes of the 76-byte record). */
enum {
    LX2_CALIB_DEPTH_INTRINSICS = 0, /* 9 doubles, row-major 3x3 */
    LX2_CALIB_DEPTH_DISTORTION = 1, /* 8 doubles: k1 k2 p1 p2 k3 k4 k5 k6 */
    LX2_CALIB_COLOR_INTRINSICS = 2, /* at the colour sensor's full resolution */
    LX2_CALIB_COLOR_DISTORTION = 3,
    LX2_CALIB_ROTATION = 4,    /* depth frame -> colour frame, 9 doubles */
    LX2_CALIB_TRANSLATION = 5, /* millimetres, 3 doubles */
    LX2_CALIB_ESSENTIAL = 6,   /* [t]x R */
    LX2_CALIB_FUNDAMENTAL = 7  /* Kc^-T E Kd^-1 */
};

/* Sensor selector of Lx2_GetCameraParameters. */
enum { LX2_SENSOR_DEPTH = 1, LX2_SENSOR_COLOR = 2 };

/* Colour pixel format of Lx2_SetColorPixelFormat: 3 bytes R, G, B per pixel. */
enum { LX2_PIXEL_RGB888 = 3 };

/* The work mode that hands the camera over to its USB loader (WorkMode byte 0). */
enum { LX2_WORK_MODE_LOADER = 16 };

#pragma pack(push, 1)

typedef struct SdkDeviceInfo
{
    uint16_t vendorId;
    uint16_t productId;
    int32_t deviceType;       /* LX2_MODEL_..., 0: no device */
    char uri[256];            /* NUL-terminated */
    char serialNumber[32];    /* NUL-terminated */
    char firmwareVersion[16]; /* NUL-terminated */
    uint8_t connection;       /* 0 USB, 1 Ethernet */
    uint8_t reserved[5];
} SdkDeviceInfo;

typedef struct SdkFrame
{
    FrameKind kind;
    uint32_t frameIndex;
    uint8_t bytesPerPixel;
    uint32_t dataSize;
    void *frameData; /* owned by the SDK; valid until the next Lx2_ReadNextFrame */
    uint64_t timestampUs;
    uint32_t reserved;
    uint16_t width;
    uint16_t height;
} SdkFrame;

typedef struct CameraIntrinsics
{
    double fx, fy, cx, cy;
    double k1, k2, p1, p2, k3, k4, k5, k6;
} CameraIntrinsics;

typedef struct WorldPoint
{
    float x, y, z; /* millimetres, z along the optical axis */
} WorldPoint;

/* One depth mode's three ranges (near, mid, far), millimetres. */
typedef struct MeasuringRange
{
    uint8_t depthMode;
    uint16_t depthMax[3];
    uint16_t effectiveMax[3];
    uint16_t effectiveMin[3];
} MeasuringRange;

/* Wide-dynamic-range output: up to three depth ranges with a frame count each. */
typedef struct WdrOutputMode
{
    uint32_t totalRange;
    uint32_t range1;
    uint8_t range1Count;
    uint32_t range2;
    uint8_t range2Count;
    uint32_t range3;
    uint8_t range3Count;
} WdrOutputMode;

/* Pulse counts of the WDR ranges; the first four bytes form one 32-bit word on the wire. */
typedef struct WdrPulseCount
{
    uint16_t range1Pulse;
    uint16_t range2Pulse;
    uint16_t range3Pulse;
    uint8_t rangeCount;
} WdrPulseCount;

/* A stream's frame mode; also the RGB resolution record (sensor 2, format 1, fps 30, 2). */
typedef struct SdkFrameMode
{
    uint8_t sensor; /* 0 depth, 1 IR, 2 colour */
    uint8_t format;
    uint16_t width;
    uint16_t height;
    uint8_t fps;
    uint8_t encoding;
} SdkFrameMode;

/* Write record of the PulseCount property. */
typedef struct PulseCountSet
{
    uint16_t pulseCount;
    uint8_t depthMode;
    uint8_t rangeIndex;
    uint8_t reserved;
} PulseCountSet;

/* Read record of the PulseCount property: the current range's count, then Range0..Range8. */
typedef struct PulseCountTable
{
    uint16_t current;
    uint16_t range[9];
} PulseCountTable;

typedef struct SdkWorkMode
{
    uint8_t mode; /* LX2_WORK_MODE_LOADER hands the camera to its loader */
    uint8_t param[4];
} SdkWorkMode;

/* TALDelay property: 8 bytes of timing, a delay and a switch. */
typedef struct TalDelay
{
    uint16_t riseDelay;
    uint16_t fallDelay;
    uint32_t period;
    uint16_t delay;
    uint8_t enable;
} TalDelay;

/* AccOffset / GyroOffset property; byte 1 selects the axis set on a read. */
typedef struct ImuOffset
{
    uint8_t sensor;
    uint8_t selector;
    int8_t temperature;
    float offset[3];
} ImuOffset;

/* HTP property: a read sends the depth mode in a 4-byte request and receives the 18 values in
 * its place; a write sends the depth mode, then the 18 values. */
typedef struct HtpRequest
{
    uint8_t depthMode;
    uint8_t reserved[3];
} HtpRequest;

typedef struct HtpRecord
{
    uint8_t depthMode;
    uint16_t values[18];
} HtpRecord;

/* OffSet property: depth mode and position (0 near, 1 mid, 2 far) select the 49 values. */
typedef struct OffsetRecord
{
    uint8_t depthMode;
    uint8_t position;
    int16_t values[49];
} OffsetRecord;

/* RangeOffset property: the depth mode selects the 9 values. */
typedef struct RangeOffsetRecord
{
    uint8_t depthMode;
    uint16_t values[9];
} RangeOffsetRecord;

/* Write record of the GmmGain property (a read returns the gain alone). */
typedef struct GmmGainRecord
{
    uint16_t gain;
    uint8_t reserved;
} GmmGainRecord;

/* Calibration block: selector, then the payload (9, 8 or 3 doubles). */
typedef struct CalibrationBlock
{
    uint32_t selector;
    uint8_t data[72];
} CalibrationBlock;

#pragma pack(pop)

/* Upgrade progress: stage 2..8 and a stage value (-1: the upgrade failed). */
typedef void (*UpgradeStatusCallback)(int32_t stage, int32_t value);

#ifdef __cplusplus
} /* extern "C" */

#include <cstddef>
static_assert(sizeof(FrameKind) == 4, "FrameKind is a 32-bit value");
static_assert(sizeof(SdkDeviceInfo) == 318, "SdkDeviceInfo is 318 packed bytes");
static_assert(offsetof(SdkDeviceInfo, deviceType) == 4, "SdkDeviceInfo layout");
static_assert(offsetof(SdkDeviceInfo, uri) == 8, "SdkDeviceInfo layout");
static_assert(offsetof(SdkDeviceInfo, serialNumber) == 264, "SdkDeviceInfo layout");
// The one address field is pointer-wide: 33 bytes on a 32-bit build, 37 on a 64-bit one.
static_assert(offsetof(SdkFrame, frameData) == 13, "SdkFrame layout");
static_assert(offsetof(SdkFrame, width) == 17 + sizeof(void *) + 8, "SdkFrame layout");
static_assert(offsetof(SdkFrame, height) == 19 + sizeof(void *) + 8, "SdkFrame layout");
static_assert(sizeof(SdkFrame) == 29 + sizeof(void *), "SdkFrame is 33 packed bytes plus the wider pointer");
static_assert(sizeof(void *) != 8 || sizeof(SdkFrame) == 37, "SdkFrame is 37 bytes on a 64-bit build");
static_assert(sizeof(CameraIntrinsics) == 96, "CameraIntrinsics is 12 doubles");
static_assert(sizeof(WorldPoint) == 12, "WorldPoint is three floats");
static_assert(sizeof(MeasuringRange) == 19, "MeasuringRange is 19 packed bytes");
static_assert(offsetof(MeasuringRange, effectiveMax) == 7, "MeasuringRange layout");
static_assert(offsetof(MeasuringRange, effectiveMin) == 13, "MeasuringRange layout");
static_assert(sizeof(WdrOutputMode) == 19, "WdrOutputMode is 19 packed bytes");
static_assert(offsetof(WdrOutputMode, range1Count) == 8, "WdrOutputMode layout");
static_assert(offsetof(WdrOutputMode, range2) == 9, "WdrOutputMode layout");
static_assert(offsetof(WdrOutputMode, range3Count) == 18, "WdrOutputMode layout");
static_assert(sizeof(WdrPulseCount) == 7, "WdrPulseCount is 7 packed bytes");
static_assert(sizeof(SdkFrameMode) == 8, "SdkFrameMode is 8 packed bytes");
static_assert(offsetof(SdkFrameMode, width) == 2 && offsetof(SdkFrameMode, fps) == 6, "SdkFrameMode layout");
static_assert(sizeof(PulseCountSet) == 5, "PulseCountSet is 5 packed bytes");
static_assert(sizeof(PulseCountTable) == 20, "PulseCountTable is 10 u16");
static_assert(sizeof(SdkWorkMode) == 5, "SdkWorkMode is 5 bytes");
static_assert(sizeof(TalDelay) == 11 && offsetof(TalDelay, delay) == 8, "TalDelay layout");
static_assert(sizeof(ImuOffset) == 15 && offsetof(ImuOffset, offset) == 3, "ImuOffset layout");
static_assert(sizeof(CalibrationBlock) == 76, "CalibrationBlock is 76 bytes");
static_assert(sizeof(HtpRequest) == 4, "HtpRequest is 4 bytes");
static_assert(sizeof(HtpRecord) == 37 && offsetof(HtpRecord, values) == 1, "HtpRecord layout");
static_assert(sizeof(OffsetRecord) == 100 && offsetof(OffsetRecord, values) == 2, "OffsetRecord layout");
static_assert(sizeof(RangeOffsetRecord) == 19, "RangeOffsetRecord is 19 packed bytes");
static_assert(sizeof(GmmGainRecord) == 3, "GmmGainRecord is 3 packed bytes");
#endif

#endif /* QUILLON_TYPES_H */
