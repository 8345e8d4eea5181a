// SPDX-License-Identifier: BSD-3-Clause
#include "DiscoveryWindow.h"
#include "RecordingShell.h"
#include "ScriptedDialogs.h"
#include "SoftHsmToken.h"
#include "TestEnv.h"
#include "TestTimings.h"
#include "TestWait.h"
#include "TokenCtl.h"
#include "app/TDiscovery.h"
#include "app/TMainForm.h"
#include "app/TNavigator.h"
#include "app/TreeImages.h"
#include "app/USBPIDUnit.h"
#include "i18n/ResStrs.h"
#include "skf/TSkfBinding.h"
#include "ui/TElidedToolTips.h"
#include "ui/TPage.h"

#include <QAction>
#include <QDialog>
#include <QHelpEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QtTest>

#include <memory>

namespace {
QString serialOf(int i)
{
    return QStringLiteral("QX41TEST%1").arg(i, 8, 10, QLatin1Char('0'));
}

QString pathOf(const QString& serial, quint32 pid = 0x4100)
{
    return QStringLiteral("USB\\VID_3A51&PID_%1\\%2").arg(pid, 4, 16, QLatin1Char('0')).arg(serial).toUpper();
}

QStringList childTexts(const QTreeWidgetItem* item)
{
    QStringList texts;
    for (int i = 0; item && i < item->childCount(); ++i)
        texts << item->child(i)->text(0);
    return texts;
}

QStringList listColumn(const QTableWidget* lv, int column)
{
    QStringList texts;
    for (int r = 0; r < lv->rowCount(); ++r)
        texts << (lv->item(r, column) ? lv->item(r, column)->text() : QString());
    return texts;
}
} // namespace

class TstDiscovery : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void refreshBuildsTokenTree_data();
    void refreshBuildsTokenTree();
    void refreshWithoutTokenShowsErrorNode();
    void keyInformationList_data();
    void keyInformationList();
    void libraryStartsAfterShowing();
    void failedLibraryStartClosesWindow();
    void uninitializedTokensWarnOnce();
    void refreshButtonChecksInitialization();
    void arrivalOfServedModelRefreshes_data();
    void arrivalOfServedModelRefreshes();
    void arrivalRetriesFourTimesThenGivesUp();
    void removalWithTokensStillThereDoesNothing();
    void removalOfTokenRefreshesOnceAndClosesImport();
    void notificationStormRefreshesOnce();
    void thirtyTwoTokens();
    void tokenPulledDuringRefresh();
    void notifiedRefreshOpensConfiguredAddress_data();
    void notifiedRefreshOpensConfiguredAddress();
    void fingerprintRows_data();
    void fingerprintRows();
    void mainWindowDiscoversTokens();
    void hotPlugKeepsTheUsersPlace();
    void englishTextsFitOrShowWhole();

private:
    // Makes the window, starts the library the way the first showing does and waits for its refresh.
    void startDiscovery();
    TDiscovery* discovery() const { return m_window->discovery; }
    QTreeWidgetItem* tokenRoot() const { return m_window->tv->topLevelItem(0); }

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<RecordingShell> m_shell;
    std::unique_ptr<TProgramState> m_state;
    std::unique_ptr<DiscoveryWindow> m_window;
    std::unique_ptr<QSignalSpy> m_refreshes;
};

void TstDiscovery::init()
{
    m_env = std::make_unique<TestEnv>();
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_shell = std::make_unique<RecordingShell>();
    m_state = std::make_unique<TProgramState>();
    m_state->timings = testTimings();
    ResStrs::resetToDefaults();
}

void TstDiscovery::cleanup()
{
    m_refreshes.reset();
    m_window.reset();
    m_state.reset();
    m_shell.reset();
    m_dialogs.reset();
    m_env.reset();
    ResStrs::resetToDefaults();
}

void TstDiscovery::startDiscovery()
{
    m_window = std::make_unique<DiscoveryWindow>(*m_state);
    m_refreshes = std::make_unique<QSignalSpy>(discovery(), &TDiscovery::refreshed);
    discovery()->startLibrary();
    QVERIFY(discovery()->libraryReady());
    QX_TRY_COMPARE(m_refreshes->count(), 1);
}

