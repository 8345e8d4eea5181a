// SPDX-License-Identifier: BSD-3-Clause
// Feeds arbitrary bytes to the certificate-file readers. The first byte picks the reader (PKCS#12,
// PKCS#7, X.509); for PKCS#12 the next byte gives a password length (0 to 7) and that many bytes follow
// as the password. The rest is the file.
#include "CertFile.h"
#include "CertInfo.h"
#include "TokenMgr.h"

#include <openssl/x509.h>

#include <cstdint>
#include <cstdlib>

namespace {

// What a successful read hands on must be a certificate the rest of the library can read again.
void checkCertificate(const QByteArray& der)
{
    if (der.isEmpty())
        std::abort();
    const unsigned char* p = reinterpret_cast<const unsigned char*>(der.constData());
    X509* x = d2i_X509(nullptr, &p, long(der.size()));
    if (!x)
        std::abort();
    X509_free(x);
    CertInfo info;
    CertInfo::fromDer(der, &info);
}

// A failed read leaves the caller's list as it was.
const CertFile::Entry Sentinel{QByteArray("untouched"), QByteArray()};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray all(reinterpret_cast<const char*>(data), qsizetype(size));
    const int reader = uint8_t(all[0]) % 3;
    QList<CertFile::Entry> entries{Sentinel};
    quint32 status = TM_OK;

    if (reader == 0) {
        if (size < 2)
            return 0;
        const int passLen = uint8_t(all[1]) % 8;
        if (qsizetype(size) < 2 + passLen)
            return 0;
        const QByteArray password = all.mid(2, passLen);
        status = CertFile::parsePkcs12(all.mid(2 + passLen), password, &entries);
        if (status != TM_OK && status != TM_ERR_FILE_FORMAT && status != TM_ERR_PASSWORD)
            std::abort();
    } else if (reader == 1) {
        status = CertFile::parsePkcs7(all.mid(1), &entries);
        if (status != TM_OK && status != TM_ERR_FILE_FORMAT)
            std::abort();
    } else {
        CertFile::Entry one = Sentinel;
        status = CertFile::parseX509(all.mid(1), &one);
        if (status != TM_OK && status != TM_ERR_FILE_FORMAT)
            std::abort();
        if (status != TM_OK && one.certificate != Sentinel.certificate)
            std::abort();
        if (status == TM_OK && !one.privateKey.isEmpty())
            std::abort();
        entries = {one};
    }

    if (status != TM_OK) {
        if (entries.size() != 1 || entries.first().certificate != Sentinel.certificate)
            std::abort();
        return 0;
    }
    for (const CertFile::Entry& e : entries) {
        checkCertificate(e.certificate);
        if (!e.privateKey.isEmpty()) {
            const unsigned char* p = reinterpret_cast<const unsigned char*>(e.privateKey.constData());
            PKCS8_PRIV_KEY_INFO* p8 = d2i_PKCS8_PRIV_KEY_INFO(nullptr, &p, long(e.privateKey.size()));
            if (!p8)
                std::abort();
            PKCS8_PRIV_KEY_INFO_free(p8);
        }
    }
    return 0;
}
