// SPDX-License-Identifier: BSD-3-Clause
// The certificate work through the whole main window on a virtual token: the token's certificates
// node leads to the login page, a login to the tree of what the token holds, a logout back to an
// empty PIN field.
#include "ScriptedDialogs.h"
#include "TestEnv.h"
#include "TestTimings.h"
#include "TestWait.h"
#include "TokenFixture.h"
#include "app/PageId.h"
#include "app/TMainForm.h"
#include "certs/TCertExpiryNotice.h"
#include "i18n/ResStrs.h"
#include "token/CerMgrApis.h"
#include "token/TQ7CertInfo.h"
#include "ui/TActionButton.h"
#include "ui/TPage.h"
#include "ui/TProgramState.h"

#include <QAction>
#include <QDateTime>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

class TestCertFlow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;

    static QTreeWidgetItem* certificatesNode(TMainForm& form)
    {
        QTreeWidgetItem* root = form.findChild<QTreeWidget*>(QStringLiteral("tv"))->topLevelItem(0);
        if (!root || root->childCount() != 1)
            return nullptr;
        QTreeWidgetItem* token = root->child(0);
        for (int i = 0; i < token->childCount(); ++i)
            if (token->child(i)->data(0, TNavigator::PageRole).value<PageId>() == PageId::Cert)
                return token->child(i);
        return nullptr;
    }

    static QWidget* currentPage(TMainForm& form)
    {
        return form.findChild<QStackedWidget*>(QStringLiteral("RPC"))->currentWidget();
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

    void loginTreeAndLogout()
    {
        VToken t = TokenFixture::token(0);
        VToken::Container box = TokenFixture::container("box");
        box.exchange = TokenFixture::half(QStringLiteral("user"));
        box.signature = TokenFixture::half(QStringLiteral("root"));
        t.containers << box << TokenFixture::container("empty box");
        QVERIFY(TokenFixture::store(t));

        TMainForm form;
        form.state().timings = testTimings();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QX_TRY_VERIFY(certificatesNode(form));
        form.findChild<QTreeWidget*>(QStringLiteral("tv"))->setCurrentItem(certificatesNode(form));
        QCOMPARE(currentPage(form), form.page(PageId::Login));

        auto* pin = form.page(PageId::Login)->findChild<QLineEdit*>(QStringLiteral("edtUPIN"));
        QVERIFY(pin);
        QTest::keyClicks(pin, QString::fromLatin1(TokenFixture::UserPin));
        QTest::keyClick(pin, Qt::Key_Return);
        QX_TRY_COMPARE(currentPage(form), form.page(PageId::Cert));
        QCOMPARE(pin->text(), QString()); // nobody after us logs in with Enter

        auto* certs = form.page(PageId::Cert)->findChild<QTreeWidget*>(QStringLiteral("tvCert"));
        QVERIFY(certs);
        QCOMPARE(certs->topLevelItemCount(), 2);
        QVERIFY(certs->topLevelItem(0)->text(0).startsWith(QLatin1String("box")));
        QCOMPARE(certs->topLevelItem(0)->childCount(), 2);
        QCOMPARE(form.state().loginState(0), 2);

        // Back on the certificates node, the logged-in token goes straight to its tree.
        form.findChild<QTreeWidget*>(QStringLiteral("tv"))->setCurrentItem(certificatesNode(form)->parent());
        form.findChild<QTreeWidget*>(QStringLiteral("tv"))->setCurrentItem(certificatesNode(form));
        QCOMPARE(currentPage(form), form.page(PageId::Cert));

        QTest::keyClicks(pin, QStringLiteral("left over"));
        auto* logout = form.page(PageId::Cert)->findChild<TActionButton*>(QStringLiteral("Button9"));
        QVERIFY(logout);
        QX_TRY_VERIFY(logout->isEnabled());
        QTest::mouseClick(logout, Qt::LeftButton);
        QCOMPARE(currentPage(form), form.page(PageId::Login));
        QCOMPARE(form.state().loginState(0), 1);
        QCOMPARE(pin->text(), QString());
    }

    // The window checks the tokens it finds: a certificate that is due is named once, at start, and a
    // refresh from the button with the same token in does not name it again.
    // A new label shows on the token's node at once.
    void labelChangeRenamesTheNode()
    {
        QVERIFY(TokenFixture::store(TokenFixture::token(0)));
        TMainForm form;
        form.state().timings = testTimings();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QX_TRY_VERIFY(certificatesNode(form));
        QTreeWidgetItem* token = certificatesNode(form)->parent();
        form.state().sessions.setCurrent(0);
        auto* name = form.page(PageId::KeyLabel)->findChild<QLineEdit*>(QStringLiteral("edtKeyName"));
        QVERIFY(name);
        name->setText(QStringLiteral("  新标签 Desk"));
        QTest::keyClicks(name, QStringLiteral(" 7 "));
        auto* set = form.page(PageId::KeyLabel)->findChild<QAction*>(QStringLiteral("AcSetKeyName"));
        QX_TRY_VERIFY(set->isEnabled());
        set->trigger();
        QCOMPARE(m_dialogs->lastText(), ResStrs::text("K_Set_Yes"));
        QCOMPARE(token->text(0), QStringLiteral("新标签 Desk 7"));
    }

    void dueCertificateNamedOnceAtStart_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("on") << 1;
        QTest::newRow("off") << 0;
    }
    void dueCertificateNamedOnceAtStart()
    {
        QFETCH(int, mode);
        VToken t = TokenFixture::token(0);
        t.label = "Carol";
        VToken::Container box = TokenFixture::container("box");
        box.exchange = TokenFixture::half(QStringLiteral("user"));
        box.signature = TokenFixture::half(QStringLiteral("root"));
        t.containers << box;
        QVERIFY(TokenFixture::store(t));
        TQ7CertInfo user;
        QCOMPARE(CerMgrApis::DescribeCertificate(TokenFixture::certificate(QStringLiteral("user")), user),
                 TokenStatus::Success);
        // The user certificate is due (it expired in November 2026); the root one runs until 2039.
        const QDate today = QDateTime::currentDateTimeUtc().date();
        const qint64 due = today.daysTo(QDate(user.ValidTo[0], user.ValidTo[1], user.ValidTo[2]));

        TMainForm form;
        form.state().timings = testTimings();
        form.state().config.CertDayMode = mode;
        form.state().config.CertDay = int(qMax<qint64>(30, due + 1));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QX_TRY_VERIFY(certificatesNode(form));
        auto* notice = form.findChild<TCertExpiryNotice*>();
        if (mode == 0) {
            QVERIFY(!notice);
            return;
        }
        QVERIFY(notice && notice->isVisible());
        QTreeWidgetItem* head = notice->list()->topLevelItem(0);
        QCOMPARE(notice->list()->topLevelItemCount(), 1);
        QCOMPARE(head->text(0), QStringLiteral("Carol"));
        QCOMPARE(head->childCount(), 1);
        QCOMPARE(head->child(0)->text(TCertExpiryNotice::Subject), user.Subject);
        QCOMPARE(head->child(0)->text(TCertExpiryNotice::Container), QStringLiteral("box"));
        QCOMPARE(head->child(0)->text(TCertExpiryNotice::EndDate), user.ValidToText);
        notice->accept();

        form.page(PageId::KeyInfo)->findChild<QAction*>(QStringLiteral("AcFindKeyRefresh"))->trigger();
        QX_TRY_VERIFY(certificatesNode(form));
        QVERIFY(!notice->isVisible());
        QCOMPARE(form.findChildren<TCertExpiryNotice*>().size(), 1);
    }
};

QTEST_MAIN(TestCertFlow)
#include "tst_certflow.moc"
