// SPDX-License-Identifier: BSD-3-Clause
#include "RecordingShell.h"
#include "TestEnv.h"
#include "app/TDiscovery.h"
#include "app/TMainForm.h"
#include "i18n/ResStrs.h"
#include "pinadmin/TLoginPage.h"
#include "settings/SettingsFile.h"
#include "ui/TActionButton.h"
#include "ui/TPage.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

namespace {

QTreeWidget* tree(TMainForm& form)
{
    return form.findChild<QTreeWidget*>(QStringLiteral("tv"));
}

QStackedWidget* pages(TMainForm& form)
{
    return form.findChild<QStackedWidget*>(QStringLiteral("RPC"));
}

// Root 0 with one token "<label>" and its functions, as discovery builds them.
QTreeWidgetItem* addToken(TMainForm& form, const QString& label)
{
    QTreeWidgetItem* root = tree(form)->topLevelItem(0);
    auto* token = new QTreeWidgetItem(root, {label.trimmed()});
    for (const char* f : {"PIN", "Label", "Certificates", "Remote unlock"})
        new QTreeWidgetItem(token, {QLatin1String(f)});
    // A session for the new token, the earlier tokens' records kept.
    TTokenSessions& sessions = form.state().sessions;
    QList<TQ7Info> records;
    for (int i = 0; i < sessions.count(); ++i)
        records << sessions.at(i)->info();
    sessions.reset(root->indexOfChild(token) + 1);
    sessions.found();
    for (int i = 0; i < records.size(); ++i)
        sessions.at(i)->info() = records[i];
    sessions.at(root->indexOfChild(token))->info().Label = label;
    root->setExpanded(true);
    token->setExpanded(true);
    return token;
}

void writeLanguageFile(const TestEnv& env, const QByteArray& body)
{
    QDir().mkpath(env.appDir() + QStringLiteral("Languages"));
    QFile f(env.appDir() + QStringLiteral("Languages/test.lng"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[Caption]\r\n" + body);
}

} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { ResStrs::resetToDefaults(); }

    void frame()
    {
        TestEnv env;
        TMainForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));

        auto* banner = form.findChild<QLabel*>(QStringLiteral("Image1"));
        QVERIFY(banner);
        QVERIFY(!banner->pixmap().isNull());

