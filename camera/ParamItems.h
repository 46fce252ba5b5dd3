#pragma once

#include "camera/SdkTypes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class Control_Single;

// The camera parameters a user reads and writes as text, one table row per item: its wrapper,
// how many parts a write takes, how each part converts, the number-base rule and the message
// for a wrong count. Text becomes a record only when every part is a number of its field's
// type; a write with any bad part is refused whole, so nothing half-typed reaches the camera.
// No widgets: the panel and the command line share it.
namespace ParamItems {

enum Index {
    DepthIntrinsic,
    DepthDistortion,
    RGBIntrinsic,
    RGBDistortion,
    RotationMat,
    TransferMat,
    EMat,
    FMat,
    PulseCount,
    OffSet,
    HTP,
    MaxDepth,
    SN,
    FWVer,
    HMVer,
    PCBA,
    WorkMode,
    IR_S2_Enable,
    GmmGain,
    GmmParams,
    AccSensitivity,
    GyroSensitivity,
    RegVal,
    AccOffsetTemp,
    GyroOffsetTemp,
    AccOffset,
    GyroOffset,
    LD,
    TAL,
    FlashType,
    TALDelay,
    SNNet,
    MacAddressNet,
    SoftwareVersionNet,
    IP,
    SubNetMask,
    DSP,
    RangeOffset,
    WDRPulseCount,
    DataModeList,
    RangeList,
    count
};

// The item's name as the "Params：" list shows it; empty outside the list.
QString name(int index);
// The index of the item of that name (any case); -1 for none.
int indexOf(const QString &name);
bool writable(int index);

// What the page's other controls say when an item is read or written.
struct Selectors
{
    int depthMode = 0;  // "Depth Mode："
    int depthRange = 0; // "Depth Range："
    QString boxText;    // the AccOffset and GyroOffset reads take their selector from it
};

// A record as the camera reads or writes it.
using Record = QByteArray;

// The text split at commas and runs of white space, empty parts dropped.
QStringList split(const QString &text);

// ---- pure: text <-> records ----

// The values of a record read for index, each in the item's format.
QStringList values(int index, const Record &record);
// The text the page shows for a record read for index.
QString show(int index, const Record &record);

// A write's record, or the text of the "Waring" box that refuses it. current is the
// camera's record for the items whose parts do not cover every stored byte (the parts are laid
// over it); null for the others.
struct Built
{
    std::optional<QString> refusal;
    Record record;
};
Built build(int index, const QString &text, const Selectors &selectors, const Record *current = nullptr);

// Register pairs or addresses from the text; parts are hexadecimal when the first has "0x".
struct Registers
{
    std::optional<QString> refusal;
    std::vector<uint16_t> addresses, values;
};
Registers registerWrite(const QString &text);
Registers registerRead(const QString &text);
// One line per register: "0x001a, 0x0003".
QString showRegisters(const std::vector<uint16_t> &addresses, const std::vector<uint16_t> &values);

// ---- through the camera ----

// The item's record; on a nonzero status the record is empty.
SdkStatus readRecord(Control_Single &camera, int index, const Selectors &selectors, Record &record);

struct ReadResult
{
    SdkStatus status = LX2_E_INVALID_PARAM;
    std::optional<QString> refusal; // register reads refuse a bad address list
    QString text;                   // the text to show when status is 0
};
ReadResult read(Control_Single &camera, int index, const Selectors &selectors);

struct WriteResult
{
    std::optional<QString> refusal; // the text was refused ("Waring"); nothing was written
    std::optional<QString> failure; // the camera refused or could not be read ("Warning")
    SdkStatus status = LX2_OK;      // the camera's answer
};
WriteResult write(Control_Single &camera, int index, const QString &text, const Selectors &selectors);

} // namespace ParamItems
