// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>

// Text of a version kept as major * 256 + minor: "1.02" for 0x0102, "1.10" for 0x010A.
QString VersionText(qint32 value);
