// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArrayView>
#include <QStringList>

// Turns the library's container list (names one after another, each ending in a NUL byte) into names.
class ContainerNameList
{
public:
    // Names in list order, decoded from the system code page. Runs of NUL bytes count as one
    // separator, so no empty names appear; a last name without its NUL still counts. At most
    // `maxNames` names are returned; the rest of the list is ignored.
    static QStringList parse(QByteArrayView list, qsizetype maxNames);
};
