// SPDX-License-Identifier: BSD-3-Clause
// Certificate expiry on virtual tokens: the notice after a refresh (its rows and their order, once per
// arrival, one window for all tokens) and the certificate tree's markers and tooltips. The
// certificates are made by the openssl command line with end dates chosen relative to today.
#include "TestEnv.h"
#include "TestTimings.h"
#include "TokenFixture.h"
#include "VTokenStore.h"

#include "certs/CertTreeImages.h"
#include "certs/TCertExpiryNotice.h"
#include "certs/TCertExpiryWatch.h"
#include "certs/TCertPage.h"
#include "i18n/ResStrs.h"
#include "token/CerMgrApis.h"
#include "ui/TProgramState.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace {

// Self-signed certificates with chosen validity, by `openssl ca`, which takes any start and end date.
class ExpiryCerts
{
public:
    bool make(const QString& name, const QString& cn, qint64 startDays, qint64 endDays)
    {
        const QString dir = m_dir.path() + QLatin1Char('/');
        if (!QFile::exists(dir + QStringLiteral("ca.cnf"))) {
            QFile cnf(dir + QStringLiteral("ca.cnf"));
            if (!cnf.open(QIODevice::WriteOnly))
                return false;
            cnf.write("[ca]\ndefault_ca = d\n[d]\ndatabase = index.txt\nnew_certs_dir = .\nserial = serial\n"
                      "default_md = sha256\npolicy = p\nunique_subject = no\n[p]\ncommonName = supplied\n");
            QFile index(dir + QStringLiteral("index.txt"));
            QFile serial(dir + QStringLiteral("serial"));
            if (!index.open(QIODevice::WriteOnly) || !serial.open(QIODevice::WriteOnly))
                return false;
            serial.write("01\n");
        }
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const auto stamp = [&](qint64 days) {
            return now.addDays(days).toString(QStringLiteral("yyyyMMddHHmmss")) + QLatin1Char('Z');
        };
        const QString key = dir + name + QStringLiteral(".key");
        const QString csr = dir + name + QStringLiteral(".csr");
        const QString pem = dir + name + QStringLiteral(".pem");
        if (!run({"req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-keyout",
                  key, "-subj", "/CN=" + cn, "-out", csr}) ||
            !run({"ca", "-config", dir + "ca.cnf", "-batch", "-selfsign", "-keyfile", key, "-in", csr,
                  "-startdate", stamp(startDays), "-enddate", stamp(endDays), "-notext", "-out", pem}))
            return false;
        QFile f(pem);
        if (!f.open(QIODevice::ReadOnly))
            return false;
        QByteArray text = f.readAll();
        const qsizetype begin = text.indexOf("-----BEGIN CERTIFICATE-----");
        const qsizetype end = text.indexOf("-----END CERTIFICATE-----");
        if (begin < 0 || end < begin)
            return false;
        m_der[name] = QByteArray::fromBase64(text.mid(begin + 27, end - begin - 27).simplified());
        return !m_der[name].isEmpty();
    }

    QByteArray der(const QString& name) const { return m_der.value(name); }

private:
    bool run(const QStringList& args)
    {
        QProcess p;
        p.setWorkingDirectory(m_dir.path());
        p.start(QStringLiteral("openssl"), args);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            qWarning() << args << p.readAllStandardError();
            return false;
        }
        return true;
    }

    QTemporaryDir m_dir;
    QHash<QString, QByteArray> m_der;
};

VToken::KeyHalf half(const QByteArray& der)
{
    VToken::KeyHalf h;
    h.certificate = der;
    return h;
}

QStringList subjects(const QTreeWidgetItem* head)
{
    QStringList list;
    for (int i = 0; head && i < head->childCount(); ++i)
        list << head->child(i)->text(TCertExpiryNotice::Subject);
    return list;
}

// With QX_SHOTS_DIR set, the widget is saved there as a picture to look at.
void shoot(QWidget* widget, const QString& name)
{
    const QString dir = qEnvironmentVariable("QX_SHOTS_DIR");
    if (!dir.isEmpty())
        widget->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

} // namespace

