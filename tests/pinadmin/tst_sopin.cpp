// SPDX-License-Identifier: BSD-3-Clause
#include "ConnectedToken.h"
#include "ScriptedDialogs.h"
#include "TestEnv.h"
#include "TestTimings.h"
#include "TestWait.h"
#include "pinadmin/TSoLoginPage.h"
#include "pinadmin/TSoPinPage.h"
#include "pinadmin/TUnlockPage.h"
#include "skf/TSkfBinding.h"

#include <QAction>
#include <QLineEdit>
#include <QtTest>

#include <memory>

namespace {
const QString kSoPin = QString::fromLatin1(TokenFixture::SoPin);
const QString kUserPin = QString::fromLatin1(TokenFixture::UserPin);
const QString kDead = QStringLiteral("USBKey已锁死");
const QString kDiffer = QStringLiteral("新口令和确认口令必须相同！");
const QString kNotInit = QStringLiteral("设备未初始化，请与管理员联系");
const QString kDone = QStringLiteral("操作成功");
constexpr int None = -1;
} // namespace

// The SO PIN change and the user PIN unlock with the SO PIN, on a virtual token.
class TstSoPin : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void changeEnabling_data();
    void changeEnabling();
    void changeSoPin_data();
    void changeSoPin();
    void wrongSoPinsCountDownToTheLock();
    void unlockEnabling_data();
    void unlockEnabling();
    void unlock_data();
    void unlock();
    void adminLogin_data();
    void adminLogin();

private:
    VToken token(bool initialized, int soTries, int fault, const char* function) const;
    template <typename Page> Page* show(const VToken& token);
    QLineEdit* field(const char* name) const { return m_page->findChild<QLineEdit*>(QLatin1String(name)); }
    void fill(const char* a, const QString& va, const char* b, const QString& vb, const char* c,
              const QString& vc)
    {
        field(a)->setText(va);
        field(b)->setText(vb);
        field(c)->setText(vc);
    }
    void checkOnlyMessage(const QString& text);

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<TProgramState> m_state;
    std::unique_ptr<QWidget> m_page;
};

void TstSoPin::init()
{
    m_env = std::make_unique<TestEnv>(false);
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_state = std::make_unique<TProgramState>();
    m_state->timings = testTimings();
    ResStrs::resetToDefaults();
}

void TstSoPin::cleanup()
{
    m_page.reset();
    CerMgrApis::FreeTokenLibrary();
    m_state.reset();
    m_dialogs.reset();
    m_env.reset();
}

VToken TstSoPin::token(bool initialized, int soTries, int fault, const char* function) const
{
    VToken t = TokenFixture::token(0);
    t.initialized = initialized;
    t.soPin.minLength = 6;
    t.soPin.triesLeft = soTries;
    if (fault >= 0) {
        VToken::Fault f;
        f.kind = VToken::Fault::Kind(fault);
        f.function = QLatin1String(function);
        f.status = 0x0A000001;
        t.faults.append(f);
    }
    return t;
}

template <typename Page> Page* TstSoPin::show(const VToken& token)
{
    if (!ConnectedToken::connect(token, *m_state))
        return nullptr;
    auto page = std::make_unique<Page>(*m_state);
    Page* raw = page.get();
    m_page = std::move(page);
    m_page->show();
    return QTest::qWaitForWindowExposed(m_page.get()) ? raw : nullptr;
}

void TstSoPin::checkOnlyMessage(const QString& text)
{
    QCOMPARE(m_dialogs->texts(), QStringList{text});
    const ScriptedDialogs::Message& shown = m_dialogs->messages().first();
    QCOMPARE(shown.icon, DialogService::Icon::Information);
    QCOMPARE(shown.title, QStringLiteral("提示"));
}

void TstSoPin::changeEnabling_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("new1");
    QTest::addColumn<QString>("new2");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("all at the minimum") << "123456"
                                        << "abcdef"
                                        << "abcdef" << true;
    QTest::newRow("only the new SO PIN short") << "123456"
                                               << "ab"
                                               << "abcdef" << true;
    QTest::newRow("current short") << "12345"
                                   << "abcdef"
                                   << "abcdef" << false;
    QTest::newRow("confirmation short") << "123456"
                                        << "abcdef"
                                        << "abcde" << false;
}

void TstSoPin::changeEnabling()
{
    QFETCH(QString, current);
    QFETCH(QString, new1);
    QFETCH(QString, new2);
    QFETCH(bool, enabled);
    TSoPinPage* page = show<TSoPinPage>(token(true, 10, None, ""));
    QVERIFY(page);
    fill("edtSPIN", current, "edtNewSPIN1", new1, "edtNewSPIN2", new2);
    QX_TRY_COMPARE(page->setSoPinAction()->isEnabled(), enabled);
}

