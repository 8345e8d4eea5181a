// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>

// A cross-process lock on a lock file, held through an open file description's record lock: the
// kernel drops it the moment its holder exits, however it died, so an abandoned lock never blocks
// the next writer. Waiters take turns: one that is already waiting gets the lock before its last
// holder can take it again.
class VFileLock
{
public:
    explicit VFileLock(const QString& path);
    ~VFileLock();
    VFileLock(const VFileLock&) = delete;
    VFileLock& operator=(const VFileLock&) = delete;

    // Waits up to `timeoutMs` (0: one try only); false when the lock could not be had in time or the
    // lock file cannot be opened.
    bool tryLock(int timeoutMs);
    bool isLocked() const { return m_locked; }
    void unlock();

private:
    QString m_path;
    int m_fd = -1;
    bool m_locked = false;
};
