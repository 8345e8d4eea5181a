// SPDX-License-Identifier: BSD-3-Clause
#include "VDecodedTokens.h"

#include <ctime>

VDecodedTokens& VDecodedTokens::instance()
{
    static VDecodedTokens tokens;
    return tokens;
}

VDecodedTokens::Identity VDecodedTokens::identityOf(const struct stat& st)
{
    return {st.st_dev, st.st_ino, st.st_size, qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec};
}

qint64 VDecodedTokens::nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

bool VDecodedTokens::find(const QString& path, const Identity& id, VToken* out)
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_entries.constFind(path);
    if (it == m_entries.cend() || !(it->id == id) || id.changedNs >= it->decodedAtNs - MarginNs)
        return false;
    *out = it->token;
    return true;
}

void VDecodedTokens::keep(const QString& path, const Identity& id, qint64 decodedAtNs, const VToken& token)
{
    QMutexLocker lock(&m_mutex);
    if (m_entries.size() >= MaxEntries && !m_entries.contains(path))
        m_entries.clear();
    m_entries.insert(path, {id, decodedAtNs, token});
}

void VDecodedTokens::forget(const QString& path)
{
    QMutexLocker lock(&m_mutex);
    m_entries.remove(path);
}
