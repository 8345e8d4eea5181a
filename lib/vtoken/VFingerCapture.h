// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "VSensor.h"
#include "VTimings.h"

#include <QElapsedTimer>

#include <optional>

// One capture on a virtual sensor, polled until a finger comes: a finger placed by hand is taken as
// soon as it is there; in automatic mode one comes every half second by itself.
class VFingerCapture
{
public:
    VFingerCapture(const QString& storeFolder, const QString& serial);

    // The finger on the sensor, if one came since the last poll; `automaticFinger` is the one the
    // automatic mode presents.
    std::optional<int> poll(int automaticFinger);
    // True once no finger has come for the capture timeout.
    bool timedOut() const { return m_sinceSample.elapsed() >= VTimings::current().captureTimeout; }
    // Polls until a finger comes or `waitMs` pass.
    std::optional<int> wait(int automaticFinger, int waitMs);

private:
    VSensor m_sensor;
    QElapsedTimer m_sinceSample;
};
