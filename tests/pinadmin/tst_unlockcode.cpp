// SPDX-License-Identifier: BSD-3-Clause
// The administrator's response generator: the panel below the tree, its form, and a code it makes
// unlocking a blocked virtual token through the remote unlock page.
#include "ConnectedToken.h"
#include "ScriptedDialogs.h"
#include "SoftHsmToken.h"
#include "TestEnv.h"
#include "TestTimings.h"
#include "pinadmin/TAdminPanel.h"
#include "pinadmin/TRemoteUnlockPage.h"
#include "pinadmin/TUnlockCodeForm.h"
#include "ui/TActionButton.h"

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include <memory>

class TstUnlockCode : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void generatedCodeUnlocksTheToken();
    void refusals_data();
    void refusals();
    void tokensOfAModuleAreTheIssuers();
    void withoutAdminHiddenAndInert();

private:
    // Opens the generator from Button24 and generates for the texts typed.
    TUnlockCodeForm* generate(const QString& serial, const QString& challenge);

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<TProgramState> m_state;
    std::unique_ptr<QWidget> m_window;
    TAdminPanel* m_panel = nullptr;
    VToken m_token;
};

void TstUnlockCode::init()
{
    m_env = std::make_unique<TestEnv>(false);
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_state = std::make_unique<TProgramState>();
    m_state->timings = testTimings();
    ResStrs::resetToDefaults();
    m_token = TokenFixture::token(0);
    m_window = std::make_unique<QWidget>();
    m_panel = new TAdminPanel(true, m_window.get());
}

void TstUnlockCode::cleanup()
{
    m_window.reset();
    CerMgrApis::FreeTokenLibrary();
    m_state.reset();
    m_dialogs.reset();
    m_env.reset();
}

TUnlockCodeForm* TstUnlockCode::generate(const QString& serial, const QString& challenge)
{
    m_dialogs->clear();
    QTest::mouseClick(m_panel->findChild<TActionButton*>(QStringLiteral("Button24")), Qt::LeftButton);
    TUnlockCodeForm* form = m_panel->generator();
    if (!form || !form->isVisible())
        return nullptr;
    form->serialEdit()->setText(serial);
    form->challengeEdit()->setText(challenge);
    QTest::keyClick(form->challengeEdit(), Qt::Key_Return);
    return form;
}

void TstUnlockCode::generatedCodeUnlocksTheToken()
{
    m_window->show();
    QVERIFY(ConnectedToken::connect(m_token, *m_state));
    TRemoteUnlockPage page(*m_state);
    // The user blocks the PIN and reads the challenge to the administrator.
    qint32 retries = 1;
    while (retries > 0)
        QVERIFY(CerMgrApis::LoginUser(0, QStringLiteral("00000000"), retries) != 0);
    QTest::mouseClick(page.findChild<TActionButton*>(QStringLiteral("Button22")), Qt::LeftButton);
    const QString challenge = page.requestEdit()->text();
    QCOMPARE(challenge.size(), 16);

    // Read aloud in groups of four, in lower case.
    const QString spoken =
        challenge.toLower().replace(QRegularExpression(QStringLiteral("(....)")), QStringLiteral("\\1 "));
    TUnlockCodeForm* form = generate(m_token.serial, spoken);
    QVERIFY(form);
    QCOMPARE(m_dialogs->texts(), QStringList());
    const QString response = form->responseEdit()->text();
    QCOMPARE(response.size(), 16);
    QVERIFY(form->responseEdit()->isReadOnly());

    // tokenctl answers the same for the same challenge.
    QProcess tokenctl;
    tokenctl.start(QStringLiteral(TOKENCTL_PATH),
                   {QStringLiteral("unlock-response"), m_token.serial, challenge});
    QVERIFY(tokenctl.waitForFinished(20000));
    QCOMPARE(QString::fromLatin1(tokenctl.readAllStandardOutput()).trimmed(), response);

    // Typing again drops the response: it never stands beside input it was not made for.
    form->challengeEdit()->setText(challenge);
    QVERIFY(form->responseEdit()->text().isEmpty());

    page.unlockCodeEdit()->setPlainText(response);
    QTest::mouseClick(page.findChild<TActionButton*>(QStringLiteral("Button23")), Qt::LeftButton);
    QCOMPARE(m_dialogs->texts(), QStringList{QStringLiteral("解锁成功")});
    QVERIFY(!ConnectedToken::stored(m_token).userPin.locked());
    QCOMPARE(CerMgrApis::LoginUser(0, QString::fromLatin1(TokenFixture::UserPin), retries), 0u);

    // One generator at a time: the button brings the open one back.
    QTest::mouseClick(m_panel->findChild<TActionButton*>(QStringLiteral("Button24")), Qt::LeftButton);
    QCOMPARE(m_window->findChildren<TUnlockCodeForm*>().size(), 1);
}

