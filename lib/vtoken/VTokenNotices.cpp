// SPDX-License-Identifier: BSD-3-Clause
#include "VTokenNotices.h"

#include "VFileLock.h"
#include "VTokenStore.h"

#include <QFile>

QString VTokenNotices::noticesPath(const QString& storeFolder)
{
    return storeFolder + QStringLiteral("/notices.log");
}

void VTokenNotices::post(const QString& storeFolder, Kind kind, const QString& devicePath)
{
    VTokenStore::makeFolder(storeFolder);
    VFileLock lock(storeFolder + QStringLiteral("/notices.lock"));
    if (!lock.tryLock(5000))
        return; // a lost notice only delays discovery until the next one
    QFile f(noticesPath(storeFolder));
    const bool trim = f.exists() && f.size() > TrimSize;
    if (!f.open(trim ? (QIODevice::WriteOnly | QIODevice::Truncate)
                     : (QIODevice::WriteOnly | QIODevice::Append)))
        return;
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner); // it lives among the token files
    const QByteArray line = (kind == Kind::Arrived ? QByteArray("arrived ") : QByteArray("removed ")) +
                            devicePath.toUtf8() + '\n';
    f.write(line);
}
