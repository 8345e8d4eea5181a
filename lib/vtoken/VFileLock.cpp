// SPDX-License-Identifier: BSD-3-Clause
#include "VFileLock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Byte 0 is the turnstile a waiter holds while it waits for byte 1, the lock itself. A holder that
// lets go of byte 1 and wants it again must first pass the turnstile, so the waiter goes first.
constexpr off_t Turnstile = 0;
constexpr off_t Held = 1;

bool setLock(int fd, off_t byte, short type)
{
    struct flock fl = {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = byte;
    fl.l_len = 1;
    for (;;) {
        if (::fcntl(fd, F_OFD_SETLK, &fl) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

// Polls for one byte until the deadline, backing off from a tenth of a millisecond to two.
bool acquire(int fd, off_t byte, const QDeadlineTimer& deadline)
{
    int pauseUs = 100;
    for (;;) {
        if (setLock(fd, byte, F_WRLCK))
            return true;
        if (errno != EAGAIN && errno != EACCES)
            return false;
        if (deadline.hasExpired())
            return false;
        QThread::usleep(ulong(qMin<qint64>(pauseUs, deadline.remainingTime() * 1000 + 1)));
        pauseUs = qMin(pauseUs * 2, 2000);
    }
}

} // namespace

VFileLock::VFileLock(const QString& path) : m_path(path) {}

VFileLock::~VFileLock()
{
    unlock();
    if (m_fd >= 0)
        ::close(m_fd);
}

bool VFileLock::tryLock(int timeoutMs)
{
    if (m_locked)
        return true;
    if (m_fd < 0) {
        const QByteArray name = QFile::encodeName(m_path);
        do
            m_fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        while (m_fd < 0 && errno == EINTR);
        if (m_fd < 0)
            return false;
    }
    const QDeadlineTimer deadline(qMax(0, timeoutMs));
    if (!acquire(m_fd, Turnstile, deadline))
        return false;
    m_locked = acquire(m_fd, Held, deadline);
    setLock(m_fd, Turnstile, F_UNLCK);
    return m_locked;
}

void VFileLock::unlock()
{
    if (!m_locked)
        return;
    setLock(m_fd, Held, F_UNLCK);
    m_locked = false;
}