void TstDiscovery::refreshBuildsTokenTree_data()
{
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QStringList>("nodes");
    QTest::newRow("one token, label trimmed")
        << QStringList{QStringLiteral("  甲 Key  ")} << QStringList{QStringLiteral("甲 Key")};
    QTest::newRow("three tokens in slot order")
        << QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}
        << QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
}

void TstDiscovery::refreshBuildsTokenTree()
{
    QFETCH(QStringList, labels);
    QFETCH(QStringList, nodes);
    for (int i = 0; i < labels.size(); ++i)
        QVERIFY(TokenCtl::create(serialOf(i), {QStringLiteral("--label"), labels[i]}));
    startDiscovery();

    QCOMPARE(m_refreshes->first().first().toUInt(), 0u);
    QCOMPARE(m_state->tokenCount(), int(labels.size()));
    QCOMPARE(childTexts(tokenRoot()), nodes);
    const QStringList functions{QStringLiteral("修改USB Key口令"), QStringLiteral("修改USB Key名称"),
                                QStringLiteral("证书"), QStringLiteral("远程解锁")};
    const QList<int> images{4, 11, 3, 22};
    for (int t = 0; t < labels.size(); ++t) {
        QTreeWidgetItem* token = tokenRoot()->child(t);
        QCOMPARE(childTexts(token), functions);
        for (int f = 0; f < token->childCount(); ++f)
            QCOMPARE(TreeImages::imageIndex(token->child(f)), images[f]);
        QCOMPARE(m_state->loginState(t), 1);
        QCOMPARE(m_state->tokenInfo(t).SerialNumber, serialOf(t));
    }
    QCOMPARE(m_state->loginState(int(labels.size())), 0);
    QVERIFY(tokenRoot()->isExpanded());
    QVERIFY(tokenRoot()->child(0)->isExpanded());
    QCOMPARE(m_window->tv->currentItem(), tokenRoot());
    QCOMPARE(m_state->currentToken(), 0);
    QCOMPARE(m_window->rpc->currentIndex(), 0);
    QVERIFY(!m_window->fingerLogon->isVisible());
    QCOMPARE(listColumn(m_window->lv, 1).value(0), labels[0]);
}

void TstDiscovery::refreshWithoutTokenShowsErrorNode()
{
    startDiscovery();
    QCOMPARE(m_refreshes->first().first().toUInt(), 1u);
    QCOMPARE(childTexts(tokenRoot()), QStringList{QStringLiteral("获取USBKey信息失败")});
    QCOMPARE(m_window->tv->currentItem(), tokenRoot());
    QCOMPARE(m_window->rpc->currentIndex(), 0);
    QCOMPARE(m_window->lv->rowCount(), 0);
    QCOMPARE(m_state->tokenCount(), 0);
    QVERIFY(m_dialogs->messages().isEmpty());
}

void TstDiscovery::keyInformationList_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("values");
    const QStringList values{QStringLiteral("Key 甲"),
                             QStringLiteral("Vostrel"),
                             QStringLiteral("QX4100"),
                             serialOf(0),
                             QStringLiteral("16"),
                             QStringLiteral("6"),
                             QStringLiteral("10"),
                             QStringLiteral("10"),
                             QString(),
                             QStringLiteral("64.00 MB"),
                             QStringLiteral("1000 KB"),
                             QStringLiteral("1.02"),
                             QStringLiteral("2.10")};
    QStringList zh = values;
    zh[8] = QStringLiteral("未锁死");
    QStringList en = values;
    en[8] = QStringLiteral("Not locked");
    QTest::newRow("Chinese") << QString()
                             << QStringList{QStringLiteral("USBKey名称"),
                                            QStringLiteral("生产厂商"),
                                            QStringLiteral("产品型号"),
                                            QStringLiteral("序列号"),
                                            QStringLiteral("最大密码长度"),
                                            QStringLiteral("最小密码长度"),
                                            QStringLiteral("最大重试次数"),
                                            QStringLiteral("USBKey口令剩余重试次数"),
                                            QStringLiteral("USBKey口令是否被锁"),
                                            QStringLiteral("总空间"),
                                            QStringLiteral("剩余空间"),
                                            QStringLiteral("硬件版本"),
                                            QStringLiteral("固件版本")}
                             << zh;
    QTest::newRow("English") << QStringLiteral("EN_1033.lng")
                             << QStringList{QStringLiteral("USB key name"),
                                            QStringLiteral("Manufacturer"),
                                            QStringLiteral("Model"),
                                            QStringLiteral("Serial number"),
                                            QStringLiteral("Maximum PIN length"),
                                            QStringLiteral("Minimum PIN length"),
                                            QStringLiteral("Maximum attempts"),
                                            QStringLiteral("PIN attempts left"),
                                            QStringLiteral("PIN locked"),
                                            QStringLiteral("Total space"),
                                            QStringLiteral("Free space"),
                                            QStringLiteral("Hardware version"),
                                            QStringLiteral("Firmware version")}
                             << en;
}

