#include "AlgoThread.h"
#include "DepthStudio.h"
#include "ImageWidget.h"
#include "SimConfigFile.h"

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
};

QTEST_MAIN(DepthStudioTest)
#include "tst_depthstudio.moc"
