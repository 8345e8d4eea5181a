// SPDX-License-Identifier: BSD-3-Clause
#include "ConnectedToken.h"
#include "ScriptedDialogs.h"
#include "TestEnv.h"
#include "TestTimings.h"
#include "pinadmin/TRemoteUnlockPage.h"
#include "ui/TActionButton.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QtTest>

#include <memory>

namespace {
const QString kPin = QString::fromLatin1(TokenFixture::UserPin);
// TM_ERR_RESPONSE and TM_ERR_TOKEN_REMOVED in decimal.
const QString kWrongResponse = QStringLiteral("解锁失败，错误码 = 167772451");

// The response tokenctl computes for the token's challenge, as the administrator would send it.
QString responseFor(const QString& serial, const QString& challenge)
{
    QProcess p;
    p.start(QStringLiteral(TOKENCTL_PATH), {QStringLiteral("unlock-response"), serial, challenge});
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        return {};
    return QString::fromLatin1(p.readAllStandardOutput()).trimmed();
}
} // namespace

class TstRemoteUnlock : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void challengeIsShown();
    void challengeFromAPulledToken();
    void decodesPairs_data();
    void decodesPairs();
    void roundTrip_data();
    void roundTrip();
    void badResponses_data();
    void badResponses();

private:
    void showBlockedToken();
    QString request();
    void unlock(const QString& text)
    {
        m_dialogs->clear();
        m_page->unlockCodeEdit()->setPlainText(text);
        QTest::mouseClick(m_page->findChild<TActionButton*>(QStringLiteral("Button23")), Qt::LeftButton);
    }

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<TProgramState> m_state;
    std::unique_ptr<TRemoteUnlockPage> m_page;
    VToken m_token;
};

void TstRemoteUnlock::init()
{
    m_env = std::make_unique<TestEnv>(false);
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_state = std::make_unique<TProgramState>();
    m_state->timings = testTimings();
    ResStrs::resetToDefaults();
    m_token = TokenFixture::token(0);
    QVERIFY(ConnectedToken::connect(m_token, *m_state));
    m_page = std::make_unique<TRemoteUnlockPage>(*m_state);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
}

void TstRemoteUnlock::cleanup()
{
    m_page.reset();
    CerMgrApis::FreeTokenLibrary();
    m_state.reset();
    m_dialogs.reset();
    m_env.reset();
}

QString TstRemoteUnlock::request()
{
    m_dialogs->clear();
    QTest::mouseClick(m_page->findChild<TActionButton*>(QStringLiteral("Button22")), Qt::LeftButton);
    return m_page->requestEdit()->text();
}

// Wrong PINs until the token blocks the user PIN, as the user who needs the unlock did.
void TstRemoteUnlock::showBlockedToken()
{
    qint32 retries = 1;
    while (retries > 0)
        QVERIFY(CerMgrApis::LoginUser(0, QStringLiteral("00000000"), retries) != 0);
    QVERIFY(ConnectedToken::stored(m_token).userPin.locked());
    m_state->sessions.at(0)->setLogin(TTokenSession::Login::UserByPin);
}

void TstRemoteUnlock::challengeIsShown()
{
    m_state->sessions.at(0)->setLogin(TTokenSession::Login::UserByPin);
    const QString challenge = request();
    QVERIFY(m_dialogs->messages().isEmpty());
    QCOMPARE(challenge.size(), 16);
    QCOMPARE(challenge, QString::fromLatin1(ConnectedToken::stored(m_token).challenge.toHex().toUpper()));
    // Asking needs no login and leaves it alone.
    QCOMPARE(m_state->loginState(0), 2);
    QVERIFY(request() != challenge);
}

void TstRemoteUnlock::challengeFromAPulledToken()
{
    const QString first = request();
    QVERIFY(ConnectedToken::change(m_token, [](VToken& t) { t.pluggedIn = false; }));
    QCOMPARE(request(), first);
    QCOMPARE(m_dialogs->texts(), QStringList{QStringLiteral("USBKey已拔出，请插入后重试")});
    QCOMPARE(m_state->loginState(0), 0);
}

