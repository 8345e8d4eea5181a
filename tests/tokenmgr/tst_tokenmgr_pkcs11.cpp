// SPDX-License-Identifier: BSD-3-Clause
// The token manager's C contract on a PKCS#11 module: SoftHSM2 tokens made in a store of the test's own.
#include "CertFixtures.h"
#include "CertInfo.h"
#include "LibraryCalls.h"
#include "SoftHsmToken.h"
#include "TokenMgr.h"

#include <QtTest>

#include <cstring>
#include <memory>

namespace {

const QByteArray UserPin("12345678");
const QByteArray SoPin("87654321");

QList<QByteArray> containers(int slot)
{
    return LibraryCalls::containerNames(slot);
}

// Index of the certificate in the parsed PKCS#12 file that comes with its private key.
int endEntityIndex(int count)
{
    for (int i = 0; i < count; ++i) {
        int32_t kind = -1;
        if (pkcs12_file_get_certinfo(i, nullptr, nullptr, &kind) == TM_OK && kind == TM_CERT_END_ENTITY)
            return i;
    }
    return -1;
}

} // namespace

class TstTokenMgrPkcs11 : public QObject
{
    Q_OBJECT

    std::unique_ptr<SoftHsmToken> m_hsm;
    std::unique_ptr<CertFixtures> m_files;

    static int findAndConnect() { return LibraryCalls::connectAll(); }
    // The slot of the token labelled `label`.
    int slotOf(const QByteArray& label)
    {
        const int n = findAndConnect();
        for (int i = 0; i < n; ++i) {
            char serial[TM_SERIAL_SIZE], text[TM_LABEL_SIZE], man[TM_MANUFACTURER_SIZE], model[TM_MODEL_SIZE];
            int32_t v[10];
            if (token_get_info_ex(i, serial, text, man, model, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                                  &v[6], &v[7], &v[8], &v[9]) == TM_OK &&
                label == text)
                return i;
        }
        return -1;
    }
    tm_status login(int slot, const QByteArray& pin = UserPin)
    {
        int32_t retries = 99;
        return token_login(slot, pin.constData(), &retries);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_files = std::make_unique<CertFixtures>();
        QVERIFY2(m_files->ok(), qPrintable(m_files->error()));
        // An EC key with its certificate, beside the fixtures' RSA user.
        QVERIFY(SoftHsmToken::run(QStringLiteral("openssl"),
                                  {QStringLiteral("pkcs12"), QStringLiteral("-export"),
                                   QStringLiteral("-inkey"), m_files->path(QStringLiteral("ca.key")),
                                   QStringLiteral("-in"), m_files->path(QStringLiteral("ca.pem")),
                                   QStringLiteral("-passout"), QStringLiteral("pass:ec"),
                                   QStringLiteral("-out"), m_files->path(QStringLiteral("ec.p12"))}));
    }
    void init()
    {
        m_hsm = std::make_unique<SoftHsmToken>();
        if (!m_hsm->ok())
            QSKIP("SoftHSM2 is not installed (scripts/install-deps.sh installs it)");
        QVERIFY(m_hsm->initToken(QStringLiteral("Tok A"), UserPin, SoPin));
        QCOMPARE(init_pkcs11(SoftHsmToken::module().constData()), TM_OK);
    }
    void cleanup()
    {
        uninit_pkcs11();
        m_hsm.reset();
    }

    void modulesThatCannotServe_data()
    {
        QTest::addColumn<QByteArray>("module");
        QTest::newRow("missing file") << QByteArray("/nonexistent/libnone-pkcs11.so");
        QTest::newRow("not a library") << QByteArray("/etc/hostname");
        QTest::newRow("no C_GetFunctionList") << QByteArray("libz.so.1");
    }
    void modulesThatCannotServe()
    {
        QFETCH(QByteArray, module);
        uninit_pkcs11();
        QCOMPARE(init_pkcs11(module.constData()), TM_ERR_UNKNOWN_MODULE);
        int32_t count = TM_MAX_SLOTS;
        uint32_t ids[TM_MAX_SLOTS];
        QCOMPARE(token_find(ids, &count), TM_ERR_NOT_READY);
    }

