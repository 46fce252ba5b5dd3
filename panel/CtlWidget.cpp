#include "panel/CtlWidget.h"

#include "camera/CameraIdentity.h"
#include "camera/Control_Single.h"
#include "camera/SdkTypes.h"
#include "panel/BrioWorkModes.h"
#include "panel/CameraSwitches.h"
#include "panel/DataModeTable.h"
#include "panel/DepthRanges.h"
#include "panel/FormRules.h"
#include "panel/ImageSaving.h"
#include "panel/ParamPage.h"
#include "panel/ProgramExit.h"
#include "panel/PulseAndGain.h"
#include "panel/RangeLimits.h"
#include "panel/ReportSaving.h"
#include "panel/ShownImages.h"
#include "panel/UpgradeEntry.h"
#include "pipeline/DisplaySwitches.h"
#include "shell/MessageBoxes.h"
#include "shell/ToolSettings.h"
#include "ui_CtlWidget.h"
#include "upgrade/UpdateDesc.h"

#include <QCloseEvent>
#include <QDebug>
#include <QKeyEvent>
#include <QThread>

namespace {

constexpr int wdrDataMode = LX2_DATA_WDR_DEPTH;

Control_Single *camera()
{
    return Control_Single::getInstance();
}

DisplaySwitches &switches()
{
    return DisplaySwitches::instance();
}

// A check box's state argument: only Qt::Checked counts as on.
bool isChecked(int state)
{
    return state == Qt::Checked;
}

int userType()
{
    return ToolSettings::getInstance().userType();
}

} // namespace

CtlWidget::CtlWidget(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::CtlWidget>())
{
    ui->setupUi(this); // joins the on_<object>_<signal> slots by name
    connectControls();
    m_loaderDialog = new UpdateDesc(this);
}

CtlWidget::~CtlWidget() = default;

std::array<std::pair<QComboBox *, CtlWidget::Slot>, 7> CtlWidget::comboSlots() const
{
    return {{{ui->comboBox_workmode, &CtlWidget::SetWorkMode_T},
             {ui->comboBox_mirror, &CtlWidget::SetMirror},
             {ui->rgbResolutionComb_2, &CtlWidget::SetRgbResolution},
             {ui->rgbResolutionComb, &CtlWidget::SetRgbResolution},
             {ui->depRangeComBox, &CtlWidget::SetDepthRange},
             {ui->dataModeComBox, &CtlWidget::SetDataMode},
             {ui->paramsCombox, &CtlWidget::ChgProperty}}};
}

