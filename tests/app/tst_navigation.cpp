// SPDX-License-Identifier: BSD-3-Clause
#include "TestEnv.h"
#include "app/TNavigationPages.h"
#include "app/TNavigator.h"
#include "skf/TSkfBinding.h"
#include "ui/TProgramState.h"

#include <QStringList>
#include <QTest>
#include <QTreeWidget>

namespace {

QString nameOf(PageId page)
{
    switch (page) {
    case PageId::KeyInfo:
        return QStringLiteral("KeyInfo");
    case PageId::UserPin:
        return QStringLiteral("UserPin");
    case PageId::KeyLabel:
        return QStringLiteral("KeyLabel");
    case PageId::Login:
        return QStringLiteral("Login");
    case PageId::Cert:
        return QStringLiteral("Cert");
    case PageId::System:
        return QStringLiteral("System");
    case PageId::About:
        return QStringLiteral("About");
    case PageId::Init:
        return QStringLiteral("Init");
    case PageId::SoPin:
        return QStringLiteral("SoPin");
    case PageId::Unlock:
        return QStringLiteral("Unlock");
    case PageId::Iso:
        return QStringLiteral("Iso");
    case PageId::Finger:
        return QStringLiteral("Finger");
    case PageId::FingerPictures:
        return QStringLiteral("FingerPictures");
    case PageId::SoLogin:
        return QStringLiteral("SoLogin");
    case PageId::RemoteUnlock:
        return QStringLiteral("RemoteUnlock");
    }
    return QString();
}

// Writes down every request in order.
class RecordingPages : public TNavigationPages
{
public:
    QStringList calls;

    void showPage(PageId page) override { calls << QStringLiteral("page ") + nameOf(page); }
    void buildSystemReport() override { calls << QStringLiteral("report"); }
    void matchSkfApplication(const QString& serial) override { calls << QStringLiteral("skf ") + serial; }
    void showKeyInfo(int token) override { calls << QStringLiteral("keyinfo %1").arg(token); }
    void setKeyLabel(const QString& label) override { calls << QStringLiteral("label [%1]").arg(label); }
    void loadCertificates() override { calls << QStringLiteral("certs"); }
    void prepareLogin(const QString& label) override { calls << QStringLiteral("login [%1]").arg(label); }
    void showUserFingerNode() override { calls << QStringLiteral("userfinger"); }
    void showFingerPageFor(quint32 pinType) override { calls << QStringLiteral("finger %1").arg(pinType); }
    void fillInitPage(bool hide) override { calls << QStringLiteral("init%1").arg(hide ? " hide" : ""); }
    void prepareSoLogin() override { calls << QStringLiteral("sologin"); }
};

// A tree shaped like the one the tool builds, with extra levels for the administration nodes:
// three roots; two tokens under root 0, each with six function nodes; under token 1's function 0
// five level-3 nodes, and under the first of those three level-4 nodes.
void buildTree(QTreeWidget& tree)
{
    auto* list = new QTreeWidgetItem(&tree, {"USBKey"});
    new QTreeWidgetItem(&tree, {"System"});
    new QTreeWidgetItem(&tree, {"About"});
    for (int t = 0; t < 2; ++t) {
        auto* token = new QTreeWidgetItem(list, {QStringLiteral("token %1").arg(t)});
        for (int f = 0; f < 6; ++f)
            new QTreeWidgetItem(token, {QStringLiteral("function %1").arg(f)});
    }
    QTreeWidgetItem* function0 = list->child(1)->child(0);
    for (int a = 0; a < 5; ++a)
        new QTreeWidgetItem(function0, {QStringLiteral("admin %1").arg(a)});
    for (int a = 0; a < 3; ++a)
        new QTreeWidgetItem(function0->child(0), {QStringLiteral("deep %1").arg(a)});
}

QTreeWidgetItem* nodeAt(QTreeWidget& tree, const QString& path)
{
    const QStringList steps = path.split(QLatin1Char('/'));
    QTreeWidgetItem* node = tree.topLevelItem(steps.first().toInt());
    for (qsizetype i = 1; i < steps.size() && node; ++i)
        node = node->child(steps.at(i).toInt());
    return node;
}

} // namespace

