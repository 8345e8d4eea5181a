// SPDX-License-Identifier: BSD-3-Clause
#include "KeyInfoRows.h"

#include "app/SizeText.h"
#include "app/VersionText.h"
#include "i18n/ResStrs.h"
#include "token/TPinState.h"
#include "token/TQ7Info.h"

namespace {
KeyInfoRow row(const char* key, const QString& value)
{
    return {ResStrs::text(key), value};
}

// A count the token does not tell (a PKCS#11 token reports only "low" or "final try") reads as unknown
// rather than as an invented number.
QString countText(qint32 value)
{
    return value < 0 ? ResStrs::text("K_Info_Unknown") : QString::number(value);
}
QString memoryText(qint32 bytes)
{
    return bytes == TQ7Info::MemoryUnknown ? ResStrs::text("K_Info_Unknown") : SizeText(bytes);
}
} // namespace

QList<KeyInfoRow> keyInfoRows(const TQ7Info& info, const TPinState& userPin)
{
    return {
        row("K_Info_labelName", info.Label),
        row("K_Info_manufacture", info.Manufacturer),
        row("K_Info_model", info.Model),
        row("K_Info_Sn", info.SerialNumber),
        row("K_Info_maxPinLen", QString::number(info.MaxPinLen)),
        row("K_Info_minPinLen", QString::number(info.MinPinLen)),
        row("Admin_label_TryCount", countText(userPin.MaxRetries)),
        row("S_KeyTryTime", countText(userPin.RetriesLeft)),
        row("S_Key_Dead_State", ResStrs::text(userPin.Locked != 0 ? "S_Key_Dead_Yes" : "S_Key_Dead_No")),
        row("K_Info_totalMemory", memoryText(info.TotalMemory)),
        row("K_Info_freeMemory", memoryText(info.FreeMemory)),
        row("K_Info_hardwareVer", VersionText(info.HardwareVersion)),
        row("K_Info_firmVer", VersionText(info.FirmwareVersion)),
    };
}

QList<KeyInfoRow> fingerInfoRows(quint32 status, quint32 retriesLeft, qint32 enrolledCount)
{
    if (status != 0)
        return {row("F_Finger_State", ResStrs::text("P_SAR_APPLICATION_NOT_EXISTS"))};
    return {row("F_User_Try", QString::number(retriesLeft)),
            row("F_User_Count", QString::number(enrolledCount))};
}