void TstDiscovery::keyInformationList()
{
    QFETCH(QString, language);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, values);
    if (!language.isEmpty())
        ResStrs::load(m_env->appDir() + QStringLiteral("Languages/") + language);
    QVERIFY(TokenCtl::create(serialOf(0),
                             {QStringLiteral("--label"), QStringLiteral("Key 甲"),
                              QStringLiteral("--pin-max"), QStringLiteral("16"), QStringLiteral("--pin-min"),
                              QStringLiteral("6"), QStringLiteral("--tries"), QStringLiteral("10"),
                              QStringLiteral("--memory"), QString::number(64 * 1024 * 1024),
                              QStringLiteral("--free"), QString::number(1024000), QStringLiteral("--hw"),
                              QStringLiteral("0x0102"), QStringLiteral("--fw"), QStringLiteral("0x020A")}));
    startDiscovery();
    QCOMPARE(listColumn(m_window->lv, 0), fields);
    QCOMPARE(listColumn(m_window->lv, 1), values);
}

void TstDiscovery::libraryStartsAfterShowing()
{
    QVERIFY(TokenCtl::create(serialOf(0)));
    m_window = std::make_unique<DiscoveryWindow>(*m_state);
    QSignalSpy refreshes(discovery(), &TDiscovery::refreshed);
    m_window->show();
    QVERIFY(!discovery()->libraryReady());
    QX_TRY_COMPARE(refreshes.count(), 1);
    QVERIFY(discovery()->libraryReady());
    QCOMPARE(childTexts(tokenRoot()), QStringList{QStringLiteral("QX4100")});
    // Showing again starts nothing more.
    m_window->hide();
    m_window->show();
    QVERIFY(!discovery()->findChild<QTimer*>(QStringLiteral("TLibraryStart"))->isActive());
    QCOMPARE(refreshes.count(), 1);
}

void TstDiscovery::failedLibraryStartClosesWindow()
{
    // A language file that names a module the library does not serve.
    const QString lng = m_env->path(QStringLiteral("other.lng"));
    QFile en(m_env->appDir() + QStringLiteral("Languages/EN_1033.lng"));
    QVERIFY(en.open(QIODevice::ReadOnly));
    QByteArray text = en.readAll();
    text.replace("\nPKCS11Name=", "\nPKCS11Name_unused=");
    text += "\nPKCS11Name=nobody_pkcs11.dll\n";
    QFile out(lng);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(text);
    out.close();
    ResStrs::load(lng);
    QCOMPARE(ResStrs::text("PKCS11Name"), QStringLiteral("nobody_pkcs11.dll"));

    m_window = std::make_unique<DiscoveryWindow>(*m_state);
    QSignalSpy refreshes(discovery(), &TDiscovery::refreshed);
    m_window->show();
    QX_TRY_VERIFY(!m_window->isVisible());
    QVERIFY(!discovery()->libraryReady());
    QCOMPARE(refreshes.count(), 0);
    QCOMPARE(m_dialogs->texts(), QStringList{QStringLiteral("PKCS#11 initialization failed")});
    QCOMPARE(m_dialogs->messages().first().icon, DialogService::Icon::Information);
    QCOMPARE(m_dialogs->messages().first().ownerAtShow, m_window.get());
}

