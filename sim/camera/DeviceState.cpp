#include "sim/camera/DeviceState.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sim {

namespace {

constexpr int32_t textCapacity = 63;       // characters of a text property
constexpr int32_t handoverCapacity = 4096; // the upgrade hand-over text

bool isText(PropertyId id)
{
    switch (id) {
    case LX2_PROP_SN:
    case LX2_PROP_FW_VER:
    case LX2_PROP_HM_VER:
    case LX2_PROP_UPGRADE_HANDOVER:
    case LX2_PROP_SN_NET:
    case LX2_PROP_MAC_NET:
    case LX2_PROP_SW_VER_NET:
    case LX2_PROP_IP:
    case LX2_PROP_SUBNET_MASK:
    case LX2_PROP_PCBA:
    case LX2_PROP_FLASH_TYPE:
        return true;
    default:
        return false;
    }
}

bool isReadOnlyText(PropertyId id)
{
    return id == LX2_PROP_FW_VER || id == LX2_PROP_HM_VER || id == LX2_PROP_FLASH_TYPE;
}

template <typename T> void putRecord(void *buffer, int32_t *length, const T &record)
{
    std::memcpy(buffer, &record, sizeof record);
    *length = int32_t(sizeof record);
}

template <typename T> T takeRecord(const void *buffer)
{
    T record;
    std::memcpy(&record, buffer, sizeof record);
    return record;
}

void putDoubles(std::array<uint8_t, 72> &block, const double *values, size_t count)
{
    block.fill(0);
    std::memcpy(block.data(), values, count * sizeof(double));
}

std::array<double, 9> doublesOf(const std::array<uint8_t, 72> &block)
{
    std::array<double, 9> v;
    std::memcpy(v.data(), block.data(), sizeof v);
    return v;
}

} // namespace

void DeviceState::powerOn()
{
    settings = DeviceSettings{};
    settings.dataMode = cfg.dataMode;
    settings.depthRange = cfg.depthRange;
    settings.rgbResolution = cfg.hasColour ? cfg.rgbResolution : 0;
    settings.spatialFilter = cfg.spatialFilter;
    settings.timeFilter = cfg.timeFilter;
    settings.mapDepthToRgb = cfg.mapDepthToRgb;
    settings.mapRgbToDepth = cfg.mapRgbToDepth;
    settings.mapRgbToIr = cfg.mapRgbToIr;
}

DeviceState::DeviceState(const DeviceConfig &config)
    : firmware(config.firmware)
    , cfg(config)
    , ranges(config.ranges)
    , registers(65536, 0)
{
    powerOn();

    texts[LX2_PROP_SN] = config.serial;
    texts[LX2_PROP_HM_VER] = config.hardware;
    texts[LX2_PROP_PCBA] = config.pcba;
    texts[LX2_PROP_FLASH_TYPE] = config.flashType;
    texts[LX2_PROP_SN_NET] = config.serial;
    texts[LX2_PROP_SW_VER_NET] = config.firmware;
    texts[LX2_PROP_MAC_NET] = config.mac;
    texts[LX2_PROP_IP] = config.ip;
    texts[LX2_PROP_SUBNET_MASK] = config.subnetMask;
    texts[LX2_PROP_UPGRADE_HANDOVER] = "";

    for (int m = 0; m < 3; ++m) {
        for (int k = 0; k < 18; ++k)
            htp[m][k] = uint16_t(0x1000 * (m + 1) + 0x40 * k + 3);
        for (int pos = 0; pos < 3; ++pos)
            for (int k = 0; k < 49; ++k)
                offsets[m][pos][k] = int16_t((k % 7 - 3) * (m + 1) + pos * 2 - (k / 7));
        for (int k = 0; k < 9; ++k)
            rangeOffsets[m][k] = uint16_t(10 * m + k);
    }
    const ModelInfo &model = *config.model;
    dataModeList[0] = uint8_t(model.dataModes.size());
    for (size_t i = 0; i < model.dataModes.size(); ++i)
        dataModeList[1 + i] = uint8_t(model.dataModes[i]);
    rangeList[0] = 9;
    for (int r = 0; r < 9; ++r)
        rangeList[1 + r] = uint8_t(r);
    dsp = {1, 0, 2, 0, 3, 0};
    talDelay = TalDelay{120, 80, 33333, 40, 1};
    ld = {1, 80};
    tal = {0, 0};
    irS2 = {1, 0};
    for (int k = 0; k < 12; ++k)
        gmmParams[k] = uint16_t(0x0100 + 0x0111 * k);
    accSensitivity = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    gyroSensitivity = {0.98f, 0.001f, 0, -0.002f, 1.01f, 0, 0, 0.003f, 0.99f};
    accOffsetTemp = {25, 1, 0xFF, 2, 0xFE, 0, 0, 0, 0, 0, 0};
    const float g0 = 0.5f, g1 = -0.25f;
    gyroOffsetTemp[0] = 25;
    std::memcpy(&gyroOffsetTemp[1], &g0, 4);
    std::memcpy(&gyroOffsetTemp[5], &g1, 4);
    for (int r = 0; r < 9; ++r)
        pulse.range[r] = uint16_t(600 + 100 * r);

    registers[0x0000] = 0x5121; // chip id
    registers[0x0001] = 0x0003; // revision
    registers[0x0010] = 0x0400;
    registers[0x0011] = 0x0300;
    registers[0x001a] = 0x0003;

    storeCalibration(config.calibration);
}

