#include "camera/Control_Single.h"
#include "camera/SdkTypes.h"
#include "devices/DepthStudio.h"
#include "devices/DeviceList.h"
#include "panel/CtlWidget.h"
#include "panel/DataModeTable.h"
#include "pipeline/AlgoThread.h"
#include "pipeline/DisplaySwitches.h"
#include "pipeline/ImageWidget.h"
#include "pipeline/MyThread.h"
#include "support/ProgramFolder.h"
#include "support/SimConfigFile.h"

#include <QCheckBox>
#include <QtTest>
#include <QtWidgets>

class DepthStudioTest : public QObject
{
    Q_OBJECT

private slots:
    void panelsShowAndHide()
    {
        const SimConfigFile config(fastSim() + "[device.a]\nmodel = Alta\n");
        DepthStudio window;
        window.show();
        const auto shown = [&](const char *area) {
            return window.findChild<QWidget *>(QLatin1String(area))->isVisible();
        };
        QVERIFY(shown("widget_list") && shown("widget_image") && !shown("widget_ctl"));
        window.sloturi(QString());
        QVERIFY(!shown("widget_ctl"));
        QVERIFY(!window.imageWidget()->processing()->isRunning());

        window.slotLeftRight(0);
        QVERIFY(!shown("widget_list"));
        window.slotLeftRight(7);
        QVERIFY(shown("widget_list"));
        window.slotTopBottom(1);
        QVERIFY(shown("widget_ctl"));
        window.slotTopBottom(0);
        QVERIFY(!shown("widget_ctl"));
    }

    // An unplugged camera is shown as lost, and when it comes back (with its start-up
    // settings, as after any power cut) it is opened again with the panel's settings.
    void lostCameraComesBackWithThePanelsSettings()
    {
        const SimConfigFile config(fastSim() + "[device.a]\nmodel = Alta\nserial = ALT-LOST-1\n"
                                               "unplugAfterFrames = 60\nreplugAfterSeconds = 0.5\n");
        DepthStudio window;
        QLabel *label = openTheOnlyCamera(window);
        QTRY_COMPARE(label->text(), QStringLiteral("connected:ALT-LOST-1"));
        auto *list = window.findChild<DeviceList *>();

        auto *dataModes = window.findChild<QComboBox *>(QStringLiteral("dataModeComBox"));
        dataModes->setCurrentIndex(DataModeTable::indexForValue(Alta, 2, dataModes->count()));
        window.findChild<QCheckBox *>(QStringLiteral("TimeFilter"))->setChecked(true);
        window.findChild<QCheckBox *>(QStringLiteral("checkBox_AntiInterference"))->setChecked(true);
        auto *group = window.findChild<QGroupBox *>(QStringLiteral("groupBox_ALGO"));
        MyThread *reader = window.imageWidget()->processing()->reader();

        QTRY_COMPARE_WITH_TIMEOUT(label->text(), QStringLiteral("unconnected:ALT-LOST-1"), 10000);
        QVERIFY(!group->isEnabled());
        QVERIFY(!reader->isReading());

        QTRY_COMPARE_WITH_TIMEOUT(label->text(), QStringLiteral("connected:ALT-LOST-1"), 10000);
        Control_Single *camera = Control_Single::getInstance();
        uint8_t mode = 0;
        QCOMPARE(camera->getDataModeProperty(&mode), 0);
        QCOMPARE(int(mode), 2);
        QCOMPARE(int(camera->getTimeFilterEnabled()), 1);
        QVERIFY(group->isEnabled());
        QVERIFY(reader->isReading());

        // Stop while it is away: no more waiting for it.
        QTRY_COMPARE_WITH_TIMEOUT(label->text(), QStringLiteral("unconnected:ALT-LOST-1"), 10000);
        list->slotToStop();
        QVERIFY(!list->findChild<QTimer *>()->isActive());
        QCOMPARE(list->findChild<QPushButton *>(QStringLiteral("btn_Stop"))->isEnabled(), false);
    }

    // After a loader upgrade the reader's refresh request brings the panel the camera's device
    // information again; the upgrade entry's close request closes the camera.
    void refreshAfterALoaderUpgrade()
    {
        const SimConfigFile config(fastSim() + "[device.a]\nmodel = Alta\nserial = ALT-FW-1\nfirmware = 2.0.9\n");
        DepthStudio window;
        QLabel *label = openTheOnlyCamera(window);
        QTRY_COMPARE(label->text(), QStringLiteral("connected:ALT-FW-1"));
        auto *firmware = window.ctlWidget()->findChild<QLineEdit *>(QStringLiteral("lineEdit_fw"));
        QCOMPARE(firmware->text(), QStringLiteral("2.0.9"));

        firmware->clear();
        DisplaySwitches &sw = DisplaySwitches::instance();
        sw.refreshRequest = 2;
        QTRY_COMPARE(firmware->text(), QStringLiteral("2.0.9"));
        QCOMPARE(int(sw.refreshRequest), 0);

        emit window.ctlWidget()->sglUpgrade();
        QCOMPARE(label->text(), QStringLiteral("unconnected:ALT-FW-1"));
        QVERIFY(!window.imageWidget()->processing()->reader()->isReading());
    }

    // The image view hands a continuous save that ended on a failed write back to the panel.
    void endedContinuousSaveUnticksThePanel()
    {
        const SimConfigFile config(fastSim() + "[device.a]\nmodel = Alta\n");
        DepthStudio window;
        auto *continuous = window.ctlWidget()->findChild<QCheckBox *>(QStringLiteral("SaveImage"));
        continuous->setChecked(true);
        emit window.imageWidget()->sglSaveStopped();
        QVERIFY(!continuous->isChecked());
    }

private:
    // Shows the window, lists the one camera and opens it as a double click does. Returns the
    // device list's connection label.
    static QLabel *openTheOnlyCamera(DepthStudio &window)
    {
        window.show();
        auto *list = window.findChild<DeviceList *>();
        auto *tree = list->findChild<QTreeWidget *>();
        list->SlotTimeOut();
        if (tree->topLevelItemCount() == 1)
            list->itemDoubleClick(tree->topLevelItem(0)->child(0), 0);
        return list->findChild<QLabel *>(QStringLiteral("label"));
    }

    const ProgramFolder m_home; // settings, and the save set's folders
};

QTEST_MAIN(DepthStudioTest)
#include "tst_depthstudio.moc"