void TstDiscovery::uninitializedTokensWarnOnce()
{
    QVERIFY(TokenCtl::create(serialOf(0), {QStringLiteral("--not-initialized")}));
    QVERIFY(TokenCtl::create(serialOf(1), {QStringLiteral("--not-initialized")}));
    startDiscovery();
    QX_TRY_COMPARE(m_dialogs->messages().size(), 1);
    // One box naming both tokens.
    QCOMPARE(m_dialogs->lastText(), QStringLiteral("设备未初始化，请与管理员联系\n") + serialOf(0) +
                                        QStringLiteral(", ") + serialOf(1));
    QCOMPARE(m_dialogs->messages().first().ownerAtShow, m_window.get());
    QX_TRY_VERIFY(!discovery()->findChild<QTimer*>(QStringLiteral("TCheckInit"))->isActive());
    QCOMPARE(m_dialogs->messages().size(), 1);

    // Refreshing does not name them again; a token pulled out and plugged back in is named again.
    m_window->refreshAction->trigger();
    QX_TRY_COMPARE(m_refreshes->count(), 2);
    QX_TRY_VERIFY(!discovery()->findChild<QTimer*>(QStringLiteral("TCheckInit"))->isActive());
    QCOMPARE(m_dialogs->messages().size(), 1);
    QVERIFY(TokenCtl::pull(serialOf(1)));
    QX_TRY_COMPARE(m_state->tokenCount(), 1);
    QX_TRY_VERIFY(!discovery()->refreshing());
    QVERIFY(TokenCtl::plug(serialOf(1)));
    QX_TRY_COMPARE(m_dialogs->messages().size(), 2);
    QCOMPARE(m_dialogs->lastText(), QStringLiteral("设备未初始化，请与管理员联系\n") + serialOf(1));
}

void TstDiscovery::refreshButtonChecksInitialization()
{
    QVERIFY(TokenCtl::create(serialOf(0)));
    startDiscovery();
    auto* checkInit = discovery()->findChild<QTimer*>(QStringLiteral("TCheckInit"));
    QX_TRY_VERIFY(!checkInit->isActive());
    QVERIFY(m_dialogs->messages().isEmpty());

    // Only the button refreshes: the new token's arrival notice is kept out.
    discovery()->notifier()->blockSignals(true);
    QVERIFY(TokenCtl::create(serialOf(1), {QStringLiteral("--not-initialized")}));
    m_window->refreshAction->trigger();
    QX_TRY_COMPARE(m_refreshes->count(), 2);
    QCOMPARE(m_state->tokenCount(), 2);
    QX_TRY_COMPARE(m_dialogs->texts(),
                   QStringList{QStringLiteral("设备未初始化，请与管理员联系\n") + serialOf(1)});
}

void TstDiscovery::arrivalOfServedModelRefreshes_data()
{
    QTest::addColumn<quint32>("pid");
    QTest::addColumn<bool>("pkcs11");
    QTest::addColumn<bool>("refreshes");
    QTest::newRow("first served model") << quint32(ServedProductIds[0]) << false << true;
    QTest::newRow("last served model") << quint32(ServedProductIds[3]) << false << true;
    QTest::newRow("other model") << quint32(0x1234) << false << false;
    // A reader of any make may hold a token of a named PKCS#11 module.
    QTest::newRow("other model, PKCS#11 module") << quint32(0x1234) << true << true;
}

void TstDiscovery::arrivalOfServedModelRefreshes()
{
    QFETCH(quint32, pid);
    QFETCH(bool, pkcs11);
    QFETCH(bool, refreshes);
    std::unique_ptr<SoftHsmToken> hsm;
    if (pkcs11) {
        hsm = std::make_unique<SoftHsmToken>();
        if (!hsm->ok())
            QSKIP("SoftHSM2 is not installed (scripts/install-deps.sh installs it)");
        QVERIFY(hsm->initToken(QStringLiteral("Reader card"), "12345678", "87654321"));
        m_state->options.modulePath = QString::fromLocal8Bit(SoftHsmToken::module());
    }
    startDiscovery();
    QVERIFY(TokenCtl::create(serialOf(0),
                             {QStringLiteral("--pid"), QString::number(pid), QStringLiteral("--unplugged")}));
    QSignalSpy arrivals(discovery()->notifier(), &TUSB::arrived);
    QVERIFY(TokenCtl::plug(serialOf(0)));
    QX_TRY_COMPARE(arrivals.count(), 1);
    QCOMPARE(discovery()->notifier()->productId(), pid);
    auto* retry = discovery()->findChild<QTimer*>(QStringLiteral("TFindUSBKey"));
    if (!refreshes) {
        QVERIFY(!discovery()->findChild<QTimer*>(QStringLiteral("TArrivalWait"))->isActive());
        QVERIFY(!retry->isActive());
        QCOMPARE(m_refreshes->count(), 1);
        return;
    }
    QX_TRY_COMPARE(m_refreshes->count(), 2);
    QCOMPARE(m_refreshes->last().first().toUInt(), 0u);
    QVERIFY(!retry->isActive());
    QVERIFY(
        childTexts(tokenRoot()).contains(pkcs11 ? QStringLiteral("Reader card") : QStringLiteral("QX4100")));
}