void TstSoPin::changeSoPin_data()
{
    QTest::addColumn<bool>("initialized");
    QTest::addColumn<int>("soTries");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("new1");
    QTest::addColumn<QString>("new2");
    QTest::addColumn<int>("fault"); // on token_change_sopin
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("soPinAfter");
    QTest::addColumn<int>("triesAfter");
    QTest::addColumn<int>("loginStateAfter");
    const int refused = VToken::Fault::FailNextCall;
    // clang-format off
    QTest::newRow("changed") << true << 10 << kSoPin << "11112222" << "11112222" << None << kDone
        << "11112222" << 10 << 1;
    QTest::newRow("confirmation differs, no try used") << true << 5 << "wrongpin" << "11112222" << "11112223"
        << None << kDiffer << kSoPin << 5 << 2;
    QTest::newRow("never initialized") << false << 10 << kSoPin << "11112222" << "11112222" << None << kNotInit
        << kSoPin << 10 << 2;
    QTest::newRow("locked") << true << 0 << kSoPin << "11112222" << "11112222" << None << kDead << "" << 0 << 2;
    QTest::newRow("wrong SO PIN, 4 tries left") << true << 5 << "wrongpin" << "11112222" << "11112222" << None
        << "原口令不正确,您还有4次重试机会" << kSoPin << 4 << 2;
    QTest::newRow("wrong SO PIN, last try") << true << 1 << "wrongpin" << "11112222" << "11112222" << None
        << kDead << "" << 0 << 2;
    QTest::newRow("refused by the token") << true << 10 << kSoPin << "11112222" << "11112222" << refused
        << "修改失败 ErrorCode :String=  0x0A000001" << kSoPin << 10 << 2;
    // The token decides on the new SO PIN's length.
    QTest::newRow("new SO PIN too short for the token") << true << 10 << kSoPin << "12" << "12" << None
        << "修改失败 ErrorCode :String=  0x0A000027" << kSoPin << 10 << 2;
    // clang-format on
}

void TstSoPin::changeSoPin()
{
    QFETCH(bool, initialized);
    QFETCH(int, soTries);
    QFETCH(QString, current);
    QFETCH(QString, new1);
    QFETCH(QString, new2);
    QFETCH(int, fault);
    QFETCH(QString, message);
    QFETCH(QString, soPinAfter);
    QFETCH(int, triesAfter);
    QFETCH(int, loginStateAfter);
    const VToken t = token(initialized, soTries, fault, "token_change_sopin");
    QVERIFY(show<TSoPinPage>(t));
    m_state->sessions.at(0)->setLogin(TTokenSession::Login::UserByPin);
    fill("edtSPIN", current, "edtNewSPIN1", new1, "edtNewSPIN2", new2);
    QTest::keyClick(field("edtNewSPIN2"), Qt::Key_Return);

    checkOnlyMessage(message);
    QCOMPARE(m_state->loginState(0), loginStateAfter);
    const VToken after = ConnectedToken::stored(t);
    QCOMPARE(after.soPin.triesLeft, triesAfter);
    if (!soPinAfter.isEmpty())
        QVERIFY(VToken::checkPin(after.soPin, soPinAfter.toLatin1()));
    // The fields keep their text.
    QCOMPARE(field("edtNewSPIN1")->text(), new1);
}

void TstSoPin::wrongSoPinsCountDownToTheLock()
{
    const VToken t = token(true, 3, None, "");
    QVERIFY(show<TSoPinPage>(t));
    fill("edtSPIN", QStringLiteral("wrongpin"), "edtNewSPIN1", QStringLiteral("11112222"), "edtNewSPIN2",
         QStringLiteral("11112222"));
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(field("edtNewSPIN2"), Qt::Key_Return);
    // The last wrong SO PIN locks it; after that the lock is reported before anything is tried.
    QCOMPARE(m_dialogs->texts(),
             QStringList({QStringLiteral("原口令不正确,您还有2次重试机会"),
                          QStringLiteral("原口令不正确,您还有1次重试机会"), kDead, kDead}));
    QCOMPARE(ConnectedToken::stored(t).soPin.triesLeft, 0);
}

void TstSoPin::unlockEnabling_data()
{
    QTest::addColumn<QString>("soPin");
    QTest::addColumn<QString>("new1");
    QTest::addColumn<QString>("new2");
    QTest::addColumn<bool>("enabled");
    // The token's minimum is 6 for the SO PIN and 4 for the user PIN.
    QTest::newRow("all at the minimum") << "123456"
                                        << "abcd"
                                        << "abcd" << true;
    QTest::newRow("SO PIN short") << "12345"
                                  << "abcd"
                                  << "abcd" << false;
    QTest::newRow("new PIN short") << "123456"
                                   << "abc"
                                   << "abcd" << false;
    QTest::newRow("confirmation short") << "123456"
                                        << "abcd"
                                        << "abc" << false;
}

void TstSoPin::unlockEnabling()
{
    QFETCH(QString, soPin);
    QFETCH(QString, new1);
    QFETCH(QString, new2);
    QFETCH(bool, enabled);
    TUnlockPage* page = show<TUnlockPage>(token(true, 10, None, ""));
    QVERIFY(page);
    fill("edtSPINForUnLock", soPin, "edtUPINForUnlock1", new1, "edtUPINForUnlock2", new2);
    QX_TRY_COMPARE(page->unlockAction()->isEnabled(), enabled);
}

