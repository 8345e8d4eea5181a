// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "VToken.h"

#include <QHash>
#include <QMutex>
#include <QString>

#include <sys/stat.h>

// The decoded tokens of this process, so that a call that finds its token file unchanged does not
// read, check and decode it again: with many containers a listing makes hundreds of calls.
//
// A file counts as unchanged when its identity (device, inode, size, both times) is the one seen
// when it was decoded. Times move only in clock ticks, and an inode may be used again, so an entry
// is trusted only once the file's last change lies clearly before the moment it was decoded; a
// file changed within that margin is simply read again.
class VDecodedTokens
{
public:
    struct Identity
    {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        bool operator==(const Identity&) const = default;
    };

    static VDecodedTokens& instance();
    static Identity identityOf(const struct stat& st);
    static qint64 nowNs();

    // The token decoded from the file at `path` when it had identity `id`, if that can be trusted.
    bool find(const QString& path, const Identity& id, VToken* out);
    // `decodedAtNs`: the time taken before the file was opened.
    void keep(const QString& path, const Identity& id, qint64 decodedAtNs, const VToken& token);
    void forget(const QString& path);

private:
    // Well above a clock tick of the file system's times.
    static constexpr qint64 MarginNs = 50 * 1000000;
    static constexpr int MaxEntries = 256;
    struct Entry
    {
        Identity id;
        qint64 decodedAtNs = 0;
        VToken token;
    };
    QMutex m_mutex;
    QHash<QString, Entry> m_entries;
};
