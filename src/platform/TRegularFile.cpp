// SPDX-License-Identifier: BSD-3-Clause
#include "TRegularFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TRegularFile::Result TRegularFile::open(QFile& file, const QString& path, QString* error)
{
    auto fail = [error](Result result, const QString& why) {
        if (error)
            *error = why;
        return result;
    };
    if (path.isEmpty())
        return fail(Result::Missing, QString::fromLocal8Bit(std::strerror(ENOENT)));
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int code = errno;
        return fail(code == ENOENT || code == ENOTDIR ? Result::Missing : Result::Failed,
                    QString::fromLocal8Bit(std::strerror(code)));
    }
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(Result::NotRegular, QStringLiteral("not a regular file"));
    }
    // Reads of a regular file never wait anyway; clear the flag so nothing downstream sees EAGAIN.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(Result::Failed, file.errorString());
    }
    return Result::Opened;
}