void TstDiscovery::arrivalRetriesFourTimesThenGivesUp()
{
    // A served device arrives but no token can be found: four attempts, then quiet.
    startDiscovery();
    QDialog import(m_window.get());
    m_window->importDialog = &import;
    import.show();
    discovery()->notifier()->deviceChanged(TUSB::Event::Arrival, pathOf(serialOf(0)));
    auto* retry = discovery()->findChild<QTimer*>(QStringLiteral("TFindUSBKey"));
    QX_TRY_COMPARE(m_refreshes->count(), 1 + 4);
    QX_TRY_VERIFY(!retry->isActive());
    QCOMPARE(m_refreshes->count(), 1 + 4);
    for (const QList<QVariant>& r : std::as_const(*m_refreshes))
        QCOMPARE(r.first().toUInt(), 1u);
    QVERIFY(!import.isVisible());

    // A token plugged in later is found by the next arrival.
    QVERIFY(TokenCtl::create(serialOf(0)));
    discovery()->notifier()->deviceChanged(TUSB::Event::Arrival, pathOf(serialOf(0)));
    QX_TRY_COMPARE(m_refreshes->count(), 6);
    QCOMPARE(m_refreshes->last().first().toUInt(), 0u);
}

void TstDiscovery::removalWithTokensStillThereDoesNothing()
{
    QVERIFY(TokenCtl::create(serialOf(0)));
    startDiscovery();
    discovery()->notifier()->deviceChanged(TUSB::Event::Removal, pathOf(QStringLiteral("SOMEOTHERTOKEN00")));
    QVERIFY(!discovery()->findChild<QTimer*>(QStringLiteral("TFindUSBKey"))->isActive());
    QCOMPARE(m_refreshes->count(), 1);
}

void TstDiscovery::removalOfTokenRefreshesOnceAndClosesImport()
{
    QVERIFY(TokenCtl::create(serialOf(0)));
    startDiscovery();
    QDialog import(m_window.get());
    m_window->importDialog = &import;
    import.show();

    QVERIFY(TokenCtl::pull(serialOf(0)));
    QX_TRY_COMPARE(m_refreshes->count(), 2);
    QCOMPARE(m_refreshes->last().first().toUInt(), 1u);
    QCOMPARE(childTexts(tokenRoot()), QStringList{QStringLiteral("获取USBKey信息失败")});
    QVERIFY(!import.isVisible());
    QCOMPARE(import.result(), int(QDialog::Rejected));
    // The countdown of a removal allows this one attempt only.
    QX_TRY_VERIFY(!discovery()->findChild<QTimer*>(QStringLiteral("TFindUSBKey"))->isActive());
    QCOMPARE(m_refreshes->count(), 2);
}

void TstDiscovery::notificationStormRefreshesOnce()
{
    QVERIFY(TokenCtl::create(serialOf(0)));
    startDiscovery();
    // The whole storm arrives before the event loop runs again, so before the first retry.
    int sent = 0;
    for (; sent < 50; ++sent)
        discovery()->notifier()->deviceChanged(TUSB::Event::Arrival, pathOf(serialOf(0)));
    QCOMPARE(sent, 50);
    QX_TRY_COMPARE(m_refreshes->count(), 2);
    auto* retry = discovery()->findChild<QTimer*>(QStringLiteral("TFindUSBKey"));
    QX_TRY_VERIFY(!retry->isActive());
    QCOMPARE(m_refreshes->count(), 2);
    QCOMPARE(m_refreshes->last().first().toUInt(), 0u);
}

