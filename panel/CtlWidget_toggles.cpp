// The view and processing toggles. Each plain image and its mapped partner exclude each
// other.

#include "camera/Control_Single.h"
#include "camera/SdkTypes.h"
#include "panel/CtlWidget.h"
#include "panel/CtlWidget_common.h"
#include "pipeline/DisplaySwitches.h"
#include "ui_CtlWidget.h"

namespace {

// One image of an exclusive pair: checking it unchecks its partner through the partner's
// own slot, whose unchecked branch touches nothing else.
void showExclusive(int state, Shared<bool> &shown, const Shared<bool> &partnerShown, QCheckBox *partner)
{
    shown = isChecked(state);
    if (isChecked(state) && partnerShown)
        partner->setChecked(false);
}

} // namespace

// ---- views ----

void CtlWidget::PointCloudStateChanged(int state)
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    sw.showPointCloud = isChecked(state);
    if (!isChecked(state)) {
        if (sw.pointCloudRgb)
            ui->checkBox_3DMap->setChecked(false);
        if (ui->Mapper_DepthToRGB->isChecked())
            ui->Mapper_DepthToRGB->setChecked(false);
    }
    // The point cloud is coloured from the colour image mapped onto depth.
    (void)camera()->setMapperEnabledDepthToRGB(sw.showPointCloud);
    emit sglPointCloud(state);
    emit sglreFlash();
}

void CtlWidget::MapStateChanged(int state)
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    if (isChecked(state)) {
        sw.pointCloudRgb = true;
        if (!sw.showPointCloud)
            ui->PointCloud->setChecked(true);
    } else {
        sw.pointCloudRgb = false;
    }
}

void CtlWidget::RGBImageStateChanged(int state)
{
    if (isCimaGroup(camera()->getDeviceType()))
        return; // no colour sensor
    DisplaySwitches &sw = DisplaySwitches::instance();
    showExclusive(state, sw.showRgb, sw.showMappedRgb, ui->Mapper_DepthToRGB);
    emit sglreFlash();
}

void CtlWidget::DepthImageStateChanged(int state)
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    showExclusive(state, sw.showDepth, sw.showMappedDepth, ui->Mapper_RGBToDepth);
    emit sglreFlash();
}

void CtlWidget::IrImageStateChanged(int state)
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    showExclusive(state, sw.showIr, sw.showMappedIr, ui->Mapper_RGBToIR);
    emit sglreFlash();
}

void CtlWidget::Mapper_DepthToRGBStateChanged(int state)
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    showExclusive(state, sw.showMappedRgb, sw.showRgb, ui->checkBox_rgb);
    if (!sw.pointCloudRgb) // the coloured point cloud needs the mapper whatever this box says
        (void)camera()->setMapperEnabledDepthToRGB(isChecked(state));
    emit sglreFlash();
}

void CtlWidget::Mapper_RGBToDepthStateChanged(int state)
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    showExclusive(state, sw.showMappedDepth, sw.showDepth, ui->checkBox_depth);
    (void)camera()->setMapperEnabledRGBToDepth(isChecked(state));
    emit sglreFlash();
}

void CtlWidget::Mapper_RGBToIRStateChanged(int state)
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    showExclusive(state, sw.showMappedIr, sw.showIr, ui->checkBox_ir);
    (void)camera()->setMapperEnabledRGBToIR(isChecked(state));
    emit sglreFlash();
}

void CtlWidget::WDRstyleStateChanged(int state)
{
    DisplaySwitches::instance().wdrStyle = isChecked(state) ? 1 : 0;
    (void)camera()->setWDRStyle(isChecked(state));
}

// ---- corrections and filters ----

void CtlWidget::RGBDistortionStateChanged(int state)
{
    (void)camera()->setRGBDistortionCorrectionEnabled(isChecked(state));
}

void CtlWidget::DepthDistortionStateChanged(int state)
{
    (void)camera()->setDepthDistortionCorrectionEnabled(isChecked(state));
}

void CtlWidget::IrDistortionStateChanged(int state)
{
    (void)camera()->setIrDistortionCorrectionEnabled(isChecked(state));
}

void CtlWidget::ComputeRealDepthStateChanged(int state)
{
    (void)camera()->setComputeRealDepthCorrectionEnabled(isChecked(state));
}

void CtlWidget::TimeFilterStateChanged(int state)
{
    (void)camera()->setTimeFilterEnabled(isChecked(state));
}

void CtlWidget::SpatialFilterStateChanged(int state)
{
    (void)camera()->setSpatialFilterEnabled(isChecked(state));
}

void CtlWidget::BlackBGStateChanged(int state)
{
    DisplaySwitches::instance().blackBackground = isChecked(state);
}

// Sets the corrections, filters and black background together; it does not follow later
// changes of the single boxes.
void CtlWidget::AllStateChanged(int state)
{
    for (QCheckBox *box : {ui->IrDistortion, ui->RGBDistortion, ui->DepthDistortion, ui->ComputeRealDepth,
                           ui->TimeFilter, ui->SpatialFilter, ui->checkBox_BlackBG})
        box->setChecked(isChecked(state));
}

// ---- colour map and measurement ----

void CtlWidget::on_spinBox_Slope_max_valueChanged(int value)
{
    DisplaySwitches::instance().colourMapMax = value;
}

void CtlWidget::on_spinBox_Slope_min_valueChanged(int value)
{
    DisplaySwitches::instance().colourMapMin = value;
}

void CtlWidget::MeasureStateChanged(int state)
{
    DisplaySwitches::instance().measureOn = isChecked(state);
}

void CtlWidget::on_spinBox_window_valueChanged(int)
{
    emit sglresetCyckeQueue(ui->spinBox_window->value(), ui->spinBox_period->value());
}

void CtlWidget::on_spinBox_period_valueChanged(int)
{
    emit sglresetCyckeQueue(ui->spinBox_window->value(), ui->spinBox_period->value());
}