void TstRemoteUnlock::decodesPairs_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("upper case") << QByteArray("0AFF7e") << QByteArray::fromHex("0AFF7E");
    QTest::newRow("lower case") << QByteArray("0aff7e") << QByteArray::fromHex("0AFF7E");
    QTest::newRow("7 characters, 3 bytes") << QByteArray("0102031") << QByteArray::fromHex("010203");
    QTest::newRow("non-hexadecimal pairs are 0") << QByteArray("G1zz12 3") << QByteArray::fromHex("00001200");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("128 digits fill the buffer") << QByteArray(128, 'f') << QByteArray(64, '\xff');
}

void TstRemoteUnlock::decodesPairs()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(TRemoteUnlockPage::decodeResponse(text), bytes);
}

void TstRemoteUnlock::roundTrip_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("lowerCase");
    QTest::addColumn<QString>("after");
    QTest::newRow("as computed") << QString() << false << QString();
    QTest::newRow("lower case") << QString() << true << QString();
    QTest::newRow("pasted with a line break") << QString() << false << QStringLiteral("\n");
    QTest::newRow("blanks and line breaks around")
        << QStringLiteral(" \n\t ") << false << QStringLiteral("  \n");
}

void TstRemoteUnlock::roundTrip()
{
    QFETCH(QString, before);
    QFETCH(bool, lowerCase);
    QFETCH(QString, after);
    showBlockedToken();
    const QString challenge = request();
    QString response = responseFor(m_token.serial, challenge);
    QCOMPARE(response.size(), 16);
    if (lowerCase)
        response = response.toLower();

    unlock(before + response + after);
    QCOMPARE(m_dialogs->texts(), QStringList{QStringLiteral("解锁成功")});
    QCOMPARE(m_state->loginState(0), 1);
    // The memo keeps what was pasted.
    QCOMPARE(m_page->unlockCodeEdit()->toPlainText(), before + response + after);
    const VToken unlocked = ConnectedToken::stored(m_token);
    QVERIFY(!unlocked.userPin.locked());
    QCOMPARE(unlocked.userPin.triesLeft, unlocked.userPin.maxTries);
    qint32 retries = 0;
    QCOMPARE(CerMgrApis::LoginUser(0, kPin, retries), 0u);

    // A response works once.
    unlock(response);
    QCOMPARE(m_dialogs->texts(), QStringList{QStringLiteral("解锁失败，错误码 = 167772450")});
}

void TstRemoteUnlock::badResponses_data()
{
    QTest::addColumn<QString>("text"); // "%1" stands for the right response
    QTest::addColumn<QString>("message");
    const QString tooLong = QStringLiteral("应答码过长，最多128位");
    QTest::newRow("0 characters") << QString() << kWrongResponse;
    QTest::newRow("7 characters") << QStringLiteral("0A1B2C3") << kWrongResponse;
    QTest::newRow("one digit changed") << QStringLiteral("~%1") << kWrongResponse;
    QTest::newRow("non-hexadecimal pairs") << QStringLiteral("ZZ%1") << kWrongResponse;
    QTest::newRow("blanks inside") << QStringLiteral("%1 1122") << kWrongResponse;
    QTest::newRow("128 characters") << QString(128, QLatin1Char('A')) << kWrongResponse;
    QTest::newRow("129 characters") << QString(129, QLatin1Char('A')) << tooLong;
    QTest::newRow("10000 characters") << QString(10000, QLatin1Char('7')) << tooLong;
}

void TstRemoteUnlock::badResponses()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    showBlockedToken();
    const QString challenge = request();
    const QString right = responseFor(m_token.serial, challenge);
    QCOMPARE(right.size(), 16);
    if (text.startsWith(QLatin1Char('~'))) {
        QString changed = right;
        changed[5] = changed[5] == QLatin1Char('0') ? QLatin1Char('1') : QLatin1Char('0');
        text = changed;
    } else if (text.contains(QStringLiteral("%1"))) {
        text = text.arg(right);
    }
    unlock(text);
    QCOMPARE(m_dialogs->texts(), QStringList{message});
    QCOMPARE(m_state->loginState(0), 1);
    const VToken after = ConnectedToken::stored(m_token);
    QVERIFY(after.userPin.locked());
    QCOMPARE(after.userPin.triesLeft, 0);
    QCOMPARE(after.challenge.toHex().toUpper(), challenge.toLatin1());
}

QTEST_MAIN(TstRemoteUnlock)
#include "tst_remoteunlock.moc"
