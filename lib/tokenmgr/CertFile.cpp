// SPDX-License-Identifier: BSD-3-Clause
#include "CertFile.h"

#include "OpenSslPtr.h"
#include "TokenMgr.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/pkcs7.h>
#include <openssl/provider.h>
#include <openssl/x509.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

BioPtr memBio(const QByteArray& bytes)
{
    return BioPtr(BIO_new_mem_buf(bytes.constData(), int(bytes.size())));
}

QByteArray certDer(X509* x)
{
    unsigned char* der = nullptr;
    const int n = i2d_X509(x, &der);
    if (n <= 0)
        return {};
    QByteArray out(reinterpret_cast<const char*>(der), n);
    OPENSSL_free(der);
    return out;
}

QByteArray keyDer(EVP_PKEY* key)
{
    P8Ptr p8(EVP_PKEY2PKCS8(key));
    if (!p8)
        return {};
    unsigned char* der = nullptr;
    const int n = i2d_PKCS8_PRIV_KEY_INFO(p8.get(), &der);
    if (n <= 0)
        return {};
    QByteArray out(reinterpret_cast<const char*>(der), n);
    OPENSSL_cleanse(der, size_t(n));
    OPENSSL_free(der);
    return out;
}

bool looksPem(const QByteArray& bytes)
{
    return bytes.contains("-----BEGIN ");
}

// Nested safe contents are followed this deep, both when checking and when collecting.
constexpr int MaxBagDepth = 4;

// An absent count means one iteration. A count that does not fit a long (ASN1_INTEGER_get gives -1) or
// is negative is as unacceptable as one past the cap.
bool countWithinCap(const ASN1_INTEGER* iter)
{
    if (!iter)
        return true;
    const long n = ASN1_INTEGER_get(iter);
    return n >= 0 && n <= CertFile::MaxIterations;
}

// The iteration count of a password-based encryption scheme. Parameters that do not decode pass: OpenSSL
// decodes them the same way and refuses them before deriving anything. Other schemes are left to OpenSSL
// (scrypt is bounded by its memory limit).
bool algorithmWithinCap(const X509_ALGOR* alg)
{
    if (!alg)
        return true;
    const int nid = OBJ_obj2nid(alg->algorithm);
    if (nid == NID_pbes2) {
        Pbe2ParamPtr pbe2(
            static_cast<PBE2PARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBE2PARAM), alg->parameter)));
        if (!pbe2 || !pbe2->keyfunc || OBJ_obj2nid(pbe2->keyfunc->algorithm) != NID_id_pbkdf2)
            return true;
        Pbkdf2ParamPtr kdf(static_cast<PBKDF2PARAM*>(
            ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBKDF2PARAM), pbe2->keyfunc->parameter)));
        return !kdf || countWithinCap(kdf->iter);
    }
    // Every other built-in scheme (PKCS#5 v1.5 and the PKCS#12 ones) carries salt and count alike.
    if (EVP_PBE_find(EVP_PBE_TYPE_OUTER, nid, nullptr, nullptr, nullptr) == 1) {
        PbeParamPtr pbe(
            static_cast<PBEPARAM*>(ASN1_TYPE_unpack_sequence(ASN1_ITEM_rptr(PBEPARAM), alg->parameter)));
        return !pbe || countWithinCap(pbe->iter);
    }
    return true;
}

bool macWithinCap(const PKCS12* p12)
{
    const ASN1_INTEGER* iter = nullptr;
    PKCS12_get0_mac(nullptr, nullptr, nullptr, &iter, p12);
    return countWithinCap(iter);
}

bool encryptedSafeWithinCap(const PKCS7* p7)
{
    const PKCS7_ENCRYPT* e = p7->d.encrypted;
    return !e || !e->enc_data || algorithmWithinCap(e->enc_data->algorithm);
}

