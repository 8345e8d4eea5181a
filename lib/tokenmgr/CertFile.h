// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>
#include <QList>

// The certificates (and, for PKCS#12, the private key belonging to each) held by a certificate file.
class CertFile
{
public:
    struct Entry
    {
        QByteArray certificate; // DER
        QByteArray privateKey;  // DER PKCS#8, empty when the file holds none for it
    };

    // Each returns a library status and fills `out` only on success.
    static quint32 parsePkcs12(const QByteArray& bytes, const QByteArray& password, QList<Entry>* out);
    static quint32 parsePkcs7(const QByteArray& bytes, QList<Entry>* out); // DER or PEM
    static quint32 parseX509(const QByteArray& bytes, Entry* out);         // DER or PEM, one certificate

    // Files larger than this are refused before parsing.
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

    // PKCS#12 files whose MAC or encryption asks for more key-derivation iterations than this are refused
    // as malformed before any derivation runs: a crafted count near 2^31 would hold an import for
    // minutes. Exporters use 2,048 to about 600,000.
    static constexpr long MaxIterations = 10000000;

    // Loads the default and the legacy providers once: PKCS#12 files from other systems use RC2 and 3DES.
    static void loadProviders();
};
