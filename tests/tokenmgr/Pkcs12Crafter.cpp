// SPDX-License-Identifier: BSD-3-Clause
#include "Pkcs12Crafter.h"

#include "OpenSslPtr.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

namespace {

Pkcs12Ptr read(const QByteArray& der)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(der.constData());
    return Pkcs12Ptr(d2i_PKCS12(nullptr, &p, long(der.size())));
}

QByteArray write(PKCS12* p12)
{
    unsigned char* der = nullptr;
    const int n = i2d_PKCS12(p12, &der);
    if (n <= 0)
        return {};
    QByteArray out(reinterpret_cast<const char*>(der), n);
    OPENSSL_free(der);
    return out;
}

// The same scheme (cipher and PRF for PBES2) with a fresh salt and the given count. Building the
// parameters derives nothing.
bool setCount(X509_ALGOR* alg, int count)
{
    const int nid = OBJ_obj2nid(alg->algorithm);
    AlgorPtr fresh;
    if (nid == NID_pbes2) {
        Pbe2ParamPtr pbe2(
            static_cast<PBE2PARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBE2PARAM), alg->parameter)));
        if (!pbe2)
            return false;
        Pbkdf2ParamPtr kdf(static_cast<PBKDF2PARAM*>(
            ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBKDF2PARAM), pbe2->keyfunc->parameter)));
        const EVP_CIPHER* cipher = EVP_get_cipherbyobj(pbe2->encryption->algorithm);
        if (!kdf || !cipher)
            return false;
        const int prf = kdf->prf ? OBJ_obj2nid(kdf->prf->algorithm) : NID_hmacWithSHA1;
        fresh.reset(PKCS5_pbe2_set_iv(cipher, count, nullptr, 0, nullptr, prf));
    } else {
        fresh.reset(PKCS5_pbe_set(nid, count, nullptr, 0));
    }
    return fresh && X509_ALGOR_copy(alg, fresh.get()) == 1;
}

bool setKeyCounts(STACK_OF(PKCS12_SAFEBAG) * bags, int count)
{
    for (int i = 0; i < sk_PKCS12_SAFEBAG_num(bags); ++i) {
        const PKCS12_SAFEBAG* bag = sk_PKCS12_SAFEBAG_value(bags, i);
        if (PKCS12_SAFEBAG_get_nid(bag) != NID_pkcs8ShroudedKeyBag)
            continue;
        // The bag offers only a const view of its key; the structure itself is ours to change.
        X509_ALGOR* alg = nullptr;
        X509_SIG_getm(const_cast<X509_SIG*>(PKCS12_SAFEBAG_get0_pkcs8(bag)), &alg, nullptr);
        if (!alg || !setCount(alg, count))
            return false;
    }
    return true;
}

enum class Change
{
    None,
    Done,
    Failed
};

// Offers every part of the file to `change`, which alters it in place or hands back a new one, and packs
// the parts back. At least one part must change.
template <typename F> QByteArray changeParts(const QByteArray& p12, F change)
{
    Pkcs12Ptr p = read(p12);
    P7StackPtr safes(p ? PKCS12_unpack_authsafes(p.get()) : nullptr);
    if (!safes)
        return {};
    bool changed = false;
    for (int i = 0; i < sk_PKCS7_num(safes.get()); ++i) {
        PKCS7* const before = sk_PKCS7_value(safes.get(), i);
        PKCS7* part = before;
        const Change c = change(part);
        if (c == Change::Failed)
            return {};
        if (part != before) {
            sk_PKCS7_set(safes.get(), i, part);
            PKCS7_free(before);
        }
        changed = changed || c == Change::Done;
    }
    if (!changed || !PKCS12_pack_authsafes(p.get(), safes.get()))
        return {};
    return write(p.get());
}

} // namespace

QByteArray Pkcs12Crafter::withMacCount(const QByteArray& p12, const QByteArray& count)
{
    Pkcs12Ptr p = read(p12);
    if (!p)
        return {};
    const ASN1_INTEGER* iter = nullptr;
    PKCS12_get0_mac(nullptr, nullptr, nullptr, &iter, p.get());
    BIGNUM* bn = nullptr;
    if (!iter || !BN_dec2bn(&bn, count.constData()))
        return {};
    BnPtr owned(bn);
    if (!BN_to_ASN1_INTEGER(bn, const_cast<ASN1_INTEGER*>(iter)))
        return {};
    return write(p.get());
}

QByteArray Pkcs12Crafter::withSafeCount(const QByteArray& p12, int count)
{
    return changeParts(p12, [count](PKCS7*& part) {
        if (!PKCS7_type_is_encrypted(part))
            return Change::None;
        return setCount(part->d.encrypted->enc_data->algorithm, count) ? Change::Done : Change::Failed;
    });
}

QByteArray Pkcs12Crafter::withKeyCount(const QByteArray& p12, int count)
{
    return changeParts(p12, [count](PKCS7*& part) {
        if (!PKCS7_type_is_data(part))
            return Change::None;
        BagStackPtr bags(PKCS12_unpack_p7data(part));
        if (!bags || !setKeyCounts(bags.get(), count))
            return Change::Failed;
        part = PKCS12_pack_p7data(bags.get());
        return part ? Change::Done : Change::Failed;
    });
}

QByteArray Pkcs12Crafter::keyInEncryptedPart(const QString& keyPem, const QString& certPem,
                                             const char* password, int iterations, int keyCount)
{
    BioPtr keyBio(BIO_new_file(keyPem.toLocal8Bit().constData(), "r"));
    BioPtr certBio(BIO_new_file(certPem.toLocal8Bit().constData(), "r"));
    KeyPtr key(keyBio ? PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr) : nullptr);
    X509Ptr cert(certBio ? PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!key || !cert)
        return {};
    STACK_OF(PKCS12_SAFEBAG)* rawBags = nullptr;
    const bool added = PKCS12_add_cert(&rawBags, cert.get()) &&
                       PKCS12_add_key(&rawBags, key.get(), 0, iterations, NID_aes_256_cbc, password);
    BagStackPtr bags(rawBags);
    if (!added || (keyCount > 0 && !setKeyCounts(bags.get(), keyCount)))
        return {};
    STACK_OF(PKCS7)* rawSafes = nullptr;
    const bool packed = PKCS12_add_safe(&rawSafes, bags.get(), NID_aes_256_cbc, iterations, password);
    P7StackPtr safes(rawSafes);
    Pkcs12Ptr p(packed ? PKCS12_add_safes(safes.get(), 0) : nullptr);
    if (!p || !PKCS12_set_mac(p.get(), password, -1, nullptr, 0, iterations, nullptr))
        return {};
    return write(p.get());
}
