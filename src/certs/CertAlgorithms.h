// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The two algorithm names a certificate viewer shows that the library does not report: the
// signature algorithm and the public key's algorithm with its curve. Read by a small DER walk over
// the certificate's outer structure only; anything unexpected gives empty results, never a read
// outside the bytes.
class CertAlgorithms
{
public:
    static CertAlgorithms read(QByteArrayView der);

    bool ok = false;
    QByteArray signatureOid; // dotted form, e.g. "1.2.840.113549.1.1.11"
    QByteArray keyOid;       // e.g. "1.2.840.10045.2.1"
    QByteArray curveOid;     // named curve of an EC key, else empty

    // Readable names for the usual algorithms; others are shown as their dotted OID.
    static QString signatureName(const QByteArray& oid);
    static QString keyName(const QByteArray& keyOid, const QByteArray& curveOid);

    // An OBJECT IDENTIFIER's content bytes in dotted form; empty when they are malformed.
    static QByteArray dottedOid(QByteArrayView content);
};
