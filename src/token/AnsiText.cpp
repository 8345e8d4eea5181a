// SPDX-License-Identifier: BSD-3-Clause
#include "token/AnsiText.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {
QByteArrayView upToNul(QByteArrayView bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    return nul < 0 ? bytes : bytes.first(nul);
}
} // namespace

namespace AnsiText {

QByteArray encode(const QString& text)
{
    QStringEncoder encoder(QStringEncoder::System);
    return encoder.encode(text);
}

QString decode(QByteArrayView bytes)
{
    // Stateless: a sequence cut off at the end of the field comes out as a replacement character
    // instead of vanishing, so a name never shrinks to another name or to nothing.
    QStringDecoder decoder(QStringDecoder::System, QStringDecoder::Flag::Stateless);
    return decoder.decode(upToNul(bytes));
}

QString decodeUtf8(QByteArrayView bytes)
{
    return QString::fromUtf8(upToNul(bytes));
}

} // namespace AnsiText
