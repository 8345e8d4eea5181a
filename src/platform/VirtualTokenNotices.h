// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

// Arrival and removal notices of virtual tokens, read from the token store's notice file by any
// process that wants them. The file is the store's public interface for notices, so the tool does
// not link the store itself:
//   <store folder>/notices.log, UTF-8, one line per notice, "arrived <device path>" or
//   "removed <device path>", each ended by a line feed; writers append under the store's lock and
//   cut the file back to nothing once it is large, so a reader that finds it shorter starts over.
// The store folder is $QX4100_TOKEN_STORE, else the XDG data home's Vostrel/QX4100/tokens.
class VirtualTokenNotices : public QObject
{
    Q_OBJECT
public:
    // Only notices posted from now on are reported. File-change signals can miss a file created
    // and written at once; a poll every `pollMs` backs them up.
    VirtualTokenNotices(const QString& storeFolder, int pollMs, QObject* parent = nullptr);

    static QString defaultStoreFolder();
    static QString noticesPath(const QString& storeFolder);

    // Reads what was appended since the last read; also runs by itself on changes and on the poll.
    void readNew();

Q_SIGNALS:
    void arrived(const QString& devicePath);
    void removed(const QString& devicePath);

private:
    void rewatch();

    QString m_folder;
    QString m_path;
    qint64 m_offset = 0;
    QFileSystemWatcher m_watcher;
    QTimer m_poll;
};
