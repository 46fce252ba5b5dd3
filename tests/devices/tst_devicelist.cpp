#include "camera/Control_Single.h"
#include "camera/DeviceModels.h"
#include "devices/DeviceList.h"
#include "support/BoxRecorder.h"
#include "support/SimConfigFile.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <cstring>
#include <memory>

namespace {

SdkDeviceInfo camera(int32_t type, const char *uri)
{
    SdkDeviceInfo info{};
    info.deviceType = type;
    std::strncpy(info.uri, uri, sizeof info.uri - 1);
    return info;
}

const QByteArray twoModels = fastSim() + R"(
[device.a1]
model = Alta
uri = usb&2bc5&0401&ALTA-1&1-1
[device.e1]
model = Eske
uri = net:10.0.0.8:5005
[device.a2]
model = Alta
uri = usb&2bc5&0401&ALTA-2&1-2
[device.short]
model = Cima
uri = usb&2bc5
)";

} // namespace

class DeviceListTest : public QObject
{
    Q_OBJECT

private slots:
    void groupsAndRowTexts()
    {
        using namespace DeviceModels;
        // Alta, Eske, Alta: the second Alta joins the first row; EskeAlias and Eske share "Eske",
        // cut at "&" (field 3) and ":" (field 1); unknown codes vanish.
        const auto groups =
            groupCameras({camera(Alta, "usb&a&b&A1&x"), camera(Eske, "net:10.0.0.1:1"), camera(Alta, "usb&a&b&A2&x"),
                          camera(EskeAlias, "usb&a&b&E2&x"), camera(99, "usb&a&b&Z&x"), camera(Brio, "usb&only")});
        QCOMPARE(groups.size(), size_t(3));
        QCOMPARE(groups[0].title, QStringLiteral("Alta"));
        QCOMPARE(groups[0].cameras, QStringList({"A1", "A2"}));
        QCOMPARE(groups[1].title, QStringLiteral("Eske"));
        QCOMPARE(groups[1].cameras, QStringList({"10.0.0.1", "E2"}));
        QCOMPARE(groups[2].cameras, QStringList({""}));                        // too few fields: an empty row
        QCOMPARE(cameraRowText(Dune, QStringLiteral("net::5005")), QString()); // empty field kept
    }

    void startUpAndFirstScan()
    {
        m_config = std::make_unique<SimConfigFile>(twoModels);
        DeviceList list(nullptr, quickScanMs);
        QCOMPARE(label(list)->text(), QStringLiteral("scaning ..."));
        for (const char *name : {"btn_Sync", "btn_Start", "btn_Stop"})
            QVERIFY(!button(list, name)->isEnabled());
        QVERIFY(list.isScanning());
        QTRY_COMPARE(label(list)->text(), QStringLiteral("select one device"));
        QVERIFY(button(list, "btn_Sync")->isEnabled());
        QCOMPARE(tree(list)->topLevelItemCount(), 3);
        QCOMPARE(tree(list)->topLevelItem(0)->childCount(), 2);
        QVERIFY(tree(list)->topLevelItem(0)->isExpanded());
    }

    void rowsAndSelection()
    {
        auto list = makeList(twoModels);
        QSignalSpy opened(list.get(), &DeviceList::sglopenCamera);
        // A model row changes nothing.
        list->itemClick(tree(*list)->topLevelItem(0), 0);
        QCOMPARE(label(*list)->text(), QStringLiteral("select one device"));
        QVERIFY(!button(*list, "btn_Start")->isEnabled());
        // A camera row with too few uri fields selects nothing that Start could open.
        list->itemClick(cameraRow(*list, 2, 0), 0);
        QCOMPARE(label(*list)->text(), QStringLiteral("selected:"));
        list->slotToStart();
        QCOMPARE(label(*list)->text(), QStringLiteral("selected:"));
        // A connection attempt that Start had scheduled would be due before this marker.
        bool marked = false;
        QTimer::singleShot(100, this, [&] { marked = true; });
        QTRY_VERIFY(marked);
        QCOMPARE(opened.count(), 0);
        // A camera row enables Start.
        list->itemClick(cameraRow(*list, 0, 1), 0);
        QCOMPARE(label(*list)->text(), QStringLiteral("selected:ALTA-2"));
        QVERIFY(button(*list, "btn_Start")->isEnabled());
    }

