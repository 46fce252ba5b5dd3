#include "panel/CtlWidget.h"

#include "camera/Control_Single.h"
#include "camera/SdkTypes.h"
#include "panel/ModelPresets.h"
#include "pipeline/DisplaySwitches.h"
#include "shell/MessageBoxes.h"
#include "shell/ToolSettings.h"
#include "ui_CtlWidget.h"

#include <QCloseEvent>
#include <QDebug>
#include <QKeyEvent>
#include <QTextCodec>

#include <cstdio>
#include <cstdlib>

namespace {

WdrOutputMode wdrRecord(const ToolSettings::WdrOutputMode &set)
{
    return WdrOutputMode{set.totalRange,  set.range1, set.range1Count, set.range2,
                         set.range2Count, set.range3, set.range3Count};
}

// The close question's texts go through the GB18030 codec, like the program's other
// translated texts.
QString decoded(const char *text)
{
    if (QTextCodec *codec = QTextCodec::codecForName("GB18030"))
        return codec->toUnicode(text);
    return QString::fromLatin1(text);
}

// Ends the process at once, from wherever the user confirmed it: nothing after the event
// loop runs, and no static destructors run while the application object still lives.
[[noreturn]] void exitNow()
{
    std::fflush(nullptr);
    std::_Exit(0);
}

} // namespace

CtlWidget::CtlWidget(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::CtlWidget>())
{
    ui->setupUi(this); // joins the on_<object>_<signal> slots by name
    connectControls();
}

CtlWidget::~CtlWidget() = default;

void CtlWidget::connectControls()
{
    const auto indexChanged = QOverload<int>::of(&QComboBox::currentIndexChanged);
    connect(ui->comboBox_workmode, indexChanged, this, &CtlWidget::SetWorkMode_T);
    connect(ui->comboBox_mirror, indexChanged, this, &CtlWidget::SetMirror);
    connect(ui->rgbResolutionComb_2, indexChanged, this, &CtlWidget::SetRgbResolution);
    connect(ui->rgbResolutionComb, indexChanged, this, &CtlWidget::SetRgbResolution);
    connect(ui->depRangeComBox, indexChanged, this, &CtlWidget::SetDepthRange);
    connect(ui->dataModeComBox, indexChanged, this, &CtlWidget::SetDataMode);
    connect(ui->paramsCombox, indexChanged, this, &CtlWidget::ChgProperty);

    const std::pair<QCheckBox *, void (CtlWidget::*)(int)> boxes[] = {
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
    (void)Control_Single::getInstance()->getDepthRange(&cameraRange);
    applyModelLayout();
    fillFromCamera(cameraRange);
    setGroupsEnabled(true, false); // the Brio group is enabled by its own layout only
    m_openedWith = currentSettings();
    emit sglopenCamera();
}

void CtlWidget::closeCamera()
{
    setGroupsEnabled(false, true);
    if (DisplaySwitches::instance().showPointCloud)
        ui->PointCloud->setChecked(false);
    emit sglcloseCamera();
}

// ---- model layouts ----

void CtlWidget::applyModelLayout()
{
    emit sglreFlash();

    const int userType = ToolSettings::getInstance().userType();
    const bool fullUser = userType == 255;
    const QList<QWidget *> fullUserControls = {ui->SlaveMode,
                                               ui->ISAcheckBox,
                                               ui->TALcheckBox,
                                               ui->Synchronize,
                                               ui->checkBox_IR_BG,
                                               ui->LowPowerMode,
                                               ui->checkBox_AntiInterference,
                                               ui->WritepushButton};
    for (QWidget *control : fullUserControls)
        control->setVisible(fullUser);
    ui->pushButton_update->hide();
    ui->SaveImage->setChecked(false);
    ui->pushButton_Params->setVisible(userType != 0);
    ui->paramsTextEdit->setMaximumBlockCount(1000);

    // What each model shows and enables is its preset row, applied in full: nothing that the
    // previous camera hid or disabled stays so.
    const int32_t model = Control_Single::getInstance()->getDeviceType();
    applyPresetRow(ModelPresets::rowFor(model), userType);
    if (model == Alta)
        applyAltaPreset(userType);
    else if (model == Brio)
        applyBrioPreset();
    else if (isCimaGroup(model))
        applyCimaPreset();
}

void CtlWidget::applyPresetRow(const ModelPresets::Row &row, int userType)
{
    for (const ModelPresets::ControlState &state : row) {
        QWidget *control = findChild<QWidget *>(state.control);
        Q_ASSERT(control);
        if (!control)
            continue;
        control->setVisible(ModelPresets::isShown(state.shown, userType));
        if (state.enabled != ModelPresets::Enabled::Keep)
            control->setEnabled(ModelPresets::isEnabled(state.enabled, userType));
    }
}

void CtlWidget::applyAltaPreset(int userType)
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    sw.showDepth = true;
    sw.showIr = false;
    sw.showRgb = true;
    sw.showPointCloud = false;
    sw.showMappedRgb = false;
    sw.showMappedDepth = false;
    sw.showMappedIr = false;
    ui->checkBox_rgb->setChecked(true);
    ui->RGBDistortion->setChecked(true);
    m_wdrMode = wdrRecord(ToolSettings::getInstance().wdrOutputMode(1));
    sw.rangeMaxDepth = 0;
    sw.currentDataMode = 0;

    if (userType != 255) {
        rebuildDataModeList(DataModeTable::altaItems());
    } else if (!sameItems(DataModeTable::altaFullItems())) {
        // The full user keeps the six-entry list, but a list left by another model or user
        // level would map its entries onto the wrong modes.
        rebuildDataModeList(DataModeTable::altaFullItems());
    }
}

