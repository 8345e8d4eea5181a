// SPDX-License-Identifier: BSD-3-Clause
#include "SizeText.h"

#include <cmath>

QString SizeText(qint64 bytes)
{
    // nearbyint rounds in the default mode, to nearest with ties to even.
    const auto kb = qint64(std::nearbyint(double(bytes) / 1024.0));
    if (kb <= 1000)
        return QString::asprintf("%lld KB", static_cast<long long>(kb));
    return QString::asprintf("%.2f MB", double(kb) / 1024.0);
}