class TstCertExpiry : public QObject
{
    Q_OBJECT

    ExpiryCerts m_certs;
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<TProgramState> m_state;
    std::unique_ptr<QWidget> m_window;
    TCertExpiryWatch* m_watch = nullptr;

    QByteArray der(const char* name) const { return m_certs.der(QLatin1String(name)); }

    // Expired, in 3, 20 and 400 days, not yet valid (ends in 300 days), and bytes that are no certificate.
    VToken aliceToken(int index) const
    {
        VToken t = TokenFixture::token(index);
        t.label = "Alice Key";
        t.totalMemory = 4 * 1024 * 1024;
        VToken::Container c1 = TokenFixture::container("c1-mixed");
        c1.exchange = half(der("later"));
        c1.signature = half(der("soon"));
        VToken::Container c2 = TokenFixture::container("c2-old");
        c2.signature = half(der("expired"));
        VToken::Container c3 = TokenFixture::container("c3-twenty");
        c3.exchange = half(der("twenty"));
        VToken::Container c4 = TokenFixture::container("c4-future");
        c4.exchange = half(der("future"));
        VToken::Container c5 = TokenFixture::container("c5-broken");
        c5.signature = half(QByteArray("not a certificate"));
        t.containers = {c1, c2, c3, c4, c5};
        return t;
    }

    void start(int mode, int days)
    {
        QCOMPARE(CerMgrApis::InitTokenLibrary(QStringLiteral("q7sec_pkcs11.dll")), TokenStatus::Success);
        m_state = std::make_unique<TProgramState>();
        m_state->timings = testTimings();
        m_state->config.CertDayMode = mode;
        m_state->config.CertDay = days;
        m_window = std::make_unique<QWidget>();
        m_watch = new TCertExpiryWatch(*m_state, m_window.get());
    }

    // What discovery does before it reports a refresh, and the report.
    quint32 refresh()
    {
        qint32 count = 0;
        quint32 status = CerMgrApis::FindAndConnectTokens(count);
        m_state->sessions.reset(status == 0 ? count : 0);
        for (int i = 0; status == 0 && i < count; ++i)
            status = CerMgrApis::ReadTokenInfo(i, m_state->sessions.at(i)->info());
        m_watch->tokensRefreshed(status);
        return status;
    }

    bool plug(int index, bool in)
    {
        return VTokenStore().update(TokenFixture::serial(index), [in](VToken& t) {
            t.pluggedIn = in;
            return true;
        }) == VTokenStore::Result::Ok;
    }