void TstDiscovery::thirtyTwoTokens()
{
    for (int i = 0; i < 32; ++i)
        QVERIFY(TokenCtl::create(serialOf(i), {QStringLiteral("--label"), QStringLiteral("T%1").arg(i)}));
    startDiscovery();
    QCOMPARE(m_refreshes->first().first().toUInt(), 0u);
    QCOMPARE(m_state->tokenCount(), 32);
    QCOMPARE(tokenRoot()->childCount(), 32);
    QCOMPARE(tokenRoot()->child(31)->text(0), QStringLiteral("T31"));
    QCOMPARE(tokenRoot()->child(31)->childCount(), 4);
    QCOMPARE(m_state->loginState(31), 1);
    QCOMPARE(m_state->loginState(32), 0);
}

void TstDiscovery::tokenPulledDuringRefresh()
{
    QVERIFY(TokenCtl::create(serialOf(0)));
    QVERIFY(TokenCtl::create(serialOf(1)));
    QVERIFY(TokenCtl::fault(serialOf(1), {QStringLiteral("pull-next"), QStringLiteral("token_get_info_ex")}));
    startDiscovery();
    QVERIFY(m_refreshes->first().first().toUInt() != 0);
    QCOMPARE(childTexts(tokenRoot()), QStringList{QStringLiteral("获取USBKey信息失败")});

    // The token comes back: its arrival brings the tree back.
    QVERIFY(TokenCtl::plug(serialOf(1)));
    QX_TRY_COMPARE(m_refreshes->count(), 2);
    QCOMPARE(m_refreshes->last().first().toUInt(), 0u);
    QCOMPARE(tokenRoot()->childCount(), 2);
}

void TstDiscovery::notifiedRefreshOpensConfiguredAddress_data()
{
    QTest::addColumn<int>("openMode");
    QTest::newRow("OpenMode 1 opens the address") << 1;
    QTest::newRow("OpenMode 0 opens nothing") << 0;
}

void TstDiscovery::notifiedRefreshOpensConfiguredAddress()
{
    QFETCH(int, openMode);
    m_state->config.OpenMode = openMode;
    m_state->config.URL = QStringLiteral("https://portal.example.test/token");
    QVERIFY(TokenCtl::create(serialOf(0)));
    QVERIFY(TokenCtl::create(serialOf(1), {QStringLiteral("--unplugged")}));
    startDiscovery();
    // Neither the start nor the refresh button opens it.
    m_window->refreshAction->trigger();
    QX_TRY_COMPARE(m_refreshes->count(), 2);
    QVERIFY(m_shell->requests().isEmpty());

    QVERIFY(TokenCtl::plug(serialOf(1)));
    QX_TRY_COMPARE(m_refreshes->count(), 3);
    QCOMPARE(m_refreshes->last().first().toUInt(), 0u);
    if (openMode != 1) {
        QVERIFY(m_shell->requests().isEmpty());
        return;
    }
    QCOMPARE(m_shell->requests().size(), 1);
    QCOMPARE(m_shell->requests().first().target, m_state->config.URL);
}

void TstDiscovery::fingerprintRows_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QList<int>>("enrolled");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("values");
    QTest::newRow("two user fingers")
        << QStringList{} << QList<int>{2, 7}
        << QStringList{QStringLiteral("用户指纹剩余重试次数"), QStringLiteral("用户指纹已录入数量")}
        << QStringList{QStringLiteral("10"), QStringLiteral("2")};
    QTest::newRow("none enrolled") << QStringList{} << QList<int>{}
                                   << QStringList{QStringLiteral("用户指纹剩余重试次数"),
                                                  QStringLiteral("用户指纹已录入数量")}
                                   << QStringList{QStringLiteral("10"), QStringLiteral("0")};
    QTest::newRow("fingerprints not initialized")
        << QStringList{QStringLiteral("--not-initialized")} << QList<int>{}
        << QStringList{QStringLiteral("指纹状态")} << QStringList{QStringLiteral("指纹未初始化")};
}