void CtlWidget::applyCimaPreset()
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    m_wdrMode = wdrRecord(ToolSettings::getInstance().wdrOutputMode(1));
    sw.showRgb = false;
    sw.showMappedRgb = false;
    sw.showMappedDepth = false;
    sw.showMappedIr = false;
    sw.showPointCloud = false;
    sw.showDepth = true;
    sw.showIr = false;
    ui->checkBox_rgb->setChecked(false);
    ui->RGBDistortion->setChecked(false);
    sw.rangeMaxDepth = 0;
    sw.currentDataMode = 0;
    rebuildDataModeList(DataModeTable::cimaItems());
}

void CtlWidget::applyBrioPreset()
{
    DisplaySwitches &sw = DisplaySwitches::instance();
    sw.showRgb = true;
    sw.showMappedDepth = true;
    sw.showMappedIr = true;
    sw.showDepth = false;
    sw.showIr = false;
    sw.showMappedRgb = false;
    sw.showPointCloud = false;
    ui->comboBox_workmode->setCurrentIndex(0);
    SetWorkMode_T(0);
    ui->comboBox_mirror->setCurrentIndex(0);
    (void)Control_Single::getInstance()->setImageMirror(0);
    ui->rgbResolutionComb_2->setCurrentIndex(2);
    SetRgbResolution(2);
    for (QCheckBox *box :
         {ui->checkBox_depthenabled, ui->checkBox_rgbaecenabled, ui->checkBox_irenabled, ui->checkBox_rgbenabled})
        box->setChecked(true);
    // Checking "RgbAecEnabled" keeps the manual exposure disabled, as the preset left it.
}

// Clearing the list runs SetDataMode(-1) and its first entry SetDataMode(0): the camera
// starts in the list's first data mode.
void CtlWidget::rebuildDataModeList(const QStringList &items)
{
    ui->dataModeComBox->clear();
    ui->dataModeComBox->addItems(items);
}

bool CtlWidget::sameItems(const QStringList &items) const
{
    if (ui->dataModeComBox->count() != items.size())
        return false;
    for (int i = 0; i < items.size(); ++i)
        if (ui->dataModeComBox->itemText(i) != items.at(i))
            return false;
    return true;
}

// ---- ending the program ----

