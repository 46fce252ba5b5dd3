#include "camera/Control_Single.h"
#include "camera/sdk/quillon_api.h"
#include "panel/BrioWorkModes.h"
#include "panel/CameraSwitches.h"
#include "panel/CtlWidget.h"
#include "panel/DataModeTable.h"
#include "panel/ModelPresets.h"
#include "panel/ShownImages.h"
#include "panel/ViewToggles.h"
#include "pipeline/DisplaySwitches.h"
#include "support/BoxRecorder.h"
#include "support/LogCapture.h"
#include "support/SimConfigFile.h"
#include "support/TestFiles.h"
#include "upgrade/UpdateDesc.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <cstring>
#include <memory>

namespace {

// Range1 uncalibrated, Range4 the current one with its own numbers.
const QByteArray cameras = fastSim() + R"(
[device.alta]
model = Alta
uri = usb&2bc5&0401&ALTA-1&1-1
serial = ALTA-1
firmware = 2.0.9
flashType = nor
depthRange = 4
uncalibratedRanges = 1
range4 = 3500, 300, 3200
mapDepthToRgb = yes
[device.brio]
model = Brio
uri = usb&2bc5&0402&BRIO-1&1-2
[device.cima]
model = Cima
uri = usb&2bc5&0403&CIMA-1&1-3
[device.alias]
model = EskeAlias
uri = usb&2bc5&0404&ALIAS-1&1-4
[device.dune]
model = Dune
uri = net:10.0.0.5:5005
[device.eske]
model = Eske
uri = net:10.0.0.6:5005
)";

const QString loaderQuestion =
    QStringLiteral("Upgrade\tThis will make the camera enter into upgraded mode, are you sure to upgrade?");

// Groups in the order of the letters of a visibility pattern.
const char *const groupNames[] = {"groupBox_Brio", "groupBox_COM", "groupBox_SHOW", "groupBox_ALGO",
                                  "groupBox_F",    "groupBox_SN",  "groupBox_RW"};

// The view toggles in the order of the data-mode table.
const char *const toggleNames[] = {"checkBox_ir",       "checkBox_rgb",   "checkBox_depth", "Mapper_DepthToRGB",
                                   "Mapper_RGBToDepth", "Mapper_RGBToIR", "checkBox_3DMap", "PointCloud"};

} // namespace

class CtlWidgetTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        qputenv("LUMIDESK_HOME", m_home.path().toLocal8Bit());
        m_log = std::make_unique<LogCapture>();
    }

    void cleanup()
    {
        m_panel.reset();
        (void)m_camera->shutdownORB();
        (void)m_camera->shutdownSDK();
        m_log.reset();
    }

    void layoutPerModelAndUser_data()
    {
        QTest::addColumn<QString>("uri");
        QTest::addColumn<int>("user");
        QTest::addColumn<QString>("groups"); // shown groups, letters in groupNames order
        QTest::addColumn<QString>("firstMode");
        QTest::addColumn<int>("modes");
        QTest::addColumn<bool>("upgrade");
        const struct
        {
            const char *uri, *model;
            const char *groups[3]; // user 0, 255, 7
            const char *firstMode;
            int modes[3];
            bool upgrade;
        } models[] = {
            {"ALTA-1", "Alta", {"0111010", "0111111", "0111111"}, "DepthAndRGB_30", {5, 6, 5}, true},
            {"BRIO-1", "Brio", {"1000010", "1000011", "1000011"}, "DepthAndRGB_30", {6, 6, 6}, true},
            {"CIMA-1", "Cima", {"0111010", "0111111", "0111111"}, "Depth_30", {4, 4, 4}, false},
            {"ALIAS-1", "EskeAlias", {"0111010", "0111111", "0111111"}, "Depth_30", {4, 4, 4}, false},
            {"10.0.0.5", "Dune", {"0111010", "0111111", "0111111"}, "Depth_30", {4, 4, 4}, true},
            {"10.0.0.6", "Eske", {"0111010", "0111111", "0111111"}, "Depth_30", {4, 4, 4}, true},
        };
        const int users[] = {0, 255, 7};
        for (const auto &m : models)
            for (int u = 0; u < 3; ++u)
                QTest::addRow("%s user %d", m.model, users[u])
                    << m.uri << users[u] << m.groups[u] << m.firstMode << m.modes[u] << m.upgrade;
    }

    void layoutPerModelAndUser()
    {
        QFETCH(QString, uri);
        QFETCH(int, user);
        QFETCH(QString, groups);
        QFETCH(QString, firstMode);
        QFETCH(int, modes);
        QFETCH(bool, upgrade);
        QVERIFY(open(uri.toLatin1(), user));
        const bool brio = uri.startsWith("BRIO"), cimaGroup = !brio && !uri.startsWith("ALTA");
        for (int g = 0; g < 7; ++g) {
            QCOMPARE(!get<QGroupBox>(groupNames[g])->isHidden(), groups[g] == '1');
            QCOMPARE(get<QGroupBox>(groupNames[g])->isEnabled(), g > 0 || brio);
        }
        QCOMPARE(combo("dataModeComBox")->itemText(0), firstMode);
        QCOMPARE(combo("dataModeComBox")->count(), modes);
        QCOMPARE(!get<QPushButton>("pushButton_upgrade")->isHidden(), upgrade);
        QCOMPARE(!get<QPushButton>("WritepushButton")->isHidden(), user == 255);
        QCOMPARE(!get("ISAcheckBox")->isHidden(), user == 255);
        QCOMPARE(!get("SlaveMode")->isHidden(), user == 255 && !brio);
        QCOMPARE(!get<QPushButton>("pushButton_Params")->isHidden(), user != 0);
        for (const char *name : {"checkBox_rgb", "RGBDistortion", "Mapper_DepthToRGB", "checkBox_3DMap"})
            QCOMPARE(get(name)->isHidden(), cimaGroup);
        QCOMPARE(combo("rgbResolutionComb")->isHidden(), cimaGroup);
        QCOMPARE(get("checkBox_wdrstyle")->isHidden(), cimaGroup);
        QCOMPARE(get("checkBox_irenabled")->isHidden(), brio);
        if (brio) // the manual exposure waits until the automatic one is switched off
            QVERIFY(get("checkBox_rgbaecenabled")->isChecked() && !get<QWidget>("doubleSpinBox_gain")->isEnabled());
    }

    // A rule naming a control the form lacks would be skipped without a word in a release build.
    void rulesNameControlsOfTheForm()
    {
        const CtlWidget panel;
        QStringList boxes, missing;
        for (const CameraSwitches::Switch &s : CameraSwitches::all())
            boxes << s.control;
        for (int v = 0; v < ViewToggles::ViewCount; ++v)
            boxes << ViewToggles::toggle(ViewToggles::View(v)).control;
        std::vector<ControlSteps> rows;
        for (int value : {0, 1, 2, 4, 10, 11})
            rows.push_back(DataModeTable::togglesFor(value, 255));
        for (int index = 0; index < 3; ++index) {
            rows.push_back(BrioWorkModes::rowFor(index).steps);
            rows.push_back(BrioWorkModes::rowFor(index).afterwards);
        }
        QStringList widgets;
        for (int32_t model : {Alta, Brio, Cima, EskeAlias, Dune, Eske}) {
            const ModelPresets::Start start = ModelPresets::startFor(model);
            rows.push_back(start.steps);
            for (const ModelPresets::Selection &selection : start.selections)
                if (!panel.findChild<QComboBox *>(selection.control))
                    missing << selection.control;
            for (const ModelPresets::ControlState &state : ModelPresets::rowFor(model))
                widgets << state.control;
        }
        for (const ControlSteps &row : rows)
            for (const ControlStep &step : row)
                boxes << step.control;
        for (const QString &name : boxes)
            if (!panel.findChild<QCheckBox *>(name))
                missing << name;
        for (const ModelPresets::ControlState &state : ModelPresets::commonRow())
            widgets << state.control;
        for (const QString &name : widgets)
            if (!panel.findChild<QWidget *>(name))
                missing << name;
        QCOMPARE(missing, QStringList());
    }

    void modelAfterModelLooksFresh_data()
    {
        QTest::addColumn<QByteArray>("previous");
        QTest::addColumn<QByteArray>("uri");
        QTest::addColumn<int>("user");
        const char *const models[][2] = {{"Alta", "ALTA-1"},       {"Brio", "BRIO-1"},   {"Cima", "CIMA-1"},
                                         {"EskeAlias", "ALIAS-1"}, {"Dune", "10.0.0.5"}, {"Eske", "10.0.0.6"}};
        for (int user : {0, 7, 255})
            for (const auto &previous : models)
                for (const auto &model : models)
                    QTest::addRow("%s after %s, user %d", model[0], previous[0], user)
                        << QByteArray(previous[1]) << QByteArray(model[1]) << user;
    }

    // What a camera's panel shows does not depend on the camera opened before it.
    void modelAfterModelLooksFresh()
    {
        QFETCH(QByteArray, previous);
        QFETCH(QByteArray, uri);
        QFETCH(int, user);
        QVERIFY(open(uri, user));
        const QStringList fresh = shownControls();
        QVERIFY(open(previous, user));
        m_panel->closeCamera();
        (void)m_camera->shutdownORB();
        QCOMPARE(m_camera->initializeORB(QLatin1String(uri)), 0);
        m_panel->openCamera();
        QCOMPARE(shownControls(), fresh);
    }

    void openingFillsRangesLimitsAndDeviceInfo()
    {
        QVERIFY(open("ALTA-1", 255));
        QComboBox *ranges = combo("depRangeComBox");
        QCOMPARE(ranges->count(), 9);
        QCOMPARE(ranges->itemText(0), "Range0 (150-1300mm)");
        QCOMPARE(ranges->itemText(1), "Range1 (No Calib)");
        QCOMPARE(ranges->currentText(), "Range4 (300-3200mm)"); // the camera's own range
        QCOMPARE(get<QSpinBox>("spinBox_Slope_max")->value(), 3200);
        QCOMPARE(get<QSpinBox>("spinBox_Slope_min")->value(), 300);
        QCOMPARE(int(sw.colourMapMax), 3200);
        QCOMPARE(int(sw.rangeMaxDepth), 3500);
        QCOMPARE(int(sw.currentMeasuringRange.depthMode), 1);
        QCOMPARE(get<QLineEdit>("lineEdit_sn")->text(), "ALTA-1");
        QCOMPARE(get<QLineEdit>("lineEdit_fw")->text(), "2.0.9");
        QCOMPARE(get<QLineEdit>("lineEdit_flashtype")->text(), "nor");
        // The camera maps colour onto depth, which takes the colour image's place.
        QVERIFY(get("Mapper_DepthToRGB")->isChecked());
        QVERIFY(!get("checkBox_rgb")->isChecked());

        // Other users see only calibrated ranges, numbers kept.
        QVERIFY(open("ALTA-1", 7));
        ranges = combo("depRangeComBox");
        QCOMPARE(ranges->count(), 8);
        QCOMPARE(ranges->itemText(1), "Range2 (300-3700mm)");
        QCOMPARE(ranges->currentText(), "Range4 (300-3200mm)"); // the rebuilds do not lose it
        QCOMPARE(m_camera->getDepthRange(), 4);
    }

    void closingDisablesAndAsks()
    {
        QVERIFY(open("ALTA-1", 0));
        get("PointCloud")->setChecked(true);
        QSignalSpy closed(m_panel.get(), &CtlWidget::sglcloseCamera);
        QSignalSpy cloud(m_panel.get(), &CtlWidget::sglPointCloud);
        m_panel->closeCamera();
        QCOMPARE(closed.count(), 1);
        QCOMPARE(cloud.takeFirst().at(0).toInt(), 0);
        for (const char *group : groupNames)
            QVERIFY(!get<QGroupBox>(group)->isEnabled());

        BoxRecorder boxes(QMessageBox::No);
        QVERIFY(!m_panel->close());
        QTest::keyClick(m_panel.get(), Qt::Key_A);
        QTest::keyClick(m_panel.get(), Qt::Key_Escape);
        QCOMPARE(boxes.shown(), QStringList({"Exit\tConfirm the exit?", "Exit\tConfirm the exit?"}));
    }

    void listIndexMapsToDataMode()
    {
        const int alta[] = {0, 1, 2, 10, 11, 4}, cima[] = {0, 1, 2, 11};
        for (const char *uri : {"ALTA-1", "ALIAS-1"}) {
            QVERIFY(open(uri, 255));
            const bool isAlta = QByteArray(uri).startsWith("ALTA");
            for (int i = 0; i < (isAlta ? 6 : 4); ++i) {
                combo("dataModeComBox")->setCurrentIndex(i);
                uint8_t mode = 0xFF;
                QCOMPARE(m_camera->getDataModeProperty(&mode), 0);
                QCOMPARE(int(mode), isAlta ? alta[i] : cima[i]);
                QCOMPARE(int(sw.appliedDataMode), int(mode));
            }
        }
        for (int i = -1; i < 6; ++i)
            QCOMPARE(DataModeTable::valueForIndex(Brio, i), 0);
        QCOMPARE(DataModeTable::valueForIndex(Cima, 4), 0);
        QCOMPARE(DataModeTable::indexForValue(Alta, 4, 5), -1); // not offered in the five-entry list
        QVERIFY(DataModeTable::togglesFor(4, 0).empty() && !DataModeTable::togglesFor(4, 7).empty()); // nor its toggles
        QVERIFY(DataModeTable::togglesFor(3, 255).empty());                                           // no such mode
    }

    void dataModeSetsToggles_data()
    {
        // Per toggle: o enabled and checked, x disabled and unchecked, e enabled, . untouched.
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("expected");
        QTest::newRow("0") << 1 << 0 << "xooeexee";
        QTest::newRow("1") << 3 << 1 << "ooxxxxxx";
        QTest::newRow("2") << 1 << 2 << "oxoxxxxe";
        QTest::newRow("4") << 3 << 5 << "xooee.xx";
        QTest::newRow("10") << 1 << 3 << "oooeeeee";
        QTest::newRow("11") << 1 << 4 << "xooeexee";
    }

    void dataModeSetsToggles()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, expected);
        QVERIFY(open("ALTA-1", 255));
        combo("dataModeComBox")->setCurrentIndex(from);
        get("Mapper_RGBToIR")->setChecked(true); // something for "untouched" to keep
        const QStringList before = toggleStates();
        combo("dataModeComBox")->setCurrentIndex(to);
        const QStringList after = toggleStates();
        for (int i = 0; i < 8; ++i) {
            const QChar e = expected[i];
            const QString want = e == '.' ? before[i] : e == 'o' ? "11" : e == 'x' ? "00" : "1" + after[i].right(1);
            QVERIFY2(after[i] == want, toggleNames[i]);
        }
        QCOMPARE(bool(sw.showIr), get("checkBox_ir")->isChecked()); // the switch follows its box
    }

    void wdrMode_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("maxDepth");
        QTest::newRow("three ranges") << QByteArray("t1_totalRange=3\nt1_range1=3\nt1_range2=4\nt1_range3=8\n") << 200
                                      << 7400 << 8000;
        QTest::newRow("two ranges") << QByteArray("t1_totalRange=2\nt1_range1=3\nt1_range2=5\n") << 200 << 5100 << 5500;
        QTest::newRow("one range") << QByteArray("t1_totalRange=1\n") << 300 << 3200 << 3500;
        QTest::newRow("far range 0") << QByteArray("t1_totalRange=2\nt1_range1=6\nt1_range2=0\n") << 300 << 3200
                                     << 3500;
    }

    void wdrMode()
    {
        QFETCH(QByteArray, record);
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(int, maxDepth);
        QVERIFY(open("ALTA-1", 255, record));
        QComboBox *ranges = combo("depRangeComBox");
        combo("dataModeComBox")->setCurrentIndex(4);
        QCOMPARE(int(sw.appliedDataMode), 11);
        QVERIFY(get("checkBox_wdrstyle")->isEnabled());
        QVERIFY(!ranges->isEnabled());
        QCOMPARE(get<QSpinBox>("spinBox_Slope_min")->value(), min);
        QCOMPARE(get<QSpinBox>("spinBox_Slope_max")->value(), max);
        QCOMPARE(int(sw.rangeMaxDepth), maxDepth);

        ranges->setCurrentIndex(6); // the WDR mode keeps its own ranges
        QCOMPARE(m_camera->getDepthRange(), 4);
        QCOMPARE(int(sw.currentRangeIndex), 6);

        combo("dataModeComBox")->setCurrentIndex(2);
        QVERIFY(ranges->isEnabled());
        QCOMPARE(ranges->currentIndex(), 0);
        QCOMPARE(m_camera->getDepthRange(), 0);
        QCOMPARE(get<QSpinBox>("spinBox_Slope_max")->value(), 1300);
        QVERIFY(!get("checkBox_wdrstyle")->isEnabled());
    }

    void failingDataModeWriteChangesNothing()
    {
        QVERIFY(open("ALTA-1", 255, {}, "[faults]\nLx2_SetProperty = -5\n"));
        const QStringList before = toggleStates();
        const int applied = sw.appliedDataMode;
        combo("dataModeComBox")->setCurrentIndex(2);
        QCOMPARE(LogCapture::lines(), QStringList{"\"SetDataMode index:2  status:-5\""});
        QCOMPARE(int(sw.appliedDataMode), applied);
        QCOMPARE(combo("depRangeComBox")->currentText(), "Range4 (300-3200mm)");
        QCOMPARE(toggleStates(), before);
        QCOMPARE(combo("dataModeComBox")->currentIndex(), 2); // where the user put it
    }

    // Each plain image and its mapped partner exclude each other; the mapped one drives its mapper.
    void exclusivePairs()
    {
        const struct
        {
            const char *plain, *mapped;
            Shared<bool> DisplaySwitches::*showPlain, DisplaySwitches::*showMapped;
            uint8_t (Control_Single::*mapper)();
        } pairs[] = {{"checkBox_rgb", "Mapper_DepthToRGB", &DisplaySwitches::showRgb, &DisplaySwitches::showMappedRgb,
                      &Control_Single::getMapperEnabledDepthToRGB},
                     {"checkBox_depth", "Mapper_RGBToDepth", &DisplaySwitches::showDepth,
                      &DisplaySwitches::showMappedDepth, &Control_Single::getMapperEnabledRGBToDepth},
                     {"checkBox_ir", "Mapper_RGBToIR", &DisplaySwitches::showIr, &DisplaySwitches::showMappedIr,
                      &Control_Single::getMapperEnabledRGBToIR}};
        QVERIFY(open("ALTA-1", 255));
        combo("dataModeComBox")->setCurrentIndex(3); // every view offered
        for (const auto &pair : pairs) {
            QCheckBox *p = get(pair.plain), *m = get(pair.mapped);
            p->setChecked(true);
            m->setChecked(true);
            QVERIFY2(!p->isChecked() && !(sw.*pair.showPlain) && sw.*pair.showMapped, pair.mapped);
            QVERIFY2((m_camera->*pair.mapper)() == 1, pair.mapped);
            p->setChecked(true);
            QVERIFY2(!m->isChecked() && sw.*pair.showPlain && !(sw.*pair.showMapped), pair.plain);
            QVERIFY2((m_camera->*pair.mapper)() == 0, pair.plain);
        }
    }

    void pointCloudAndItsColouredForm()
    {
        QVERIFY(open("ALTA-1", 255));
        get("Mapper_DepthToRGB")->setChecked(false);
        QCOMPARE(m_camera->getMapperEnabledDepthToRGB(), 0);
        QSignalSpy cloud(m_panel.get(), &CtlWidget::sglPointCloud);
        get("checkBox_3DMap")->setChecked(true);
        QVERIFY(get("PointCloud")->isChecked());
        QVERIFY(sw.showPointCloud && sw.pointCloudRgb);
        QCOMPARE(m_camera->getMapperEnabledDepthToRGB(), 1);
        QCOMPARE(cloud.takeFirst().at(0).toInt(), 2);
        get("Mapper_DepthToRGB")->setChecked(true);
        get("Mapper_DepthToRGB")->setChecked(false); // the coloured cloud keeps the mapper
        QCOMPARE(m_camera->getMapperEnabledDepthToRGB(), 1);

        get("Mapper_DepthToRGB")->setChecked(true);
        get("PointCloud")->setChecked(false);
        QVERIFY(!get("checkBox_3DMap")->isChecked() && !get("Mapper_DepthToRGB")->isChecked());
        QVERIFY(!sw.pointCloudRgb && !sw.showMappedRgb && !sw.showPointCloud);
        QCOMPARE(m_camera->getMapperEnabledDepthToRGB(), 0);
        QCOMPARE(cloud.takeFirst().at(0).toInt(), 0);
    }

    void allAndOtherToggles()
    {
        QVERIFY(open("ALTA-1", 255));
        get("checkBox_All")->setChecked(true);
        get("checkBox_All")->setChecked(false);
        Control_Single &c = *m_camera;
        QCOMPARE(c.getIrDistortionCorrectionEnabled() + c.getRGBDistortionCorrectionEnabled() +
                     c.getDepthDistortionCorrectionEnabled() + c.getComputeRealDepthCorrectionEnabled() +
                     c.getTimeFilterEnabled() + c.getSpatialFilterEnabled(),
                 0);
        QVERIFY(!sw.blackBackground && !get("checkBox_BlackBG")->isChecked());

        QSignalSpy queue(m_panel.get(), &CtlWidget::sglresetCyckeQueue);
        get<QSpinBox>("spinBox_period")->setValue(60);
        QCOMPARE(queue.takeFirst(), QVariantList({10, 60}));

        QVERIFY(open("CIMA-1", 255)); // no colour: "RGB Image" changes nothing
        QSignalSpy flash(m_panel.get(), &CtlWidget::sglreFlash);
        get("checkBox_rgb")->setChecked(!get("checkBox_rgb")->isChecked());
        QVERIFY(!sw.showRgb);
        QCOMPARE(flash.count(), 0);
    }

    void deviceControls()
    {
        QVERIFY(open("ALTA-1", 255));
        PulseCountTable before{}, after{};
        QCOMPARE(m_camera->getPulseCount(&before), 0);
        m_panel->on_pushButton_set_clicked(); // 0 and 0: nothing is sent
        QCOMPARE(m_camera->getPulseCount(&after), 0);
        QCOMPARE(std::memcmp(&after, &before, sizeof after), 0);

        combo("depRangeComBox")->setCurrentIndex(7);
        get<QSpinBox>("spinBox_PulseCount")->setValue(1234);
        get<QSpinBox>("spinBox_GmmGain")->setValue(77);
        m_panel->on_pushButton_set_clicked(); // the camera takes Range7 only with depth mode 2
        QCOMPARE(m_camera->getPulseCount(&after), 0);
        QCOMPARE(int(after.range[7]), 1234);
        get<QSpinBox>("spinBox_PulseCount")->setValue(0);
        get<QSpinBox>("spinBox_GmmGain")->setValue(0);
        m_panel->on_pushButton_get_clicked();
        QCOMPARE(get<QSpinBox>("spinBox_PulseCount")->value(), 1234);
        QCOMPARE(get<QSpinBox>("spinBox_GmmGain")->value(), 77);

        QVERIFY(open("BRIO-1", 0)); // in its first work mode: depth and IR on the colour grid
        QCOMPARE(ShownImages::shownBy(sw), ShownImages::Rgb | ShownImages::MappedDepth | ShownImages::MappedIr);
        for (bool automatic : {false, true}) {
            get("checkBox_rgbaecenabled")->setChecked(automatic);
            for (const char *name : {"doubleSpinBox_exploretime", "doubleSpinBox_gain", "pushButton_Tset"})
                QCOMPARE(get<QWidget>(name)->isEnabled(), !automatic);
        }
        combo("comboBox_workmode")->setCurrentIndex(1); // colour only
        QVERIFY(!get("PointCloud")->isEnabled() && !get("checkBox_depthenabled")->isChecked());
        QVERIFY(sw.showRgb && !sw.showMappedDepth && !sw.showMappedIr);
        uint8_t mode = 0;
        QCOMPARE(m_camera->getDataModeProperty(&mode), 0);
        QCOMPARE(int(mode), int(LX2_DATA_WORK_RGB_30));
        combo("comboBox_workmode")->setCurrentIndex(2); // standby: nothing shown or streamed
        QCOMPARE(ShownImages::shownBy(sw), ShownImages::None);
        QVERIFY(!get("checkBox_rgbenabled")->isChecked() && !get("checkBox_depthenabled")->isChecked());
    }

    void saving()
    {
        QVERIFY(open("ALTA-1", 0));
        QCheckBox *continuous = get("SaveImage");
        continuous->setChecked(true);
        QCOMPARE(int(sw.saveState.loadAcquire()), 1);
        QVERIFY(sw.continuousSave);
        QCOMPARE(int(sw.saveIndex), 1);
        QVERIFY(!get<QPushButton>("pushButton_save")->isEnabled());
        QVERIFY(QFileInfo(sw.saveTarget().rootDir).isDir());
        continuous->setChecked(false); // stops even though no frame was saved
        QCOMPARE(int(sw.saveState), 3);
        QVERIFY(!sw.continuousSave);
        QVERIFY(get<QPushButton>("pushButton_save")->isEnabled());

        // A run the reader ended on a failed write, already reported: the switch goes off
        // and "Once Save" comes back, without a second report.
        {
            BoxRecorder boxes;
            continuous->setChecked(true);
            m_panel->slotSaveStopped();
            QVERIFY(!continuous->isChecked());
            QVERIFY(get<QPushButton>("pushButton_save")->isEnabled());
            QCOMPARE(int(sw.saveState), 3);
            QVERIFY(!sw.continuousSave);
            QVERIFY(boxes.boxes().isEmpty());
        }
        // A failure the image view has not announced yet (no frames since) survives an untick.
        continuous->setChecked(true);
        sw.finishSaveCycle(sw.saveRequest(), QStringLiteral("/x/00000001.png"));
        continuous->setChecked(false);
        QCOMPARE(int(sw.saveState), 2);
        QCOMPARE(sw.takeSaveReport().failureText(),
                 QStringLiteral("Save failed: /x/00000001.png\n0 sets written, 1 failed"));

        // The camera goes while a save waits for frame sets: it ends and says so.
        for (const bool run : {false, true}) {
            BoxRecorder boxes;
            if (run)
                continuous->setChecked(true);
            else
                get<QPushButton>("pushButton_save")->click();
            if (run)
                sw.finishSaveCycle(sw.saveRequest(), QString()); // one set written
            m_panel->cameraLost();
            QCOMPARE(int(sw.saveState), 3);
            QVERIFY(!continuous->isChecked());
            QTRY_COMPARE(boxes.shown(), QStringList(run ? "Warning\tSave stopped: the camera was lost\n1 set written"
                                                        : "Warning\tSave failed: the camera was lost before a frame "
                                                          "set arrived"));
            m_panel->reopenCamera();
        }

        // A folder that cannot be made is logged; the reader still gets the request.
        const QString blocked = m_home.filePath("not-a-folder");
        QVERIFY(writeFile(blocked, {}));
        qputenv("LUMIDESK_HOME", blocked.toLocal8Bit());
        sw.saveState = 3;
        get<QPushButton>("pushButton_save")->click();
        QVERIFY(LogCapture::lines().contains("creat file error"));
        QCOMPARE(int(sw.saveState), 1);
        QVERIFY(sw.saveTarget().rootDir.startsWith(blocked + "//SaveImage//"));
    }

    // Brio: the SDK dialog, without a question. Dune and Eske: the camera is told where to fetch
    // from (the text box's bytes as property 11), then the TFTP dialog; a camera that refuses the
    // text is said to, and the user decides. (Alta: altaLoaderEntry.) Every dialog but the panel's
    // own loader dialog is gone when the button returns.
    void upgradeButtonPerModel()
    {
        const QString handover = QStringLiteral("127.0.0.1:6969 dune.img");
        const QString refused = QStringLiteral("Upgrade\tThe camera did not take the upgrade hand-over "
                                               "\"10.1.1.1 caf\u00e9.img\" (status -4), so it may never ask for "
                                               "its image. Open the TFTP server anyway?");
        const struct
        {
            const char *uri;
            QString text;
            QMessageBox::StandardButton answer;
            const char *dialog;
            QString box;
        } models[] = {{"BRIO-1", handover, QMessageBox::Ok, "UpgradeBrio", {}},
                      {"10.0.0.5", handover, QMessageBox::Ok, "tftpServer", {}},
                      {"10.0.0.5", QStringLiteral("10.1.1.1 caf\u00e9.img"), QMessageBox::No, nullptr, refused},
                      {"10.0.0.5", QStringLiteral("10.1.1.1 caf\u00e9.img"), QMessageBox::Yes, "tftpServer", refused},
                      {"CIMA-1", handover, QMessageBox::Ok, nullptr, {}}};
        for (const auto &m : models) {
            QVERIFY(open(m.uri, 255));
            get<QPlainTextEdit>("paramsTextEdit")->setPlainText(m.text);
            const QSignalSpy closing(m_panel.get(), &CtlWidget::sglUpgrade);
            QCOMPARE(runUpgrade(m.answer, closing), m.dialog ? QStringList(m.dialog) : QStringList());
            QCOMPARE(m_boxes, m.box.isEmpty() ? QStringList() : QStringList(m.box));
            const QList<QDialog *> dialogs = m_panel->findChildren<QDialog *>();
            QCOMPARE(dialogs.size(), 1);
            QVERIFY(qobject_cast<UpdateDesc *>(dialogs.first()));

            char written[64] = {};
            int32_t length = sizeof written - 1;
            const bool handedOver =
                m_camera->getProperty(LX2_PROP_UPGRADE_HANDOVER, written, &length) == 0 && written[0] != 0;
            QCOMPARE(handedOver, QByteArray(m.uri).startsWith("10.") && m.box.isEmpty());
            if (handedOver)
                QCOMPARE(QByteArray(written), handover.toLatin1());
        }
    }

    // Alta: after a Yes the camera goes to its loader (work mode 16), is closed, and the loader
    // dialog runs with the flash type's boot loader and image, the first of each by name.
    void altaLoaderEntry_data()
    {
        QTest::addColumn<QByteArray>("ini"); // added to the cameras
        QTest::addColumn<QString>("uri");
        QTest::addColumn<int>("button"); // the answer to every box
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QStringList>("files"); // flash type, boot loader, image; none: no dialog
        const QByteArray alta2 = "[device.alta2]\nmodel = Alta\nuri = usb&2bc5&0401&ALTA-2&1-5\nserial = ALTA-2\n";
        QTest::newRow("nor") << QByteArray() << "ALTA-1" << int(QMessageBox::Yes) << QStringList(loaderQuestion)
                             << QStringList({"nor", "b_nor.bin", "alta_nor.img"});
        QTest::newRow("nand") << alta2 + "flashType = nand\n"
                              << "ALTA-2" << int(QMessageBox::Yes) << QStringList(loaderQuestion)
                              << QStringList({"nand", "a_nand.bin", "alta_nand.img"});
        QTest::newRow("unreadable flash type is nor")
            << alta2 + "flashType = nand\nfailPropertyReads = 0xF0000019\n"
            << "ALTA-2" << int(QMessageBox::Yes) << QStringList(loaderQuestion)
            << QStringList({"nor", "b_nor.bin", "alta_nor.img"});
        QTest::newRow("question answered No")
            << QByteArray() << "ALTA-1" << int(QMessageBox::No) << QStringList(loaderQuestion) << QStringList();
        QTest::newRow("work mode refused")
            << QByteArray("[faults]\nLx2_SetProperty = -6\n") << "ALTA-1" << int(QMessageBox::Yes)
            << QStringList({loaderQuestion, "Warning\tThe camera could not enter its upgrade mode (status -6). "
                                            "Please reconnect the camera and reopen TarvikLumidesk, then try again."})
            << QStringList();
    }

    void altaLoaderEntry()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, uri);
        QFETCH(int, button);
        const auto answer = QMessageBox::StandardButton(button);
        QFETCH(QStringList, files);
        const QString folder = m_home.filePath("Upgrade");
        QVERIFY(QDir().mkpath(folder));
        for (const char *name : {"c_nor.bin", "b_nor.bin", "a_nand.bin", "alta_nand.img", "alta_nor.img", "nor.txt"})
            QVERIFY(writeFile(folder + "/" + name, "x"));
        QVERIFY(open(uri.toLatin1().constData(), 0, {}, ini));
        QSignalSpy closing(m_panel.get(), &CtlWidget::sglUpgrade);
        const QStringList dialogs = runUpgrade(answer, closing);
        QTEST(m_boxes, "boxes");
        QCOMPARE(dialogs, files.isEmpty() ? QStringList() : QStringList("UpdateDesc closed"));

        const UpdateDesc *loader = m_panel->findChild<UpdateDesc *>();
        const bool inLoader = QFile::exists(m_config->statePath() + "/loader/" + uri + ".ini");
        QCOMPARE(inLoader, !files.isEmpty());
        QCOMPARE(closing.size(), files.isEmpty() ? 0 : 1);
        QCOMPARE(loader->isPrepared(), answer == QMessageBox::Yes);
        if (files.isEmpty())
            return;
        QCOMPARE(loader->flashType(), files[0]);
        QCOMPARE(loader->loaderPath(), m_home.path() + "//Upgrade//" + files[1]);
        QCOMPARE(loader->firmwarePath(), m_home.path() + "//Upgrade//" + files[2]);

        // Once prepared, never again while the program runs: nothing reaches the camera.
        QVERIFY(QFile::remove(m_config->statePath() + "/loader/" + uri + ".ini"));
        QCOMPARE(runUpgrade(QMessageBox::Yes, closing), QStringList());
        QCOMPARE(m_boxes, QStringList("Warning\tThe current device can not enter into upgraded mode. Please "
                                      "reconnect the camera and reopen TarvikLumidesk, then try again."));
        QCOMPARE(closing.size(), 1);
    }

