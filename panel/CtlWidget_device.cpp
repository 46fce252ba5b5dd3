// The panel's device settings: filling it from the camera, data mode, depth range, the Brio
// work mode and the device controls.

#include "camera/Control_Single.h"
#include "camera/SdkTypes.h"
#include "panel/CtlWidget.h"
#include "panel/CtlWidget_common.h"
#include "panel/DepthRanges.h"
#include "pipeline/DisplaySwitches.h"
#include "shell/ToolSettings.h"
#include "ui_CtlWidget.h"

#include <QDebug>
#include <QThread>

#include <cstring>

namespace {

constexpr int wdrDataMode = LX2_DATA_WDR_DEPTH;

// A text property read into a 64-byte buffer with 63 passed as its length; false when the
// camera fails, leaving text as it was.
using TextRead = SdkStatus (Control_Single::*)(char *, int32_t);
bool readText(TextRead read, QString &text)
{
    char buffer[64] = {};
    if ((camera()->*read)(buffer, 63) != 0)
        return false;
    text = QStringLiteral("%1").arg(QString::fromLatin1(buffer, int(strnlen(buffer, sizeof buffer))));
    return true;
}

} // namespace

// ---- filling the panel from the camera ----

void CtlWidget::initOK()
{
    DepthRangeIndex cameraRange = 0; // Range0 when the camera cannot say
    (void)camera()->getDepthRange(&cameraRange);
    fillFromCamera(cameraRange);
}

// cameraRange is the camera's own range, read before anything rebuilt the range list.
void CtlWidget::fillFromCamera(int cameraRange)
{
    ui->checkBox_wdrstyle->setEnabled(false);
    fillDepthRangeList(ToolSettings::getInstance().userType());
    selectCameraRange(cameraRange);
    applyRangeLimits(selectedRangeIndex());
    if (camera()->getDeviceType() != Brio)
        GetDataMode();
    readFrameModes();
    ui->rgbResolutionComb->setCurrentIndex(camera()->getRGBResolution());

    Control_Single *c = camera();
    ui->IrDistortion->setChecked(c->getIrDistortionCorrectionEnabled() != 0);
    ui->RGBDistortion->setChecked(c->getRGBDistortionCorrectionEnabled() != 0);
    ui->DepthDistortion->setChecked(c->getDepthDistortionCorrectionEnabled() != 0);
    ui->ComputeRealDepth->setChecked(c->getComputeRealDepthCorrectionEnabled() != 0);
    ui->TimeFilter->setChecked(c->getTimeFilterEnabled() != 0);
    ui->SpatialFilter->setChecked(c->getSpatialFilterEnabled() != 0);
    ui->Mapper_DepthToRGB->setChecked(c->getMapperEnabledDepthToRGB() != 0);
    ui->Mapper_RGBToDepth->setChecked(c->getMapperEnabledRGBToDepth() != 0);
    ui->Mapper_RGBToIR->setChecked(c->getMapperEnabledRGBToIR() != 0);

    SlotRefreshUSBStatus();
    ui->Synchronize->setChecked(c->getSynchronizeEnabled() != 0);
    ui->spinBox_BG->setValue(c->getThreshold());
}

// Rebuilding the list re-applies ranges through SetDepthRange until selectCameraRange puts
// back the camera's own, read before.
void CtlWidget::fillDepthRangeList(int userType)
{
    MeasuringRange modes[3];
    for (int m = 0; m < 3; ++m) {
        std::memset(&modes[m], 0, sizeof modes[m]);
        modes[m].depthMode = uint8_t(m);
        if (camera()->getMaxDepth(&modes[m]) != 0) {
            std::memset(&modes[m], 0, sizeof modes[m]); // unread ranges count as uncalibrated
            modes[m].depthMode = uint8_t(m);
        }
    }
    const bool fullUser = userType == 255;
    const QVector<DepthRanges::Entry> entries = DepthRanges::entries(modes, fullUser);
    QComboBox *list = ui->depRangeComBox;
    if (fullUser && list->count() == entries.size()) {
        for (int i = 0; i < entries.size(); ++i)
            list->setItemText(i, entries.at(i).label);
        return;
    }
    list->clear();
    for (const DepthRanges::Entry &entry : entries)
        list->addItem(entry.label);
}

