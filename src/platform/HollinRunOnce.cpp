// SPDX-License-Identifier: BSD-3-Clause
#include "HollinRunOnce.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <signal.h>
#endif

HollinRunOnce::HollinRunOnce()
{
    const QString key = nativeKey();
    // The key names a file; it must exist for the slot to be found by the next start.
    QFile keyFile(key);
    if (!keyFile.exists() && keyFile.open(QIODevice::WriteOnly))
        keyFile.close();
    m_memory.setNativeKey(key);
    if (m_memory.attach(QSharedMemory::ReadWrite))
        return;
    if (m_memory.create(sizeof(quint32), QSharedMemory::ReadWrite)) {
        const quint32 zero = 0;
        std::memcpy(m_memory.data(), &zero, sizeof zero);
        return;
    }
    // Someone created it between our two attempts.
    m_memory.attach(QSharedMemory::ReadWrite);
}

HollinRunOnce::~HollinRunOnce()
{
    if (m_memory.isAttached())
        m_memory.detach();
}

QString HollinRunOnce::nativeKey()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QLatin1Char('/') + QLatin1String(SlotName);
}

quint32 HollinRunOnce::slotValue() const
{
    if (!m_memory.isAttached() || m_memory.size() < qsizetype(sizeof(quint32)))
        return 0;
    quint32 value = 0;
    std::memcpy(&value, m_memory.constData(), sizeof value);
    return value;
}

bool HollinRunOnce::testAndClaim(quint32 ownId, const std::function<bool(quint32 id)>& restore)
{
    if (!m_memory.isAttached() || m_memory.size() < qsizetype(sizeof(quint32)))
        return false;
    const quint32 running = slotValue();
    if (running != 0 && running != ownId && restore && restore(running))
        return true;
    // An empty slot, or one whose instance is gone: this instance runs and owns it.
    std::memcpy(m_memory.data(), &ownId, sizeof ownId);
    return false;
}

bool HollinRunOnce::processAlive(quint32 id)
{
#ifdef Q_OS_UNIX
    return id != 0 && (::kill(pid_t(id), 0) == 0 || errno == EPERM);
#else
    return id != 0;
#endif
}
