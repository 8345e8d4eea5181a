// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "CertInfo.h"

#include <QByteArray>
#include <QHash>
#include <QMutex>

// Certificate summaries already read in this process, by their DER bytes: a certificate tree asks
// for every certificate on the token each time it is built, and building OpenSSL's certificate
// object is by far the dearest part of that.
class CertSummaries
{
public:
    static CertSummaries& instance();

    bool find(const QByteArray& der, CertInfo* out);
    void keep(const QByteArray& der, const CertInfo& summary);

private:
    // More than the certificates of every token the tool lists at once.
    static constexpr int MaxEntries = 1024;
    QMutex m_mutex;
    QHash<QByteArray, CertInfo> m_entries;
};
