// SPDX-License-Identifier: BSD-3-Clause
#include "TestEnv.h"
#include "TokenFixture.h"

#include "i18n/ResStrs.h"
#include "token/CerMgrApis.h"

#include <QFile>
#include <QProcess>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>

using namespace CerMgrApis;

using Call = std::function<quint32()>;
Q_DECLARE_METATYPE(Call)

// The token service layer over the real token manager library and virtual tokens.
class tst_CerMgrApis : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void moduleNameFromCatalog_data();
    void moduleNameFromCatalog();
    void findAndConnect_data();
    void findAndConnect();
    void connectFailureDoesNotStopEnumeration_data();
    void connectFailureDoesNotStopEnumeration();
    void readTokenInfo_data();
    void readTokenInfo();
    void readTokenInfoFailureKeepsRecord();
    void loadContainerNames_data();
    void loadContainerNames();
    void loadContainerNamesFailureKeepsRecord();
    void readCertificateInfo_data();
    void readCertificateInfo();
    void missingPublicKeyKeepsKeyFields();
    void largeRsaKeyIsFound();
    void certificateSizes_data();
    void certificateSizes();
    void setTokenLabel_data();
    void setTokenLabel();
    void readPinState_data();
    void readPinState();
    void narrowTextRoundTrips();
    void argumentGuards_data();
    void argumentGuards();
    void remoteUnlock();
    void formatToken();

private:
    // Starts the library on the environment's store and connects every token; returns the count.
    qint32 connectAll();

    std::unique_ptr<TestEnv> m_env;
};

void tst_CerMgrApis::init()
{
    m_env = std::make_unique<TestEnv>(false);
}

void tst_CerMgrApis::cleanup()
{
    FreeTokenLibrary();
    ResStrs::resetToDefaults();
    m_env.reset();
}

qint32 tst_CerMgrApis::connectAll()
{
    if (InitTokenLibrary(QStringLiteral("q7sec_pkcs11.dll")) != TokenStatus::Success)
        return -1;
    qint32 count = -1;
    FindAndConnectTokens(count);
    return count;
}

void tst_CerMgrApis::moduleNameFromCatalog_data()
{
    QTest::addColumn<QByteArray>("languageFile");
    QTest::addColumn<bool>("started");

    QTest::newRow("built-in name") << QByteArray() << true;
    QTest::newRow("language file keeps the name")
        << QByteArray("[Caption]\nPKCS11Name=q7sec_pkcs11.dll\n") << true;
    QTest::newRow("language file names another module")
        << QByteArray("[Caption]\nPKCS11Name=nonexistent-pkcs11.so\n") << false;
}