void CtlWidget::selectCameraRange(int range)
{
    const QString wanted = QStringLiteral("Range%1").arg(range);
    for (int i = 0; i < ui->depRangeComBox->count(); ++i)
        if (ui->depRangeComBox->itemText(i).contains(wanted))
            ui->depRangeComBox->setCurrentIndex(i);
}

int CtlWidget::selectedRangeIndex() const
{
    return DepthRanges::rangeOfLabel(ui->depRangeComBox->currentText());
}

// The colour-map limits and the largest accepted depth of a range; unchanged when the
// camera cannot say.
void CtlWidget::applyRangeLimits(int range)
{
    MeasuringRange record{};
    if (camera()->getMeasuringRange(range, &record) != 0)
        return;
    DisplaySwitches &sw = DisplaySwitches::instance();
    sw.currentMeasuringRange = record;
    const DepthRanges::Limits limits = DepthRanges::limitsOf(record, range);
    sw.colourMapMin = limits.colourMapMin;
    sw.colourMapMax = limits.colourMapMax;
    sw.rangeMaxDepth = limits.maxDepth;
    ui->spinBox_Slope_max->setValue(sw.colourMapMax);
    ui->spinBox_Slope_min->setValue(sw.colourMapMin);
}

// A failed read keeps the mode read before.
void CtlWidget::readFrameModes()
{
    (void)camera()->getDepthFrameMode(&m_depthFrameMode);
    (void)camera()->getIrFrameMode(&m_irFrameMode);
    (void)camera()->getRgbFrameMode(&m_rgbFrameMode);
}

// ---- data mode and depth range ----

void CtlWidget::GetDataMode()
{
    uint8_t mode = 0;
    if (camera()->getDataModeProperty(&mode) != 0)
        return;
    DisplaySwitches::instance().currentDataMode = mode;
    const int index = DataModeTable::indexForValue(camera()->getDeviceType(), mode, ui->dataModeComBox->count());
    if (index >= 0)
        ui->dataModeComBox->setCurrentIndex(index);
    else // selecting nothing would write data mode 0: the list keeps its entry
        qDebug() << "GetDataMode: no list entry for data mode" << mode;
    applyDataModeToggles(mode);
}

void CtlWidget::SetDataMode(int index)
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    const int value = DataModeTable::valueForIndex(camera()->getDeviceType(), index);
    sw.currentDataMode = value;
    const SdkStatus status = camera()->setDataModeProperty(uint8_t(value));
    qDebug() << QStringLiteral("SetDataMode index:%1  status:%2").arg(index).arg(status);
    if (status != 0)
        return;
    sw.appliedDataMode = value;
    if (value == wdrDataMode) {
        enterWdr();
    } else {
        ui->depRangeComBox->setEnabled(true);
        ui->depRangeComBox->setCurrentIndex(0);
        SetDepthRange(0);
        ui->checkBox_wdrstyle->setEnabled(false);
    }
    applyDataModeToggles(sw.currentDataMode);
    readFrameModes();
}

// The WDR mode spans the configured ranges: the colour map runs from the nearest range's
// lower end to the farthest range's upper end.
void CtlWidget::enterWdr()
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    ui->checkBox_wdrstyle->setEnabled(true);
    QThread::msleep(100); // the camera needs a moment in the new mode; a short stall beats re-entering the event loop
    (void)camera()->setWDROutputMode(&m_wdrMode);
    ui->depRangeComBox->setEnabled(false);

    uint32_t farRange = 0;
    if (m_wdrMode.totalRange == 2)
        farRange = m_wdrMode.range2;
    else if (m_wdrMode.totalRange == 3)
        farRange = m_wdrMode.range3;
    if (farRange == 0)
        return;
    MeasuringRange record{};
    if (camera()->getMeasuringRange(int(m_wdrMode.range1), &record) == 0) {
        sw.currentMeasuringRange = record;
        sw.colourMapMin = DepthRanges::limitsOf(record, int(m_wdrMode.range1)).colourMapMin;
    }
    if (camera()->getMeasuringRange(int(farRange), &record) == 0) {
        sw.currentMeasuringRange = record;
        const DepthRanges::Limits limits = DepthRanges::limitsOf(record, int(farRange));
        sw.colourMapMax = limits.colourMapMax;
        sw.rangeMaxDepth = limits.maxDepth;
    }
    ui->spinBox_Slope_max->setValue(sw.colourMapMax);
    ui->spinBox_Slope_min->setValue(sw.colourMapMin);
}

