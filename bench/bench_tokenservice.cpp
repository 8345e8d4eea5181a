// SPDX-License-Identifier: BSD-3-Clause
#include "TestEnv.h"
#include "TokenFixture.h"

#include "token/CerMgrApis.h"

#include <QTest>

#include <memory>

using namespace CerMgrApis;

// A discovery pass over a full slot table, and a certificate tree's reads over a full container list.
class bench_TokenService : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void findAndReadInfo();
    void loadNamesAndReadCertificates();

private:
    std::unique_ptr<TestEnv> m_env;
};

void bench_TokenService::initTestCase()
{
    m_env = std::make_unique<TestEnv>(false);
    for (int i = 0; i < 32; ++i) {
        VToken t = TokenFixture::token(i);
        if (i == 0) {
            t.totalMemory = 4 * 1024 * 1024;
            for (int c = 0; c < TQ7Info::MaxContainerNames; ++c) {
                VToken::Container box = TokenFixture::container("container " + QByteArray::number(c));
                box.exchange = TokenFixture::half(QStringLiteral("user"));
                box.signature = TokenFixture::half(QStringLiteral("root"));
                t.containers.append(box);
            }
        }
        QVERIFY(TokenFixture::store(t));
    }
    QCOMPARE(InitTokenLibrary(QStringLiteral("q7sec_pkcs11.dll")), TokenStatus::Success);
}

void bench_TokenService::cleanupTestCase()
{
    FreeTokenLibrary();
    m_env.reset();
}

void bench_TokenService::findAndReadInfo()
{
    qint32 count = 0;
    TQ7Info info;
    QBENCHMARK
    {
        QCOMPARE(FindAndConnectTokens(count), TokenStatus::Success);
        for (qint32 slot = 0; slot < count; ++slot)
            QCOMPARE(ReadTokenInfo(slot, info), TokenStatus::Success);
    }
    QCOMPARE(count, 32);
}

void bench_TokenService::loadNamesAndReadCertificates()
{
    qint32 count = 0;
    QCOMPARE(FindAndConnectTokens(count), TokenStatus::Success);
    TQ7Info info;
    TQ7CertInfo cert;
    QBENCHMARK
    {
        QCOMPARE(LoadContainerNames(0, info), TokenStatus::Success);
        for (const QString& name : info.ContainerNames) {
            QCOMPARE(ReadCertificateInfo(0, name, KeySpec::Exchange, cert), TokenStatus::Success);
            QCOMPARE(ReadCertificateInfo(0, name, KeySpec::Signature, cert), TokenStatus::Success);
        }
    }
    QCOMPARE(info.ContainerCount, TQ7Info::MaxContainerNames);
}

QTEST_GUILESS_MAIN(bench_TokenService)
#include "bench_tokenservice.moc"