void TstDiscovery::fingerprintRows()
{
    QFETCH(QStringList, options);
    QFETCH(QList<int>, enrolled);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, values);
    TSkfBinding skf(QStringLiteral(SKF_LIBRARY_DIR "/"));
    QVERIFY(skf.isLoaded());
    m_state->sessions.setSkf(&skf);
    QVERIFY(TokenCtl::create(serialOf(0), QStringList{QStringLiteral("--finger")} + options));
    for (int finger : enrolled)
        QVERIFY(TokenCtl::run({QStringLiteral("finger"), serialOf(0), QStringLiteral("enroll"),
                               QStringLiteral("user"), QString::number(finger)}));
    startDiscovery();

    QVERIFY(skf.fingerFlag());
    QVERIFY(m_window->fingerLogon->isVisible());
    QCOMPARE(childTexts(tokenRoot()->child(0)).value(3), QStringLiteral("用户指纹"));
    QCOMPARE(TreeImages::imageIndex(tokenRoot()->child(0)->child(3)), 18);
    QCOMPARE(m_window->lv->rowCount(), 13 + fields.size());
    QCOMPARE(listColumn(m_window->lv, 0).mid(13), fields);
    QCOMPARE(listColumn(m_window->lv, 1).mid(13), values);
    m_window.reset();
}

void TstDiscovery::mainWindowDiscoversTokens()
{
    QVERIFY(TokenCtl::create(serialOf(0), {QStringLiteral("--label"), QStringLiteral("First")}));
    QVERIFY(TokenCtl::create(serialOf(1), {QStringLiteral("--label"), QStringLiteral("Second")}));
    TMainForm form;
    form.state().timings = testTimings();
    QSignalSpy refreshes(form.discovery(), &TDiscovery::refreshed);
    form.show();
    QX_TRY_COMPARE(refreshes.count(), 1);
    QCOMPARE(refreshes.first().first().toUInt(), 0u);
    auto* tv = form.findChild<QTreeWidget*>(QStringLiteral("tv"));
    auto* lv = form.findChild<QTableWidget*>(QStringLiteral("lv"));
    QTreeWidgetItem* root = tv->topLevelItem(0);
    QCOMPARE(childTexts(root), (QStringList{QStringLiteral("First"), QStringLiteral("Second")}));
    QCOMPARE(listColumn(lv, 1).value(3), serialOf(0));

    // Selecting the second token shows its properties.
    tv->setCurrentItem(root->child(1));
    QCOMPARE(form.state().currentToken(), 1);
    QCOMPARE(listColumn(lv, 1).value(3), serialOf(1));

    // The refresh button finds them again and stays with the token the user was on.
    form.findChild<QAction*>(QStringLiteral("AcFindKeyRefresh"))->trigger();
    QX_TRY_COMPARE(refreshes.count(), 2);
    QCOMPARE(form.state().currentToken(), 1);
    QCOMPARE(tv->currentItem(), root->child(1));
    QCOMPARE(listColumn(lv, 1).value(3), serialOf(1));
}

