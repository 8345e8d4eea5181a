// SPDX-License-Identifier: BSD-3-Clause
// The certificate page on virtual tokens, driven through its tree, buttons and context menu: the tree
// node by node, the actions a selection enables, showing, exporting and deleting certificates,
// deleting containers, registering the certificates in the stores, and logging out.
#include "ScriptedDialogs.h"
#include "TestEnv.h"
#include "TestTimings.h"
#include "TestWait.h"
#include "TokenFixture.h"
#include "VTokenStore.h"

#include "certs/CertTreeImages.h"
#include "certs/TCertImport.h"
#include "certs/TCertPage.h"
#include "i18n/ResStrs.h"
#include "platform/ActionUpdater.h"
#include "token/CerMgrApis.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

#include <unistd.h>

namespace {

constexpr quint32 DeviceFault = 0x0A000001;

// One registered certificate as the store keeps it.
struct StoreEntry
{
    QByteArray certificate;
    QString container;
    int keySpec = 0;
};

VToken::Container box(const QByteArray& name, const QString& exchange, const QString& signature)
{
    VToken::Container c = TokenFixture::container(name);
    if (!exchange.isEmpty())
        c.exchange = TokenFixture::half(exchange);
    if (!signature.isEmpty())
        c.signature = TokenFixture::half(signature);
    return c;
}

// A container whose signature half kept its key pair after its certificate was deleted.
VToken::Container keysOnly(const QByteArray& name, const QString& signature)
{
    VToken::Container c = box(name, QString(), signature);
    c.signature.certificate.clear();
    return c;
}

VToken tokenWith(int index, const QList<VToken::Container>& containers)
{
    VToken t = TokenFixture::token(index);
    t.totalMemory = 4 * 1024 * 1024;
    t.containers = containers;
    return t;
}

bool changeToken(const QString& serial, const std::function<void(VToken&)>& change)
{
    return VTokenStore().update(serial, [&](VToken& t) {
        change(t);
        return true;
    }) == VTokenStore::Result::Ok;
}

VToken::Fault failNext(const char* function, quint32 status)
{
    VToken::Fault f;
    f.kind = VToken::Fault::FailNextCall;
    f.function = QLatin1String(function);
    f.status = status;
    return f;
}

// Each node as "level|text|image"; a subject is given by a part of its text ("~part").
QStringList dump(const QTreeWidget* tree)
{
    QStringList lines;
    std::function<void(const QTreeWidgetItem*, int)> walk = [&](const QTreeWidgetItem* node, int level) {
        lines
            << QStringLiteral("%1|%2|%3").arg(level).arg(node->text(0)).arg(CertTreeImages::imageIndex(node));
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i), level + 1);
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        walk(tree->topLevelItem(i), 0);
    return lines;
}

bool matches(const QStringList& actual, const QStringList& expected)
{
    if (actual.size() != expected.size())
        return false;
    for (qsizetype i = 0; i < actual.size(); ++i) {
        const QStringList want = expected[i].split(QLatin1Char('|'));
        const QStringList got = actual[i].split(QLatin1Char('|'));
        const bool textOk =
            want[1].startsWith(QLatin1Char('~')) ? got[1].contains(want[1].mid(1)) : got[1] == want[1];
        if (got[0] != want[0] || !textOk || got[2] != want[2])
            return false;
    }
    return true;
}

} // namespace

