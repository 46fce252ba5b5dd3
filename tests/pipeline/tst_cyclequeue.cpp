#include "pipeline/DepthMeasurement.h"
#include "pipeline/QCycleQueue.h"

#include <QtTest>

#include <cmath>

class CycleQueueTest : public QObject
{
    Q_OBJECT

private slots:
    void fullRingDropsOldest()
    {
        QCycleQueue ring(nullptr, 4);
        for (double v : {1.0, 2.0, 3.0, 4.0})
            ring.push(v);
        QVERIFY(ring.isFull());
        QCOMPARE(ring.count(), 3);
        QCOMPARE(ring.mean(), 3.0); // 2 + 3 + 4
        QCOMPARE(ring.pop(), 2.0);
        QCOMPARE(ring.pop(), 3.0);
        QCOMPARE(ring.pop(), 4.0);
        QVERIFY(ring.isEmpty());
        for (int i = 0; i < 6; ++i) // the rear wraps below the front
            ring.push(i);
        ring.pop();
        QCOMPARE(ring.count(), 2);
        QCOMPARE(ring.mean(), 4.5); // 4, 5
    }

    void stdDevIsPopulationFormAndEmpties()
    {
        QCycleQueue ring(nullptr, 5001);
        for (double v : {2, 4, 4, 4, 5, 5, 7, 9})
            ring.push(v);
        QCOMPARE(ring.mean(), 5.0);
        QCOMPARE(ring.stdDev(), 2.0);
        QVERIFY(ring.isEmpty());
        // Empty: no numbers, and popping nothing leaves the ring consistent.
        QVERIFY(std::isnan(ring.mean()));
        QVERIFY(std::isnan(ring.stdDev()));
        QVERIFY(std::isnan(ring.pop()));
        QCOMPARE(ring.count(), 0);
        ring.push(10.0);
        QCOMPARE(ring.count(), 1);
        QCOMPARE(ring.mean(), 10.0);
    }

    void measurementRingSlots_data()
    {
        QTest::addColumn<int>("window");
        QTest::addColumn<int>("period");
        QTest::addColumn<int>("slotCount");
        QTest::newRow("start-up window 10, period 50") << 10 << 50 << 5001;
        QTest::newRow("window 5, period 20") << 5 << 20 << 501;
        QTest::newRow("largest spin-box values: capped") << 999999 << 99999999 << (1 << 24) + 1;
        QTest::newRow("product just past 32 bits: capped") << 65536 << 1 << (1 << 24) + 1;
    }

    void measurementRingSlots()
    {
        QFETCH(int, window);
        QFETCH(int, period);
        QFETCH(int, slotCount);
        DepthMeasurement measurement;
        measurement.reset(window, period);
        QCOMPARE(measurement.ringSlots(), slotCount);
        // A capped ring still measures.
        const cv::Mat region(3, 3, CV_16UC1, cv::Scalar(700));
        DepthMeasurement::Result result;
        measurement.reset(window, 1);
        QVERIFY(measurement.addFrame(region, 1000, result));
        QCOMPARE(result.mean, QStringLiteral("700"));
    }
};

QTEST_GUILESS_MAIN(CycleQueueTest)
#include "tst_cyclequeue.moc"
