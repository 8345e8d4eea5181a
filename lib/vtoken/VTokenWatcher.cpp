#include "VTokenWatcher.h"

#include "VTimings.h"
#include "VTokenNotices.h"
#include "VTokenStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

VTokenWatcher::VTokenWatcher(QObject* parent) : VTokenWatcher(VTokenStore::defaultFolder(), parent) {}

VTokenWatcher::VTokenWatcher(const QString& storeFolder, QObject* parent)
    : QObject(parent), m_folder(storeFolder), m_path(VTokenNotices::noticesPath(storeFolder))
{
    QDir().mkpath(m_folder);
    m_offset = QFileInfo(m_path).size(); // only what happens from now on
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &VTokenWatcher::readNew);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &VTokenWatcher::readNew);
    m_poll.setInterval(VTimings::current().watcherPoll);
    connect(&m_poll, &QTimer::timeout, this, &VTokenWatcher::readNew);
    m_poll.start();
    rewatch();
}

void VTokenWatcher::rewatch()
{
    if (!m_watcher.directories().contains(m_folder))
        m_watcher.addPath(m_folder);
    if (QFile::exists(m_path) && !m_watcher.files().contains(m_path))
        m_watcher.addPath(m_path);
}

void VTokenWatcher::readNew()
{
    rewatch();
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly)) {
        m_offset = 0;
        return;
    }
    if (f.size() < m_offset)
        m_offset = 0; // the file was cut back
    if (f.size() == m_offset || !f.seek(m_offset))
        return;
    const QByteArray chunk = f.read(f.size() - m_offset);
    const qsizetype end = chunk.lastIndexOf('\n');
    if (end < 0)
        return; // a line still being written
    m_offset += end + 1;
    for (const QByteArray& line : chunk.left(end).split('\n')) {
        const qsizetype space = line.indexOf(' ');
        if (space <= 0)
            continue;
        const QByteArray kind = line.left(space);
        const QString path = QString::fromUtf8(line.mid(space + 1)).trimmed();
        if (kind == "arrived")
            Q_EMIT arrived(path);
        else if (kind == "removed")
            Q_EMIT removed(path);
    }
}
