#include "RecordingShell.h"
#include "ScriptedDialogs.h"
#include "TestEnv.h"
#include "TestTimings.h"
#include "TestWait.h"
#include "i18n/ResStrs.h"
#include "sysinfo/TOnlineUpdate.h"
#include "sysinfo/TSystemInfoPage.h"
#include "ui/TProgramState.h"

#include <QAction>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProgressBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

namespace {

// The setup program the server offers.
const QByteArray kSetup = QByteArray("#!/bin/sh\necho setup\n").repeated(3000);

// A small HTTP server on 127.0.0.1 whose answers the test chooses per path: a body, an error
// status, a redirect loop, or a transfer that stalls or drops half-way.
class TestHttpServer : public QTcpServer
{
public:
    struct Answer
    {
        enum Kind
        {
            Body,
            Status,
            RedirectLoop,
            Stall,
            Drop
        } kind = Body;
        QByteArray body;
        int status = 200;
    };

    TestHttpServer()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }

    QString url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path);
    }

    QHash<QByteArray, Answer> answers;
    QList<QByteArray> requested;

private:
    void serve(QTcpSocket* socket)
    {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        const QByteArray path = buffer.split(' ').value(1);
        buffer.clear();
        requested.append(path);
        const Answer answer = answers.value(path, Answer{Answer::Status, {}, 404});
        QByteArray head;
        switch (answer.kind) {
        case Answer::Status:
            head = "HTTP/1.1 " + QByteArray::number(answer.status) + " Failed\r\nContent-Length: 0\r\n\r\n";
            socket->write(head);
            return;
        case Answer::RedirectLoop:
            socket->write("HTTP/1.1 302 Found\r\nLocation: " + path + "\r\nContent-Length: 0\r\n\r\n");
            return;
        default:
            break;
        }
        head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
               QByteArray::number(answer.body.size()) + "\r\n\r\n";
        if (answer.kind == Answer::Body) {
            socket->write(head + answer.body);
            return;
        }
        socket->write(head + answer.body.left(answer.body.size() / 2));
        socket->flush();
        if (answer.kind == Answer::Drop)
            socket->disconnectFromHost();
    }

    QHash<QTcpSocket*, QByteArray> m_buffers;
};

using Answer = TestHttpServer::Answer;

} // namespace

Q_DECLARE_METATYPE(TestHttpServer::Answer)

class TstOnlineUpdate : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void versionCheck_data();
    void versionCheck();
    void setupDownload_data();
    void setupDownload();
    void closingEndsTheWait();
    void updateFolderProblems_data();
    void updateFolderProblems();