    void scanCancelAndRescan()
    {
        auto list = makeList(twoModels);
        QPushButton *scan = button(*list, "btn_Sync");
        // Scan twice: cancelled; the old tree stays, and the late timer changes nothing but the
        // Scan button.
        list->setScanDelay(quickScanMs);
        list->slotToSync();
        QCOMPARE(label(*list)->text(), QStringLiteral("scaning ..."));
        list->slotToSync();
        QCOMPARE(label(*list)->text(), QStringLiteral("select one device"));
        QVERIFY(!list->isScanning());
        tree(*list)->topLevelItem(0)->setText(0, QStringLiteral("marked"));
        scan->setEnabled(false);
        QTRY_VERIFY(scan->isEnabled()); // the late timer has run
        QCOMPARE(tree(*list)->topLevelItem(0)->text(0), QStringLiteral("marked"));
        QCOMPARE(label(*list)->text(), QStringLiteral("select one device"));

        // Scan, cancel, Scan: the first timer already runs the scan, long before the second.
        list->slotToSync();
        list->slotToSync();
        list->setScanDelay(neverMs);
        list->slotToSync();
        QVERIFY(list->isScanning());
        QTRY_COMPARE(tree(*list)->topLevelItem(0)->text(0), QStringLiteral("Alta"));
        QVERIFY(!list->isScanning());
        QCOMPARE(label(*list)->text(), QStringLiteral("select one device"));
    }

    void failingOpenShowsBoxAndEmitsNothing()
    {
        auto list = makeList(twoModels + "[faults]\nLx2_OpenDevice = -3\n");
        BoxRecorder boxes;
        QSignalSpy opened(list.get(), &DeviceList::sglopenCamera);
        QSignalSpy uri(list.get(), &DeviceList::sgluri);
        list->itemDoubleClick(cameraRow(*list, 0, 0), 0);
        QCOMPARE(label(*list)->text(), QStringLiteral("connecting ..."));
        QTRY_COMPARE(boxes.shown(), QStringList("Init Error\tCan not open Camera, Please try again"));
        QCOMPARE(opened.count() + uri.count(), 0);
        QCOMPARE(label(*list)->text(), QStringLiteral("connecting ..."));
        QVERIFY(!tree(*list)->isEnabled());
    }

    void failingSdkStart()
    {
        BoxRecorder boxes;
        auto list = makeList(twoModels + "[faults]\nLx2_Initialize = -1\n");
        QCOMPARE(boxes.shown(), QStringList("Init Error\tNot find Camera!"));
        QCOMPARE(boxes.boxes()[0].buttons, QMessageBox::StandardButtons(QMessageBox::Yes));
        QCOMPARE(label(*list)->text(), QStringLiteral("no device, scan again"));
    }

    void openAndStop()
    {
        auto list = makeList(twoModels);
        QStringList order;
        connect(list.get(), &DeviceList::sglopenCamera, [&] { order << "open"; });
        connect(list.get(), &DeviceList::sgluri, [&](const QString &uri) { order << "uri " + uri; });
        list->itemDoubleClick(cameraRow(*list, 1, 0), 0);
        QTRY_COMPARE(order, QStringList({"open", "uri 10.0.0.8"}));
        QCOMPARE(Control_Single::getInstance()->getDeviceType(), int32_t(Eske));
        QVERIFY(button(*list, "btn_Stop")->isEnabled());
        QVERIFY(!button(*list, "btn_Sync")->isEnabled());
        list->slotConnected();
        QCOMPARE(label(*list)->text(), QStringLiteral("connected:10.0.0.8"));

        // The camera still streams when sglcloseCamera reaches its receivers.
        bool streamingAtClose = false;
        connect(list.get(), &DeviceList::sglcloseCamera, [&] {
            FrameReadyFlags flags = 0;
            streamingAtClose = Control_Single::getInstance()->ReadNext(&flags) == 0;
        });
        list->slotToStop();
        QVERIFY(streamingAtClose);
        FrameReadyFlags flags = 0;
        QVERIFY(Control_Single::getInstance()->ReadNext(&flags) != 0); // closed now
        QCOMPARE(label(*list)->text(), QStringLiteral("unconnected:10.0.0.8"));
        QCOMPARE(tree(*list)->topLevelItemCount(), 0);
        QVERIFY(button(*list, "btn_Sync")->isEnabled());
        QVERIFY(!button(*list, "btn_Stop")->isEnabled());
    }

private:
    // A scan timer that fires while the test runs, and one that never does.
    static constexpr int quickScanMs = 20;
    static constexpr int neverMs = 24 * 3600 * 1000;

    // A list whose first scan has run; its own timer never fires during the test.
    std::unique_ptr<DeviceList> makeList(const QByteArray &ini)
    {
        m_config = std::make_unique<SimConfigFile>(ini);
        auto list = std::make_unique<DeviceList>(nullptr, neverMs);
        list->SlotTimeOut(); // the scan, without waiting for its timer
        return list;
    }
    QLabel *label(DeviceList &l) { return l.findChild<QLabel *>(QStringLiteral("label")); }
    QPushButton *button(DeviceList &l, const char *name) { return l.findChild<QPushButton *>(QLatin1String(name)); }
    QTreeWidget *tree(DeviceList &l) { return l.findChild<QTreeWidget *>(QStringLiteral("treeWidget")); }
    QTreeWidgetItem *cameraRow(DeviceList &l, int group, int row) { return tree(l)->topLevelItem(group)->child(row); }

    std::unique_ptr<SimConfigFile> m_config;
};

QTEST_MAIN(DeviceListTest)
#include "tst_devicelist.moc"
