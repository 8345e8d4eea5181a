// SPDX-License-Identifier: BSD-3-Clause
#include "certs/CertAlgorithms.h"

#include <QHash>

#include <limits>

namespace {

constexpr quint8 TagSequence = 0x30;
constexpr quint8 TagOid = 0x06;
constexpr quint8 TagVersion = 0xA0; // [0] EXPLICIT

// One DER element: its tag, and where its content lies in the bytes it was read from.
struct Element
{
    quint8 tag = 0;
    qsizetype contentStart = 0;
    qsizetype contentLength = 0;
    qsizetype end() const { return contentStart + contentLength; }
};

// Reads the element at `pos` that must end by `limit`. Definite lengths of up to four bytes only,
// which covers every certificate a token can hold.
bool element(QByteArrayView der, qsizetype pos, qsizetype limit, Element& out)
{
    if (pos < 0 || limit > der.size() || pos + 2 > limit)
        return false;
    out.tag = quint8(der[pos]);
    quint8 first = quint8(der[pos + 1]);
    qsizetype at = pos + 2;
    qsizetype length = 0;
    if (first < 0x80) {
        length = first;
    } else {
        const int count = first & 0x7F;
        if (count == 0 || count > 4 || at + count > limit)
            return false;
        for (int i = 0; i < count; ++i)
            length = (length << 8) | quint8(der[at + i]);
        at += count;
    }
    if (length > limit - at)
        return false;
    out.contentStart = at;
    out.contentLength = length;
    return true;
}

// The OID that opens an AlgorithmIdentifier, and the OID parameter after it when there is one.
bool algorithm(QByteArrayView der, const Element& seq, QByteArray& oid, QByteArray* parameterOid)
{
    Element id;
    if (seq.tag != TagSequence || !element(der, seq.contentStart, seq.end(), id) || id.tag != TagOid)
        return false;
    oid = CertAlgorithms::dottedOid(der.sliced(id.contentStart, id.contentLength));
    if (oid.isEmpty())
        return false;
    Element parameter;
    if (parameterOid && id.end() < seq.end() && element(der, id.end(), seq.end(), parameter) &&
        parameter.tag == TagOid)
        *parameterOid =
            CertAlgorithms::dottedOid(der.sliced(parameter.contentStart, parameter.contentLength));
    return true;
}

} // namespace

QByteArray CertAlgorithms::dottedOid(QByteArrayView content)
{
    if (content.isEmpty() || content.size() > 64)
        return {};
    QByteArray text;
    quint64 value = 0;
    bool first = true;
    for (qsizetype i = 0; i < content.size(); ++i) {
        const quint8 b = quint8(content[i]);
        if (value == 0 && b == 0x80)
            return {}; // non-minimal encoding
        if (value > (std::numeric_limits<quint64>::max() >> 7))
            return {};
        value = (value << 7) | (b & 0x7F);
        if (b & 0x80) {
            if (i + 1 == content.size())
                return {}; // the last byte still says "more follows"
            continue;
        }
        if (first) {
            const quint64 arc1 = value < 80 ? value / 40 : 2;
            text = QByteArray::number(arc1) + '.' + QByteArray::number(value - arc1 * 40);
            first = false;
        } else {
            text += '.' + QByteArray::number(value);
        }
        value = 0;
    }
    return text;
}

CertAlgorithms CertAlgorithms::read(QByteArrayView der)
{
    CertAlgorithms result;
    Element cert, tbs, signature;
    if (!element(der, 0, der.size(), cert) || cert.tag != TagSequence || cert.end() != der.size())
        return result;
    if (!element(der, cert.contentStart, cert.end(), tbs) || tbs.tag != TagSequence)
        return result;
    if (!element(der, tbs.end(), cert.end(), signature) ||
        !algorithm(der, signature, result.signatureOid, nullptr))
        return {};

    // Inside the to-be-signed part: [version], serial, signature, issuer, validity, subject, key.
    Element field;
    qsizetype pos = tbs.contentStart;
    if (!element(der, pos, tbs.end(), field))
        return {};
    if (field.tag == TagVersion)
        pos = field.end();
    for (int skip = 0; skip < 5; ++skip) {
        if (!element(der, pos, tbs.end(), field))
            return {};
        pos = field.end();
    }
    Element spki, keyAlgorithm;
    if (!element(der, pos, tbs.end(), spki) || spki.tag != TagSequence ||
        !element(der, spki.contentStart, spki.end(), keyAlgorithm) ||
        !algorithm(der, keyAlgorithm, result.keyOid, &result.curveOid))
        return {};
    result.ok = true;
    return result;
}

QString CertAlgorithms::signatureName(const QByteArray& oid)
{
    static const QHash<QByteArray, QString> names = {
        {"1.2.840.113549.1.1.4", QStringLiteral("md5WithRSAEncryption")},
        {"1.2.840.113549.1.1.5", QStringLiteral("sha1WithRSAEncryption")},
        {"1.2.840.113549.1.1.10", QStringLiteral("RSASSA-PSS")},
        {"1.2.840.113549.1.1.11", QStringLiteral("sha256WithRSAEncryption")},
        {"1.2.840.113549.1.1.12", QStringLiteral("sha384WithRSAEncryption")},
        {"1.2.840.113549.1.1.13", QStringLiteral("sha512WithRSAEncryption")},
        {"1.2.840.10045.4.1", QStringLiteral("ecdsa-with-SHA1")},
        {"1.2.840.10045.4.3.2", QStringLiteral("ecdsa-with-SHA256")},
        {"1.2.840.10045.4.3.3", QStringLiteral("ecdsa-with-SHA384")},
        {"1.2.840.10045.4.3.4", QStringLiteral("ecdsa-with-SHA512")},
        {"1.2.156.10197.1.501", QStringLiteral("SM2-with-SM3")},
        {"1.3.101.112", QStringLiteral("Ed25519")},
    };
    return names.value(oid, QString::fromLatin1(oid));
}

QString CertAlgorithms::keyName(const QByteArray& keyOid, const QByteArray& curveOid)
{
    static const QHash<QByteArray, QString> keys = {
        {"1.2.840.113549.1.1.1", QStringLiteral("RSA")},
        {"1.2.840.10045.2.1", QStringLiteral("EC")},
        {"1.2.840.10040.4.1", QStringLiteral("DSA")},
        {"1.3.101.112", QStringLiteral("Ed25519")},
    };
    static const QHash<QByteArray, QString> curves = {
        {"1.2.840.10045.3.1.7", QStringLiteral("prime256v1")}, {"1.3.132.0.34", QStringLiteral("secp384r1")},
        {"1.3.132.0.35", QStringLiteral("secp521r1")},         {"1.3.132.0.10", QStringLiteral("secp256k1")},
        {"1.2.156.10197.1.301", QStringLiteral("SM2")},
    };
    const QString key = keys.value(keyOid, QString::fromLatin1(keyOid));
    if (curveOid.isEmpty())
        return key;
    return QStringLiteral("%1 (%2)").arg(key, curves.value(curveOid, QString::fromLatin1(curveOid)));
}