void CtlWidget::applyDataModeToggles(int value)
{
    const DataModeTable::Steps steps = DataModeTable::togglesFor(value, ToolSettings::getInstance().userType());
    QCheckBox *const boxes[DataModeTable::ToggleCount] = {
        ui->checkBox_ir,       ui->checkBox_rgb,   ui->checkBox_depth, ui->Mapper_DepthToRGB,
        ui->Mapper_RGBToDepth, ui->Mapper_RGBToIR, ui->checkBox_3DMap, ui->PointCloud};
    for (int i = 0; i < DataModeTable::ToggleCount; ++i)
        applyToggleStep(boxes[i], steps[size_t(i)]);
}

void CtlWidget::applyToggleStep(QCheckBox *box, DataModeTable::Step step)
{
    using DataModeTable::Step;
    switch (step) {
    case Step::Keep:
        break;
    case Step::Enable:
        box->setEnabled(true);
        break;
    case Step::EnableCheck:
        box->setEnabled(true);
        box->setChecked(true);
        break;
    case Step::DisableUncheck:
        box->setEnabled(false);
        box->setChecked(false);
        break;
    }
}

void CtlWidget::SetDepthRange(int)
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    const int range = selectedRangeIndex();
    sw.currentRangeIndex = range;
    if (sw.appliedDataMode == wdrDataMode)
        return; // the WDR mode chooses its own ranges
    if (camera()->setDepthRange(range) != 0)
        return;
    applyRangeLimits(range);
}

// ---- the Brio work mode ----

void CtlWidget::SetWorkMode_T(int index)
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    sw.stopSave();
    ui->SaveImage->setChecked(false);

    const auto allShowSwitchesOffBut = [&sw](bool rgb) {
        sw.showRgb = rgb;
        sw.showDepth = false;
        sw.showIr = false;
        sw.showMappedRgb = false;
        sw.showMappedDepth = false;
        sw.showMappedIr = false;
        sw.showPointCloud = false;
    };
    if (index == 0) {
        ui->checkBox_rgbaecenabled->setEnabled(true);
        ui->checkBox_rgbaecenabled->setChecked(true);
        ui->checkBox_depthenabled->setEnabled(true);
        ui->PointCloud->setEnabled(true);
        ui->checkBox_3DMap->setEnabled(true);
        ui->checkBox_depthenabled->setChecked(true);
        ui->checkBox_rgbenabled->setChecked(true);
        allShowSwitchesOffBut(true);
        sw.showMappedDepth = true;
        sw.showMappedIr = true;
        ui->rgbResolutionComb_2->setCurrentIndex(2);
    } else if (index == 1) {
        ui->checkBox_rgbaecenabled->setEnabled(true);
        ui->checkBox_rgbaecenabled->setChecked(true);
        ui->PointCloud->setEnabled(false);
        ui->checkBox_3DMap->setEnabled(false);
        ui->checkBox_depthenabled->setEnabled(true);
        ui->checkBox_depthenabled->setChecked(false);
        ui->checkBox_rgbenabled->setChecked(true);
        allShowSwitchesOffBut(true);
        ui->rgbResolutionComb_2->setCurrentIndex(2);
        ui->PointCloud->setChecked(false);
        ui->checkBox_3DMap->setChecked(false);
    } else if (index == 2) {
        for (QCheckBox *box :
             {ui->checkBox_rgbaecenabled, ui->checkBox_depthenabled, ui->PointCloud, ui->checkBox_3DMap})
            box->setEnabled(false);
        ui->checkBox_depthenabled->setChecked(false);
        ui->checkBox_rgbenabled->setChecked(false);
        allShowSwitchesOffBut(false);
    }
    (void)camera()->setDataMode(index + LX2_DATA_WORK_DEPTH_IR_15_RGB_30);
}

// ---- device controls ----

void CtlWidget::SetMirror(int index)
{
    (void)camera()->setImageMirror(index);
}

void CtlWidget::SetRgbResolution(int index)
{
    (void)camera()->setRGBResolution(index);
    (void)camera()->getRgbFrameMode(&m_rgbFrameMode);
    emit sglreFlash();
}

