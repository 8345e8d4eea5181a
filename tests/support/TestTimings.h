// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "platform/TTimings.h"

// The tool's timings shortened so a test waits on conditions, never on real seconds.
inline TTimings testTimings()
{
    TTimings t;
    t.findUSBKey = 5;
    t.checkInit = 1;
    t.closeProject = 1;
    t.setFocusUPIN = 1;
    t.libraryStart = 1;
    t.regCert = 1;
    t.fingerSettle = 1;
    t.arrivalWait = 1;
    t.virtualNoticePoll = 20;
    t.enrollStart = 1;
    t.enrollCloseStep = 1;
    t.enrollPoll = 1;
    t.testStart = 1;
    t.testPoll = 1;
    t.verifyStart = 1;
    t.verifyCloseStep = 1;
    t.certProgressFast = 1;
    t.certProgressSlow = 1;
    t.isoChunkPause = 0;
    t.isoDoneWait = 0;
    return t;
}
