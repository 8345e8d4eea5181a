// SPDX-License-Identifier: BSD-3-Clause
#include "LoginVerdict.h"

#include "i18n/ResStrs.h"
#include "token/TokenStatus.h"

QString LoginVerdict(quint32 status, qint32 retriesLeft)
{
    if (retriesLeft > 0)
        return ResStrs::text("K_PIN_Error") + QChar(13) + ResStrs::format("K_Try_Time", retriesLeft);
    // Wrong, but the token does not tell how many tries are left (or the PIN could not be one at all,
    // which costs no try): not locked either.
    if ((status == TokenStatus::PinIncorrect && retriesLeft == TokenStatus::RetriesUnknown) ||
        status == TokenStatus::PinLengthRange)
        return ResStrs::text("K_PIN_Error");
    if (status == TokenStatus::PinIncorrect || status == TokenStatus::PinLocked)
        return ResStrs::text("K_Dead");
    // The token gave no verdict on the PIN (pulled out, failing): saying it is locked would be wrong.
    return ResStrs::format("P_FormatError", status);
}
