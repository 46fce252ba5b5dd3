#pragma once

// The camera properties that travel through Lx2_GetProperty / Lx2_SetProperty, each written once:
// its id, the record a get fills and a set sends, and the length each direction passes. The
// controller's wrappers and the virtual camera both follow these rows, so a property is added by
// adding a row (and listing it in `rows`).

#include "camera/sdk/quillon_types.h"

#include <cstdint>
#include <type_traits>

namespace PropertyTable {

// Lengths a row gives in place of a byte count.
inline constexpr int32_t byCaller = -1; // a text: the caller passes buffer and length
inline constexpr int32_t refused = -2;  // the camera does not offer this direction

struct Row
{
    PropertyId id;
    const char *name;  // as the control panel names the parameter
    int32_t getLength; // what a get passes (in/out)
    int32_t setLength; // what a set passes
    int32_t getRecord; // bytes a get may write into the caller's record
    int32_t setRecord; // bytes a set sends at most
};

// A row that knows its records' types, so that a wrapper can only hand over the right one.
template <typename GetRecord, typename SetRecord = GetRecord> struct Property : Row
{
    using Get = GetRecord;
    using Set = SetRecord;
};

template <typename T> constexpr int32_t sizeOf()
{
    if constexpr (std::is_void_v<T>)
        return 0;
    else
        return int32_t(sizeof(T));
}

// A record read and written; the lengths are the records' sizes unless the row says otherwise.
template <typename Get, typename Set = Get>
constexpr Property<Get, Set> record(PropertyId id, const char *name, int32_t getLength = sizeOf<Get>(),
                                    int32_t setLength = sizeOf<Set>())
{
    return {{id, name, getLength, setLength, sizeOf<Get>(), sizeOf<Set>()}};
}

template <typename Set> constexpr Property<void, Set> writeOnly(PropertyId id, const char *name)
{
    return {{id, name, refused, sizeOf<Set>(), 0, sizeOf<Set>()}};
}

constexpr Property<char, char> text(PropertyId id, const char *name)
{
    return {{id, name, byCaller, byCaller, 0, 0}};
}

constexpr Property<char, void> readOnlyText(PropertyId id, const char *name)
{
    return {{id, name, byCaller, refused, 0, 0}};
}

// ---- the table ----
inline constexpr auto SN = text(LX2_PROP_SN, "SN");
inline constexpr auto FWVer = readOnlyText(LX2_PROP_FW_VER, "FWVer");
inline constexpr auto HMVer = readOnlyText(LX2_PROP_HM_VER, "HMVer");
inline constexpr auto DataModeList = record<uint8_t[34]>(LX2_PROP_DATA_MODE_LIST, "DataModeList");
inline constexpr auto RangeList = record<uint8_t[11]>(LX2_PROP_RANGE_LIST, "RangeList");
inline constexpr auto UpgradeHandover = text(LX2_PROP_UPGRADE_HANDOVER, "upgrade hand-over");
inline constexpr auto SNNet = text(LX2_PROP_SN_NET, "SN-net");
inline constexpr auto MacAddressNet = text(LX2_PROP_MAC_NET, "MAC Address-net");
inline constexpr auto SoftwareVersionNet = text(LX2_PROP_SW_VER_NET, "Software Version-net");
inline constexpr auto IP = text(LX2_PROP_IP, "IP");
inline constexpr auto SubNetMask = text(LX2_PROP_SUBNET_MASK, "SubNetMask");
inline constexpr auto DSP = record<uint8_t[6]>(LX2_PROP_DSP, "DSP");
inline constexpr auto RangeOffset = record<RangeOffsetRecord>(LX2_PROP_RANGE_OFFSET, "RangeOffset");
inline constexpr auto TALDelay = record<TalDelay>(LX2_PROP_TAL_DELAY, "TALDelay");
// A read passes the 4-byte request and gets the 18 values in its place.
inline constexpr auto HTP = record<decltype(HtpRecord::values), HtpRecord>(LX2_PROP_HTP, "HTP", sizeof(HtpRequest));
inline constexpr auto OffSet = record<OffsetRecord>(LX2_PROP_OFFSET, "OffSet");
inline constexpr auto MaxDepth = record<MeasuringRange>(LX2_PROP_MAX_DEPTH, "MaxDepth");
inline constexpr auto Calibration = record<CalibrationBlock>(LX2_PROP_CALIBRATION, "calibration block");
inline constexpr auto DataMode = record<uint8_t>(LX2_PROP_DATA_MODE, "data mode");
// LD and TAL are read with length 0 and answer the whole record.
inline constexpr auto LD = record<uint8_t[2]>(LX2_PROP_LD, "LD", 0);
inline constexpr auto ISA = record<uint8_t>(LX2_PROP_ISA, "ISA");
inline constexpr auto TAL = record<uint8_t[2]>(LX2_PROP_TAL, "TAL", 0);
// The "TAL" switch writes the first byte alone.
inline constexpr auto TALSwitch = writeOnly<uint8_t>(TAL.id, "TAL switch");
inline constexpr auto PCBA = text(LX2_PROP_PCBA, "PCBA");
inline constexpr auto WorkMode = record<SdkWorkMode>(LX2_PROP_WORK_MODE, "WorkMode");
// Read as four bytes (the switch first), written as two.
inline constexpr auto IR_S2_Enable = record<uint8_t[4], uint8_t[2]>(LX2_PROP_IR_S2_ENABLE, "IR_S2_Enable");
inline constexpr auto GmmGain = record<uint16_t, GmmGainRecord>(LX2_PROP_GMM_GAIN, "GmmGain");
inline constexpr auto GmmParams = record<uint16_t[12]>(LX2_PROP_GMM_PARAMS, "GmmParams");
inline constexpr auto AccSensitivity = record<float[9]>(LX2_PROP_ACC_SENSITIVITY, "AccSensitivity");
inline constexpr auto GyroSensitivity = record<float[9]>(LX2_PROP_GYRO_SENSITIVITY, "GyroSensitivity");
// Read back with Lx2_GetRGBResolution, as an index.
inline constexpr auto RGBResolution = writeOnly<SdkFrameMode>(LX2_PROP_RGB_RESOLUTION, "RGB resolution");
// A read returns every range's count, a write sets one range's.
inline constexpr auto PulseCount = record<PulseCountTable, PulseCountSet>(LX2_PROP_PULSE_COUNT, "PulseCount");
// Byte 1 of a read's request selects the record.
inline constexpr auto AccOffset = record<ImuOffset>(LX2_PROP_ACC_OFFSET, "AccOffset");
inline constexpr auto GyroOffset = record<ImuOffset>(LX2_PROP_GYRO_OFFSET, "GyroOffset");
inline constexpr auto AccOffsetTemp = record<uint8_t[11]>(LX2_PROP_ACC_OFFSET_TEMP, "AccOffsetTemp");
inline constexpr auto GyroOffsetTemp = record<uint8_t[11]>(LX2_PROP_GYRO_OFFSET_TEMP, "GyroOffsetTemp");
inline constexpr auto FlashType = readOnlyText(LX2_PROP_FLASH_TYPE, "FlashType");

inline constexpr Row rows[] = {
    SN,
    FWVer,
    HMVer,
    DataModeList,
    RangeList,
    UpgradeHandover,
    SNNet,
    MacAddressNet,
    SoftwareVersionNet,
    IP,
    SubNetMask,
    DSP,
    RangeOffset,
    TALDelay,
    HTP,
    OffSet,
    MaxDepth,
    Calibration,
    DataMode,
    LD,
    ISA,
    TAL,
    TALSwitch,
    PCBA,
    WorkMode,
    IR_S2_Enable,
    GmmGain,
    GmmParams,
    AccSensitivity,
    GyroSensitivity,
    RGBResolution,
    PulseCount,
    AccOffset,
    GyroOffset,
    AccOffsetTemp,
    GyroOffsetTemp,
    FlashType,
};

// A fixed length never asks for more than its record holds.
constexpr bool fitsItsRecords(const Row &row)
{
    const auto fits = [](int32_t length, int32_t record) {
        return length == byCaller || length == refused || (length >= 0 && length <= record);
    };
    return fits(row.getLength, row.getRecord) && fits(row.setLength, row.setRecord);
}

// Rows may share an id (TAL and its switch) only when a length tells them apart.
constexpr bool apart(const Row &a, const Row &b)
{
    const auto overlap = [](int32_t x, int32_t y) { return x != refused && x == y; };
    return a.id != b.id || (!overlap(a.getLength, b.getLength) && !overlap(a.setLength, b.setLength));
}

constexpr bool consistent()
{
    for (const Row &a : rows) {
        if (!fitsItsRecords(a))
            return false;
        for (const Row &b : rows)
            if (&a != &b && !apart(a, b))
                return false;
    }
    return true;
}
static_assert(consistent(), "a row's lengths fit its records and no two rows answer the same call");

// A wrapper's argument points at its row's record (or is untyped, where the wrapper's is).
template <typename Record, typename Pointee>
inline constexpr bool pointsAt =
    std::is_void_v<Pointee> || std::is_same_v<std::remove_cv_t<Pointee>, std::remove_extent_t<Record>>;

// ---- calibration blocks: a selector in the Calibration record, then its payload ----
template <typename Payload> struct CalibrationItem
{
    uint32_t selector;
    const char *name;
    static_assert(sizeof(Payload) <= sizeof(CalibrationBlock::data), "the payload fits the block");
};

inline constexpr CalibrationItem<double[9]> DepthIntrinsic{LX2_CALIB_DEPTH_INTRINSICS, "Depth Intrinsic"};
inline constexpr CalibrationItem<double[8]> DepthDistortion{LX2_CALIB_DEPTH_DISTORTION, "Depth Distortion"};
inline constexpr CalibrationItem<double[9]> RGBIntrinsic{LX2_CALIB_COLOR_INTRINSICS, "RGB Intrinsic"};
inline constexpr CalibrationItem<double[8]> RGBDistortion{LX2_CALIB_COLOR_DISTORTION, "RGB Distortion"};
inline constexpr CalibrationItem<double[9]> RotationMat{LX2_CALIB_ROTATION, "RotationMat"};
inline constexpr CalibrationItem<double[3]> TransferMat{LX2_CALIB_TRANSLATION, "TransferMat"};
inline constexpr CalibrationItem<double[9]> EMat{LX2_CALIB_ESSENTIAL, "EMat"};
inline constexpr CalibrationItem<double[9]> FMat{LX2_CALIB_FUNDAMENTAL, "FMat"};

// The wrappers' sensor argument: 1 is the colour sensor, anything else the depth sensor.
constexpr CalibrationItem<double[9]> intrinsicOf(int sensor)
{
    return sensor == 1 ? RGBIntrinsic : DepthIntrinsic;
}

constexpr CalibrationItem<double[8]> distortionOf(int sensor)
{
    return sensor == 1 ? RGBDistortion : DepthDistortion;
}

// ---- the RGB resolution record: sensor 2, format 1, the size, 30 fps, 2 ----
struct Size
{
    uint16_t width, height;
};
inline constexpr Size rgbResolutions[] = {{1920, 1080}, {1280, 720}, {640, 480}, {640, 360}};
inline constexpr int rgbResolutionCount = int(sizeof rgbResolutions / sizeof rgbResolutions[0]);

// Any index outside the list asks for the full size.
constexpr SdkFrameMode rgbResolutionRecord(int index)
{
    const Size size = rgbResolutions[index >= 0 && index < rgbResolutionCount ? index : 0];
    return SdkFrameMode{2, 1, size.width, size.height, 30, 2};
}

} // namespace PropertyTable
