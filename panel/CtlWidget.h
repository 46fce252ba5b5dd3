#pragma once

#include "panel/DataModeTable.h"
#include "panel/ModelPresets.h"
#include "panel/PanelSettings.h"

#include <QString>
#include <QWidget>

#include "camera/sdk/quillon_types.h"

#include <memory>

class QCheckBox;

namespace Ui {
class CtlWidget;
}

// The camera control panel under the image area. It lays itself out per camera model and
// user level, fills itself from the camera when one opens, and maps every control onto the
// camera controller and the display switches. Programmatic changes of its combos and check
// boxes run their slots exactly as a click would: the layout and data-mode logic relies on
// that cascade.
//
// The behaviour is spread over files by concern: CtlWidget.cpp (building, opening, closing,
// model layouts), CtlWidget_device.cpp (data mode, depth range and the device controls),
// CtlWidget_toggles.cpp (view and processing toggles), CtlWidget_save.cpp (image saving).
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
    void connectControls();
    void setGroupsEnabled(bool enabled, bool includingBrio);

    // Model layouts (CtlWidget.cpp)
    void applyModelLayout();
    void applyPresetRow(const ModelPresets::Row &row, int userType);
    void applyAltaPreset(int userType);
    void applyCimaPreset();
    void applyBrioPreset();
    void rebuildDataModeList(const QStringList &items);
    bool sameItems(const QStringList &items) const;
    void shutDown();
    PanelSettings currentSettings() const;

    // Camera state (CtlWidget_device.cpp)
    void fillFromCamera(int cameraRange);
    void fillDepthRangeList(int userType);
    void selectCameraRange(int range);
    void applyRangeLimits(int rangeIndex);
    void enterWdr();
    void applyDataModeToggles(int value);
    void applyToggleStep(QCheckBox *box, DataModeTable::Step step);
    void readFrameModes();
    int selectedRangeIndex() const;

    // Saving (CtlWidget_save.cpp)
    void requestSave(bool continuous);

    std::unique_ptr<Ui::CtlWidget> ui;
    SdkFrameMode m_depthFrameMode{};
    SdkFrameMode m_irFrameMode{};
    SdkFrameMode m_rgbFrameMode{};
    WdrOutputMode m_wdrMode{};
    PanelSettings m_openedWith; // the panel right after the camera opened
    bool m_brioGroupEnabled = false;
};
