// SPDX-License-Identifier: BSD-3-Clause
// The fingerprint side through the whole main window on virtual sensor tokens: the page with its
// marks, enrollment, deletion, the test and verification dialogs, unblocking and the fingerprint
// login, each acting on the token selected and on no other.
#include "ScriptedDialogs.h"
#include "TestEnv.h"
#include "TestTimings.h"
#include "TestWait.h"
#include "TokenFixture.h"
#include "VFingerprints.h"
#include "VSensor.h"
#include "VTokenStore.h"
#include "app/PageId.h"
#include "app/TMainForm.h"
#include "finger/TFingerPage.h"
#include "finger/TFingerTestForm.h"
#include "finger/TFingerVerifyForm.h"
#include "i18n/ResStrs.h"
#include "platform/AppPaths.h"
#include "skf/TSkfBinding.h"
#include "token/CerMgrApis.h"
#include "ui/TProgramState.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QtTest>

#include <functional>
#include <memory>

class TstFingerFlow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<TSkfBinding> m_skf;

    // A token with a sensor (or without) and the user's fingers already enrolled.
    static bool storeToken(int index, bool sensor, const QList<int>& userFingers = {}, int userRetries = 10)
    {
        VToken t = TokenFixture::token(index);
        t.fingerSupport = sensor;
        VFingerprints f = VFingerprints::read(t);
        for (int n : userFingers)
            f.user.fingers.insert(n, n);
        f.user.retriesLeft = userRetries;
        f.write(t);
        return TokenFixture::store(t);
    }
    void place(int index, int finger, int times = 1)
    {
        VSensor sensor(m_env->tokenStore(), TokenFixture::serial(index));
        for (int i = 0; i < times; ++i)
            QVERIFY(sensor.place(finger));
    }

    std::unique_ptr<TMainForm> openWindow()
    {
        auto form = std::make_unique<TMainForm>();
        form->state().timings = testTimings();
        form->state().sessions.setSkf(m_skf.get());
        form->show();
        return form;
    }
    static QTreeWidgetItem* node(TMainForm& form, int token, PageId page)
    {
        QTreeWidgetItem* root = form.findChild<QTreeWidget*>(QStringLiteral("tv"))->topLevelItem(0);
        if (!root || token >= root->childCount())
            return nullptr;
        QTreeWidgetItem* t = root->child(token);
        for (int i = 0; i < t->childCount(); ++i)
            if (t->child(i)->data(0, TNavigator::PageRole).value<PageId>() == page)
                return t->child(i);
        return nullptr;
    }
    static void select(TMainForm& form, QTreeWidgetItem* item)
    {
        form.findChild<QTreeWidget*>(QStringLiteral("tv"))->setCurrentItem(item);
    }
    static QWidget* currentPage(TMainForm& form)
    {
        return form.findChild<QStackedWidget*>(QStringLiteral("RPC"))->currentWidget();
    }
    static TFingerPage* fingerPage(TMainForm& form)
    {
        return qobject_cast<TFingerPage*>(form.page(PageId::Finger));
    }
    // The fingers the page marks as enrolled.
    static QList<int> marked(TFingerPage* page)
    {
        QList<int> v;
        const QImage mark = page->markImage(0).pixmap(32).toImage();
        for (int n = 1; n <= 10; ++n)
            if (!page->fingerButton(n)->icon().isNull() &&
                page->fingerButton(n)->icon().pixmap(32).toImage() == mark)
                v << n;
        return v;
    }
    // Logs token `index` in with its user PIN through its certificates node.
    static void login(TMainForm& form, int index)
    {
        select(form, node(form, index, PageId::Cert));
        auto* pin = form.page(PageId::Login)->findChild<QLineEdit*>(QStringLiteral("edtUPIN"));
        QTest::keyClicks(pin, QString::fromLatin1(TokenFixture::UserPin));
        QTest::keyClick(pin, Qt::Key_Return);
        QX_TRY_COMPARE(currentPage(form), form.page(PageId::Cert));
    }
    // Acts on the next modal dialog of type D once `ready` holds for it.
    template <typename D> static void whenOpen(std::function<bool(D*)> act)
    {
        auto* timer = new QTimer;
        timer->setInterval(1);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
            auto* d = qobject_cast<D*>(QApplication::activeModalWidget());
            if (d && act(d))
                timer->deleteLater();
        });
        timer->start();
    }

