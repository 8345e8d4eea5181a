// SPDX-License-Identifier: BSD-3-Clause
#include "CertInfo.h"

#include "CertSummaries.h"
#include "OpenSslPtr.h"

#include <QCryptographicHash>
#include <QTimeZone>

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstring>
#include <memory>

namespace {

QByteArray bioText(BIO* bio)
{
    char* data = nullptr;
    const long n = BIO_get_mem_data(bio, &data);
    return n > 0 ? QByteArray(data, int(n)) : QByteArray();
}

QString nameText(const X509_NAME* name)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio)
        return {};
    // RFC 2253 escaping, but UTF-8 kept as it is so that Chinese names stay readable.
    const unsigned long flags = (ASN1_STRFLGS_RFC2253 & ~ASN1_STRFLGS_ESC_MSB) | XN_FLAG_SEP_CPLUS_SPC |
                                XN_FLAG_DN_REV | XN_FLAG_FN_SN;
    X509_NAME_print_ex(bio.get(), name, 0, flags);
    return QString::fromUtf8(bioText(bio.get()));
}

QDateTime timeOf(const ASN1_TIME* t)
{
    struct tm tmv = {};
    if (!t || ASN1_TIME_to_tm(t, &tmv) != 1)
        return {};
    return QDateTime(QDate(tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday),
                     QTime(tmv.tm_hour, tmv.tm_min, tmv.tm_sec), QTimeZone::utc());
}

void readKey(EVP_PKEY* key, CertInfo* out)
{
    out->keyBits = EVP_PKEY_get_bits(key);
    unsigned char* spki = nullptr;
    const int n = i2d_PUBKEY(key, &spki);
    if (n > 0) {
        out->publicKey = QByteArray(reinterpret_cast<const char*>(spki), n);
        OPENSSL_free(spki);
    }
    const int id = EVP_PKEY_get_base_id(key);
    if (id == EVP_PKEY_RSA || id == EVP_PKEY_RSA_PSS) {
        out->keyType = 0;
        out->keyAlgorithm = QStringLiteral("RSA");
        BIGNUM* nbn = nullptr;
        if (EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_N, &nbn) == 1) {
            QByteArray mod(BN_num_bytes(nbn), '\0');
            BN_bn2bin(nbn, reinterpret_cast<unsigned char*>(mod.data()));
            out->rawPublicKey = mod;
            BN_free(nbn);
        }
    } else if (id == EVP_PKEY_EC) {
        out->keyType = 3;
        char group[80] = {};
        size_t glen = 0;
        EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof(group), &glen);
        out->keyAlgorithm = QStringLiteral("EC (%1)").arg(QString::fromUtf8(group));
        size_t plen = 0;
        if (EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_PUB_KEY, nullptr, 0, &plen) == 1 &&
            plen > 0) {
            QByteArray point(int(plen), '\0');
            if (EVP_PKEY_get_octet_string_param(key, OSSL_PKEY_PARAM_PUB_KEY,
                                                reinterpret_cast<unsigned char*>(point.data()), plen,
                                                &plen) == 1)
                out->rawPublicKey = point.left(int(plen));
        }
    } else {
        // DSA 1, EdDSA 0x40 in the PKCS#11 numbering; the raw value is the SPKI itself.
        out->keyType = id == EVP_PKEY_DSA                                 ? 1
                       : (id == EVP_PKEY_ED25519 || id == EVP_PKEY_ED448) ? 0x40
                                                                          : 0x80000000;
        out->keyAlgorithm = QString::fromLatin1(OBJ_nid2sn(id));
        out->rawPublicKey = out->publicKey;
    }
}

// One DER element: its tag, where its contents start and how long they are. Lengths are definite
// and minimal, as DER demands; anything else is refused.
struct Der
{
    const unsigned char* p;
    const unsigned char* end;

    bool next(unsigned char* tag, Der* contents)
    {
        if (end - p < 2)
            return false;
        *tag = *p++;
        size_t len = *p++;
        if (len & 0x80) {
            const int n = int(len & 0x7F);
            if (n == 0 || n > 3 || end - p < n || *p == 0)
                return false;
            len = 0;
            for (int i = 0; i < n; ++i)
                len = (len << 8) | *p++;
            if (len < 0x80)
                return false;
        }
        if (size_t(end - p) < len)
            return false;
        *contents = {p, p + len};
        p += len;
        return true;
    }
    bool atEnd() const { return p == end; }
};

const unsigned char RsaEncryption[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01};
const unsigned char EcPublicKey[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01};

bool sameOid(const Der& oid, const unsigned char* value, size_t size)
{
    return size_t(oid.end - oid.p) == size && std::memcmp(oid.p, value, size) == 0;
}

