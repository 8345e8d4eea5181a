// SPDX-License-Identifier: BSD-3-Clause
#include "ScriptedDialogs.h"
#include "TestEnv.h"
#include "TestTimings.h"
#include "TestWait.h"
#include "TokenFixture.h"
#include "VTokenStore.h"
#include "i18n/ResStrs.h"
#include "pinadmin/TLoginPage.h"
#include "skf/TSkfBinding.h"
#include "token/CerMgrApis.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <optional>

namespace {
const QString kPin = QString::fromLatin1(TokenFixture::UserPin);

// What the library says about the user PIN of slot 0.
TPinState userPinState()
{
    TPinState s;
    CerMgrApis::ReadPinState(0, PinType::User, s);
    return s;
}
} // namespace

class TstLogin : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void loginFollowsPinLength_data();
    void loginFollowsPinLength();
    void failedLogin_data();
    void failedLogin();
    void triesCountDownAndSuccessEmptiesTheField();
    void cancelEmptiesTheField();
    void fieldIsYellowWhileFocused();
    void fingerprintSideGetsTheUserPin_data();
    void fingerprintSideGetsTheUserPin();

private:
    // Stores `token` as the only one, connects it as slot 0 and shows the login page for it.
    void connectToken(const VToken& token);
    QLineEdit* pin() const { return m_page->pinEdit(); }
    void typePin(const QString& text)
    {
        pin()->clear();
        QTest::keyClicks(pin(), text);
    }
    // Clicks the login button once the idle-time update has enabled it.
    bool clickLogin()
    {
        auto* button = m_page->findChild<TActionButton*>(QStringLiteral("btnlogon"));
        if (!QTest::qWaitFor([button] { return button->isEnabled(); }))
            return false;
        QTest::mouseClick(button, Qt::LeftButton);
        return true;
    }

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<TProgramState> m_state;
    std::unique_ptr<TLoginPage> m_page;
    std::unique_ptr<QSignalSpy> m_loggedIn;
};

void TstLogin::init()
{
    m_env = std::make_unique<TestEnv>(false);
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_state = std::make_unique<TProgramState>();
    m_state->timings = testTimings();
    ResStrs::resetToDefaults();
}

void TstLogin::cleanup()
{
    m_loggedIn.reset();
    m_page.reset();
    CerMgrApis::FreeTokenLibrary();
    m_state.reset();
    m_dialogs.reset();
    m_env.reset();
}

void TstLogin::connectToken(const VToken& token)
{
    QVERIFY(TokenFixture::store(token));
    QCOMPARE(CerMgrApis::InitTokenLibrary(ResStrs::text("PKCS11Name")), 0u);
    qint32 count = 0;
    QCOMPARE(CerMgrApis::FindAndConnectTokens(count), 0u);
    QCOMPARE(count, 1);
    m_state->sessions.reset(1);
    QCOMPARE(CerMgrApis::ReadTokenInfo(0, m_state->sessions.at(0)->info()), 0u);
    m_state->sessions.setCurrent(0);
    m_state->sessions.at(0)->setLogin(TTokenSession::Login::Found);
    m_page = std::make_unique<TLoginPage>(*m_state);
    m_page->setKeyName(QString::fromUtf8(token.label));
    m_loggedIn = std::make_unique<QSignalSpy>(m_page.get(), &TLoginPage::loggedIn);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
}

void TstLogin::loginFollowsPinLength_data()
{
    QTest::addColumn<int>("minLength");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("empty") << 4 << QString() << false;
    QTest::newRow("one short") << 4 << QStringLiteral("123") << false;
    QTest::newRow("shortest") << 4 << QStringLiteral("1234") << true;
    QTest::newRow("six of eight") << 8 << QStringLiteral("123456") << false;
}

void TstLogin::loginFollowsPinLength()
{
    QFETCH(int, minLength);
    QFETCH(QString, typed);
    QFETCH(bool, enabled);
    VToken token = TokenFixture::token(0);
    token.userPin.minLength = minLength;
    connectToken(token);
    QCOMPARE(m_page->findChild<QLabel*>(QStringLiteral("Label10"))->text(), QStringLiteral("0"));

    typePin(typed);
    QCOMPARE(m_page->findChild<QLabel*>(QStringLiteral("Label10"))->text(), QString::number(typed.size()));
    QX_TRY_COMPARE(m_page->loginAction()->isEnabled(), enabled);
    QCOMPARE(m_page->findChild<TActionButton*>(QStringLiteral("btnlogon"))->isEnabled(), enabled);
}