private:
    // Presses "Upgrade Firmware", answering every box with answer and closing every dialog that
    // comes up. The boxes land in m_boxes; returns the dialogs, each with "closed" when the
    // camera had been closed before it came up.
    QStringList runUpgrade(QMessageBox::StandardButton answer, const QSignalSpy &closing)
    {
        QStringList shown;
        BoxRecorder boxes(answer);
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                shown << QStringLiteral("%1%2").arg(modal->metaObject()->className(),
                                                    closing.isEmpty() ? "" : " closed");
                modal->close();
            }
        });
        closer.start(10);
        m_panel->on_pushButton_upgrade_clicked();
        m_boxes = boxes.shown();
        return shown;
    }

    bool open(const char *uri, int userType, const QByteArray &settings = {}, const QByteArray &faults = {})
    {
        if (!writeFile(m_home.filePath("Lumidesk.ini"), "usertype=" + QByteArray::number(userType) + "\n" + settings))
            return false;
        Lx2_Shutdown();
        m_config = std::make_unique<SimConfigFile>(cameras + faults);
        if (m_camera->initializeSDK() != 0 || m_camera->initializeORB(QLatin1String(uri)) != 0)
            return false;
        sw.resetToDefaults();
        m_panel = std::make_unique<CtlWidget>();
        m_panel->openCamera();
        LogCapture::lines().clear();
        return true;
    }
    template <typename T = QCheckBox> T *get(const char *name) const
    {
        return m_panel->findChild<T *>(QLatin1String(name));
    }
    QComboBox *combo(const char *name) const { return get<QComboBox>(name); }

    // Every control the user can see, with whether it takes input; a list with its entries, the
    // current one starred.
    QStringList shownControls() const
    {
        QStringList shown;
        for (const QWidget *w : m_panel->findChildren<QWidget *>()) {
            if (w->objectName().isEmpty() || w->objectName().startsWith("qt_") || !w->isVisibleTo(m_panel.get()))
                continue;
            shown << w->objectName() + (w->isEnabled() ? "" : " (disabled)");
            if (const auto *list = qobject_cast<const QComboBox *>(w))
                for (int i = 0; i < list->count(); ++i)
                    shown.last() += (i == list->currentIndex() ? " *" : " ") + list->itemText(i);
        }
        shown.sort();
        return shown;
    }

    QStringList toggleStates() const // "<enabled><checked>" per view toggle
    {
        QStringList states;
        for (const char *name : toggleNames)
            states << QStringLiteral("%1%2").arg(get(name)->isEnabled()).arg(get(name)->isChecked());
        return states;
    }

    QTemporaryDir m_home;
    std::unique_ptr<SimConfigFile> m_config;
    std::unique_ptr<CtlWidget> m_panel;
    std::unique_ptr<LogCapture> m_log;
    QStringList m_boxes;
    Control_Single *m_camera = Control_Single::getInstance();
    DisplaySwitches &sw = DisplaySwitches::instance();
};

QTEST_MAIN(CtlWidgetTest)
#include "tst_ctlwidget.moc"