void tst_CerMgrApis::moduleNameFromCatalog()
{
    QFETCH(QByteArray, languageFile);
    QFETCH(bool, started);

    QVERIFY(TokenFixture::store(TokenFixture::token(0)));
    if (!languageFile.isEmpty()) {
        QFile file(m_env->path(QStringLiteral("test.lng")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(languageFile);
        file.close();
        ResStrs::load(file.fileName());
    }
    QCOMPARE(InitTokenLibrary(ResStrs::text("PKCS11Name")) == TokenStatus::Success, started);
    qint32 count = 0;
    QCOMPARE(FindAndConnectTokens(count), started ? TokenStatus::Success : TokenStatus::NoToken);
    QCOMPARE(count, started ? 1 : 0);
}

void tst_CerMgrApis::findAndConnect_data()
{
    QTest::addColumn<bool>("started");
    QTest::addColumn<int>("plugged");
    QTest::addColumn<int>("unplugged");
    QTest::addColumn<quint32>("status");
    QTest::addColumn<int>("count");

    QTest::newRow("no token") << true << 0 << 0 << TokenStatus::NoToken << 0;
    QTest::newRow("only a pulled-out token") << true << 0 << 1 << TokenStatus::NoToken << 0;
    QTest::newRow("library not started") << false << 2 << 0 << TokenStatus::NoToken << 0;
    QTest::newRow("one") << true << 1 << 0 << TokenStatus::Success << 1;
    QTest::newRow("three and a pulled-out one") << true << 3 << 1 << TokenStatus::Success << 3;
    QTest::newRow("more than the slot table") << true << 33 << 0 << TokenStatus::Success << 32;
}

void tst_CerMgrApis::findAndConnect()
{
    QFETCH(bool, started);
    QFETCH(int, plugged);
    QFETCH(int, unplugged);
    QFETCH(quint32, status);
    QFETCH(int, count);

    for (int i = 0; i < plugged + unplugged; ++i) {
        VToken t = TokenFixture::token(i);
        t.pluggedIn = i < plugged;
        QVERIFY(TokenFixture::store(t));
    }
    if (started)
        QCOMPARE(InitTokenLibrary(QStringLiteral("q7sec_pkcs11.dll")), TokenStatus::Success);
    qint32 found = 99;
    QCOMPARE(FindAndConnectTokens(found), status);
    QCOMPARE(found, count);
    // Every connected slot answers, the last one included.
    TQ7Info info;
    for (int slot = 0; slot < count; ++slot) {
        QCOMPARE(ReadTokenInfo(slot, info), TokenStatus::Success);
        QCOMPARE(info.SerialNumber, TokenFixture::serial(slot));
    }
}

void tst_CerMgrApis::connectFailureDoesNotStopEnumeration_data()
{
    QTest::addColumn<int>("failing");
    QTest::addColumn<quint32>("status");

    const quint32 fault = 0x0A000001;
    QTest::newRow("first fails") << 0 << TokenStatus::Success;
    QTest::newRow("middle fails") << 1 << TokenStatus::Success;
    QTest::newRow("last fails") << 2 << fault;
}

void tst_CerMgrApis::connectFailureDoesNotStopEnumeration()
{
    QFETCH(int, failing);
    QFETCH(quint32, status);

    for (int i = 0; i < 3; ++i) {
        VToken t = TokenFixture::token(i);
        if (i == failing) {
            VToken::Fault f;
            f.function = QStringLiteral("token_connect");
            f.status = 0x0A000001;
            t.faults.append(f);
        }
        QVERIFY(TokenFixture::store(t));
    }
    QCOMPARE(InitTokenLibrary(QStringLiteral("q7sec_pkcs11.dll")), TokenStatus::Success);
    qint32 count = 0;
    QCOMPARE(FindAndConnectTokens(count), status);
    QCOMPARE(count, 3);
    TQ7Info info;
    QCOMPARE(ReadTokenInfo(2, info), TokenStatus::Success);
}

void tst_CerMgrApis::readTokenInfo_data()
{
    QTest::addColumn<QByteArray>("label");
    QTest::addColumn<QString>("expected");

    QTest::newRow("ascii") << QByteArray("QX4100 Key") << QStringLiteral("QX4100 Key");
    QTest::newRow("chinese") << QStringLiteral("我的证书钥匙").toUtf8() << QStringLiteral("我的证书钥匙");
    // 42 three-byte characters and two more bytes fill the 128 bytes the library allows.
    const QString full = QString(42, QChar(0x5BC6)) + QStringLiteral("ab");
    QTest::newRow("label filling its field") << full.toUtf8() << full;
}

void tst_CerMgrApis::readTokenInfo()
{
    QFETCH(QByteArray, label);
    QFETCH(QString, expected);

    VToken t = TokenFixture::token(0);
    t.label = label;
    t.manufacturer = "Vostrel Ltd";
    t.model = "QX4100-F";
    t.totalMemory = 256 * 1024;
    t.hardwareVersion = 0x0102;
    t.firmwareVersion = 0x010A;
    t.initialized = false;
    t.fingerSupport = true;
    QVERIFY(TokenFixture::store(t));
    QCOMPARE(connectAll(), 1);

    TQ7Info info;
    info.ContainerNames = QStringList{QStringLiteral("kept")};
    info.ContainerCount = 1;
    QCOMPARE(ReadTokenInfo(0, info), TokenStatus::Success);
    QCOMPARE(info.Label, expected);
    QCOMPARE(info.SerialNumber, TokenFixture::serial(0));
    QCOMPARE(info.Manufacturer, QStringLiteral("Vostrel Ltd"));
    QCOMPARE(info.Model, QStringLiteral("QX4100-F"));
    QCOMPARE(info.TotalMemory, 256 * 1024);
    QCOMPARE(info.FreeMemory, qint32(t.freeMemory()));
    QCOMPARE(info.MinPinLen, t.userPin.minLength);
    QCOMPARE(info.MaxPinLen, t.userPin.maxLength);
    QCOMPARE(info.MinSoPinLen, t.soPin.minLength);
    QCOMPARE(info.HardwareVersion, 258);
    QCOMPARE(info.FirmwareVersion, 266);
    QCOMPARE(info.Initialized, 0);
    QVERIFY(info.FingerSupport > 0);
    // The container list belongs to LoadContainerNames.
    QCOMPARE(info.ContainerNames, QStringList{QStringLiteral("kept")});
    QCOMPARE(info.ContainerCount, 1);
}

void tst_CerMgrApis::readTokenInfoFailureKeepsRecord()
{
    QVERIFY(TokenFixture::store(TokenFixture::token(0)));
    QCOMPARE(connectAll(), 1);
    TQ7Info info;
    info.Label = QStringLiteral("earlier");
    info.FreeMemory = 1234;
    QVERIFY(ReadTokenInfo(1, info) != TokenStatus::Success);
    QCOMPARE(info.Label, QStringLiteral("earlier"));
    QCOMPARE(info.FreeMemory, 1234);
}

void tst_CerMgrApis::loadContainerNames_data()
{
    QTest::addColumn<QList<QByteArray>>("stored");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("no containers") << QList<QByteArray>() << QStringList();
    QTest::newRow("names kept as stored")
        << QList<QByteArray>{"my key", "a*b", "* *", QStringLiteral("容器 一").toUtf8()}
        << QStringList{"my key", "a*b", "* *", QStringLiteral("容器 一")};

    QList<QByteArray> seventy;
    QStringList first65;
    for (int i = 0; i < 70; ++i) {
        seventy.append("c" + QByteArray::number(i));
        if (i < TQ7Info::MaxContainerNames)
            first65.append(QString::fromLatin1(seventy.last()));
    }
    QTest::newRow("more than 65") << seventy << first65;

    // 66 names of 128 bytes: even the first 65 need more than the 8192-byte list buffer.
    QList<QByteArray> longNames;
    QStringList firstLong;
    for (int i = 0; i < 66; ++i) {
        longNames.append(QByteArray::number(i).rightJustified(128, 'n'));
        if (i < TQ7Info::MaxContainerNames)
            firstLong.append(QString::fromLatin1(longNames.last()));
    }
    QTest::newRow("list beyond 8192 bytes") << longNames << firstLong;
}

void tst_CerMgrApis::loadContainerNames()
{
    QFETCH(QList<QByteArray>, stored);
    QFETCH(QStringList, names);

    VToken t = TokenFixture::token(0);
    for (const QByteArray& n : stored)
        t.containers.append(TokenFixture::container(n));
    QVERIFY(TokenFixture::store(t));
    QCOMPARE(connectAll(), 1);

    TQ7Info info;
    info.ContainerNames = QStringList{QStringLiteral("stale")};
    info.ContainerCount = 1;
    QCOMPARE(LoadContainerNames(0, info), TokenStatus::Success);
    QCOMPARE(info.ContainerNames, names);
    QCOMPARE(info.ContainerCount, names.size());
}

void tst_CerMgrApis::loadContainerNamesFailureKeepsRecord()
{
    VToken t = TokenFixture::token(0);
    t.containers.append(TokenFixture::container("now"));
    VToken::Fault f;
    f.function = QStringLiteral("container_load_all");
    f.status = 0x0A000001;
    t.faults.append(f);
    QVERIFY(TokenFixture::store(t));
    QCOMPARE(connectAll(), 1);

    TQ7Info info;
    info.ContainerNames = QStringList{QStringLiteral("before")};
    info.ContainerCount = 1;
    QCOMPARE(LoadContainerNames(0, info), quint32(0x0A000001));
    QCOMPARE(info.ContainerNames, QStringList{QStringLiteral("before")});
    QCOMPARE(info.ContainerCount, 1);
}

void tst_CerMgrApis::readCertificateInfo_data()
{
    QTest::addColumn<QString>("cert");
    QTest::addColumn<KeySpec>("keySpec");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("issuer");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("keyType");
    QTest::addColumn<int>("keyBits");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");

    QTest::newRow("root, RSA 2048") << "root" << KeySpec::Exchange << "QX Test Root"
                                    << "QX Test Root" << int(CertKind::Root) << int(KeyType::Rsa) << 2048
                                    << "2019-03-05"
                                    << "2039-03-05";
    // A 3072-bit modulus does not fit the usual 256-byte key scratch buffer.
    QTest::newRow("CA, RSA 3072") << "ca" << KeySpec::Signature << "QX Test CA"
                                  << "QX Test Root" << int(CertKind::Ca) << int(KeyType::Rsa) << 3072
                                  << "2020-01-31"
                                  << "2035-12-01";
    QTest::newRow("end entity, EC, chinese subject")
        << "user" << KeySpec::Signature << QStringLiteral("张三") << "QX Test CA" << int(CertKind::EndEntity)
        << int(KeyType::Ecc) << 256 << "2021-11-09"
        << "2026-11-09";
}

void tst_CerMgrApis::readCertificateInfo()
{
    QFETCH(QString, cert);
    QFETCH(KeySpec, keySpec);
    QFETCH(QString, subject);
    QFETCH(QString, issuer);
    QFETCH(int, kind);
    QFETCH(int, keyType);
    QFETCH(int, keyBits);
    QFETCH(QString, from);
    QFETCH(QString, to);

    VToken t = TokenFixture::token(0);
    VToken::Container c = TokenFixture::container("box");
    *c.half(int(keySpec)) = TokenFixture::half(cert);
    t.containers.append(c);
    QVERIFY(TokenFixture::store(t));
    QCOMPARE(connectAll(), 1);

    TQ7CertInfo info;
    QCOMPARE(ReadCertificateInfo(0, QStringLiteral("box"), keySpec, info), TokenStatus::Success);
    QCOMPARE(info.certificate(), TokenFixture::certificate(cert));
    QVERIFY2(info.Subject.contains(subject), qPrintable(info.Subject));
    QVERIFY2(info.Issuer.contains(issuer), qPrintable(info.Issuer));
    QVERIFY(!info.SerialNumber.isEmpty());
    QCOMPARE(info.Kind, kind);
    QCOMPARE(info.KeyType, keyType);
    QCOMPARE(info.KeyBits, keyBits);
    QCOMPARE(info.ValidFromText, from);
    QCOMPARE(info.ValidToText, to);
    QCOMPARE(QStringLiteral("%1-%2-%3")
                 .arg(info.ValidFrom[0], 4, 10, QLatin1Char('0'))
                 .arg(info.ValidFrom[1], 2, 10, QLatin1Char('0'))
                 .arg(info.ValidFrom[2], 2, 10, QLatin1Char('0')),
             from);
    QCOMPARE(info.ValidTo[0], to.left(4).toInt());

    qint32 type = -1;
    QCOMPARE(ReadPublicKeyType(0, QStringLiteral("box"), keySpec, type), TokenStatus::Success);
    QCOMPARE(type, keyType);
    type = -1;
    QCOMPARE(ReadPrivateKeyType(0, QStringLiteral("box"), keySpec, type), TokenStatus::Success);
    QCOMPARE(type, keyType);
    // The other half of the container is empty.
    const KeySpec other = keySpec == KeySpec::Exchange ? KeySpec::Signature : KeySpec::Exchange;
    QVERIFY(ReadCertificateInfo(0, QStringLiteral("box"), other, info) != TokenStatus::Success);
    QVERIFY(ReadPublicKeyType(0, QStringLiteral("box"), other, type) != TokenStatus::Success);
    QCOMPARE(info.KeyBits, keyBits);
}

// A 4096-bit RSA key's value (512 bytes) does not fit the usual scratch buffer; it must still count
// as present, or the tree would lose its public-key node.
void tst_CerMgrApis::largeRsaKeyIsFound()
{
    QProcess gen;
    gen.start(
        QStringLiteral("sh"),
        {QStringLiteral("-c"), QStringLiteral("openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:4096 "
                                              "2>/dev/null | openssl pkey -pubout -outform DER")});
    QVERIFY(gen.waitForFinished(60000));
    const QByteArray spki = gen.readAllStandardOutput();
    QVERIFY2(spki.size() > 512, "openssl made no key");

    VToken t = TokenFixture::token(0);
    VToken::Container c = TokenFixture::container("big");
    c.exchange.publicKey = spki;
    c.exchange.privateKey = "private key of big";
    c.exchange.keyType = 0;
    c.exchange.keyBits = 4096;
    t.containers.append(c);
    QVERIFY(TokenFixture::store(t));
    QCOMPARE(connectAll(), 1);
    qint32 type = -1;
    QCOMPARE(ReadPublicKeyType(0, QStringLiteral("big"), KeySpec::Exchange, type), TokenStatus::Success);
    QCOMPARE(type, 0);
}

void tst_CerMgrApis::missingPublicKeyKeepsKeyFields()
{
    VToken t = TokenFixture::token(0);
    VToken::Container c = TokenFixture::container("no key");
    c.signature.certificate = TokenFixture::certificate(QStringLiteral("root"));
    t.containers.append(c);
    QVERIFY(TokenFixture::store(t));
    QCOMPARE(connectAll(), 1);

    TQ7CertInfo info;
    info.KeyType = int(KeyType::Ecc);
    info.KeyBits = 384;
    QCOMPARE(ReadCertificateInfo(0, QStringLiteral("no key"), KeySpec::Signature, info),
             TokenStatus::Success);
    QVERIFY(info.Subject.contains(QStringLiteral("QX Test Root")));
    QCOMPARE(info.KeyType, int(KeyType::Ecc));
    QCOMPARE(info.KeyBits, 384);
}

void tst_CerMgrApis::certificateSizes_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<quint32>("status");

    QTest::newRow("exactly the buffer") << TQ7CertInfo::CertCapacity << TokenStatus::Success;
    QTest::newRow("one byte more") << TQ7CertInfo::CertCapacity + 1 << TokenStatus::TooLong;
    QTest::newRow("100 kB") << 100 * 1024 << TokenStatus::TooLong;
}

void tst_CerMgrApis::certificateSizes()
{
    QFETCH(int, size);
    QFETCH(quint32, status);

    VToken t = TokenFixture::token(0);
    t.totalMemory = 1024 * 1024;
    VToken::Container good = TokenFixture::container("good");
    good.signature = TokenFixture::half(QStringLiteral("root"));
    VToken::Container big = TokenFixture::container("big");
    big.signature.certificate = QByteArray(size, '\x5A');
    t.containers << good << big;
    QVERIFY(TokenFixture::store(t));
    QCOMPARE(connectAll(), 1);

    QByteArray cert("earlier");
    QCOMPARE(ReadCertificate(0, QStringLiteral("big"), KeySpec::Signature, cert), status);
    QCOMPARE(cert, status == TokenStatus::Success ? QByteArray(size, '\x5A') : QByteArray("earlier"));

    // A refused certificate leaves the record as the last good read filled it.
    TQ7CertInfo info;
    QCOMPARE(ReadCertificateInfo(0, QStringLiteral("good"), KeySpec::Signature, info), TokenStatus::Success);
    const QString subject = info.Subject;
    QVERIFY(ReadCertificateInfo(0, QStringLiteral("big"), KeySpec::Signature, info) != TokenStatus::Success);
    QCOMPARE(info.certificate(), TokenFixture::certificate(QStringLiteral("root")));
    QCOMPARE(info.Subject, subject);
}

void tst_CerMgrApis::setTokenLabel_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<quint32>("status");
    QTest::addColumn<QString>("after");

    QTest::newRow("ascii") << "New Key" << TokenStatus::Success << "New Key";
    QTest::newRow("empty") << "" << TokenStatus::Success << "";
    QTest::newRow("63 bytes of chinese")
        << QString(21, QChar(0x94A5)) << TokenStatus::Success << QString(21, QChar(0x94A5));
    QTest::newRow("63 ascii bytes") << QString(63, QLatin1Char('k')) << TokenStatus::Success
                                    << QString(63, QLatin1Char('k'));
    QTest::newRow("64 ascii bytes") << QString(64, QLatin1Char('k')) << TokenStatus::TooLong << "QX4100";
    QTest::newRow("66 bytes of chinese") << QString(22, QChar(0x94A5)) << TokenStatus::TooLong << "QX4100";
    QTest::newRow("300 bytes") << QString(300, QLatin1Char('k')) << TokenStatus::TooLong << "QX4100";
}

