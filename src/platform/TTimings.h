// SPDX-License-Identifier: BSD-3-Clause
#pragma once

// Every interval and wait of the tool in one place, in milliseconds. The values here are the
// production ones; tests shorten them so nothing waits real seconds. Timers read their interval
// from this record each time they are started.
struct TTimings
{
    // Retry of a refresh after a served device arrives or leaves (TFindUSBKey).
    int findUSBKey = 1000;
    // Check for uninitialized tokens after a successful refresh (TCheckInit).
    int checkInit = 400;
    // Pause before the failed library start is reported and the window closes (TCloseProject).
    int closeProject = 500;
    // Pause before the login page's PIN field takes the focus (TSetFocusUPIN).
    int setFocusUPIN = 100;
    // Registration of the token's certificates after an import (TRegCert, one-shot).
    int regCert = 1000;
    // Library start after the main window's first showing.
    int libraryStart = 300;
    // Settle time for the fingerprint side before a refresh decides about it.
    int fingerSettle = 500;
    // Look at the virtual tokens' notice file this often besides its change signals.
    int virtualNoticePoll = 500;
    // Pause after a served device's arrival before the retry timer starts.
    int arrivalWait = 100;
    // Enrollment dialog: start after showing, close countdown step, and sensor polling.
    int enrollStart = 1000;
    int enrollCloseStep = 1000;
    int enrollPoll = 200;
    // Fingerprint test and verification dialogs: start after showing, sensor polling, and the
    // verification's close countdown step.
    int testStart = 1000;
    int testPoll = 200;
    int verifyStart = 1000;
    int verifyCloseStep = 1000;
    // The longest a fingerprint dialog waits for the sensor before it gives up with a message.
    int fingerWaitLimit = 60000;
    // A second start asking the running instance to restore its window: how long it keeps asking,
    // how long one request may take, and the pause between requests.
    int restoreDeadline = 1500;
    int restoreRequest = 1000;
    int restoreRetryPause = 50;
    // Certificate import progress (TimerCert): while a certificate is written, and while a new
    // container is made for it.
    int certProgressFast = 150;
    int certProgressSlow = 350;
    // CD-ROM image writing: the pause before each chunk, and the wait before success is reported.
    int isoChunkPause = 100;
    int isoDoneWait = 500;
    // Bound of the random pause after each row of the system page's re-check.
    int fullCheckPause = 100;
    // The online update looks at its download and at the closing window this often.
    int updatePoll = 500;
    // A download that receives nothing for this long has stalled and fails.
    int updateStall = 30000;
};
