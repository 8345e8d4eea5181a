// SPDX-License-Identifier: BSD-3-Clause
#include "CertSummaries.h"

CertSummaries& CertSummaries::instance()
{
    static CertSummaries summaries;
    return summaries;
}

bool CertSummaries::find(const QByteArray& der, CertInfo* out)
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_entries.constFind(der);
    if (it == m_entries.cend())
        return false;
    *out = *it;
    return true;
}

void CertSummaries::keep(const QByteArray& der, const CertInfo& summary)
{
    QMutexLocker lock(&m_mutex);
    if (m_entries.size() >= MaxEntries)
        m_entries.clear();
    m_entries.insert(der, summary);
}
