// SPDX-License-Identifier: BSD-3-Clause
#include "NewGuidString.h"

#include <QUuid>

QString NewGuidString()
{
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}
