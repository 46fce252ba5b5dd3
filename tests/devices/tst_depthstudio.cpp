#include "AlgoThread.h"
#include "BoxRecorder.h"
#include "DepthStudio.h"
#include "ImageWidget.h"
#include "SimConfigFile.h"

#include <QtTest>

#include <memory>

class DepthStudioTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void panelsShowAndHide();
    void closeAnsweredNoKeepsTheWindow();

private:
    QWidget *area(const char *name) { return m_window->findChild<QWidget *>(QLatin1String(name)); }
    std::unique_ptr<SimConfigFile> m_config;
    std::unique_ptr<DepthStudio> m_window;
};

void DepthStudioTest::init()
{
    m_window.reset();
    m_config = std::make_unique<SimConfigFile>(fastSim() + "[device.a]\nmodel = Alta\n");
    m_window = std::make_unique<DepthStudio>();
    m_window->show();
}

void DepthStudioTest::panelsShowAndHide()
{
    QVERIFY(area("widget_list")->isVisible());
    QVERIFY(area("widget_image")->isVisible());
    QVERIFY(!area("widget_ctl")->isVisible());
    m_window->sloturi(QString());
    QVERIFY(!area("widget_ctl")->isVisible());
    QVERIFY(!m_window->imageWidget()->processing()->isRunning());

    m_window->slotLeftRight(0);
    QVERIFY(!area("widget_list")->isVisible());
    m_window->slotLeftRight(7);
    QVERIFY(area("widget_list")->isVisible());
    m_window->slotTopBottom(1);
    QVERIFY(area("widget_ctl")->isVisible());
    m_window->slotTopBottom(0);
    QVERIFY(!area("widget_ctl")->isVisible());
}

void DepthStudioTest::closeAnsweredNoKeepsTheWindow()
{
    BoxRecorder boxes(QMessageBox::No);
    QVERIFY(!m_window->close());
    QVERIFY(m_window->isVisible());
    QCOMPARE(boxes.shown(), QStringList("Exit\tConfirm the exit?"));
    QCOMPARE(boxes.boxes()[0].defaultButton, QMessageBox::NoButton);
}

QTEST_MAIN(DepthStudioTest)
#include "tst_depthstudio.moc"