// The RSA modulus or the EC point straight from the DER, without building a key object: a listing
// asks for every key on the token. Empty when the key is of another kind or the bytes are not one
// well-formed key.
QByteArray rawKeyFromDer(const QByteArray& spki)
{
    const auto* begin = reinterpret_cast<const unsigned char*>(spki.constData());
    Der all{begin, begin + spki.size()};
    Der info, algorithm, bits, oid;
    unsigned char tag = 0;
    if (!all.next(&tag, &info) || tag != 0x30 || !all.atEnd())
        return {};
    if (!info.next(&tag, &algorithm) || tag != 0x30 || !info.next(&tag, &bits) || tag != 0x03 ||
        !info.atEnd())
        return {};
    if (!algorithm.next(&tag, &oid) || tag != 0x06 || bits.p == bits.end || *bits.p != 0)
        return {};
    ++bits.p; // no unused bits in a key
    if (sameOid(oid, EcPublicKey, sizeof(EcPublicKey))) {
        // The point as it is encoded: 04 followed by both coordinates, or a compressed form.
        if (bits.p == bits.end || (*bits.p != 0x04 && *bits.p != 0x02 && *bits.p != 0x03))
            return {};
        return QByteArray(reinterpret_cast<const char*>(bits.p), bits.end - bits.p);
    }
    if (!sameOid(oid, RsaEncryption, sizeof(RsaEncryption)))
        return {};
    Der key, modulus, exponent;
    if (!bits.next(&tag, &key) || tag != 0x30 || !bits.atEnd())
        return {};
    if (!key.next(&tag, &modulus) || tag != 0x02 || !key.next(&tag, &exponent) || tag != 0x02 || !key.atEnd())
        return {};
    // The modulus as an unsigned number: without the sign byte DER puts before a high first bit.
    while (modulus.p != modulus.end && *modulus.p == 0)
        ++modulus.p;
    if (modulus.p == modulus.end)
        return {};
    return QByteArray(reinterpret_cast<const char*>(modulus.p), modulus.end - modulus.p);
}

} // namespace

QByteArray CertInfo::rawKeyFromSpki(const QByteArray& spki)
{
    const QByteArray fast = rawKeyFromDer(spki);
    if (!fast.isEmpty())
        return fast;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(spki.constData());
    const KeyPtr key(d2i_PUBKEY(nullptr, &p, long(spki.size())));
    if (!key || p != reinterpret_cast<const unsigned char*>(spki.constData()) + spki.size())
        return {};
    CertInfo info;
    readKey(key.get(), &info);
    return info.rawPublicKey;
}

QByteArray CertInfo::spkiFromPkcs8(const QByteArray& pkcs8)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(pkcs8.constData());
    const P8Ptr p8(d2i_PKCS8_PRIV_KEY_INFO(nullptr, &p, long(pkcs8.size())));
    const KeyPtr key(p8 ? EVP_PKCS82PKEY(p8.get()) : nullptr);
    const int len = key ? i2d_PUBKEY(key.get(), nullptr) : 0;
    if (len <= 0)
        return {};
    QByteArray out(len, '\0');
    unsigned char* q = reinterpret_cast<unsigned char*>(out.data());
    i2d_PUBKEY(key.get(), &q);
    return out;
}

bool CertInfo::fromDer(const QByteArray& der, CertInfo* out, Detail detail)
{
    if (der.isEmpty())
        return false;
    if (out && detail == Detail::Summary && CertSummaries::instance().find(der, out))
        return true;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(der.constData());
    X509Ptr x(d2i_X509(nullptr, &p, der.size()));
    if (!x)
        return false;
    // Trailing bytes after the certificate mean this is not one certificate.
    if (p != reinterpret_cast<const unsigned char*>(der.constData()) + der.size())
        return false;
    EVP_PKEY* key = X509_get0_pubkey(x.get());
    if (!key)
        return false;
    if (!out)
        return true;
    CertInfo info;
    info.subject = nameText(X509_get_subject_name(x.get()));
    info.issuer = nameText(X509_get_issuer_name(x.get()));
    info.version = int(X509_get_version(x.get())) + 1;
    if (const ASN1_INTEGER* sn = X509_get0_serialNumber(x.get())) {
        BIGNUM* bn = ASN1_INTEGER_to_BN(sn, nullptr);
        if (bn) {
            char* hex = BN_bn2hex(bn);
            info.serialHex = QByteArray(hex).toUpper();
            if (info.serialHex.startsWith('-'))
                info.serialHex.remove(0, 1);
            OPENSSL_free(hex);
            BN_free(bn);
        }
    }
    info.notBefore = timeOf(X509_get0_notBefore(x.get()));
    info.notAfter = timeOf(X509_get0_notAfter(x.get()));

    const uint32_t flags = X509_get_extension_flags(x.get());
    if (flags & EXFLAG_SS)
        info.kind = 1;
    else if (X509_check_ca(x.get()) >= 1 && (flags & EXFLAG_BCONS))
        info.kind = 2;
    else
        info.kind = 0;
    if (detail == Detail::Summary) {
        CertSummaries::instance().keep(der, info);
        *out = std::move(info);
        return true;
    }

    readKey(key, &info);
    info.signatureAlgorithm = QString::fromLatin1(OBJ_nid2ln(X509_get_signature_nid(x.get())));

    for (int i = 0; i < X509_get_ext_count(x.get()); ++i) {
        X509_EXTENSION* ext = X509_get_ext(x.get(), i);
        const ASN1_OBJECT* obj = X509_EXTENSION_get_object(ext);
        char oid[128] = {};
        OBJ_obj2txt(oid, sizeof(oid), obj, 0);
        BioPtr bio(BIO_new(BIO_s_mem()));
        if (!bio)
            continue;
        if (X509V3_EXT_print(bio.get(), ext, 0, 0) != 1)
            ASN1_STRING_print(bio.get(), X509_EXTENSION_get_data(ext));
        QString name = QString::fromUtf8(oid);
        if (X509_EXTENSION_get_critical(ext))
            name += QStringLiteral(" (critical)");
        info.extensions.append({name, QString::fromUtf8(bioText(bio.get())).trimmed()});
    }
    info.sha1 = QCryptographicHash::hash(der, QCryptographicHash::Sha1);
    info.sha256 = QCryptographicHash::hash(der, QCryptographicHash::Sha256);
    if (out)
        *out = std::move(info);
    return true;
}