void tst_CerMgrApis::setTokenLabel()
{
    QFETCH(QString, label);
    QFETCH(quint32, status);
    QFETCH(QString, after);

    VToken t = TokenFixture::token(0);
    t.label = "QX4100";
    QVERIFY(TokenFixture::store(t));
    QCOMPARE(connectAll(), 1);

    QCOMPARE(SetTokenLabel(0, label), status);
    TQ7Info info;
    QCOMPARE(ReadTokenInfo(0, info), TokenStatus::Success);
    QCOMPARE(info.Label, after);
}

void tst_CerMgrApis::readPinState_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<PinType>("type");
    QTest::addColumn<int>("triesLeft");
    QTest::addColumn<int>("retries");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("locked");

    QTest::newRow("user PIN after failures") << 0 << PinType::User << 7 << 7 << 10 << 0;
    QTest::newRow("locked SO PIN") << 0 << PinType::So << 0 << 0 << 10 << 1;
    QTest::newRow("no such slot reads as zero") << 1 << PinType::User << 7 << 0 << 0 << 0;
}

void tst_CerMgrApis::readPinState()
{
    QFETCH(int, slot);
    QFETCH(PinType, type);
    QFETCH(int, triesLeft);
    QFETCH(int, retries);
    QFETCH(int, maximum);
    QFETCH(int, locked);

    VToken t = TokenFixture::token(0);
    (type == PinType::User ? t.userPin : t.soPin).triesLeft = triesLeft;
    QVERIFY(TokenFixture::store(t));
    QCOMPARE(connectAll(), 1);

    TPinState state{5, 5, 5, 5, 5, 5};
    ReadPinState(slot, type, state);
    QCOMPARE(state.RetriesLeft, retries);
    QCOMPARE(state.MaxRetries, maximum);
    QCOMPARE(state.Locked, locked);
    if (maximum == 0)
        QCOMPARE(state.LoggedIn + state.MinLength + state.MaxLength, 0);
}

