// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>

// What the library and its viewer tell about one X.509 certificate, read from its DER bytes.
class CertInfo
{
public:
    // What fromDer fills in: the summary (names, version, serial, validity, kind) or everything
    // (key, algorithms, extension texts, fingerprints) for the viewer and the import.
    enum class Detail
    {
        Summary,
        Full
    };
    // False unless `der` is exactly one certificate; `out` may be null to only check that.
    static bool fromDer(const QByteArray& der, CertInfo* out, Detail detail = Detail::Full);
    // The key value a token hands out for a DER SubjectPublicKeyInfo (see rawPublicKey); empty when
    // the bytes are not one.
    static QByteArray rawKeyFromSpki(const QByteArray& spki);
    // The DER SubjectPublicKeyInfo of a DER PKCS#8 private key; empty when the bytes are not one.
    static QByteArray spkiFromPkcs8(const QByteArray& pkcs8);

    QString subject; // readable distinguished name, most specific part first, UTF-8 intact
    QString issuer;
    int version = 0;      // 1, 2 or 3
    QByteArray serialHex; // upper-case hexadecimal
    QDateTime notBefore;  // UTC
    QDateTime notAfter;
    int kind = 0;    // 0 end entity, 1 self-signed root, 2 CA
    int keyType = 0; // 0 RSA, 3 EC, PKCS#11 numbering for others
    int keyBits = 0;
    QByteArray publicKey;    // DER SubjectPublicKeyInfo
    QByteArray rawPublicKey; // RSA modulus or EC point, as a token hands it out
    QString keyAlgorithm;    // "RSA", "EC (prime256v1)", ...
    QString signatureAlgorithm;
    QList<QPair<QString, QString>> extensions; // name, value text
    QByteArray sha1;
    QByteArray sha256;
};
