// SPDX-License-Identifier: BSD-3-Clause
// The tool as a user gets it from `cmake --install`: installed into a temporary prefix, started from
// there headless with a demo virtual token, it must find its own libraries, language files and
// pictures in the installed layout and write nothing into it.
#include "TestEnv.h"
#include "app/PageId.h"
#include "app/StartUp.h"
#include "app/TMainForm.h"
#include "i18n/ResStrs.h"
#include "platform/AppPaths.h"
#include "platform/CopyDataChannel.h"
#include "settings/SettingsFile.h"
#include "skf/TSkfBinding.h"
#include "ui/TPage.h"

#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {

QStringList treeListing(const QString& root)
{
    QStringList files;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

// The files a process has mapped, from /proc/<pid>/maps.
QString mappedFiles(qint64 pid)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    return maps.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(maps.readAll()) : QString();
}

} // namespace

class TestInstalledTool : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_prefix.isValid());
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(qEnvironmentVariable("QX_CMAKE"),
                      {QStringLiteral("--install"), qEnvironmentVariable("QX_BUILD_DIR"),
                       QStringLiteral("--prefix"), m_prefix.path()});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitCode() == 0, install.readAll().constData());
        m_libDir =
            m_prefix.path() + QLatin1Char('/') + qEnvironmentVariable("QX_INSTALL_LIBDIR") + QLatin1Char('/');
    }

    void layout_data()
    {
        QTest::addColumn<QString>("file");
        for (const char* f : {"bin/qx4100mgr", "bin/tokenctl", "share/qx4100/Languages/EN_1033.lng",
                              "share/qx4100/Languages/CHS_2052.lng", "share/qx4100/res/top_img.jpg",
                              "share/applications/com.vostrel.qx4100mgr.desktop",
                              "share/metainfo/com.vostrel.qx4100mgr.metainfo.xml",
                              "share/icons/hicolor/32x32/apps/com.vostrel.qx4100mgr.png"})
            QTest::newRow(f) << QString::fromLatin1(f);
    }
    void layout()
    {
        QFETCH(QString, file);
        QVERIFY2(QFile::exists(m_prefix.path() + QLatin1Char('/') + file), qPrintable(file));
    }

    void versionWithoutDisplay()
    {
        QProcess p;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.remove(QStringLiteral("DISPLAY"));
        e.remove(QStringLiteral("QT_QPA_PLATFORM"));
        p.setProcessEnvironment(e);
        p.start(m_prefix.path() + QStringLiteral("/bin/qx4100mgr"), {QStringLiteral("--version")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().contains(QX_VERSION_STRING));
    }

    // The installed tool comes up with the demo token from the installed libraries alone (no
    // LD_LIBRARY_PATH), and writes only to the user's folders.
    void runsFromTheInstalledLayout()
    {
        TestEnv env(false);
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.remove(QStringLiteral("LD_LIBRARY_PATH"));
        e.insert(QStringLiteral("APPDATA"), env.appDataDir());
        e.insert(QStringLiteral("QX4100_TOKEN_STORE"), env.tokenStore());
        e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

        QVERIFY(makeDemoToken(env));

        const QStringList before = treeListing(m_prefix.path());
        QProcess tool;
        tool.setProcessEnvironment(e);
        tool.setProcessChannelMode(QProcess::ForwardedChannels);
        tool.start(m_prefix.path() + QStringLiteral("/bin/qx4100mgr"), {});
        QVERIFY(tool.waitForStarted());
        const auto answers = [] {
            return CopyDataChannel::send(QLatin1String(StartUp::WindowClassName), QString(), 200);
        };
        QTRY_VERIFY_WITH_TIMEOUT(answers(), 15000);
        // The token manager library through the run path, the SKF library from the library folder;
        // the token's key information is read through both once discovery has run.
        QTRY_VERIFY_WITH_TIMEOUT(
            mappedFiles(tool.processId()).contains(m_libDir + QStringLiteral("libTokenMgr.so")), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(
            mappedFiles(tool.processId()).contains(m_libDir + QStringLiteral("zkeyra_qx4100.so")), 15000);
        QVERIFY(
            !mappedFiles(tool.processId()).contains(qEnvironmentVariable("QX_BUILD_DIR") + QLatin1Char('/')));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(env.settingsDir()), 15000);
        QVERIFY(CopyDataChannel::send(QLatin1String(StartUp::WindowClassName), QStringLiteral("CLOSE")));
        QVERIFY(tool.waitForFinished(15000));
        QCOMPARE(tool.exitCode(), 0);
        QCOMPARE(treeListing(m_prefix.path()), before);
        qunsetenv("XDG_RUNTIME_DIR");
    }

    // The window on the installed data and SKF library, in English from the installed language file:
    // the demo token's key information page with the installed banner.
    void keyInformationPageFromTheInstalledFiles()
    {
        TestEnv env(false);
        QVERIFY(makeDemoToken(env));
        QDir().mkpath(env.settingsDir());
        QFile settings(env.settingsDir() + QLatin1String(SettingsFile::FileName));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(QByteArray("<Config><BaseInfo><OpenURL OpenMode=\"0\" URL=\"\" BrowserMode=\"0\"/>"
                                  "<CertEndDay CertDayMode=\"0\" CertDay=\"0\"/><LanguageID>1033</LanguageID>"
                                  "<DefaultPIN/></BaseInfo></Config>")
                           .toBase64());
        settings.close();

        const AppPaths::Dirs dirs = AppPaths::dirsForExecutableDir(m_prefix.path() + QStringLiteral("/bin"));
        QVERIFY(dirs.installed);
        AppPaths::setApplicationDir(dirs.data);
        ResStrs::resetToDefaults();
        QCOMPARE(StartUp::loadLanguage(), 1033);
        QCOMPARE(ResStrs::text("Main_Form_Treeview"), QStringLiteral("USB keys"));
        TSkfBinding skf(dirs.library);
        QVERIFY(skf.isLoaded());
        QCOMPARE(skf.libraryPath(), m_libDir + QStringLiteral("zkeyra_qx4100.so"));

        TMainForm form;
        form.state().sessions.setSkf(&skf);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(!form.findChild<QLabel*>(QStringLiteral("Image1"))->pixmap().isNull());
        QTreeWidgetItem* root = form.findChild<QTreeWidget*>(QStringLiteral("tv"))->topLevelItem(0);
        QTRY_VERIFY_WITH_TIMEOUT(root->childCount() == 1, 15000);
        QVERIFY(root->child(0)->text(0).contains(QStringLiteral("QX4100 DEMO")));
        QCOMPARE(form.findChild<QStackedWidget*>(QStringLiteral("RPC"))->currentWidget(),
                 form.page(PageId::KeyInfo));
        ResStrs::resetToDefaults();
    }

private:
    // The installed tokenctl makes the demo token in the test's own token store.
    bool makeDemoToken(const TestEnv& env)
    {
        QProcess demo;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("APPDATA"), env.appDataDir());
        e.insert(QStringLiteral("QX4100_TOKEN_STORE"), env.tokenStore());
        demo.setProcessEnvironment(e);
        demo.setProcessChannelMode(QProcess::ForwardedChannels);
        demo.start(m_prefix.path() + QStringLiteral("/bin/tokenctl"), {QStringLiteral("demo")});
        return demo.waitForFinished(60000) && demo.exitStatus() == QProcess::NormalExit &&
               demo.exitCode() == 0;
    }

    QTemporaryDir m_prefix;
    QString m_libDir;
};

QTEST_MAIN(TestInstalledTool)
#include "tst_installedtool.moc"