void TstLogin::failedLogin_data()
{
    QTest::addColumn<bool>("initialized");
    QTest::addColumn<int>("triesLeft");
    QTest::addColumn<bool>("pulledOut");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("triesAfter");

    const QString dead = QStringLiteral("USBKey已锁死");
    // clang-format off
    QTest::newRow("never initialized") << false << 10 << false << kPin
        << QStringLiteral("设备未初始化，请与管理员联系") << 10;
    QTest::newRow("locked before the attempt") << true << 0 << false << kPin << dead << 0;
    QTest::newRow("wrong PIN, 3 tries left") << true << 4 << false << QStringLiteral("11112222")
        << QStringLiteral("口令不正确\r您还有3次机会") << 3;
    QTest::newRow("wrong PIN used the last try") << true << 1 << false << QStringLiteral("11112222") << dead << 0;
    // Enter tries the login although the action is disabled; no sensor, so the PIN is wrong.
    QTest::newRow("empty PIN by Enter") << true << 10 << false << QString()
        << QStringLiteral("口令不正确\r您还有10次机会") << 10;
    // A token that is gone has not judged the PIN: it is reported as removed, not as locked.
    QTest::newRow("token pulled out") << true << 10 << true << kPin
        << QStringLiteral("USBKey已拔出，请插入后重试") << 10;
    // clang-format on
}

void TstLogin::failedLogin()
{
    QFETCH(bool, initialized);
    QFETCH(int, triesLeft);
    QFETCH(bool, pulledOut);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(int, triesAfter);
    VToken token = TokenFixture::token(0);
    token.initialized = initialized;
    token.userPin.triesLeft = triesLeft;
    connectToken(token);
    if (pulledOut)
        QCOMPARE(VTokenStore().update(token.serial,
                                      [](VToken& t) {
                                          t.pluggedIn = false;
                                          return true;
                                      }),
                 VTokenStore::Result::Ok);

    typePin(typed);
    QTest::keyClick(pin(), Qt::Key_Return);

    QCOMPARE(m_dialogs->texts(), QStringList{message});
    const ScriptedDialogs::Message& shown = m_dialogs->messages().first();
    QCOMPARE(shown.icon, DialogService::Icon::Information);
    QCOMPARE(shown.title, QStringLiteral("提示"));
    QCOMPARE(shown.ownerAtShow, m_page.get());
    QCOMPARE(m_loggedIn->count(), 0);
    // A token pulled out has no session left.
    QCOMPARE(m_state->loginState(0), pulledOut ? 0 : 1);
    // The PIN stays for another look at it.
    QCOMPARE(pin()->text(), typed);
    VToken after;
    QCOMPARE(VTokenStore().load(token.serial, &after), VTokenStore::Result::Ok);
    QCOMPARE(after.userPin.triesLeft, triesAfter);
}

void TstLogin::triesCountDownAndSuccessEmptiesTheField()
{
    connectToken(TokenFixture::token(0));
    for (int left : {9, 8}) {
        m_dialogs->clear();
        typePin(QStringLiteral("00000000"));
        QVERIFY(clickLogin());
        QCOMPARE(m_dialogs->lastText(), QStringLiteral("口令不正确\r您还有%1次机会").arg(left));
    }

    m_dialogs->clear();
    typePin(kPin);
    // The window answers the signal by building the certificate tree, under the hourglass.
    std::optional<Qt::CursorShape> cursorOnSignal;
    const QMetaObject::Connection watch = connect(m_page.get(), &TLoginPage::loggedIn, this, [&] {
        const QCursor* c = QGuiApplication::overrideCursor();
        cursorOnSignal = c ? c->shape() : Qt::ArrowCursor;
    });
    QVERIFY(clickLogin());
    disconnect(watch);
    QCOMPARE(m_dialogs->messages().size(), 0);
    QCOMPARE(m_loggedIn->count(), 1);
    QCOMPARE(cursorOnSignal, Qt::WaitCursor);
    QVERIFY(!QGuiApplication::overrideCursor());
    QCOMPARE(m_state->loginState(0), 2);
    QCOMPARE(userPinState().LoggedIn, 1);
    QCOMPARE(userPinState().RetriesLeft, 10);
    // Nothing is left for the next person at the desk to log in with.
    QCOMPARE(pin()->text(), QString());
    QCOMPARE(m_page->findChild<QLabel*>(QStringLiteral("Label10"))->text(), QStringLiteral("0"));
    QTest::keyClick(pin(), Qt::Key_Return);
    QCOMPARE(m_loggedIn->count(), 1);
    QCOMPARE(m_state->loginState(0), 1);

    // A failed attempt after a login leaves the token logged out.
    typePin(kPin);
    QVERIFY(clickLogin());
    QCOMPARE(m_loggedIn->count(), 2);
    QCOMPARE(m_state->loginState(0), 2);
    m_dialogs->clear();
    typePin(QStringLiteral("99999999"));
    QTest::keyClick(pin(), Qt::Key_Return);
    QCOMPARE(m_dialogs->lastText(), QStringLiteral("口令不正确\r您还有9次机会"));
    QCOMPARE(m_state->loginState(0), 1);
    QCOMPARE(userPinState().LoggedIn, 0);
}

