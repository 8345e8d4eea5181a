#include "CertFile.h"

#include "TokenMgr.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/pkcs7.h>
#include <openssl/provider.h>
#include <openssl/x509.h>

#include <memory>
#include <mutex>

namespace {

template <typename T, void (*F)(T*)> struct Deleter
{
    void operator()(T* p) const { F(p); }
};
using BioPtr = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;
using X509Ptr = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using Pkcs12Ptr = std::unique_ptr<PKCS12, Deleter<PKCS12, PKCS12_free>>;
using Pkcs7Ptr = std::unique_ptr<PKCS7, Deleter<PKCS7, PKCS7_free>>;
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using P8Ptr = std::unique_ptr<PKCS8_PRIV_KEY_INFO, Deleter<PKCS8_PRIV_KEY_INFO, PKCS8_PRIV_KEY_INFO_free>>;

void freeP7Stack(STACK_OF(PKCS7) * s)
{
    sk_PKCS7_pop_free(s, PKCS7_free);
}
void freeBagStack(STACK_OF(PKCS12_SAFEBAG) * s)
{
    sk_PKCS12_SAFEBAG_pop_free(s, PKCS12_SAFEBAG_free);
}
using P7StackPtr = std::unique_ptr<STACK_OF(PKCS7), Deleter<STACK_OF(PKCS7), freeP7Stack>>;
using BagStackPtr =
    std::unique_ptr<STACK_OF(PKCS12_SAFEBAG), Deleter<STACK_OF(PKCS12_SAFEBAG), freeBagStack>>;

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
            if (depth < 4)
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

    // An empty password may have been encoded either as no password or as an empty string.
    const char* pass = password.constData();
    int passLen = int(password.size());
    if (PKCS12_mac_present(p12.get())) {
        if (PKCS12_verify_mac(p12.get(), pass, passLen) != 1) {
            if (password.isEmpty() && PKCS12_verify_mac(p12.get(), nullptr, 0) == 1) {
                pass = nullptr;
                passLen = 0;
            } else {
                ERR_clear_error();
                return TM_ERR_PASSWORD;
            }
        }
    }

    P7StackPtr safes(PKCS12_unpack_authsafes(p12.get()));
    if (!safes) {
        ERR_clear_error();
        return TM_ERR_FILE_FORMAT;
    }
    Bags found;
    for (int i = 0; i < sk_PKCS7_num(safes.get()); ++i) {
        PKCS7* p7 = sk_PKCS7_value(safes.get(), i);
        const int nid = OBJ_obj2nid(p7->type);
        BagStackPtr bags;
        if (nid == NID_pkcs7_data)
            bags.reset(PKCS12_unpack_p7data(p7));
        else if (nid == NID_pkcs7_encrypted)
            bags.reset(PKCS12_unpack_p7encdata(p7, pass, passLen));
        if (!bags) {
            ERR_clear_error();
            // Without a MAC a wrong password shows only here.
            return nid == NID_pkcs7_encrypted ? TM_ERR_PASSWORD : TM_ERR_FILE_FORMAT;
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
