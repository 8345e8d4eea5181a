// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QFile>
#include <QString>

// The image file of a CD-ROM write. Only a regular file is opened, without blocking (a FIFO or a
// device such as /dev/zero is refused before the token is touched). Its size is taken once, when it
// is opened: the partition is checked against that size, no read goes past it, and a file that
// ends before it (shortened while being written) is a failure, never a short success.
class TIsoImage
{
public:
    enum class OpenResult
    {
        Opened,
        Missing,   // no such file, or a folder
        NotAFile,  // a FIFO, device, socket...
        CannotOpen // exists but cannot be read; errorString() says why
    };
    enum class ReadResult
    {
        Data, // the next part of the image
        End,  // the whole size has been read
        Shrunk,
        Failed
    };

    OpenResult open(const QString& path);
    bool isOpen() const { return m_file.isOpen(); }
    QString errorString() const { return m_error; }
    qint64 size() const { return m_size; }

    // Reads the next min(max, bytes left) bytes into `buffer`; `got` receives their number.
    ReadResult read(char* buffer, qint64 max, qint64* got);

private:
    QFile m_file;
    QString m_error;
    qint64 m_size = 0;
    qint64 m_done = 0;
};