void DeviceState::storeCalibration(const Calibration &c)
{
    const Mat3 kd = c.depth.matrix(), kc = c.colour.matrix();
    putDoubles(calibBlocks[LX2_CALIB_DEPTH_INTRINSICS], kd.m.data(), 9);
    putDoubles(calibBlocks[LX2_CALIB_DEPTH_DISTORTION], c.depth.dist.data(), 8);
    putDoubles(calibBlocks[LX2_CALIB_COLOR_INTRINSICS], kc.m.data(), 9);
    putDoubles(calibBlocks[LX2_CALIB_COLOR_DISTORTION], c.colour.dist.data(), 8);
    putDoubles(calibBlocks[LX2_CALIB_ROTATION], c.rotation.m.data(), 9);
    const double t[3] = {c.translation.x, c.translation.y, c.translation.z};
    putDoubles(calibBlocks[LX2_CALIB_TRANSLATION], t, 3);
    putDoubles(calibBlocks[LX2_CALIB_ESSENTIAL], c.essential().m.data(), 9);
    putDoubles(calibBlocks[LX2_CALIB_FUNDAMENTAL], c.fundamental().m.data(), 9);
    calib = c;
}

// The lenses and pose frames are rendered with follow the stored blocks, so a written
// calibration shows in the registered images; nonsense falls back to the factory values.
void DeviceState::rebuildCalibration()
{
    ++calibVersion;
    Calibration c = cfg.calibration;
    auto lensFrom = [&](int kSel, int dSel, Lens &lens) {
        const auto k = doublesOf(calibBlocks[kSel]);
        const auto dist = doublesOf(calibBlocks[dSel]);
        Lens l;
        l.fx = k[0];
        l.cx = k[2];
        l.fy = k[4];
        l.cy = k[5];
        std::copy(dist.begin(), dist.begin() + 8, l.dist.begin());
        if (l.valid())
            lens = l;
    };
    lensFrom(LX2_CALIB_DEPTH_INTRINSICS, LX2_CALIB_DEPTH_DISTORTION, c.depth);
    lensFrom(LX2_CALIB_COLOR_INTRINSICS, LX2_CALIB_COLOR_DISTORTION, c.colour);
    Mat3 r;
    const auto rv = doublesOf(calibBlocks[LX2_CALIB_ROTATION]);
    std::copy(rv.begin(), rv.end(), r.m.begin());
    if (std::fabs(r.determinant() - 1) < 0.05)
        c.rotation = r;
    const auto tv = doublesOf(calibBlocks[LX2_CALIB_TRANSLATION]);
    if (std::isfinite(tv[0]) && std::isfinite(tv[1]) && std::isfinite(tv[2]) &&
        std::fabs(tv[0]) + std::fabs(tv[1]) + std::fabs(tv[2]) < 1000)
        c.translation = Vec3{tv[0], tv[1], tv[2]};
    calib = c;
}

