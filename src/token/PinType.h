// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QtGlobal>

// Which PIN an operation addresses.
enum class PinType : qint32
{
    So = 0, // security officer (administrator)
    User = 1,
};
