// SPDX-License-Identifier: BSD-3-Clause
#pragma once

// Library calls the token-library tests make over and over, outside what they check.
#include "TokenMgr.h"

#include <QByteArray>
#include <QList>

namespace LibraryCalls {

// Finds and connects every token; the number found, or -1 when the search failed.
inline int connectAll()
{
    int32_t count = TM_MAX_SLOTS;
    uint32_t ids[TM_MAX_SLOTS] = {};
    if (token_find(ids, &count) != TM_OK)
        return -1;
    for (int i = 0; i < count; ++i)
        token_connect(i);
    return count;
}

// The container names of a token in library order; one name "<failed>" when the list cannot be read.
inline QList<QByteArray> containerNames(int slot)
{
    char buffer[8192] = {};
    int32_t length = sizeof(buffer);
    if (container_load_all(slot, buffer, &length) != TM_OK)
        return {QByteArray("<failed>")};
    QList<QByteArray> names = QByteArray(buffer, length).split('\0');
    names.removeAll(QByteArray());
    return names;
}

} // namespace LibraryCalls
