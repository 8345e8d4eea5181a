// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>

// One certificate of a container with what the library reads from it, as ReadCertificateInfo fills it.
struct TQ7CertInfo
{
    static constexpr qint32 CertCapacity = 16384;

    std::array<char, CertCapacity> CertData{}; // DER, as stored on the token
    qint32 CertLen = 0;                        // valid bytes in CertData, never above CertCapacity
    QString Subject;
    QString Issuer;
    qint32 Version = 0;
    QString SerialNumber;
    QString ValidFromText;             // yyyy-mm-dd
    QString ValidToText;               // yyyy-mm-dd
    std::array<qint32, 9> ValidFrom{}; // year, month, day; the rest stays 0
    std::array<qint32, 9> ValidTo{};
    qint32 KeyType = 0; // a KeyType value; others are shown as RSA
    qint32 KeyBits = 0;
    qint32 Kind = 0; // a CertKind value

    // The valid bytes of CertData.
    QByteArray certificate() const
    {
        return QByteArray(CertData.data(), qBound<qint32>(0, CertLen, CertCapacity));
    }
};
