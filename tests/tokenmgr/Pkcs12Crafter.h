// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>
#include <QString>

// PKCS#12 files with chosen key-derivation iteration counts, made without deriving at those counts:
// counts are written into the parsed structure, so a file asking for two billion iterations costs
// nothing to make. Each returns an empty array on failure.
class Pkcs12Crafter
{
public:
    // The MAC's count set to `count` (decimal, any size or sign). The MAC value is left as it was.
    static QByteArray withMacCount(const QByteArray& p12, const QByteArray& count);
    // Every encrypted part's scheme rewritten with a fresh salt and `count`. The MAC no longer matches.
    static QByteArray withSafeCount(const QByteArray& p12, int count);
    // Every shrouded key in a plain part rewritten likewise. The MAC no longer matches.
    static QByteArray withKeyCount(const QByteArray& p12, int count);

    // A well-formed file with the certificate and its shrouded key together in one encrypted part,
    // everything derived at `iterations` with AES-256 and a valid MAC. A non-zero `keyCount` is written
    // into the shrouded key's scheme before the part is encrypted, so only reading the key would derive
    // at it.
    static QByteArray keyInEncryptedPart(const QString& keyPem, const QString& certPem, const char* password,
                                         int iterations, int keyCount = 0);
};
