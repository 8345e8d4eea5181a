// SPDX-License-Identifier: BSD-3-Clause
#include "Utf8Text.h"

#include <QStringDecoder>

namespace Utf8Text {

bool valid(const QByteArray& bytes)
{
    QStringDecoder dec(QStringDecoder::Utf8);
    const QString s = dec(bytes);
    return !dec.hasError();
}

QByteArray trimTail(QByteArray bytes)
{
    int i = int(bytes.size());
    int back = 0;
    while (i > 0 && back < 4 && (static_cast<unsigned char>(bytes[i - 1]) & 0xC0) == 0x80) {
        --i;
        ++back;
    }
    if (i > 0) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i - 1]);
        const int need = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
        if (need > back)
            bytes.truncate(i - 1);
    }
    return bytes;
}

} // namespace Utf8Text