bool shroudedKeysWithinCap(const STACK_OF(PKCS12_SAFEBAG) * bags, int depth = 0)
{
    for (int i = 0; i < sk_PKCS12_SAFEBAG_num(bags); ++i) {
        const PKCS12_SAFEBAG* bag = sk_PKCS12_SAFEBAG_value(bags, i);
        switch (PKCS12_SAFEBAG_get_nid(bag)) {
        case NID_pkcs8ShroudedKeyBag:
            if (const X509_SIG* sig = PKCS12_SAFEBAG_get0_pkcs8(bag)) {
                const X509_ALGOR* alg = nullptr;
                X509_SIG_get0(sig, &alg, nullptr);
                if (!algorithmWithinCap(alg))
                    return false;
            }
            break;
        case NID_safeContentsBag:
            if (depth < MaxBagDepth && !shroudedKeysWithinCap(PKCS12_SAFEBAG_get0_safes(bag), depth + 1))
                return false;
            break;
        default:
            break;
        }
    }
    return true;
}

struct Bags
{
    std::vector<X509Ptr> certs;
    std::vector<KeyPtr> keys;
};

void collectBags(const STACK_OF(PKCS12_SAFEBAG) * bags, const char* pass, int passLen, Bags* out,
                 int depth = 0)
{
    for (int i = 0; i < sk_PKCS12_SAFEBAG_num(bags); ++i) {
        const PKCS12_SAFEBAG* bag = sk_PKCS12_SAFEBAG_value(bags, i);
        switch (PKCS12_SAFEBAG_get_nid(bag)) {
        case NID_certBag:
            if (PKCS12_SAFEBAG_get_bag_nid(bag) == NID_x509Certificate)
                if (X509* x = PKCS12_SAFEBAG_get1_cert(bag))
                    out->certs.emplace_back(x);
            break;
        case NID_keyBag:
            if (const PKCS8_PRIV_KEY_INFO* p8 = PKCS12_SAFEBAG_get0_p8inf(bag))
                if (EVP_PKEY* k = EVP_PKCS82PKEY(p8))
                    out->keys.emplace_back(k);
            break;
        case NID_pkcs8ShroudedKeyBag: {
            P8Ptr p8(PKCS12_decrypt_skey(bag, pass, passLen));
            if (p8)
                if (EVP_PKEY* k = EVP_PKCS82PKEY(p8.get()))
                    out->keys.emplace_back(k);
            break;
        }
        case NID_safeContentsBag:
            if (depth < MaxBagDepth)
                collectBags(PKCS12_SAFEBAG_get0_safes(bag), pass, passLen, out, depth + 1);
            break;
        default:
            break;
        }
    }
}

} // namespace

void CertFile::loadProviders()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Explicit loading switches off the implicit default provider, so both are loaded. They stay
        // loaded for the life of the process.
        OSSL_PROVIDER_load(nullptr, "default");
        OSSL_PROVIDER_load(nullptr, "legacy");
        ERR_clear_error();
    });
}

