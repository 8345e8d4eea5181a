// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>

// The initialization parameter record token_format takes, read and checked the same way for every
// backend. The PINs it held are wiped when it goes.
class FormatRecord
{
public:
    FormatRecord() = default;
    FormatRecord(const FormatRecord&) = delete;
    FormatRecord& operator=(const FormatRecord&) = delete;
    ~FormatRecord();

    // TM_OK; TM_ERR_ARGUMENTS for a record no token could take (a label that is not UTF-8, no tries,
    // lengths out of order or beyond 32); TM_ERR_PIN_LEN_RANGE for PINs outside the lengths it sets.
    quint32 read(const QByteArray& record);

    QByteArray label, manufacturer, issuer, soPin, userPin;
    int userTries = 0, soTries = 0, userMin = 0, userMax = 0, soMin = 0, soMax = 0;
};