class TstCertPage : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<TProgramState> m_state;
    std::unique_ptr<TCertPage> m_page;

    // Stores the tokens, starts the library, connects them, logs in to token 0 and shows the page with
    // its tree, as the main window does after a login.
    bool open(const QList<VToken>& tokens)
    {
        for (const VToken& t : tokens)
            if (!TokenFixture::store(t))
                return false;
        return start();
    }

    bool start()
    {
        if (CerMgrApis::InitTokenLibrary(QStringLiteral("q7sec_pkcs11.dll")) != TokenStatus::Success)
            return false;
        m_state = std::make_unique<TProgramState>();
        m_state->timings = testTimings();
        qint32 count = 0;
        if (CerMgrApis::FindAndConnectTokens(count) != TokenStatus::Success)
            return false;
        m_state->sessions.reset(count);
        m_state->sessions.found();
        qint32 retries = 0;
        if (CerMgrApis::LoginUser(0, QLatin1String(TokenFixture::UserPin), retries) != TokenStatus::Success)
            return false;
        m_state->sessions.at(0)->setLogin(TTokenSession::Login::UserByPin);
        m_page = std::make_unique<TCertPage>(*m_state);
        m_page->resize(454, 347);
        m_page->show();
        if (!QTest::qWaitForWindowExposed(m_page.get()))
            return false;
        m_page->BuildCertificateTree();
        m_page->UpdateCertActions();
        return true;
    }

    QTreeWidget* tree() const { return m_page->tree(); }

    QTreeWidgetItem* node(std::initializer_list<int> path) const
    {
        QTreeWidgetItem* item = nullptr;
        for (int index : path)
            item = item ? item->child(index) : tree()->topLevelItem(index);
        return item;
    }

    // Clicks the node as the user would.
    void select(QTreeWidgetItem* item) const
    {
        tree()->scrollToItem(item);
        QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualItemRect(item).center());
    }

    void click(const char* button) const
    {
        auto* b = m_page->findChild<TActionButton*>(QLatin1String(button));
        QVERIFY2(b, button);
        // The idle-time handlers run first, as they would in the event loop.
        ActionUpdater::instance().updateAll();
        QVERIFY2(b->isEnabled(), button);
        QTest::mouseClick(b, Qt::LeftButton);
    }

    bool enabled(const char* action) const
    {
        // The idle-time handlers run first, as they would in the event loop.
        ActionUpdater::instance().updateAll();
        return m_page->findChild<QAction*>(QLatin1String(action))->isEnabled();
    }

    QList<StoreEntry> store(const char* name) const
    {
        QFile f(m_env->appDataDir() + QStringLiteral("/Vostrel/QX4100/CertStores/") + QLatin1String(name) +
                QStringLiteral(".json"));
        QList<StoreEntry> entries;
        if (!f.open(QIODevice::ReadOnly))
            return entries;
        for (const QJsonValue& v : QJsonDocument::fromJson(f.readAll()).array()) {
            const QJsonObject o = v.toObject();
            entries.append({QByteArray::fromBase64(o.value(QLatin1String("cert")).toString().toLatin1()),
                            QString::fromLocal8Bit(QByteArray::fromBase64(
                                o.value(QLatin1String("container")).toString().toLatin1())),
                            o.value(QLatin1String("keySpec")).toInt()});
        }
        return entries;
    }

    QStringList containersIn(const char* name) const
    {
        QStringList names;
        for (const StoreEntry& e : store(name))
            names << e.container;
        names.sort();
        return names;
    }

    static QString t(const char* key) { return ResStrs::text(key); }