        // Every page is in the page control, once; the key information page shows first.
        QCOMPARE(pages(form)->count(), PageCount);
        for (int i = 0; i < PageCount; ++i)
            QVERIFY(pages(form)->indexOf(form.page(PageId(i))) >= 0);
        QCOMPARE(pages(form)->currentWidget(), form.page(PageId::KeyInfo));
        // The catalog's caption with the version.
        QVERIFY(form.windowTitle().startsWith(ResStrs::text("P_Caption") + QStringLiteral("  V")));
    }

    // The banner's words come from the catalog, drawn over the picture or, without it, over a plain
    // background: the banner always speaks the window's language.
    void bannerTextFollowsTheCatalog()
    {
        TestEnv env;
        auto banner = [] {
            TMainForm form;
            return form.findChild<QLabel*>(QStringLiteral("Image1"))->pixmap().toImage();
        };
        const QImage chinese = banner();
        QVERIFY(!chinese.isNull());
        ResStrs::load(env.appDir() + QStringLiteral("Languages/EN_1033.lng"));
        const QImage english = banner();
        QCOMPARE(english.size(), chinese.size());
        QVERIFY(english != chinese);
        QVERIFY(QFile::remove(env.appDir() + QStringLiteral("res/top_img.jpg")));
        QVERIFY(!banner().isNull());
        ResStrs::resetToDefaults();
    }

    void roots()
    {
        TestEnv env;
        TMainForm form;
        QTreeWidget* tv = tree(form);
        QCOMPARE(tv->topLevelItemCount(), 3);
        QCOMPARE(tv->topLevelItem(0)->text(0), QStringLiteral("USBKey列表"));
        QCOMPARE(tv->topLevelItem(1)->text(0), QStringLiteral("系统信息"));
        QCOMPARE(tv->topLevelItem(2)->text(0), QStringLiteral("关于"));
        for (int i = 0; i < 3; ++i)
            QVERIFY(!tv->topLevelItem(i)->icon(0).isNull());
        QCOMPARE(tv->editTriggers(), QAbstractItemView::NoEditTriggers);
    }

    void selectingRoots_data()
    {
        QTest::addColumn<int>("root");
        QTest::addColumn<PageId>("page");
        QTest::newRow("token list keeps the page") << 0 << PageId::KeyLabel;
        QTest::newRow("system information") << 1 << PageId::System;
        QTest::newRow("about") << 2 << PageId::About;
    }
    void selectingRoots()
    {
        QFETCH(int, root);
        QFETCH(PageId, page);
        TestEnv env;
        TMainForm form;
        form.show();
        pages(form)->setCurrentWidget(form.page(PageId::KeyLabel));
        form.state().sessions.setCurrent(9);
        QTreeWidget* tv = tree(form);
        const QRect rect = tv->visualItemRect(tv->topLevelItem(root));
        QTest::mouseClick(tv->viewport(), Qt::LeftButton, {}, rect.center());
        QTRY_COMPARE(pages(form)->currentWidget(), form.page(page));
        QCOMPARE(form.state().currentToken(), root);
    }

    void loadCert_data()
    {
        QTest::addColumn<PageId>("page");
        QTest::addColumn<int>("refreshes");
        QTest::addColumn<int>("loginState");
        QTest::newRow("key information page: a new login is needed") << PageId::KeyInfo << 0 << 1;
        QTest::newRow("certificate page: refreshed") << PageId::Cert << 1 << 2;
    }
    void loadCert()
    {
        QFETCH(PageId, page);
        QFETCH(int, refreshes);
        QFETCH(int, loginState);
        TestEnv env;
        TMainForm form;
        QWidget* certPage = form.page(PageId::Cert);
        auto* refresh = certPage->findChild<QAction*>(QStringLiteral("Acrefresh"));
        if (!refresh) {
            refresh = new QAction(certPage);
            refresh->setObjectName(QStringLiteral("Acrefresh"));
        }
        QSignalSpy triggered(refresh, &QAction::triggered);
        form.state().sessions.reset(2);
        form.state().sessions.setCurrent(1);
        form.state().sessions.at(1)->setLogin(TTokenSession::Login::UserByPin);
        pages(form)->setCurrentWidget(form.page(page));
        form.handleCommand(QStringLiteral("LoadCert"));
        QCOMPARE(triggered.size(), refreshes);
        QCOMPARE(form.state().loginState(1), loginState);
        QCOMPARE(pages(form)->currentWidget(), form.page(page));
    }

    void commandsAreExact_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("closes");
        QTest::newRow("CLOSE") << "CLOSE" << true;
        QTest::newRow("close") << "close" << false;
        QTest::newRow("Close") << "Close" << false;
        QTest::newRow("trailing blank") << "CLOSE " << false;
        QTest::newRow("loadcert") << "loadcert" << false;
        QTest::newRow("empty") << "" << false;
    }
    void commandsAreExact()
    {
        QFETCH(QString, command);
        QFETCH(bool, closes);
        TestEnv env;
        TMainForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.state().sessions.reset(1);
        form.state().sessions.at(0)->setLogin(TTokenSession::Login::UserByPin);
        form.handleCommand(command);
        QCOMPARE(form.isVisible(), !closes);
        QCOMPARE(form.state().closing, closes);
        QCOMPARE(form.state().loginState(0), 2);
    }

    void restoreBringsTheWindowBack()
    {
        TestEnv env;
        TMainForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.showMinimized();
        QTRY_VERIFY(form.isMinimized());
        form.handleCommand(QStringLiteral("restore"));
        QTRY_VERIFY(!form.isMinimized());
        QVERIFY(form.isVisible());
    }

    void monitorProgram_data()
    {
        QTest::addColumn<bool>("present");
        QTest::newRow("present: started") << true;
        QTest::newRow("absent: nothing") << false;
    }
    void monitorProgram()
    {
        QFETCH(bool, present);
        TestEnv env;
        const QString monitor = env.appDir() + QStringLiteral("QX4100Mon");
        if (present) {
            QFile f(monitor);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("#!/bin/sh\n");
            f.close();
            QVERIFY(f.setPermissions(f.permissions() | QFileDevice::ExeOwner));
        }
        RecordingShell shell;
        TMainForm form;
        QCOMPARE(shell.requests().size(), present ? 1 : 0);
        if (present) {
            QVERIFY(shell.requests()[0].program);
            QCOMPARE(shell.requests()[0].target, monitor);
        }
    }

    void creationSteps()
    {
        TestEnv env;
        TMainForm form;
        form.show();
        for (const char* name : {"AcUpdate", "AcSave", "AcMore"}) {
            const auto actions = form.findChildren<QAction*>(QLatin1String(name));
            QVERIFY2(!actions.isEmpty(), name);
            for (QAction* a : actions)
                QVERIFY2(!a->isVisible(), name);
        }
        QVERIFY(!form.findChild<QProgressBar*>(QStringLiteral("pbURLDownFile"))->isVisible());
        QCOMPARE(form.findChild<QLineEdit*>(QStringLiteral("edtInit_KeyName"))->text(),
                 QStringLiteral("QX4100"));
        auto* pcInit = form.findChild<QTabWidget*>(QStringLiteral("PCInit"));
        QCOMPARE(pcInit->currentIndex(), 0);
        QVERIFY(!pcInit->isTabVisible(3));
        for (int i = 0; i < 15; ++i)
            QCOMPARE(form.state().loginState(i), 0);
    }

    void certificateSwitches_data()
    {
        QTest::addColumn<QByteArray>("language"); // empty: no language file
        QTest::addColumn<QList<bool>>("visible"); // AcDelCert, AcInputCert, AcDel, AcOutput
        QTest::newRow("no language file: none") << QByteArray() << QList<bool>{false, false, false, false};
        QTest::newRow("file without switches: export only")
            << QByteArray("P_MSGTitle=x\r\n") << QList<bool>{false, false, false, true};
        QTest::newRow("all on, hexadecimal and decimal")
            << QByteArray("config_Cert_Del=0x1\r\nconfig_Cert_Input=1\r\nconfig_Cont_Del=2\r\nconfig_Cert_"
                          "Output=1\r\n")
            << QList<bool>{true, true, true, true};
        QTest::newRow("export off") << QByteArray("config_Cert_Output=0\r\n")
                                    << QList<bool>{false, false, false, false};
        QTest::newRow("only the low byte counts")
            << QByteArray("config_Cert_Output=256\r\nconfig_Cert_Input=257\r\n")
            << QList<bool>{false, true, false, false};
    }
    void certificateSwitches()
    {
        QFETCH(QByteArray, language);
        QFETCH(QList<bool>, visible);
        TestEnv env;
        if (!language.isEmpty()) {
            writeLanguageFile(env, language);
            ResStrs::load(env.appDir() + QStringLiteral("Languages/test.lng"));
        }
        TMainForm form;
        form.show();
        const char* names[] = {"AcDelCert", "AcInputCert", "AcDel", "AcOutput"};
        for (int i = 0; i < 4; ++i) {
            const auto actions = form.findChildren<QAction*>(QLatin1String(names[i]));
            QVERIFY2(!actions.isEmpty(), names[i]);
            for (QAction* a : actions)
                QCOMPARE(a->isVisible(), visible.at(i));
            // A hidden action hides every button bound to it.
            for (TActionButton* b : form.findChildren<TActionButton*>())
                if (actions.contains(b->action()))
                    QCOMPARE(b->isVisibleTo(b->parentWidget()), visible.at(i));
        }
    }

    void certificatesOfATokenNotLoggedIn()
    {
        TestEnv env;
        TMainForm form;
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTreeWidgetItem* token = addToken(form, QStringLiteral(" My Key "));
        form.state().sessions.at(0)->setLogin(TTokenSession::Login::Found);
        tree(form)->setFocus();
        tree(form)->setCurrentItem(token->child(2));
        QCOMPARE(pages(form)->currentWidget(), form.page(PageId::Login));
        QCOMPARE(form.findChild<QLabel*>(QStringLiteral("Lkeyname"))->text(), QStringLiteral(" My Key "));
        auto* pin = form.findChild<QLineEdit*>(QStringLiteral("edtUPIN"));
        QVERIFY(QApplication::focusWidget() != pin);
        QTRY_COMPARE(QApplication::focusWidget(), pin);
    }

    void labelNodeOffersTheTrimmedLabel()
    {
        TestEnv env;
        TMainForm form;
        form.show();
        QTreeWidgetItem* token = addToken(form, QStringLiteral("  标签 "));
        tree(form)->setCurrentItem(token->child(1));
        QCOMPARE(pages(form)->currentWidget(), form.page(PageId::KeyLabel));
        QCOMPARE(form.findChild<QLineEdit*>(QStringLiteral("edtKeyName"))->text(), QStringLiteral("标签"));
    }

    void discoveryRequestsReachTheWindow()
    {
        TestEnv env;
        TMainForm form;
        TDiscovery* discovery = form.discovery();

        Q_EMIT discovery->showPageRequested(PageId::About);
        QCOMPARE(pages(form)->currentWidget(), form.page(PageId::About));

        QAction* fingerLogon = qobject_cast<TLoginPage*>(form.page(PageId::Login))->fingerLogonAction();
        Q_EMIT discovery->fingerFlagChanged(true);
        QVERIFY(fingerLogon->isVisible());
        Q_EMIT discovery->fingerFlagChanged(false);
        QVERIFY(!fingerLogon->isVisible());

        QDialog import(&form);
        form.setImportDialog(&import);
        import.show();
        Q_EMIT discovery->closeImportDialogRequested();
        QVERIFY(!import.isVisible());
    }

    void settingsAreReadAtCreation()
    {
        TestEnv env;
        QDir().mkpath(env.settingsDir());
        QFile f(env.settingsDir() + QLatin1String(SettingsFile::FileName));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("<c><BaseInfo><OpenURL OpenMode=\"1\" URL=\"http://a.test/\" BrowserMode=\"1\"/>"
                           "<CertEndDay CertDayMode=\"0\" CertDay=\"x\"/></BaseInfo></c>")
                    .toBase64());
        f.close();
        TMainForm form;
        QCOMPARE(form.state().config.OpenMode, 1);
        QCOMPARE(form.state().config.URL, QStringLiteral("http://a.test/"));
        QCOMPARE(form.state().config.BrowserMode, 1);
        QCOMPARE(form.state().config.DefaultPIN, 0);
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