void CtlWidget::connectControls()
{
    for (const auto &[combo, slot] : comboSlots())
        connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, slot);

    const std::pair<QCheckBox *, Slot> boxes[] = {
        {ui->ISAcheckBox, &CtlWidget::onISAStateChanged},
        {ui->TALcheckBox, &CtlWidget::onTALStateChanged},
        {ui->Mapper_DepthToRGB, &CtlWidget::Mapper_DepthToRGBStateChanged},
        {ui->Mapper_RGBToDepth, &CtlWidget::Mapper_RGBToDepthStateChanged},
        {ui->Mapper_RGBToIR, &CtlWidget::Mapper_RGBToIRStateChanged},
        {ui->Synchronize, &CtlWidget::SynchronizeStateChanged},
        {ui->PointCloud, &CtlWidget::PointCloudStateChanged},
        {ui->DepthDistortion, &CtlWidget::DepthDistortionStateChanged},
        {ui->IrDistortion, &CtlWidget::IrDistortionStateChanged},
        {ui->RGBDistortion, &CtlWidget::RGBDistortionStateChanged},
        {ui->checkBox_depth, &CtlWidget::DepthImageStateChanged},
        {ui->checkBox_ir, &CtlWidget::IrImageStateChanged},
        {ui->checkBox_rgb, &CtlWidget::RGBImageStateChanged},
        {ui->SpatialFilter, &CtlWidget::SpatialFilterStateChanged},
        {ui->TimeFilter, &CtlWidget::TimeFilterStateChanged},
        {ui->LowPowerMode, &CtlWidget::LowPowerModeStateChanged},
        {ui->ComputeRealDepth, &CtlWidget::ComputeRealDepthStateChanged},
        {ui->SaveImage, &CtlWidget::SaveImageStateChanged},
        {ui->checkBox_AntiInterference, &CtlWidget::AntiInterferenceStateChanged},
        {ui->checkBox_3DMap, &CtlWidget::MapStateChanged},
        {ui->checkBox_All, &CtlWidget::AllStateChanged},
        {ui->SlaveMode, &CtlWidget::SlaveModeStateChanged},
        {ui->checkBox_wdrstyle, &CtlWidget::WDRstyleStateChanged},
        {ui->checkBox_IR_BG, &CtlWidget::IR_BGStateChanged},
        {ui->checkBox_BlackBG, &CtlWidget::BlackBGStateChanged},
        {ui->checkBox_measure, &CtlWidget::MeasureStateChanged},
        {ui->checkBox_depthenabled, &CtlWidget::DepthEnabled},
        {ui->checkBox_irenabled, &CtlWidget::IREnabled},
        {ui->checkBox_rgbenabled, &CtlWidget::RGBEnabled},
        {ui->checkBox_rgbaecenabled, &CtlWidget::RGBAecEnabled},
        {ui->checkBox_tofaecenabled, &CtlWidget::TofAecEnabled},
        {ui->checkBox_dsp, &CtlWidget::DSPStateChanged},
    };
    for (const auto &[box, slot] : boxes)
        connect(box, &QCheckBox::stateChanged, this, slot);

    connect(ui->spinBox_BG, QOverload<int>::of(&QSpinBox::valueChanged), this, &CtlWidget::BGvalueChanged);
    connect(ui->pushButton_update, &QPushButton::clicked, this, &CtlWidget::SlotRefreshUSBStatus);
}

void CtlWidget::setGroupsEnabled(bool enabled, bool includingBrio)
{
    if (includingBrio)
        ui->groupBox_Brio->setEnabled(enabled);
    for (QGroupBox *group :
         {ui->groupBox_COM, ui->groupBox_RW, ui->groupBox_ALGO, ui->groupBox_SHOW, ui->groupBox_SN, ui->groupBox_F})
        group->setEnabled(enabled);
}

// ---- opening and closing ----

void CtlWidget::openCamera()
{
    // Rebuilding the lists writes ranges (and, leaving WDR, the first range) to the camera.
    DepthRangeIndex cameraRange = 0; // Range0 when the camera cannot say
    (void)camera()->getDepthRange(&cameraRange);
    applyModelLayout();
    fillFromCamera(cameraRange);
    setGroupsEnabled(true, false); // the Brio group is enabled by its own layout only
    m_openedWith = PanelSettings::readFrom(*this, camera()->getDeviceType());
    emit sglopenCamera();
}

void CtlWidget::closeCamera()
{
    setGroupsEnabled(false, true);
    if (switches().showPointCloud)
        ui->PointCloud->setChecked(false);
    emit sglcloseCamera();
}

// ---- the layout of a model ----

void CtlWidget::applyModelLayout()
{
    emit sglreFlash();
    const int user = userType();
    FormRules::apply(*this, ModelPresets::commonRow(), user);
    ui->SaveImage->setChecked(false);
    ui->paramsTextEdit->setMaximumBlockCount(1000);

    // Each model's row is applied in full: nothing that the previous camera hid or disabled
    // stays so.
    const int32_t model = camera()->getDeviceType();
    FormRules::apply(*this, ModelPresets::rowFor(model), user);
    const ModelPresets::Start start = ModelPresets::startFor(model);
    if (start.shown)
        ShownImages::show(*start.shown, switches());
    for (const ModelPresets::Selection &selection : start.selections)
        selectAnew(findChild<QComboBox *>(QLatin1String(selection.control)), selection.index);
    FormRules::apply(*this, start.steps);
    if (start.loadsWdr)
        m_wdrMode = RangeLimits::configuredWdr();
    if (start.clearsDepthLimit) {
        switches().rangeMaxDepth = 0;
        switches().currentDataMode = 0;
    }
    // A list left by another model or user level would map its entries onto the wrong modes.
    // Rebuilding it runs SetDataMode(-1) and SetDataMode(0): the camera starts in its first mode.
    const DataModeTable::List list = DataModeTable::listFor(model, user);
    if (!list.items.isEmpty())
        FormRules::fill(*ui->dataModeComBox, list.items,
                        list.keptWhenSame ? FormRules::Fill::KeepWhenSame : FormRules::Fill::Rebuild);
}

