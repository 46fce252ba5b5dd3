#include "camera/Control_Single.h"
#include "camera/SdkTypes.h"
#include "panel/DataModeTable.h"
#include "panel/DepthRanges.h"
#include "panel/FormRules.h"
#include "panel/ImageSaving.h"
#include "panel/ModelPresets.h"
#include "panel/ShownImages.h"
#include "panel/WdrSpan.h"
#include "pipeline/DisplaySwitches.h"

#include <QCheckBox>
#include <QComboBox>
#include <QtTest>

#include <map>

namespace {

// A box's state as "<enabled><checked>", e.g. "10" for enabled and unchecked.
using BoxStates = std::map<QString, QString>;

// What steps leave on boxes that all start in state start.
BoxStates after(const ControlSteps &steps, const QString &start, BoxStates boxes = {})
{
    for (const ControlStep &s : steps) {
        QString &state = boxes.try_emplace(s.control, start).first->second;
        if (const std::optional<bool> enabled = ToggleSteps::enabledAfter(s.step))
            state[0] = *enabled ? '1' : '0';
        if (const std::optional<bool> checked = ToggleSteps::checkedAfter(s.step))
            state[1] = *checked ? '1' : '0';
    }
    return boxes;
}

MeasuringRange record(int base)
{
    MeasuringRange r{};
    for (int k = 0; k < 3; ++k) {
        r.effectiveMin[k] = uint16_t(base + k * 10);
        r.effectiveMax[k] = uint16_t(base + 1000 + k * 10);
        r.depthMax[k] = uint16_t(base + 2000 + k * 10);
    }
    return r;
}

} // namespace

Q_DECLARE_METATYPE(FormRules::Fill)

class PanelTablesTest : public QObject
{
    Q_OBJECT

private slots:
    // The rule tables act through the boxes' own slots: every change runs the slot once, and
    // a box being enabled and checked is already enabled when its slot runs.
    void stepsActThroughTheBoxes_data()
    {
        QTest::addColumn<char>("step");
        QTest::addColumn<bool>("startOn");
        QTest::addColumn<QString>("expected"); // enabled, checked
        QTest::addColumn<int>("slotRuns");
        QTest::newRow("keep") << '.' << true << "01" << 0;
        QTest::newRow("enable") << 'e' << false << "10" << 0;
        QTest::newRow("on from off") << 'o' << false << "11" << 1;
        QTest::newRow("on when on") << 'o' << true << "11" << 0;
        QTest::newRow("off and out of reach") << 'x' << true << "00" << 1;
        QTest::newRow("enabled but off") << 'n' << true << "10" << 1;
        QTest::newRow("uncheck only") << 'u' << true << "00" << 1;
    }
    void stepsActThroughTheBoxes()
    {
        QFETCH(char, step);
        QFETCH(bool, startOn);
        QFETCH(QString, expected);
        QFETCH(int, slotRuns);
        QWidget form;
        auto *box = new QCheckBox(&form);
        box->setObjectName("box");
        box->setEnabled(false);
        box->setChecked(startOn);
        QStringList seen;
        connect(box, &QCheckBox::stateChanged, [&](int) { seen << QString::number(box->isEnabled()); });
        FormRules::apply(form, {{"box", ToggleStep(step)}});
        QCOMPARE(QStringLiteral("%1%2").arg(box->isEnabled()).arg(box->isChecked()), expected);
        QCOMPARE(seen.size(), slotRuns);
        if (step == 'o' && slotRuns)
            QCOMPARE(seen.first(), "1");
    }