CameraIntrinsics DeviceState::intrinsics(int sensor) const
{
    const bool colour = sensor == LX2_SENSOR_COLOR;
    const auto k = doublesOf(calibBlocks[colour ? LX2_CALIB_COLOR_INTRINSICS : LX2_CALIB_DEPTH_INTRINSICS]);
    const auto d = doublesOf(calibBlocks[colour ? LX2_CALIB_COLOR_DISTORTION : LX2_CALIB_DEPTH_DISTORTION]);
    return CameraIntrinsics{k[0], k[4], k[2], k[5], d[0], d[1], d[2], d[3], d[4], d[5], d[6], d[7]};
}

bool DeviceState::supportsDataMode(int mode) const
{
    const auto &modes = cfg.model->dataModes;
    return std::find(modes.begin(), modes.end(), mode) != modes.end();
}

SdkStatus DeviceState::setDataMode(int mode)
{
    if (!supportsDataMode(mode))
        return LX2_E_NOT_SUPPORTED;
    settings.dataMode = mode;
    return LX2_OK;
}

MeasuringRange DeviceState::measuringRange(int depthMode) const
{
    MeasuringRange r{};
    r.depthMode = uint8_t(depthMode);
    for (int k = 0; k < 3; ++k) {
        r.depthMax[k] = ranges[depthMode].depthMax[k];
        r.effectiveMax[k] = ranges[depthMode].effectiveMax[k];
        r.effectiveMin[k] = ranges[depthMode].effectiveMin[k];
    }
    return r;
}

bool DeviceState::rgbResolutionSize(int index, int &width, int &height)
{
    static const int sizes[4][2] = {{1920, 1080}, {1280, 720}, {640, 480}, {640, 360}};
    if (index < 0 || index > 3)
        return false;
    width = sizes[index][0];
    height = sizes[index][1];
    return true;
}

