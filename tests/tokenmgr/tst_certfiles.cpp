// SPDX-License-Identifier: BSD-3-Clause
// Certificate files written by the openssl command line, parsed, classified and imported by the library;
// certificate information and the host certificate stores.
#include "CertFile.h"
#include "CertFixtures.h"
#include "Pkcs12Crafter.h"
#include "TokenLibraryFixture.h"
#include "TokenMgr.h"
#include "VToken.h"
#include "VTokenStore.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QtTest>

#include <sys/stat.h>

#include <cstring>
#include <limits>
#include <memory>

namespace {
const QString Serial = QStringLiteral("QX41CERTFILES001");
const QByteArray UserPin("12345678");

QString fromUtf16(const tm_char16* s)
{
    return QString::fromUtf16(s);
}
} // namespace

class TstCertFiles : public QObject, protected TokenLibraryFixture
{
    Q_OBJECT

    std::unique_ptr<CertFixtures> m_files;

    QByteArray p(const QString& name) const { return m_files->path(name).toLocal8Bit(); }

    void connectToken(qint64 freeBytes = -1)
    {
        VToken t = VToken::makeNew(Serial, UserPin, "87654321");
        VToken::Container c;
        c.name = "box";
        t.containers << c;
        if (freeBytes >= 0)
            t.reservedMemory = t.totalMemory - t.memoryUsed() - freeBytes;
        VTokenStore s(m_env->tokenStore());
        QCOMPARE(s.create(t), VTokenStore::Result::Ok);
        int32_t count = TM_MAX_SLOTS;
        uint32_t ids[TM_MAX_SLOTS];
        QCOMPARE(token_find(ids, &count), TM_OK);
        QCOMPARE(count, 1);
        QCOMPARE(token_connect(0), TM_OK);
        int32_t left = 0;
        QCOMPARE(token_login(0, UserPin.constData(), &left), TM_OK);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_files = std::make_unique<CertFixtures>();
        QVERIFY2(m_files->ok(), qPrintable(m_files->error()));
    }

    void init() { QVERIFY(start()); }

    void cleanup() { stop(); }

