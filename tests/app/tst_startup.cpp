// SPDX-License-Identifier: BSD-3-Clause
#include "TestEnv.h"
#include "app/StartUp.h"
#include "app/TMainForm.h"
#include "i18n/ResStrs.h"
#include "platform/CopyDataChannel.h"
#include "platform/HollinRunOnce.h"
#include "settings/SettingsFile.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSharedMemory>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <memory>

namespace {

QByteArray settingsWithLanguage(const QByteArray& languageId)
{
    const QByteArray xml = "<Config><BaseInfo><OpenURL OpenMode=\"0\" URL=\"\" BrowserMode=\"0\"/>"
                           "<CertEndDay CertDayMode=\"0\" CertDay=\"0\"/><LanguageID>" +
                           languageId + "</LanguageID><DefaultPIN/></BaseInfo></Config>";
    return xml.toBase64();
}

void writeSettings(const TestEnv& env, const QByteArray& content)
{
    QDir().mkpath(env.settingsDir());
    QFile f(env.settingsDir() + QLatin1String(SettingsFile::FileName));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

// Runs the built tool in its own runtime directory, settings directory and token store.
class ToolRunner
{
public:
    explicit ToolRunner(const TestEnv& env) : m_env(env)
    {
        // This process speaks to the tool through the same runtime directory.
        qputenv("XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit());
    }
    ~ToolRunner() { qunsetenv("XDG_RUNTIME_DIR"); }

    std::unique_ptr<QProcess> start()
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        e.insert(QStringLiteral("APPDATA"), m_env.appDataDir());
        e.insert(QStringLiteral("QX4100_TOKEN_STORE"), m_env.tokenStore());
        e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p->setProcessEnvironment(e);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(qEnvironmentVariable("QX_APPDIR_TEMPLATE") + QStringLiteral("/qx4100mgr"), {});
        return p;
    }

    // True once the tool listens for commands.
    static bool answers()
    {
        return CopyDataChannel::send(QLatin1String(StartUp::WindowClassName), QString(), 200);
    }

    QString runtimeDir() const { return m_runtime.path(); }

private:
    const TestEnv& m_env;
    QTemporaryDir m_runtime;
};

} // namespace

class TestStartUp : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { ResStrs::resetToDefaults(); }
    void cleanup() { ResStrs::resetToDefaults(); }

