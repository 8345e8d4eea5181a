// SPDX-License-Identifier: BSD-3-Clause
#pragma once

// Every wait and interval of the virtual tokens in one record, in milliseconds. The production values
// are scaled by the environment variable QX4100_VTOKEN_TIME_SCALE (a decimal factor, default 1; read
// once per process), so tests need not wait real seconds for a sensor nobody touches.
struct VTimings
{
    // How long a fingerprint login waits for a finger.
    int loginFingerWait = 8000;
    // A capture that sees no finger for this long gives up; never below two seconds, so a finger
    // placed from another process is not too late for it.
    int captureTimeout = 15000;
    // Automatic mode presents a finger this often.
    int automaticInterval = 500;
    // How often a waiting capture looks at the sensor.
    int capturePoll = 50;
    // How long a writer waits for another process's token lock before the token counts as busy.
    int lockTimeout = 10000;

    static const VTimings& current();
    // The production values scaled by `factor` (at least 1 ms each).
    static VTimings scaled(double factor);
};
