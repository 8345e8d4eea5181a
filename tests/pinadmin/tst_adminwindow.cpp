// SPDX-License-Identifier: BSD-3-Clause
// Administrator mode through the whole main window on a virtual token: the administration subtree,
// the page each of its nodes opens, and an initialization that ends in a rebuilt tree.
#include "ScriptedDialogs.h"
#include "TestEnv.h"
#include "TestTimings.h"
#include "TestWait.h"
#include "TokenFixture.h"
#include "VTokenStore.h"
#include "app/PageId.h"
#include "app/TMainForm.h"
#include "app/TNavigator.h"
#include "i18n/ResStrs.h"
#include "pinadmin/TAdminPanel.h"
#include "pinadmin/TInitPage.h"
#include "pinadmin/TUnlockCodeForm.h"
#include "skf/TSkfBinding.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"
#include "ui/TStartOptions.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

class TstAdminWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;

    static QTreeWidget* tree(TMainForm& form) { return form.findChild<QTreeWidget*>(QStringLiteral("tv")); }
    static QTreeWidgetItem* tokenNode(TMainForm& form)
    {
        QTreeWidgetItem* root = tree(form)->topLevelItem(0);
        return root && root->childCount() == 1 && root->child(0)->childCount() > 0 ? root->child(0) : nullptr;
    }
    static QWidget* currentPage(TMainForm& form)
    {
        return form.findChild<QStackedWidget*>(QStringLiteral("RPC"))->currentWidget();
    }
    static std::unique_ptr<TMainForm> start(bool admin, TSkfBinding* skf = nullptr)
    {
        TStartOptions options;
        options.admin = admin;
        auto form = std::make_unique<TMainForm>(options);
        form->state().timings = testTimings();
        form->state().sessions.setSkf(skf);
        form->show();
        return form;
    }

