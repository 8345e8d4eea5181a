// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>
#include <QtGlobal>

// What the user is told after a failed PIN or SO PIN login, from what the token (or its fingerprint
// application, whose codes are the same) said: wrong with the tries left, wrong without a count when
// the token does not tell, locked, or the status itself when the token gave no verdict on the PIN.
QString LoginVerdict(quint32 status, qint32 retriesLeft);
