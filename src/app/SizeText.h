// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>

// Text of a memory size given in bytes: whole kilobytes (rounded half to even) as "%d KB" up to
// 1000 KB, above that "%.2f MB" of those kilobytes.
QString SizeText(qint64 bytes);
