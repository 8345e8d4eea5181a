// SPDX-License-Identifier: BSD-3-Clause
#include "FormatRecord.h"

#include "TokenMgr.h"
#include "Utf8Text.h"

namespace {
QByteArray field(const QByteArray& record, int offset, int width)
{
    const QByteArray f = record.mid(offset, width);
    const qsizetype nul = f.indexOf('\0');
    return nul < 0 ? f : f.left(nul);
}
} // namespace

FormatRecord::~FormatRecord()
{
    soPin.fill('\0');
    userPin.fill('\0');
}

quint32 FormatRecord::read(const QByteArray& record)
{
    if (record.size() < TM_FORMAT_RECORD_SIZE)
        return TM_ERR_ARGUMENTS;
    label = Utf8Text::trimTail(field(record, 0, 32));
    manufacturer = field(record, 32, 32);
    issuer = field(record, 64, 32);
    soPin = field(record, 96, 32);
    userPin = field(record, 128, 32);
    const auto byte = [&](int at) { return int(static_cast<unsigned char>(record[at])); };
    userTries = byte(160);
    soTries = byte(161);
    userMin = byte(162);
    userMax = byte(163);
    soMin = byte(164);
    soMax = byte(165);
    if (!Utf8Text::valid(label) || userTries < 1 || soTries < 1 || userMin < 1 || soMin < 1 ||
        userMin > userMax || soMin > soMax || userMax > 32 || soMax > 32)
        return TM_ERR_ARGUMENTS;
    if (userPin.size() < userMin || userPin.size() > userMax || soPin.size() < soMin || soPin.size() > soMax)
        return TM_ERR_PIN_LEN_RANGE;
    return TM_OK;
}