void TstSoPin::unlock_data()
{
    QTest::addColumn<bool>("initialized");
    QTest::addColumn<int>("soTries");
    QTest::addColumn<QString>("soPin");
    QTest::addColumn<QString>("new1");
    QTest::addColumn<QString>("new2");
    QTest::addColumn<int>("fault"); // on token_set_upin
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("userPinAfter");
    QTest::addColumn<int>("soTriesAfter");
    QTest::addColumn<int>("loginStateAfter");
    const int refused = VToken::Fault::FailNextCall;
    // clang-format off
    QTest::newRow("unlocked") << true << 10 << kSoPin << "11112222" << "11112222" << None << kDone
        << "11112222" << 10 << 1;
    QTest::newRow("confirmation differs") << true << 10 << kSoPin << "11112222" << "1111222" << None << kDiffer
        << kUserPin << 10 << 2;
    QTest::newRow("never initialized") << false << 10 << kSoPin << "11112222" << "11112222" << None << kNotInit
        << kUserPin << 10 << 2;
    QTest::newRow("SO PIN locked") << true << 0 << kSoPin << "11112222" << "11112222" << None << kDead
        << kUserPin << 0 << 2;
    // The second attempt, made only to find the cause, costs a second try.
    QTest::newRow("wrong SO PIN") << true << 5 << "wrongpin" << "11112222" << "11112222" << None
        << "原SO PIN码不正确" << kUserPin << 3 << 1;
    QTest::newRow("refused with the right SO PIN") << true << 10 << kSoPin << "11112222" << "11112222"
        << refused << "操作失败" << kUserPin << 10 << 1;
    // clang-format on
}

void TstSoPin::unlock()
{
    QFETCH(bool, initialized);
    QFETCH(int, soTries);
    QFETCH(QString, soPin);
    QFETCH(QString, new1);
    QFETCH(QString, new2);
    QFETCH(int, fault);
    QFETCH(QString, message);
    QFETCH(QString, userPinAfter);
    QFETCH(int, soTriesAfter);
    QFETCH(int, loginStateAfter);
    VToken t = token(initialized, soTries, fault, "token_set_upin");
    t.userPin.triesLeft = 0; // the user PIN is blocked
    QVERIFY(show<TUnlockPage>(t));
    m_state->sessions.at(0)->setLogin(TTokenSession::Login::UserByPin);
    fill("edtSPINForUnLock", soPin, "edtUPINForUnlock1", new1, "edtUPINForUnlock2", new2);
    QTest::keyClick(field("edtUPINForUnlock2"), Qt::Key_Return);

    checkOnlyMessage(message);
    QCOMPARE(m_state->loginState(0), loginStateAfter);
    const VToken after = ConnectedToken::stored(t);
    QCOMPARE(after.soPin.triesLeft, soTriesAfter);
    QVERIFY(VToken::checkPin(after.userPin, userPinAfter.toLatin1()));
    QCOMPARE(after.userPin.locked(), message != kDone);
}

void TstSoPin::adminLogin_data()
{
    QTest::addColumn<int>("soTries");
    QTest::addColumn<QString>("pin");
    QTest::addColumn<QString>("message"); // a prefix
    QTest::addColumn<int>("loginStateAfter");
    QTest::newRow("right SO PIN") << 10 << kSoPin << "登录成功" << 1;
    // The administrator's attempt starts by ending the user's login, so no rights mix.
    QTest::newRow("wrong SO PIN") << 5 << "wrongpin"
                                  << "口令不正确\r您还有" << 1;
    QTest::newRow("locked") << 0 << kSoPin << kDead << 2;
}

// The administrator login verifies the SO PIN on the SKF side; its button counts four characters.
void TstSoPin::adminLogin()
{
    QFETCH(int, soTries);
    QFETCH(QString, pin);
    QFETCH(QString, message);
    QFETCH(int, loginStateAfter);
    VToken t = token(true, soTries, None, "");
    t.fingerSupport = true;
    TSkfBinding skf(QStringLiteral(SKF_LIBRARY_DIR "/"));
    QVERIFY(skf.isLoaded());
    m_state->sessions.setSkf(&skf);
    TSoLoginPage* page = show<TSoLoginPage>(t);
    QVERIFY(page);
    skf.LoadFingerDevices();
    m_state->sessions.at(0)->setLogin(TTokenSession::Login::UserByPin);
    auto* edit = field("edtFingerSPIN");
    edit->setText(QStringLiteral("abc"));
    QX_TRY_COMPARE(page->soPinLoginAction()->isEnabled(), false);
    edit->setText(pin);
    QX_TRY_COMPARE(page->soPinLoginAction()->isEnabled(), true);
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(m_dialogs->texts().size(), 1);
    QVERIFY2(m_dialogs->texts().first().startsWith(message), qPrintable(m_dialogs->texts().first()));
    QCOMPARE(m_state->loginState(0), loginStateAfter);
    m_page.reset();
    m_state->sessions.setSkf(nullptr);
}

QTEST_MAIN(TstSoPin)
#include "tst_sopin.moc"