    void languageFromSettings_data()
    {
        QTest::addColumn<QByteArray>("settings"); // empty: no file
        QTest::addColumn<int>("languageId");
        QTest::addColumn<QString>("rootText");
        QTest::newRow("no settings file: Chinese") << QByteArray() << 0 << QStringLiteral("USBKey列表");
        QTest::newRow("1033: English")
            << settingsWithLanguage("1033") << 1033 << QStringLiteral("USB keys");
        QTest::newRow("2052: Chinese")
            << settingsWithLanguage("2052") << 2052 << QStringLiteral("USBKey列表");
        QTest::newRow("1041: Chinese")
            << settingsWithLanguage("1041") << 1041 << QStringLiteral("USBKey列表");
        QTest::newRow("not a number: Chinese")
            << settingsWithLanguage("en") << 0 << QStringLiteral("USBKey列表");
        QTest::newRow("plain XML: Chinese")
            << QByteArray::fromBase64(settingsWithLanguage("1033")) << 0 << QStringLiteral("USBKey列表");
    }
    void languageFromSettings()
    {
        QFETCH(QByteArray, settings);
        QFETCH(int, languageId);
        QFETCH(QString, rootText);
        TestEnv env;
        if (!settings.isEmpty())
            writeSettings(env, settings);
        QCOMPARE(StartUp::loadLanguage(), languageId);
        QCOMPARE(ResStrs::text("Main_Form_Treeview"), rootText);
        // Qt's standard buttons speak the same language.
        QString ok = QDialogButtonBox(QDialogButtonBox::Ok).button(QDialogButtonBox::Ok)->text();
        QCOMPARE(ok.remove(QLatin1Char('&')),
                 languageId == 1033 ? QStringLiteral("OK") : QStringLiteral("确定"));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("run");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output"); // a part of it
        QTest::addColumn<bool>("admin");
        QTest::addColumn<QString>("module");
        const QString none;
        QTest::newRow("nothing") << QStringList{} << true << 0 << none << false << none;
        QTest::newRow("admin") << QStringList{QStringLiteral("--admin")} << true << 0 << none << true << none;
        QTest::newRow("module") << QStringList{QStringLiteral("--module"), QStringLiteral("/x/softhsm2.so")}
                                << true << 0 << none << false << QStringLiteral("/x/softhsm2.so");
        QTest::newRow("module without a path") << QStringList{QStringLiteral("--module")} << false << 2
                                               << QStringLiteral("module") << false << none;
        QTest::newRow("help") << QStringList{QStringLiteral("--help")} << false << 0
                              << QStringLiteral("--admin") << false << none;
        QTest::newRow("version") << QStringList{QStringLiteral("-v")} << false << 0
                                 << QStringLiteral(QX_VERSION_STRING) << false << none;
        QTest::newRow("misspelt option")
            << QStringList{QStringLiteral("--admn")} << false << 2 << QStringLiteral("admn") << false << none;
        QTest::newRow("stray argument")
            << QStringList{QStringLiteral("token")} << false << 2 << QStringLiteral("token") << false << none;
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, run);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QFETCH(bool, admin);
        QFETCH(QString, module);
        arguments.prepend(QStringLiteral("qx4100mgr"));
        const StartUp::CommandLine line = StartUp::parseCommandLine(arguments);
        QCOMPARE(line.run, run);
        QCOMPARE(line.exitCode, exitCode);
        QVERIFY2(line.output.contains(output), qPrintable(line.output));
        QCOMPARE(line.options.admin, admin);
        QCOMPARE(line.options.modulePath, module);
    }

    // Help and version are for scripts and packagers: no display is needed for them.
    void helpNeedsNoDisplay()
    {
        QProcess p;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.remove(QStringLiteral("DISPLAY"));
        e.remove(QStringLiteral("WAYLAND_DISPLAY"));
        e.remove(QStringLiteral("QT_QPA_PLATFORM"));
        p.setProcessEnvironment(e);
        p.start(qEnvironmentVariable("QX_APPDIR_TEMPLATE") + QStringLiteral("/qx4100mgr"),
                {QStringLiteral("--help")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().contains("--admin"));
    }

    void unreadableSettingsDirectoryGivesChinese()
    {
        TestEnv env;
        // APPDATA names a file: the settings directory cannot be made, nothing can be read.
        const QString blocker = env.path(QStringLiteral("blocker"));
        QFile f(blocker);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        qputenv("APPDATA", blocker.toLocal8Bit());
        QCOMPARE(StartUp::loadLanguage(), 0);
        QCOMPARE(ResStrs::text("Main_Form_Treeview"), QStringLiteral("USBKey列表"));
    }

    void staleSlotDoesNotBlockAStart()
    {
        TestEnv env;
        ToolRunner runner(env);
        // A slot left behind by an instance that is gone.
        QProcess gone;
        gone.start(QStringLiteral("true"), {});
        QVERIFY(gone.waitForFinished());
        const quint32 deadId = quint32(gone.processId() ? gone.processId() : 999999);
        HollinRunOnce slot;
        QVERIFY(slot.hasSlot());
        QVERIFY(!slot.testAndClaim(deadId, {}));
        QCOMPARE(slot.slotValue(), deadId);

        auto tool = runner.start();
        QVERIFY(tool->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(ToolRunner::answers(), 15000);
        QCOMPARE(tool->state(), QProcess::Running);
        QCOMPARE(slot.slotValue(), quint32(tool->processId()));
        QVERIFY(CopyDataChannel::send(QLatin1String(StartUp::WindowClassName), QStringLiteral("CLOSE")));
        QVERIFY(tool->waitForFinished(15000));
        QCOMPARE(tool->exitCode(), 0);
    }

    void secondStartActivatesTheFirstAndEnds()
    {
        TestEnv env;
        ToolRunner runner(env);
        auto first = runner.start();
        QVERIFY(first->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(ToolRunner::answers(), 15000);

        auto second = runner.start();
        QVERIFY(second->waitForFinished(15000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(first->state(), QProcess::Running);
        QVERIFY(ToolRunner::answers());

        // Commands are compared exactly: only "CLOSE" closes.
        QVERIFY(CopyDataChannel::send(QLatin1String(StartUp::WindowClassName), QStringLiteral("close")));
        QVERIFY(CopyDataChannel::send(QLatin1String(StartUp::WindowClassName), QStringLiteral("CLOSE ")));
        QVERIFY(ToolRunner::answers());
        QCOMPARE(first->state(), QProcess::Running);
        QVERIFY(CopyDataChannel::send(QLatin1String(StartUp::WindowClassName), QStringLiteral("CLOSE")));
        QVERIFY(first->waitForFinished(15000));
        QCOMPARE(first->exitCode(), 0);
    }

    void startsTwentyTimesInARow()
    {
        TestEnv env;
        ToolRunner runner(env);
        for (int i = 0; i < 20; ++i) {
            auto tool = runner.start();
            QVERIFY(tool->waitForStarted());
            QTRY_VERIFY_WITH_TIMEOUT(ToolRunner::answers(), 15000);
            QCOMPARE(tool->state(), QProcess::Running);
            QVERIFY(CopyDataChannel::send(QLatin1String(StartUp::WindowClassName), QStringLiteral("CLOSE")));
            QVERIFY2(tool->waitForFinished(15000), qPrintable(QStringLiteral("start %1").arg(i)));
            QCOMPARE(tool->exitCode(), 0);
        }
    }

    void crashedInstanceIsReplaced()
    {
        TestEnv env;
        ToolRunner runner(env);
        auto first = runner.start();
        QVERIFY(first->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(ToolRunner::answers(), 15000);
        first->kill();
        QVERIFY(first->waitForFinished());

        auto second = runner.start();
        QVERIFY(second->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(ToolRunner::answers(), 15000);
        QCOMPARE(second->state(), QProcess::Running);
        QVERIFY(CopyDataChannel::send(QLatin1String(StartUp::WindowClassName), QStringLiteral("CLOSE")));
        QVERIFY(second->waitForFinished(15000));
    }
};

QTEST_MAIN(TestStartUp)
#include "tst_startup.moc"
