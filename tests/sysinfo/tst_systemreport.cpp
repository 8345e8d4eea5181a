// SPDX-License-Identifier: BSD-3-Clause
#include "ConnectedToken.h"
#include "FakeHostQueries.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"
#include "TestEnv.h"
#include "TestTimings.h"
#include "TestWait.h"
#include "sysinfo/SystemReport.h"
#include "sysinfo/TSystemInfoPage.h"

#include <QAction>
#include <QFile>
#include <QTableWidget>
#include <QtTest>

#include <memory>

using Rows = QList<QStringList>;

namespace {
const QString kCsp = QStringLiteral("Q7SecCSP11.dll");
const QString kP11 = QStringLiteral("q7sec_pkcs11.dll");
const QString kProvider = QStringLiteral("Vostrel zKeyra Q7Sec CSP V1.1");
const QString kMsProvider = QStringLiteral("Microsoft Base Smart Card Crypto Provider");
const QString kOs = QStringLiteral("Debian GNU/Linux 12 (bookworm) Linux 6.1.0");
} // namespace

class TstSystemReport : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void basicReport_data();
    void basicReport();
    void fullReport_data();
    void fullReport();
    void fullReportWithToken();
    void rowsAppearOneByOne();
    void savedFileByteForByte();
    void saveAsksThenOverwritesAndOpens();

private:
    // Rows as "caption|value|state".
    Rows shown() const
    {
        Rows rows;
        for (int i = 0; i < m_page->list()->rowCount(); ++i) {
            const QVariant state = m_page->list()->item(i, 0)->data(Qt::UserRole);
            rows.append({m_page->list()->item(i, 0)->text(), m_page->list()->item(i, 1)->text(),
                         state.isValid() ? QString::number(state.toInt()) : QString()});
        }
        return rows;
    }
    void installAll()
    {
        m_host->versions.insert(FakeHostQueries::system(kCsp), QStringLiteral("1.1.0.5"));
        m_host->versions.insert(FakeHostQueries::other(kCsp), QStringLiteral("1.1.0.4"));
        m_host->versions.insert(FakeHostQueries::system(kP11), QStringLiteral("2.0.1.0"));
        m_host->versions.insert(FakeHostQueries::other(kP11), QStringLiteral("2.0.0.9"));
        m_host->versions.insert(FakeHostQueries::system(QStringLiteral("zKeyraMiniDrv.x64.dll")),
                                QStringLiteral("3.0.0.1"));
        m_host->versions.insert(FakeHostQueries::other(QStringLiteral("zKeyraMiniDrv.dll")),
                                QStringLiteral("3.0.0.0"));
        m_host->providers = {kProvider, kMsProvider};
        m_host->services = {QStringLiteral("SCardSvr")};
    }

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<FakeHostQueries> m_host;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<RecordingShell> m_shell;
    std::unique_ptr<TProgramState> m_state;
    std::unique_ptr<TSystemInfoPage> m_page;
};

void TstSystemReport::init()
{
    m_env = std::make_unique<TestEnv>(false);
    m_host = std::make_unique<FakeHostQueries>();
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_shell = std::make_unique<RecordingShell>();
    m_state = std::make_unique<TProgramState>();
    m_state->timings = testTimings();
    ResStrs::resetToDefaults();
    SystemReport::resetProviderName();
    m_page = std::make_unique<TSystemInfoPage>(*m_state);
}

void TstSystemReport::cleanup()
{
    m_page.reset();
    CerMgrApis::FreeTokenLibrary();
    m_state.reset();
    m_shell.reset();
    m_dialogs.reset();
    m_host.reset();
    m_env.reset();
}

void TstSystemReport::basicReport_data()
{
    QTest::addColumn<int>("edition");
    QTest::addColumn<bool>("x64");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<Rows>("rows");
    const QStringList os{"操作系统版本", kOs + " (x64)", ""};
    const QStringList os32{"操作系统版本", kOs + " (win32)", ""};
    const QStringList ie{"浏览器版本", "Firefox 115.6.0", ""};
    QTest::newRow("CSP, x64, installed")
        << 1000 << true << true
        << Rows{os, ie, {"CSP安装", "已安装", ""}, {"CSP版本", "1.1.0.5", ""}, {"PKCS11版本", "2.0.1.0", ""}};
    QTest::newRow("CSP, win32, missing")
        << 1000 << false << false
        << Rows{os32, ie, {"CSP安装", "未安装", ""}, {"CSP版本", "", ""}, {"PKCS11版本", "", ""}};
    QTest::newRow("minidriver, x64, installed") << 2000 << true << true
                                                << Rows{os,
                                                        ie,
                                                        {"MiniDriver安装", "已安装", ""},
                                                        {"MiniDriver版本", "3.0.0.1", ""},
                                                        {"CSP安装", "已安装", ""},
                                                        {"PKCS11版本", "2.0.1.0", ""}};
    QTest::newRow("minidriver, win32, missing") << 2000 << false << false
                                                << Rows{os32,
                                                        ie,
                                                        {"MiniDriver安装", "未安装", ""},
                                                        {"MiniDriver版本", "", ""},
                                                        {"CSP安装", "未安装", ""},
                                                        {"PKCS11版本", "", ""}};
}