SdkStatus DeviceState::getProperty(PropertyId id, void *buffer, int32_t *length) const
{
    if (!buffer || !length)
        return LX2_E_NULL_POINTER;
    const int32_t len = *length;
    auto *bytes = static_cast<uint8_t *>(buffer);

    if (isText(id)) {
        if (len <= 0)
            return LX2_E_BAD_LENGTH;
        const std::string &text = id == LX2_PROP_FW_VER ? firmware : texts.at(id);
        if (int32_t(text.size()) >= len) {
            bytes[0] = 0; // never an unterminated text
            return LX2_E_BUFFER_TOO_SMALL;
        }
        std::memcpy(bytes, text.c_str(), text.size() + 1);
        *length = int32_t(text.size());
        return LX2_OK;
    }

    auto expect = [&](int32_t wanted) { return len == wanted; };
    switch (id) {
    case LX2_PROP_DATA_MODE_LIST:
        if (!expect(34))
            return LX2_E_BAD_LENGTH;
        putRecord(buffer, length, dataModeList);
        return LX2_OK;
    case LX2_PROP_RANGE_LIST:
        if (!expect(11))
            return LX2_E_BAD_LENGTH;
        putRecord(buffer, length, rangeList);
        return LX2_OK;
    case LX2_PROP_DSP:
        if (!expect(6))
            return LX2_E_BAD_LENGTH;
        putRecord(buffer, length, dsp);
        return LX2_OK;
    case LX2_PROP_RANGE_OFFSET: {
        if (!expect(19))
            return LX2_E_BAD_LENGTH;
        const uint8_t mode = bytes[0];
        if (mode > 2)
            return LX2_E_INVALID_PARAM;
        bytes[0] = mode;
        std::memcpy(bytes + 1, rangeOffsets[mode].data(), 18);
        *length = 19;
        return LX2_OK;
    }
    case LX2_PROP_TAL_DELAY:
        if (!expect(11))
            return LX2_E_BAD_LENGTH;
        putRecord(buffer, length, talDelay);
        return LX2_OK;
    case LX2_PROP_HTP: {
        // The request is 4 bytes with the depth mode first; the answer is 18 u16 values.
        if (!expect(4))
            return LX2_E_BAD_LENGTH;
        const uint8_t mode = bytes[0];
        if (mode > 2)
            return LX2_E_INVALID_PARAM;
        putRecord(buffer, length, htp[mode]);
        return LX2_OK;
    }
    case LX2_PROP_OFFSET: {
        if (!expect(100))
            return LX2_E_BAD_LENGTH;
        const uint8_t mode = bytes[0], pos = bytes[1];
        if (mode > 2 || pos > 2)
            return LX2_E_INVALID_PARAM;
        std::memcpy(bytes + 2, offsets[mode][pos].data(), 98);
        *length = 100;
        return LX2_OK;
    }
    case LX2_PROP_MAX_DEPTH: {
        if (!expect(19))
            return LX2_E_BAD_LENGTH;
        if (bytes[0] > 2)
            return LX2_E_INVALID_PARAM;
        putRecord(buffer, length, measuringRange(bytes[0]));
        return LX2_OK;
    }
    case LX2_PROP_CALIBRATION: {
        if (!expect(76))
            return LX2_E_BAD_LENGTH;
        CalibrationBlock block = takeRecord<CalibrationBlock>(buffer);
        if (block.selector > 7)
            return LX2_E_INVALID_PARAM;
        std::memcpy(block.data, calibBlocks[block.selector].data(), 72);
        putRecord(buffer, length, block);
        return LX2_OK;
    }
    case LX2_PROP_DATA_MODE:
        if (!expect(1))
            return LX2_E_BAD_LENGTH;
        bytes[0] = uint8_t(settings.dataMode);
        *length = 1;
        return LX2_OK;
    case LX2_PROP_LD:
    case LX2_PROP_TAL:
        // Asked with length 0 (or 2), answered with the 2-byte record.
        if (!expect(0) && !expect(2))
            return LX2_E_BAD_LENGTH;
        putRecord(buffer, length, id == LX2_PROP_LD ? ld : tal);
        return LX2_OK;
    case LX2_PROP_ISA:
        if (!expect(1))
            return LX2_E_BAD_LENGTH;
        bytes[0] = isa;
        *length = 1;
        return LX2_OK;
    case LX2_PROP_WORK_MODE:
        if (!expect(5))
            return LX2_E_BAD_LENGTH;
        putRecord(buffer, length, workMode);
        return LX2_OK;
    case LX2_PROP_IR_S2_ENABLE: {
        if (!expect(4))
            return LX2_E_BAD_LENGTH;
        const uint8_t out[4] = {irS2[0], irS2[1], 0, 0};
        putRecord(buffer, length, out);
        return LX2_OK;
    }
    case LX2_PROP_GMM_GAIN:
        if (!expect(2))
            return LX2_E_BAD_LENGTH;
        putRecord(buffer, length, gmmGain);
        return LX2_OK;
    case LX2_PROP_GMM_PARAMS:
        if (!expect(24))
            return LX2_E_BAD_LENGTH;
        putRecord(buffer, length, gmmParams);
        return LX2_OK;
    case LX2_PROP_ACC_SENSITIVITY:
    case LX2_PROP_GYRO_SENSITIVITY:
        if (!expect(36))
            return LX2_E_BAD_LENGTH;
        putRecord(buffer, length, id == LX2_PROP_ACC_SENSITIVITY ? accSensitivity : gyroSensitivity);
        return LX2_OK;
    case LX2_PROP_PULSE_COUNT: {
        if (!expect(20))
            return LX2_E_BAD_LENGTH;
        PulseCountTable t = pulse;
        t.current = pulse.range[settings.depthRange];
        putRecord(buffer, length, t);
        return LX2_OK;
    }
    case LX2_PROP_ACC_OFFSET:
    case LX2_PROP_GYRO_OFFSET: {
        if (!expect(15))
            return LX2_E_BAD_LENGTH;
        const uint8_t selector = bytes[1];
        const auto &table = id == LX2_PROP_ACC_OFFSET ? accOffsets : gyroOffsets;
        const auto it = table.find(selector);
        ImuOffset rec = it != table.end()
                            ? it->second
                            : ImuOffset{uint8_t(id == LX2_PROP_ACC_OFFSET ? 0 : 1), selector, 25, {0, 0, 0}};
        putRecord(buffer, length, rec);
        return LX2_OK;
    }
    case LX2_PROP_ACC_OFFSET_TEMP:
    case LX2_PROP_GYRO_OFFSET_TEMP:
        if (!expect(11))
            return LX2_E_BAD_LENGTH;
        putRecord(buffer, length, id == LX2_PROP_ACC_OFFSET_TEMP ? accOffsetTemp : gyroOffsetTemp);
        return LX2_OK;
    case LX2_PROP_RGB_RESOLUTION:
        return LX2_E_NOT_SUPPORTED; // write-only; read it with Lx2_GetRGBResolution
    default:
        return LX2_E_UNKNOWN_PROPERTY;
    }
}

