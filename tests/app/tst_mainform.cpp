#include "RecordingShell.h"
#include "TestEnv.h"
#include "app/SettingsFile.h"
#include "app/TMainForm.h"
#include "i18n/ResStrs.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QStackedWidget>
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
        QCOMPARE(form.size(), QSize(674, 432));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));

        auto* banner = form.findChild<QLabel*>(QStringLiteral("Image1"));
        QVERIFY(banner);
        QCOMPARE(banner->geometry(), QRect(0, 0, 674, 85));
        QVERIFY(!banner->pixmap().isNull());
        QCOMPARE(tree(form)->geometry(), QRect(0, 85, 220, 347));
        QCOMPARE(pages(form)->geometry(), QRect(220, 85, 454, 347));

        const QStringList names = {"TabSheet1",  "TabSheet2",  "TabSheet3",  "TabSheet4",  "TabSheet5",
                                   "TabSheet6",  "TabSheet7",  "TabSheet8",  "TabSheet9",  "TabSheet10",
                                   "TabSheet11", "TabSheet15", "TabSheet17", "TabSheet18", "TabSheet20"};
        QCOMPARE(pages(form)->count(), names.size());
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(pages(form)->widget(i)->objectName(), names.at(i));
        QCOMPARE(pages(form)->currentIndex(), 0);
    }

    void missingBannerLeavesTheImageEmpty()
    {
        TestEnv env;
        QVERIFY(QFile::remove(env.appDir() + QStringLiteral("res/top_img.jpg")));
        TMainForm form;
        QVERIFY(form.findChild<QLabel*>(QStringLiteral("Image1"))->pixmap().isNull());
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
        QTest::addColumn<int>("page");
        QTest::newRow("token list keeps the page") << 0 << 2;
        QTest::newRow("system information") << 1 << 5;
        QTest::newRow("about") << 2 << 6;
    }
    void selectingRoots()
    {
        QFETCH(int, root);
        QFETCH(int, page);
        TestEnv env;
        TMainForm form;
        form.show();
        pages(form)->setCurrentIndex(2);
        form.state().currentToken = 9;
        QTreeWidget* tv = tree(form);
        const QRect rect = tv->visualItemRect(tv->topLevelItem(root));
        QTest::mouseClick(tv->viewport(), Qt::LeftButton, {}, rect.center());
        QTRY_COMPARE(pages(form)->currentIndex(), page);
        QCOMPARE(form.state().currentToken, root);
    }

    void loadCert_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("refreshes");
        QTest::addColumn<int>("loginState");
        QTest::newRow("key information page: a new login is needed") << 0 << 0 << 1;
        QTest::newRow("certificate page: refreshed") << 4 << 1 << 2;
    }
    void loadCert()
    {
        QFETCH(int, page);
        QFETCH(int, refreshes);
        QFETCH(int, loginState);
        TestEnv env;
        TMainForm form;
        QWidget* certPage = pages(form)->widget(TMainForm::CertPage);
        auto* refresh = certPage->findChild<QAction*>(QStringLiteral("Acrefresh"));
        if (!refresh) {
            refresh = new QAction(certPage);
            refresh->setObjectName(QStringLiteral("Acrefresh"));
        }
        QSignalSpy triggered(refresh, &QAction::triggered);
        form.state().currentToken = 1;
        form.state().loginState[1] = 2;
        pages(form)->setCurrentIndex(page);
        form.handleCommand(QStringLiteral("LoadCert"));
        QCOMPARE(triggered.size(), refreshes);
        QCOMPARE(form.state().loginState[1], loginState);
        QCOMPARE(pages(form)->currentIndex(), page);
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
        form.state().loginState[0] = 2;
        form.handleCommand(command);
        QCOMPARE(form.isVisible(), !closes);
        QCOMPARE(form.state().closing, closes);
        QCOMPARE(form.state().loginState[0], 2);
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
