// SPDX-License-Identifier: BSD-3-Clause
// Feeds arbitrary bytes to the container-list splitter as the library's list and checks what comes back.
#include "token/ContainerNameList.h"
#include "token/TQ7Info.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView list(data, qsizetype(size));
    const QStringList names = ContainerNameList::parse(list, TQ7Info::MaxContainerNames);

    // Independent reading of the same bytes: the non-empty NUL-separated pieces, in order.
    QStringList expected;
    for (const QByteArray& piece : list.toByteArray().split('\0')) {
        if (expected.size() == TQ7Info::MaxContainerNames)
            break;
        if (!piece.isEmpty())
            expected.append(QString::fromLocal8Bit(piece));
    }
    if (names != expected)
        std::abort();
    for (const QString& name : names) {
        if (name.isEmpty() || name.contains(QChar(0)))
            std::abort();
    }
    return 0;
}