private Q_SLOTS:
    void init()
    {
        ResStrs::resetToDefaults();
        m_env = std::make_unique<TestEnv>(false);
        m_dialogs = std::make_unique<ScriptedDialogs>();
    }
    void cleanup()
    {
        m_dialogs.reset();
        m_env.reset();
    }

    void withoutAdminTheTreeIsAsBefore()
    {
        QVERIFY(TokenFixture::store(TokenFixture::token(0)));
        auto form = start(false);
        QX_TRY_VERIFY(tokenNode(*form));
        QTreeWidgetItem* token = tokenNode(*form);
        QCOMPARE(token->childCount(), 4);
        for (int i = 0; i < token->childCount(); ++i)
            QCOMPARE(token->child(i)->childCount(), 0);
    }

    void adminNodesOpenTheirPages_data()
    {
        QTest::addColumn<QList<int>>("path"); // child indexes below the token node
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("fingerSettingsVisible");
        QTest::addColumn<bool>("sensor"); // the fingerprint nodes are there only for a sensor token
        QTest::newRow("administration") << QList<int>{4} << "管理" << int(PageId::Init) << false << false;
        QTest::newRow("administration of a sensor token")
            << QList<int>{4} << "管理" << int(PageId::Init) << true << true;
        QTest::newRow("initialization")
            << QList<int>{4, 0} << "初始化" << int(PageId::Init) << false << false;
        QTest::newRow("SO PIN change")
            << QList<int>{4, 1} << "修改SO PIN" << int(PageId::SoPin) << false << false;
        QTest::newRow("user PIN unlock")
            << QList<int>{4, 2} << "解锁用户PIN" << int(PageId::Unlock) << false << false;
        QTest::newRow("CD-ROM image") << QList<int>{4, 3} << "下载ISO" << int(PageId::Iso) << false << false;
        QTest::newRow("administrator login")
            << QList<int>{4, 4} << "管理员登录" << int(PageId::SoLogin) << false << false;
        QTest::newRow("administrator login, level 4")
            << QList<int>{4, 4, 0} << "管理员登录" << int(PageId::SoLogin) << false << false;
        QTest::newRow("user fingerprints")
            << QList<int>{4, 4, 1} << "用户指纹" << int(PageId::Finger) << false << true;
        QTest::newRow("administrator fingerprints")
            << QList<int>{4, 4, 2} << "管理员指纹" << int(PageId::Finger) << false << true;
    }

    void adminNodesOpenTheirPages()
    {
        QFETCH(QList<int>, path);
        QFETCH(QString, caption);
        QFETCH(int, page);
        QFETCH(bool, fingerSettingsVisible);
        QFETCH(bool, sensor);
        VToken t = TokenFixture::token(0);
        t.fingerSupport = sensor;
        QVERIFY(TokenFixture::store(t));
        TSkfBinding skf(QStringLiteral(SKF_LIBRARY_DIR "/"));
        auto form = start(true, &skf);
        QX_TRY_VERIFY(tokenNode(*form));
        QTreeWidgetItem* node = tokenNode(*form);
        // A sensor token has its user fingerprint node before the administration node.
        QCOMPARE(node->childCount(), sensor ? 6 : 5);
        QSignalSpy fingerRequests(form.get(), &TMainForm::fingerPageRequested);
        for (qsizetype k = 0; k < path.size(); ++k)
            node = node ? node->child(k == 0 && sensor ? path[k] + 1 : path[k]) : nullptr;
        QVERIFY(node);
        QCOMPARE(node->text(0), caption);
        tree(*form)->setCurrentItem(node);
        QCOMPARE(currentPage(*form), form->page(PageId(page)));
        if (PageId(page) == PageId::Init) {
            auto* init = static_cast<TInitPage*>(form->page(PageId::Init));
            QCOMPARE(init->pageControl()->isTabVisible(3), fingerSettingsVisible);
        }
        if (caption == QStringLiteral("管理员指纹") || caption == QStringLiteral("用户指纹")) {
            QCOMPARE(fingerRequests.size(), 1);
            QCOMPARE(fingerRequests.first().first().toUInt(),
                     caption == QStringLiteral("用户指纹") ? 1u : 0u);
        }
    }

    // The response generator's panel sits below the tree in administrator mode only, with its caption
    // from the catalog; the tree gives it the room.
    void adminPanel_data()
    {
        QTest::addColumn<bool>("admin");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("caption");
        QTest::newRow("not admin") << false << QString() << QStringLiteral("生成应答码");
        QTest::newRow("admin") << true << QString() << QStringLiteral("生成应答码");
        QTest::newRow("admin, English") << true << "EN_1033.lng" << QStringLiteral("Generate response");
    }
    void adminPanel()
    {
        QFETCH(bool, admin);
        QFETCH(QString, language);
        QFETCH(QString, caption);
        if (!language.isEmpty())
            ResStrs::load(qEnvironmentVariable("QX_APPDIR_TEMPLATE") + "/Languages/" + language);
        const VToken token = TokenFixture::token(0);
        QVERIFY(TokenFixture::store(token));
        auto form = start(admin);
        QX_TRY_VERIFY(tokenNode(*form));
        auto* panel = form->findChild<TAdminPanel*>(QStringLiteral("Panel_Admin"));
        QVERIFY(panel);
        QCOMPARE(panel->isVisible(), admin);
        auto* button = panel->findChild<TActionButton*>(QStringLiteral("Button24"));
        QCOMPARE(button->action()->objectName(), QStringLiteral("AcGenUnlockCode"));
        QCOMPARE(button->text(), caption);
        QCOMPARE(button->isEnabled(), admin);
        const QRect treeRect = tree(*form)->geometry();
        if (!admin) {
            QCOMPARE(treeRect.bottom(), TMainForm::ClientHeight - 1);
            return;
        }
        QCOMPARE(treeRect.bottom() + 1, panel->geometry().top());
        QCOMPARE(panel->geometry().bottom(), TMainForm::ClientHeight - 1);
        QVERIFY(button->sizeHint().width() <= panel->width());

        QTest::mouseClick(button, Qt::LeftButton);
        TUnlockCodeForm* generator = panel->generator();
        QVERIFY(generator && generator->isVisible());
        generator->serialEdit()->setText(token.serial);
        generator->challengeEdit()->setText(QStringLiteral("0A1B2C3D4E5F6071"));
        QTest::mouseClick(generator->generateButton(), Qt::LeftButton);
        QCOMPARE(generator->responseEdit()->text().size(), 16);
        // Pictures to look at by eye, only when asked for.
        if (const QString shots = qEnvironmentVariable("QX_SHOTS_DIR"); !shots.isEmpty()) {
            const QString tag =
                QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1String(", "), "-");
            form->grab().save(shots + QStringLiteral("/window-") + tag + QStringLiteral(".png"));
            generator->grab().save(shots + QStringLiteral("/generator-") + tag + QStringLiteral(".png"));
        }
        generator->close();
    }

    // The administrator login on a token with a sensor (its own fingerprint application, then the
    // token library) and on one without (the token library alone), with the right and a wrong SO PIN.
    void adminLoginOnEveryToken_data()
    {
        QTest::addColumn<bool>("sensor");
        QTest::addColumn<bool>("right");
        QTest::newRow("sensor token, right SO PIN") << true << true;
        QTest::newRow("sensor token, wrong SO PIN") << true << false;
        QTest::newRow("plain token, right SO PIN") << false << true;
        QTest::newRow("plain token, wrong SO PIN") << false << false;
    }
    void adminLoginOnEveryToken()
    {
        QFETCH(bool, sensor);
        QFETCH(bool, right);
        VToken t = TokenFixture::token(0);
        t.fingerSupport = sensor;
        QVERIFY(TokenFixture::store(t));
        TSkfBinding skf(QStringLiteral(SKF_LIBRARY_DIR "/"));
        auto form = start(true, &skf);
        QX_TRY_VERIFY(tokenNode(*form));
        QTreeWidgetItem* admin = tokenNode(*form)->child(sensor ? 5 : 4);
        tree(*form)->setCurrentItem(admin->child(4));
        auto* soPin = form->page(PageId::SoLogin)->findChild<QLineEdit*>(QStringLiteral("edtFingerSPIN"));
        soPin->setText(right ? QString::fromLatin1(TokenFixture::SoPin) : QStringLiteral("wrong-so-pin"));
        QTest::keyClick(soPin, Qt::Key_Return);
        QCOMPARE(m_dialogs->texts().size(), 1);
        const QString said = m_dialogs->texts().first();
        QVERIFY2(right ? said == QStringLiteral("登录成功")
                       : said.startsWith(QStringLiteral("口令不正确\r您还有")),
                 qPrintable(said));
        QCOMPARE(form->state().sessions.current()->login(),
                 right ? TTokenSession::Login::AdminBySoPin : TTokenSession::Login::Found);
    }

    // An SO PIN login, then the user's PIN login on the same token: the administrator's rights end
    // with the user's login, in the window and on the device, so no administrator finger is managed.
    void userLoginEndsTheAdministratorsRights()
    {
        VToken t = TokenFixture::token(0);
        t.fingerSupport = true;
        QVERIFY(TokenFixture::store(t));
        TSkfBinding skf(QStringLiteral(SKF_LIBRARY_DIR "/"));
        auto form = start(true, &skf);
        QX_TRY_VERIFY(tokenNode(*form));
        QTreeWidgetItem* token = tokenNode(*form);
        QTreeWidgetItem* soLogin = token->child(5)->child(4);
        tree(*form)->setCurrentItem(soLogin);
        auto* soPin = form->page(PageId::SoLogin)->findChild<QLineEdit*>(QStringLiteral("edtFingerSPIN"));
        soPin->setText(QString::fromLatin1(TokenFixture::SoPin));
        QTest::keyClick(soPin, Qt::Key_Return);
        QCOMPARE(m_dialogs->texts(), QStringList{QStringLiteral("登录成功")});
        TTokenSession* session = form->state().sessions.current();
        const HAPPLICATION app = session->application();
        QVERIFY(app);
        // The device takes the administrator: it answers about the finger, not about the login.
        QCOMPARE(skf.DeleteFinger(app, SKF_ADMIN_TYPE, 3), SAR_FINGER_NOT_EXIST);

        tree(*form)->setCurrentItem(token->child(2));
        auto* pin = form->page(PageId::Login)->findChild<QLineEdit*>(QStringLiteral("edtUPIN"));
        pin->setText(QString::fromLatin1(TokenFixture::UserPin));
        QTest::keyClick(pin, Qt::Key_Return);
        QX_TRY_COMPARE(currentPage(*form), form->page(PageId::Cert));
        QCOMPARE(session->login(), TTokenSession::Login::UserByPin);
        QCOMPARE(skf.DeleteFinger(app, SKF_ADMIN_TYPE, 3), SAR_USER_NOT_LOGGED_IN);

        m_dialogs->clear();
        tree(*form)->setCurrentItem(soLogin->child(2));
        QCOMPARE(currentPage(*form), form->page(PageId::Finger));
        auto* finger = form->page(PageId::Finger)->findChild<QToolButton*>(QStringLiteral("SpeedButton3"));
        QTest::mouseClick(finger, Qt::LeftButton);
        QCOMPARE(m_dialogs->texts(), QStringList{QStringLiteral("未登录，请登录后操作")});
        m_dialogs->clear();
        form->page(PageId::Finger)->findChild<QAction*>(QStringLiteral("AcFingerUnlock"))->trigger();
        QCOMPARE(m_dialogs->texts(), QStringList{QStringLiteral("未登录，请登录后操作")});
    }

    // An initialization from the window: the SO PIN is asked, the token takes the new values and the
    // tree is built again.
    void initializationRebuildsTheTree()
    {
        VToken t = TokenFixture::token(0);
        QVERIFY(TokenFixture::store(t));
        auto form = start(true);
        QX_TRY_VERIFY(tokenNode(*form));
        tree(*form)->setCurrentItem(tokenNode(*form)->child(4)->child(0));
        auto* init = static_cast<TInitPage*>(form->page(PageId::Init));
        init->findChild<QLineEdit*>(QStringLiteral("edtInit_KeyName"))->setText(QStringLiteral("Fresh"));
        m_dialogs->setNextAnswer(true);
        m_dialogs->setNextSoPin(QString::fromLatin1(TokenFixture::SoPin));
        QTreeWidgetItem* before = tokenNode(*form);
        init->initAction()->trigger();
        QVERIFY(m_dialogs->texts().contains(QStringLiteral("操作成功")));
        QX_TRY_VERIFY(tokenNode(*form) && tokenNode(*form) != before &&
                      tokenNode(*form)->text(0) == QStringLiteral("Fresh"));
        QCOMPARE(tokenNode(*form)->childCount(), 5);
    }
};

QTEST_MAIN(TstAdminWindow)
#include "tst_adminwindow.moc"