void CtlWidget::DepthEnabled(int state)
{
    const bool on = isChecked(state);
    (void)camera()->setDepthFrameEnabled(on);
    (void)camera()->setIrFrameEnabled(on);
    DisplaySwitches::instance().showMappedDepth = on;
    DisplaySwitches::instance().showMappedIr = on;
}

void CtlWidget::IREnabled(int state)
{
    (void)camera()->setIrFrameEnabled(isChecked(state));
}

void CtlWidget::RGBEnabled(int state)
{
    (void)camera()->setRgbFrameEnabled(isChecked(state));
    DisplaySwitches::instance().showRgb = isChecked(state);
}

// The manual exposure controls are out of reach while the camera controls its exposure.
void CtlWidget::RGBAecEnabled(int state)
{
    const bool on = isChecked(state);
    ui->pushButton_Tset->setEnabled(!on);
    ui->doubleSpinBox_exploretime->setEnabled(!on);
    ui->doubleSpinBox_gain->setEnabled(!on);
    (void)camera()->setRgbAecEnabled(on);
}

void CtlWidget::TofAecEnabled(int state)
{
    (void)camera()->setTofAecEnabled(isChecked(state));
}

void CtlWidget::on_pushButton_Tset_clicked()
{
    (void)camera()->setRgbExplosureTimeAndGain(float(ui->doubleSpinBox_exploretime->value()),
                                               float(ui->doubleSpinBox_gain->value()));
}

void CtlWidget::BGvalueChanged(int value)
{
    (void)camera()->setThreshold(value);
}

void CtlWidget::SlaveModeStateChanged(int state)
{
    (void)camera()->setSlaveModeEnabled(isChecked(state));
}

void CtlWidget::SynchronizeStateChanged(int state)
{
    (void)camera()->setSynchronizeEnabled(isChecked(state));
}

void CtlWidget::AntiInterferenceStateChanged(int state)
{
    (void)camera()->setAntiInterferenceEnabled(isChecked(state));
}

void CtlWidget::DSPStateChanged(int state)
{
    (void)camera()->setDSPEnabled(isChecked(state));
}

void CtlWidget::LowPowerModeStateChanged(int state)
{
    (void)camera()->setLowPowerModeEnabled(isChecked(state));
}

void CtlWidget::IR_BGStateChanged(int state)
{
    (void)camera()->setIR_S2_Enable(isChecked(state) ? 1u : 0u); // two bytes: the switch, then 0
}

void CtlWidget::onISAStateChanged(int state)
{
    (void)camera()->setISA(isChecked(state));
}

void CtlWidget::onTALStateChanged(int state)
{
    (void)camera()->setTALSwitch(isChecked(state));
}

void CtlWidget::on_pushButton_get_clicked()
{
    uint32_t pulseCount = 0;
    if (camera()->getPulseCount(&pulseCount) == 0)
        ui->spinBox_PulseCount->setValue(int(pulseCount & 0xFFFFu));
    uint16_t gain = 0;
    if (camera()->getGmmGain(&gain) == 0)
        ui->spinBox_GmmGain->setValue(gain);
}

void CtlWidget::on_pushButton_set_clicked()
{
    const int pulseCount = ui->spinBox_PulseCount->value();
    const int gain = ui->spinBox_GmmGain->value();
    if (pulseCount == 0 && gain == 0)
        return;
    const int range = selectedRangeIndex();
    const PulseCountSet record{uint16_t(pulseCount), uint8_t(range < 3 ? 0 : range < 6 ? 1 : 2), uint8_t(range), 0};
    (void)camera()->setPulseCount(&record);
    (void)camera()->setGmmGain(uint32_t(uint16_t(gain))); // three bytes: the gain, then 0
}

void CtlWidget::SlotRefreshUSBStatus()
{
    QString text;
    if (readText(&Control_Single::getSN, text))
        ui->lineEdit_sn->setText(text);
    if (readText(&Control_Single::getFWVer, text))
        ui->lineEdit_fw->setText(text);
    if (readText(&Control_Single::getFlashType, text))
        ui->lineEdit_flashtype->setText(text);
}

// After a loader upgrade the frame reader asks for the new device information.
void CtlWidget::SlotRefreshRGB()
{
    if (DisplaySwitches::instance().refreshRequest == 0)
        SlotRefreshUSBStatus();
}
