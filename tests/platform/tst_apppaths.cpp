#include "TestEnv.h"
#include "platform/AppPaths.h"

#include <QDir>
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
};

QTEST_GUILESS_MAIN(TestAppPaths)
#include "tst_apppaths.moc"
