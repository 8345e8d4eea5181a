// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>
#include <QString>

// A small certificate hierarchy made on the spot for the demo token: a root, an intermediate CA and a
// user with an RSA exchange key and an EC signature key.
class DemoPki
{
public:
    struct Issued
    {
        QByteArray certificate; // DER
        QByteArray privateKey;  // DER PKCS#8, empty for the authorities' certificates as stored on the token
    };

    // False when OpenSSL fails to make a key or a certificate.
    bool make(const QString& userName);

    Issued root;
    Issued ca;
    Issued userExchange;  // RSA-2048
    Issued userSignature; // EC P-256
};
