// SPDX-License-Identifier: BSD-3-Clause
#include "TestEnv.h"
#include "TestTimings.h"
#include "TokenFixture.h"

#include "certs/TCertPage.h"
#include "token/CerMgrApis.h"
#include "ui/TProgramState.h"

#include <QApplication>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using namespace CerMgrApis;

// The certificate tree of a token holding the most containers the list keeps, each with an exchange
// and a signature certificate and both key halves.
class bench_CertTree : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void buildTree();

private:
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<TProgramState> m_state;
};

void bench_CertTree::initTestCase()
{
    m_env = std::make_unique<TestEnv>(false);
    VToken t = TokenFixture::token(0);
    t.totalMemory = 4 * 1024 * 1024;
    for (int c = 0; c < TQ7Info::MaxContainerNames; ++c) {
        VToken::Container box = TokenFixture::container("container " + QByteArray::number(c));
        box.exchange = TokenFixture::half(QStringLiteral("root"));
        box.signature = TokenFixture::half(QStringLiteral("user"));
        t.containers.append(box);
    }
    QVERIFY(TokenFixture::store(t));
    QCOMPARE(InitTokenLibrary(QStringLiteral("q7sec_pkcs11.dll")), TokenStatus::Success);
    m_state = std::make_unique<TProgramState>();
    m_state->timings = testTimings();
    qint32 count = 0;
    QCOMPARE(FindAndConnectTokens(count), TokenStatus::Success);
    m_state->sessions.reset(count);
    qint32 retries = 0;
    QCOMPARE(LoginUser(0, QLatin1String(TokenFixture::UserPin), retries), TokenStatus::Success);
    m_state->sessions.at(0)->setLogin(TTokenSession::Login::UserByPin);
}

void bench_CertTree::cleanupTestCase()
{
    FreeTokenLibrary();
    m_state.reset();
    m_env.reset();
}

void bench_CertTree::buildTree()
{
    TCertPage page(*m_state);
    page.resize(454, 347);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QBENCHMARK
    {
        page.BuildCertificateTree();
    }
    QCOMPARE(page.tree()->topLevelItemCount(), TQ7Info::MaxContainerNames);
}

int main(int argc, char** argv)
{
    // Measured headless unless a display is asked for.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bench_CertTree bench;
    return QTest::qExec(&bench, argc, argv);
}

#include "bench_certtree.moc"