void TstUnlockCode::refusals_data()
{
    QTest::addColumn<QString>("serial"); // "*" stands for the stored token's serial
    QTest::addColumn<QString>("challenge");
    QTest::addColumn<QString>("message");
    const QString good = QStringLiteral("0A1B2C3D4E5F6071");
    const QString badChallenge = QStringLiteral("挑战码应为16位十六进制数字");
    const QString noToken = QStringLiteral("没有此序列号的虚拟令牌；其他令牌的应答码由令牌的发行方计算");
    QTest::newRow("no serial") << QStringLiteral("  ") << good << QStringLiteral("请输入令牌的序列号");
    QTest::newRow("15 digits") << "*" << good.left(15) << badChallenge;
    QTest::newRow("17 digits") << "*" << good + QLatin1Char('1') << badChallenge;
    QTest::newRow("not hexadecimal") << "*" << QStringLiteral("0A1B2C3D4E5F607G") << badChallenge;
    QTest::newRow("no challenge") << "*" << QString() << badChallenge;
    QTest::newRow("unknown serial") << QStringLiteral("QX4100NOSUCHTOKEN1") << good << noToken;
    QTest::newRow("not a serial at all") << QStringLiteral("../../etc/passwd") << good << noToken;
}

void TstUnlockCode::refusals()
{
    QFETCH(QString, serial);
    QFETCH(QString, challenge);
    QFETCH(QString, message);
    QVERIFY(ConnectedToken::connect(m_token, *m_state));
    m_window->show();
    TUnlockCodeForm* form = generate(serial == QLatin1String("*") ? m_token.serial : serial, challenge);
    QVERIFY(form);
    QCOMPARE(m_dialogs->texts(), QStringList{message});
    QCOMPARE(m_dialogs->messages().constFirst().owner.data(), static_cast<QWidget*>(form));
    QVERIFY(form->responseEdit()->text().isEmpty());
}

// A PKCS#11 token's unlock key never leaves its issuer: the generator says so instead of guessing.
void TstUnlockCode::tokensOfAModuleAreTheIssuers()
{
    SoftHsmToken softhsm;
    if (!softhsm.ok())
        QSKIP("SoftHSM2 is not installed");
    QCOMPARE(CerMgrApis::InitTokenLibrary(QString::fromLocal8Bit(SoftHsmToken::module())), 0u);
    m_window->show();
    TUnlockCodeForm* form = generate(m_token.serial, QStringLiteral("0A1B2C3D4E5F6071"));
    QVERIFY(form);
    QCOMPARE(m_dialogs->texts(),
             QStringList{QStringLiteral("该令牌不是虚拟令牌，其应答码由令牌的发行方计算")});
    QVERIFY(form->responseEdit()->text().isEmpty());
}

void TstUnlockCode::withoutAdminHiddenAndInert()
{
    QWidget window;
    auto* panel = new TAdminPanel(false, &window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(panel->objectName(), QStringLiteral("Panel_Admin"));
    QVERIFY(!panel->isVisible());
    QAction* action = panel->genUnlockCodeAction();
    QCOMPARE(action->objectName(), QStringLiteral("AcGenUnlockCode"));
    QCOMPARE(action->text(), QStringLiteral("生成应答码"));
    QVERIFY(!action->isEnabled());
    panel->genUnlockCode();
    QVERIFY(!panel->generator());
    QVERIFY(window.findChildren<QDialog*>().isEmpty());
}

QTEST_MAIN(TstUnlockCode)
#include "tst_unlockcode.moc"