private Q_SLOTS:
    void init()
    {
        ResStrs::resetToDefaults();
        m_env = std::make_unique<TestEnv>(true);
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_skf = std::make_unique<TSkfBinding>(QStringLiteral(SKF_LIBRARY_DIR "/"));
        QVERIFY(m_skf->isLoaded());
    }
    void cleanup()
    {
        m_skf.reset();
        m_dialogs.reset();
        m_env.reset();
    }

    // Each token's fingerprint node, rows and page follow its own sensor, not the first token's.
    void fingerprintStateIsPerToken_data()
    {
        QTest::addColumn<bool>("firstHasSensor");
        QTest::newRow("sensor token second") << false;
        QTest::newRow("sensor token first") << true;
    }
    void fingerprintStateIsPerToken()
    {
        QFETCH(bool, firstHasSensor);
        const int sensorToken = firstHasSensor ? 0 : 1;
        const int plainToken = 1 - sensorToken;
        QVERIFY(storeToken(sensorToken, true, {2, 7}));
        QVERIFY(storeToken(plainToken, false));
        auto form = openWindow();
        QX_TRY_VERIFY(node(*form, 1, PageId::Cert));
        QVERIFY(node(*form, sensorToken, PageId::Finger));
        QVERIFY(!node(*form, plainToken, PageId::Finger));

        select(*form, node(*form, sensorToken, PageId::Finger));
        QCOMPARE(currentPage(*form), form->page(PageId::Finger));
        QCOMPARE(marked(fingerPage(*form)), (QList<int>{2, 7}));

        // The plain token's login page offers no fingerprint login.
        select(*form, node(*form, plainToken, PageId::Cert));
        auto* logon = form->page(PageId::Login)->findChild<QAction*>(QStringLiteral("AcFingerlogon"));
        QVERIFY(!logon->isVisible());
        select(*form, node(*form, sensorToken, PageId::Cert));
        QVERIFY(logon->isVisible());
    }

    void enrollTestDeleteAndUnblock()
    {
        QVERIFY(storeToken(0, true, {5}));
        auto form = openWindow();
        QX_TRY_VERIFY(node(*form, 0, PageId::Finger));
        TFingerPage* page = fingerPage(*form);

        // Not logged in: a click enrolls nothing.
        select(*form, node(*form, 0, PageId::Finger));
        page->fingerButton(3)->click();
        QCOMPARE(m_dialogs->lastText(), ResStrs::text("P_SAR_USER_NOT_LOGGED_IN"));

        login(*form, 0);
        select(*form, node(*form, 0, PageId::Finger));
        place(0, 3, 3);                 // three samples make one enrollment
        page->fingerButton(3)->click(); // the dialog counts down and closes by itself
        QCOMPARE(marked(page), (QList<int>{3, 5}));

        // The test marks the finger that matched; a new test clears the marker first.
        place(0, 5);
        whenOpen<TFingerTestForm>([page](TFingerTestForm* d) {
            if (d->findChild<QLabel*>(QStringLiteral("LMsg"))->text() != ResStrs::text("F_Test_OK"))
                return false;
            const QImage matched = page->markImage(1).pixmap(32).toImage();
            if (d->matchedFinger() == 5 && d->fingerButton(5)->icon().pixmap(32).toImage() == matched)
                d->findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
            return true;
        });
        page->findChild<QAction*>(QStringLiteral("AcFingerTest"))->trigger();
        QVERIFY(!QApplication::activeModalWidget());

        // An unknown finger fails the test.
        place(0, VSensor::UnknownFinger);
        QString shown;
        whenOpen<TFingerTestForm>([&shown](TFingerTestForm* d) {
            auto* msg = d->findChild<QLabel*>(QStringLiteral("LMsg"));
            if (!d->findChild<QPushButton*>(QStringLiteral("btnCancel"))->isEnabled())
                return false;
            shown = msg->text();
            d->findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
            return true;
        });
        page->findChild<QAction*>(QStringLiteral("AcFingerTest"))->trigger();
        QCOMPARE(shown, ResStrs::text("F_Test_Error"));

        // Deleting one finger asks first; No keeps it.
        m_dialogs->setNextAnswer(false);
        page->fingerButton(3)->click();
        QCOMPARE(marked(page), (QList<int>{3, 5}));
        m_dialogs->setNextAnswer(true);
        page->fingerButton(3)->click();
        QCOMPARE(marked(page), (QList<int>{5}));

        m_dialogs->clear();
        page->findChild<QAction*>(QStringLiteral("AcFingerUnlock"))->trigger();
        QCOMPARE(m_dialogs->lastText(), ResStrs::text("Change_Yes"));

        m_dialogs->setNextAnswer(true);
        page->findChild<QAction*>(QStringLiteral("AcFingerDel"))->trigger();
        QCOMPARE(marked(page), QList<int>());
        // The actions stay enabled after delete-all; a test then finds no finger.
        page->findChild<QAction*>(QStringLiteral("AcFingerTest"))->trigger();
        QCOMPARE(m_dialogs->lastText(), ResStrs::text("P_SAR_FINGER_NOT_EXIST"));
    }

    // The fingerprint login logs in the token selected, the second one, and shows its certificates.
    void fingerLogonReachesTheSelectedTokensCertificates()
    {
        QVERIFY(storeToken(0, true, {1}));
        QVERIFY(storeToken(1, true, {4}));
        auto form = openWindow();
        QX_TRY_VERIFY(node(*form, 1, PageId::Cert));
        select(*form, node(*form, 1, PageId::Cert));
        QCOMPARE(currentPage(*form), form->page(PageId::Login));
        auto* logon = form->page(PageId::Login)->findChild<QAction*>(QStringLiteral("AcFingerlogon"));
        QVERIFY(logon->isVisible());
        QX_TRY_VERIFY(logon->isEnabled());
        place(1, 4);
        logon->trigger();
        QCOMPARE(currentPage(*form), form->page(PageId::Cert));
        QCOMPARE(form->state().loginState(1), 2);
        QCOMPARE(form->state().loginState(0), 1);
    }

    // The administrator's finger, on the SO login page of the selected token: that token's user login
    // ends there, the first token's stays.
    void administratorFingerLogon()
    {
        QVERIFY(storeToken(0, true, {1}));
        VToken t = TokenFixture::token(1);
        t.fingerSupport = true;
        VFingerprints f = VFingerprints::read(t);
        f.admin.fingers.insert(6, 6);
        f.admin.retriesLeft = 10;
        f.write(t);
        QVERIFY(TokenFixture::store(t));
        TStartOptions options;
        options.admin = true;
        TMainForm form(options);
        form.state().timings = testTimings();
        form.state().sessions.setSkf(m_skf.get());
        form.show();
        QX_TRY_VERIFY(node(form, 1, PageId::Cert));
        login(form, 0);
        login(form, 1);
        QTreeWidgetItem* soLogin = nullptr;
        for (QTreeWidgetItemIterator it(
                 form.findChild<QTreeWidget*>(QStringLiteral("tv"))->topLevelItem(0)->child(1));
             *it && !soLogin; ++it)
            if ((*it)->data(0, TNavigator::PageRole).value<PageId>() == PageId::SoLogin)
                soLogin = *it;
        QVERIFY(soLogin);
        select(form, soLogin);
        QCOMPARE(currentPage(form), form.page(PageId::SoLogin));
        auto* logon =
            form.page(PageId::SoLogin)->findChild<QAction*>(QStringLiteral("AcFinger_SOPINFinger_Login"));
        QX_TRY_VERIFY(logon->isEnabled());
        place(1, 6);
        logon->trigger();
        QCOMPARE(m_dialogs->lastText(), ResStrs::text("F_Login_OK"));
        QCOMPARE(form.state().loginState(1), 1);
        QCOMPARE(form.state().loginState(0), 2);
    }

    void fingerLogonRefusesABlockedFinger()
    {
        QVERIFY(storeToken(0, true, {1}, 0));
        auto form = openWindow();
        QX_TRY_VERIFY(node(*form, 0, PageId::Cert));
        select(*form, node(*form, 0, PageId::Cert));
        auto* logon = form->page(PageId::Login)->findChild<QAction*>(QStringLiteral("AcFingerlogon"));
        QX_TRY_VERIFY(logon->isEnabled());
        logon->trigger();
        QCOMPARE(m_dialogs->lastText(), ResStrs::text("P_SAR_PIN_LOCKED"));
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(form->state().loginState(0), 1);
    }

    // A finger nobody enrolled costs a try; the retries shown come from the device library.
    void verificationCountsRetriesDown_data()
    {
        QTest::addColumn<uint32_t>("pinType");
        QTest::newRow("administrator") << uint32_t(SKF_ADMIN_TYPE);
        QTest::newRow("user") << uint32_t(SKF_USER_TYPE);
    }
    void verificationCountsRetriesDown()
    {
        QFETCH(uint32_t, pinType);
        VToken t = TokenFixture::token(0);
        t.fingerSupport = true;
        VFingerprints f = VFingerprints::read(t);
        f.owner(int(pinType)).fingers.insert(6, 6);
        f.write(t);
        QVERIFY(TokenFixture::store(t));
        QCOMPARE(CerMgrApis::InitTokenLibrary(ResStrs::text("PKCS11Name")), 0u);
        const auto stop = qScopeGuard([] { CerMgrApis::FreeTokenLibrary(); });
        qint32 count = 0;
        QCOMPARE(CerMgrApis::FindAndConnectTokens(count), 0u);
        QCOMPARE(m_skf->LoadFingerDevices(), uint32_t(SAR_OK));

        // Each attempt is one dialog; it counts down and closes by itself.
        QStringList shown;
        QList<uint32_t> retries;
        for (int finger : {VSensor::UnknownFinger, VSensor::UnknownFinger, 6}) {
            place(0, finger);
            TFingerVerifyForm dialog(*m_skf, testTimings());
            dialog.setTokenSlot(0);
            dialog.setApplication(m_skf->currentApplication());
            dialog.setPinType(pinType);
            dialog.exec();
            shown << dialog.findChild<QLabel*>(QStringLiteral("LMsg"))->text();
            QCOMPARE(dialog.status() == 0, finger == 6);
            TFingerInfo info;
            m_skf->GetFingerInfo(m_skf->currentApplication(), pinType, info);
            retries << info.RetriesLeft;
        }
        // The token reports a finger that did not match; the library tells the retries left.
        QCOMPARE(shown, (QStringList{ResStrs::text("F_Test_Error"), ResStrs::text("F_Test_Error"),
                                     ResStrs::text("F_Test_OK")}));
        // Two failures cost two tries; the match gives them back.
        QCOMPARE(retries, (QList<uint32_t>{9, 8, uint32_t(VFingerprints::DefaultRetries)}));
    }

    void verificationShowsTheRetriesLeftAfterOtherFailures()
    {
        VToken t = TokenFixture::token(0);
        t.fingerSupport = true;
        VFingerprints f = VFingerprints::read(t);
        f.user.fingers.insert(6, 6);
        f.user.retriesLeft = 2;
        f.write(t);
        QVERIFY(TokenFixture::store(t));
        QCOMPARE(CerMgrApis::InitTokenLibrary(ResStrs::text("PKCS11Name")), 0u);
        const auto stop = qScopeGuard([] { CerMgrApis::FreeTokenLibrary(); });
        qint32 count = 0;
        QCOMPARE(CerMgrApis::FindAndConnectTokens(count), 0u);
        QCOMPARE(m_skf->LoadFingerDevices(), uint32_t(SAR_OK));
        // Slot 5 holds no token: the login fails without a verdict on the finger.
        TFingerVerifyForm dialog(*m_skf, testTimings());
        dialog.setTokenSlot(5);
        dialog.setApplication(m_skf->currentApplication());
        dialog.setPinType(SKF_USER_TYPE);
        dialog.exec();
        QVERIFY(dialog.status() != 0);
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("LMsg"))->text(),
                 ResStrs::format("F_Verify_Format", 2));
    }

    // Pictures to look at by eye, taken only when QX_FINGER_SHOTS names a folder: the page with two
    // enrolled fingers and the test dialog after a match, in Chinese and in English.
    void screenshots_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("chinese") << QString();
        QTest::newRow("english") << QStringLiteral("EN_1033.lng");
    }
    void screenshots()
    {
        QFETCH(QString, language);
        const QString folder = qEnvironmentVariable("QX_FINGER_SHOTS");
        if (folder.isEmpty())
            QSKIP("QX_FINGER_SHOTS is not set");
        if (!language.isEmpty())
            ResStrs::load(AppPaths::applicationDir() + QStringLiteral("Languages/") + language);
        const QString suffix = language.isEmpty() ? QString() : QStringLiteral("_1033");
        QVERIFY(storeToken(0, true, {2, 8}));
        auto form = openWindow();
        QX_TRY_VERIFY(node(*form, 0, PageId::Finger));
        select(*form, node(*form, 0, PageId::Finger));
        QVERIFY(form->grab().save(folder + QStringLiteral("/finger_page%1.png").arg(suffix)));
        place(0, 8);
        whenOpen<TFingerTestForm>([&](TFingerTestForm* d) {
            if (d->findChild<QLabel*>(QStringLiteral("LMsg"))->text() != ResStrs::text("F_Test_OK"))
                return false;
            d->grab().save(folder + QStringLiteral("/finger_test%1.png").arg(suffix));
            d->findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
            return true;
        });
        fingerPage(*form)->findChild<QAction*>(QStringLiteral("AcFingerTest"))->trigger();
    }

    // Without the device library the page says so and the window keeps working.
    void missingLibrary()
    {
        m_skf = std::make_unique<TSkfBinding>(m_env->appDir());
        QVERIFY(!m_skf->isLoaded());
        QVERIFY(storeToken(0, true, {2}));
        auto form = openWindow();
        QX_TRY_VERIFY(node(*form, 0, PageId::Finger));
        select(*form, node(*form, 0, PageId::Finger));
        QCOMPARE(marked(fingerPage(*form)), QList<int>());
        QCOMPARE(fingerPage(*form)->findChild<QLabel*>(QStringLiteral("LFingerInfo1"))->text(),
                 QStringLiteral("操作失败(0x0EEEEEEE)"));
        login(*form, 0);
    }
};

QTEST_MAIN(TstFingerFlow)
#include "tst_fingerflow.moc"
