#include "pipeline/LinkWatch.h"

bool LinkWatch::lostAfter(SdkStatus status, Clock::time_point now)
{
    if (status == LX2_OK || status == LX2_E_TIMEOUT) {
        m_failing = false;
        return false;
    }
    if (m_reported)
        return false;
    bool lost = status == LX2_E_DEVICE_GONE || status == LX2_E_INVALID_DEVICE;
    if (!m_failing) {
        m_failing = true;
        m_failingSince = now;
    }
    lost = lost || now - m_failingSince >= m_grace;
    m_reported = lost;
    return lost;
}

void LinkWatch::reset()
{
    m_failing = false;
    m_reported = false;
}