quint32 CertFile::parsePkcs12(const QByteArray& bytes, const QByteArray& password, QList<Entry>* out)
{
    loadProviders();
    BioPtr bio = memBio(bytes);
    Pkcs12Ptr p12(bio ? d2i_PKCS12_bio(bio.get(), nullptr) : nullptr);
    ERR_clear_error();
    if (!p12)
        return TM_ERR_FILE_FORMAT;

    const auto refuse = [](quint32 status) {
        ERR_clear_error();
        return status;
    };

    // Key derivation costs one hash chain per iteration, so every count is checked before any
    // derivation runs: the MAC's, each encrypted part's, and each shrouded key's that can be reached
    // without decrypting. The rest are checked as soon as their part is decrypted.
    if (!macWithinCap(p12.get()))
        return refuse(TM_ERR_FILE_FORMAT);
    P7StackPtr safes(PKCS12_unpack_authsafes(p12.get()));
    if (!safes)
        return refuse(TM_ERR_FILE_FORMAT);
    const int safeCount = sk_PKCS7_num(safes.get());
    std::vector<BagStackPtr> plainBags(size_t(std::max(safeCount, 0)));
    for (int i = 0; i < safeCount; ++i) {
        PKCS7* p7 = sk_PKCS7_value(safes.get(), i);
        if (PKCS7_type_is_data(p7)) {
            plainBags[size_t(i)].reset(PKCS12_unpack_p7data(p7));
            if (!plainBags[size_t(i)] || !shroudedKeysWithinCap(plainBags[size_t(i)].get()))
                return refuse(TM_ERR_FILE_FORMAT);
        } else if (!PKCS7_type_is_encrypted(p7) || !encryptedSafeWithinCap(p7)) {
            return refuse(TM_ERR_FILE_FORMAT);
        }
    }

    // An empty password may have been encoded either as no password or as an empty string.
    const char* pass = password.constData();
    int passLen = int(password.size());
    if (PKCS12_mac_present(p12.get())) {
        if (PKCS12_verify_mac(p12.get(), pass, passLen) != 1) {
            if (password.isEmpty() && PKCS12_verify_mac(p12.get(), nullptr, 0) == 1) {
                pass = nullptr;
                passLen = 0;
            } else {
                return refuse(TM_ERR_PASSWORD);
            }
        }
    }

    Bags found;
    for (int i = 0; i < safeCount; ++i) {
        BagStackPtr bags = std::move(plainBags[size_t(i)]);
        if (!bags) {
            bags.reset(PKCS12_unpack_p7encdata(sk_PKCS7_value(safes.get(), i), pass, passLen));
            // Without a MAC a wrong password shows only here.
            if (!bags)
                return refuse(TM_ERR_PASSWORD);
            if (!shroudedKeysWithinCap(bags.get()))
                return refuse(TM_ERR_FILE_FORMAT);
        }
        collectBags(bags.get(), pass, passLen, &found);
    }
    ERR_clear_error();

    QList<Entry> entries;
    for (const X509Ptr& x : found.certs) {
        Entry e;
        e.certificate = certDer(x.get());
        if (e.certificate.isEmpty())
            continue;
        for (const KeyPtr& k : found.keys) {
            if (X509_check_private_key(x.get(), k.get()) == 1) {
                e.privateKey = keyDer(k.get());
                break;
            }
        }
        ERR_clear_error();
        entries.append(e);
    }
    *out = entries;
    return TM_OK;
}

quint32 CertFile::parsePkcs7(const QByteArray& bytes, QList<Entry>* out)
{
    loadProviders();
    BioPtr bio = memBio(bytes);
    if (!bio)
        return TM_ERR_FILE_FORMAT;
    Pkcs7Ptr p7(looksPem(bytes) ? PEM_read_bio_PKCS7(bio.get(), nullptr, nullptr, nullptr)
                                : d2i_PKCS7_bio(bio.get(), nullptr));
    ERR_clear_error();
    if (!p7)
        return TM_ERR_FILE_FORMAT;
    STACK_OF(X509)* certs = nullptr;
    const int nid = OBJ_obj2nid(p7->type);
    if (nid == NID_pkcs7_signed && p7->d.sign)
        certs = p7->d.sign->cert;
    else if (nid == NID_pkcs7_signedAndEnveloped && p7->d.signed_and_enveloped)
        certs = p7->d.signed_and_enveloped->cert;
    else
        return TM_ERR_FILE_FORMAT;
    QList<Entry> entries;
    for (int i = 0; i < sk_X509_num(certs); ++i) {
        Entry e;
        e.certificate = certDer(sk_X509_value(certs, i));
        if (!e.certificate.isEmpty())
            entries.append(e);
    }
    *out = entries;
    return TM_OK;
}

quint32 CertFile::parseX509(const QByteArray& bytes, Entry* out)
{
    BioPtr bio = memBio(bytes);
    if (!bio)
        return TM_ERR_FILE_FORMAT;
    X509Ptr x(looksPem(bytes) ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)
                              : d2i_X509_bio(bio.get(), nullptr));
    ERR_clear_error();
    if (!x)
        return TM_ERR_FILE_FORMAT;
    Entry e;
    e.certificate = certDer(x.get());
    if (e.certificate.isEmpty())
        return TM_ERR_FILE_FORMAT;
    *out = e;
    return TM_OK;
}