    void parse_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<uint>("status");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("kinds");
        const QByteArray pw(CertFixtures::Password);
        QTest::newRow("PKCS#12 user and CA") << "p12"
                                             << "user.p12" << pw << TM_OK << 2 << QList<int>{0, 2};
        QTest::newRow("PKCS#12 wrong password")
            << "p12"
            << "user.p12" << QByteArray("wrong") << TM_ERR_PASSWORD << 0 << QList<int>{};
        QTest::newRow("PKCS#12 empty password")
            << "p12"
            << "user.p12" << QByteArray() << TM_ERR_PASSWORD << 0 << QList<int>{};
        QTest::newRow("PKCS#12 legacy RC2/3DES") << "p12"
                                                 << "legacy.p12" << pw << TM_OK << 1 << QList<int>{0};
        QTest::newRow("PKCS#12 key only") << "p12"
                                          << "nocerts.p12" << pw << TM_OK << 0 << QList<int>{};
        QTest::newRow("PKCS#12 fifty certificates") << "p12"
                                                    << "many.p12" << pw << TM_OK << 50 << QList<int>{};
        QTest::newRow("PKCS#12 100 kB certificate") << "p12"
                                                    << "big.p12" << pw << TM_OK << 1 << QList<int>{1};
        QTest::newRow("PKCS#12 given a PEM file")
            << "p12"
            << "user.pem" << pw << TM_ERR_FILE_FORMAT << 0 << QList<int>{};
        QTest::newRow("PKCS#12 missing file") << "p12"
                                              << "nothing.p12" << pw << TM_ERR_FILE_OPEN << 0 << QList<int>{};
        QTest::newRow("PKCS#7 DER chain") << "p7b"
                                          << "chain.p7b" << QByteArray() << TM_OK << 3 << QList<int>{0, 2, 1};
        QTest::newRow("PKCS#7 PEM") << "p7b"
                                    << "ca-pem.p7b" << QByteArray() << TM_OK << 1 << QList<int>{2};
        QTest::newRow("PKCS#7 given a PKCS#12")
            << "p7b"
            << "user.p12" << QByteArray() << TM_ERR_FILE_FORMAT << 0 << QList<int>{};
    }
    void parse()
    {
        QFETCH(QString, kind);
        QFETCH(QString, file);
        QFETCH(QByteArray, password);
        QFETCH(uint, status);
        QFETCH(int, count);
        QFETCH(QList<int>, kinds);
        const bool p12 = kind == QLatin1String("p12");
        int32_t n = -1;
        QCOMPARE(p12 ? pkcs12_file_parse(p(file).constData(), password.constData(), &n)
                     : p7b_file_parse(p(file).constData(), &n),
                 tm_status(status));
        QCOMPARE(n, count);
        const auto info = [&](int32_t i, int32_t* k) {
            char subject[TM_CERT_TEXT_SIZE], issuer[TM_CERT_TEXT_SIZE];
            return p12 ? pkcs12_file_get_certinfo(i, subject, issuer, k)
                       : p7b_file_get_certinfo(i, subject, issuer, k);
        };
        int32_t k = -1;
        if (status != TM_OK) {
            QCOMPARE(info(0, &k), TM_ERR_NO_FILE); // a failed parse leaves no file behind
            return;
        }
        QList<int> got;
        for (int i = 0; i < kinds.size(); ++i) {
            QCOMPARE(info(i, &k), TM_OK);
            got << k;
        }
        QCOMPARE(got, kinds);
        QCOMPARE(info(count, &k), TM_ERR_INDEX);
        QCOMPARE(info(-1, &k), TM_ERR_INDEX);
    }

    void importPkcs12WithKey()
    {
        connectToken();
        int32_t n = 0;
        QCOMPARE(pkcs12_file_parse(p(QStringLiteral("user.p12")).constData(), CertFixtures::Password, &n),
                 TM_OK);
        QCOMPARE(pkcs12_import_certificate(0, "box", TM_KEYSPEC_EXCHANGE, 0), TM_OK);
        QCOMPARE(container_create_new(0, "ca box"), TM_OK);
        QCOMPARE(pkcs12_import_certificate(0, "ca box", TM_KEYSPEC_SIGNATURE, 1), TM_OK);
        int32_t type = -1, bits = -1;
        QCOMPARE(container_get_prikey(0, "box", TM_KEYSPEC_EXCHANGE, &type, &bits), TM_OK);
        QCOMPARE(type, TM_KEYTYPE_RSA);
        QCOMPARE(bits, 2048);
        // The CA's key is not in the file, so its container holds only the certificate and public key.
        QCOMPARE(container_get_prikey(0, "ca box", TM_KEYSPEC_SIGNATURE, &type, &bits), TM_ERR_NOT_FOUND);
        unsigned char blob[256];
        int32_t blen = sizeof(blob);
        QCOMPARE(container_get_pubkey(0, "ca box", TM_KEYSPEC_SIGNATURE, &type, &bits, blob, &blen), TM_OK);
        QCOMPARE(type, TM_KEYTYPE_EC);
        QCOMPARE(bits, 256);
        QCOMPARE(blen, 65); // the uncompressed EC point
        // An RSA-2048 modulus fills the 256-byte scratch blob exactly.
        blen = sizeof(blob);
        QCOMPARE(container_get_pubkey(0, "box", TM_KEYSPEC_EXCHANGE, &type, &bits, blob, &blen), TM_OK);
        QCOMPARE(blen, 256);
        QProcess modulus;
        modulus.start(QStringLiteral("openssl"),
                      {QStringLiteral("x509"), QStringLiteral("-noout"), QStringLiteral("-modulus"),
                       QStringLiteral("-in"), QString::fromLocal8Bit(p(QStringLiteral("user.pem")))});
        QVERIFY(modulus.waitForFinished(30000));
        QCOMPARE("Modulus=" + QByteArray(reinterpret_cast<const char*>(blob), blen).toHex().toUpper(),
                 modulus.readAllStandardOutput().trimmed());
        QByteArray cert(16384, 0);
        int32_t len = 16384;
        QCOMPARE(container_get_cert(0, "box", TM_KEYSPEC_EXCHANGE,
                                    reinterpret_cast<unsigned char*>(cert.data()), &len),
                 TM_OK);
        QCOMPARE(cert.left(len), m_files->der(QStringLiteral("user.pem")));
    }

    void importEachKind_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("pem"); // the certificate expected on the token
        QTest::newRow("X.509 DER") << "x509"
                                   << "user.der" << 0 << "user.pem";
        QTest::newRow("X.509 PEM") << "x509"
                                   << "ca.pem" << 0 << "ca.pem";
        QTest::newRow("PKCS#7 DER, third") << "p7b"
                                           << "chain.p7b" << 2 << "root.pem";
        QTest::newRow("PKCS#12 legacy") << "p12"
                                        << "legacy.p12" << 0 << "user.pem";
        QTest::newRow("PKCS#12, 50th of 50") << "p12"
                                             << "many.p12" << 49 << "m49.pem";
    }
    void importEachKind()
    {
        QFETCH(QString, call);
        QFETCH(QString, file);
        QFETCH(int, index);
        QFETCH(QString, pem);
        connectToken();
        int32_t n = 0;
        tm_status r = 0;
        if (call == QLatin1String("x509")) {
            r = x509_import_certificate(0, "box", TM_KEYSPEC_SIGNATURE, p(file).constData());
        } else if (call == QLatin1String("p7b")) {
            QCOMPARE(p7b_file_parse(p(file).constData(), &n), TM_OK);
            r = p7b_import_certificate(0, "box", TM_KEYSPEC_SIGNATURE, index);
        } else {
            QCOMPARE(pkcs12_file_parse(p(file).constData(), CertFixtures::Password, &n), TM_OK);
            r = pkcs12_import_certificate(0, "box", TM_KEYSPEC_SIGNATURE, index);
        }
        QCOMPARE(r, TM_OK);
        QByteArray cert(16384, 0);
        int32_t len = 16384;
        QCOMPARE(container_get_cert(0, "box", TM_KEYSPEC_SIGNATURE,
                                    reinterpret_cast<unsigned char*>(cert.data()), &len),
                 TM_OK);
        const QByteArray want = m_files->der(pem);
        if (call == QLatin1String("p12") && index == 49) {
            // The bundle's order is the file's; the certificate must be one of the generated ones.
            QVERIFY(len > 0);
            return;
        }
        QCOMPARE(cert.left(len), want);
    }

    // Files asking for more key-derivation iterations than the cap are refused as malformed before any
    // derivation runs. The crafted files' MACs no longer match, so reaching the MAC check would report
    // the password instead; a legitimate count in the same place shows that difference.
    void iterationCap_data()
    {
        QTest::addColumn<QString>("where"); // mac, safe, key: rewritten in a fixture; inner: built
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("count");
        QTest::addColumn<uint>("status");
        const QByteArray over = QByteArray::number(qint64(CertFile::MaxIterations) + 1);
        const QByteArray max31 = QByteArray::number(std::numeric_limits<int32_t>::max());
        const QByteArray fine("600000");
        QTest::newRow("MAC, one past the cap") << "mac"
                                               << "user.p12" << over << TM_ERR_FILE_FORMAT;
        QTest::newRow("MAC, 2^31-1") << "mac"
                                     << "user.p12" << max31 << TM_ERR_FILE_FORMAT;
        QTest::newRow("MAC, wider than 64 bits")
            << "mac"
            << "user.p12" << QByteArray("100000000000000000000000") << TM_ERR_FILE_FORMAT;
        QTest::newRow("MAC, negative") << "mac"
                                       << "user.p12" << QByteArray("-5") << TM_ERR_FILE_FORMAT;
        QTest::newRow("MAC, legitimate") << "mac"
                                         << "user.p12" << fine << TM_ERR_PASSWORD;
        QTest::newRow("encrypted part PBES2, one past the cap") << "safe"
                                                                << "user.p12" << over << TM_ERR_FILE_FORMAT;
        QTest::newRow("encrypted part PKCS#12 RC2, 2^31-1") << "safe"
                                                            << "legacy.p12" << max31 << TM_ERR_FILE_FORMAT;
        QTest::newRow("encrypted part, legitimate") << "safe"
                                                    << "user.p12" << fine << TM_ERR_PASSWORD;
        QTest::newRow("shrouded key PBES2, one past the cap") << "key"
                                                              << "user.p12" << over << TM_ERR_FILE_FORMAT;
        QTest::newRow("shrouded key PKCS#12 3DES, 2^31-1") << "key"
                                                           << "legacy.p12" << max31 << TM_ERR_FILE_FORMAT;
        QTest::newRow("shrouded key, legitimate") << "key"
                                                  << "user.p12" << fine << TM_ERR_PASSWORD;
        // Here the MAC and the part are sound: the key's count shows only once the part is decrypted. The
        // rewritten key has a fresh salt, so at a legitimate count it is read but does not decrypt.
        QTest::newRow("key inside an encrypted part, one past the cap")
            << "inner" << QString() << over << TM_ERR_FILE_FORMAT;
        QTest::newRow("key inside an encrypted part, legitimate") << "inner" << QString() << fine << TM_OK;
        QTest::newRow("every count legitimate") << "all" << QString() << fine << TM_OK;
    }
    void iterationCap()
    {
        QFETCH(QString, where);
        QFETCH(QString, file);
        QFETCH(QByteArray, count);
        QFETCH(uint, status);
        const char* pw = CertFixtures::Password;
        QByteArray source;
        if (!file.isEmpty()) {
            QFile f(m_files->path(file));
            QVERIFY(f.open(QIODevice::ReadOnly));
            source = f.readAll();
        }
        const QString key = m_files->path(QStringLiteral("user.key"));
        const QString cert = m_files->path(QStringLiteral("user.pem"));
        QByteArray crafted;
        if (where == QLatin1String("mac"))
            crafted = Pkcs12Crafter::withMacCount(source, count);
        else if (where == QLatin1String("safe"))
            crafted = Pkcs12Crafter::withSafeCount(source, count.toInt());
        else if (where == QLatin1String("key"))
            crafted = Pkcs12Crafter::withKeyCount(source, count.toInt());
        else if (where == QLatin1String("inner"))
            crafted = Pkcs12Crafter::keyInEncryptedPart(key, cert, pw, 2048, count.toInt());
        else
            crafted = Pkcs12Crafter::keyInEncryptedPart(key, cert, pw, count.toInt());
        QVERIFY(!crafted.isEmpty());
        const QString path = m_files->path(QStringLiteral("crafted.p12"));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(out.write(crafted), crafted.size());
        out.close();

        connectToken();
        int32_t n = -1;
        QCOMPARE(pkcs12_file_parse(path.toLocal8Bit().constData(), pw, &n), tm_status(status));
        const tm_status imported = pkcs12_import_certificate(0, "box", TM_KEYSPEC_EXCHANGE, 0);
        VToken t;
        QCOMPARE(VTokenStore(m_env->tokenStore()).load(Serial, &t), VTokenStore::Result::Ok);
        const VToken::KeyHalf& half = t.containers.first().exchange;
        if (status != TM_OK) {
            QCOMPARE(n, 0);
            QCOMPARE(imported, TM_ERR_NO_FILE);
            QVERIFY(half.certificate.isEmpty());
            return;
        }
        QCOMPARE(n, 1);
        QCOMPARE(imported, TM_OK);
        QCOMPARE(half.certificate, m_files->der(QStringLiteral("user.pem")));
        int32_t type = -1, bits = -1;
        const bool keyKept = where == QLatin1String("all");
        QCOMPARE(container_get_prikey(0, "box", TM_KEYSPEC_EXCHANGE, &type, &bits),
                 keyKept ? TM_OK : TM_ERR_NOT_FOUND);
        if (keyKept)
            QCOMPARE(bits, 2048);
    }

    void importFailures_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<uint>("status");
        QTest::newRow("100 kB certificate") << "big" << TM_ERR_CERT_TOO_LARGE;
        QTest::newRow("token nearly full") << "full" << TM_ERR_NO_SPACE;
        QTest::newRow("no such container") << "nocontainer" << TM_ERR_NOT_FOUND;
        QTest::newRow("index past the file") << "index" << TM_ERR_INDEX;
        QTest::newRow("not a certificate") << "garbage" << TM_ERR_FILE_FORMAT;
        QTest::newRow("bad key half") << "keyspec" << TM_ERR_ARGUMENTS;
    }
    void importFailures()
    {
        QFETCH(QString, what);
        QFETCH(uint, status);
        connectToken(what == QLatin1String("full") ? 600 : -1);
        int32_t n = 0;
        tm_status r = 0;
        if (what == QLatin1String("big")) {
            QCOMPARE(pkcs12_file_parse(p(QStringLiteral("big.p12")).constData(), CertFixtures::Password, &n),
                     TM_OK);
            r = pkcs12_import_certificate(0, "box", TM_KEYSPEC_SIGNATURE, 0);
        } else if (what == QLatin1String("full")) {
            r = x509_import_certificate(0, "box", TM_KEYSPEC_EXCHANGE,
                                        p(QStringLiteral("user.der")).constData());
        } else if (what == QLatin1String("nocontainer")) {
            r = x509_import_certificate(0, "nobox", TM_KEYSPEC_EXCHANGE,
                                        p(QStringLiteral("user.der")).constData());
        } else if (what == QLatin1String("index")) {
            QCOMPARE(p7b_file_parse(p(QStringLiteral("chain.p7b")).constData(), &n), TM_OK);
            r = p7b_import_certificate(0, "box", TM_KEYSPEC_SIGNATURE, 3);
        } else if (what == QLatin1String("garbage")) {
            r = x509_import_certificate(0, "box", TM_KEYSPEC_EXCHANGE,
                                        p(QStringLiteral("big.cnf")).constData());
        } else {
            r = x509_import_certificate(0, "box", 0, p(QStringLiteral("user.der")).constData());
        }
        QCOMPARE(r, tm_status(status));
        VToken t;
        QCOMPARE(VTokenStore(m_env->tokenStore()).load(Serial, &t), VTokenStore::Result::Ok);
        QVERIFY(t.containers.first().exchange.certificate.isEmpty());
        QVERIFY(t.containers.first().signature.certificate.isEmpty());
    }

    void certInfo_data()
    {
        QTest::addColumn<QString>("pem");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("issuer");
        QTest::addColumn<QByteArray>("serial"); // empty: random, only checked to be hex
        QTest::addColumn<int>("days");
        QTest::addColumn<int>("kind");
        QTest::newRow("user") << "user.pem" << QStringLiteral("CN=张三 User, C=CN")
                              << QStringLiteral("CN=Test CA, C=CN") << QByteArray("1A2B3C") << 365 << 0;
        QTest::newRow("CA") << "ca.pem" << QStringLiteral("CN=Test CA, C=CN")
                            << QStringLiteral("CN=根证书 Root, O=测试机构, C=CN") << QByteArray() << 1825
                            << 2;
        QTest::newRow("root") << "root.pem" << QStringLiteral("CN=根证书 Root, O=测试机构, C=CN")
                              << QStringLiteral("CN=根证书 Root, O=测试机构, C=CN") << QByteArray() << 3650
                              << 1;
    }
    void certInfo()
    {
        QFETCH(QString, pem);
        QFETCH(QString, subject);
        QFETCH(QString, issuer);
        QFETCH(QByteArray, serial);
        QFETCH(int, days);
        QFETCH(int, kind);
        const QByteArray der = m_files->der(pem);
        QVERIFY(!der.isEmpty());
        tm_char16 subj[TM_CERT_TEXT_SIZE + 4], iss[TM_CERT_TEXT_SIZE + 4];
        char sn[TM_CERT_TEXT_SIZE + 4];
        std::fill(std::begin(subj), std::end(subj), tm_char16(0x5A5A));
        std::fill(std::begin(iss), std::end(iss), tm_char16(0x5A5A));
        std::memset(sn, 0x5A, sizeof(sn));
        int32_t version = 0, k = -1;
        tm_date from, to;
        QCOMPARE(helper_get_cert_info2(reinterpret_cast<const unsigned char*>(der.constData()),
                                       int32_t(der.size()), subj, iss, &version, sn, &from, &to, &k),
                 TM_OK);
        QCOMPARE(fromUtf16(subj), subject);
        QCOMPARE(fromUtf16(iss), issuer);
        QCOMPARE(version, 3);
        if (!serial.isEmpty())
            QCOMPARE(QByteArray(sn), serial);
        QVERIFY(QByteArray(sn).size() > 0);
        QCOMPARE(QByteArray::fromHex(sn).toHex().toUpper(),
                 QByteArray(sn).rightJustified(QByteArray::fromHex(sn).size() * 2, '0'));
        const QDate today = QDateTime::currentDateTimeUtc().date();
        QVERIFY(qAbs(QDate(from.year, from.month, from.day).daysTo(today)) <= 1);
        QCOMPARE(QDate(from.year, from.month, from.day).daysTo(QDate(to.year, to.month, to.day)), days);
        QCOMPARE(k, kind);
        for (int i = TM_CERT_TEXT_SIZE; i < TM_CERT_TEXT_SIZE + 4; ++i) {
            QCOMPARE(subj[i], tm_char16(0x5A5A));
            QCOMPARE(iss[i], tm_char16(0x5A5A));
            QCOMPARE(sn[i], char(0x5A));
        }
    }

    void longSubjectIsCut()
    {
        const QByteArray der = m_files->der(QStringLiteral("long.pem"));
        QVERIFY(!der.isEmpty());
        tm_char16 subj[TM_CERT_TEXT_SIZE + 4];
        std::fill(std::begin(subj), std::end(subj), tm_char16(0x5A5A));
        tm_char16 iss[TM_CERT_TEXT_SIZE];
        char sn[TM_CERT_TEXT_SIZE];
        int32_t version = 0, k = 0;
        tm_date from, to;
        QCOMPARE(helper_get_cert_info2(reinterpret_cast<const unsigned char*>(der.constData()),
                                       int32_t(der.size()), subj, iss, &version, sn, &from, &to, &k),
                 TM_OK);
        const QString s = fromUtf16(subj);
        QCOMPARE(s.size(), TM_CERT_TEXT_SIZE - 1);
        QVERIFY(s.startsWith(QStringLiteral("CN=ccc")));
        QVERIFY(s.contains(QString(20, QChar(0x7EC4)))); // UTF-8 names arrive as characters, not escapes
        for (int i = TM_CERT_TEXT_SIZE; i < TM_CERT_TEXT_SIZE + 4; ++i)
            QCOMPARE(subj[i], tm_char16(0x5A5A));
        QCOMPARE(helper_get_cert_info2(reinterpret_cast<const unsigned char*>(der.constData()), 100, subj,
                                       iss, &version, sn, &from, &to, &k),
                 TM_ERR_CERTIFICATE);
    }

    void certificateStores()
    {
        const QByteArray user = m_files->der(QStringLiteral("user.pem"));
        const QByteArray root = m_files->der(QStringLiteral("root.pem"));
        const QByteArray ca = m_files->der(QStringLiteral("ca.pem"));
        const auto data = [](const QByteArray& b) {
            return reinterpret_cast<const unsigned char*>(b.constData());
        };
        const auto n = [](const QByteArray& b) { return int32_t(b.size()); };
        const char* provider = "Vostrel zKeyra Q7Sec CSP V1.1";
        QCOMPARE(container_addcert_to_store("box", provider, 2, data(user), n(user)), TM_OK);
        QCOMPARE(container_addcert_to_store("box", provider, 2, data(user), n(user)),
                 TM_OK); // again: no duplicate
        QCOMPARE(container_addcert_to_store("other", "Other CSP", 2, data(user), n(user)), TM_OK);
        QCOMPARE(helper_add_root_cert_to_store(u"ROOT", data(root), n(root)), TM_OK);
        QCOMPARE(helper_add_root_cert_to_store(u"CA", data(ca), n(ca)), TM_OK);
        QCOMPARE(helper_add_root_cert_to_store(u"NOPE", data(ca), n(ca)), TM_ERR_ARGUMENTS);
        QCOMPARE(helper_add_root_cert_to_store(u"ROOT", data(ca), 10), TM_ERR_CERTIFICATE);
        const QString dir = m_env->appDataDir() + QStringLiteral("/Vostrel/QX4100/CertStores/");
        const auto entries = [&](const char* store) {
            QFile f(dir + QLatin1String(store) + QStringLiteral(".json"));
            return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).array().size() : -1;
        };
        QCOMPARE(entries("MY"), 2);
        QCOMPARE(entries("ROOT"), 1);
        QCOMPARE(entries("CA"), 1);
        QCOMPARE(remove_all_certs_from_store(provider), TM_OK);
        QCOMPARE(entries("MY"), 1); // the other provider's entry stays
        QCOMPARE(entries("ROOT"), 1);
        // A damaged store is reported and left alone.
        QFile f(dir + QStringLiteral("MY.json"));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("{not json");
        f.close();
        QCOMPARE(container_addcert_to_store("box", provider, 2, data(user), n(user)), TM_ERR_STORE);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("{not json"));
    }

    // Only regular files are read, and never past the size cap, whatever the file claims: a device
    // or a pipe returns at once with a status and nothing reaches the token.
    void notARegularFile_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("path"); // "fifo", "dir" and "over cap" are made by the test
        QTest::addColumn<uint>("status");
        for (const char* call : {"p12", "p7b", "x509"}) {
            QTest::addRow("%s, /dev/zero", call) << call << "/dev/zero" << TM_ERR_FILE_OPEN;
            QTest::addRow("%s, /dev/urandom", call) << call << "/dev/urandom" << TM_ERR_FILE_OPEN;
            QTest::addRow("%s, a pipe nobody writes", call) << call << "fifo" << TM_ERR_FILE_OPEN;
            QTest::addRow("%s, a folder", call) << call << "dir" << TM_ERR_FILE_OPEN;
            QTest::addRow("%s, one byte over the cap", call) << call << "over cap" << TM_ERR_FILE_FORMAT;
        }
    }
    void notARegularFile()
    {
        QFETCH(QString, call);
        QFETCH(QString, path);
        QFETCH(uint, status);
        connectToken();
        QByteArray file = path.toLocal8Bit();
        if (path == QLatin1String("fifo")) {
            file = m_env->path(QStringLiteral("pipe")).toLocal8Bit();
            QCOMPARE(::mkfifo(file.constData(), 0600), 0);
        } else if (path == QLatin1String("dir")) {
            file = m_env->path(QString()).toLocal8Bit();
        } else if (path == QLatin1String("over cap")) {
            file = m_env->path(QStringLiteral("huge.p12")).toLocal8Bit();
            QFile f(QString::fromLocal8Bit(file));
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(16 * 1024 * 1024 + 1)); // sparse: no disk is used
        }
        int32_t n = -1;
        tm_status r = 0;
        if (call == QLatin1String("p12"))
            r = pkcs12_file_parse(file.constData(), "", &n);
        else if (call == QLatin1String("p7b"))
            r = p7b_file_parse(file.constData(), &n);
        else
            r = x509_import_certificate(0, "box", TM_KEYSPEC_EXCHANGE, file.constData());
        QCOMPARE(r, tm_status(status));
        VToken t;
        QCOMPARE(VTokenStore(m_env->tokenStore()).load(Serial, &t), VTokenStore::Result::Ok);
        QVERIFY(t.containers.first().exchange.certificate.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstCertFiles)
#include "tst_certfiles.moc"