void TstSystemReport::basicReport()
{
    QFETCH(int, edition);
    QFETCH(bool, x64);
    QFETCH(bool, installed);
    QFETCH(Rows, rows);
    m_host->x64 = x64;
    if (installed)
        installAll();
    m_page->setEdition(edition);
    m_page->ShowSystemReport();
    QCOMPARE(shown(), rows);
    QCOMPARE(SystemReport::providerName(), edition == 2000 ? kMsProvider : kProvider);
}

void TstSystemReport::fullReport_data()
{
    QTest::addColumn<int>("edition");
    QTest::addColumn<bool>("x64");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<Rows>("rows");
    const QStringList os{"操作系统版本", kOs + " (x64)", "0"};
    const QStringList os32{"操作系统版本", kOs + " (win32)", "0"};
    const QStringList ie{"浏览器版本", "Firefox 115.6.0", "0"};
    const QStringList none{"设备状态", "未连接", "2"};
    const QString s32 = FakeHostQueries::system({});
    const QString s64 = FakeHostQueries::other({});
    QTest::newRow("CSP, x64, installed") << 1000 << true << true
                                         << Rows{os,
                                                 ie,
                                                 {"CSP 路径", s32 + kCsp, "0"},
                                                 {"CSP 路径", s64 + kCsp, "0"},
                                                 {"CSP版本", "1.1.0.5", "0"},
                                                 {"PKCS#11 路径", s32 + kP11, "0"},
                                                 {"PKCS#11 路径", s64 + kP11, "0"},
                                                 {"PKCS11版本", "2.0.1.0", "0"},
                                                 none};
    QTest::newRow("CSP, win32, missing") << 1000 << false << false
                                         << Rows{os32,
                                                 ie,
                                                 {"CSP 路径", "未安装", "2"},
                                                 {"CSP版本", "", "2"},
                                                 {"PKCS#11 路径", "未安装", "2"},
                                                 {"PKCS11版本", "", "2"},
                                                 none};
    QTest::newRow("minidriver, x64, installed")
        << 2000 << true << true
        << Rows{os,
                ie,
                {"CCID Driver 路径", s32 + "zKeyraMiniDrv.x64.dll", "0"},
                {"CCID Driver 路径", s64 + "zKeyraMiniDrv.dll", "0"},
                {"CCID 版本", "3.0.0.1", "0"},
                {"MS Smart Card CSP", "已安装", "0"},
                {"MS Smart Card 服务", "已运行", "0"},
                {"PKCS#11 路径", s32 + kP11, "0"},
                {"PKCS#11 路径", s64 + kP11, "0"},
                {"PKCS11版本", "2.0.1.0", "0"},
                none};
    QTest::newRow("minidriver, win32, missing") << 2000 << false << false
                                                << Rows{os32,
                                                        ie,
                                                        {"CCID Driver 路径", "未安装", "2"},
                                                        {"CCID 版本", "", "2"},
                                                        {"MS Smart Card CSP", "未安装", "2"},
                                                        {"MS Smart Card 服务", "已停止", "2"},
                                                        {"PKCS#11 路径", "未安装", "2"},
                                                        {"PKCS11版本", "", "2"},
                                                        none};
}

void TstSystemReport::fullReport()
{
    QFETCH(int, edition);
    QFETCH(bool, x64);
    QFETCH(bool, installed);
    QFETCH(Rows, rows);
    m_host->x64 = x64;
    if (installed)
        installAll();
    m_page->setEdition(edition);
    m_page->RunFullCheck(0);
    QCOMPARE(shown(), rows);
}

