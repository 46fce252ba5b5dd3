#include "sim/camera/DeviceState.h"

#include "sim/camera/LoaderState.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <type_traits>

namespace sim {

namespace {

using PropertyTable::Row;

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

// A calibration block's payload, and the doubles it holds at most.
using Block = std::array<uint8_t, sizeof(CalibrationBlock::data)>;
using BlockDoubles = std::array<double, sizeof(CalibrationBlock::data) / sizeof(double)>;

void putDoubles(Block &block, const double *values, size_t count)
{
    block.fill(0);
    std::memcpy(block.data(), values, count * sizeof(double));
}

BlockDoubles doublesOf(const Block &block)
{
    BlockDoubles v;
    std::memcpy(v.data(), block.data(), sizeof v);
    return v;
}

// The range a pulse-count write names: a range index within the depth mode's own three is the
// absolute index (0..8); otherwise 0, 1, 2 are near, mid and far of the depth mode.
bool pulseCountRange(const PulseCountSet &record, int &range)
{
    if (record.depthMode > 2)
        return false;
    if (record.rangeIndex / 3 == record.depthMode)
        range = record.rangeIndex;
    else if (record.rangeIndex <= 2)
        range = record.depthMode * 3 + record.rangeIndex;
    else
        return false;
    return true;
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
    : cfg(config)
    , m_firmware(config.firmware)
    , ranges(config.ranges)
    , registers(registerCount, 0)
{
    powerOn();

    storeFactoryParameters();

    registers[0x0000] = 0x5121; // chip id
    registers[0x0001] = 0x0003; // revision
    registers[0x0010] = 0x0400;
    registers[0x0011] = 0x0300;
    registers[0x001a] = 0x0003;

    storeCalibration(config.calibration);

    flash = Flash(LoaderState::folder(), cfg.serial);
    if (cfg.factoryReset)
        flash.erase();
    else
        restore();
}

// Replays the flash file's records through the same checks as a program's writes; an entry the
// camera would refuse is left out whole.
void DeviceState::restore()
{
    const Flash::Contents contents = flash.read();
    std::vector<std::pair<int, std::string>> refused; // line, entry
    for (const auto &[slot, record] : contents.records) {
        const Row *row = nullptr;
        const Flash::Bytes &bytes = record.bytes;
        const PropertyId id = PropertyId(std::strtoul(slot.substr(0, 8).c_str(), nullptr, 16));
        bool toLoader = false;
        const bool taken = PropertyStore::rowForSet(id, int32_t(bytes.size()), row) == LX2_OK &&
                           flashSlot(*row, bytes.data()) == slot &&
                           !(id == PropertyTable::WorkMode.id && bytes[0] == LX2_WORK_MODE_LOADER) &&
                           apply(*row, bytes.data(), int32_t(bytes.size()), toLoader) == LX2_OK;
        if (taken)
            flash.keepRecord(slot, flashRecord(*row, bytes.data(), int32_t(bytes.size())));
        else
            refused.emplace_back(record.line, slot);
    }
    // A version as an image carries it: 1 to 16 bytes, none of them NUL.
    const Flash::Bytes &version = contents.firmware.bytes;
    if (!version.empty()) {
        if (version.size() <= 16 && std::find(version.begin(), version.end(), 0) == version.end()) {
            m_firmware.assign(version.begin(), version.end());
            flash.keepFirmware(m_firmware);
        } else {
            refused.emplace_back(contents.firmware.line, "firmware");
        }
    }
    for (const auto &[address, reg] : contents.registers) {
        if (writableRegister(address)) {
            registers[address] = reg.value;
            flash.keepRegister(address, reg.value);
        } else {
            char name[16];
            std::snprintf(name, sizeof name, "0x%04x", address);
            refused.emplace_back(reg.line, name);
        }
    }
    if (!refused.empty()) {
        std::sort(refused.begin(), refused.end());
        const size_t more = refused.size() - 1;
        flash.warn(refused[0].second + ": not a value this camera takes; ignored" +
                       (more ? " (and " + std::to_string(more) + " more)" : std::string()),
                   refused[0].first);
    }
}

// The parameter records a camera leaves the factory with.
void DeviceState::storeFactoryParameters()
{
    properties.putText(PropertyTable::SN, cfg.serial);
    properties.putText(PropertyTable::HMVer, cfg.hardware);
    properties.putText(PropertyTable::PCBA, cfg.pcba);
    properties.putText(PropertyTable::FlashType, cfg.flashType);
    properties.putText(PropertyTable::SNNet, cfg.serial);
    properties.putText(PropertyTable::SoftwareVersionNet, cfg.firmware);
    properties.putText(PropertyTable::MacAddressNet, cfg.mac);
    properties.putText(PropertyTable::IP, cfg.ip);
    properties.putText(PropertyTable::SubNetMask, cfg.subnetMask);

    for (uint8_t m = 0; m < 3; ++m) {
        htp[m].depthMode = m;
        for (size_t k = 0; k < std::extent_v<decltype(htp[m].values)>; ++k)
            htp[m].values[k] = uint16_t(0x1000 * (m + 1) + 0x40 * k + 3);
        for (uint8_t pos = 0; pos < 3; ++pos) {
            OffsetRecord &o = offsets[m][pos];
            o.depthMode = m;
            o.position = pos;
            for (int k = 0; k < int(std::extent_v<decltype(o.values)>); ++k)
                o.values[k] = int16_t((k % 7 - 3) * (m + 1) + pos * 2 - (k / 7));
        }
        rangeOffsets[m].depthMode = m;
        for (size_t k = 0; k < std::extent_v<decltype(rangeOffsets[m].values)>; ++k)
            rangeOffsets[m].values[k] = uint16_t(10 * m + k);
    }
    const ModelInfo &model = *cfg.model;
    uint8_t *modeList = properties.record(PropertyTable::DataModeList);
    modeList[0] = uint8_t(model.dataModes.size());
    for (size_t i = 0; i < model.dataModes.size(); ++i)
        modeList[1 + i] = uint8_t(model.dataModes[i]);
    uint8_t *rangeList = properties.record(PropertyTable::RangeList);
    rangeList[0] = 9;
    for (int r = 0; r < 9; ++r)
        rangeList[1 + r] = uint8_t(r);
    properties.put(PropertyTable::DSP, {1, 0, 2, 0, 3, 0}); // three u16
    properties.put(PropertyTable::TALDelay, TalDelay{120, 80, 33333, 40, 1});
    properties.put(PropertyTable::LD, {1, 80});
    properties.put(PropertyTable::IR_S2_Enable, {1, 0, 0, 0});
    properties.put(PropertyTable::ISA, uint8_t(1));
    properties.put(PropertyTable::GmmGain, uint16_t(256));
    decltype(PropertyTable::GmmParams)::Get gmmParams;
    for (size_t k = 0; k < std::size(gmmParams); ++k)
        gmmParams[k] = uint16_t(0x0100 + 0x0111 * k);
    properties.put(PropertyTable::GmmParams, gmmParams);
    properties.put(PropertyTable::AccSensitivity, {1, 0, 0, 0, 1, 0, 0, 0, 1});
    properties.put(PropertyTable::GyroSensitivity, {0.98f, 0.001f, 0, -0.002f, 1.01f, 0, 0, 0.003f, 0.99f});
    // The temperature, four signed offsets and six more stored bytes.
    properties.put(PropertyTable::AccOffsetTemp, {25, 1, 0xFF, 2, 0xFE, 3, 5, 7, 9, 11, 13});
    // The temperature, two floats and two bytes.
    uint8_t *gyroOffsetTemp = properties.record(PropertyTable::GyroOffsetTemp);
    const float g[2] = {0.5f, -0.25f};
    gyroOffsetTemp[0] = 25;
    std::memcpy(gyroOffsetTemp + 1, g, sizeof g);
    gyroOffsetTemp[9] = 4;
    gyroOffsetTemp[10] = 1;
    for (int r = 0; r < 9; ++r)
        pulse.range[r] = uint16_t(600 + 100 * r);
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
    if (index < 0 || index >= PropertyTable::rgbResolutionCount)
        return false;
    width = PropertyTable::rgbResolutions[index].width;
    height = PropertyTable::rgbResolutions[index].height;
    return true;
}

const DeviceState::Handler *DeviceState::handlerFor(PropertyId id)
{
    static const Handler handlers[] = {
        {PropertyTable::FWVer.id, &DeviceState::getFirmware, nullptr},
        {PropertyTable::RangeOffset.id, &DeviceState::getRangeOffset, &DeviceState::setRangeOffset},
        {PropertyTable::HTP.id, &DeviceState::getHtp, &DeviceState::setHtp},
        {PropertyTable::OffSet.id, &DeviceState::getOffset, &DeviceState::setOffset},
        {PropertyTable::MaxDepth.id, &DeviceState::getMaxDepth, &DeviceState::setMaxDepth},
        {PropertyTable::Calibration.id, &DeviceState::getCalibration, &DeviceState::setCalibration},
        {PropertyTable::DataMode.id, &DeviceState::getDataModeProperty, &DeviceState::setDataModeProperty},
        {PropertyTable::RGBResolution.id, nullptr, &DeviceState::setRgbResolution},
        {PropertyTable::PulseCount.id, &DeviceState::getPulseCount, &DeviceState::setPulseCount},
        {PropertyTable::AccOffset.id, &DeviceState::getImuOffset, &DeviceState::setImuOffset},
        {PropertyTable::GyroOffset.id, &DeviceState::getImuOffset, &DeviceState::setImuOffset},
    };
    for (const Handler &handler : handlers)
        if (handler.id == id)
            return &handler;
    return nullptr;
}

SdkStatus DeviceState::getProperty(PropertyId id, void *buffer, int32_t *length) const
{
    if (!buffer || !length)
        return LX2_E_NULL_POINTER;
    const Row *row = nullptr;
    const SdkStatus fits = PropertyStore::rowForGet(id, *length, row);
    if (fits != LX2_OK)
        return fits;
    auto *bytes = static_cast<uint8_t *>(buffer);
    if (const Handler *handler = handlerFor(id); handler && handler->get)
        return (this->*handler->get)(*row, bytes, length);
    if (row->getLength == PropertyTable::byCaller)
        return properties.getText(*row, bytes, length);
    properties.get(*row, bytes, length);
    return LX2_OK;
}

SdkStatus DeviceState::setProperty(PropertyId id, const void *buffer, int32_t length, bool &enterLoader)
{
    enterLoader = false;
    if (!buffer && length != 0)
        return LX2_E_NULL_POINTER;
    const Row *row = nullptr;
    const SdkStatus fits = PropertyStore::rowForSet(id, length, row);
    if (fits != LX2_OK)
        return fits;
    const auto *bytes = static_cast<const uint8_t *>(buffer);
    const SdkStatus st = apply(*row, bytes, length, enterLoader);
    if (st != LX2_OK)
        return st;
    if (const std::string slot = flashSlot(*row, bytes); !slot.empty()) {
        flash.keepRecord(slot, flashRecord(*row, bytes, length));
        flash.save();
    }
    return LX2_OK;
}

SdkStatus DeviceState::apply(const Row &row, const uint8_t *bytes, int32_t length, bool &enterLoader)
{
    enterLoader = false;
    if (const Handler *handler = handlerFor(row.id); handler && handler->set)
        return (this->*handler->set)(row, bytes);
    if (row.setLength == PropertyTable::byCaller)
        return properties.setText(row, bytes, length);
    properties.set(row, bytes, length);
    if (row.id == PropertyTable::WorkMode.id) {
        uint8_t &mode = properties.record(PropertyTable::WorkMode)[offsetof(SdkWorkMode, mode)];
        enterLoader = mode == LX2_WORK_MODE_LOADER;
        if (enterLoader)
            mode = 0; // it comes back from the loader in normal mode
    }
    return LX2_OK;
}

// One slot per property, and per selector for the records that carry one; the stream's data
// mode, its colour resolution and the upgrade hand-over are no camera's stored values.
std::string DeviceState::flashSlot(const Row &row, const uint8_t *bytes)
{
    const PropertyId id = row.id;
    if (id == PropertyTable::DataMode.id || id == PropertyTable::RGBResolution.id ||
        id == PropertyTable::UpgradeHandover.id)
        return {};
    char slot[16];
    std::snprintf(slot, sizeof slot, "%08x", id);
    std::string key = slot;
    auto add = [&key](unsigned selector) { key += "_" + std::to_string(selector); };
    if (id == PropertyTable::Calibration.id) {
        add(takeRecord<CalibrationBlock>(bytes).selector);
    } else if (id == PropertyTable::HTP.id || id == PropertyTable::MaxDepth.id || id == PropertyTable::RangeOffset.id) {
        add(bytes[0]);
    } else if (id == PropertyTable::OffSet.id) {
        add(bytes[0]);
        add(bytes[1]);
    } else if (id == PropertyTable::AccOffset.id || id == PropertyTable::GyroOffset.id) {
        add(bytes[offsetof(ImuOffset, selector)]);
    } else if (id == PropertyTable::PulseCount.id) {
        int range = 0;
        if (!pulseCountRange(takeRecord<PulseCountSet>(bytes), range))
            return {};
        add(unsigned(range));
    }
    return key;
}

// Records that fill part of what the camera holds (the TAL switch, a work mode that went to the
// loader) are kept as the camera holds them; the others as written, a pulse count by its range.
Flash::Bytes DeviceState::flashRecord(const Row &row, const uint8_t *bytes, int32_t length) const
{
    if (row.id == PropertyTable::PulseCount.id) {
        const auto record = takeRecord<PulseCountSet>(bytes);
        int range = 0;
        pulseCountRange(record, range);
        const PulseCountSet absolute{record.pulseCount, uint8_t(range / 3), uint8_t(range), record.reserved};
        const auto *p = reinterpret_cast<const uint8_t *>(&absolute);
        return Flash::Bytes(p, p + sizeof absolute);
    }
    if (handlerFor(row.id) || row.setLength == PropertyTable::byCaller)
        return Flash::Bytes(bytes, bytes + length);
    int32_t whole = 0;
    for (const Row &r : PropertyTable::rows)
        if (r.id == row.id)
            whole = std::max(whole, r.setLength);
    const uint8_t *held = properties.record(row);
    return Flash::Bytes(held, held + whole);
}

SdkStatus DeviceState::getFirmware(const Row &, uint8_t *buffer, int32_t *length) const
{
    return PropertyStore::readText(m_firmware, buffer, length);
}

void DeviceState::installFirmware(const std::string &version)
{
    m_firmware = version;
    flash.keepFirmware(version);
    flash.save();
}

// The selector records: a get reads the selector from the caller's buffer, a set from the record.

SdkStatus DeviceState::getRangeOffset(const Row &, uint8_t *buffer, int32_t *length) const
{
    const uint8_t mode = buffer[0];
    if (mode >= rangeOffsets.size())
        return LX2_E_INVALID_PARAM;
    putRecord(buffer, length, rangeOffsets[mode]);
    return LX2_OK;
}

SdkStatus DeviceState::setRangeOffset(const Row &, const uint8_t *bytes)
{
    const auto record = takeRecord<RangeOffsetRecord>(bytes);
    if (record.depthMode >= rangeOffsets.size())
        return LX2_E_INVALID_PARAM;
    rangeOffsets[record.depthMode] = record;
    return LX2_OK;
}

// The request is 4 bytes with the depth mode first; the answer is the mode's values.
SdkStatus DeviceState::getHtp(const Row &, uint8_t *buffer, int32_t *length) const
{
    const uint8_t mode = buffer[0];
    if (mode >= htp.size())
        return LX2_E_INVALID_PARAM;
    std::memcpy(buffer, htp[mode].values, sizeof htp[mode].values);
    *length = int32_t(sizeof htp[mode].values);
    return LX2_OK;
}

SdkStatus DeviceState::setHtp(const Row &, const uint8_t *bytes)
{
    const auto record = takeRecord<HtpRecord>(bytes);
    if (record.depthMode >= htp.size())
        return LX2_E_INVALID_PARAM;
    htp[record.depthMode] = record;
    return LX2_OK;
}

SdkStatus DeviceState::getOffset(const Row &, uint8_t *buffer, int32_t *length) const
{
    const uint8_t mode = buffer[0], position = buffer[1];
    if (mode >= offsets.size() || position >= offsets[mode].size())
        return LX2_E_INVALID_PARAM;
    putRecord(buffer, length, offsets[mode][position]);
    return LX2_OK;
}

SdkStatus DeviceState::setOffset(const Row &, const uint8_t *bytes)
{
    const auto record = takeRecord<OffsetRecord>(bytes);
    if (record.depthMode >= offsets.size() || record.position >= offsets[record.depthMode].size())
        return LX2_E_INVALID_PARAM;
    offsets[record.depthMode][record.position] = record;
    return LX2_OK;
}

SdkStatus DeviceState::getMaxDepth(const Row &, uint8_t *buffer, int32_t *length) const
{
    if (buffer[0] >= ranges.size())
        return LX2_E_INVALID_PARAM;
    putRecord(buffer, length, measuringRange(buffer[0]));
    return LX2_OK;
}

SdkStatus DeviceState::setMaxDepth(const Row &, const uint8_t *bytes)
{
    const auto r = takeRecord<MeasuringRange>(bytes);
    if (r.depthMode >= ranges.size())
        return LX2_E_INVALID_PARAM;
    for (int k = 0; k < 3; ++k) {
        ranges[r.depthMode].depthMax[k] = r.depthMax[k];
        ranges[r.depthMode].effectiveMax[k] = r.effectiveMax[k];
        ranges[r.depthMode].effectiveMin[k] = r.effectiveMin[k];
    }
    return LX2_OK;
}

SdkStatus DeviceState::getCalibration(const Row &, uint8_t *buffer, int32_t *length) const
{
    CalibrationBlock block = takeRecord<CalibrationBlock>(buffer);
    if (block.selector >= calibBlocks.size())
        return LX2_E_INVALID_PARAM;
    std::memcpy(block.data, calibBlocks[block.selector].data(), sizeof block.data);
    putRecord(buffer, length, block);
    return LX2_OK;
}

SdkStatus DeviceState::setCalibration(const Row &, const uint8_t *bytes)
{
    const auto block = takeRecord<CalibrationBlock>(bytes);
    if (block.selector >= calibBlocks.size())
        return LX2_E_INVALID_PARAM;
    std::memcpy(calibBlocks[block.selector].data(), block.data, sizeof block.data);
    rebuildCalibration();
    return LX2_OK;
}

// The one-byte data mode property is the stream's data mode.
SdkStatus DeviceState::getDataModeProperty(const Row &, uint8_t *buffer, int32_t *length) const
{
    putRecord(buffer, length, uint8_t(settings.dataMode));
    return LX2_OK;
}

SdkStatus DeviceState::setDataModeProperty(const Row &, const uint8_t *bytes)
{
    return setDataMode(bytes[0]);
}

SdkStatus DeviceState::setRgbResolution(const Row &, const uint8_t *bytes)
{
    if (!cfg.hasColour)
        return LX2_E_NOT_SUPPORTED;
    const auto mode = takeRecord<SdkFrameMode>(bytes);
    if (mode.sensor != PropertyTable::rgbResolutionRecord(0).sensor)
        return LX2_E_INVALID_PARAM;
    for (int i = 0; i < PropertyTable::rgbResolutionCount; ++i) {
        int w, h;
        rgbResolutionSize(i, w, h);
        if (mode.width == w && mode.height == h && w <= cfg.colourWidth && h <= cfg.colourHeight) {
            settings.rgbResolution = i;
            return LX2_OK;
        }
    }
    return LX2_E_NOT_SUPPORTED;
}

// A read gets every range's count and the current range's first; a write sets one range's.
SdkStatus DeviceState::getPulseCount(const Row &, uint8_t *buffer, int32_t *length) const
{
    PulseCountTable table = pulse;
    table.current = pulse.range[settings.depthRange];
    putRecord(buffer, length, table);
    return LX2_OK;
}

SdkStatus DeviceState::setPulseCount(const Row &, const uint8_t *bytes)
{
    int range = 0;
    if (!pulseCountRange(takeRecord<PulseCountSet>(bytes), range))
        return LX2_E_INVALID_PARAM;
    pulse.range[range] = takeRecord<PulseCountSet>(bytes).pulseCount;
    return LX2_OK;
}

// One record per selector (byte 1); an unwritten one reads as zero offsets at 25 degrees.
SdkStatus DeviceState::getImuOffset(const Row &row, uint8_t *buffer, int32_t *length) const
{
    const bool acc = row.id == PropertyTable::AccOffset.id;
    const uint8_t selector = buffer[offsetof(ImuOffset, selector)];
    const auto &table = acc ? accOffsets : gyroOffsets;
    const auto it = table.find(selector);
    putRecord(buffer, length,
              it != table.end() ? it->second : ImuOffset{uint8_t(acc ? 0 : 1), selector, 25, {0, 0, 0}});
    return LX2_OK;
}

SdkStatus DeviceState::setImuOffset(const Row &row, const uint8_t *bytes)
{
    const auto record = takeRecord<ImuOffset>(bytes);
    (row.id == PropertyTable::AccOffset.id ? accOffsets : gyroOffsets)[record.selector] = record;
    return LX2_OK;
}

bool DeviceState::writableRegister(uint16_t address)
{
    return address > 0x0001 && address < registerCount; // chip id and revision are fixed
}

SdkStatus DeviceState::readRegisters(const uint16_t *addresses, uint16_t *values, uint32_t count) const
{
    if (!addresses || !values)
        return LX2_E_NULL_POINTER;
    if (count == 0 || count > 64)
        return LX2_E_INVALID_PARAM;
    for (uint32_t i = 0; i < count; ++i)
        if (addresses[i] >= registerCount)
            return LX2_E_INVALID_PARAM;
    for (uint32_t i = 0; i < count; ++i)
        values[i] = registers[addresses[i]];
    return LX2_OK;
}

// All or nothing: a call naming any address it may not write writes none.
SdkStatus DeviceState::writeRegisters(const uint16_t *addresses, const uint16_t *values, uint32_t count)
{
    if (!addresses || !values)
        return LX2_E_NULL_POINTER;
    if (count == 0 || count > 64)
        return LX2_E_INVALID_PARAM;
    for (uint32_t i = 0; i < count; ++i)
        if (addresses[i] >= registerCount)
            return LX2_E_INVALID_PARAM;
    for (uint32_t i = 0; i < count; ++i)
        if (!writableRegister(addresses[i]))
            return LX2_E_NOT_SUPPORTED;
    for (uint32_t i = 0; i < count; ++i) {
        registers[addresses[i]] = values[i];
        flash.keepRegister(addresses[i], values[i]);
    }
    flash.save();
    return LX2_OK;
}

} // namespace sim