void CtlWidget::closeEvent(QCloseEvent *event)
{
    if (MessageBoxes::question(this, decoded("Exit"), decoded("Confirm the exit?"),
                               QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    event->accept();
    exitNow();
}

void CtlWidget::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        close();
    event->accept(); // nothing reaches the main window from here
}

void CtlWidget::closeOK()
{
    shutDown();
    exitNow();
}

void CtlWidget::shutDown()
{
    qDebug() << "CtlWidget::shutDown";
    const SdkStatus status = Control_Single::getInstance()->shutdownORB();
    qDebug() << "CtlWidget::shutDown"
             << "shutdownORB " << status;
}

// ---- slots that do nothing yet or by design ----

void CtlWidget::ReadFrame(int) {}
void CtlWidget::ChgProperty(int) {}

void CtlWidget::slotMeasure(QString meanValue, QString stddValue, QString varValue)
{
    ui->lineEdit_mean->setText(meanValue);
    ui->lineEdit_stdd->setText(stddValue);
    ui->lineEdit_variance->setText(varValue);
}

// The parameter page, the report and the upgrade entry are built on these.
void CtlWidget::on_pushButton_upgrade_clicked() {}
void CtlWidget::on_ReadpushButton_clicked() {}
void CtlWidget::on_WritepushButton_clicked() {}
void CtlWidget::on_pushButton_Params_clicked() {}

// ---- a lost camera and its return ----

PanelSettings CtlWidget::currentSettings() const
{
    PanelSettings s;
    s.deviceType = Control_Single::getInstance()->getDeviceType();
    const bool brio = s.deviceType == Brio;
    s.dataModeIndex = brio ? ui->comboBox_workmode->currentIndex() : ui->dataModeComBox->currentIndex();
    s.rangeIndex = ui->depRangeComBox->count() > 0 ? selectedRangeIndex() : -1;
    s.rgbResolution = ui->rgbResolutionComb->isVisibleTo(this) ? ui->rgbResolutionComb->currentIndex() : -1;
    s.brioResolution = ui->rgbResolutionComb_2->currentIndex();
    s.mirror = ui->comboBox_mirror->currentIndex();
    s.threshold = ui->spinBox_BG->value();
    s.mapDepthToRgb = ui->Mapper_DepthToRGB->isChecked() || ui->PointCloud->isChecked();
    for (int i = 0; i < PanelSettings::SwitchCount; ++i) {
        const auto *box = findChild<QCheckBox *>(QLatin1String(PanelSettings::switches()[size_t(i)].control));
        s.on[size_t(i)] = box && box->isChecked();
    }
    return s;
}

void CtlWidget::cameraLost()
{
    m_brioGroupEnabled = ui->groupBox_Brio->isEnabled();
    setGroupsEnabled(false, true);
    emit sglcloseCamera();
    // A save still waiting for frame sets gets none: it ends here, and says so.
    bool continuous = false;
    int written = 0;
    if (!DisplaySwitches::instance().abandonSave(continuous, written))
        return;
    if (continuous)
        ui->SaveImage->setChecked(false);
    const QString text = continuous ? QStringLiteral("Save stopped: the camera was lost\n%1 %2 written")
                                          .arg(written)
                                          .arg(written == 1 ? QStringLiteral("set") : QStringLiteral("sets"))
                                    : QStringLiteral("Save failed: the camera was lost before a frame set arrived");
    // After the loss is handled: the box's own event loop must not run into a half-closed camera.
    QMetaObject::invokeMethod(
        this, [text] { MessageBoxes::warning(nullptr, QStringLiteral("Warning"), text); }, Qt::QueuedConnection);
}

void CtlWidget::reopenCamera()
{
    PanelSettings::restore(*Control_Single::getInstance(), currentSettings(), m_openedWith, m_wdrMode);
    readFrameModes();
    setGroupsEnabled(true, false);
    ui->groupBox_Brio->setEnabled(m_brioGroupEnabled);
    emit sglopenCamera();
}
