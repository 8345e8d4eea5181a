// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QtGlobal>

// State of one PIN of a token, as ReadPinState reports it; all zero when the query failed.
struct TPinState
{
    qint32 RetriesLeft = 0; // attempts left before the PIN locks
    qint32 MaxRetries = 0;  // configured maximum
    qint32 MinLength = 0;
    qint32 MaxLength = 0;
    qint32 Locked = 0;   // 1 = the PIN is locked
    qint32 LoggedIn = 0; // 1 = a session is logged in with this PIN
};