    void moduleWhoseInitializeFails()
    {
        uninit_pkcs11();
        qputenv("SOFTHSM2_CONF", "/nonexistent/softhsm2.conf");
        QCOMPARE(init_pkcs11(SoftHsmToken::module().constData()), TM_ERR_UNKNOWN_MODULE);
    }

    void secondInitWithTheSameModule()
    {
        QCOMPARE(init_pkcs11(SoftHsmToken::module().constData()), TM_OK);
        QCOMPARE(init_pkcs11("q7sec_pkcs11.dll"), TM_ERR_UNKNOWN_MODULE);
    }

    void tokenInfo()
    {
        const int slot = slotOf("Tok A");
        QVERIFY(slot >= 0);
        char serial[TM_SERIAL_SIZE], label[TM_LABEL_SIZE], man[TM_MANUFACTURER_SIZE], model[TM_MODEL_SIZE];
        int32_t maxPin = 0, minPin = 0, maxSo = 0, minSo = 0, total = 0, freeMem = 0, hw = 0, fw = 0,
                init = 0, finger = 1;
        QCOMPARE(token_get_info_ex(slot, serial, label, man, model, &maxPin, &minPin, &maxSo, &minSo, &total,
                                   &freeMem, &hw, &fw, &init, &finger),
                 TM_OK);
        QCOMPARE(QByteArray(label), QByteArray("Tok A"));
        QCOMPARE(QByteArray(man), QByteArray("SoftHSM project"));
        QVERIFY(QByteArray(model).startsWith("SoftHSM"));
        QVERIFY(std::strlen(serial) > 0);
        QCOMPARE(init, 1);
        QCOMPARE(finger, 0);
        QVERIFY(minPin >= 1 && maxPin >= minPin);
        // Memory a module does not report is unknown, never an empty or a full token.
        QVERIFY(total == TM_MEMORY_UNKNOWN || total > 0);
        QVERIFY(freeMem == TM_MEMORY_UNKNOWN || freeMem > 0);
        // What PKCS#11 has no call for is said beforehand, so the pages can turn it off.
        uint32_t features = 0xFFFFFFFFu;
        QCOMPARE(token_get_features(slot, &features), TM_OK);
        QCOMPARE(features, 0u);
        QCOMPARE(token_get_features(slot, nullptr), TM_ERR_ARGUMENTS);
        QCOMPARE(token_get_features(TM_MAX_SLOTS, &features), TM_ERR_SLOT);
    }