// Selects the entry and applies it even when it was selected already.
void CtlWidget::selectAnew(QComboBox *combo, int index)
{
    Q_ASSERT(combo);
    if (!combo)
        return;
    combo->setCurrentIndex(index);
    for (const auto &[joined, slot] : comboSlots())
        if (joined == combo)
            (this->*slot)(index);
}

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
    fillDepthRangeList(userType());
    FormRules::selectContaining(*ui->depRangeComBox, QStringLiteral("Range%1").arg(cameraRange));
    applyRangeLimits(selectedRangeIndex());
    Control_Single *c = camera();
    if (c->getDeviceType() != Brio)
        GetDataMode();
    readFrameModes();
    ui->rgbResolutionComb->setCurrentIndex(c->getRGBResolution());

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

// Rebuilding the list re-applies ranges through SetDepthRange until the camera's own, read
// before, is selected again.
void CtlWidget::fillDepthRangeList(int user)
{
    const bool fullUser = user == 255;
    FormRules::fill(*ui->depRangeComBox, RangeLimits::listLabels(*camera(), fullUser),
                    fullUser ? FormRules::Fill::RelabelSameCount : FormRules::Fill::Rebuild);
}

int CtlWidget::selectedRangeIndex() const
{
    return DepthRanges::rangeOfLabel(ui->depRangeComBox->currentText());
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
    switches().currentDataMode = mode;
    const int index = DataModeTable::indexForValue(camera()->getDeviceType(), mode, ui->dataModeComBox->count());
    if (index >= 0)
        ui->dataModeComBox->setCurrentIndex(index);
    else // selecting nothing would write data mode 0: the list keeps its entry
        qDebug() << "GetDataMode: no list entry for data mode" << mode;
    FormRules::apply(*this, DataModeTable::togglesFor(mode, userType()));
}

void CtlWidget::SetDataMode(int index)
{
    DisplaySwitches &sw = switches();
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
    FormRules::apply(*this, DataModeTable::togglesFor(sw.currentDataMode, userType()));
    readFrameModes();
}

void CtlWidget::SetDepthRange(int)
{
    const int range = selectedRangeIndex();
    switches().currentRangeIndex = range;
    if (switches().appliedDataMode == wdrDataMode)
        return; // the WDR mode chooses its own ranges
    if (camera()->setDepthRange(range) != 0)
        return;
    applyRangeLimits(range);
}

// The colour-map limits and the largest accepted depth of a range; unchanged when the
// camera cannot say.
void CtlWidget::applyRangeLimits(int range)
{
    if (RangeLimits::apply(*camera(), switches(), range))
        showLimits();
}

// The WDR mode takes its configured ranges in turn; the colour map spans them.
void CtlWidget::enterWdr()
{
    ui->checkBox_wdrstyle->setEnabled(true);
    QThread::msleep(100); // the camera needs a moment in the new mode; a short stall beats re-entering the event loop
    (void)camera()->setWDROutputMode(&m_wdrMode);
    ui->depRangeComBox->setEnabled(false);
    if (RangeLimits::applyWdr(*camera(), switches(), m_wdrMode))
        showLimits();
}

