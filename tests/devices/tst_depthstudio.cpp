#include "AlgoThread.h"
#include "CtlWidget.h"
#include "DepthStudio.h"
#include "ImageWidget.h"
#include "SimConfigFile.h"

#include <QCheckBox>
#include <QtTest>

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

    // The image view hands a continuous save that ended on a failed write back to the panel.
    void endedContinuousSaveUnticksThePanel()
    {
        QTemporaryDir home; // the save set's folders go here
        qputenv("LUMIDESK_HOME", home.path().toLocal8Bit());
        const SimConfigFile config(fastSim() + "[device.a]\nmodel = Alta\n");
        DepthStudio window;
        auto *continuous = window.ctlWidget()->findChild<QCheckBox *>(QStringLiteral("SaveImage"));
        continuous->setChecked(true);
        emit window.imageWidget()->sglSaveStopped();
        QVERIFY(!continuous->isChecked());
        qunsetenv("LUMIDESK_HOME");
    }
};

QTEST_MAIN(DepthStudioTest)
#include "tst_depthstudio.moc"
