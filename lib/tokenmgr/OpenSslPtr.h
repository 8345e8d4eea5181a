// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <memory>

// Owning pointers for OpenSSL objects, each freed by the function OpenSSL gives for it.
template <typename T, void (*Free)(T*)> struct OpenSslFree
{
    void operator()(T* p) const { Free(p); }
};
template <typename T, void (*Free)(T*)> using OpenSslPtr = std::unique_ptr<T, OpenSslFree<T, Free>>;

inline void freePkcs7Stack(STACK_OF(PKCS7) * s)
{
    sk_PKCS7_pop_free(s, PKCS7_free);
}
inline void freeSafeBagStack(STACK_OF(PKCS12_SAFEBAG) * s)
{
    sk_PKCS12_SAFEBAG_pop_free(s, PKCS12_SAFEBAG_free);
}

using BioPtr = OpenSslPtr<BIO, BIO_free_all>;
using BnPtr = OpenSslPtr<BIGNUM, BN_free>;
using X509Ptr = OpenSslPtr<X509, X509_free>;
using AlgorPtr = OpenSslPtr<X509_ALGOR, X509_ALGOR_free>;
using KeyPtr = OpenSslPtr<EVP_PKEY, EVP_PKEY_free>;
using P8Ptr = OpenSslPtr<PKCS8_PRIV_KEY_INFO, PKCS8_PRIV_KEY_INFO_free>;
using Pkcs12Ptr = OpenSslPtr<PKCS12, PKCS12_free>;
using Pkcs7Ptr = OpenSslPtr<PKCS7, PKCS7_free>;
using P7StackPtr = OpenSslPtr<STACK_OF(PKCS7), freePkcs7Stack>;
using BagStackPtr = OpenSslPtr<STACK_OF(PKCS12_SAFEBAG), freeSafeBagStack>;
using PbeParamPtr = OpenSslPtr<PBEPARAM, PBEPARAM_free>;
using Pbe2ParamPtr = OpenSslPtr<PBE2PARAM, PBE2PARAM_free>;
using Pbkdf2ParamPtr = OpenSslPtr<PBKDF2PARAM, PBKDF2PARAM_free>;
