// SPDX-License-Identifier: BSD-3-Clause
#include "OpenWebAddress.h"

#include "platform/ShellOpen.h"

void openWebAddress(QWidget* /*owner*/, const QString& address, int browserMode)
{
    const QString url = address.trimmed();
    if (url.isEmpty())
        return;
    if (browserMode == 0)
        ShellOpen::instance().open(url);
    else
        ShellOpen::instance().open(QStringLiteral("IExplore.EXE"), url);
}
