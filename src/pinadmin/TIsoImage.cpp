// SPDX-License-Identifier: BSD-3-Clause
#include "TIsoImage.h"

#include "platform/TRegularFile.h"

#include <QFileInfo>

TIsoImage::OpenResult TIsoImage::open(const QString& path)
{
    m_file.close();
    m_size = 0;
    m_done = 0;
    m_error.clear();
    if (QFileInfo(path).isDir())
        return OpenResult::Missing;
    switch (TRegularFile::open(m_file, path, &m_error)) {
    case TRegularFile::Result::Opened:
        break;
    case TRegularFile::Result::Missing:
        return OpenResult::Missing;
    case TRegularFile::Result::NotRegular:
        return OpenResult::NotAFile;
    case TRegularFile::Result::Failed:
        return OpenResult::CannotOpen;
    }
    m_size = m_file.size();
    return OpenResult::Opened;
}

TIsoImage::ReadResult TIsoImage::read(char* buffer, qint64 max, qint64* got)
{
    *got = 0;
    const qint64 want = qMin(max, m_size - m_done);
    if (want <= 0)
        return ReadResult::End;
    while (*got < want) {
        const qint64 n = m_file.read(buffer + *got, want - *got);
        if (n < 0) {
            m_error = m_file.errorString();
            return ReadResult::Failed;
        }
        if (n == 0)
            return ReadResult::Shrunk;
        *got += n;
    }
    m_done += *got;
    return ReadResult::Data;
}