private Q_SLOTS:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        m_dialogs = std::make_unique<ScriptedDialogs>();
    }

    void cleanup()
    {
        m_page.reset();
        CerMgrApis::FreeTokenLibrary();
        m_state.reset();
        m_dialogs.reset();
        m_env.reset();
        ResStrs::resetToDefaults();
    }

    // The demo token of tokenctl: an RSA exchange and an EC signature pair for the user, then the EC
    // root and CA certificates, each alone in its container and without a private key.
    void demoTokenNodeByNode()
    {
        QProcess tokenctl;
        tokenctl.start(qEnvironmentVariable("QX_APPDIR_TEMPLATE") + QStringLiteral("/tokenctl"),
                       {QStringLiteral("demo")});
        QVERIFY(tokenctl.waitForFinished(30000));
        QCOMPARE(tokenctl.exitCode(), 0);
        QVERIFY(start());

        const QString ex = t("K_Cert_mode1"), sig = t("K_Cert_mode2");
        const QString pub = t("K_RSA_Pub"), pri = t("K_RSA_Pri");
        const QStringList expected = {
            "0|DEMO-USER" + t("K_Cont") + "|2",
            "1|" + ex + "|2",
            "2|~Demo User|3",
            "2|(RSA2048)" + pub + "|4",
            "2|(RSA2048)" + pri + "|5",
            "1|" + sig + "|2",
            "2|~Demo User|3",
            "2|(ECC256)" + pub + "|4",
            "2|(ECC256)" + pri + "|5",
            "0|DEMO-ROOT" + t("K_Cont") + "|2",
            "1|" + sig + "(ROOT)|2",
            "2|~Demo Root|3",
            "2|(ECC256)" + pub + "|4",
            "0|DEMO-CA" + t("K_Cont") + "|2",
            "1|" + sig + "(CA)|2",
            "2|~Demo CA|3",
            "2|(ECC256)" + pub + "|4",
        };
        QVERIFY2(matches(dump(tree()), expected), qPrintable(dump(tree()).join(QLatin1Char('\n'))));
        for (QTreeWidgetItem* item :
             tree()->findItems(QStringLiteral("*"), Qt::MatchWildcard | Qt::MatchRecursive))
            QVERIFY(item->childCount() == 0 || item->isExpanded());

        // Which certificates were read, per container.
        const TContainerCertFlags& flags = m_state->ContainerCertFlags;
        QCOMPARE(flags.flag(0, 0, KeySpec::Exchange), quint8(1));
        QCOMPARE(flags.flag(0, 0, KeySpec::Signature), quint8(2));
        QCOMPARE(flags.flag(0, 1, KeySpec::Exchange), quint8(0));
        QCOMPARE(flags.flag(0, 2, KeySpec::Signature), quint8(2));

        // Collapsing a container closes its box.
        tree()->collapseItem(node({0}));
        QCOMPARE(CertTreeImages::imageIndex(node({0})), CertTreeImages::Closed);
        tree()->expandItem(node({0}));
        QCOMPARE(CertTreeImages::imageIndex(node({0})), CertTreeImages::Open);
    }

    // The test data: "root" a self-signed RSA 2048 root, "ca" an RSA 3072 CA, "user" an EC P-256 user.
    void treeShapes_data()
    {
        QTest::addColumn<QList<VToken::Container>>("containers");
        QTest::addColumn<QStringList>("expected");
        const QString ex = t("K_Cert_mode1"), sig = t("K_Cert_mode2"), cont = t("K_Cont");
        const QString pub = t("K_RSA_Pub"), pri = t("K_RSA_Pri");

        QTest::newRow("no containers")
            << QList<VToken::Container>{} << QStringList{"0|" + t("K_Null_cont") + "|1"};
        QTest::newRow("a root in the exchange position, then an EC P-256 signature")
            << QList<VToken::Container>{box("both", "root", "user")}
            << QStringList{
                   "0|both" + cont + "|2",     "1|" + ex + "(ROOT)|2", "2|~CN=|3", "2|(RSA2048)" + pub + "|4",
                   "2|(RSA2048)" + pri + "|5", "1|" + sig + "|2",      "2|~CN=|3", "2|(ECC256)" + pub + "|4",
                   "2|(ECC256)" + pri + "|5"};
        QTest::newRow("only a signature certificate, an empty container, a name with a space")
            << QList<VToken::Container>{box("sig only", QString(), "ca"), box("empty", QString(), QString())}
            << QStringList{"0|sig only" + cont + "|2", "1|" + sig + "(CA)|2",      "2|~CN=|3",
                           "2|(RSA3072)" + pub + "|4", "2|(RSA3072)" + pri + "|5", "0|empty" + cont + "|1"};
        // Key halves without their certificate come after the certificates, where no certificate
        // action reaches them.
        QTest::newRow("a key pair whose certificate was deleted")
            << QList<VToken::Container>{box("kept", "root", QString()), keysOnly("kept2", "user")}
            << QStringList{"0|kept" + cont + "|2",     "1|" + ex + "(ROOT)|2",     "2|~CN=|3",
                           "2|(RSA2048)" + pub + "|4", "2|(RSA2048)" + pri + "|5", "0|kept2" + cont + "|2",
                           "1|(ECC)" + pub + "|4",     "1|(ECC)" + pri + "|5"};
    }

    void treeShapes()
    {
        QFETCH(QList<VToken::Container>, containers);
        QFETCH(QStringList, expected);
        QVERIFY(open({tokenWith(0, containers)}));
        QVERIFY2(matches(dump(tree()), expected), qPrintable(dump(tree()).join(QLatin1Char('\n'))));
    }

    // Which actions a selection enables; a certificate or key node enables none of the certificate ones.
    void actionsFollowSelection_data()
    {
        QTest::addColumn<QList<VToken::Container>>("containers");
        QTest::addColumn<QList<int>>("path");
        QTest::addColumn<int>("loginState");
        QTest::addColumn<bool>("containerActions"); // AcDel
        QTest::addColumn<bool>("certActions");      // AcListCert, AcOutput, AcDelCert
        const QList<VToken::Container> two = {box("a", "root", "user")};

        QTest::newRow("nothing selected") << two << QList<int>{} << 2 << false << false;
        QTest::newRow("container") << two << QList<int>{0} << 2 << true << false;
        QTest::newRow("certificate") << two << QList<int>{0, 1} << 2 << false << false;
        QTest::newRow("subject") << two << QList<int>{0, 1, 0} << 2 << false << true;
        QTest::newRow("public key") << two << QList<int>{0, 1, 1} << 2 << false << false;
        QTest::newRow("private key") << two << QList<int>{0, 0, 2} << 2 << false << false;
        QTest::newRow("subject, logged out") << two << QList<int>{0, 0, 0} << 1 << false << false;
        QTest::newRow("placeholder") << QList<VToken::Container>{} << QList<int>{0} << 2 << false << false;
        const QList<VToken::Container> kept = {box("a", "root", QString()), keysOnly("b", "user")};
        QTest::newRow("key without certificate") << kept << QList<int>{1, 0} << 2 << false << false;
        QTest::newRow("its container") << kept << QList<int>{1} << 2 << true << false;
    }

    void actionsFollowSelection()
    {
        QFETCH(QList<VToken::Container>, containers);
        QFETCH(QList<int>, path);
        QFETCH(int, loginState);
        QFETCH(bool, containerActions);
        QFETCH(bool, certActions);
        QVERIFY(open({tokenWith(0, containers)}));
        m_state->sessions.at(0)->setLogin(loginState == 2 ? TTokenSession::Login::UserByPin
                                                          : TTokenSession::Login::Found);
        if (!path.isEmpty()) {
            QTreeWidgetItem* item = nullptr;
            for (int index : path)
                item = item ? item->child(index) : tree()->topLevelItem(index);
            select(item);
        }
        QCOMPARE(enabled("AcDel"), containerActions);
        for (const char* action : {"AcListCert", "AcOutput", "AcDelCert"})
            QCOMPARE(enabled(action), certActions);
        // Registration only needs containers on the token.
        QCOMPARE(enabled("AcRegCert"), !containers.isEmpty());
        QCOMPARE(enabled("AcUnRegCert"), !containers.isEmpty());
    }

    // A container with only a signature certificate shows it first, and showing it resolves to KeySpec 2;
    // a double click opens the viewer on it, and the context menu works on the node under the mouse.
    void showCertificate()
    {
        QVERIFY(open({tokenWith(0, {box("both", "root", "user"), box("sig", QString(), "ca")})}));
        QTreeWidgetItem* subject = node({1, 0, 0});
        select(subject);
        const auto resolved = m_page->ResolveSelectedCertificate();
        QVERIFY(resolved);
        QCOMPARE(resolved->container, 1);
        QCOMPARE(resolved->keySpec, KeySpec::Signature);
        QCOMPARE(resolved->containerName, QStringLiteral("sig"));

        bool viewerOpened = false;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String("CertViewer") && w->isVisible()) {
                    viewerOpened = true;
                    qobject_cast<QDialog*>(w)->reject();
                }
        });
        closer.start(0);
        QTest::mouseDClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualItemRect(subject).center());
        QX_TRY_VERIFY(viewerOpened);
        closer.stop();
        QVERIFY(m_dialogs->messages().isEmpty());

        // A right click selects the node under the mouse and opens the menu there.
        QTreeWidgetItem* first = node({0, 0, 0});
        const QPoint at = tree()->visualItemRect(first).center();
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, tree()->viewport()->mapToGlobal(at));
        QApplication::sendEvent(tree()->viewport(), &menuEvent);
        QCOMPARE(tree()->currentItem(), first);
        QX_TRY_VERIFY(m_page->contextMenu()->isVisible());
        QVERIFY(m_page->findChild<QAction*>(QStringLiteral("AcListCert"))->isEnabled());
        m_page->contextMenu()->close();
        QCOMPARE(m_page->ResolveSelectedCertificate()->keySpec, KeySpec::Exchange);

        // A certificate the token no longer gives out is reported and nothing opens.
        QVERIFY(changeToken(TokenFixture::serial(0),
                            [](VToken& t) { t.faults.append(failNext("container_get_cert", DeviceFault)); }));
        viewerOpened = false;
        closer.start(0);
        click("btnListCert");
        QCOMPARE(m_dialogs->texts(), QStringList{t("K_GetKeyCert_Error")});
        QVERIFY(!viewerOpened);
    }

    // The exported file holds exactly the token's certificate; a name without extension gets ".cer";
    // a folder that cannot be written is reported, and a cancelled dialog writes nothing.
    void exportCertificate_data()
    {
        QTest::addColumn<QString>("typed"); // relative to the test folder; empty cancels
        QTest::addColumn<QString>("written");
        QTest::addColumn<bool>("ok");
        // clang-format off
        QTest::newRow("no extension") << "out/user" << "out/user.cer" << true;
        QTest::newRow("own extension") << "out/user.der" << "out/user.der" << true;
        QTest::newRow("replaces a file") << "out/old.cer" << "out/old.cer" << true;
        QTest::newRow("read-only folder") << "ro/user.cer" << "ro/user.cer" << false;
        QTest::newRow("missing folder") << "nowhere/user.cer" << "nowhere/user.cer" << false;
        QTest::newRow("a file in place of the folder") << "out/old.cer/user" << "out/old.cer/user.cer" << false;
        QTest::newRow("cancelled") << "" << "out/user.cer" << false;
        // clang-format on
    }

    void exportCertificate()
    {
        QFETCH(QString, typed);
        QFETCH(QString, written);
        QFETCH(bool, ok);
        if (typed.startsWith(QLatin1String("ro/")) && ::geteuid() == 0)
            QSKIP("permissions do not hold back root");
        QVERIFY(QDir().mkpath(m_env->path(QStringLiteral("out"))));
        QVERIFY(QDir().mkpath(m_env->path(QStringLiteral("ro"))));
        QFile old(m_env->path(QStringLiteral("out/old.cer")));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(40000, 'x'));
        old.close();
        QVERIFY(QFile::setPermissions(m_env->path(QStringLiteral("ro")), QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(open({tokenWith(0, {box("both", "root", "user")})}));

        select(node({0, 1, 0}));
        m_dialogs->setNextFileName(typed.isEmpty() ? QString() : m_env->path(typed));
        click("btnOutput");
        QFile::setPermissions(m_env->path(QStringLiteral("ro")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QCOMPARE(m_dialogs->fileRequests().size(), 1);
        QVERIFY(m_dialogs->fileRequests()[0].save);
        QCOMPARE(m_dialogs->fileRequests()[0].options.defaultSuffix, QStringLiteral("cer"));
        QFile file(m_env->path(written));
        if (ok) {
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), TokenFixture::certificate(QStringLiteral("user")));
            QCOMPARE(m_dialogs->texts(), QStringList{t("OutPut_OK")});
        } else {
            QVERIFY(!file.exists());
            if (typed.isEmpty()) {
                QVERIFY(m_dialogs->messages().isEmpty());
            } else {
                QCOMPARE(m_dialogs->messages().size(), 1);
                QVERIFY(m_dialogs->lastText().startsWith(t("Main_Form_btn_Output")));
                QVERIFY(m_dialogs->lastText().contains(QDir::toNativeSeparators(m_env->path(written))));
            }
        }
    }

    // Both deletions with Yes and No. A deletion rebuilds the tree and the stores of every connected
    // token; No deletes nothing and only moves the focus to the tree.
    void deletion_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QList<int>>("path");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QStringList>("containersLeft");
        QTest::addColumn<bool>("exchangeOfA");
        QTest::addColumn<bool>("signatureOfA");
        QTest::newRow("certificate, yes")
            << "AcDelCert" << QList<int>{0, 1, 0} << true << QStringList{"a", "b"} << true << false;
        QTest::newRow("certificate, no")
            << "AcDelCert" << QList<int>{0, 1, 0} << false << QStringList{"a", "b"} << true << true;
        QTest::newRow("container, yes")
            << "btnDel" << QList<int>{0} << true << QStringList{"b"} << false << false;
        QTest::newRow("container, no")
            << "btnDel" << QList<int>{0} << false << QStringList{"a", "b"} << true << true;
    }

    void deletion()
    {
        QFETCH(QString, button);
        QFETCH(QList<int>, path);
        QFETCH(bool, yes);
        QFETCH(QStringList, containersLeft);
        QFETCH(bool, exchangeOfA);
        QFETCH(bool, signatureOfA);
        QVERIFY(open({tokenWith(0, {box("a", "root", "user"), box("b", QString(), "ca")}),
                      tokenWith(1, {box("other", QString(), "user")})}));
        // A stale registration of a container that is gone, to see that the stores are rebuilt.
        QVERIFY(CerMgrApis::AddCertToStore(QStringLiteral("gone"), t("PROVIDER_NAME"), KeySpec::Signature,
                                           TokenFixture::certificate(QStringLiteral("user"))) == 0);
        QTreeWidgetItem* item = nullptr;
        for (int index : path)
            item = item ? item->child(index) : tree()->topLevelItem(index);
        select(item);
        m_dialogs->setNextAnswer(yes);
        if (button == QLatin1String("AcDelCert")) {
            // Deleting a certificate has no button; it is on the context menu.
            QVERIFY(enabled("AcDelCert"));
            m_page->findChild<QAction*>(button)->trigger();
        } else {
            click(qPrintable(button));
        }
        QCOMPARE(m_dialogs->messages().size(), 1);
        QCOMPARE(m_dialogs->messages()[0].icon, DialogService::Icon::Question);
        QCOMPARE(m_dialogs->messages()[0].text, t("K_DEL_YES_NO"));
        QCOMPARE(m_page->focusWidget(), tree());

        VToken after;
        QCOMPARE(VTokenStore().load(TokenFixture::serial(0), &after), VTokenStore::Result::Ok);
        QStringList names;
        for (const VToken::Container& c : after.containers)
            names << QString::fromLatin1(c.name);
        QCOMPARE(names, containersLeft);
        const VToken::Container* a = after.findContainer("a");
        QCOMPARE(a && !a->exchange.certificate.isEmpty(), exchangeOfA);
        QCOMPARE(a && !a->signature.certificate.isEmpty(), signatureOfA);
        if (a)
            QVERIFY(!a->signature.privateKey.isEmpty()); // the key pair stays with or without it

        if (yes) {
            // The tree shows what is left, and the stores hold the certificates of both tokens again.
            QCOMPARE(tree()->topLevelItem(0)->text(0), containersLeft[0] + t("K_Cont"));
            // A deleted certificate leaves its key pair, shown without it.
            QCOMPARE(node({0})->childCount(), button == QLatin1String("AcDelCert") ? 3 : 1);
            if (button == QLatin1String("AcDelCert"))
                QCOMPARE(node({0, 1})->text(0), "(ECC)" + t("K_RSA_Pub"));
            QCOMPARE(containersIn("MY"), QStringList{"other"});
            QCOMPARE(store("CA").size(), 1);
        } else {
            QCOMPARE(containersIn("MY"), QStringList{"gone"});
        }
    }

    // A refused deletion shows the status and leaves the tree and the stores as they were.
    void deletionFails()
    {
        QVERIFY(open({tokenWith(0, {box("a", "root", "user")})}));
        QVERIFY(changeToken(TokenFixture::serial(0),
                            [](VToken& t) { t.faults.append(failNext("container_delete", DeviceFault)); }));
        const QStringList before = dump(tree());
        select(node({0}));
        m_dialogs->setNextAnswer(true);
        click("btnDel");
        QCOMPARE(m_dialogs->lastText(),
                 t("K_DEL_Error") + t("K_ErrorCODE_Str") + QStringLiteral(" = 0x0A000001"));
        QCOMPARE(dump(tree()), before);
        QVERIFY(store("MY").isEmpty());
    }

    // Registration: each container's signature certificate, end entities with their container under
    // the provider, roots to ROOT and CAs to CA; exchange certificates never. Removal empties "MY".
    void registration()
    {
        QVERIFY(open({tokenWith(0, {box("exchange only", "user", QString()), box("user", "root", "user"),
                                    box("root", QString(), "root"), box("ca", QString(), "ca")})}));
        click("btnRegCert");
        QCOMPARE(m_dialogs->lastText(), t("Change_Yes"));
        const QList<StoreEntry> my = store("MY");
        QCOMPARE(my.size(), 1);
        QCOMPARE(my[0].container, QStringLiteral("user"));
        QCOMPARE(my[0].keySpec, 2);
        QCOMPARE(my[0].certificate, TokenFixture::certificate(QStringLiteral("user")));
        QCOMPARE(store("ROOT").size(), 1);
        QCOMPARE(store("ROOT")[0].certificate, TokenFixture::certificate(QStringLiteral("root")));
        QCOMPARE(store("CA").size(), 1);
        QCOMPARE(store("CA")[0].certificate, TokenFixture::certificate(QStringLiteral("ca")));

        click("btnUnRegCert");
        QCOMPARE(m_dialogs->lastText(), t("Change_Yes"));
        QVERIFY(store("MY").isEmpty());

        // The timer after an import registers once, without a message.
        m_dialogs->clear();
        m_page->scheduleRegistration();
        QX_TRY_COMPARE(store("MY").size(), 1);
        QVERIFY(!m_page->registrationTimer()->isActive());
        QVERIFY(m_dialogs->messages().isEmpty());
    }

    // A store that cannot be written fails the registration with 20000 plus the library's status.
    void registrationFails()
    {
        QVERIFY(open({tokenWith(0, {box("user", QString(), "user")})}));
        const QString dir = m_env->appDataDir() + QStringLiteral("/Vostrel/QX4100/CertStores/");
        QVERIFY(QDir().mkpath(dir));
        QFile damaged(dir + QStringLiteral("MY.json"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("{not json");
        damaged.close();
        click("btnRegCert");
        QCOMPARE(m_dialogs->lastText(), t("Change_No"));
    }

    // Logging out ends the library login, sets the login state back to 1 and tells the window.
    void logout()
    {
        QVERIFY(open({tokenWith(0, {box("a", "root", QString())})}));
        QSignalSpy loggedOut(m_page.get(), &TCertPage::loggedOut);
        click("Button9");
        QCOMPARE(loggedOut.size(), 1);
        QCOMPARE(m_state->loginState(0), 1);
        QVERIFY(!enabled("AcDel"));
        // The library no longer lets this session change the token.
        QVERIFY(CerMgrApis::DeleteContainer(0, QStringLiteral("a")) != TokenStatus::Success);
    }

    // The import is the window's to connect.
    // The import button opens the import dialog, offering the selected container first.
    void importOpensTheDialog()
    {
        QVERIFY(open({tokenWith(0, {TokenFixture::container("first"), TokenFixture::container("second")})}));
        m_page->tree()->setCurrentItem(m_page->tree()->topLevelItem(1));
        QSignalSpy opened(m_page->importer(), &TCertImport::dialogOpened);
        QDialog* dialog = nullptr;
        connect(m_page->importer(), &TCertImport::dialogOpened, this, [&](QDialog* d) {
            dialog = d;
            QTimer::singleShot(0, d, [d] {
                auto* names = d->findChild<QComboBox*>(QStringLiteral("cbContName"));
                QVERIFY(names);
                QCOMPARE(names->currentText(), QStringLiteral("second"));
                d->reject();
            });
        });
        QSignalSpy stopped(m_page->importer(), &TCertImport::stopped);
        click("btnInputCert");
        QCOMPARE(opened.size(), 1);
        QVERIFY(dialog);
        QCOMPARE(stopped.size(), 1);
        QVERIFY(m_page->tree()->hasFocus() || !m_page->isActiveWindow());
    }

    // A token holding the most containers the list keeps, each with two certificates: every container
    // has its flags, the last one included, and resolves to its own certificates.
    void sixtyFiveContainers()
    {
        QList<VToken::Container> boxes;
        for (int i = 0; i < TQ7Info::MaxContainerNames; ++i)
            boxes << box("c" + QByteArray::number(i), "root", "user");
        QVERIFY(open({tokenWith(0, boxes)}));
        QCOMPARE(tree()->topLevelItemCount(), 65);
        QCOMPARE(m_state->ContainerCertFlags.flag(0, 64, KeySpec::Exchange), quint8(1));
        QCOMPARE(m_state->ContainerCertFlags.flag(0, 64, KeySpec::Signature), quint8(2));
        select(node({64, 1, 0}));
        const auto resolved = m_page->ResolveSelectedCertificate();
        QVERIFY(resolved);
        QCOMPARE(resolved->containerName, QStringLiteral("c64"));
        QCOMPARE(resolved->keySpec, KeySpec::Signature);
        // Outside the table nothing is read or written.
        m_state->ContainerCertFlags.set(33, 0, KeySpec::Exchange, true);
        m_state->ContainerCertFlags.set(0, 65, KeySpec::Exchange, true);
        QCOMPARE(m_state->ContainerCertFlags.flag(33, 0, KeySpec::Exchange), quint8(0));
        QCOMPARE(m_state->ContainerCertFlags.flag(0, 65, KeySpec::Exchange), quint8(0));
    }

    // The token pulled out while the tree is open: refreshing, exporting and deleting report or do
    // nothing, and nothing is written.
    void tokenPulledOut()
    {
        QVERIFY(open({tokenWith(0, {box("a", "root", "user")})}));
        select(node({0, 0, 0}));
        QVERIFY(changeToken(TokenFixture::serial(0), [](VToken& t) { t.pluggedIn = false; }));

        m_dialogs->setNextFileName(m_env->path(QStringLiteral("pulled.cer")));
        click("btnOutput");
        QCOMPARE(m_dialogs->texts(), QStringList{t("K_GetKeyCert_Error")});
        QVERIFY(!QFile::exists(m_env->path(QStringLiteral("pulled.cer"))));

        select(node({0}));
        m_dialogs->setNextAnswer(true);
        click("btnDel");
        QVERIFY(m_dialogs->lastText().startsWith(t("K_DEL_Error") + t("K_ErrorCODE_Str") + " = 0x"));

        click("btnCertRefresh");
        QCOMPARE(m_page->focusWidget(), tree());
        // The certificates can no longer be read; the container list read last stays.
        QCOMPARE(tree()->topLevelItemCount(), 1);
        QCOMPARE(node({0})->childCount(), 0);
        QCOMPARE(m_state->ContainerCertFlags.flag(0, 0, KeySpec::Exchange), quint8(0));

        VToken after;
        QCOMPARE(VTokenStore().load(TokenFixture::serial(0), &after), VTokenStore::Result::Ok);
        QCOMPARE(after.containers.size(), 1);
        QVERIFY(!after.containers[0].signature.certificate.isEmpty());
    }
};

QTEST_MAIN(TstCertPage)
#include "tst_certpage.moc"
