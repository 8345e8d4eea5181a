// SPDX-License-Identifier: BSD-3-Clause
#include "platform/VirtualTokenNotices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
// A notice line is a word and a device path; anything longer is not one of ours.
constexpr qsizetype MaxLine = 1024;
// One read takes at most this much, so a huge file (or a device) cannot hold the window up.
constexpr qint64 MaxChunk = 256 * 1024;
} // namespace

QString VirtualTokenNotices::defaultStoreFolder()
{
    const QString env = qEnvironmentVariable("QX4100_TOKEN_STORE");
    if (!env.isEmpty())
        return env;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Vostrel/QX4100/tokens");
}

QString VirtualTokenNotices::noticesPath(const QString& storeFolder)
{
    return storeFolder + QStringLiteral("/notices.log");
}

VirtualTokenNotices::VirtualTokenNotices(const QString& storeFolder, int pollMs, QObject* parent)
    : QObject(parent), m_folder(storeFolder), m_path(noticesPath(storeFolder))
{
    m_offset = QFileInfo(m_path).size();
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &VirtualTokenNotices::readNew);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &VirtualTokenNotices::readNew);
    m_poll.setInterval(qMax(1, pollMs));
    connect(&m_poll, &QTimer::timeout, this, &VirtualTokenNotices::readNew);
    m_poll.start();
    rewatch();
}

void VirtualTokenNotices::rewatch()
{
    if (QFileInfo(m_folder).isDir() && !m_watcher.directories().contains(m_folder))
        m_watcher.addPath(m_folder);
    if (QFileInfo(m_path).isFile() && !m_watcher.files().contains(m_path))
        m_watcher.addPath(m_path);
}

void VirtualTokenNotices::readNew()
{
    rewatch();
    QFile f(m_path);
    if (!QFileInfo(m_path).isFile() || !f.open(QIODevice::ReadOnly)) {
        m_offset = 0;
        return;
    }
    const qint64 size = f.size();
    if (size < m_offset)
        m_offset = 0; // the file was cut back
    if (size == m_offset || !f.seek(m_offset))
        return;
    const QByteArray chunk = f.read(qMin(size - m_offset, MaxChunk));
    const qsizetype end = chunk.lastIndexOf('\n');
    if (end < 0) {
        // A line still being written, unless it is far too long to be a notice at all.
        if (chunk.size() >= MaxChunk)
            m_offset += chunk.size();
        return;
    }
    m_offset += end + 1;
    for (const QByteArray& line : chunk.left(end).split('\n')) {
        const qsizetype space = line.indexOf(' ');
        if (space <= 0 || line.size() > MaxLine)
            continue;
        const QByteArray kind = line.left(space);
        const QString path = QString::fromUtf8(line.mid(space + 1)).trimmed();
        if (path.isEmpty())
            continue;
        if (kind == "arrived")
            Q_EMIT arrived(path);
        else if (kind == "removed")
            Q_EMIT removed(path);
    }
}
