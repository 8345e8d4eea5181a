// SPDX-License-Identifier: BSD-3-Clause
#include "SoPinVerdict.h"

#include "i18n/ResStrs.h"
#include "token/TokenStatus.h"

QString SoPinVerdict(qint32 retriesLeft)
{
    if (retriesLeft == TokenStatus::RetriesUnknown)
        return ResStrs::text("SOPIN_Error");
    if (retriesLeft == 0)
        return ResStrs::text("K_Dead");
    return ResStrs::format("K_OldCheck", retriesLeft);
}
