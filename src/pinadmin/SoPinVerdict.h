// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>

// What to tell after the token refused an SO PIN: locked, wrong with the tries left, or wrong with the
// tries left untold (a PKCS#11 token reports only locked, final try or low).
QString SoPinVerdict(qint32 retriesLeft);
