#include "pipeline/QCycleQueue.h"

#include <QDebug>

#include <algorithm>
#include <cmath>

QCycleQueue::QCycleQueue(QObject *parent, int slotCount)
    : QObject(parent)
    , m_size(std::max(slotCount, 1)) // a ring of one slot holds nothing but stays well-defined
    , m_samples(new double[size_t(m_size)])
{}

void QCycleQueue::push(double value)
{
    if (isFull()) {
        m_sum -= m_samples[m_front];
        m_front = (m_front + 1) % m_size;
    }
    m_samples[m_rear] = value;
    m_sum += value;
    m_rear = (m_rear + 1) % m_size;
}

double QCycleQueue::pop()
{
    if (isEmpty())
        return std::nan(""); // nothing to take; the indices stay consistent
    const double value = m_samples[m_front];
    m_sum -= value;
    m_front = (m_front + 1) % m_size;
    return value;
}

double QCycleQueue::stdDev()
{
    const int n = count();
    const double average = m_sum / n;
    qDebug() << "count:" << n << "m_front:" << m_front << "m_rear:" << m_rear << "m_size:" << m_size;
    double accumulator = 0.0;
    for (int i = 0; i < n; ++i) {
        const double d = pop() - average;
        accumulator += d * d;
    }
    return std::sqrt(accumulator / n);
}

void QCycleQueue::reset()
{
    m_front = m_rear = 0;
    m_sum = 0.0;
}
