#pragma once

#include <QObject>

#include <memory>

// Fixed-capacity ring of depth samples with a running sum, for the mean and deviation of a
// measurement window over several frames. Holds at most slots - 1 samples; a full ring
// drops its oldest sample. Not locked: the owner serialises access.
class QCycleQueue : public QObject
{
    Q_OBJECT

public:
    QCycleQueue(QObject *parent, int slotCount);

    void push(double value);
    double pop();
    int count() const { return (m_rear - m_front + m_size) % m_size; }
    bool isEmpty() const { return m_front == m_rear; }
    bool isFull() const { return (m_rear + 1) % m_size == m_front; }
    double mean() const { return m_sum / count(); } // NaN when empty
    // Population standard deviation; empties the ring.
    double stdDev();
    void reset();
    int size() const { return m_size; }

private:
    int m_size;
    int m_front = 0;
    int m_rear = 0;
    std::unique_ptr<double[]> m_samples;
    double m_sum = 0.0;
};