void TstSystemReport::fullReportWithToken()
{
    VToken token = TokenFixture::token(1);
    token.label = QByteArray("签名Key");
    token.hardwareVersion = 0x0102;
    token.firmwareVersion = 0x010A;
    QVERIFY(ConnectedToken::connect(token, *m_state));
    m_page->RunFullCheck(0);
    const Rows rows = shown();
    const TQ7Info& info = m_state->tokenInfo(0);
    const Rows expected{
        {"设备状态", "已连接", "0"},
        {"USBKey名称", "签名Key", "0"},
        {"生产厂商", info.Manufacturer, "0"},
        {"产品型号", info.Model, "0"},
        {"序列号", info.SerialNumber, "0"},
        {"最大密码长度", QString::number(info.MaxPinLen), "0"},
        {"最小密码长度", QString::number(info.MinPinLen), "0"},
        {"最大重试次数", QString::number(m_state->sessions.at(0)->pinState().MaxRetries), "0"},
        {"USBKey口令剩余重试次数", QString::number(m_state->sessions.at(0)->pinState().RetriesLeft), "0"},
        {"USBKey口令是否被锁", "未锁死", "0"},
        {"总空间", "128 KB", "0"},
        {"剩余空间", rows.value(rows.size() - 4).value(1), "0"},
        {"硬件版本", "1.02", "0"},
        {"固件版本", "1.10", "0"},
        {"FIPS", "140-2 Compatible", ""}};
    QCOMPARE(rows.mid(rows.size() - expected.size()), expected);
    QVERIFY(m_state->sessions.at(0)->pinState().MaxRetries > 0);
}

void TstSystemReport::rowsAppearOneByOne()
{
    m_page->RunFullCheck(5);
    QVERIFY(m_page->list()->rowCount() < 9);
    QX_TRY_VERIFY(!m_page->fullCheckRunning());
    QCOMPARE(m_page->list()->rowCount(), 9);
    // A basic report in between replaces the rows still to come.
    m_page->RunFullCheck(5);
    m_page->ShowSystemReport();
    QVERIFY(!m_page->fullCheckRunning());
    QCOMPARE(m_page->list()->rowCount(), 5);
}

void TstSystemReport::savedFileByteForByte()
{
    const QList<SystemReport::Row> rows{{QStringLiteral("操作系统版本"), QStringLiteral("Linux (x64)"), 0},
                                        {QStringLiteral("FIPS"), QStringLiteral("140-2 Compatible")},
                                        {QStringLiteral("A caption longer than twenty"), QString()}};
    const QByteArray expected = QStringLiteral("2026/12/11 05:00:00\r\n\r\n"
                                               "              操作系统版本 : Linux (x64)\r\n"
                                               "                FIPS : 140-2 Compatible\r\n"
                                               "A caption longer than twenty : \r\n")
                                    .toLocal8Bit();
    QCOMPARE(SystemReport::saveText(rows, QStringLiteral("2026/12/11 05:00:00")), expected);
}

void TstSystemReport::saveAsksThenOverwritesAndOpens()
{
    m_page->ShowSystemReport();
    const QString file = m_env->path(QStringLiteral("SystemInfo.txt"));
    QFile old(file);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(10000, 'x'));
    old.close();

    m_dialogs->setNextFileName(file);
    m_page->findChild<QAction*>(QStringLiteral("AcSave"))->trigger();
    QCOMPARE(m_dialogs->fileRequests().size(), 1);
    const auto options = m_dialogs->fileRequests().first().options;
    QVERIFY(m_dialogs->fileRequests().first().save);
    QCOMPARE(options.defaultSuffix, QStringLiteral("txt"));
    QCOMPARE(options.fileName, QStringLiteral("SystemInfo.txt"));
    QVERIFY(options.confirmOverwrite);
    QVERIFY(m_dialogs->messages().isEmpty());

    QVERIFY(old.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = old.readAll().split('\n');
    QCOMPARE(lines.size(), 2 + 5 + 1);
    QCOMPARE(lines.at(1), QByteArray("\r"));
    QCOMPARE(lines.at(6), QStringLiteral("            PKCS11版本 : \r").toLocal8Bit());
    QCOMPARE(m_shell->requests().size(), 1);
    QVERIFY(!m_shell->requests().first().program);
    QCOMPARE(QUrl(m_shell->requests().first().target).toLocalFile(), file);

    // A cancelled dialog saves and opens nothing.
    m_page->findChild<QAction*>(QStringLiteral("AcSave"))->trigger();
    QCOMPARE(m_shell->requests().size(), 1);
}

QTEST_MAIN(TstSystemReport)
#include "tst_systemreport.moc"
