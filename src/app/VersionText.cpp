// SPDX-License-Identifier: BSD-3-Clause
#include "VersionText.h"

QString VersionText(qint32 value)
{
    return QString::asprintf("%d.%.2d", value / 256, value % 256);
}
