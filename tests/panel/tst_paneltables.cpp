#include "camera/Control_Single.h"
#include "camera/SdkTypes.h"
#include "panel/BrioWorkModes.h"
#include "panel/DataModeTable.h"
#include "panel/DepthRanges.h"
#include "panel/FormRules.h"
#include "panel/ImageSaving.h"
#include "panel/ModelPresets.h"
#include "panel/PulseAndGain.h"
#include "panel/ShownImages.h"
#include "panel/ViewToggles.h"
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

QString controlOf(ViewToggles::View view)
{
    return QLatin1String(ViewToggles::toggle(view).control);
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

    // Whatever a data mode offers, it never checks an image together with its mapped partner,
    // and it never offers the coloured point cloud where it takes the point cloud away.
    void dataModesKeepTheViewsConsistent()
    {
        for (int user : {0, 7, 255}) {
            for (int value : {0, 1, 2, 4, 10, 11}) {
                const BoxStates boxes = after(DataModeTable::togglesFor(value, user), "..");
                const auto state = [&boxes](const QString &control) {
                    const auto it = boxes.find(control);
                    return it == boxes.end() ? QStringLiteral("..") : it->second;
                };
                const QString where = QStringLiteral("mode %1 user %2").arg(value).arg(user);
                QCOMPARE(boxes.empty(), value == 4 && user == 0); // the basic user's list has no mode 4
                for (int v = ViewToggles::RgbImage; v <= ViewToggles::IrImage; ++v) {
                    const auto view = ViewToggles::View(v);
                    QVERIFY2(!(state(controlOf(view)).endsWith('1') &&
                               state(controlOf(ViewToggles::toggle(view).partner)).endsWith('1')),
                             qPrintable(where));
                }
                if (state("PointCloud") == "00")
                    QVERIFY2(state("checkBox_3DMap") == "00", qPrintable(where));
            }
        }
        QVERIFY(DataModeTable::togglesFor(3, 255).empty());
    }

    void brioWorkModes_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("boxes"); // AEC, depth frame, colour frame, point cloud, coloured cloud
        QTest::addColumn<int>("shown");
        QTest::addColumn<int>("resolution");
        using namespace ShownImages;
        // From boxes that are all enabled and checked.
        QTest::newRow("depth, IR and colour") << 0 << "11 11 11 11 11" << (Rgb | MappedDepth | MappedIr) << 2;
        QTest::newRow("colour only") << 1 << "11 10 11 00 00" << int(Rgb) << 2;
        QTest::newRow("standby") << 2 << "01 00 10 01 01" << int(None) << -1;
    }
    void brioWorkModes()
    {
        QFETCH(int, index);
        QFETCH(QString, boxes);
        QFETCH(int, shown);
        QFETCH(int, resolution);
        const BrioWorkModes::Row row = BrioWorkModes::rowFor(index);
        const BoxStates states = after(row.afterwards, "11", after(row.steps, "11"));
        QStringList got;
        for (const char *name :
             {"checkBox_rgbaecenabled", "checkBox_depthenabled", "checkBox_rgbenabled", "PointCloud", "checkBox_3DMap"})
            got << states.at(name);
        QCOMPARE(got.join(' '), boxes);
        QCOMPARE(int(row.shown.value_or(0xFF)), shown);
        QCOMPARE(row.rgbResolution, resolution);
        QCOMPARE(BrioWorkModes::dataModeOf(index), LX2_DATA_WORK_DEPTH_IR_15_RGB_30 + index);
    }

    void unknownWorkModeChangesNothing()
    {
        const BrioWorkModes::Row row = BrioWorkModes::rowFor(3);
        QVERIFY(row.steps.empty() && row.afterwards.empty() && !row.shown && row.rgbResolution < 0);
    }

    void wdrSpan_data()
    {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("near");
        QTest::addColumn<int>("second");
        QTest::addColumn<int>("third");
        QTest::addColumn<int>("far"); // 0: no span
        QTest::newRow("two ranges") << 2 << 1 << 5 << 8 << 5;
        QTest::newRow("three ranges") << 3 << 1 << 5 << 8 << 8;
        QTest::newRow("one range") << 1 << 1 << 5 << 8 << 0;
        QTest::newRow("count out of range") << 4 << 1 << 5 << 8 << 0;
        QTest::newRow("far range 0") << 3 << 1 << 5 << 0 << 0;
    }
    void wdrSpan()
    {
        QFETCH(int, total);
        QFETCH(int, near);
        QFETCH(int, second);
        QFETCH(int, third);
        QFETCH(int, far);
        const WdrOutputMode mode{uint32_t(total), uint32_t(near), 1, uint32_t(second), 1, uint32_t(third), 1};
        const std::optional<WdrSpan> span = WdrSpan::of(mode);
        QCOMPARE(span ? span->farRange : 0, far);
        if (span)
            QCOMPARE(span->nearRange, near);
    }

    // The colour map runs from the near range's lower end to the far range's upper end, each
    // at the range's own place in its record; a record that could not be read changes nothing.
    void wdrLimitsComeFromBothEnds()
    {
        const WdrSpan span{4, 8}; // mid of mode 1, far of mode 2
        const MeasuringRange nearRecord = record(100), farRecord = record(300);
        const DepthRanges::Limits current{1, 2, 3};
        const DepthRanges::Limits both = span.limits(current, &nearRecord, &farRecord);
        QCOMPARE(QVector<int>({both.colourMapMin, both.colourMapMax, both.maxDepth}), QVector<int>({110, 1320, 2320}));
        const DepthRanges::Limits nearOnly = span.limits(current, &nearRecord, nullptr);
        QCOMPARE(QVector<int>({nearOnly.colourMapMin, nearOnly.colourMapMax, nearOnly.maxDepth}),
                 QVector<int>({110, 2, 3}));
        const DepthRanges::Limits none = span.limits(current, nullptr, nullptr);
        QCOMPARE(QVector<int>({none.colourMapMin, none.colourMapMax, none.maxDepth}), QVector<int>({1, 2, 3}));
    }

    // Range r belongs to depth mode r / 3 at place r % 3: the list labels, the limits and the
    // pulse-count record all follow it.
    void rangesBelongToTheirDepthMode_data()
    {
        QTest::addColumn<int>("range");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("place");
        const int modes[] = {0, 0, 0, 1, 1, 1, 2, 2, 2};
        for (int r = 0; r < 9; ++r)
            QTest::addRow("Range%d", r) << r << modes[r] << r % 3;
    }
    void rangesBelongToTheirDepthMode()
    {
        QFETCH(int, range);
        QFETCH(int, mode);
        QFETCH(int, place);
        const MeasuringRange modes[3] = {record(100), record(200), record(300)};
        const DepthRanges::Entry entry = DepthRanges::entries(modes, true).at(range);
        const int lower = modes[mode].effectiveMin[place], upper = modes[mode].effectiveMax[place];
        QCOMPARE(entry.label, QStringLiteral("Range%1 (%2-%3mm)").arg(range).arg(lower).arg(upper));
        QCOMPARE(DepthRanges::limitsOf(modes[mode], range).colourMapMax, upper);
        const PulseCountSet set = PulseAndGain::record(1234, range);
        QCOMPARE(QVector<int>({set.pulseCount, set.depthMode, set.rangeIndex, set.reserved}),
                 QVector<int>({1234, mode, range, 0}));
    }

    // Each image toggle pairs a plain image with the one mapped onto its grid, both ways; a
    // checked toggle hands back its partner only while the partner is shown.
    void viewPairs()
    {
        DisplaySwitches &sw = DisplaySwitches::instance();
        for (int v = 0; v < ViewToggles::ViewCount; ++v) {
            const auto view = ViewToggles::View(v);
            const ViewToggles::View partner = ViewToggles::toggle(view).partner;
            QCOMPARE(ViewToggles::toggle(partner).partner, view);
            QCOMPARE(view <= ViewToggles::IrImage, partner > ViewToggles::IrImage);
            QCOMPARE(ViewToggles::toggle(view).mapper != nullptr, view > ViewToggles::IrImage);
            for (const bool partnerShown : {false, true}) {
                sw.resetToDefaults();
                ViewToggles::show(partner, partnerShown, sw);
                QVERIFY(!ViewToggles::show(view, false, sw));
                QCOMPARE(ViewToggles::show(view, true, sw).has_value(), partnerShown);
            }
        }
        sw.pointCloudRgb = true; // the coloured point cloud keeps the depth-to-colour mapper
        QVERIFY(!ViewToggles::mapperFor(ViewToggles::MappedRgb, sw));
        QVERIFY(ViewToggles::mapperFor(ViewToggles::MappedDepth, sw));
        sw.resetToDefaults();
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

    void lostCameraText_data()
    {
        QTest::addColumn<bool>("continuous");
        QTest::addColumn<int>("written");
        QTest::addColumn<QString>("text");
        QTest::newRow("once") << false << 0 << "Save failed: the camera was lost before a frame set arrived";
        QTest::newRow("none") << true << 0 << "Save stopped: the camera was lost\n0 sets written";
        QTest::newRow("one") << true << 1 << "Save stopped: the camera was lost\n1 set written";
        QTest::newRow("many") << true << 12 << "Save stopped: the camera was lost\n12 sets written";
    }
    void lostCameraText()
    {
        QFETCH(bool, continuous);
        QFETCH(int, written);
        QFETCH(QString, text);
        QCOMPARE(ImageSaving::lostCameraText(continuous, written), text);
    }
};

QTEST_MAIN(PanelTablesTest)
#include "tst_paneltables.moc"
