// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>

// UTF-8 in the contract's fixed-width fields.
namespace Utf8Text {
bool valid(const QByteArray& bytes);
// Drops an incomplete multi-byte sequence that a fixed-width field cut off.
QByteArray trimTail(QByteArray bytes);
} // namespace Utf8Text
