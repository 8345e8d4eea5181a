// SPDX-License-Identifier: BSD-3-Clause
#include "VFingerCapture.h"

#include <QThread>

VFingerCapture::VFingerCapture(const QString& storeFolder, const QString& serial)
    : m_sensor(storeFolder, serial)
{
    m_sinceSample.start();
}

std::optional<int> VFingerCapture::poll(int automaticFinger)
{
    std::optional<int> finger = m_sensor.take();
    if (!finger && m_sinceSample.elapsed() >= VTimings::current().automaticInterval && m_sensor.automatic())
        finger = automaticFinger;
    if (finger)
        m_sinceSample.restart();
    return finger;
}

std::optional<int> VFingerCapture::wait(int automaticFinger, int waitMs)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (const std::optional<int> finger = poll(automaticFinger))
            return finger;
        if (waited.elapsed() >= waitMs)
            return std::nullopt;
        QThread::msleep(ulong(VTimings::current().capturePoll));
    }
}