    void loginAndPinState()
    {
        const int slot = slotOf("Tok A");
        int32_t retries = 99;
        QCOMPARE(token_login(slot, "wrong-pin", &retries), TM_ERR_PIN_INCORRECT);
        QCOMPARE(retries, TM_RETRIES_UNKNOWN);
        int32_t v[6];
        QCOMPARE(token_get_pin_state(slot, TM_PIN_USER, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]), TM_OK);
        QCOMPARE(v[0], TM_RETRIES_UNKNOWN);
        QCOMPARE(v[1], TM_RETRIES_UNKNOWN);
        QCOMPARE(v[4], 0);
        QCOMPARE(v[5], 0);
        QCOMPARE(login(slot), TM_OK);
        QCOMPARE(token_get_pin_state(slot, TM_PIN_USER, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]), TM_OK);
        QCOMPARE(v[5], 1);
        QCOMPARE(token_logout(slot), TM_OK);
        QCOMPARE(token_login(slot, "", &retries), TM_ERR_NO_SENSOR);
    }

    void pinChanges()
    {
        const int slot = slotOf("Tok A");
        QCOMPARE(token_change_upin(slot, "wrong-pin", "11112222"), TM_ERR_PIN_INCORRECT);
        QCOMPARE(token_change_upin(slot, UserPin.constData(), "12"), TM_ERR_PIN_LEN_RANGE);
        QCOMPARE(token_change_upin(slot, UserPin.constData(), "11112222"), TM_OK);
        QCOMPARE(login(slot), TM_ERR_PIN_INCORRECT);
        QCOMPARE(login(slot, "11112222"), TM_OK);
        QCOMPARE(token_change_sopin(slot, SoPin.constData(), "99998888"), TM_OK);
        int32_t retries = 0;
        QCOMPARE(token_login_so(slot, "99998888", &retries), TM_OK);
        QCOMPARE(token_set_upin(slot, "99998888", "55556666"), TM_OK);
        QCOMPARE(login(slot, "55556666"), TM_OK);
        QCOMPARE(token_set_upin(slot, SoPin.constData(), "55556666"), TM_ERR_PIN_INCORRECT);
    }

    void notSupported()
    {
        const int slot = slotOf("Tok A");
        char label[TM_LABEL_FIELD_SIZE] = "New label";
        QCOMPARE(token_set_label(slot, label), TM_ERR_NOT_SUPPORTED);
        unsigned char sector[TM_SECTOR_SIZE] = {};
        QCOMPARE(token_write_sectors(slot, 0, 1, sector), TM_ERR_NOT_SUPPORTED);
        unsigned char challenge[TM_CHALLENGE_SIZE];
        QCOMPARE(token_get_challenge(slot, challenge), TM_ERR_NOT_SUPPORTED);
        QCOMPARE(token_remote_unlock_upin(slot, sector, 16), TM_ERR_NOT_SUPPORTED);
    }

    void formatTheFreeSlot()
    {
        const int slot = slotOf("");
        QVERIFY(slot >= 0); // SoftHSM2 always offers one token that is not initialized
        unsigned char record[TM_FORMAT_RECORD_SIZE] = {};
        std::memcpy(record, "Formatted", 9);
        std::memcpy(record + 96, "abcdefgh", 8);
        std::memcpy(record + 128, "24681357", 8);
        record[160] = record[161] = 6;
        record[162] = record[164] = 4;
        record[163] = record[165] = 16;
        QCOMPARE(token_format(slot, record), TM_OK);
        const int formatted = slotOf("Formatted");
        QVERIFY(formatted >= 0);
        QCOMPARE(login(formatted, "24681357"), TM_OK);
        int32_t retries = 0;
        QCOMPARE(token_login_so(formatted, "abcdefgh", &retries), TM_OK);
    }

    void importPkcs12_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("password");
        QTest::addColumn<int>("keySpec");
        QTest::addColumn<int>("keyType");
        QTest::addColumn<int>("keyBits");
        QTest::newRow("RSA, exchange") << "user.p12" << QByteArray(CertFixtures::Password) << 1 << 0 << 2048;
        QTest::newRow("RSA, signature") << "user.p12" << QByteArray(CertFixtures::Password) << 2 << 0 << 2048;
        QTest::newRow("EC, exchange") << "ec.p12" << QByteArray("ec") << 1 << 3 << 256;
        QTest::newRow("EC, signature") << "ec.p12" << QByteArray("ec") << 2 << 3 << 256;
    }
    void importPkcs12()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, password);
        QFETCH(int, keySpec);
        QFETCH(int, keyType);
        QFETCH(int, keyBits);
        const int slot = slotOf("Tok A");
        int32_t count = 0;
        QCOMPARE(
            pkcs12_file_parse(m_files->path(file).toLocal8Bit().constData(), password.constData(), &count),
            TM_OK);
        const int index = file == QLatin1String("ec.p12") ? 0 : endEntityIndex(count);
        QVERIFY(index >= 0);
        QCOMPARE(container_create_new(slot, "my keys"), TM_ERR_NOT_LOGGED_IN);
        QCOMPARE(login(slot), TM_OK);
        QCOMPARE(container_create_new(slot, "my keys"), TM_OK);
        QCOMPARE(containers(slot), QList<QByteArray>{"my keys"});
        QCOMPARE(pkcs12_import_certificate(slot, "my keys", keySpec, index), TM_OK);
        QCOMPARE(pkcs12_import_certificate(slot, "my keys", keySpec, index), TM_ERR_EXISTS);

        // Read back after a fresh login, as the tree does.
        QCOMPARE(token_logout(slot), TM_OK);
        QCOMPARE(login(slot), TM_OK);
        QCOMPARE(token_reload_all_objects(slot), TM_OK);
        QCOMPARE(containers(slot), QList<QByteArray>{"my keys"});
        unsigned char der[16384];
        int32_t len = sizeof(der);
        QCOMPARE(container_get_cert(slot, "my keys", keySpec, der, &len), TM_OK);
        QVERIFY(len > 100);
        len = sizeof(der);
        QCOMPARE(container_get_cert(slot, "my keys", 3 - keySpec, der, &len), TM_ERR_NOT_FOUND);
        int32_t type = -1, bits = 0;
        unsigned char blob[600];
        int32_t blobLen = sizeof(blob);
        QCOMPARE(container_get_pubkey(slot, "my keys", keySpec, &type, &bits, blob, &blobLen), TM_OK);
        QCOMPARE(type, keyType);
        QCOMPARE(bits, keyBits);
        type = -1;
        QCOMPARE(container_get_prikey(slot, "my keys", keySpec, &type, &bits), TM_OK);
        QCOMPARE(type, keyType);

        // The key pair stays without its certificate, until the container goes.
        QCOMPARE(container_delete_cert(slot, "my keys", keySpec), TM_OK);
        QCOMPARE(containers(slot), QList<QByteArray>{"my keys"});
        QCOMPARE(container_get_prikey(slot, "my keys", keySpec, &type, &bits), TM_OK);
        QCOMPARE(container_delete(slot, "my keys"), TM_OK);
        QCOMPARE(containers(slot), QList<QByteArray>());
    }

    void importCertificatesOnly()
    {
        const int slot = slotOf("Tok A");
        QCOMPARE(login(slot), TM_OK);
        QCOMPARE(container_create_new(slot, "x509"), TM_OK);
        QCOMPARE(
            x509_import_certificate(slot, "x509", 1, m_files->path(QStringLiteral("user.der")).toLocal8Bit()),
            TM_OK);
        int32_t count = 0;
        QCOMPARE(p7b_file_parse(m_files->path(QStringLiteral("chain.p7b")).toLocal8Bit().constData(), &count),
                 TM_OK);
        QVERIFY(count >= 2);
        QCOMPARE(container_create_new(slot, "root"), TM_OK);
        QCOMPARE(p7b_import_certificate(slot, "root", 1, 0), TM_OK);
        QList<QByteArray> names = containers(slot);
        std::sort(names.begin(), names.end());
        QCOMPARE(names, (QList<QByteArray>{"root", "x509"}));
        int32_t type = -1;
        QCOMPARE(container_get_prikey(slot, "x509", 1, &type, &type), TM_ERR_NOT_FOUND);
        QCOMPARE(container_delete(slot, "x509"), TM_OK);
        QCOMPARE(containers(slot), QList<QByteArray>{"root"});
    }

    // Another PKCS#11 program sees the imported key pair under the container's ID and name, and its
    // signature with the key verifies against the certificate.
    void crossCheckWithPkcs11Tool()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pkcs11-tool")).isEmpty())
            QSKIP("pkcs11-tool is not installed (package opensc)");
        const int slot = slotOf("Tok A");
        int32_t count = 0;
        QCOMPARE(pkcs12_file_parse(m_files->path(QStringLiteral("user.p12")).toLocal8Bit().constData(),
                                   CertFixtures::Password, &count),
                 TM_OK);
        QCOMPARE(login(slot), TM_OK);
        QCOMPARE(container_create_new(slot, "signing"), TM_OK);
        QCOMPARE(pkcs12_import_certificate(slot, "signing", TM_KEYSPEC_SIGNATURE, endEntityIndex(count)),
                 TM_OK);

        const QString module = QString::fromLocal8Bit(SoftHsmToken::module());
        const QStringList common = {QStringLiteral("--module"),      module,
                                    QStringLiteral("--token-label"), QStringLiteral("Tok A"),
                                    QStringLiteral("--login"),       QStringLiteral("--pin"),
                                    QString::fromLatin1(UserPin)};
        QByteArray listing;
        QVERIFY(SoftHsmToken::run(QStringLiteral("pkcs11-tool"), common + QStringList{QStringLiteral("-O")},
                                  &listing));
        QCOMPARE(listing.count("label:      signing"), 3); // certificate, private and public key
        const QByteArray der = m_files->der(QStringLiteral("user.pem"));
        CertInfo info;
        QVERIFY(CertInfo::fromDer(der, &info));
        const QByteArray id = QCryptographicHash::hash(info.rawPublicKey, QCryptographicHash::Sha1).toHex();
        QCOMPARE(listing.count("ID:         " + id), 3);

        const QString data = m_files->path(QStringLiteral("data.bin"));
        const QString sig = m_files->path(QStringLiteral("data.sig"));
        const QString pub = m_files->path(QStringLiteral("user.pub"));
        QFile f(data);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("signed by the token");
        f.close();
        QVERIFY(
            SoftHsmToken::run(QStringLiteral("pkcs11-tool"),
                              common + QStringList{QStringLiteral("--sign"), QStringLiteral("--mechanism"),
                                                   QStringLiteral("SHA256-RSA-PKCS"), QStringLiteral("--id"),
                                                   QString::fromLatin1(id), QStringLiteral("-i"), data,
                                                   QStringLiteral("-o"), sig}));
        QVERIFY(SoftHsmToken::run(QStringLiteral("openssl"),
                                  {QStringLiteral("x509"), QStringLiteral("-in"),
                                   m_files->path(QStringLiteral("user.pem")), QStringLiteral("-pubkey"),
                                   QStringLiteral("-noout"), QStringLiteral("-out"), pub}));
        QVERIFY(SoftHsmToken::run(QStringLiteral("openssl"),
                                  {QStringLiteral("dgst"), QStringLiteral("-sha256"),
                                   QStringLiteral("-verify"), pub, QStringLiteral("-signature"), sig, data}));
    }

    // Certificates written by another program: two under one ID, one with neither ID nor label, none
    // with a key. They show as containers without costing a crash or a lost certificate.
    void objectsWrittenByOtherPrograms()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pkcs11-tool")).isEmpty())
            QSKIP("pkcs11-tool is not installed (package opensc)");
        const QString root = m_files->path(QStringLiteral("root.der"));
        QFile f(root);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(m_files->der(QStringLiteral("root.pem")));
        f.close();
        const QStringList common = {
            QStringLiteral("--module"),      QString::fromLocal8Bit(SoftHsmToken::module()),
            QStringLiteral("--token-label"), QStringLiteral("Tok A"),
            QStringLiteral("--login"),       QStringLiteral("--pin"),
            QString::fromLatin1(UserPin),    QStringLiteral("--type"),
            QStringLiteral("cert"),          QStringLiteral("--write-object")};
        QVERIFY(
            SoftHsmToken::run(QStringLiteral("pkcs11-tool"),
                              common + QStringList{m_files->path(QStringLiteral("user.der")),
                                                   QStringLiteral("--id"), QStringLiteral("0102"),
                                                   QStringLiteral("--label"), QStringLiteral("external")}));
        QVERIFY(
            SoftHsmToken::run(QStringLiteral("pkcs11-tool"),
                              common + QStringList{root, QStringLiteral("--id"), QStringLiteral("0102")}));
        QVERIFY(SoftHsmToken::run(QStringLiteral("pkcs11-tool"), common + QStringList{root}));

        const int slot = slotOf("Tok A");
        QCOMPARE(login(slot), TM_OK);
        const QList<QByteArray> names = containers(slot);
        QCOMPARE(names.size(), 2);
        QVERIFY(names.contains("external"));
        for (const QByteArray& name : names) {
            unsigned char der[16384];
            int32_t len = sizeof(der);
            QCOMPARE(container_get_cert(slot, name.constData(), TM_KEYSPEC_EXCHANGE, der, &len), TM_OK);
            int32_t type = -1;
            QCOMPARE(container_get_prikey(slot, name.constData(), TM_KEYSPEC_EXCHANGE, &type, &type),
                     TM_ERR_NOT_FOUND);
        }
    }

    // A key pair imported by softhsm2-util under a 300-byte ID is one container, and a certificate
    // imported into it joins it under that ID, as pkcs11-tool then lists it.
    void longIdFromOtherPrograms()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pkcs11-tool")).isEmpty())
            QSKIP("pkcs11-tool is not installed (package opensc)");
        const QString id = QString::fromLatin1(QByteArray(300, '\x5A').toHex());
        QVERIFY(SoftHsmToken::run(
            QStringLiteral("softhsm2-util"),
            {QStringLiteral("--import"), m_files->path(QStringLiteral("user.key")), QStringLiteral("--token"),
             QStringLiteral("Tok A"), QStringLiteral("--pin"), QString::fromLatin1(UserPin),
             QStringLiteral("--id"), id, QStringLiteral("--label"), QStringLiteral("long id")}));
        const int slot = slotOf("Tok A");
        QCOMPARE(login(slot), TM_OK);
        QCOMPARE(containers(slot), QList<QByteArray>{"long id"});
        int32_t type = -1, bits = -1;
        const int keySpec =
            container_get_prikey(slot, "long id", TM_KEYSPEC_EXCHANGE, &type, &bits) == TM_OK ? 1 : 2;
        QCOMPARE(container_get_prikey(slot, "long id", keySpec, &type, &bits), TM_OK);
        QCOMPARE(bits, 2048);
        QCOMPARE(x509_import_certificate(slot, "long id", keySpec,
                                         m_files->path(QStringLiteral("user.der")).toLocal8Bit()),
                 TM_OK);
        QCOMPARE(token_reload_all_objects(slot), TM_OK);
        QCOMPARE(containers(slot), QList<QByteArray>{"long id"});
        unsigned char der[16384];
        int32_t len = sizeof(der);
        QCOMPARE(container_get_cert(slot, "long id", keySpec, der, &len), TM_OK);
        QByteArray listing;
        QVERIFY(SoftHsmToken::run(QStringLiteral("pkcs11-tool"),
                                  {QStringLiteral("--module"), QString::fromLocal8Bit(SoftHsmToken::module()),
                                   QStringLiteral("--token-label"), QStringLiteral("Tok A"),
                                   QStringLiteral("--login"), QStringLiteral("--pin"),
                                   QString::fromLatin1(UserPin), QStringLiteral("--list-objects")},
                                  &listing));
        QCOMPARE(listing.count(id.toLatin1()), 3); // private key, public key and certificate
    }

    void importNeedsLogin()
    {
        const int slot = slotOf("Tok A");
        QCOMPARE(
            x509_import_certificate(slot, "x", 1, m_files->path(QStringLiteral("user.der")).toLocal8Bit()),
            TM_ERR_NOT_LOGGED_IN);
    }
};

QTEST_GUILESS_MAIN(TstTokenMgrPkcs11)
#include "tst_tokenmgr_pkcs11.moc"