void CtlWidget::showLimits()
{
    ui->spinBox_Slope_max->setValue(switches().colourMapMax);
    ui->spinBox_Slope_min->setValue(switches().colourMapMin);
}

// ---- the Brio work mode and device controls ----

void CtlWidget::SetWorkMode_T(int index)
{
    ImageSaving::stop();
    ui->SaveImage->setChecked(false);
    const BrioWorkModes::Row row = BrioWorkModes::rowFor(index);
    FormRules::apply(*this, row.steps);
    if (row.shown)
        ShownImages::show(*row.shown, switches());
    if (row.rgbResolution >= 0)
        ui->rgbResolutionComb_2->setCurrentIndex(row.rgbResolution);
    FormRules::apply(*this, row.afterwards);
    (void)camera()->setDataMode(BrioWorkModes::dataModeOf(index));
}

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

// Check boxes whose whole effect is their camera switch.
#define CAMERA_SWITCH_SLOT(slot, control)                                                                              \
    void CtlWidget::slot(int state)                                                                                    \
    {                                                                                                                  \
        CameraSwitches::write(control, *camera(), isChecked(state));                                                   \
    }

CAMERA_SWITCH_SLOT(IREnabled, "checkBox_irenabled")
CAMERA_SWITCH_SLOT(TofAecEnabled, "checkBox_tofaecenabled")
CAMERA_SWITCH_SLOT(SlaveModeStateChanged, "SlaveMode")
CAMERA_SWITCH_SLOT(SynchronizeStateChanged, "Synchronize")
CAMERA_SWITCH_SLOT(AntiInterferenceStateChanged, "checkBox_AntiInterference")
CAMERA_SWITCH_SLOT(DSPStateChanged, "checkBox_dsp")
CAMERA_SWITCH_SLOT(LowPowerModeStateChanged, "LowPowerMode")
CAMERA_SWITCH_SLOT(IR_BGStateChanged, "checkBox_IR_BG")
CAMERA_SWITCH_SLOT(onISAStateChanged, "ISAcheckBox")
CAMERA_SWITCH_SLOT(onTALStateChanged, "TALcheckBox")
CAMERA_SWITCH_SLOT(RGBDistortionStateChanged, "RGBDistortion")
CAMERA_SWITCH_SLOT(DepthDistortionStateChanged, "DepthDistortion")
CAMERA_SWITCH_SLOT(IrDistortionStateChanged, "IrDistortion")
CAMERA_SWITCH_SLOT(ComputeRealDepthStateChanged, "ComputeRealDepth")
CAMERA_SWITCH_SLOT(TimeFilterStateChanged, "TimeFilter")
CAMERA_SWITCH_SLOT(SpatialFilterStateChanged, "SpatialFilter")

void CtlWidget::DepthEnabled(int state)
{
    CameraSwitches::write("checkBox_depthenabled", *camera(), isChecked(state));
    switches().showMappedDepth = isChecked(state);
    switches().showMappedIr = isChecked(state);
}

void CtlWidget::RGBEnabled(int state)
{
    CameraSwitches::write("checkBox_rgbenabled", *camera(), isChecked(state));
    switches().showRgb = isChecked(state);
}

