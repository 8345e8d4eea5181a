// SPDX-License-Identifier: BSD-3-Clause
#include "VTimings.h"

#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <cmath>

VTimings VTimings::scaled(double factor)
{
    if (!std::isfinite(factor) || factor < 0 || factor > 1000)
        factor = 1;
    auto scale = [factor](int ms, int floor) {
        return std::max(floor, int(std::lround(double(ms) * factor)));
    };
    const VTimings base;
    VTimings t;
    t.loginFingerWait = scale(base.loginFingerWait, 1);
    t.captureTimeout = scale(base.captureTimeout, std::min(base.captureTimeout, 2000));
    t.automaticInterval = scale(base.automaticInterval, 1);
    t.capturePoll = scale(base.capturePoll, 1);
    t.lockTimeout = scale(base.lockTimeout, 500);
    return t;
}

const VTimings& VTimings::current()
{
    static const VTimings timings = [] {
        bool ok = false;
        const double factor = qEnvironmentVariable("QX4100_VTOKEN_TIME_SCALE").toDouble(&ok);
        return scaled(ok ? factor : 1.0);
    }();
    return timings;
}
