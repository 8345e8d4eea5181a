// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>

class QFile;

// Opens a file for reading only when it is a regular file. The open itself never blocks: a FIFO
// without a writer, a terminal or a device node named where a file belongs is refused instead of
// hanging the caller, and /dev/zero or /dev/urandom never pass for an endless file of size 0.
class TRegularFile
{
public:
    enum class Result
    {
        Opened,
        Missing,
        NotRegular,
        Failed
    };

    // On Opened, `file` is open read-only on the file that was checked (no second lookup of the
    // name). Otherwise `file` stays closed and `error` (when given) says why.
    static Result open(QFile& file, const QString& path, QString* error = nullptr);
};