private:
    QString dir() const { return m_env->settingsDir() + QStringLiteral("update/"); }
    void writeClient(const QByteArray& content)
    {
        QDir().mkpath(dir());
        QFile file(dir() + QStringLiteral("ClientConfig.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    void serveVersion(const QByteArray& version, const QByteArray& extra = {})
    {
        m_server->answers.insert("/ServerConfig.txt",
                                 {Answer::Body,
                                  "[Mgr]\r\nVersion=" + version + "\r\n[URL]\r\nUpdateFile=" +
                                      m_server->url(QStringLiteral("/setup")).toLatin1() + "\r\n" + extra,
                                  200});
    }
    QByteArray clientFor(const QByteArray& version)
    {
        return "[Mgr]\nVersion=" + version +
               "\n[URL]\nVersionFile=" + m_server->url(QStringLiteral("/ServerConfig.txt")).toLatin1() + "\n";
    }
    void runCheck()
    {
        m_page->findChild<QAction*>(QStringLiteral("AcUpdate"))->trigger();
        QX_TRY_VERIFY(!m_page->update()->isRunning());
        QVERIFY(m_page->findChild<QAction*>(QStringLiteral("AcUpdate"))->isEnabled());
    }
    // The event texts of Logs.txt, without their time.
    QStringList logEvents() const
    {
        QFile file(dir() + QStringLiteral("Logs.txt"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList events;
        for (const QString& line :
             QString::fromLocal8Bit(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
            events.append(line.section(QStringLiteral("："), 1));
        return events;
    }

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<RecordingShell> m_shell;
    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<TProgramState> m_state;
    std::unique_ptr<TSystemInfoPage> m_page;
};

void TstOnlineUpdate::init()
{
    m_env = std::make_unique<TestEnv>(false);
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_shell = std::make_unique<RecordingShell>();
    m_server = std::make_unique<TestHttpServer>();
    QVERIFY(m_server->isListening());
    m_state = std::make_unique<TProgramState>();
    m_state->timings = testTimings();
    m_state->timings.updatePoll = 1;
    m_state->timings.updateStall = 300;
    ResStrs::resetToDefaults();
    m_page = std::make_unique<TSystemInfoPage>(*m_state);
}

void TstOnlineUpdate::cleanup()
{
    m_page.reset();
    m_state.reset();
    m_server.reset();
    m_shell.reset();
    m_dialogs.reset();
    m_env.reset();
}

void TstOnlineUpdate::versionCheck_data()
{
    QTest::addColumn<QByteArray>("client"); // "-" for no file; "%URL%" is the version file's address
    QTest::addColumn<Answer>("versionFile");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("message");

    const QString failed = QStringLiteral("服务端版本更新失败");
    const QString noServer = QStringLiteral("连接服务器失败");
    const QString latest = QStringLiteral("当前版本已是最新");
    const Answer v = {Answer::Body, {}, 200}; // filled with the standard version file
    auto version = [](const QByteArray& version) {
        return Answer{Answer::Body,
                      "[Mgr]\r\nVersion=" + version + "\r\n[URL]\r\nUpdateFile=http://127.0.0.1:1/setup\r\n",
                      200};
    };
    const QByteArray client = "[Mgr]\nVersion=9.0\n[URL]\nVersionFile=%URL%\n";

    QTest::newRow("no client file") << QByteArray("-") << v << QStringList{"客户端配置文件不存在"}
                                    << noServer;
    QTest::newRow("empty client file") << QByteArray() << v << QStringList{failed} << noServer;
    QTest::newRow("binary client file")
        << QByteArray("\x00\xff\xfe\x01\x02", 5) << v << QStringList{failed} << noServer;
    QTest::newRow("not http") << QByteArray("[Mgr]\nVersion=1\n[URL]\nVersionFile=ftp://127.0.0.1/x\n") << v
                              << QStringList{failed} << noServer;
    QTest::newRow("nowhere") << QByteArray("[Mgr]\nVersion=1\n[URL]\nVersionFile=http://127.0.0.1:1/x\n") << v
                             << QStringList{failed} << noServer;
    QTest::newRow("404") << client << Answer{Answer::Status, {}, 404} << QStringList{failed} << noServer;
    QTest::newRow("500") << client << Answer{Answer::Status, {}, 500} << QStringList{failed} << noServer;
    QTest::newRow("redirect loop") << client << Answer{Answer::RedirectLoop, {}, 302} << QStringList{failed}
                                   << noServer;
    QTest::newRow("html") << client << Answer{Answer::Body, "<html><body>Welcome</body></html>", 200}
                          << QStringList{failed} << noServer;
    QTest::newRow("past 1 MiB") << client
                                << Answer{Answer::Body,
                                          "[Mgr]\nVersion=10.0\n" + QByteArray(1024 * 1024, ';'), 200}
                                << QStringList{failed} << noServer;
    QTest::newRow("cut off") << client << Answer{Answer::Drop, version("10.0").body, 200}
                             << QStringList{failed} << noServer;
    QTest::newRow("equal") << client << version("9.0")
                           << QStringList{"Server Ver = 9.0  Client Ver = 9.0", "未检测到新版本"} << latest;
    QTest::newRow("older in numeric order")
        << QByteArray("[Mgr]\nVersion=2.2.18\n[URL]\nVersionFile=%URL%\n") << version("2.2.9")
        << QStringList{"Server Ver = 2.2.9  Client Ver = 2.2.18", "未检测到新版本"} << latest;
    QTest::newRow("newer, declined") << client << version("10.0")
                                     << QStringList{"Server Ver = 10.0  Client Ver = 9.0",
                                                    "服务器版本高于客户端版本", "放弃更新"}
                                     << QString();
}

void TstOnlineUpdate::versionCheck()
{
    QFETCH(QByteArray, client);
    QFETCH(Answer, versionFile);
    QFETCH(QStringList, events);
    QFETCH(QString, message);
    if (client != "-")
        writeClient(QByteArray(client).replace(
            "%URL%", m_server->url(QStringLiteral("/ServerConfig.txt")).toLatin1()));
    m_server->answers.insert("/ServerConfig.txt", versionFile);
    QFile stale(dir() + QStringLiteral("ServerConfig.txt"));
    if (QDir().mkpath(dir()) && stale.open(QIODevice::WriteOnly))
        stale.write("[Mgr]\nVersion=99\n");
    stale.close();

    runCheck();
    QCOMPARE(logEvents(), events);
    if (message.isEmpty()) {
        QCOMPARE(m_dialogs->messages().size(), 1);
        QCOMPARE(m_dialogs->messages().first().text, QStringLiteral("检测到新版本，是否进行更新？"));
        QVERIFY(m_dialogs->messages().first().topMost);
    } else {
        QCOMPARE(m_dialogs->texts(), QStringList{message});
    }
    // A failed version download never leaves the previous or a partial file behind.
    if (events == QStringList{QStringLiteral("服务端版本更新失败")} && client != "" &&
        !client.startsWith('\0'))
        QVERIFY(!QFile::exists(dir() + QStringLiteral("ServerConfig.txt")) ||
                versionFile.kind == Answer::Body);
    QVERIFY(m_shell->requests().isEmpty());
}

void TstOnlineUpdate::setupDownload_data()
{
    QTest::addColumn<Answer>("setup");
    QTest::addColumn<QByteArray>("sha256");
    QTest::addColumn<bool>("install");
    QTest::addColumn<QString>("lastEvent");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("started");

    const QByteArray good = QCryptographicHash::hash(kSetup, QCryptographicHash::Sha256).toHex();
    const QByteArray bad = QByteArray(64, 'a');
    const QString yes = QStringLiteral("新版本已下载完毕，是否安装？");
    QTest::newRow("installed") << Answer{Answer::Body, kSetup, 200} << QByteArray() << true << "开始更新..."
                               << QStringList{yes} << true;
    QTest::newRow("checksum matches")
        << Answer{Answer::Body, kSetup, 200} << good << true << "开始更新..." << QStringList{yes} << true;
    QTest::newRow("install declined") << Answer{Answer::Body, kSetup, 200} << QByteArray() << false
                                      << "放弃安装" << QStringList{yes} << false;
    QTest::newRow("checksum differs")
        << Answer{Answer::Body, kSetup, 200} << bad << true << "失败更新，返回值 = -5"
        << QStringList{"下载的安装程序校验失败，已删除"} << false;
    QTest::newRow("404") << Answer{Answer::Status, {}, 404} << QByteArray() << true
                         << "失败更新，返回值 = -404" << QStringList{} << false;
    QTest::newRow("500") << Answer{Answer::Status, {}, 500} << QByteArray() << true
                         << "失败更新，返回值 = -500" << QStringList{} << false;
    QTest::newRow("empty") << Answer{Answer::Body, {}, 200} << QByteArray() << true << "失败更新，返回值 = -4"
                           << QStringList{} << false;
    QTest::newRow("stalls") << Answer{Answer::Stall, kSetup, 200} << QByteArray() << true
                            << "失败更新，返回值 = -6" << QStringList{} << false;
    QTest::newRow("dropped") << Answer{Answer::Drop, kSetup, 200} << QByteArray() << true << ""
                             << QStringList{} << false;
}

void TstOnlineUpdate::setupDownload()
{
    QFETCH(Answer, setup);
    QFETCH(QByteArray, sha256);
    QFETCH(bool, install);
    QFETCH(QString, lastEvent);
    QFETCH(QStringList, messages);
    QFETCH(bool, started);
    writeClient(clientFor("9.0"));
    serveVersion("10.0", sha256.isEmpty() ? QByteArray() : "SHA256=" + sha256 + "\r\n");
    m_server->answers.insert("/setup", setup);
    m_dialogs->setNextAnswer(true);
    m_dialogs->setNextAnswer(install);

    runCheck();
    const QStringList events = logEvents();
    QCOMPARE(events.mid(0, 3),
             (QStringList{"Server Ver = 10.0  Client Ver = 9.0", "服务器版本高于客户端版本", "开始更新..."}));
    if (lastEvent.isEmpty())
        QVERIFY(events.last().startsWith(QStringLiteral("失败更新，返回值 = -")));
    else
        QCOMPARE(events.last(), lastEvent);
    QCOMPARE(m_dialogs->texts().mid(1), messages);
    const QString setupPath = dir() + QStringLiteral("zKeyra_Setup");
    QCOMPARE(m_shell->requests().size(), started ? 1 : 0);
    if (started) {
        QCOMPARE(m_shell->requests().first().target, setupPath);
        QVERIFY(m_shell->requests().first().program);
        QCOMPARE(m_shell->requests().first().arguments, QStringList{"/upgrade"});
    }
    // Only a whole, checked file ever takes the setup program's name.
    QFile file(setupPath);
    if (setup.kind == Answer::Body && lastEvent != QStringLiteral("失败更新，返回值 = -5") &&
        !setup.body.isEmpty()) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), kSetup);
        QCOMPARE(m_page->downloadProgress()->maximum(), int(kSetup.size()));
        QCOMPARE(m_page->downloadProgress()->value(), int(kSetup.size()));
    } else {
        QVERIFY(!file.exists());
    }
    QCOMPARE(QDir(dir()).entryList(QDir::Files).filter(QStringLiteral("zKeyra_Setup")).size(),
             file.exists() ? 1 : 0);
}

void TstOnlineUpdate::closingEndsTheWait()
{
    m_state->timings.updateStall = 60000;
    writeClient(clientFor("9.0"));
    serveVersion("10.0");
    m_server->answers.insert("/setup", {Answer::Stall, kSetup, 200});
    m_dialogs->setNextAnswer(true);
    m_page->findChild<QAction*>(QStringLiteral("AcUpdate"))->trigger();
    QX_TRY_VERIFY(m_server->requested.contains("/setup"));
    QVERIFY(m_page->update()->isRunning());
    QVERIFY(!m_page->findChild<QAction*>(QStringLiteral("AcUpdate"))->isEnabled());
    m_state->closing = true;
    QX_TRY_VERIFY(!m_page->update()->isRunning());
    QCOMPARE(logEvents().last(), QStringLiteral("失败更新，返回值 = 259"));
    QCOMPARE(m_dialogs->messages().size(), 1);
    QVERIFY(m_shell->requests().isEmpty());
    QVERIFY(!QFile::exists(dir() + QStringLiteral("zKeyra_Setup")));
}

void TstOnlineUpdate::updateFolderProblems_data()
{
    QTest::addColumn<bool>("folderIsFile");
    QTest::addColumn<QString>("message");
    QTest::newRow("folder cannot be made") << true << "无法创建更新目录：";
    QTest::newRow("log cannot be written") << false << "无法写入更新日志：";
}

void TstOnlineUpdate::updateFolderProblems()
{
    QFETCH(bool, folderIsFile);
    QFETCH(QString, message);
    QDir().mkpath(m_env->settingsDir());
    if (folderIsFile) {
        QFile file(dir().chopped(1));
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else {
        writeClient(clientFor("9.0"));
        QVERIFY(QDir().mkpath(dir() + QStringLiteral("Logs.txt")));
    }
    runCheck();
    QCOMPARE(m_dialogs->messages().size(), 1);
    QVERIFY2(m_dialogs->lastText().startsWith(message), qPrintable(m_dialogs->lastText()));
    QVERIFY(m_server->requested.isEmpty());
}

QTEST_MAIN(TstOnlineUpdate)
#include "tst_onlineupdate.moc"