SdkStatus DeviceState::setProperty(PropertyId id, const void *buffer, int32_t len, bool &enterLoader)
{
    enterLoader = false;
    if (!buffer && len != 0)
        return LX2_E_NULL_POINTER;
    const auto *bytes = static_cast<const uint8_t *>(buffer);

    if (isText(id)) {
        if (isReadOnlyText(id))
            return LX2_E_NOT_SUPPORTED;
        const int32_t cap = id == LX2_PROP_UPGRADE_HANDOVER ? handoverCapacity : textCapacity;
        if (len < 0 || len > cap)
            return LX2_E_BAD_LENGTH;
        std::string text(reinterpret_cast<const char *>(bytes), size_t(len));
        text = text.substr(0, text.find('\0'));
        texts[id] = text;
        return LX2_OK;
    }

    auto store = [&](auto &field) -> SdkStatus {
        if (len != int32_t(sizeof field))
            return LX2_E_BAD_LENGTH;
        std::memcpy(&field, bytes, sizeof field);
        return LX2_OK;
    };
    switch (id) {
    case LX2_PROP_DATA_MODE_LIST:
        return store(dataModeList);
    case LX2_PROP_RANGE_LIST:
        return store(rangeList);
    case LX2_PROP_DSP:
        return store(dsp);
    case LX2_PROP_RANGE_OFFSET:
        if (len != 19)
            return LX2_E_BAD_LENGTH;
        if (bytes[0] > 2)
            return LX2_E_INVALID_PARAM;
        std::memcpy(rangeOffsets[bytes[0]].data(), bytes + 1, 18);
        return LX2_OK;
    case LX2_PROP_TAL_DELAY:
        return store(talDelay);
    case LX2_PROP_HTP:
        if (len != 37)
            return LX2_E_BAD_LENGTH;
        if (bytes[0] > 2)
            return LX2_E_INVALID_PARAM;
        std::memcpy(htp[bytes[0]].data(), bytes + 1, 36);
        return LX2_OK;
    case LX2_PROP_OFFSET:
        if (len != 100)
            return LX2_E_BAD_LENGTH;
        if (bytes[0] > 2 || bytes[1] > 2)
            return LX2_E_INVALID_PARAM;
        std::memcpy(offsets[bytes[0]][bytes[1]].data(), bytes + 2, 98);
        return LX2_OK;
    case LX2_PROP_MAX_DEPTH: {
        if (len != 19)
            return LX2_E_BAD_LENGTH;
        const auto r = takeRecord<MeasuringRange>(bytes);
        if (r.depthMode > 2)
            return LX2_E_INVALID_PARAM;
        for (int k = 0; k < 3; ++k) {
            ranges[r.depthMode].depthMax[k] = r.depthMax[k];
            ranges[r.depthMode].effectiveMax[k] = r.effectiveMax[k];
            ranges[r.depthMode].effectiveMin[k] = r.effectiveMin[k];
        }
        return LX2_OK;
    }
    case LX2_PROP_CALIBRATION: {
        if (len != 76)
            return LX2_E_BAD_LENGTH;
        const auto block = takeRecord<CalibrationBlock>(bytes);
        if (block.selector > 7)
            return LX2_E_INVALID_PARAM;
        std::memcpy(calibBlocks[block.selector].data(), block.data, 72);
        rebuildCalibration();
        return LX2_OK;
    }
    case LX2_PROP_DATA_MODE:
        if (len != 1)
            return LX2_E_BAD_LENGTH;
        return setDataMode(bytes[0]);
    case LX2_PROP_LD:
        return store(ld);
    case LX2_PROP_ISA:
        return store(isa);
    case LX2_PROP_TAL:
        // Two bytes from the parameter page, one from the switch.
        if (len == 1) {
            tal[0] = bytes[0];
            return LX2_OK;
        }
        return store(tal);
    case LX2_PROP_WORK_MODE: {
        const SdkStatus st = store(workMode);
        enterLoader = st == LX2_OK && workMode.mode == LX2_WORK_MODE_LOADER;
        if (enterLoader)
            workMode.mode = 0; // it comes back from the loader in normal mode
        return st;
    }
    case LX2_PROP_IR_S2_ENABLE:
        return store(irS2);
    case LX2_PROP_GMM_GAIN:
        if (len != 3)
            return LX2_E_BAD_LENGTH;
        std::memcpy(&gmmGain, bytes, 2);
        gmmGainExtra = bytes[2];
        return LX2_OK;
    case LX2_PROP_GMM_PARAMS:
        return store(gmmParams);
    case LX2_PROP_ACC_SENSITIVITY:
        return store(accSensitivity);
    case LX2_PROP_GYRO_SENSITIVITY:
        return store(gyroSensitivity);
    case LX2_PROP_RGB_RESOLUTION: {
        if (len != 8)
            return LX2_E_BAD_LENGTH;
        if (!cfg.hasColour)
            return LX2_E_NOT_SUPPORTED;
        const auto mode = takeRecord<SdkFrameMode>(bytes);
        if (mode.sensor != 2)
            return LX2_E_INVALID_PARAM;
        for (int i = 0; i < 4; ++i) {
            int w, h;
            rgbResolutionSize(i, w, h);
            if (mode.width == w && mode.height == h && w <= cfg.colourWidth && h <= cfg.colourHeight) {
                settings.rgbResolution = i;
                return LX2_OK;
            }
        }
        return LX2_E_NOT_SUPPORTED;
    }
    case LX2_PROP_PULSE_COUNT: {
        if (len != 5)
            return LX2_E_BAD_LENGTH;
        const auto rec = takeRecord<PulseCountSet>(bytes);
        if (rec.rangeIndex > 8 || rec.depthMode != rec.rangeIndex / 3)
            return LX2_E_INVALID_PARAM;
        pulse.range[rec.rangeIndex] = rec.pulseCount;
        return LX2_OK;
    }
    case LX2_PROP_ACC_OFFSET:
    case LX2_PROP_GYRO_OFFSET: {
        if (len != 15)
            return LX2_E_BAD_LENGTH;
        const auto rec = takeRecord<ImuOffset>(bytes);
        (id == LX2_PROP_ACC_OFFSET ? accOffsets : gyroOffsets)[rec.selector] = rec;
        return LX2_OK;
    }
    case LX2_PROP_ACC_OFFSET_TEMP:
        return store(accOffsetTemp);
    case LX2_PROP_GYRO_OFFSET_TEMP:
        return store(gyroOffsetTemp);
    default:
        return LX2_E_UNKNOWN_PROPERTY;
    }
}

SdkStatus DeviceState::readRegisters(const uint16_t *addresses, uint16_t *values, uint32_t count) const
{
    if (!addresses || !values)
        return LX2_E_NULL_POINTER;
    if (count == 0 || count > 64)
        return LX2_E_INVALID_PARAM;
    for (uint32_t i = 0; i < count; ++i)
        values[i] = registers[addresses[i]];
    return LX2_OK;
}

SdkStatus DeviceState::writeRegisters(const uint16_t *addresses, const uint16_t *values, uint32_t count)
{
    if (!addresses || !values)
        return LX2_E_NULL_POINTER;
    if (count == 0 || count > 64)
        return LX2_E_INVALID_PARAM;
    for (uint32_t i = 0; i < count; ++i)
        registers[addresses[i]] = values[i];
    return LX2_OK;
}

} // namespace sim