void TstLogin::cancelEmptiesTheField()
{
    connectToken(TokenFixture::token(0));
    typePin(kPin);
    QTest::mouseClick(m_page->findChild<TActionButton*>(QStringLiteral("RzButton3")), Qt::LeftButton);
    QCOMPARE(pin()->text(), QString());
    QCOMPARE(m_state->loginState(0), 1);
    QCOMPARE(userPinState().LoggedIn, 0);

    // The main window empties it the same way at logout.
    typePin(kPin);
    m_page->clearPin();
    QCOMPARE(pin()->text(), QString());
    QCOMPARE(m_dialogs->messages().size(), 0);
}

void TstLogin::fieldIsYellowWhileFocused()
{
    connectToken(TokenFixture::token(0));
    const QColor standard = QApplication::palette(pin()).color(QPalette::Base);
    auto* cancel = m_page->findChild<TActionButton*>(QStringLiteral("RzButton3"));
    m_page->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_page.get()));
    pin()->setFocus();
    QX_TRY_VERIFY(pin()->hasFocus());
    QCOMPARE(pin()->palette().color(QPalette::Base), QColor(Qt::yellow));
    cancel->setFocus();
    QX_TRY_VERIFY(!pin()->hasFocus());
    QCOMPARE(pin()->palette().color(QPalette::Base), standard);
}

void TstLogin::fingerprintSideGetsTheUserPin_data()
{
    QTest::addColumn<bool>("fingerFlag");
    QTest::newRow("no fingerprint support") << false;
    QTest::newRow("fingerprint support") << true;
}

void TstLogin::fingerprintSideGetsTheUserPin()
{
    QFETCH(bool, fingerFlag);
    VToken token = TokenFixture::token(0);
    token.fingerSupport = true;
    connectToken(token);
    TSkfBinding skf(QStringLiteral(SKF_LIBRARY_DIR "/"));
    QVERIFY(skf.isLoaded());
    QCOMPARE(skf.LoadFingerDevices(), SAR_OK);
    skf.setFingerFlag(fingerFlag);
    // The fingerprint page left the administrator's fingers showing.
    skf.setCurrentPinType(SKF_ADMIN_TYPE);
    m_state->sessions.setSkf(&skf);
    HAPPLICATION app = skf.currentApplication();
    QVERIFY(app);
    skf.ClearSecureState(app);
    QCOMPARE(skf.DeleteFinger(app, SKF_USER_TYPE, SKF_ALL_FINGERS), SAR_USER_NOT_LOGGED_IN);

    typePin(kPin);
    QVERIFY(clickLogin());
    QCOMPARE(m_loggedIn->count(), 1);
    const uint32_t fingers = skf.DeleteFinger(app, SKF_USER_TYPE, SKF_ALL_FINGERS);
    QCOMPARE(fingers == SAR_USER_NOT_LOGGED_IN, !fingerFlag);
    // The user PIN was never offered as the administrator's.
    TPinState so;
    CerMgrApis::ReadPinState(0, PinType::So, so);
    QCOMPARE(so.RetriesLeft, so.MaxRetries);
    m_state->sessions.setSkf(nullptr);
}

QTEST_MAIN(TstLogin)
#include "tst_login.moc"
