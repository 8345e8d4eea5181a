// SPDX-License-Identifier: BSD-3-Clause
#include "TestEnv.h"
#include "platform/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestAppPaths : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void settingsDirIsCreatedBelowAppData()
    {
        TestEnv env;
        const QString dir = AppPaths::settingsDir();
        QCOMPARE(dir, env.settingsDir());
        QVERIFY(dir.endsWith(QLatin1Char('/')));
        QVERIFY(QDir(dir).exists());
    }

    void applicationDirEndsWithSeparator()
    {
        TestEnv env;
        QCOMPARE(AppPaths::applicationDir(), env.appDir());
        AppPaths::setApplicationDir(QString());
        QVERIFY(AppPaths::applicationDir().endsWith(QLatin1Char('/')));
    }

    // A build folder keeps everything beside the executable; an installation keeps the data under
    // share/ and the libraries in their own folder. Both may sit side by side.
    void directoriesForBuildAndInstalledRuns_data()
    {
        QTest::addColumn<QStringList>("folders"); // made below a temporary root
        QTest::addColumn<QString>("executableDir");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("library");
        const QStringList build{QStringLiteral("build/bin/Languages"), QStringLiteral("build/bin/res")};
        const QStringList installed{QStringLiteral("usr/bin"), QStringLiteral("usr/share/qx4100/Languages"),
                                    QStringLiteral(QX_TEST_INSTALL_LIBDIR)};
        QTest::newRow("build folder") << build << QStringLiteral("build/bin") << false
                                      << QStringLiteral("build/bin/") << QStringLiteral("build/bin/");
        QTest::newRow("installed") << installed << QStringLiteral("usr/bin") << true
                                   << QStringLiteral("usr/share/qx4100/")
                                   << QStringLiteral(QX_TEST_INSTALL_LIBDIR "/");
        QTest::newRow("installed without its data")
            << QStringList{QStringLiteral(QX_TEST_INSTALL_LIBDIR)} << QStringLiteral("usr/bin") << true
            << QStringLiteral("usr/share/qx4100/") << QStringLiteral(QX_TEST_INSTALL_LIBDIR "/");
        QTest::newRow("build folder beside an installation")
            << build + installed << QStringLiteral("build/bin") << false << QStringLiteral("build/bin/")
            << QStringLiteral("build/bin/");
    }
    void directoriesForBuildAndInstalledRuns()
    {
        QFETCH(QStringList, folders);
        QFETCH(QString, executableDir);
        QFETCH(bool, installed);
        QFETCH(QString, data);
        QFETCH(QString, library);
        QTemporaryDir root;
        for (const QString& folder : folders)
            QVERIFY(QDir(root.path()).mkpath(folder));
        const QString base = root.path() + QLatin1Char('/');
        const AppPaths::Dirs dirs = AppPaths::dirsForExecutableDir(base + executableDir);
        QCOMPARE(dirs.installed, installed);
        QCOMPARE(dirs.data, base + data);
        QCOMPARE(dirs.library, base + library);
    }

    // The shipped defaults are read until the user has a copy of their own in the settings folder.
    void defaultsFileIsTheUsersOwnOnceWritten()
    {
        TestEnv env;
        const QString name = QStringLiteral("Initconfig.ini");
        QCOMPARE(AppPaths::defaultsFileForReading(name), env.appDir() + name);
        QFile own(AppPaths::settingsDir() + name);
        QVERIFY(own.open(QIODevice::WriteOnly));
        own.close();
        QCOMPARE(AppPaths::defaultsFileForReading(name), env.settingsDir() + name);
    }
};

QTEST_GUILESS_MAIN(TestAppPaths)
#include "tst_apppaths.moc"
