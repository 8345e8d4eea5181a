// SPDX-License-Identifier: BSD-3-Clause
#include "DemoPki.h"

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

namespace {

struct KeyFree
{
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct CertFree
{
    void operator()(X509* x) const { X509_free(x); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Cert = std::unique_ptr<X509, CertFree>;

Key rsaKey(unsigned bits)
{
    return Key(EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", size_t(bits)));
}

Key ecKey()
{
    return Key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
}

bool addExt(X509* x, X509* issuer, int nid, const char* value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, x, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!ext)
        return false;
    const bool ok = X509_add_ext(x, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

// Subject from "C", "O" and a UTF-8 common name.
Cert makeCert(EVP_PKEY* key, const QString& cn, X509* issuer, EVP_PKEY* issuerKey, bool ca,
              const char* keyUsage, int days)
{
    Cert x(X509_new());
    if (!x)
        return {};
    X509_set_version(x.get(), X509_VERSION_3);
    unsigned char serial[16];
    RAND_bytes(serial, sizeof(serial));
    serial[0] &= 0x7F;
    BIGNUM* bn = BN_bin2bn(serial, sizeof(serial), nullptr);
    BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(x.get()));
    BN_free(bn);
    X509_gmtime_adj(X509_getm_notBefore(x.get()), 0);
    X509_gmtime_adj(X509_getm_notAfter(x.get()), long(days) * 24 * 3600);
    X509_set_pubkey(x.get(), key);
    X509_NAME* name = X509_get_subject_name(x.get());
    X509_NAME_add_entry_by_txt(name, "C", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("CN"), -1, -1,
                               0);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>("Vostrel Demo"), -1, -1, 0);
    const QByteArray cnUtf8 = cn.toUtf8();
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(cnUtf8.constData()), -1, -1, 0);
    X509* signer = issuer ? issuer : x.get();
    X509_set_issuer_name(x.get(), X509_get_subject_name(signer));
    if (!addExt(x.get(), signer, NID_basic_constraints, ca ? "critical,CA:TRUE" : "critical,CA:FALSE") ||
        !addExt(x.get(), signer, NID_key_usage, keyUsage) ||
        !addExt(x.get(), signer, NID_subject_key_identifier, "hash"))
        return {};
    if (issuer && !addExt(x.get(), signer, NID_authority_key_identifier, "keyid:always"))
        return {};
    if (X509_sign(x.get(), issuerKey ? issuerKey : key, EVP_sha256()) <= 0)
        return {};
    return x;
}

QByteArray der(X509* x)
{
    unsigned char* out = nullptr;
    const int n = i2d_X509(x, &out);
    if (n <= 0)
        return {};
    QByteArray b(reinterpret_cast<const char*>(out), n);
    OPENSSL_free(out);
    return b;
}

QByteArray pkcs8(EVP_PKEY* k)
{
    PKCS8_PRIV_KEY_INFO* p8 = EVP_PKEY2PKCS8(k);
    if (!p8)
        return {};
    unsigned char* out = nullptr;
    const int n = i2d_PKCS8_PRIV_KEY_INFO(p8, &out);
    PKCS8_PRIV_KEY_INFO_free(p8);
    if (n <= 0)
        return {};
    QByteArray b(reinterpret_cast<const char*>(out), n);
    OPENSSL_clear_free(out, size_t(n));
    return b;
}

} // namespace

bool DemoPki::make(const QString& userName)
{
    Key rootKey = ecKey(), caKey = ecKey(), exKey = rsaKey(2048), sigKey = ecKey();
    if (!rootKey || !caKey || !exKey || !sigKey)
        return false;
    Cert rootCert = makeCert(rootKey.get(), QStringLiteral("QX4100 演示根证书 Demo Root"), nullptr, nullptr,
                             true, "critical,keyCertSign,cRLSign", 3650);
    if (!rootCert)
        return false;
    Cert caCert = makeCert(caKey.get(), QStringLiteral("QX4100 演示中级 CA Demo CA"), rootCert.get(),
                           rootKey.get(), true, "critical,keyCertSign,cRLSign", 1825);
    if (!caCert)
        return false;
    Cert exCert = makeCert(exKey.get(), userName, caCert.get(), caKey.get(), false,
                           "critical,keyEncipherment,dataEncipherment", 730);
    Cert sigCert = makeCert(sigKey.get(), userName, caCert.get(), caKey.get(), false,
                            "critical,digitalSignature,nonRepudiation", 730);
    if (!exCert || !sigCert)
        return false;
    root = {der(rootCert.get()), {}};
    ca = {der(caCert.get()), {}};
    userExchange = {der(exCert.get()), pkcs8(exKey.get())};
    userSignature = {der(sigCert.get()), pkcs8(sigKey.get())};
    return !root.certificate.isEmpty() && !ca.certificate.isEmpty() && !userExchange.privateKey.isEmpty() &&
           !userSignature.privateKey.isEmpty();
}