// The manual exposure controls are out of reach while the camera controls its exposure.
void CtlWidget::RGBAecEnabled(int state)
{
    for (QWidget *control :
         std::initializer_list<QWidget *>{ui->pushButton_Tset, ui->doubleSpinBox_exploretime, ui->doubleSpinBox_gain})
        control->setEnabled(!isChecked(state));
    CameraSwitches::write("checkBox_rgbaecenabled", *camera(), isChecked(state));
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

void CtlWidget::on_pushButton_get_clicked()
{
    const PulseAndGain::Values values = PulseAndGain::read(*camera());
    if (values.pulseCount)
        ui->spinBox_PulseCount->setValue(*values.pulseCount);
    if (values.gmmGain)
        ui->spinBox_GmmGain->setValue(*values.gmmGain);
}

void CtlWidget::on_pushButton_set_clicked()
{
    PulseAndGain::write(*camera(), ui->spinBox_PulseCount->value(), ui->spinBox_GmmGain->value(), selectedRangeIndex());
}

void CtlWidget::SlotRefreshUSBStatus()
{
    if (const std::optional<QString> text = CameraIdentity::serialNumber(*camera()))
        ui->lineEdit_sn->setText(*text);
    if (const std::optional<QString> text = CameraIdentity::firmwareVersion(*camera()))
        ui->lineEdit_fw->setText(*text);
    if (const std::optional<QString> text = CameraIdentity::flashType(*camera()))
        ui->lineEdit_flashtype->setText(*text);
}

// After a loader upgrade the frame reader asks for the new device information.
void CtlWidget::SlotRefreshRGB()
{
    if (switches().refreshRequest == 0)
        SlotRefreshUSBStatus();
}

// ---- views ----

void CtlWidget::showView(ViewToggles::View view, int state)
{
    if (ViewToggles::toggle(view).needsColour && isCimaGroup(camera()->getDeviceType()))
        return; // no colour sensor
    const bool on = isChecked(state);
    // The partner's own slot runs; its unchecked branch touches nothing else.
    if (const std::optional<ViewToggles::View> partner = ViewToggles::show(view, on, switches()))
        findChild<QCheckBox *>(QLatin1String(ViewToggles::toggle(*partner).control))->setChecked(false);
    if (const ViewToggles::Mapper mapper = ViewToggles::mapperFor(view, switches()))
        (void)(camera()->*mapper)(on);
    emit sglreFlash();
}

#define VIEW_SLOT(slot, view)                                                                                          \
    void CtlWidget::slot(int state)                                                                                    \
    {                                                                                                                  \
        showView(ViewToggles::view, state);                                                                            \
    }

VIEW_SLOT(RGBImageStateChanged, RgbImage)
VIEW_SLOT(DepthImageStateChanged, DepthImage)
VIEW_SLOT(IrImageStateChanged, IrImage)
VIEW_SLOT(Mapper_DepthToRGBStateChanged, MappedRgb)
VIEW_SLOT(Mapper_RGBToDepthStateChanged, MappedDepth)
VIEW_SLOT(Mapper_RGBToIRStateChanged, MappedIr)

void CtlWidget::PointCloudStateChanged(int state)
{
    DisplaySwitches &sw = switches();
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
    switches().pointCloudRgb = isChecked(state);
    if (isChecked(state) && !switches().showPointCloud)
        ui->PointCloud->setChecked(true);
}

void CtlWidget::WDRstyleStateChanged(int state)
{
    switches().wdrStyle = isChecked(state) ? 1 : 0;
    CameraSwitches::write("checkBox_wdrstyle", *camera(), isChecked(state));
}

// ---- processing, colour map and measurement ----

void CtlWidget::BlackBGStateChanged(int state)
{
    switches().blackBackground = isChecked(state);
}

// Sets the corrections, filters and black background together; it does not follow later
// changes of the single boxes.
void CtlWidget::AllStateChanged(int state)
{
    for (QCheckBox *box : {ui->IrDistortion, ui->RGBDistortion, ui->DepthDistortion, ui->ComputeRealDepth,
                           ui->TimeFilter, ui->SpatialFilter, ui->checkBox_BlackBG})
        box->setChecked(isChecked(state));
}

void CtlWidget::on_spinBox_Slope_max_valueChanged(int value)
{
    switches().colourMapMax = value;
}

void CtlWidget::on_spinBox_Slope_min_valueChanged(int value)
{
    switches().colourMapMin = value;
}

void CtlWidget::MeasureStateChanged(int state)
{
    switches().measureOn = isChecked(state);
}

void CtlWidget::on_spinBox_window_valueChanged(int)
{
    emit sglresetCyckeQueue(ui->spinBox_window->value(), ui->spinBox_period->value());
}

void CtlWidget::on_spinBox_period_valueChanged(int)
{
    emit sglresetCyckeQueue(ui->spinBox_window->value(), ui->spinBox_period->value());
}

void CtlWidget::slotMeasure(QString meanValue, QString stddValue, QString varValue)
{
    ui->lineEdit_mean->setText(meanValue);
    ui->lineEdit_stdd->setText(stddValue);
    ui->lineEdit_variance->setText(varValue);
}

// ---- saving ----

void CtlWidget::on_pushButton_save_clicked()
{
    ImageSaving::start(false);
}

void CtlWidget::SaveImageStateChanged(int state)
{
    if (state == Qt::Checked) {
        ImageSaving::start(true);
        ui->pushButton_save->setEnabled(false);
    } else if (state == Qt::Unchecked) {
        ImageSaving::stop();
        ui->pushButton_save->setEnabled(true);
    }
}

void CtlWidget::slotSaveStopped()
{
    // The run is over and already reported; unticking only brings the controls back.
    ui->SaveImage->setChecked(false);
}

// ---- slots that do nothing yet or by design ----

void CtlWidget::ReadFrame(int) {}
void CtlWidget::ChgProperty(int) {}

// ---- firmware upgrade ----

void CtlWidget::on_pushButton_upgrade_clicked()
{
    UpgradeEntry::run(*camera(), this, ui->paramsTextEdit->toPlainText(),
                      {*m_loaderDialog, [this] { emit sglUpgrade(); }});
}

// ---- parameters and the report ----

ParamItems::Selectors CtlWidget::paramSelectors() const
{
    return {ui->depModeComBox->currentIndex(), ui->depRangeComBox_2->currentIndex(), ui->paramsTextEdit->toPlainText()};
}

void CtlWidget::on_ReadpushButton_clicked()
{
    if (const std::optional<QString> text =
            ParamPage::read(*camera(), ui->paramsCombox->currentIndex(), paramSelectors()))
        ui->paramsTextEdit->setPlainText(*text);
}

void CtlWidget::on_WritepushButton_clicked()
{
    ParamPage::write(*camera(), ui->paramsCombox->currentIndex(), ui->paramsTextEdit->toPlainText(), paramSelectors());
}

void CtlWidget::on_pushButton_Params_clicked()
{
    ReportSaving::run(*camera(), ui->depModeComBox->currentIndex());
}

// ---- a lost camera and its return ----

void CtlWidget::cameraLost()
{
    m_brioGroupEnabled = ui->groupBox_Brio->isEnabled();
    setGroupsEnabled(false, true);
    emit sglcloseCamera();
    // A save still waiting for frame sets gets none: it ends here, and says so.
    const std::optional<ImageSaving::Abandoned> abandoned = ImageSaving::abandon();
    if (!abandoned)
        return;
    if (abandoned->continuous)
        ui->SaveImage->setChecked(false);
    // After the loss is handled: the box's own event loop must not run into a half-closed camera.
    QMetaObject::invokeMethod(
        this, [text = abandoned->text] { MessageBoxes::warning(nullptr, QStringLiteral("Warning"), text); },
        Qt::QueuedConnection);
}

void CtlWidget::reopenCamera()
{
    PanelSettings::restore(*camera(), PanelSettings::readFrom(*this, camera()->getDeviceType()), m_openedWith,
                           m_wdrMode);
    readFrameModes();
    SlotRefreshUSBStatus(); // it may come back from an upgrade with new firmware
    setGroupsEnabled(true, false);
    ui->groupBox_Brio->setEnabled(m_brioGroupEnabled);
    emit sglopenCamera();
}

// ---- ending the program ----

void CtlWidget::closeEvent(QCloseEvent *event)
{
    if (!ProgramExit::confirmed(this)) {
        event->ignore();
        return;
    }
    event->accept();
    ProgramExit::now();
}

void CtlWidget::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        close();
    event->accept(); // nothing reaches the main window from here
}

void CtlWidget::closeOK()
{
    ProgramExit::shutDown(*camera());
    ProgramExit::now();
}