    // Rebuilding a list selects entries one by one, and each selection reaches the camera
    // through the list's slot; an unchanged list is left alone.
    void listsAreRebuiltOnlyWhenTheyMust_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<FormRules::Fill>("how");
        QTest::addColumn<int>("selections");
        const QStringList ab{"a", "b"}, xy{"x", "y"};
        QTest::newRow("rebuilt") << ab << ab << FormRules::Fill::Rebuild << 2;
        QTest::newRow("kept") << ab << ab << FormRules::Fill::KeepWhenSame << 0;
        QTest::newRow("other items") << ab << xy << FormRules::Fill::KeepWhenSame << 2;
        QTest::newRow("relabelled") << ab << xy << FormRules::Fill::RelabelSameCount << 0;
        QTest::newRow("other count") << ab << QStringList{"x"} << FormRules::Fill::RelabelSameCount << 2;
        QTest::newRow("empty list") << QStringList() << xy << FormRules::Fill::KeepWhenSame << 1;
    }
    void listsAreRebuiltOnlyWhenTheyMust()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, items);
        QFETCH(FormRules::Fill, how);
        QFETCH(int, selections);
        QComboBox list;
        list.addItems(before);
        QSignalSpy changed(&list, QOverload<int>::of(&QComboBox::currentIndexChanged));
        FormRules::fill(list, items, how);
        QCOMPARE(changed.count(), selections);
        QStringList now;
        for (int i = 0; i < list.count(); ++i)
            now << list.itemText(i);
        QCOMPARE(now, items);
    }

    // The colour map runs from the near range's lower end to the far range's upper end, each
    // at the range's own place in its record; a record that could not be read changes nothing.
    void wdrLimitsComeFromBothEnds()
    {
        const WdrSpan span{4, 8}; // mid of mode 1, far of mode 2
        const MeasuringRange nearRecord = record(100), farRecord = record(300);
        const DepthRanges::Limits current{1, 2, 3};
        const auto limits = [&](const MeasuringRange *nearOne, const MeasuringRange *farOne) {
            const DepthRanges::Limits l = span.limits(current, nearOne, farOne);
            return QVector<int>{l.colourMapMin, l.colourMapMax, l.maxDepth};
        };
        QCOMPARE(limits(&nearRecord, &farRecord), QVector<int>({110, 1320, 2320}));
        QCOMPARE(limits(&nearRecord, nullptr), QVector<int>({110, 2, 3}));
        QCOMPARE(limits(nullptr, nullptr), QVector<int>({1, 2, 3}));
    }

    void shownImagesOwnOneSwitchEach()
    {
        DisplaySwitches &sw = DisplaySwitches::instance();
        for (ShownImages::Set image = ShownImages::Depth; image <= ShownImages::PointCloud; image <<= 1) {
            ShownImages::show(image, sw);
            QCOMPARE(ShownImages::shownBy(sw), image);
        }
        ShownImages::show(ShownImages::None, sw);
        QVERIFY(!sw.showDepth && !sw.showRgb && !sw.showPointCloud);
        sw.resetToDefaults();
    }

    // What a model starts with follows from what it has: a WDR mode in its list brings the
    // WDR set, a colour image shown is ticked, a model without a layout is left alone.
    void modelStarts()
    {
        for (int32_t model :
             {int32_t(Alta), int32_t(Brio), int32_t(Cima), int32_t(EskeAlias), int32_t(Dune), int32_t(Eske), 0}) {
            const ModelPresets::Start start = ModelPresets::startFor(model);
            const QString name = QString::number(model);
            for (int user : {0, 7, 255})
                QCOMPARE(start.loadsWdr, DataModeTable::listFor(model, user).items.contains("WDR_Depth"));
            const BoxStates boxes = after(start.steps, "..");
            if (boxes.count("checkBox_rgb"))
                QVERIFY2(boxes.at("checkBox_rgb").endsWith((*start.shown & ShownImages::Rgb) ? '1' : '0'),
                         qPrintable(name));
            QCOMPARE(start.shown.has_value(), model != 0);
        }
    }

    // One set is "set"; none and many are "sets" (the one-set text is the panel test's).
    void lostCameraTextCountsSets()
    {
        QCOMPARE(ImageSaving::lostCameraText(true, 0), "Save stopped: the camera was lost\n0 sets written");
        QCOMPARE(ImageSaving::lostCameraText(true, 12), "Save stopped: the camera was lost\n12 sets written");
    }
};

QTEST_MAIN(PanelTablesTest)
#include "tst_paneltables.moc"