void tst_CerMgrApis::narrowTextRoundTrips()
{
    QVERIFY(TokenFixture::store(TokenFixture::token(0)));
    QCOMPARE(connectAll(), 1);

    // A PIN outside ASCII reaches the library the same way each time.
    const QString pin = QStringLiteral("口令1234");
    qint32 retries = -1;
    QCOMPARE(LoginUser(0, QString::fromLatin1(TokenFixture::UserPin), retries), TokenStatus::Success);
    QCOMPARE(ChangeUserPin(0, QString::fromLatin1(TokenFixture::UserPin), pin), TokenStatus::Success);
    QCOMPARE(LogoutToken(0), TokenStatus::Success);
    QVERIFY(LoginUser(0, QStringLiteral("口令1235"), retries) != TokenStatus::Success);
    QCOMPARE(retries, 9);
    QCOMPARE(LoginUser(0, pin, retries), TokenStatus::Success);

    // Container names and file paths outside ASCII, with spaces and asterisks.
    const QString name = QStringLiteral("我的 容器*1");
    const QString path = m_env->path(QStringLiteral("证书 文件.cer"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(TokenFixture::certificate(QStringLiteral("user")));
    file.close();
    QCOMPARE(CreateContainer(0, name), TokenStatus::Success);
    QCOMPARE(ImportX509Certificate(0, name, KeySpec::Signature, path), TokenStatus::Success);
    TQ7Info info;
    QCOMPARE(LoadContainerNames(0, info), TokenStatus::Success);
    QCOMPARE(info.ContainerNames, QStringList{name});
    TQ7CertInfo cert;
    QCOMPARE(ReadCertificateInfo(0, info.ContainerNames.first(), KeySpec::Signature, cert),
             TokenStatus::Success);
    QVERIFY(cert.Subject.contains(QStringLiteral("张三")));
    QCOMPARE(DeleteCertificate(0, name, KeySpec::Signature), TokenStatus::Success);
    QCOMPARE(DeleteContainer(0, name), TokenStatus::Success);
    QCOMPARE(LoadContainerNames(0, info), TokenStatus::Success);
    QCOMPARE(info.ContainerCount, 0);

    // A PKCS#12 password outside ASCII; the file holds a self-signed certificate and the test CA.
    const QString p12 = QStringLiteral(QX_TOKEN_TEST_DATA "/user.p12");
    qint32 count = 0;
    QVERIFY(ParsePkcs12File(p12, QStringLiteral("口令124"), count) != TokenStatus::Success);
    QCOMPARE(ParsePkcs12File(p12, QStringLiteral("口令123"), count), TokenStatus::Success);
    QCOMPARE(count, 2);
    QList<qint32> kinds;
    for (int i = 0; i < count; ++i) {
        qint32 kind = -1;
        QCOMPARE(GetPkcs12CertInfo(i, kind), TokenStatus::Success);
        kinds.append(kind);
    }
    std::sort(kinds.begin(), kinds.end());
    QCOMPARE(kinds, (QList<qint32>{int(CertKind::Root), int(CertKind::Ca)}));
}

void tst_CerMgrApis::argumentGuards_data()
{
    QTest::addColumn<Call>("call");
    QTest::addColumn<quint32>("status");

    const QByteArray sectors(2 * SectorSize, '\x11');
    QTest::newRow("sectors filling the data")
        << Call([=] { return WriteSectors(0, 0, 2, sectors); }) << TokenStatus::Success;
    QTest::newRow("more sectors than the data holds")
        << Call([=] { return WriteSectors(0, 0, 3, sectors); }) << TokenStatus::BadArgument;
    QTest::newRow("negative sector count")
        << Call([=] { return WriteSectors(0, 0, -1, sectors); }) << TokenStatus::BadArgument;
    QTest::newRow("response longer than its bytes")
        << Call([] { return RemoteUnlockUserPin(0, QByteArray(64, '\0'), 65); }) << TokenStatus::BadArgument;
    QTest::newRow("negative response length")
        << Call([] { return RemoteUnlockUserPin(0, QByteArray(64, '\0'), -1); }) << TokenStatus::BadArgument;
    QTest::newRow("format record too long")
        << Call([] { return FormatToken(0, QByteArray(FormatRecordSize + 1, 'x')); })
        << TokenStatus::BadArgument;
    // The unlock response takes a serial of at most 32 bytes and an 8-byte challenge.
    const auto generate = [](const QString& serial, qsizetype challengeBytes) {
        return Call([=] {
            QByteArray response;
            return GenUnlockResponse(serial, QByteArray(challengeBytes, '\x5A'), response);
        });
    };
    QTest::newRow("unlock response, 32-byte serial reaches the library")
        << generate(QString(32, QLatin1Char('Q')), ChallengeBytes) << TokenStatus::NotFound;
    QTest::newRow("unlock response, 33-byte serial")
        << generate(QString(33, QLatin1Char('Q')), ChallengeBytes) << TokenStatus::BadArgument;
    QTest::newRow("unlock response, no serial")
        << generate(QString(), ChallengeBytes) << TokenStatus::BadArgument;
    QTest::newRow("unlock response, serial with a NUL")
        << generate(QStringLiteral("QXTEST00") + QChar(0) + QStringLiteral("00000000"), ChallengeBytes)
        << TokenStatus::BadArgument;
    QTest::newRow("unlock response, 7-byte challenge")
        << generate(TokenFixture::token(0).serial, ChallengeBytes - 1) << TokenStatus::BadArgument;
}

void tst_CerMgrApis::argumentGuards()
{
    QFETCH(Call, call);
    QFETCH(quint32, status);

    VToken t = TokenFixture::token(0);
    t.cdromSectors = 8;
    t.label = "unchanged";
    QVERIFY(TokenFixture::store(t));
    QCOMPARE(connectAll(), 1);
    qint32 retries = 0;
    QCOMPARE(LoginUser(0, QString::fromLatin1(TokenFixture::UserPin), retries), TokenStatus::Success);

    QCOMPARE(call(), status);
    TQ7Info info;
    QCOMPARE(ReadTokenInfo(0, info), TokenStatus::Success);
    QCOMPARE(info.Label, QStringLiteral("unchanged"));
}

void tst_CerMgrApis::remoteUnlock()
{
    VToken t = TokenFixture::token(0);
    t.userPin.triesLeft = 0;
    QVERIFY(TokenFixture::store(t));
    QCOMPARE(connectAll(), 1);

    QByteArray challenge;
    QCOMPARE(GetChallenge(0, challenge), TokenStatus::Success);
    QCOMPARE(challenge.size(), ChallengeBufferSize);
    const QByteArray code = challenge.left(VToken::ChallengeBytes);
    QByteArray response = VToken::unlockResponse(t.unlockKey, code);
    // The administrator's side computes the same through the library.
    QByteArray generated;
    QCOMPARE(GenUnlockResponse(t.serial, code, generated), TokenStatus::Success);
    QCOMPARE(generated, response);
    const qint32 length = qint32(response.size());
    response.resize(64, '\0');
    QCOMPARE(RemoteUnlockUserPin(0, response, length), TokenStatus::Success);
    TPinState state;
    ReadPinState(0, PinType::User, state);
    QCOMPARE(state.Locked, 0);
}

void tst_CerMgrApis::formatToken()
{
    VToken t = TokenFixture::token(0);
    t.initialized = false;
    QVERIFY(TokenFixture::store(t));
    QCOMPARE(connectAll(), 1);

    QByteArray record(FormatRecordSize, '\0');
    const auto put = [&record](int at, const QByteArray& text) { record.replace(at, text.size(), text); };
    put(0, QStringLiteral("新钥匙").toUtf8());
    put(32, "Vostrel");
    put(64, "QX Issuer");
    put(96, "so-pin-2024");
    put(128, "user-2024");
    record[160] = 5;
    record[161] = 6;
    record[162] = 6;
    record[163] = 16;
    record[164] = 6;
    record[165] = 16;
    QCOMPARE(FormatToken(0, record), TokenStatus::Success);

    TQ7Info info;
    QCOMPARE(ReadTokenInfo(0, info), TokenStatus::Success);
    QCOMPARE(info.Label, QStringLiteral("新钥匙"));
    QCOMPARE(info.MinPinLen, 6);
    qint32 retries = -1;
    QCOMPARE(LoginUser(0, QStringLiteral("user-2024"), retries), TokenStatus::Success);
    TPinState state;
    ReadPinState(0, PinType::User, state);
    QCOMPARE(state.MaxRetries, 5);
}

QTEST_GUILESS_MAIN(tst_CerMgrApis)
#include "tst_cermgrapis.moc"
