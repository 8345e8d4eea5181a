// SPDX-License-Identifier: BSD-3-Clause
#include "token/ContainerNameList.h"

#include "token/AnsiText.h"

QStringList ContainerNameList::parse(QByteArrayView list, qsizetype maxNames)
{
    QStringList names;
    qsizetype pos = 0;
    while (pos < list.size() && names.size() < maxNames) {
        qsizetype end = list.indexOf('\0', pos);
        if (end < 0)
            end = list.size();
        if (end > pos)
            names.append(AnsiText::decode(list.sliced(pos, end - pos)));
        pos = end + 1;
    }
    return names;
}
