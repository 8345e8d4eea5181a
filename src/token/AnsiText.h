// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Text crossing the token manager library: the system ANSI code page, bounded by the buffer it came in.
namespace AnsiText {
// The text in the system code page, without a terminator (QByteArray::constData() adds one).
QByteArray encode(const QString& text);
// The bytes up to the first NUL of the view, or all of them when there is none, decoded from the
// system code page.
QString decode(QByteArrayView bytes);
// Same bound, decoded from UTF-8 (the token label).
QString decodeUtf8(QByteArrayView bytes);
} // namespace AnsiText