class TestNavigation : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void select_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("finger");
        QTest::addColumn<int>("loginState"); // of token 1
        QTest::addColumn<int>("currentToken");
        QTest::addColumn<QStringList>("calls");

        QTest::newRow("token list root keeps the page") << "0" << false << 1 << 0 << QStringList();
        QTest::newRow("system root") << "1" << false << 1 << 1 << QStringList{"page System", "report"};
        QTest::newRow("about root") << "2" << false << 1 << 2 << QStringList{"page About"};
        QTest::newRow("token 1") << "0/1" << false << 1 << 1
                                 << QStringList{"page KeyInfo", "skf SN-1-0123456789", "keyinfo 1"};
        QTest::newRow("token 0") << "0/0" << false << 1 << 0
                                 << QStringList{"page KeyInfo", "skf SN-0-0123456789", "keyinfo 0"};
        QTest::newRow("PIN change") << "0/1/0" << false << 1 << 1 << QStringList{"page UserPin"};
        QTest::newRow("label change, label trimmed")
            << "0/1/1" << false << 1 << 1 << QStringList{"label [Key One]", "page KeyLabel"};
        QTest::newRow("certificates, not logged in")
            << "0/1/2" << false << 1 << 1 << QStringList{"login [ Key One ]", "page Login"};
        QTest::newRow("certificates, no login state")
            << "0/1/2" << false << 0 << 1 << QStringList{"login [ Key One ]", "page Login"};
        QTest::newRow("certificates, logged in")
            << "0/1/2" << false << 2 << 1 << QStringList{"certs", "page Cert"};
        QTest::newRow("fourth function with fingerprints")
            << "0/1/3" << true << 1 << 1 << QStringList{"userfinger", "page Finger"};
        QTest::newRow("fourth function without fingerprints is remote unlock")
            << "0/1/3" << false << 1 << 1 << QStringList{"page RemoteUnlock"};
        QTest::newRow("fifth function") << "0/1/4" << true << 1 << 1 << QStringList{"page RemoteUnlock"};
        QTest::newRow("sixth function") << "0/1/5" << false << 1 << 1 << QStringList{"page Init", "init"};
        QTest::newRow("level 3 index 0")
            << "0/1/0/0" << false << 1 << 1 << QStringList{"page Init", "init hide"};
        QTest::newRow("level 3 index 1") << "0/1/0/1" << false << 1 << 1 << QStringList{"page SoPin"};
        QTest::newRow("level 3 index 2") << "0/1/0/2" << false << 1 << 1 << QStringList{"page Unlock"};
        QTest::newRow("level 3 index 3") << "0/1/0/3" << false << 1 << 1 << QStringList{"page Iso"};
        QTest::newRow("level 3 index 4")
            << "0/1/0/4" << false << 1 << 1 << QStringList{"page SoLogin", "sologin"};
        QTest::newRow("level 4 index 0")
            << "0/1/0/0/0" << false << 1 << 1 << QStringList{"page SoLogin", "sologin"};
        QTest::newRow("level 4 index 1")
            << "0/1/0/0/1" << false << 1 << 1 << QStringList{"page Finger", "finger 1"};
        QTest::newRow("level 4 index 2")
            << "0/1/0/0/2" << false << 1 << 1 << QStringList{"page Finger", "finger 0"};
    }
    void select()
    {
        QFETCH(QString, path);
        QFETCH(bool, finger);
        QFETCH(int, loginState);
        QFETCH(int, currentToken);
        QFETCH(QStringList, calls);

        TProgramState state;
        TSkfBinding skf;
        skf.setFingerFlag(finger);
        state.sessions.setSkf(&skf);
        state.sessions.reset(2);
        state.sessions.found();
        state.sessions.setCurrent(7);
        state.sessions.at(0)->info().SerialNumber = QStringLiteral("SN-0-0123456789");
        state.sessions.at(0)->info().Label = QStringLiteral("Key Zero");
        state.sessions.at(1)->info().SerialNumber = QStringLiteral("SN-1-0123456789");
        state.sessions.at(1)->info().Label = QStringLiteral(" Key One ");
        state.sessions.at(1)->setLogin(loginState == 2 ? TTokenSession::Login::UserByPin
                                                       : TTokenSession::Login::Found);

        QTreeWidget tree;
        buildTree(tree);
        RecordingPages pages;
        TNavigator navigator(state, pages);
        QTreeWidgetItem* node = nodeAt(tree, path);
        QVERIFY(node);
        navigator.select(node);
        QCOMPARE(pages.calls, calls);
        QCOMPARE(state.currentToken(), currentToken);
    }

    void nodeIdentityWinsOverPosition_data()
    {
        QTest::addColumn<QVariant>("page");
        QTest::addColumn<QVariant>("pinType");
        QTest::addColumn<QStringList>("calls");
        // Placed where position alone would open the PIN change page.
        QTest::newRow("remote unlock")
            << QVariant::fromValue(PageId::RemoteUnlock) << QVariant() << QStringList{"page RemoteUnlock"};
        QTest::newRow("user's fingerprint node")
            << QVariant::fromValue(PageId::Finger) << QVariant() << QStringList{"userfinger", "page Finger"};
        QTest::newRow("administrator's fingerprints")
            << QVariant::fromValue(PageId::Finger) << QVariant(0u) << QStringList{"page Finger", "finger 0"};
        QTest::newRow("certificates, not logged in") << QVariant::fromValue(PageId::Cert) << QVariant()
                                                     << QStringList{"login [ Key One ]", "page Login"};
    }
    void nodeIdentityWinsOverPosition()
    {
        QFETCH(QVariant, page);
        QFETCH(QVariant, pinType);
        QFETCH(QStringList, calls);
        TProgramState state;
        state.sessions.reset(2);
        state.sessions.at(1)->info().Label = QStringLiteral(" Key One ");
        state.sessions.at(1)->setLogin(TTokenSession::Login::Found);
        QTreeWidget tree;
        buildTree(tree);
        QTreeWidgetItem* node = nodeAt(tree, QStringLiteral("0/1/0"));
        node->setData(0, TNavigator::PageRole, page);
        if (pinType.isValid())
            node->setData(0, TNavigator::PinTypeRole, pinType);
        RecordingPages pages;
        TNavigator(state, pages).select(node);
        QCOMPARE(pages.calls, calls);
        QCOMPARE(state.currentToken(), 1);
    }

    void nothingSelectedChangesNothing()
    {
        TProgramState state;
        state.sessions.setCurrent(3);
        RecordingPages pages;
        TNavigator(state, pages).select(nullptr);
        QVERIFY(pages.calls.isEmpty());
        QCOMPARE(state.currentToken(), 3);
    }

    void tokenBeyondTheTableIsSafe()
    {
        // A hand-made tree may hold more tokens than the table; nothing is read past its end.
        TProgramState state;
        QTreeWidget tree;
        auto* list = new QTreeWidgetItem(&tree, {"USBKey"});
        for (int t = 0; t < TProgramState::MaxTokens + 3; ++t)
            new QTreeWidgetItem(new QTreeWidgetItem(list, {"token"}), {"f0"});
        RecordingPages pages;
        TNavigator navigator(state, pages);
        for (int i = 0; i < 3; ++i)
            new QTreeWidgetItem(list->child(TProgramState::MaxTokens + 2), {"f"});
        navigator.select(list->child(TProgramState::MaxTokens + 2)->child(2));
        QCOMPARE(pages.calls, QStringList({"login []", "page Login"}));
        navigator.select(list->child(TProgramState::MaxTokens + 2)->child(1));
        QCOMPARE(state.currentToken(), TProgramState::MaxTokens + 2);
    }
};

QTEST_MAIN(TestNavigation)
#include "tst_navigation.moc"