    TCertExpiryNotice* notice() const { return m_watch->notice(); }
    bool noticeShown() const { return notice() && notice()->isVisible(); }
    QTreeWidgetItem* head(int i) const { return notice()->list()->topLevelItem(i); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_certs.make(QStringLiteral("expired"), QStringLiteral("Expired Signer"), -400, -10));
        QVERIFY(m_certs.make(QStringLiteral("soon"), QStringLiteral("Soon User"), -30, 3));
        QVERIFY(m_certs.make(QStringLiteral("twenty"), QStringLiteral("Twenty Days"), -30, 20));
        QVERIFY(m_certs.make(QStringLiteral("later"), QStringLiteral("Later User"), -30, 400));
        QVERIFY(m_certs.make(QStringLiteral("future"), QStringLiteral("Future User"), 5, 300));
    }

    void init()
    {
        m_env = std::make_unique<TestEnv>();
        ResStrs::resetToDefaults();
    }

    void cleanup()
    {
        m_watch = nullptr;
        m_window.reset();
        m_state.reset();
        CerMgrApis::FreeTokenLibrary();
        m_env.reset();
    }

    void noticeRows_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("days");
        QTest::addColumn<QStringList>("expected");
        const QString expired = QStringLiteral("CN=Expired Signer|c2-old|") +
                                QDateTime::currentDateTimeUtc().addDays(-10).date().toString(Qt::ISODate) +
                                QStringLiteral("|已过期");
        const QString soon = QStringLiteral("CN=Soon User|c1-mixed|") +
                             QDateTime::currentDateTimeUtc().addDays(3).date().toString(Qt::ISODate) +
                             QStringLiteral("|3 天后到期");
        const QString twenty = QStringLiteral("CN=Twenty Days|c3-twenty|") +
                               QDateTime::currentDateTimeUtc().addDays(20).date().toString(Qt::ISODate) +
                               QStringLiteral("|20 天后到期");
        const QString future = QStringLiteral("CN=Future User|c4-future|") +
                               QDateTime::currentDateTimeUtc().addDays(300).date().toString(Qt::ISODate) +
                               QStringLiteral("|尚未生效");
        const QString later = QStringLiteral("CN=Later User|c1-mixed|") +
                              QDateTime::currentDateTimeUtc().addDays(400).date().toString(Qt::ISODate) +
                              QStringLiteral("|400 天后到期");
        QTest::newRow("30 days") << 1 << 30 << QStringList{expired, soon, twenty, future};
        QTest::newRow("1 day") << 1 << 1 << QStringList{expired, future};
        QTest::newRow("100000 days") << 2 << 100000 << QStringList{expired, soon, twenty, future, later};
        QTest::newRow("mode 0") << 0 << 30 << QStringList{};
        QTest::newRow("0 days") << 1 << 0 << QStringList{};
        QTest::newRow("negative days") << 1 << -5 << QStringList{};
    }

    // Soonest end first; what is not due, and what cannot be read, is left out.
    void noticeRows()
    {
        QFETCH(int, mode);
        QFETCH(int, days);
        QFETCH(QStringList, expected);
        QVERIFY(TokenFixture::store(aliceToken(0)));
        start(mode, days);
        QCOMPARE(refresh(), TokenStatus::Success);
        if (expected.isEmpty()) {
            QVERIFY(!notice());
            return;
        }
        QVERIFY(noticeShown());
        QVERIFY(!notice()->isModal());
        QCOMPARE(notice()->list()->topLevelItemCount(), 1);
        QCOMPARE(head(0)->text(0), QStringLiteral("Alice Key"));
        QStringList rows;
        for (int i = 0; i < head(0)->childCount(); ++i) {
            const QTreeWidgetItem* row = head(0)->child(i);
            rows << QStringList{row->text(TCertExpiryNotice::Subject),
                                row->text(TCertExpiryNotice::Container),
                                row->text(TCertExpiryNotice::EndDate), row->text(TCertExpiryNotice::State)}
                        .join(QLatin1Char('|'));
        }
        QCOMPARE(rows, expected);
    }

    // One window for every token; a token warns again only after it was out and came back.
    void oncePerArrival()
    {
        QVERIFY(TokenFixture::store(aliceToken(0)));
        VToken bob = TokenFixture::token(1);
        bob.label = "Bob Key";
        VToken::Container c = TokenFixture::container("bob");
        c.signature = half(der("expired"));
        bob.containers = {c};
        QVERIFY(TokenFixture::store(bob));
        start(1, 30);

        QCOMPARE(refresh(), TokenStatus::Success);
        QVERIFY(noticeShown());
        QCOMPARE(m_window->findChildren<TCertExpiryNotice*>().size(), 1);
        QCOMPARE(notice()->list()->topLevelItemCount(), 2);
        QCOMPARE(head(1)->text(0), QStringLiteral("Bob Key"));
        QCOMPARE(subjects(head(1)), QStringList{QStringLiteral("CN=Expired Signer")});
        notice()->findChild<QDialogButtonBox*>()->buttons().constFirst()->click();
        QVERIFY(!noticeShown());
        QCOMPARE(notice()->list()->topLevelItemCount(), 0);

        // The refresh button, or another token's arrival: nothing new.
        QCOMPARE(refresh(), TokenStatus::Success);
        QVERIFY(!noticeShown());

        // Bob leaves and comes back: only Bob is named, in the same window.
        QVERIFY(plug(1, false));
        QCOMPARE(refresh(), TokenStatus::Success);
        QVERIFY(!noticeShown());
        QVERIFY(plug(1, true));
        QCOMPARE(refresh(), TokenStatus::Success);
        QVERIFY(noticeShown());
        QCOMPARE(notice()->list()->topLevelItemCount(), 1);
        QCOMPARE(head(0)->text(0), QStringLiteral("Bob Key"));

        // Both gone, both back, while the notice is still open: each token has its rows once.
        QVERIFY(plug(0, false) && plug(1, false));
        QCOMPARE(refresh(), TokenStatus::NoToken);
        QVERIFY(plug(0, true) && plug(1, true));
        QCOMPARE(refresh(), TokenStatus::Success);
        QCOMPARE(m_window->findChildren<TCertExpiryNotice*>().size(), 1);
        QCOMPARE(notice()->list()->topLevelItemCount(), 2);
        QCOMPARE(head(0)->text(0), QStringLiteral("Alice Key"));
        QCOMPARE(head(0)->childCount(), 4);
        QCOMPARE(head(1)->text(0), QStringLiteral("Bob Key"));
        QCOMPARE(subjects(head(1)), QStringList{QStringLiteral("CN=Expired Signer")});
    }

    // A token pulled out during its check warns about nothing then, and normally once it is back.
    void pulledOutDuringCheck()
    {
        VToken t = aliceToken(0);
        VToken::Fault pull;
        pull.kind = VToken::Fault::PullOutNextCall;
        pull.function = QStringLiteral("container_get_cert");
        t.faults = {pull};
        QVERIFY(TokenFixture::store(t));
        start(1, 30);
        QCOMPARE(refresh(), TokenStatus::Success);
        QVERIFY(!noticeShown());
        QCOMPARE(refresh(), TokenStatus::NoToken);
        QVERIFY(plug(0, true));
        QCOMPARE(refresh(), TokenStatus::Success);
        QVERIFY(noticeShown());
        QCOMPARE(head(0)->childCount(), 4);
    }

    // A token whose containers cannot be listed yet is looked at again after the login.
    void checkedAfterLoginWhenUnreadableBefore()
    {
        VToken t = aliceToken(0);
        VToken::Fault fail;
        fail.kind = VToken::Fault::FailNextCall;
        fail.function = QStringLiteral("container_load_all");
        fail.status = 0x0A000001;
        t.faults = {fail};
        QVERIFY(TokenFixture::store(t));
        start(1, 30);
        QCOMPARE(refresh(), TokenStatus::Success);
        QVERIFY(!notice());
        m_watch->checkToken(0);
        QVERIFY(noticeShown());
        QCOMPARE(head(0)->childCount(), 4);
        notice()->accept();
        m_watch->checkToken(0);
        QVERIFY(!noticeShown());
    }

    // Every container of a full token is looked at.
    void manyContainers()
    {
        VToken t = TokenFixture::token(0);
        t.totalMemory = 16 * 1024 * 1024;
        for (int i = 0; i < 65; ++i) {
            VToken::Container c = TokenFixture::container(QByteArray("box") + QByteArray::number(i));
            c.signature = half(der(i == 64 ? "expired" : "soon"));
            t.containers.append(c);
        }
        QVERIFY(TokenFixture::store(t));
        start(1, 30);
        QCOMPARE(refresh(), TokenStatus::Success);
        QVERIFY(noticeShown());
        QCOMPARE(head(0)->childCount(), 65);
        QCOMPARE(head(0)->child(0)->text(TCertExpiryNotice::Container), QStringLiteral("box64"));
    }

    void treeMarkers_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("language");
        QTest::newRow("on") << 1 << QString();
        QTest::newRow("on, English") << 1 << QStringLiteral("EN_1033.lng");
        QTest::newRow("off") << 0 << QString();
    }

    // Certificate nodes that warn carry a marker and their dates; the others are untouched.
    void treeMarkers()
    {
        QFETCH(int, mode);
        QFETCH(QString, language);
        if (!language.isEmpty())
            ResStrs::load(QStringLiteral(QX_LANGUAGES_DIR "/") + language);
        QVERIFY(TokenFixture::store(aliceToken(0)));
        start(mode, 30);
        qint32 count = 0;
        QCOMPARE(CerMgrApis::FindAndConnectTokens(count), TokenStatus::Success);
        m_state->sessions.reset(count);
        qint32 retries = 0;
        QCOMPARE(CerMgrApis::LoginUser(0, QLatin1String(TokenFixture::UserPin), retries),
                 TokenStatus::Success);
        m_state->sessions.at(0)->setLogin(TTokenSession::Login::UserByPin);
        TCertPage page(*m_state);
        page.BuildCertificateTree();

        // Certificate node -> (marker, tooltip); container c5 has no readable certificate.
        QHash<QString, QPair<CertTreeImages::Marker, QString>> nodes;
        for (int i = 0; i < page.tree()->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* box = page.tree()->topLevelItem(i);
            for (int c = 0; c < box->childCount(); ++c) {
                const QTreeWidgetItem* cert = box->child(c);
                QCOMPARE(CertTreeImages::imageIndex(cert), CertTreeImages::Open);
                nodes[cert->child(0)->text(0)] = {CertTreeImages::marker(cert), cert->toolTip(0)};
                QCOMPARE(CertTreeImages::marker(cert->child(0)), CertTreeImages::Marker::None);
            }
        }
        QCOMPARE(nodes.size(), 5);
        const auto date = [](int days) {
            return QDateTime::currentDateTimeUtc().addDays(days).date().toString(Qt::ISODate);
        };
        if (mode == 0) {
            for (const auto& n : std::as_const(nodes)) {
                QCOMPARE(n.first, CertTreeImages::Marker::None);
                QVERIFY(n.second.isEmpty());
            }
            return;
        }
        const auto check = [&](const char* cn, CertTreeImages::Marker marker, int from, int to,
                               const char* state) {
            const auto& n = nodes.value(QLatin1String(cn));
            QCOMPARE(n.first, marker);
            const QString tip = ResStrs::text("K_Expiry_ValidFrom") + date(from) + QLatin1Char('\n') +
                                ResStrs::text("K_Expiry_ValidTo") + date(to) + QLatin1Char('\n') +
                                QString::fromUtf8(state);
            QCOMPARE(n.second, tip);
        };
        const bool english = !language.isEmpty();
        check("CN=Expired Signer", CertTreeImages::Marker::Expired, -400, -10,
              english ? "Expired" : "已过期");
        check("CN=Soon User", CertTreeImages::Marker::Expiring, -30, 3,
              english ? "Expires in 3 days" : "3 天后到期");
        check("CN=Future User", CertTreeImages::Marker::NotYetValid, 5, 300,
              english ? "Not valid yet" : "尚未生效");
        QCOMPARE(nodes.value(QStringLiteral("CN=Later User")).first, CertTreeImages::Marker::None);
        QVERIFY(nodes.value(QStringLiteral("CN=Later User")).second.isEmpty());

        // The notice speaks the same language.
        QCOMPARE(refresh(), TokenStatus::Success);
        QVERIFY(noticeShown());
        QCOMPARE(head(0)->child(0)->text(TCertExpiryNotice::State),
                 QString::fromUtf8(english ? "Expired" : "已过期"));
        const QString suffix = english ? QStringLiteral("-en") : QStringLiteral("-zh");
        page.resize(454, 347);
        shoot(&page, QStringLiteral("tree") + suffix);
        shoot(notice(), QStringLiteral("notice") + suffix);
    }
};

QTEST_MAIN(TstCertExpiry)
#include "tst_certexpiry.moc"
