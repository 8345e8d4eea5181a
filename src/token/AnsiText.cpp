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
    QStringDecoder decoder(QStringDecoder::System);
    return decoder.decode(upToNul(bytes));
}

QString decodeUtf8(QByteArrayView bytes)
{
    return QString::fromUtf8(upToNul(bytes));
}

} // namespace AnsiText