// Plugging and pulling other tokens keeps the user's token, its page and what was typed there;
// losing the token, or choosing another, empties every masked field.
void TstDiscovery::hotPlugKeepsTheUsersPlace()
{
    QVERIFY(TokenCtl::create(serialOf(0), {QStringLiteral("--label"), QStringLiteral("First")}));
    QVERIFY(TokenCtl::create(serialOf(2), {QStringLiteral("--label"), QStringLiteral("Third")}));
    QVERIFY(TokenCtl::create(
        serialOf(1), {QStringLiteral("--label"), QStringLiteral("Second"), QStringLiteral("--unplugged")}));
    TMainForm form;
    form.state().timings = testTimings();
    QSignalSpy refreshes(form.discovery(), &TDiscovery::refreshed);
    form.show();
    QX_TRY_COMPARE(refreshes.count(), 1);
    auto* tv = form.findChild<QTreeWidget*>(QStringLiteral("tv"));
    auto* rpc = form.findChild<QStackedWidget*>(QStringLiteral("RPC"));
    auto* pin = form.findChild<QLineEdit*>(QStringLiteral("edtUPIN"));
    QVERIFY(pin);
    auto nodeOf = [tv](const QString& label) -> QTreeWidgetItem* {
        QTreeWidgetItem* root = tv->topLevelItem(0);
        for (int i = 0; i < root->childCount(); ++i) {
            if (root->child(i)->text(0) == label)
                return root->child(i);
        }
        return nullptr;
    };
    auto currentSerial = [&form] { return form.state().tokenInfo(form.state().currentToken()).SerialNumber; };

    // The certificates node of "Third" asks for its PIN; the user starts typing.
    tv->setCurrentItem(nodeOf(QStringLiteral("Third"))->child(2));
    QWidget* loginPage = rpc->currentWidget();
    QCOMPARE(loginPage, form.page(PageId::Login));
    QTest::keyClicks(pin, QStringLiteral("1234"));

    QVERIFY(TokenCtl::plug(serialOf(1)));
    QX_TRY_COMPARE(refreshes.count(), 2);
    QCOMPARE(tv->topLevelItem(0)->childCount(), 3);
    QCOMPARE(currentSerial(), serialOf(2));
    QCOMPARE(tv->currentItem(), nodeOf(QStringLiteral("Third"))->child(2));
    QCOMPARE(rpc->currentWidget(), loginPage);
    QCOMPARE(pin->text(), QStringLiteral("1234"));

    QVERIFY(TokenCtl::pull(serialOf(0)));
    QX_TRY_COMPARE(refreshes.count(), 3);
    QCOMPARE(currentSerial(), serialOf(2));
    QCOMPARE(pin->text(), QStringLiteral("1234"));

    // Choosing another token empties the field.
    tv->setCurrentItem(nodeOf(QStringLiteral("Second"))->child(2));
    QVERIFY(pin->text().isEmpty());

    // So does losing the token: the first token and its properties are shown.
    QTest::keyClicks(pin, QStringLiteral("5678"));
    QVERIFY(TokenCtl::pull(serialOf(1)));
    QX_TRY_COMPARE(refreshes.count(), 4);
    QCOMPARE(form.state().currentToken(), 0);
    QCOMPARE(rpc->currentWidget(), form.page(PageId::KeyInfo));
    QVERIFY(pin->text().isEmpty());
}

// In English every node of the tree and every cell of the key information list is shown whole; a
// text that cannot be (a long token label) shows itself whole as the tooltip.
void TstDiscovery::englishTextsFitOrShowWhole()
{
    ResStrs::load(m_env->appDir() + QStringLiteral("Languages/EN_1033.lng"));
    const QString longLabel = QStringLiteral("Finance department signing key 7");
    QVERIFY(
        TokenCtl::create(serialOf(0), {QStringLiteral("--finger"), QStringLiteral("--label"), longLabel}));
    TSkfBinding skf(QStringLiteral(SKF_LIBRARY_DIR "/"));
    TMainForm form;
    form.state().timings = testTimings();
    form.state().sessions.setSkf(&skf);
    QSignalSpy refreshes(form.discovery(), &TDiscovery::refreshed);
    form.show();
    QX_TRY_COMPARE(refreshes.count(), 1);
    auto* tv = form.findChild<QTreeWidget*>(QStringLiteral("tv"));
    auto* lv = form.findChild<QTableWidget*>(QStringLiteral("lv"));
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QStringList cut;
    QTreeWidgetItemIterator it(tv);
    int nodes = 0;
    for (; *it; ++it, ++nodes) {
        const QString text = TElidedToolTips::cutText(tv, tv->indexFromItem(*it));
        if (!text.isEmpty())
            cut << text;
    }
    QCOMPARE(nodes, 9);
    QCOMPARE(cut, QStringList{longLabel});
    for (int r = 0; r < lv->rowCount(); ++r) {
        for (int c = 0; c < 2; ++c) {
            const QString text = TElidedToolTips::cutText(lv, lv->model()->index(r, c));
            QVERIFY2(text.isEmpty() || text == longLabel, qPrintable(text));
        }
    }

    // Hovering the cut label shows it whole.
    QTreeWidgetItem* token = tv->topLevelItem(0)->child(0);
    const QRect rect = tv->visualItemRect(token);
    QHelpEvent help(QEvent::ToolTip, rect.center(), tv->viewport()->mapToGlobal(rect.center()));
    QApplication::sendEvent(tv->viewport(), &help);
    QX_TRY_COMPARE(QToolTip::text(), longLabel);
}

QTEST_MAIN(TstDiscovery)
#include "tst_discovery.moc"
