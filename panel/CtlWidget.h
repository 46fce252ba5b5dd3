#pragma once

#include "camera/ParamItems.h"
#include "panel/PanelSettings.h"
#include "panel/ViewToggles.h"

#include <QString>
#include <QWidget>

#include "camera/sdk/quillon_types.h"

#include <array>
#include <memory>
#include <utility>

class QComboBox;
class UpdateDesc;

namespace Ui {
class CtlWidget;
}

// The camera control panel under the image area. It lays itself out per camera model and
// user level, fills itself from the camera when one opens, and maps every control onto the
// camera controller and the display switches. Programmatic changes of its combos and check
// boxes run their slots exactly as a click would: the layout and data-mode logic relies on
// that cascade.
//
// The rules live in plain tables and classes beside it (ModelPresets, DataModeTable,
// BrioWorkModes, CameraSwitches, ViewToggles, RangeLimits, ImageSaving, ...): a slot reads its
// control, asks them and shows the answer.
class CtlWidget : public QWidget
{
    Q_OBJECT

public:
    explicit CtlWidget(QWidget *parent = nullptr);
    ~CtlWidget() override;

    // The frame modes as last read from the camera.
    const SdkFrameMode &depthFrameMode() const { return m_depthFrameMode; }
    const SdkFrameMode &irFrameMode() const { return m_irFrameMode; }
    const SdkFrameMode &rgbFrameMode() const { return m_rgbFrameMode; }

signals:
    void sglopenCamera();
    void sglcloseCamera();
    void sglPointCloud(int state);
    void sglresetCyckeQueue(int w, int p);
    void sglreFlash();
    void sglUpgrade();

public slots:
    void closeOK();
    void ReadFrame(int deviceIndex);
    void slotMeasure(QString meanValue, QString stddValue, QString varValue);
    void on_pushButton_upgrade_clicked();
    void on_ReadpushButton_clicked();
    void on_WritepushButton_clicked();
    void on_pushButton_Params_clicked();
    void openCamera();
    void closeCamera();
    // The open camera was lost: the panel keeps its settings but stops using the camera.
    void cameraLost();
    // The lost camera is open again: it gets the panel's settings back.
    void reopenCamera();
    void initOK();
    void SetDepthRange(int index);
    void ChgProperty(int);
    void SetDataMode(int);
    void GetDataMode();
    void SetRgbResolution(int);
    void onISAStateChanged(int);
    void onTALStateChanged(int);
    void Mapper_DepthToRGBStateChanged(int);
    void Mapper_RGBToDepthStateChanged(int);
    void Mapper_RGBToIRStateChanged(int);
    void SynchronizeStateChanged(int);
    void BGvalueChanged(int value);
    void on_spinBox_window_valueChanged(int);
    void on_spinBox_period_valueChanged(int);
    void PointCloudStateChanged(int);
    void DepthDistortionStateChanged(int);
    void IrDistortionStateChanged(int);
    void RGBDistortionStateChanged(int);
    void DepthImageStateChanged(int);
    void IrImageStateChanged(int);
    void RGBImageStateChanged(int);
    void on_pushButton_save_clicked();
    void SlotRefreshUSBStatus();
    void SpatialFilterStateChanged(int);
    void TimeFilterStateChanged(int);
    void LowPowerModeStateChanged(int);
    void ComputeRealDepthStateChanged(int);
    void SlotRefreshRGB();
    void SaveImageStateChanged(int);
    // The frame reader ended a continuous save on its own (a failed write).
    void slotSaveStopped();
    void AntiInterferenceStateChanged(int);
    void MapStateChanged(int);
    void AllStateChanged(int);
    void on_spinBox_Slope_max_valueChanged(int);
    void on_spinBox_Slope_min_valueChanged(int);
    void SlaveModeStateChanged(int);
    void WDRstyleStateChanged(int);
    void on_pushButton_get_clicked();
    void on_pushButton_set_clicked();
    void IR_BGStateChanged(int);
    void BlackBGStateChanged(int);
    void MeasureStateChanged(int);
    void SetWorkMode_T(int);
    void SetMirror(int);
    void DepthEnabled(int);
    void IREnabled(int);
    void RGBEnabled(int);
    void RGBAecEnabled(int);
    void TofAecEnabled(int);
    void on_pushButton_Tset_clicked();
    void DSPStateChanged(int);

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    using Slot = void (CtlWidget::*)(int);
    // The combos joined to their slots by the constructor.
    std::array<std::pair<QComboBox *, Slot>, 7> comboSlots() const;
    void connectControls();
    void setGroupsEnabled(bool enabled, bool includingBrio);

    // Layout and filling on open
    void applyModelLayout();
    void selectAnew(QComboBox *combo, int index);
    void fillFromCamera(int cameraRange);
    void fillDepthRangeList(int userType);
    int selectedRangeIndex() const;
    void readFrameModes();
    ParamItems::Selectors paramSelectors() const;

    // Depth limits
    void applyRangeLimits(int range);
    void enterWdr();
    void showLimits();

    void showView(ViewToggles::View view, int state);

    std::unique_ptr<Ui::CtlWidget> ui;
    SdkFrameMode m_depthFrameMode{};
    SdkFrameMode m_irFrameMode{};
    SdkFrameMode m_rgbFrameMode{};
    WdrOutputMode m_wdrMode{};
    PanelSettings m_openedWith; // the panel right after the camera opened
    bool m_brioGroupEnabled = false;
    UpdateDesc *m_loaderDialog; // the Alta's, prepared once while the program runs
};
