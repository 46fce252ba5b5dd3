#pragma once

#include "sim/camera/Geometry.h"

#include "camera/sdk/quillon_types.h"

#include <array>
#include <string>
#include <vector>

namespace sim {

// What a camera model can do.
struct ModelInfo
{
    const char *name;
    int32_t code;
    bool hasColour;
    bool network;               // ":"-separated uri
    std::vector<int> dataModes; // the first is the start-up mode
};

const ModelInfo *modelByName(const std::string &name);
const ModelInfo *modelByCode(int32_t code);

struct RangeSet
{
    std::array<uint16_t, 3> depthMax{}, effectiveMax{}, effectiveMin{};
};

// One virtual camera as configured.
struct DeviceConfig
{
    std::string section;
    const ModelInfo *model = nullptr;
    int32_t type = 0; // reported model code; 0 lists a record that is no device
    std::string uri, serial, firmware, hardware, pcba, flashType, mac, ip, subnetMask;
    uint16_t vendorId = 0x2bc5, productId = 0;
    int depthWidth = 640, depthHeight = 480;
    bool hasColour = true;
    int colourWidth = 1920, colourHeight = 1080; // native colour resolution
    int rgbResolution = 0;                       // start-up index 0..3
    int fps = 30;
    int dataMode = 0;
    int depthRange = 0;               // the near range holds the table-top room
    std::array<RangeSet, 3> ranges{}; // per depth mode
    Calibration calibration;
    bool spatialFilter = false, timeFilter = false;
    bool mapDepthToRgb = false, mapRgbToDepth = false, mapRgbToIr = false;
    bool factoryReset = false; // forget the flash file when the SDK starts
    // A folder of saved frame sets played back instead of the room (empty: the room).
    std::string replay;
    std::string configFolder; // where a relative replay folder starts
    // Network models: where a firmware fetch goes when the hand-over text is empty.
    std::string tftpServer = "127.0.0.1:69", tftpFile = "firmware.img";
    // faults
    int dropEvery = 0;             // every Nth frame set is lost
    long unplugAfterFrames = 0;    // the camera disappears after N frame sets
    double replugAfterSeconds = 0; // ... and comes back after this long (0: never)
    std::vector<uint32_t> failPropertyReads;
    int32_t failPropertyStatus = LX2_E_FAILED;
    int upgradeFailAtStage = 0;    // the SDK upgrade reports -1 at this stage
    long tftpDropEvery = 0;        // the firmware fetch ignores every Nth DATA
    long tftpStallAfterBlocks = 0; // ... or answers nothing more after N blocks
    // The USB loader's flash, by sector (-1: never): the write covering the sector fails, stores
    // it with one bit flipped, or loses the device.
    int64_t loaderFailWriteAtSector = -1;
    int64_t loaderFlipBitAtSector = -1;
    int64_t loaderLoseAtSector = -1;
};

// A call fault: Lx2_<name> returns `status` always, for its next N calls, or after N calls.
struct FaultRule
{
    enum Mode { Always, Times, After };
    std::string function;
    int32_t status = LX2_E_FAILED;
    Mode mode = Always;
    long count = 0;
};

struct SimConfig
{
    std::string source; // file path, or "built-in"
    std::vector<DeviceConfig> devices;
    std::vector<FaultRule> faults;
    int frameTimeoutMs = 200;      // longest wait of Lx2_ReadNextFrame beyond the frame period
    int rebootMs = 4000;           // how long a camera is away after an upgrade
    int upgradeStepMs = 150;       // time between two upgrade progress reports
    int tftpWaitSeconds = 60;      // how long a network camera asks for its firmware while no server answers
    bool loaderRefuseInit = false; // the USB flashing library refuses to initialise

    // $QUILLON_SIM_CONFIG, else quillon_sim.ini beside the program, else the built-in set.
    // A mistake gives "<file>:<line>: <reason>", or "<file>: <reason>" for a file that cannot
    // be used.
    static bool load(SimConfig &out, std::string &error);
    static bool parse(const std::string &text, const std::string &source, SimConfig &out, std::string &error);
    static SimConfig builtIn();
};

} // namespace sim
